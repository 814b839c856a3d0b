// brenzo-screenshot OUT.png [CONTAINER [HASHES]]: draws the real main window, with a container
// opened and its first sound selected, into a picture (for the README). Runs headless.
#include <QApplication>
#include <QPainter>
#include <QTableView>
#include <cstdio>

#include "engine/Engine.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/TKeshAudio.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: brenzo-screenshot OUT.png [CONTAINER [HASHES]]\n");
        return 1;
    }
    QApplication app(argc, argv);
    auto scratch = brenzo::workspace::ScratchFolders::Create();
    if (!scratch) return 1;
    auto converter = brenzo::engine::MakeConverter();
    auto player = brenzo::engine::MakePlayer();
    brenzo::ui::QtDialogs dialogs;
    const std::filesystem::path hashes =
        argc > 3 ? brenzo::platform::PathFromUtf8(argv[3]) : brenzo::platform::ExecutableFolder() / "Hashes.ini";
    int status = 0;
    {
        brenzo::ui::TKeshAudio window(hashes, *scratch, *converter, *player, dialogs);
        window.show();
        if (argc > 2) {
            window.OpenFile(QString::fromUtf8(argv[2]));
            window.StringGrid1->selectRow(0);
            window.StringGrid1->setFocus();
        }
        QApplication::processEvents();
        if (!window.grab().save(QString::fromUtf8(argv[1]))) status = 1;
    }
    scratch->Remove();
    return status;
}
