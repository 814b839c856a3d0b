#include "ui/win32/Artwork.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace brenzo::ui::win32 {
namespace {

constexpr int kSize = 16;

std::uint32_t argb(double alpha, int r, int g, int b) {
    // Premultiplied, as an icon's alpha channel wants it.
    const auto a = static_cast<std::uint32_t>(std::lround(std::clamp(alpha, 0.0, 1.0) * 255.0));
    auto c = [&](int v) { return static_cast<std::uint32_t>(v) * a / 255u; };
    return a << 24 | c(r) << 16 | c(g) << 8 | c(b);
}

bool inTriangle(double x, double y) { return x >= 6.0 && x <= 12.0 && std::abs(y - 8.0) <= (12.0 - x) * 0.72; }
bool inBars(double x, double y) { return y >= 4.5 && y <= 11.5 && ((x >= 4.5 && x <= 7.0) || (x >= 9.0 && x <= 11.5)); }

}  // namespace

HICON MakePlayIcon(bool pause) {
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = kSize;
    header.bV5Height = -kSize;  // top row first
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP colour =
        CreateDIBSection(screen, reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!colour) return nullptr;
    auto* pixels = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const double cx = x + 0.5, cy = y + 0.5;
            const double distance = std::hypot(cx - 8.0, cy - 8.0);
            // The edge of the button is smoothed over one pixel; the blue darkens away from the light.
            const double coverage = 7.5 - distance + 0.5;
            const double shade = std::clamp(std::hypot(cx - 5.5, cy - 5.0) / 11.0, 0.0, 1.0);
            std::uint32_t pixel = argb(coverage, static_cast<int>(120 - 100 * shade),
                                       static_cast<int>(180 - 100 * shade), static_cast<int>(255 - 65 * shade));
            if (pause ? inBars(cx, cy) : inTriangle(cx, cy)) pixel = argb(1.0, 255, 255, 255);
            pixels[y * kSize + x] = pixel;
        }
    }
    // The alpha channel decides; the mask only has to be defined (all drawn).
    static const BYTE kMask[kSize * 2] = {};
    HBITMAP mask = CreateBitmap(kSize, kSize, 1, 1, kMask);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = colour;
    info.hbmMask = mask;
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(colour);
    DeleteObject(mask);
    return icon;
}

}  // namespace brenzo::ui::win32
