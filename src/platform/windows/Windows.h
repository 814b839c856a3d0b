#pragma once

// <windows.h> as the Windows half of the platform layer includes it, and what its files share.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstddef>
#include <string>

namespace brenzo::platform::detail {

// The system's text for an error code, in English where the system has it.
std::string systemMessage(DWORD code);

// UTF-16 text from the system as UTF-8.
std::string fromWide(const wchar_t* text, std::size_t length);

}  // namespace brenzo::platform::detail
