#pragma once

#include <QDialog>

namespace brenzo::ui {

// "About...": the program's name and version, and the libraries it is built on.
class TAboutForm : public QDialog {
public:
    explicit TAboutForm(QWidget* parent = nullptr);
};

}  // namespace brenzo::ui
