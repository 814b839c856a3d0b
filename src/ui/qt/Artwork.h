#pragma once

#include <QPixmap>

namespace brenzo::ui {

// The program's own pictures, drawn in code: round blue buttons with a play triangle or two
// pause bars (24 x 24), and the About window's 64 x 64 picture.
QPixmap PlayIcon();
QPixmap PauseIcon();
QPixmap AboutPicture();

}  // namespace brenzo::ui
