// Whole files, atomic replacement and the system's error texts on Windows.
#include "platform/Files.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>

#include "platform/Internal.h"
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
        DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, language, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
        if (text) {
            message = fromWide(text, n);
            LocalFree(text);
        }
        if (!message.empty()) break;
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.' ||
                                message.back() == ' '))
        message.pop_back();
    if (message.empty()) message = "system error " + std::to_string(code);
    return message;
}

std::string lastError() { return systemMessage(GetLastError()); }

}  // namespace detail

using detail::failure;
using detail::lastError;
using detail::systemMessage;

namespace {

constexpr int kReplaceAttempts = 20;
constexpr auto kReplaceRetryDelay = std::chrono::milliseconds(50);

bool readOnly(const fs::path& target) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

}  // namespace

Result<Bytes> ReadWholeFile(const fs::path& path) {
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
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size)) {
        auto e = failure("read", path, lastError());
        CloseHandle(h);
        return e;
    }
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

Result<std::unique_ptr<AtomicFile>> AtomicFile::Create(const fs::path& requested, Durability durability) {
    std::unique_ptr<AtomicFile> file(new AtomicFile);
    file->durability_ = durability;
    file->handle_ = std::make_unique<Handle>();
    std::error_code ec;
    fs::path target = requested;
    const bool exists = fs::exists(requested, ec);
    if (exists) {
        // A link is followed: the file it points to is the one replaced.
        fs::path resolved = fs::canonical(requested, ec);
        if (!ec) target = resolved;
        if (fs::is_directory(target, ec)) return failure("write", requested, "it is a folder");
    }
    file->target_ = target;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");

    if (exists && readOnly(target)) return failure("write", requested, "the file is read-only");
    for (int attempt = 0; attempt < 20; ++attempt) {
        fs::path temp = folder / PathFromUtf8("." + FileNameUtf8(target) + ".brenzo-" + detail::randomSuffix());
        HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            file->handle_->h = h;
            file->temp_ = temp;
            return file;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return failure("write", requested, lastError());
    }
    return failure("write", requested, "no temporary name is free");
}

AtomicFile::~AtomicFile() {
    if (!handle_) return;
    if (handle_->h != INVALID_HANDLE_VALUE) CloseHandle(handle_->h);
    if (!committed_ && !temp_.empty()) {
        std::error_code ec;
        fs::remove(temp_, ec);
    }
}

Status AtomicFile::Write(std::span<const std::uint8_t> bytes) {
    if (failed_) return Error{failure_, true};
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        if (!WriteFile(handle_->h, bytes.data() + done, want, &wrote, nullptr)) {
            failed_ = true;
            failure_ = failure("write", target_, lastError()).message;
            return Error{failure_, true};
        }
        done += wrote;
    }
    return {};
}

Status AtomicFile::Commit() {
    if (failed_) return Error{failure_, true};
    if (committed_) return {};
    // A failed commit stays failed: the handle is closed by then, and a second call must not
    // report success or act on a half-finished file.
    auto fail = [this](const char* verb, const std::string& reason) -> Status {
        failed_ = true;
        failure_ = failure(verb, target_, reason).message;
        return Error{failure_, true};
    };
    bool flushed = durability_ == Durability::Cached || FlushFileBuffers(handle_->h) != 0;
    std::string reason = flushed ? "" : lastError();
    CloseHandle(handle_->h);
    handle_->h = INVALID_HANDLE_VALUE;
    if (!flushed) return fail("write", reason);
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
    committed_ = true;
    return {};
}

Status CheckReplaceable(const fs::path& requested) {
    std::error_code ec;
    fs::path target = fs::canonical(requested, ec);
    if (ec) return failure("write", requested, ec.message());
    if (readOnly(target)) return failure("write", requested, "the file is read-only");
    return {};
}

}  // namespace brenzo::platform
