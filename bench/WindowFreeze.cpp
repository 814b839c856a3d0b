// brenzo-bench-window BANK INPUT.wav OUT_DIR [inline]: how long the window's thread goes
// without an event-loop turn, and its status bar without a repaint, while the shown window
// loads BANK, replaces a sound in the middle of it with INPUT.wav and exports all of it into
// OUT_DIR. "inline" runs the same commands on the window's own thread with the window as their
// port, as the window ran them before its worker thread.
//
// Prints one line per step: step, mode, the longest gap between event-loop turns, the longest
// gap between repaints of the status bar's progress panel, and the step's time (ms). A step
// "idle" first measures the same while the window has nothing to do: what the loaded machine
// alone costs. The panel repaints only when something on it changes (the bar moves, the marquee
// runs): while a file is read, nothing on it does, and its gap is the read's time in both modes.
#include <QApplication>
#include <QEvent>
#include <QProgressBar>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "WindowSteps.h"
#include "engine/Engine.h"
#include "platform/Path.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/TKeshAudio.h"
#include "workspace/Scratch.h"

namespace {

using brenzo::bench::Clock;
using brenzo::bench::Gaps;
using brenzo::ui::TKeshAudio;

// The file dialogs answered from a queue; nothing else is ever asked here.
class Answers : public brenzo::ui::Dialogs {
public:
    std::deque<QString> files;
    std::optional<QString> OpenFile(QWidget*, const QString&) override { return next(); }
    std::optional<QString> SaveFile(QWidget*, const QString&, const QString&) override { return next(); }
    std::optional<QString> Folder(QWidget*, const QString&) override { return next(); }
    void Error(QWidget*, const QString& message) override {
        std::fprintf(stderr, "error: %s\n", message.toUtf8().constData());
    }
    bool Confirm(QWidget*, const QString&) override { return false; }
    bool Ask(QWidget*, const QString&, const QString&, const QString&, const QString&) override { return false; }

private:
    std::optional<QString> next() {
        if (files.empty()) return std::nullopt;
        QString f = files.front();
        files.pop_front();
        return f;
    }
};

// Marks the repaints of the widget it watches.
class Paints : public QObject {
public:
    explicit Paints(Gaps& gaps) : gaps_(gaps) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) gaps_.Mark();
        return false;
    }

private:
    Gaps& gaps_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: brenzo-bench-window BANK INPUT.wav OUT_DIR [inline]\n");
        return 1;
    }
    QApplication app(argc, argv);
    // Settings of its own, never the editor's.
    QApplication::setOrganizationName(QStringLiteral("Brenzo"));
    QApplication::setApplicationName(QStringLiteral("Brenzo-bench"));
    const QString bank = QString::fromUtf8(argv[1]);
    const QString input = QString::fromUtf8(argv[2]);
    const QString out = QString::fromUtf8(argv[3]);
    const bool inlineMode = argc > 4 && std::string(argv[4]) == "inline";
    const char* mode = inlineMode ? "inline" : "worker";

    Answers dialogs;
    return brenzo::bench::WithEngine([&](brenzo::workspace::ScratchFolders& scratch,
                                         brenzo::engine::Converter& converter, brenzo::engine::Player& player) {
        TKeshAudio window(std::filesystem::path(argv[3]) / "no-names.ini", scratch, converter, player, dialogs);
        window.KeepBackups1->setChecked(false);  // the same work in both modes
        window.MatchLoudness1->setChecked(false);
        window.show();
        for (int i = 0; i < 20; ++i) QApplication::processEvents();

        Gaps turns;
        Gaps paints;
        Paints paintWatch(paints);
        window.ProgressBar1->installEventFilter(&paintWatch);
        QTimer tick;
        tick.setInterval(2);
        QObject::connect(&tick, &QTimer::timeout, [&] { turns.Mark(); });
        tick.start();

        auto step = [&](const char* name, const std::function<void()>& run) {
            brenzo::bench::TimeStep(name, mode, turns, paints, run);
        };
        // The machine's own share: the same measure while the window has nothing to do.
        step("idle", [&] {
            const auto until = Clock::now() + std::chrono::seconds(2);
            while (Clock::now() < until) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        });
        const int status = brenzo::bench::LoadReplaceExportAll(
            window, dialogs, converter, inlineMode, brenzo::platform::PathFromUtf8(bank.toStdString()), bank, input,
            out, step, [&](std::size_t row) { window.StringGrid1->selectRow(static_cast<int>(row)); });
        return status;
    });
}
