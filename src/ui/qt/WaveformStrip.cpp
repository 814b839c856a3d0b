#include "ui/qt/WaveformStrip.h"

#include <QMouseEvent>
#include <QPainter>

namespace brenzo::ui {

WaveformStrip::WaveformStrip(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(60);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(80);
    setCursor(Qt::PointingHandCursor);
}

void WaveformStrip::SetWave(std::optional<preview::Waveform> wave) {
    wave_ = std::move(wave);
    update();
}

void WaveformStrip::SetPosition(std::optional<double> fraction) {
    if (fraction == position_) return;
    position_ = fraction;
    update();
}

void WaveformStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().mid().color());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (wave_ && wave_->channels > 0) {
        const int bands = wave_->channels;
        const double bandHeight = static_cast<double>(height() - 2) / bands;
        painter.setPen(palette().highlight().color());
        for (int ch = 0; ch < bands; ++ch) {
            const auto& columns = wave_->columns[static_cast<std::size_t>(ch)];
            const double middle = 1 + bandHeight * (ch + 0.5);
            const double scale = (bandHeight / 2 - 1) / 32768.0;
            const int width = std::min(static_cast<int>(columns.size()), this->width());
            for (int x = 0; x < width; ++x) {
                const auto& c = columns[static_cast<std::size_t>(x)];
                painter.drawLine(x, static_cast<int>(middle - c.max * scale), x,
                                 static_cast<int>(middle - c.min * scale));
            }
        }
    }
    if (position_) {
        painter.setPen(QPen(palette().text().color(), 1));
        const int x = static_cast<int>(*position_ * (width() - 1));
        painter.drawLine(x, 0, x, height());
    }
}

void WaveformStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && onSeek) onSeek(static_cast<int>(event->position().x()), width());
}

}  // namespace brenzo::ui
