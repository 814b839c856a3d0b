#pragma once

#include <QFont>
#include <QPixmap>

namespace brenzo::ui {

// The program's own pictures, drawn in code: round blue buttons with a play triangle or two
// pause bars (24 x 24), and the About window's 64 x 64 picture.
QPixmap PlayIcon();
QPixmap PauseIcon();
QPixmap AboutPicture();

// The forms' font: Tahoma, 11 pixels high unless asked otherwise.
QFont FormFont(int pixelSize = 11);

}  // namespace brenzo::ui
