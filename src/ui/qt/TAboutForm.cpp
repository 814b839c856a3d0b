#include "ui/qt/TAboutForm.h"

#include <QGridLayout>
#include <QLabel>
#include <QtGlobal>

#include "engine/Engine.h"
#include "ui/qt/Artwork.h"

namespace brenzo::ui {

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About..."));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(FormFont());

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setVerticalSpacing(0);
    auto* name = new QLabel(QStringLiteral("Brenzo"), this);
    QFont big = FormFont(19);
    big.setBold(true);
    name->setFont(big);
    auto* version = new QLabel(
        QStringLiteral("v") + QString::fromUtf8(kVersion.data(), static_cast<qsizetype>(kVersion.size())), this);
    version->setAlignment(Qt::AlignRight);
    auto* credits = new QLabel(QStringLiteral("Sound container editor\nfor game modders"), this);
    Libraries = new QLabel(
        QStringLiteral("Program uses ") + QString::fromStdString(LibrariesSentence(LinkedLibraries())), this);
    Libraries->setWordWrap(true);
    auto* picture = new QLabel(this);
    picture->setPixmap(AboutPicture());
    picture->setFixedSize(64, 64);
    grid->addWidget(name, 0, 0);
    grid->addWidget(version, 1, 0);
    grid->addWidget(credits, 2, 0);
    grid->addWidget(Libraries, 3, 0);
    grid->addWidget(picture, 0, 1, 4, 1, Qt::AlignRight | Qt::AlignVCenter);
    // As wide as before; as tall as the list of libraries needs.
    setFixedWidth(262);
    setFixedHeight(heightForWidth(262) > 0 ? heightForWidth(262) : sizeHint().height());
}

std::vector<Library> LinkedLibraries() {
    std::vector<Library> libraries{{"Qt", qVersion()}};
    for (auto& l : engine::LinkedLibraries()) libraries.push_back(std::move(l));
    for (auto& l : engine::PlayerLibraries()) libraries.push_back(std::move(l));
    return libraries;
}

}  // namespace brenzo::ui
