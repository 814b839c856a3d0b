#include "ui/qt/Artwork.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace brenzo::ui {

QFont FormFont(int pixelSize) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    return font;
}

namespace {

QPixmap roundButton(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient fill(size * 0.35, size * 0.3, size * 0.7);
    fill.setColorAt(0.0, QColor(120, 180, 255));
    fill.setColorAt(1.0, QColor(20, 80, 190));
    p.setBrush(fill);
    p.setPen(QPen(QColor(15, 55, 140), 1.0));
    p.drawEllipse(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
    return pixmap;
}

}  // namespace

QPixmap PlayIcon() {
    QPixmap pixmap = roundButton(24);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath triangle;
    triangle.moveTo(9.5, 6.5);
    triangle.lineTo(18.0, 12.0);
    triangle.lineTo(9.5, 17.5);
    triangle.closeSubpath();
    p.fillPath(triangle, Qt::white);
    return pixmap;
}

QPixmap PauseIcon() {
    QPixmap pixmap = roundButton(24);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRectF(7.5, 7.0, 3.5, 10.0), Qt::white);
    p.fillRect(QRectF(13.0, 7.0, 3.5, 10.0), Qt::white);
    return pixmap;
}

QPixmap AboutPicture() {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient fill(22, 18, 50);
    fill.setColorAt(0.0, QColor(120, 180, 255));
    fill.setColorAt(1.0, QColor(20, 70, 170));
    p.setBrush(fill);
    p.setPen(QPen(QColor(15, 55, 140), 1.5));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    // A waveform across the tile.
    QPainterPath wave;
    wave.moveTo(8, 32);
    const double heights[] = {6, 14, 22, 10, 18, 26, 12, 20, 8, 4};
    for (int i = 0; i < 10; ++i) {
        const double x = 10 + i * 4.8;
        wave.lineTo(x, 32 - heights[i]);
        wave.lineTo(x + 2.4, 32 + heights[i]);
    }
    wave.lineTo(56, 32);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    return pixmap;
}

}  // namespace brenzo::ui
