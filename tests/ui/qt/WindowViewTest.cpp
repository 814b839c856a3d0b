// The window's bindings of the list view, its files, keys, strip and cancel: one test per item,
// on the offscreen platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <thread>

#include "codec/Wav.h"
#include "ui/qt/WaveformStrip.h"
#include "ui/qt/WindowFixture.h"

namespace brenzo::ui {
namespace {

void press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &event);
}

QStringList column(const Fixture& f, int c) {
    QStringList out;
    for (int r = 0; r < f.listRows(); ++r) out << f.cell(r, c);
    return out;
}

// Sounds 1..n named by "Hashes.ini", of 1..n tenths of a second at rates that alternate.
void loadNamed(Fixture& f, std::size_t n) {
    std::string ini = "[Hashes]\n";
    std::vector<testing::TestSound> list;
    for (std::size_t i = 0; i < n; ++i) {
        testing::TestSound s;
        s.hash = static_cast<std::uint32_t>(i + 1);
        s.rate = i % 2 ? 8000 : 11025;
        s.pcm = Tone(s.rate * (n - i) / 2, 300, s.rate);
        list.push_back(s);
        ini += std::to_string(i + 1) + "=" + (i % 2 ? "horn_" : "door_") + std::to_string(i) + "\n";
    }
    testing::WriteText(f.dir / "Hashes.ini", ini);
    f.load(f.write("b.bin", testing::BuildBank(formats::BankKind::Plain, list).image));
}

std::vector<std::uint8_t> monoWav(std::size_t samples, std::uint16_t rate) {
    std::vector<std::uint8_t> wav;
    codec::WriteWavHeader(wav, 1, rate, static_cast<std::uint32_t>(samples * 2));
    const auto bytes = testing::ToBytes(Tone(samples, 440, rate));
    wav.insert(wav.end(), bytes.begin(), bytes.end());
    return wav;
}

template <class Done>
bool waitFor(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

TEST(WindowView, OpensAtItsOriginalSizeAndGrowsWithTheNameColumn) {
    Fixture f;
    f.window.show();
    QApplication::processEvents();
    EXPECT_EQ(f.window.size(), f.window.OriginalSize());
    EXPECT_EQ(f.window.minimumSize(), f.window.OriginalSize());
    EXPECT_FALSE(f.window.Strip->isVisible());
    const int nameWidth = f.window.StringGrid1->columnWidth(0);
    f.window.resize(f.window.OriginalSize() + QSize(300, 200));
    QApplication::processEvents();
    EXPECT_EQ(f.window.StringGrid1->columnWidth(0), nameWidth + 300);
    EXPECT_EQ(f.window.StringGrid1->columnWidth(1), 65);
    EXPECT_TRUE(f.window.Strip->isVisible());
}

TEST(WindowView, FilterShowsMatchingRowsAndCommandsTakeTheirSounds) {
    Fixture f;
    loadNamed(f, 12);
    f.window.Find1->trigger();  // Ctrl+F
    EXPECT_TRUE(f.window.FilterEdit->isVisibleTo(&f.window));
    f.window.FilterEdit->setText("HORN_1");
    EXPECT_EQ(column(f, 0), (QStringList{"horn_1", "horn_11"}));
    EXPECT_EQ(f.window.GroupBox1->title(), "Sound Bank ADPCM (2 of 12 sounds) - b.bin");
    f.select(1);
    EXPECT_EQ(f.window.SelectedEntry(), 11u);
    f.dialogs.answers.push_back({std::nullopt, {}});
    f.window.Export2Click();
    EXPECT_EQ(f.dialogs.asked.back(), "save WAV-file (*.wav)|*.wav horn_11.wav");
    // Esc clears it: every row again, the selected sound still selected.
    press(f.window.FilterEdit, Qt::Key_Escape);
    EXPECT_FALSE(f.window.FilterEdit->isVisibleTo(&f.window));
    EXPECT_EQ(f.listRows(), 12);
    EXPECT_EQ(f.window.GroupBox1->title(), "Sound Bank ADPCM (12 sounds) - b.bin");
    EXPECT_EQ(f.window.SelectedEntry(), 11u);
}

TEST(WindowView, HeaderClicksSortAndKeepTheSelection) {
    Fixture f;
    loadNamed(f, 4);  // door_0 2 s, horn_1 1.5 s, door_2 1 s, horn_3 0.5 s
    f.select(1);
    f.window.HeaderClicked(1);
    EXPECT_EQ(column(f, 0), (QStringList{"horn_3", "door_2", "horn_1", "door_0"}));
    EXPECT_EQ(f.window.SelectedEntry(), 1u);
    EXPECT_TRUE(f.window.StringGrid1->selectionModel()->isRowSelected(2, {}));
    f.window.HeaderClicked(1);
    EXPECT_EQ(column(f, 0), (QStringList{"door_0", "horn_1", "door_2", "horn_3"}));
    EXPECT_EQ(f.window.StringGrid1->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    f.window.HeaderClicked(2);
    EXPECT_EQ(column(f, 2), (QStringList{"8000 Hz", "8000 Hz", "11025 Hz", "11025 Hz"}));
    f.window.HeaderClicked(2);
    f.window.HeaderClicked(2);
    EXPECT_EQ(column(f, 0), (QStringList{"door_0", "horn_1", "door_2", "horn_3"}));
    EXPECT_FALSE(f.window.StringGrid1->horizontalHeader()->isSortIndicatorShown());
}

TEST(WindowView, ToolTipsAndCopyOfSeveralRows) {
    Fixture f;
    loadNamed(f, 3);
    auto* m = f.window.StringGrid1->model();
    EXPECT_TRUE(m->data(m->index(1, 0), Qt::ToolTipRole).toString().startsWith("horn_1\nHash: 0x00000002 (2)\nSize: "));
    f.window.StringGrid1->selectionModel()->select(m->index(0, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    f.window.StringGrid1->selectionModel()->select(m->index(2, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    f.window.Copy1->trigger();  // Ctrl+C
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              "0\tdoor_0\t1\t00:00:01\t11025 Hz\n2\tdoor_2\t3\t00:00:00\t11025 Hz\n");
}

TEST(WindowView, ExportOfSeveralRowsWritesThemIntoAFolder) {
    Fixture f;
    loadNamed(f, 5);
    auto* m = f.window.StringGrid1->model();
    for (int row : {3, 0})
        f.window.StringGrid1->selectionModel()->select(m->index(row, 0),
                                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    fs::create_directory(f.dir / "out");
    f.dialogs.answers.push_back({q(f.dir / "out"), {}});
    f.window.Export1Click();
    EXPECT_EQ(f.dialogs.asked.back(), "folder Select directory");
    EXPECT_TRUE(fs::exists(f.dir / "out" / "door_0.wav"));
    EXPECT_TRUE(fs::exists(f.dir / "out" / "horn_3.wav"));
    EXPECT_EQ(std::distance(fs::directory_iterator(f.dir / "out"), fs::directory_iterator()), 2);
}

TEST(WindowView, KeysPlayPauseAndReachTheCommands) {
    Fixture f;
    struct Case {
        QAction* action;
        QKeySequence keys;
    };
    const Case cases[] = {
        {f.window.Load1, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {f.window.Export2, QKeySequence(Qt::CTRL | Qt::Key_E)},
        {f.window.Exportall1, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E)},
        {f.window.Replace1, QKeySequence(Qt::CTRL | Qt::Key_R)},
        {f.window.Exit1, QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {f.window.Find1, QKeySequence(Qt::CTRL | Qt::Key_F)},
        {f.window.Copy1, QKeySequence(Qt::CTRL | Qt::Key_C)},
    };
    for (const Case& c : cases) EXPECT_EQ(c.action->shortcut(), c.keys) << c.action->text().toStdString();

    f.load(f.write("b.bin", bankOf(2, 10.0)));
    f.select(1);
    press(f.window.StringGrid1, Qt::Key_Return);
    auto& preview = f.window.PreviewState();
    ASSERT_TRUE(preview.IsPlaying());
    press(f.window.StringGrid1, Qt::Key_Space);
    EXPECT_TRUE(preview.IsPaused());
    press(f.window.StringGrid1, Qt::Key_Space);
    EXPECT_FALSE(preview.IsPaused());
    preview.Stop();
}

TEST(WindowView, RecentFilesAreRememberedNewestFirst) {
    Fixture f;
    for (const char* name : {"a.bin", "b.bin", "a.bin"}) f.load(f.write(name, bankOf(1)));
    testing::WriteText(f.dir / "junk.bin", "not a container");
    f.load(f.dir / "junk.bin");  // not a container: not remembered
    auto recent = f.window.Recent1->actions();
    ASSERT_EQ(recent.size(), 2);
    EXPECT_TRUE(recent[0]->text().endsWith("a.bin"));
    EXPECT_TRUE(recent[1]->text().endsWith("b.bin"));

    // Another window sees them; opening one loads it; a file gone since is dropped from the list.
    TKeshAudio second{f.dir / "Hashes.ini", f.scratch, *f.converter, *f.player, f.dialogs};
    ASSERT_EQ(second.Recent1->actions().size(), 2);
    second.Recent1->actions()[1]->trigger();
    EXPECT_EQ(second.GroupBox1->title(), "Sound Bank ADPCM (1 sounds) - b.bin");
    fs::remove(f.dir / "a.bin");
    second.OpenRecent(1);
    EXPECT_EQ(second.Recent1->actions().size(), 1);
    EXPECT_EQ(f.dialogs.errors.size(), 2u);  // "Invalid file!", then the missing file
}

TEST(WindowView, ABrokenSettingsFileMeansDefaults) {
    FreshSettings fresh;
    const QString file = FreshSettings::SettingsFile();
    {
        fs::create_directories(platform::PathFromUtf8(file.toStdString()).parent_path());
        testing::WriteText(
            platform::PathFromUtf8(file.toStdString()),
            "[General]\nrecentFiles=@Variant(garbage\nwindow\\x=left\nwindow\\width=1e99\n\x01\x02[[[\n");
    }
    TempDir dir;
    auto scratch = *workspace::ScratchFolders::Create(dir.path());
    auto converter = engine::MakeConverter();
    auto player = engine::MakePlayer();
    ScriptedDialogs dialogs;
    TKeshAudio window{dir / "Hashes.ini", scratch, *converter, *player, dialogs};
    EXPECT_EQ(window.size(), window.OriginalSize());
    EXPECT_FALSE(window.Recent1->isEnabled());
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST(WindowView, ADroppedAudioFileReplacesTheRowItLandsOn) {
    Fixture f;
    auto bank = f.write("b.bin", bankOf(3));
    f.load(bank);
    f.window.show();
    QApplication::processEvents();
    auto input = f.write("new horn.wav", monoWav(40000, 8000));
    const QRect row1 = f.window.StringGrid1->visualRect(f.window.StringGrid1->model()->index(1, 0));
    const QPoint at = f.window.StringGrid1->viewport()->mapTo(&f.window, row1.center());

    f.dialogs.confirmations = {false};
    f.window.FileDropped(q(input), at);
    EXPECT_EQ(f.dialogs.questions.back(), "Replace 0x0002 with new horn.wav?");
    EXPECT_EQ(f.cell(1, 1), "00:00:00");

    // The drop replaces with the window's settings: with "Keep backups" off no backup is made.
    f.window.KeepBackups1->setChecked(false);
    f.dialogs.confirmations = {true};
    f.window.FileDropped(q(input), at);
    EXPECT_TRUE(f.dialogs.errors.empty()) << (f.dialogs.errors.empty() ? "" : f.dialogs.errors[0].toStdString());
    EXPECT_EQ(f.cell(1, 1), "00:00:05");
    EXPECT_EQ(f.cell(0, 1), "00:00:00");
    EXPECT_FALSE(fs::exists(f.dir / "b.bin.bak"));

    // A container dropped anywhere opens, as before.
    auto other = f.write("other.bin", bankOf(5));
    f.window.FileDropped(q(other), at);
    EXPECT_EQ(f.window.GroupBox1->title(), "Sound Bank ADPCM (5 sounds) - other.bin");
    EXPECT_EQ(f.dialogs.questions.size(), 2u);
}

TEST(WindowView, TheStripShowsTheCurrentSoundAndSeeks) {
    Fixture f;
    f.window.show();
    f.window.resize(f.window.OriginalSize() + QSize(200, 200));
    QApplication::processEvents();
    ASSERT_TRUE(f.window.Strip->isVisible());
    f.load(f.write("b.bin", bankOf(2, 4.0)));
    f.select(0);
    ASSERT_TRUE(waitFor([&] { return f.window.Strip->Wave().has_value(); }));
    const auto& wave = *f.window.Strip->Wave();
    EXPECT_EQ(wave.channels, 1u);
    EXPECT_EQ(wave.columns[0].size(), static_cast<std::size_t>(f.window.Strip->width()));
    EXPECT_GT(wave.columns[0][10].max, 5000);  // the tone, not silence

    // A click at three quarters plays the sound from there; the line follows the preview.
    f.window.Strip->onSeek(f.window.Strip->width() * 3 / 4, f.window.Strip->width());
    auto& preview = f.window.PreviewState();
    ASSERT_TRUE(preview.IsPlaying());
    ASSERT_TRUE(f.window.Strip->Position().has_value());
    EXPECT_NEAR(*f.window.Strip->Position(), 0.75, 0.05);
    preview.Stop();

    // A multichannel file: its channels stacked, from any row.
    auto tone = Tone(9000, 300, 8000);
    f.load(f.write("music.bin", testing::BuildMulti(true, {tone, tone, tone}, 8000).image));
    f.select(1);
    ASSERT_TRUE(waitFor([&] { return f.window.Strip->Wave().has_value(); }));
    EXPECT_EQ(f.window.Strip->Wave()->channels, 3u);
}

// Counts the times a widget is shown, whether or not its window is on screen.
struct ShowCounter : QObject {
    explicit ShowCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        shown += event->type() == QEvent::ShowToParent;
        return false;
    }
    int shown = 0;
};

TEST(WindowView, ExportAllStopsWhenCancelled) {
    struct Case {
        const char* how;
        std::function<void(Fixture&)> cancel;
    };
    const Case cases[] = {
        {"Cancel button", [](Fixture& f) { f.window.CancelButton->click(); }},
        {"Esc", [](Fixture& f) { press(f.window.StringGrid1, Qt::Key_Escape); }},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.load(f.write("big.bin", bankOf(60, 0.05)));
        fs::create_directory(f.dir / "out");
        ShowCounter buttonShown(f.window.CancelButton);
        // The user cancels while the folder is asked, before the first file is written.
        f.dialogs.answers.push_back({q(f.dir / "out"), [&] { c.cancel(f); }});
        f.window.Exportall1Click();
        EXPECT_EQ(buttonShown.shown, 1) << c.how;
        EXPECT_LT(std::distance(fs::directory_iterator(f.dir / "out"), fs::directory_iterator()), 60) << c.how;
        EXPECT_TRUE(f.dialogs.errors.empty()) << c.how;
        EXPECT_FALSE(f.window.CancelButton->isVisibleTo(&f.window)) << c.how;
        EXPECT_FALSE(f.locked()) << c.how;
        // The next export is not cancelled by the last one's Esc.
        f.dialogs.answers.push_back({q(f.dir / "out"), {}});
        f.window.Exportall1Click();
        EXPECT_EQ(std::distance(fs::directory_iterator(f.dir / "out"), fs::directory_iterator()), 60) << c.how;
    }
}

}  // namespace
}  // namespace brenzo::ui
