#include "support/HeldFile.h"

#include <stdexcept>

#include "platform/Path.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace brenzo::testing {

#ifdef _WIN32
HeldFile::HeldFile(const std::filesystem::path& path)
    : handle_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (handle_ == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + platform::PathToUtf8(path));
}

void HeldFile::Close() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

std::string HeldFile::ReadAll() {
    std::string out;
    char buffer[4096];
    OVERLAPPED at{};
    DWORD got = 0;
    while (ReadFile(handle_, buffer, sizeof buffer, &got, &at) && got > 0) {
        out.append(buffer, got);
        at.Offset += got;
    }
    return out;
}
#else
HeldFile::HeldFile(const std::filesystem::path& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0) throw std::runtime_error("cannot open " + platform::PathToUtf8(path));
}

void HeldFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::string HeldFile::ReadAll() {
    std::string out;
    char buffer[4096];
    ssize_t got;
    while ((got = ::pread(fd_, buffer, sizeof buffer, static_cast<off_t>(out.size()))) > 0)
        out.append(buffer, static_cast<std::size_t>(got));
    return out;
}
#endif

HeldFile::~HeldFile() { Close(); }

}  // namespace brenzo::testing
