#pragma once

#include <QDialog>
#include <QLabel>
#include <vector>

#include "common/Version.h"

namespace brenzo::ui {

// "About...": the program's name and version, and the libraries it is built on.
class TAboutForm : public QDialog {
public:
    explicit TAboutForm(QWidget* parent = nullptr);

    QLabel* Libraries = nullptr;
};

// Qt and every library the engine links, with their versions: what the About window credits
// and `brenzo --version` prints.
std::vector<Library> LinkedLibraries();

}  // namespace brenzo::ui
