// brenzo [FILE]: the desktop editor, with FILE opened when it is given.
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <string_view>

#include "engine/Engine.h"
#include "platform/Files.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/TAboutForm.h"
#include "ui/qt/TKeshAudio.h"
#include "workspace/Scratch.h"

namespace {

// A start-up failure is shown and ends the program with a failure status.
int refuse(const QString& message) {
    QMessageBox::critical(nullptr, QStringLiteral("Error"), message);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before any window or audio device: it needs neither.
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--version") {
            brenzo::platform::WriteText(stdout, brenzo::VersionReport("brenzo", brenzo::ui::LinkedLibraries()));
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brenzo"));
    QApplication::setOrganizationName(QStringLiteral("Brenzo"));

    if (auto problem = brenzo::engine::CheckEngineCapabilities()) return refuse(QString::fromStdString(*problem));
    if (brenzo::Status s = brenzo::engine::StartAudioOutput(); !s) return refuse(QString::fromStdString(s.message()));

    auto scratch = brenzo::workspace::ScratchFolders::Create();
    if (!scratch) {
        brenzo::engine::StopAudioOutput();
        return refuse(QString::fromStdString(scratch.message()));
    }
    auto converter = brenzo::engine::MakeConverter();
    auto player = brenzo::engine::MakePlayer();
    brenzo::ui::QtDialogs dialogs;
    int status = 0;
    {
        brenzo::ui::TKeshAudio window(brenzo::platform::ExecutableFolder() / "Hashes.ini", *scratch, *converter,
                                      *player, dialogs);
        window.show();
        // `brenzo FILE` opens FILE once the window is up.
        const QStringList arguments = QApplication::arguments();
        if (arguments.size() > 1) {
            const QString file = arguments.at(1);
            QTimer::singleShot(0, &window, [&window, file] { window.OpenFile(file); });
        }
        status = QApplication::exec();
    }
    player.reset();
    brenzo::engine::StopAudioOutput();
    scratch->Remove();
    return status;
}
