// The real window on the offscreen platform, its dialogs answered by a script, its settings in a
// folder of the tests, the preview on SDL's dummy driver: shared by the window's test files.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QTableView>
#include <deque>
#include <functional>
#include <memory>

#include "engine/Engine.h"
#include "platform/Path.h"
#include "support/Builders.h"
#include "support/ScriptedAnswers.h"
#include "support/TempDir.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/TKeshAudio.h"

namespace brenzo::ui {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::Tone;

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "ui_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        // Named as the program names itself, so that every store the window opens is the one
        // FreshSettings clears; in a folder of the tests' own, never the user's, for the whole run.
        QApplication::setOrganizationName(QStringLiteral("Brenzo"));
        QApplication::setApplicationName(QStringLiteral("Brenzo"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(settings_.path().string()));
        ASSERT_TRUE(engine::StartAudioOutput());
    }
    void TearDown() override {
        engine::StopAudioOutput();
        app_.reset();
    }

private:
    testing::TempDir settings_;
    std::unique_ptr<QApplication> app_;
};
inline const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Every window starts from no settings: nothing remembered from an earlier test.
struct FreshSettings {
    FreshSettings() {
        QSettings store;
        store.clear();
        store.sync();
    }
    static QString SettingsFile() { return QSettings().fileName(); }
};

// Dialogs answered from a queue; each answer may first look at the window while it is asked.
class ScriptedDialogs : public Dialogs, public testing::ScriptedAnswers<QString> {
public:
    std::vector<QString> errors;

    std::optional<QString> OpenFile(QWidget*, const QString& filter) override { return next("open " + filter); }
    std::optional<QString> SaveFile(QWidget*, const QString& filter, const QString& preset) override {
        return next("save " + filter + " " + preset);
    }
    std::optional<QString> Folder(QWidget*, const QString& caption) override { return next("folder " + caption); }
    void Error(QWidget*, const QString& message) override { errors.push_back(message); }
    std::deque<bool> confirmations;
    std::vector<QString> questions;
    std::deque<bool> choices;  // answers to Ask; "no" when none is left
    bool Ask(QWidget*, const QString& title, const QString& text, const QString& yes, const QString& no) override {
        questions.push_back(title + ": " + text + " [" + yes + "/" + no + "]");
        return take(choices);
    }
    bool Confirm(QWidget*, const QString& question) override {
        questions.push_back(question);
        return take(confirmations);
    }
};

inline QString q(const fs::path& p) { return QString::fromStdString(platform::PathToUtf8(p)); }

struct Fixture {
    FreshSettings fresh;
    TempDir dir;
    workspace::ScratchFolders scratch = *workspace::ScratchFolders::Create(dir.path());
    std::unique_ptr<engine::Converter> converter = engine::MakeConverter();
    std::unique_ptr<engine::Player> player = engine::MakePlayer();
    ScriptedDialogs dialogs;
    TKeshAudio window{dir / "Hashes.ini", scratch, *converter, *player, dialogs};

    fs::path write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        testing::WriteFile(dir / name, bytes);
        return dir / name;
    }
    void load(const fs::path& file) {
        dialogs.answers.push_back({q(file), {}});
        window.Load1Click();
    }
    void select(int row) { window.StringGrid1->selectRow(row); }
    int listRows() const { return window.StringGrid1->model()->rowCount(); }
    QString cell(int row, int column) const {
        auto* m = window.StringGrid1->model();
        return m->data(m->index(row, column)).toString();
    }
    bool locked() const {
        return !window.StringGrid1->isEnabled() && !window.Image1->isEnabled() && !window.File1->isEnabled() &&
               !window.Tools1->isEnabled() && !window.Help1->isEnabled();
    }
};

inline std::vector<std::uint8_t> bankOf(std::size_t n, double seconds = 0.3, std::uint16_t rate = 8000) {
    std::vector<testing::TestSound> list;
    for (std::size_t i = 0; i < n; ++i) {
        testing::TestSound s;
        s.hash = static_cast<std::uint32_t>(i + 1);
        s.rate = rate;
        s.pcm = Tone(static_cast<std::size_t>(seconds * rate), 300 + 5.0 * static_cast<double>(i), rate);
        list.push_back(s);
    }
    return testing::BuildBank(formats::BankKind::Plain, list).image;
}

}  // namespace brenzo::ui
