#pragma once

#include <windows.h>

#include <functional>
#include <optional>

#include "preview/Waveform.h"

namespace brenzo::ui::win32 {

// The current sound drawn under the list: each channel a band of its own, one pixel column per
// column of the core's waveform, and the preview's position as a line. A click asks to seek.
class WaveformStrip {
public:
    // The strip's height in pixels.
    static constexpr int kHeight = 80;

    explicit WaveformStrip(HWND parent);
    ~WaveformStrip();
    WaveformStrip(const WaveformStrip&) = delete;
    WaveformStrip& operator=(const WaveformStrip&) = delete;

    HWND Handle() const { return hwnd_; }
    int Width() const;
    void SetWave(std::optional<preview::Waveform> wave);
    const std::optional<preview::Waveform>& Wave() const { return wave_; }
    // Where the line is drawn, 0 to 1; nothing draws no line.
    void SetPosition(std::optional<double> fraction);
    std::optional<double> Position() const { return position_; }
    // Called with x and the strip's width when it is clicked.
    std::function<void(int x, int width)> onSeek;

    void Paint(HDC dc) const;

private:
    HWND hwnd_ = nullptr;
    std::optional<preview::Waveform> wave_;
    std::optional<double> position_;
};

}  // namespace brenzo::ui::win32
