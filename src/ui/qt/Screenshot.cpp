// brenzo-screenshot OUT.png [CONTAINER [HASHES [WIDTHxHEIGHT FILTER SORT]]]: draws the real main
// window, with a container opened and its first row selected, into a picture (for the README).
// With a size, the window is widened to it, the list filtered by FILTER and sorted by the column
// SORT (0 name, 1 duration, 2 rate), and the waveform strip drawn. Runs headless; its settings go
// to a scratch folder, never the user's.
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSettings>
#include <QTableView>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "engine/Engine.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/TKeshAudio.h"
#include "ui/qt/WaveformStrip.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: brenzo-screenshot OUT.png [CONTAINER [HASHES [WIDTHxHEIGHT FILTER SORT]]]\n");
        return 1;
    }
    QApplication app(argc, argv);
    auto scratch = brenzo::workspace::ScratchFolders::Create();
    if (!scratch) return 1;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(brenzo::platform::PathToUtf8(scratch->WorkFolder() / "settings")));
    auto converter = brenzo::engine::MakeConverter();
    auto player = brenzo::engine::MakePlayer();
    brenzo::ui::QtDialogs dialogs;
    const std::filesystem::path hashes =
        argc > 3 ? brenzo::platform::PathFromUtf8(argv[3]) : brenzo::platform::ExecutableFolder() / "Hashes.ini";
    int status = 0;
    {
        brenzo::ui::TKeshAudio window(hashes, *scratch, *converter, *player, dialogs);
        window.show();
        if (argc > 6) {
            int width = 0, height = 0;
            if (std::sscanf(argv[4], "%dx%d", &width, &height) == 2) window.resize(width, height);
            QApplication::processEvents();
        }
        if (argc > 2) {
            window.OpenFile(QString::fromUtf8(argv[2]));
            if (argc > 6) {
                window.ShowFilter();
                window.FilterEdit->setText(QString::fromUtf8(argv[5]));
                window.HeaderClicked(std::atoi(argv[6]));
            }
            window.StringGrid1->selectRow(0);
            window.StringGrid1->setFocus();
        }
        // The strip's columns are made on a thread of their own.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        do {
            QApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (window.Strip->isVisible() && !window.Strip->Wave() && std::chrono::steady_clock::now() < deadline);
        if (!window.grab().save(QString::fromUtf8(argv[1]))) status = 1;
    }
    scratch->Remove();
    return status;
}
