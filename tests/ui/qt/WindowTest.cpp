// The real window on the offscreen platform, its dialogs answered by a script, the preview on
// SDL's dummy driver.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <deque>
#include <functional>
#include <thread>

#include "codec/Wav.h"
#include "engine/Engine.h"
#include "export/ExportCommands.h"
#include "platform/Path.h"
#include "radio/Dat15.h"
#include "support/Builders.h"
#include "support/HeldConverter.h"
#include "support/TempDir.h"
#include "ui/qt/TAboutForm.h"
#include "ui/qt/TForm14.h"
#include "ui/qt/TKeshAudio.h"
#include "ui/qt/WindowFixture.h"

namespace brenzo::ui {
namespace {

TEST(Window, StartsEmptyWithItsControls) {
    Fixture f;
    EXPECT_EQ(f.window.windowTitle(), "Brenzo");
    EXPECT_EQ(f.window.GroupBox1->title(), "Kesh Audio is not loaded");
    auto* m = f.window.StringGrid1->model();
    EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), "Name");
    EXPECT_EQ(m->headerData(1, Qt::Horizontal).toString(), "Duration");
    EXPECT_EQ(m->headerData(2, Qt::Horizontal).toString(), "Sample Rate");
    EXPECT_EQ(f.listRows(), 1);  // the header row and one empty row
    EXPECT_EQ(f.cell(0, 0), "");
    EXPECT_EQ(f.window.File1->title(), "&File");   // Alt+F
    EXPECT_EQ(f.window.Tools1->title(), "&Edit");  // Alt+E
    EXPECT_EQ(f.window.Help1->text(), "About...");
    EXPECT_EQ(f.window.StringGrid1->columnWidth(1), 65);
    EXPECT_EQ(f.window.StringGrid1->columnWidth(2), 79);
    // Shown, the three columns fit the list: no horizontal scrolling.
    f.window.show();
    QApplication::processEvents();
    EXPECT_LE(f.window.StringGrid1->horizontalHeader()->length(), f.window.StringGrid1->viewport()->width());
    EXPECT_FALSE(f.window.ShowsPauseIcon());
    EXPECT_EQ(f.window.width(), 394);
}

TEST(Window, ACancelledLoadChangesNothing) {
    Fixture f;
    f.load(f.write("b.bin", bankOf(3)));
    f.dialogs.answers.push_back({std::nullopt, {}});
    f.window.Load1Click();
    EXPECT_EQ(f.dialogs.asked.back(), "open All files (*.*)|*.*");
    EXPECT_EQ(f.listRows(), 3);
    EXPECT_EQ(f.window.GroupBox1->title(), "Sound Bank ADPCM (3 sounds) - b.bin");
}

TEST(Window, MenusFollowTheKindOfFile) {
    Fixture f;
    auto tone = Tone(9000, 300, 8000);
    f.load(f.write("music.bin", testing::BuildMulti(true, {tone, tone}, 8000).image));
    EXPECT_EQ(f.window.GroupBox1->title(), "Multichannel ADPCM (2 channels) - music.bin");
    EXPECT_FALSE(f.window.Export2->isVisible());
    EXPECT_EQ(f.window.Export1->text(), "Export all");
    EXPECT_EQ(f.window.Replace1->text(), "Replace all");
    EXPECT_TRUE(f.window.Replace1->isEnabled());
    EXPECT_EQ(f.cell(1, 1), "00:00:01");
    EXPECT_EQ(f.cell(1, 2), "8000 Hz");

    f.load(f.write("b.bin", bankOf(2)));
    EXPECT_TRUE(f.window.Export2->isVisible());
    EXPECT_EQ(f.window.Export1->text(), "Export");
    EXPECT_EQ(f.window.Replace1->text(), "Replace");
}

TEST(Window, AnInvalidFileLeavesAnEmptyListAndIdleCommands) {
    Fixture f;
    f.load(f.write("b.bin", bankOf(2)));
    testing::WriteText(f.dir / "junk.bin", "nothing we know");
    f.load(f.dir / "junk.bin");
    ASSERT_EQ(f.dialogs.errors.size(), 1u);
    EXPECT_EQ(f.dialogs.errors[0], "Invalid file!");
    EXPECT_EQ(f.window.GroupBox1->title(), "Invalid file! - junk.bin");
    EXPECT_EQ(f.listRows(), 1);
    f.select(0);
    const auto asked = f.dialogs.asked.size();
    f.window.Export1Click();
    f.window.Export2Click();
    f.window.Exportall1Click();
    f.window.Replace1Click();
    f.window.StringGrid1DblClick();
    EXPECT_EQ(f.dialogs.asked.size(), asked);
    EXPECT_FALSE(f.window.PreviewState().IsPlaying());
}

TEST(AboutWindow, CreditsEveryLinkedLibraryWithItsVersion) {
    TAboutForm about;
    const QString text = about.Libraries->text();
    for (const auto& l : LinkedLibraries())
        EXPECT_TRUE(text.contains(QString::fromStdString(l.name + " " + l.version))) << text.toStdString();
    // Both the decoding's libraries and the player's.
    EXPECT_TRUE(text.contains("libmpg123")) << text.toStdString();
    EXPECT_TRUE(text.contains("SDL2")) << text.toStdString();
}

TEST(Window, TheFirstSoundIsSelectedAfterALoad) {
    Fixture f;
    f.load(f.write("b.bin", bankOf(2)));
    f.window.Export2Click();
    EXPECT_EQ(f.dialogs.asked.back(), "save WAV-file (*.wav)|*.wav 0x0001.wav");
    f.window.Image1Click();
    EXPECT_TRUE(f.window.PreviewState().IsPlaying());
}

TEST(Window, ThePopupExportLocksWhileItsDialogIsOpen) {
    Fixture f;
    f.load(f.write("b.bin", bankOf(2)));
    f.select(1);
    bool lockedWhileAsked = false;
    QString statusWhileAsked;
    f.dialogs.answers.push_back({std::nullopt, [&] {
                                     lockedWhileAsked = f.locked();
                                     statusWhileAsked = f.window.StatusPanel0->text();
                                 }});
    f.window.Export1Click();
    EXPECT_TRUE(lockedWhileAsked);
    EXPECT_EQ(statusWhileAsked, "Exporting...");
    EXPECT_FALSE(f.locked());
    EXPECT_EQ(f.window.StatusPanel0->text(), "");
    EXPECT_EQ(f.dialogs.asked.back(), "save WAV-file (*.wav)|*.wav 0x0002.wav");
}

TEST(Window, ExportAllWritesEverySound) {
    Fixture f;
    f.load(f.write("big.bin", bankOf(120, 0.05)));
    fs::create_directory(f.dir / "out");
    f.dialogs.answers.push_back({q(f.dir / "out"), {}});
    f.window.Exportall1Click();
    std::size_t files = 0;
    for (const auto& e : fs::directory_iterator(f.dir / "out")) files += e.is_regular_file();
    EXPECT_EQ(files, 120u);
    EXPECT_TRUE(f.dialogs.errors.empty());
}

TEST(Window, PreviewPlaysPausesSeeksAndEnds) {
    Fixture f;
    f.load(f.write("b.bin", bankOf(2, 10.0)));
    f.select(0);
    f.window.StringGrid1DblClick();
    auto& preview = f.window.PreviewState();
    ASSERT_TRUE(preview.IsPlaying()) << (f.dialogs.errors.empty() ? "" : f.dialogs.errors[0].toStdString());
    EXPECT_TRUE(f.window.ShowsPauseIcon());
    EXPECT_TRUE(f.window.Timer1->isActive());
    EXPECT_FALSE(f.locked());

    // Drag to 52 % of the bar while it plays, then pause: "Paused - 00:00:05".
    const int width = f.window.ProgressBar1->contentsRect().width();
    f.window.ProgressBar1MouseMove(Qt::LeftButton, width * 52 / 100, 5);
    f.window.ProgressBar1MouseMove(Qt::NoButton, width * 52 / 100, 5);
    f.window.Image1Click();
    EXPECT_TRUE(preview.IsPaused());
    EXPECT_EQ(f.window.StatusPanel0->text(), "Paused - 00:00:05");
    EXPECT_FALSE(f.window.ShowsPauseIcon());
    EXPECT_FALSE(f.window.Timer1->isActive());

    // Seeking while paused stays paused; resuming continues from there.
    f.window.ProgressBar1MouseMove(Qt::LeftButton, width - 1, 5);
    EXPECT_TRUE(preview.IsPaused());
    f.window.Image1Click();
    EXPECT_FALSE(preview.IsPaused());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (preview.IsPlaying() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    f.window.ProgressBar1MouseMove(Qt::NoButton, 0, 0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(preview.IsPlaying());
    EXPECT_FALSE(f.window.ShowsPauseIcon());
    EXPECT_EQ(f.window.ProgressBar1->value(), 0);
}

TEST(Window, AStereoFileForABankAsksToMixDown) {
    Fixture f;
    auto file = f.write("b.bin", bankOf(2));
    const auto original = testing::ReadFile(file);
    f.load(file);
    auto stereo = testing::Tone(16000, 440, 8000);
    std::vector<std::int16_t> frames;
    for (auto s : stereo) frames.insert(frames.end(), {s, s});
    std::vector<std::uint8_t> wav;
    codec::WriteWavHeader(wav, 2, 8000, static_cast<std::uint32_t>(frames.size() * 2));
    auto bytes = testing::ToBytes(frames);
    wav.insert(wav.end(), bytes.begin(), bytes.end());
    auto input = f.write("stereo.wav", wav);
    f.select(0);
    const QString durationBefore = f.cell(0, 1);
    for (bool mix : {false, true}) {
        f.dialogs.answers.push_back({q(input), {}});
        f.dialogs.choices = {mix};
        f.window.Replace1Click();
        EXPECT_EQ(f.dialogs.questions.back(),
                  "Mix down: stereo.wav has 2 channels. Mix them down to one? [Mix down/Cancel]");
        EXPECT_TRUE(f.dialogs.errors.empty());
        EXPECT_FALSE(f.locked());
        EXPECT_EQ(testing::ReadFile(file) == original, !mix);
        EXPECT_EQ(f.cell(0, 1) == durationBefore, !mix);
    }
}

TEST(Window, FileMenuImportsAFolderKeepsBackupsAndRestores) {
    Fixture f;

    {
        // The settings' defaults, and what a changed one is in the next window.
        ScriptedDialogs dialogs;
        TKeshAudio first{f.dir / "Hashes.ini", f.scratch, *f.converter, *f.player, dialogs};
        EXPECT_TRUE(first.KeepBackups1->isChecked());
        EXPECT_FALSE(first.MatchLoudness1->isChecked());
        first.MatchLoudness1->setChecked(true);
        TKeshAudio second{f.dir / "Hashes.ini", f.scratch, *f.converter, *f.player, dialogs};
        EXPECT_TRUE(second.MatchLoudness1->isChecked());
        second.MatchLoudness1->setChecked(false);
    }

    QStringList items;
    for (QAction* a : f.window.File1->actions())
        if (!a->isSeparator()) items << a->text();
    EXPECT_EQ(items.join(QLatin1Char('|')),
              "Load|Recent files|Export|Export all|Import folder...|Keep backups|Match loudness on replace|Restore "
              "original|Exit");
    EXPECT_FALSE(f.window.ImportFolder1->isEnabled());
    EXPECT_FALSE(f.window.RestoreOriginal1->isEnabled());

    auto file = f.write("b.bin", bankOf(2));
    const auto original = testing::ReadFile(file);
    f.load(file);
    EXPECT_TRUE(f.window.ImportFolder1->isEnabled());
    EXPECT_FALSE(f.window.RestoreOriginal1->isEnabled());
    fs::create_directory(f.dir / "in");
    std::vector<std::uint8_t> wav;
    const auto tone = testing::ToBytes(Tone(16000, 500, 8000));
    codec::WriteWavHeader(wav, 1, 8000, static_cast<std::uint32_t>(tone.size()));
    wav.insert(wav.end(), tone.begin(), tone.end());
    testing::WriteFile(f.dir / "in" / "0x0002.wav", wav);
    f.dialogs.answers.push_back({q(f.dir / "in"), {}});
    f.dialogs.choices = {true};
    f.window.ImportFolder1Click();
    EXPECT_EQ(f.dialogs.questions.size(), 1u);  // the summary, answered "Import"
    EXPECT_TRUE(f.dialogs.errors.empty());
    EXPECT_EQ(f.cell(1, 1), "00:00:02");
    EXPECT_EQ(f.window.StatusPanel0->text(), "1 of 2 sounds replaced");
    EXPECT_EQ(testing::ReadFile(f.dir / "b.bin.bak"), original);
    EXPECT_TRUE(f.window.RestoreOriginal1->isEnabled());

    f.dialogs.choices = {true};
    f.window.RestoreOriginal1Click();
    EXPECT_EQ(testing::ReadFile(file), original);
    EXPECT_EQ(f.cell(1, 1), "00:00:00");
    EXPECT_FALSE(f.locked());
}

TEST(Window, ClosingDuringACommandWaitsForIt) {
    Fixture f;
    f.load(f.write("b.bin", bankOf(2)));
    f.select(0);
    bool acceptedWhileBusy = true;
    f.dialogs.answers.push_back({std::nullopt, [&] {
                                     QCloseEvent close;
                                     QApplication::sendEvent(&f.window, &close);
                                     acceptedWhileBusy = close.isAccepted();
                                 }});
    f.window.Export1Click();
    EXPECT_FALSE(acceptedWhileBusy);
    EXPECT_TRUE(f.window.Workspace().CurrentBank() != nullptr);  // the workspace outlived the command
}

TEST(Window, ADroppedFileOpensAsLoadWould) {
    Fixture f;
    auto file = f.write("drop.bin", bankOf(4));
    f.window.OpenFile(q(file));
    EXPECT_EQ(f.window.GroupBox1->title(), "Sound Bank ADPCM (4 sounds) - drop.bin");
}

TEST(Window, ItsEventsRunWhileACommandWorksAndACloseWaitsForTheSave) {
    Fixture f;
    testing::HeldConverter held(*f.converter);
    TKeshAudio window{f.dir / "Hashes.ini", f.scratch, held, *f.player, f.dialogs};
    const auto bank = f.write("b.bin", bankOf(2));
    const auto original = testing::ReadFile(bank);
    f.dialogs.answers.push_back({q(bank), {}});
    window.Load1Click();
    window.StringGrid1->selectRow(0);
    std::vector<std::uint8_t> wav;
    const auto tone = testing::ToBytes(Tone(16000, 500, 8000));
    codec::WriteWavHeader(wav, 1, 8000, static_cast<std::uint32_t>(tone.size()));
    wav.insert(wav.end(), tone.begin(), tone.end());
    f.dialogs.answers.push_back({q(f.write("new.wav", wav)), {}});

    // A timer of the window's thread ticks while the command converts, the window locked, the
    // marquee on; at the third tick the user tries other commands and closes the window, then
    // the conversion goes on.
    int ticks = 0;
    bool closeAccepted = true;
    bool secondCommandAsked = true;
    QTimer timer;
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const bool working = !window.StringGrid1->isEnabled() && !window.File1->isEnabled() &&
                             window.ProgressBar1->maximum() == 0 &&
                             window.StatusPanel0->text() == "Converting to WAV...";
        if (!working || held.released || ++ticks < 3) return;
        // Shortcuts still reach the window: none of them starts a second command meanwhile.
        const auto asked = f.dialogs.asked.size();
        window.Replace1->trigger();
        window.Exportall1Click();
        window.ImportFolder1Click();
        window.OpenFile(q(bank));
        secondCommandAsked = f.dialogs.asked.size() != asked;
        QCloseEvent close;
        QApplication::sendEvent(&window, &close);
        closeAccepted = close.isAccepted();
        held.released = true;
    });
    timer.start();
    window.Replace1Click();
    timer.stop();
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(secondCommandAsked);
    EXPECT_FALSE(closeAccepted);
    EXPECT_TRUE(f.dialogs.errors.empty());
    EXPECT_NE(testing::ReadFile(bank), original);  // the save was made
    EXPECT_TRUE(window.Workspace().CurrentBank() != nullptr);
    // The close asked for meanwhile comes once the command is done.
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    EXPECT_TRUE(window.Workspace().CurrentBank() == nullptr);
}

// A first play exports its sound into the cache as a command runs: the window's events go on
// meanwhile, the window locked with "Loading..."; another play, a load or a close asked for then
// starts nothing, and the close comes once the sound has started.
TEST(Window, AFirstPlayLetsTheWindowsEventsRunWhileItsSoundIsExported) {
    Fixture f;
    f.load(f.write("b.bin", bankOf(2, 20.0, 22050)));
    f.select(0);
    bool ran = false;
    bool lockedMeanwhile = false;
    bool closeAccepted = true;
    const auto asked = f.dialogs.asked.size();
    QTimer::singleShot(0, &f.window, [&] {
        ran = true;
        lockedMeanwhile = f.locked() && f.window.StatusPanel0->text() == "Loading..." &&
                          f.window.ProgressBar1->maximum() == 0 && !f.window.PreviewState().IsPlaying();
        f.select(1);
        f.window.StringGrid1DblClick();
        f.window.Image1Click();
        f.window.OpenFile(q(f.dir / "b.bin"));
        QCloseEvent close;
        QApplication::sendEvent(&f.window, &close);
        closeAccepted = close.isAccepted();
    });
    f.window.StringGrid1DblClick();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(lockedMeanwhile);
    EXPECT_FALSE(closeAccepted);
    EXPECT_EQ(f.dialogs.asked.size(), asked);
    EXPECT_TRUE(f.window.PreviewState().IsPlaying())
        << (f.dialogs.errors.empty() ? "" : f.dialogs.errors[0].toStdString());
    EXPECT_TRUE(fs::exists(exporting::CacheWavPath(f.window.Workspace(), 0)));
    EXPECT_FALSE(fs::exists(exporting::CacheWavPath(f.window.Workspace(), 1)));
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    EXPECT_FALSE(f.window.PreviewState().IsPlaying());
    EXPECT_TRUE(f.window.Workspace().CurrentBank() == nullptr);
}

TEST(Window, AHundredThousandRowsAreAModelNotCells) {
    Fixture f;
    std::vector<testing::TestSound> list(100000);
    for (std::size_t i = 0; i < list.size(); ++i) {
        list[i].hash = static_cast<std::uint32_t>(i);
        list[i].compression = 1;
    }
    f.load(f.write("many.bin", testing::BuildBank(formats::BankKind::Plain, list).image));
    EXPECT_EQ(f.listRows(), 100000);
    EXPECT_EQ(f.cell(99999, 0), "0x1869F");
    f.window.StringGrid1->scrollToBottom();
}

TEST(DurationEditor, LoadSelectApplyAndClose) {
    TempDir dir;
    ScriptedDialogs dialogs;
    testing::WriteFile(dir / "radio.dat15", radio::BuildDemoDat15());
    const auto before = testing::ReadFile(dir / "radio.dat15");
    {
        TForm14 editor(dialogs);
        EXPECT_EQ(editor.windowTitle(), "Radio Music Duration Editor");
        EXPECT_EQ(editor.MaskEdit1->displayText(), "  :  :  ");
        dialogs.answers.push_back({q(dir / "radio.dat15"), {}});
        editor.Button1Click();
        EXPECT_EQ(dialogs.asked.back(), "open DAT15-file (*.dat15)|*.dat15");
        EXPECT_EQ(editor.Button1->text(), "\"radio.dat15\"");
        ASSERT_GT(editor.ListBox1->count(), 0);
        EXPECT_EQ(editor.MaskEdit1->text(), "00:00:00");
        // "Apply" without a selection does nothing.
        editor.Button2Click();
        EXPECT_EQ(testing::ReadFile(dir / "radio.dat15"), before);

        editor.ListBox1->setCurrentRow(0);
        EXPECT_EQ(editor.Memo1->toPlainText(), editor.ListBox1->item(0)->text());
        EXPECT_NE(editor.MaskEdit1->text(), "00:00:00");
        editor.MaskEdit1->setText("01:02:03");
        // Enter in the time field applies, and never asks for a file.
        editor.show();
        const auto asked = dialogs.asked.size();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(editor.MaskEdit1, &enter);
        EXPECT_EQ(dialogs.asked.size(), asked);
        EXPECT_TRUE(editor.Memo1->toPlainText().endsWith("\n01:02:03 written"))
            << editor.Memo1->toPlainText().toStdString();
        auto after = testing::ReadFile(dir / "radio.dat15");
        ASSERT_EQ(after.size(), before.size());
        std::size_t changed = 0;
        for (std::size_t i = 0; i < after.size(); ++i) changed += after[i] != before[i];
        EXPECT_GE(changed, 1u);
        EXPECT_LE(changed, 4u);
        // Another editor cannot write the file meanwhile.
        EXPECT_FALSE(radio::Dat15File::Open(dir / "radio.dat15"));
        editor.reject();
        EXPECT_EQ(editor.ListBox1->count(), 0);
        EXPECT_EQ(editor.Button1->text(), "Load .dat15-file");
        EXPECT_FALSE(editor.HoldsFile());
    }
    EXPECT_TRUE(radio::Dat15File::Open(dir / "radio.dat15"));
    TForm14 reopened(dialogs);
    EXPECT_EQ(reopened.ListBox1->count(), 0);
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST(DurationEditor, AFileThatCannotBeWrittenIsRefusedAndNotHeld) {
    TempDir dir;
    ScriptedDialogs dialogs;
    testing::WriteFile(dir / "radio.dat15", radio::BuildDemoDat15());
    auto held = radio::Dat15File::Open(dir / "radio.dat15");
    ASSERT_TRUE(held);
    TForm14 editor(dialogs);
    dialogs.answers.push_back({q(dir / "radio.dat15"), {}});
    editor.Button1Click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_TRUE(dialogs.errors[0].contains("in use"));
    EXPECT_EQ(editor.ListBox1->count(), 0);
    EXPECT_FALSE(editor.HoldsFile());
}

}  // namespace
}  // namespace brenzo::ui
