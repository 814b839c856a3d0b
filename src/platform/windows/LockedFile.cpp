// The file held open against other writers on Windows: the share mode lets others read only.
#include "platform/Files.h"
#include "platform/Internal.h"
#include "platform/windows/Windows.h"

namespace brenzo::platform {

using detail::failure;
using detail::lastError;

struct LockedFile::Handle {
    HANDLE h = INVALID_HANDLE_VALUE;
};

Result<std::unique_ptr<LockedFile>> LockedFile::Open(const fs::path& path) {
    std::unique_ptr<LockedFile> file(new LockedFile);
    file->handle_ = std::make_unique<Handle>();
    file->path_ = path;
    // Said in so many words, as on Linux, rather than as "access is denied" (and a process
    // with backup rights, or Wine run by root, would otherwise open it for writing anyway).
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return failure("open", path, "it is not a regular file");
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return failure("open", path, "the file is read-only");
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        if (code == ERROR_SHARING_VIOLATION) return failure("open", path, "it is in use by another program");
        return failure("open", path, detail::systemMessage(code));
    }
    file->handle_->h = h;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size)) return failure("open", path, lastError());
    file->size_ = static_cast<std::uint64_t>(size.QuadPart);
    return file;
}

LockedFile::~LockedFile() {
    if (handle_ && handle_->h != INVALID_HANDLE_VALUE) CloseHandle(handle_->h);
}

namespace {
OVERLAPPED at(std::uint64_t pos) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(pos);
    o.OffsetHigh = static_cast<DWORD>(pos >> 32);
    return o;
}
}  // namespace

Result<std::size_t> LockedFile::ReadAt(std::uint64_t pos, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        OVERLAPPED where = at(pos + done);
        DWORD got = 0;
        if (!ReadFile(handle_->h, out.data() + done, static_cast<DWORD>(out.size() - done), &got, &where)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return failure("read", path_, lastError());
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

Status LockedFile::WriteAt(std::uint64_t pos, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        OVERLAPPED where = at(pos + done);
        DWORD wrote = 0;
        if (!WriteFile(handle_->h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &wrote, &where))
            return failure("write", path_, lastError());
        if (wrote == 0) return failure("write", path_, "nothing was written");
        done += wrote;
    }
    if (!FlushFileBuffers(handle_->h)) return failure("write", path_, lastError());
    return {};
}

}  // namespace brenzo::platform
