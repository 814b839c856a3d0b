#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "preview/Waveform.h"

namespace brenzo::ui {

// The current sound drawn under the list: each channel a band of its own, one pixel column per
// column of the core's waveform, and the preview's position as a line. A click asks to seek.
class WaveformStrip : public QWidget {
public:
    explicit WaveformStrip(QWidget* parent = nullptr);

    void SetWave(std::optional<preview::Waveform> wave);
    const std::optional<preview::Waveform>& Wave() const { return wave_; }
    // Where the line is drawn, 0 to 1; nothing draws no line.
    void SetPosition(std::optional<double> fraction);
    std::optional<double> Position() const { return position_; }
    // Called with x and the strip's width when it is clicked.
    std::function<void(int x, int width)> onSeek;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::optional<preview::Waveform> wave_;
    std::optional<double> position_;
};

}  // namespace brenzo::ui
