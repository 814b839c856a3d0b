// Whole files, atomic replacement and the system's error texts on Windows.
#include "platform/Files.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>

#include "platform/Backup.h"
#include "platform/Internal.h"
#include "platform/Interrupts.h"
#include "platform/Path.h"
#include "platform/windows/Windows.h"

namespace brenzo::platform {

namespace detail {

std::string fromWide(const wchar_t* text, std::size_t length) {
    return Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

std::string systemMessage(DWORD code) {
    // English where the system has it, so that messages read the same everywhere; else the
    // system's own language.
    std::string message;
    for (DWORD language : {DWORD{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)}, DWORD{0}}) {
        wchar_t* text = nullptr;
        DWORD n =
            FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, language, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
        if (text) {
            message = fromWide(text, n);
            LocalFree(text);
        }
        if (!message.empty()) break;
    }
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.' || message.back() == ' '))
        message.pop_back();
    if (message.empty()) message = "system error " + std::to_string(code);
    return message;
}

std::string lastError() { return systemMessage(GetLastError()); }

}  // namespace detail

// This half carries out what platform/Internal.h declares.
using namespace detail;

namespace {

constexpr int kReplaceAttempts = 20;
constexpr auto kReplaceRetryDelay = std::chrono::milliseconds(50);

bool readOnly(const fs::path& target) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    FileIdentity id;
    id.device = info.dwVolumeSerialNumber;
    id.number = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    id.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    id.modified = static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                            info.ftLastWriteTime.dwLowDateTime);
    return id;
}

// Saves of one target take turns through a lock file beside it, held without sharing; it goes
// when closed.
fs::path turnPath(const fs::path& target) {
    return target.parent_path() / PathFromUtf8(detail::temporaryPrefix(target) + "lock");
}

HANDLE tryTurn(const fs::path& target, DWORD& code) {
    HANDLE h = CreateFileW(turnPath(target).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    code = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    return h;
}
}  // namespace

namespace detail {
// Any path that names a file is made canonical, links followed.
fs::path followedLink(const fs::path& requested) {
    std::error_code ec;
    fs::path resolved = fs::canonical(requested, ec);
    return ec ? requested : resolved;
}

std::uint64_t linksBesidesBackup(const fs::path& container, const FileIdentity& file, std::uint64_t links) {
    if (links <= 1) return links;
    HANDLE h = CreateFileW(BackupPath(container).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return links;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool same = GetFileInformationByHandle(h, &info) != 0 && identityOf(info).device == file.device &&
                      identityOf(info).number == file.number;
    CloseHandle(h);
    return same ? links - 1 : links;
}
}  // namespace detail

Result<FileIdentity> IdentityOf(const fs::path& path) {
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return failure("read", path, lastError());
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(h, &info) != 0;
    const std::string why = known ? "" : lastError();
    CloseHandle(h);
    if (!known) return failure("read", path, why);
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return failure("read", path, "it is a folder");
    return identityOf(info);
}

Result<Bytes> ReadWholeFile(const fs::path& path, FileIdentity* identity) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        // Opening a folder as a file fails with "access is denied", which would send the user
        // looking at permissions.
        const DWORD code = GetLastError();
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return failure("read", path, "it is a folder");
        return failure("read", path, systemMessage(code));
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return failure("read", path, "it is not a regular file");
    }
    LARGE_INTEGER size;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileSizeEx(h, &size) || !GetFileInformationByHandle(h, &info)) {
        auto e = failure("read", path, lastError());
        CloseHandle(h);
        return e;
    }
    if (identity) *identity = identityOf(info);
    Bytes bytes;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(h, bytes.data() + done, want, &got, nullptr)) {
            auto e = failure("read", path, lastError());
            CloseHandle(h);
            return e;
        }
        if (got == 0) break;
        done += got;
    }
    CloseHandle(h);
    bytes.resize(done);
    return bytes;
}

struct AtomicFile::Handle {
    HANDLE h = INVALID_HANDLE_VALUE;
};

AtomicFile::AtomicFile() = default;

Status AtomicFile::prepare(bool exists) {
    handle_ = std::make_unique<Handle>();
    if (exists && readOnly(target_)) return failure("write", requested_, "the file is read-only");
    return {};
}

Result<bool> AtomicFile::openTemporary(const fs::path& temp) {
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_EXISTS) return false;
        return failure("write", requested_, lastError());
    }
    handle_->h = h;
    return true;
}

AtomicFile::~AtomicFile() {
    if (!handle_) return;
    if (handle_->h != INVALID_HANDLE_VALUE) CloseHandle(handle_->h);
    discardTemporary();
}

Status AtomicFile::Write(std::span<const std::uint8_t> bytes) {
    if (failed_) return failedBefore();
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        if (!WriteFile(handle_->h, bytes.data() + done, want, &wrote, nullptr)) return fail("write", lastError());
        done += wrote;
    }
    return {};
}

Status AtomicFile::Commit() {
    if (failed_) return failedBefore();
    if (committed_) return {};
    bool flushed = durability_ == Durability::Cached || FlushFileBuffers(handle_->h) != 0;
    std::string reason = flushed ? "" : lastError();
    if (!flushed) {
        CloseHandle(handle_->h);
        handle_->h = INVALID_HANDLE_VALUE;
        return fail("write", reason);
    }
    // The turn is taken while the temporary file is still held: from its close to the end of
    // the rename, the sweep of dead writers' files (which takes the same turn) cannot take it
    // for a dead one's. The target itself cannot stay open across its own replacement.
    struct Turn {
        HANDLE h = INVALID_HANDLE_VALUE;
        ~Turn() {
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        }
    } turn;
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        DWORD code = ERROR_SUCCESS;
        turn.h = tryTurn(target_, code);
        if (turn.h != INVALID_HANDLE_VALUE) break;
        if ((code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED) ||
            std::chrono::steady_clock::now() >= deadline) {
            CloseHandle(handle_->h);
            handle_->h = INVALID_HANDLE_VALUE;
            return fail("replace",
                        code == ERROR_SHARING_VIOLATION ? "another save of it does not finish" : systemMessage(code));
        }
        std::this_thread::sleep_for(kLockPoll);
    }
    CloseHandle(handle_->h);
    handle_->h = INVALID_HANDLE_VALUE;
    if (hasExpected_) {
        // The target is opened without write sharing while it is checked.
        HANDLE held = INVALID_HANDLE_VALUE;
        for (;;) {
            held = CreateFileW(target_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (held != INVALID_HANDLE_VALUE) break;
            const DWORD code = GetLastError();
            if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return fail(changedSinceOpened(target_));
            if (code != ERROR_SHARING_VIOLATION || std::chrono::steady_clock::now() >= deadline)
                return fail("replace",
                            code == ERROR_SHARING_VIOLATION ? "it is in use by another program" : systemMessage(code));
            std::this_thread::sleep_for(kLockPoll);
        }
        BY_HANDLE_FILE_INFORMATION info{};
        const bool known = GetFileInformationByHandle(held, &info) != 0;
        const std::string why = known ? "" : lastError();
        CloseHandle(held);
        if (!known) return fail("replace", why);
        if (identityOf(info) != expected_) return fail(changedSinceOpened(target_));
        if (const auto links = detail::linksBesidesBackup(requested_, expected_, info.nNumberOfLinks); links > 1)
            return fail(hardLinked(target_, links));
    }
    // Another program may hold the target open for a moment (a virus scanner, an indexer, a
    // player): Windows refuses to replace a file open without delete sharing, so a sharing
    // violation is retried for about a second before it is reported.
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | (durability_ == Durability::Flushed ? MOVEFILE_WRITE_THROUGH : 0);
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(temp_.c_str(), target_.c_str(), flags)) break;
        const DWORD code = GetLastError();
        const bool held = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
        if ((held || code == ERROR_ACCESS_DENIED) && attempt < kReplaceAttempts) {
            std::this_thread::sleep_for(kReplaceRetryDelay);
            continue;
        }
        // A file open elsewhere comes back as "access is denied" as often as a sharing
        // violation; the target's own read-only flag was ruled out in Create.
        if (held) return fail("replace", "it is in use by another program");
        if (code == ERROR_ACCESS_DENIED) return fail("replace", "it is open in another program, or access is denied");
        return fail("replace", systemMessage(code));
    }
    // What the next save checks against, read from the file as it now is.
    HANDLE now = CreateFileW(target_.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (now != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info{};
        if (GetFileInformationByHandle(now, &info)) written_ = identityOf(info);
        CloseHandle(now);
    }
    committed_ = true;
    return {};
}

Status CheckReplaceable(const fs::path& requested) {
    std::error_code ec;
    fs::path target = fs::canonical(requested, ec);
    if (ec) return failure("write", requested, ec.message());
    if (readOnly(target)) return failure("write", requested, "the file is read-only");
    HANDLE h = CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info{};
        const bool known = GetFileInformationByHandle(h, &info) != 0;
        CloseHandle(h);
        if (known) {
            if (const auto links = detail::linksBesidesBackup(requested, identityOf(info), info.nNumberOfLinks);
                links > 1)
                return hardLinked(requested, links);
        }
    }
    // The save writes a new file beside the target: the folder is made to take one now, not
    // after a long conversion.
    const fs::path probe = detail::temporaryBeside(target);
    HANDLE p = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (p == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_EXISTS) return detail::cannotWriteInto(detail::folderOf(target), systemMessage(code));
    } else {
        CloseHandle(p);
    }
    return {};
}

Status ShareOrCopyFile(const fs::path& from, const fs::path& to) {
    return CopyFileAtomically(from, to, Durability::Cached);
}

void RemoveStaleTemporaryFiles(const fs::path& target) {
    // A live writer holds its file without delete sharing, so only a dead one's goes; one that
    // is committing has let go of its file but holds the turn until its rename is done. A busy
    // turn means another save runs: its sweep, or the next one, cleans up.
    HANDLE turn = INVALID_HANDLE_VALUE;
    bool busy = false;
    detail::forEachTemporaryOf(target, [&](const fs::path& path) {
        if (busy) return;
        if (turn == INVALID_HANDLE_VALUE) {
            DWORD code = ERROR_SUCCESS;
            turn = tryTurn(target, code);
            if (turn == INVALID_HANDLE_VALUE) {
                busy = true;
                return;
            }
        }
        DeleteFileW(path.c_str());
    });
    if (turn != INVALID_HANDLE_VALUE) CloseHandle(turn);
}

}  // namespace brenzo::platform
