// The Windows engine's start, end and self-description.
#include <windows.h>
#include <mfapi.h>
#include <objbase.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "engine/Engine.h"
#include "engine/Loudness.h"
#include "engine/windows/MediaFoundation.h"

namespace brenzo::engine {

namespace windows {
namespace {
std::mutex gMfMutex;
int gMfState = 0;  // 0: not started, 1: running, -1: failed or stopped
HRESULT gMfFailure = S_OK;
}  // namespace

std::string DescribeHResult(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    std::string text = code;
    wchar_t* message = nullptr;
    const DWORD n =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    if (n > 0 && message) {
        std::wstring w(message, n);
        while (!w.empty() && (w.back() == L'\n' || w.back() == L'\r' || w.back() == L'.' || w.back() == L' '))
            w.pop_back();
        const int bytes =
            WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<std::size_t>(bytes), '\0');
        WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), utf8.data(), bytes, nullptr, nullptr);
        if (!utf8.empty()) text = utf8 + " (" + text + ")";
    }
    if (message) LocalFree(message);
    return text;
}

Status StartMediaFoundation() {
    // Every thread that decodes joins the multithreaded apartment; a thread that is already in
    // another apartment (a window's) still works, since the reader is free-threaded.
    const HRESULT co = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    (void)co;
    std::lock_guard lock(gMfMutex);
    if (gMfState == 0) {
        gMfFailure = MFStartup(MF_VERSION, MFSTARTUP_NOSOCKET);
        gMfState = SUCCEEDED(gMfFailure) ? 1 : -1;
    }
    if (gMfState == 1) return {};
    if (gMfFailure == S_OK) return Error{"Media Foundation has been shut down"};
    return Error{"Media Foundation is not available on this Windows (" + DescribeHResult(gMfFailure) +
                 "); Windows N editions need the Media Feature Pack"};
}

void StopMediaFoundation() {
    std::lock_guard lock(gMfMutex);
    if (gMfState == 1) MFShutdown();
    gMfState = -1;
}

bool MediaFoundationWasUsed() {
    std::lock_guard lock(gMfMutex);
    return gMfState == 1;
}

}  // namespace windows

int FinishProcess(int status) {
    if (!windows::MediaFoundationWasUsed()) return status;
    windows::StopMediaFoundation();
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    return status;
}

std::optional<std::string> CheckEngineCapabilities() {
    if (Status s = windows::StartMediaFoundation(); !s) return s.message();
    return std::nullopt;
}

std::optional<double> IntegratedLoudness(std::span<const std::int16_t> samples, std::uint16_t channels,
                                         std::uint32_t rate) {
    return Bs1770Loudness(samples, channels, rate);
}

std::vector<Library> LinkedLibraries() {
    // Media Foundation is a part of Windows itself; stb_vorbis is compiled in.
    return {
        {"Media Foundation", std::to_string(MF_SDK_VERSION) + "." + std::to_string(MF_API_VERSION)},
        {"stb_vorbis", "1.22"},
    };
}

}  // namespace brenzo::engine
