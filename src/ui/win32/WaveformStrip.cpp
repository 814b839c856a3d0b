#include "ui/win32/WaveformStrip.h"

#include <windowsx.h>

#include <algorithm>

namespace brenzo::ui::win32 {
namespace {

constexpr wchar_t kClassName[] = L"BrenzoWaveformStrip";

LRESULT CALLBACK stripProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* strip = reinterpret_cast<WaveformStrip*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (strip && message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        strip->Paint(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (strip && message == WM_LBUTTONDOWN) {
        if (strip->onSeek) strip->onSeek(GET_X_LPARAM(lParam), strip->Width());
        return 0;
    }
    if (message == WM_ERASEBKGND) return 1;  // the paint fills everything
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

WaveformStrip::WaveformStrip(HWND parent) {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = stripProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_HAND);
        wc.lpszClassName = kClassName;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
    hwnd_ = CreateWindowExW(0, kClassName, L"", WS_CHILD, 0, 0, 10, kHeight, parent, nullptr, GetModuleHandleW(nullptr),
                            this);
}

WaveformStrip::~WaveformStrip() {
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

int WaveformStrip::Width() const {
    RECT r{};
    GetClientRect(hwnd_, &r);
    return r.right - r.left;
}

void WaveformStrip::SetWave(std::optional<preview::Waveform> wave) {
    wave_ = std::move(wave);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void WaveformStrip::SetPosition(std::optional<double> fraction) {
    if (fraction == position_) return;
    position_ = fraction;
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void WaveformStrip::Paint(HDC dc) const {
    RECT r{};
    GetClientRect(hwnd_, &r);
    const int width = r.right, height = r.bottom;
    FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
    FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    HGDIOBJ before = SelectObject(dc, GetStockObject(DC_PEN));
    if (wave_ && wave_->channels > 0) {
        const int bands = wave_->channels;
        const double bandHeight = static_cast<double>(height - 2) / bands;
        SetDCPenColor(dc, GetSysColor(COLOR_HIGHLIGHT));
        for (int ch = 0; ch < bands && static_cast<std::size_t>(ch) < wave_->columns.size(); ++ch) {
            const auto& columns = wave_->columns[static_cast<std::size_t>(ch)];
            const double middle = 1 + bandHeight * (ch + 0.5);
            const double scale = (bandHeight / 2 - 1) / 32768.0;
            const int shown = std::min(static_cast<int>(columns.size()), width);
            for (int x = 0; x < shown; ++x) {
                const auto& c = columns[static_cast<std::size_t>(x)];
                MoveToEx(dc, x, static_cast<int>(middle - c.max * scale), nullptr);
                // A line leaves out its last pixel: one more so that a silent column still shows.
                LineTo(dc, x, static_cast<int>(middle - c.min * scale) + 1);
            }
        }
    }
    if (position_) {
        SetDCPenColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        const int x = static_cast<int>(*position_ * (width - 1));
        MoveToEx(dc, x, 0, nullptr);
        LineTo(dc, x, height);
    }
    SelectObject(dc, before);
}

}  // namespace brenzo::ui::win32
