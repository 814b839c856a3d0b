#include "ui/win32/WindowSettings.h"

#include "ui/win32/Text.h"

namespace brenzo::ui::win32 {
namespace {

// At most this many characters of recent files are read: eight paths, with room to spare.
constexpr DWORD kRecentChars = 8 * 32768;

}  // namespace

std::optional<DWORD> WindowSettings::number(const wchar_t* name) const {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, key_.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

void WindowSettings::setNumber(const wchar_t* name, DWORD value) const {
    RegSetKeyValueW(HKEY_CURRENT_USER, key_.c_str(), name, REG_DWORD, &value, sizeof value);
}

std::vector<std::string> WindowSettings::RecentFiles() const {
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key_.c_str(), L"RecentFiles", RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size == 0 || size > kRecentChars * sizeof(wchar_t))
        return {};
    std::wstring buffer(size / sizeof(wchar_t) + 2, L'\0');
    if (RegGetValueW(HKEY_CURRENT_USER, key_.c_str(), L"RecentFiles", RRF_RT_REG_MULTI_SZ, nullptr, buffer.data(),
                     &size) != ERROR_SUCCESS)
        return {};
    std::vector<std::string> files;
    for (std::size_t at = 0; at < buffer.size() && buffer[at] != L'\0';) {
        const std::size_t end = buffer.find(L'\0', at);
        files.push_back(Utf8(std::wstring_view(buffer).substr(at, end - at)));
        at = end + 1;
    }
    return workspace::CleanRecentFiles(std::move(files));
}

void WindowSettings::SetRecentFiles(const std::vector<std::string>& files) const {
    std::wstring list;
    for (const auto& file : files) {
        list += Wide(file);
        list += L'\0';
    }
    list += L'\0';
    RegSetKeyValueW(HKEY_CURRENT_USER, key_.c_str(), L"RecentFiles", REG_MULTI_SZ, list.data(),
                    static_cast<DWORD>(list.size() * sizeof(wchar_t)));
}

std::optional<workspace::WindowRect> WindowSettings::Placement() const {
    const auto x = number(L"WindowX"), y = number(L"WindowY");
    const auto width = number(L"WindowWidth"), height = number(L"WindowHeight");
    if (!x || !y || !width || !height) return std::nullopt;
    // Stored as the bits of signed numbers: a window left of the main screen has a negative x.
    return workspace::WindowRect{static_cast<int>(*x), static_cast<int>(*y), static_cast<int>(*width),
                                 static_cast<int>(*height)};
}

bool WindowSettings::Maximized() const { return number(L"WindowMaximized").value_or(0) != 0; }

void WindowSettings::SetPlacement(const workspace::WindowRect& normal, bool maximized) const {
    setNumber(L"WindowX", static_cast<DWORD>(normal.x));
    setNumber(L"WindowY", static_cast<DWORD>(normal.y));
    setNumber(L"WindowWidth", static_cast<DWORD>(normal.width));
    setNumber(L"WindowHeight", static_cast<DWORD>(normal.height));
    setNumber(L"WindowMaximized", maximized ? 1 : 0);
}

bool WindowSettings::Flag(const wchar_t* name, bool fallback) const {
    const auto value = number(name);
    return value ? *value != 0 : fallback;
}

void WindowSettings::SetFlag(const wchar_t* name, bool on) const { setNumber(name, on ? 1 : 0); }

}  // namespace brenzo::ui::win32
