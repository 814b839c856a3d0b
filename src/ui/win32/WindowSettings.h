#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "workspace/Settings.h"

namespace brenzo::ui::win32 {

// The window's remembered things, as values of one registry key under HKEY_CURRENT_USER
// ("Software\Brenzo\Brenzo"). A value that is missing or of the wrong type reads as missing, and
// a key that cannot be opened or written is left alone: the core's rules turn what was read
// into something usable, and the window works the same without a store.
class WindowSettings {
public:
    explicit WindowSettings(std::wstring key = L"Software\\Brenzo\\Brenzo") : key_(std::move(key)) {}

    std::vector<std::string> RecentFiles() const;
    void SetRecentFiles(const std::vector<std::string>& files) const;
    std::optional<workspace::WindowRect> Placement() const;
    bool Maximized() const;
    void SetPlacement(const workspace::WindowRect& normal, bool maximized) const;
    bool Flag(const wchar_t* name, bool fallback) const;
    void SetFlag(const wchar_t* name, bool on) const;

    const std::wstring& Key() const { return key_; }

private:
    std::optional<DWORD> number(const wchar_t* name) const;
    void setNumber(const wchar_t* name, DWORD value) const;

    std::wstring key_;
};

}  // namespace brenzo::ui::win32
