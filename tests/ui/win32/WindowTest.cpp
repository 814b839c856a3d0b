// The real Win32 window, created hidden by the test and driven through its handlers, as a user
// would through its menus, keys and mouse; its dialogs answered by a script, its settings under
// a registry key of the test's own, the preview on whatever sound device Wine or Windows has.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <string>

#include "codec/Wav.h"
#include "engine/Engine.h"
#include "export/ExportCommands.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "support/Builders.h"
#include "support/HeldConverter.h"
#include "support/RunCli.h"
#include "support/TempDir.h"
#include "ui/win32/Forms.h"
#include "ui/win32/ScriptedDialogs.h"
#include "ui/win32/TKeshAudio.h"
#include "ui/win32/WindowConstants.h"

namespace brenzo::ui::win32 {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class AudioEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(engine::StartAudioOutput()); }
    void TearDown() override { engine::StopAudioOutput(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new AudioEnvironment);

std::string u8(const fs::path& p) { return platform::PathToUtf8(p); }

std::vector<std::uint8_t> wavOf(const std::vector<std::int16_t>& samples, std::uint32_t rate) {
    std::vector<std::uint8_t> out;
    codec::WriteWavHeader(out, 1, rate, static_cast<std::uint32_t>(samples.size() * 2));
    const auto data = testing::ToBytes(samples);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

struct Fixture {
    testing::TempDir dir;
    const std::wstring settingsKey = L"Software\\Brenzo\\Tests\\Window" + std::to_wstring(GetCurrentProcessId());
    workspace::ScratchFolders scratch = *workspace::ScratchFolders::Create(dir.path());
    std::unique_ptr<engine::Converter> converter = engine::MakeConverter();
    std::unique_ptr<engine::Player> player = engine::MakePlayer();
    ScriptedDialogs dialogs;
    std::unique_ptr<TKeshAudio> window;

    Fixture() {
        testing::WriteFile(dir / "Hashes.ini",
                           std::vector<std::uint8_t>{'[', 'H',  'a', 's', 'h', 'e',  's', ']', '\n', '1', '=',
                                                     'a', 'l',  'p', 'h', 'a', '\n', '2', '=', 'b',  'e', 't',
                                                     'a', '\n', '3', '=', 'g', 'a',  'm', 'm', 'a',  '\n'});
        window = std::make_unique<TKeshAudio>(dir / "Hashes.ini", scratch, *converter, *player, dialogs,
                                              WindowSettings(settingsKey));
    }
    ~Fixture() {
        window.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, settingsKey.c_str());
    }
    TKeshAudio& w() { return *window; }
    void answer(std::optional<std::string> value, std::function<void()> whileAsked = {}) {
        dialogs.answers.push_back({std::move(value), std::move(whileAsked)});
    }
    // The middle of a row, in the window's client coordinates: where a drop lands on it.
    POINT rowPoint(int row) {
        RECT r{};
        ListView_GetItemRect(w().StringGrid1, row, &r, LVIR_BOUNDS);
        POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        MapWindowPoints(w().StringGrid1, w().Handle(), &p, 1);
        return p;
    }
};

// A bank of three sounds at 8000 Hz: "alpha" 1 s, "beta" 3 s, "gamma" 2 s.
std::vector<std::uint8_t> threeSounds() {
    std::vector<testing::TestSound> list;
    const double seconds[] = {1.0, 3.0, 2.0};
    for (std::uint32_t i = 0; i < 3; ++i) {
        testing::TestSound s;
        s.hash = i + 1;
        s.rate = 8000;
        s.pcm = testing::Tone(static_cast<std::size_t>(seconds[i] * 8000), 300.0 + 50.0 * i, 8000);
        list.push_back(s);
    }
    return testing::BuildBank(formats::BankKind::Plain, list).image;
}

// One user's session, step by step: what each step leaves in the list, the caption and the
// status bar, and that no step leaves the window locked or an error behind unless it should.
TEST(Win32Window, ASessionThroughEveryCommand) {
    Fixture f;
    const fs::path bank = f.dir / "b.bin";
    testing::WriteFile(bank, threeSounds());
    testing::WriteFile(f.dir / "junk.bin", std::vector<std::uint8_t>(64, 0xEE));
    testing::WriteFile(f.dir / "new.wav", wavOf(testing::Tone(4 * 8000, 440, 8000), 8000));
    testing::WriteFile(f.dir / "dropped.wav", wavOf(testing::Tone(5 * 8000, 220, 8000), 8000));
    fs::create_directory(f.dir / "out");
    bool lockedWhileAsked = false;
    std::string statusWhileAsked;
    auto lookWhileAsked = [&] {
        lockedWhileAsked = f.w().IsLocked() && !IsWindowEnabled(f.w().StringGrid1);
        statusWhileAsked = f.w().StatusText();
    };

    struct Step {
        const char* name;
        std::function<void()> act;
        int rows;
        const char* firstName;  // the first row's name
        const char* caption;
        std::function<void()> check;
    };
    const Step steps[] = {
        {"a new window", [] {}, 1, "", "Kesh Audio is not loaded",
         [&] {
             EXPECT_EQ(f.w().MenuText(kLoad1), "Load");
             EXPECT_EQ(f.w().MenuText(kExport2), "Export");
             EXPECT_EQ(f.w().MenuText(kRadioLength1), "Radio Music Duration Editor");
             EXPECT_EQ(f.w().MenuText(kHelp1), "About...");
             EXPECT_FALSE(f.w().MenuEnabled(kRestoreOriginal1));
             EXPECT_FALSE(f.w().ShowsPauseIcon());
         }},
        {"Load",
         [&] {
             f.answer(u8(bank));
             f.w().Load1Click();
         },
         3, "alpha", "Sound Bank ADPCM (3 sounds) - b.bin",
         [&] {
             EXPECT_EQ(f.dialogs.asked.back(), "open All files (*.*)|*.*");
             EXPECT_EQ(f.w().CellText(1, 1), "00:00:03");
             EXPECT_EQ(f.w().CellText(1, 2), "8000 Hz");
             EXPECT_EQ(f.w().SelectedEntry(), 0u);  // the first sound, without a click
             EXPECT_EQ(f.w().Settings().RecentFiles(), std::vector<std::string>{u8(fs::absolute(bank))});
             EXPECT_EQ(f.w().MenuText(kRecentFirst), "&1 " + u8(fs::absolute(bank)));
         }},
        {"the duration header, twice: longest first",
         [&] {
             f.w().HeaderClicked(1);
             f.w().HeaderClicked(1);
         },
         3, "beta", "Sound Bank ADPCM (3 sounds) - b.bin", [&] { EXPECT_EQ(f.w().CellText(2, 0), "alpha"); }},
        {"Ctrl+F and a filter",
         [&] {
             f.w().ShowFilter();
             f.w().SetFilterText("AMM");
         },
         1, "gamma", "Sound Bank ADPCM (1 of 3 sounds) - b.bin", [&] { EXPECT_TRUE(f.w().FilterShown()); }},
        {"Esc in the filter, the header a third time",
         [&] {
             f.w().FilterKey(VK_ESCAPE);
             f.w().HeaderClicked(1);
         },
         3, "alpha", "Sound Bank ADPCM (3 sounds) - b.bin", [&] { EXPECT_FALSE(f.w().FilterShown()); }},
        {"Ctrl+C on two rows",
         [&] {
             f.w().SelectRows({0, 2});
         },
         3, "alpha", "Sound Bank ADPCM (3 sounds) - b.bin",
         [&] {
             const std::string text = f.w().CopyRows();
             EXPECT_THAT(text, HasSubstr("alpha"));
             EXPECT_THAT(text, HasSubstr("gamma"));
             EXPECT_THAT(text, ::testing::Not(HasSubstr("beta")));
         }},
        {"the pop-up's Export of one row",
         [&] {
             f.w().SelectRows({1});
             f.answer(u8(f.dir / "beta.wav"), lookWhileAsked);
             f.w().Export1Click();
         },
         3, "alpha", "Sound Bank ADPCM (3 sounds) - b.bin",
         [&] {
             EXPECT_EQ(f.dialogs.asked.back(), "save WAV-file (*.wav)|*.wav beta.wav");
             EXPECT_TRUE(lockedWhileAsked);
             EXPECT_EQ(statusWhileAsked, "Exporting...");
             // The second sound, 3 s at 8000 Hz, whole (ADPCM decodes to the end of its last block).
             const auto wav = testing::ReadFile(f.dir / "beta.wav");
             const auto probe = codec::ProbeConvertedWav(wav);
             ASSERT_TRUE(probe);
             EXPECT_EQ(probe->Rate, 8000);
             EXPECT_GE(probe->PresentBytes, 3u * 8000 * 2);
         }},
        {"Export all",
         [&] {
             f.answer(u8(f.dir / "out"));
             f.w().Exportall1Click();
         },
         3, "alpha", "Sound Bank ADPCM (3 sounds) - b.bin",
         [&] {
             std::size_t files = 0;
             for (const auto& e : fs::directory_iterator(f.dir / "out")) files += e.is_regular_file();
             EXPECT_EQ(files, 3u);
         }},
        {"Replace the third sound with a WAV of 4 s",
         [&] {
             f.w().SelectRows({2});
             f.answer(u8(f.dir / "new.wav"), lookWhileAsked);
             f.w().Replace1Click();
         },
         3, "alpha", "Sound Bank ADPCM (3 sounds) - b.bin",
         [&] {
             EXPECT_EQ(f.w().CellText(2, 1), "00:00:04");
             EXPECT_TRUE(fs::exists(f.dir / "b.bin.bak"));  // "Keep backups" is on by default
             EXPECT_TRUE(f.w().MenuEnabled(kRestoreOriginal1));
         }},
        {"a WAV dropped on the first row, agreed to",
         [&] {
             f.dialogs.confirmations.push_back(true);
             f.w().FileDropped(u8(f.dir / "dropped.wav"), f.rowPoint(0));
         },
         3, "alpha", "Sound Bank ADPCM (3 sounds) - b.bin",
         [&] {
             EXPECT_EQ(f.dialogs.questions.back(), "Replace alpha with dropped.wav?");
             EXPECT_EQ(f.w().CellText(0, 1), "00:00:05");
         }},
        {"Keep backups off: remembered", [&] { f.w().KeepBackups1Click(); }, 3, "alpha",
         "Sound Bank ADPCM (3 sounds) - b.bin",
         [&] { EXPECT_FALSE(WindowSettings(f.settingsKey).Flag(L"KeepBackups", true)); }},
        {"Load of a file that is no container",
         [&] {
             f.answer(u8(f.dir / "junk.bin"));
             f.w().Load1Click();
         },
         1, "", "Invalid file! - junk.bin",
         [&] {
             ASSERT_EQ(f.dialogs.errors.size(), 1u);
             EXPECT_EQ(f.dialogs.errors[0], "Invalid file!");
             f.dialogs.errors.clear();
             // The list is empty: the row commands find nothing to work on and ask nothing.
             const auto asked = f.dialogs.asked.size();
             f.w().Export1Click();
             f.w().Replace1Click();
             EXPECT_EQ(f.dialogs.asked.size(), asked);
         }},
        {"the first recent file", [&] { f.w().OpenRecent(0); }, 3, "alpha", "Sound Bank ADPCM (3 sounds) - b.bin",
         [&] { EXPECT_EQ(f.w().CellText(0, 1), "00:00:05"); }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        EXPECT_EQ(f.w().ListRowCount(), step.rows);
        EXPECT_EQ(f.w().CellText(0, 0), step.firstName);
        EXPECT_EQ(f.w().CaptionText(), step.caption);
        EXPECT_FALSE(f.w().IsLocked());
        EXPECT_TRUE(IsWindowEnabled(f.w().StringGrid1));
        EXPECT_EQ(f.w().StatusText(), "");
        if (step.check) step.check();
        EXPECT_THAT(f.dialogs.errors, ::testing::IsEmpty());
    }
}

// Lets the window's messages (the preview's timer among them) run for a while.
void runMessages(std::chrono::milliseconds span) {
    const auto until = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < until) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}

TEST(Win32Window, PreviewPlaysPausesSeeksAndEnds) {
    Fixture f;
    const fs::path bank = f.dir / "b.bin";
    testing::WriteFile(bank, threeSounds());
    f.answer(u8(bank));
    f.w().Load1Click();
    f.w().SelectRows({1});  // "beta", 3 s
    f.w().StringGrid1DblClick();
    auto& preview = f.w().PreviewState();
    ASSERT_TRUE(preview.IsPlaying()) << (f.dialogs.errors.empty() ? "" : f.dialogs.errors[0]);
    EXPECT_TRUE(f.w().ShowsPauseIcon());
    EXPECT_FALSE(f.w().IsLocked());

    // A press at 70 % of the bar, a drag back to 40 %, the release, then the play icon: paused
    // at 00:00:01.
    RECT bar{};
    GetClientRect(f.w().ProgressBar1, &bar);
    const int width = bar.right - bar.left;
    ASSERT_GT(width, 10);
    auto mouse = [&](UINT message, int x) {
        f.w().BarMouse(message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, 5));
    };
    mouse(WM_LBUTTONDOWN, width * 70 / 100);
    mouse(WM_MOUSEMOVE, width * 40 / 100);
    mouse(WM_LBUTTONUP, width * 40 / 100);
    f.w().Image1Click();
    EXPECT_TRUE(preview.IsPaused());
    EXPECT_EQ(f.w().StatusText(), "Paused - 00:00:01");
    EXPECT_FALSE(f.w().ShowsPauseIcon());
    EXPECT_NEAR(f.w().ProgressPosition(), f.w().ProgressMaximum() * 40 / 100, f.w().ProgressMaximum() / 50);

    // Seeking near the end while paused stays paused; resumed, it plays to the end and the bar
    // goes back to the start.
    mouse(WM_LBUTTONDOWN, width - 2);
    mouse(WM_LBUTTONUP, width - 2);
    EXPECT_TRUE(preview.IsPaused());
    f.w().Image1Click();
    EXPECT_FALSE(preview.IsPaused());
    for (int i = 0; i < 100 && preview.IsPlaying(); ++i) runMessages(std::chrono::milliseconds(50));
    EXPECT_FALSE(preview.IsPlaying());
    EXPECT_FALSE(f.w().ShowsPauseIcon());
    EXPECT_EQ(f.w().ProgressPosition(), 0);
    EXPECT_THAT(f.dialogs.errors, ::testing::IsEmpty());
}

// Waits until the strip has the columns of the sound it is to show.
const preview::Waveform* waitForWave(TKeshAudio& w) {
    for (int i = 0; i < 100 && !w.Strip->Wave(); ++i) runMessages(std::chrono::milliseconds(20));
    return w.Strip->Wave() ? &*w.Strip->Wave() : nullptr;
}

TEST(Win32Window, ATallerWindowDrawsTheCurrentSoundUnderTheList) {
    Fixture f;
    const fs::path bank = f.dir / "b.bin";
    testing::WriteFile(bank, threeSounds());
    f.answer(u8(bank));
    f.w().Load1Click();
    runMessages(std::chrono::milliseconds(50));
    EXPECT_FALSE(f.w().StripShown());  // the original size has no room for it

    RECT r{};
    GetWindowRect(f.w().Handle(), &r);
    SetWindowPos(f.w().Handle(), nullptr, 0, 0, r.right - r.left + 100, r.bottom - r.top + 200,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(f.w().StripShown());
    const auto* first = waitForWave(f.w());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->frames, f.w().View().Item(0)->samples);
    EXPECT_EQ(first->columns.at(0).size(), static_cast<std::size_t>(f.w().Strip->Width()));

    // Another row, another sound; a click on the strip plays it from there.
    f.w().SelectRows({1});
    const auto* second = waitForWave(f.w());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->frames, f.w().View().Item(1)->samples);
    f.w().Strip->onSeek(f.w().Strip->Width() / 2, f.w().Strip->Width());
    EXPECT_TRUE(f.w().PreviewState().IsPlaying()) << (f.dialogs.errors.empty() ? "" : f.dialogs.errors[0]);
    ASSERT_TRUE(f.w().Strip->Position());
    EXPECT_NEAR(*f.w().Strip->Position(), 0.5, 0.05);
    f.w().PreviewState().Stop();

    SetWindowPos(f.w().Handle(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_FALSE(f.w().StripShown());
}

// A close asked for while a command runs (its dialog open) waits for the command, then closes.
TEST(Win32Window, ClosesAfterTheCommandThatRanWhenItWasAsked) {
    Fixture f;
    const fs::path bank = f.dir / "b.bin";
    testing::WriteFile(bank, threeSounds());
    f.answer(u8(bank));
    f.w().Load1Click();
    bool closedWhileAsked = true;
    f.answer(u8(f.dir / "alpha.wav"), [&] {
        SendMessageW(f.w().Handle(), WM_CLOSE, 0, 0);
        closedWhileAsked = f.w().Closed();
    });
    f.w().Export1Click();
    EXPECT_FALSE(closedWhileAsked);
    EXPECT_TRUE(fs::exists(f.dir / "alpha.wav"));
    runMessages(std::chrono::milliseconds(100));
    EXPECT_TRUE(f.w().Closed());
    // The window's place was kept as it closed.
    EXPECT_TRUE(WindowSettings(f.settingsKey).Placement());
}

// A first play exports its sound into the cache as a command runs: the window's messages go on
// meanwhile (a function posted to it runs), the window locked with "Loading..."; another play,
// a load or a close asked for then starts nothing, and the close comes once the sound started.
TEST(Win32Window, AFirstPlayLetsTheWindowsMessagesRunWhileItsSoundIsExported) {
    Fixture f;
    std::vector<testing::TestSound> list(2);
    for (std::uint32_t i = 0; i < 2; ++i) {
        list[i].hash = i + 1;
        list[i].rate = 22050;
        list[i].pcm = testing::Tone(20 * 22050, 300.0 + 50.0 * i, 22050);
    }
    const fs::path bank = f.dir / "b.bin";
    testing::WriteFile(bank, testing::BuildBank(formats::BankKind::Plain, list).image);
    f.answer(u8(bank));
    f.w().Load1Click();
    f.w().SelectRows({0});
    bool ran = false;
    bool lockedMeanwhile = false;
    bool closedMeanwhile = true;
    const auto asked = f.dialogs.asked.size();
    auto* meanwhile = new std::function<void()>([&] {
        ran = true;
        lockedMeanwhile = f.w().IsLocked() && !IsWindowEnabled(f.w().StringGrid1) && f.w().Marquee() &&
                          f.w().StatusText() == "Loading..." && !f.w().PreviewState().IsPlaying();
        f.w().SelectRows({1});
        f.w().StringGrid1DblClick();
        f.w().Image1Click();
        f.w().OpenFile(u8(bank));
        SendMessageW(f.w().Handle(), WM_CLOSE, 0, 0);
        closedMeanwhile = f.w().Closed();
    });
    ASSERT_TRUE(PostMessageW(f.w().Handle(), window::kRunMessage, 0, reinterpret_cast<LPARAM>(meanwhile)));
    f.w().StringGrid1DblClick();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(lockedMeanwhile);
    EXPECT_FALSE(closedMeanwhile);
    EXPECT_EQ(f.dialogs.asked.size(), asked);
    EXPECT_TRUE(f.w().PreviewState().IsPlaying()) << (f.dialogs.errors.empty() ? "" : f.dialogs.errors[0]);
    EXPECT_TRUE(fs::exists(exporting::CacheWavPath(f.w().Workspace(), 0)));
    EXPECT_FALSE(fs::exists(exporting::CacheWavPath(f.w().Workspace(), 1)));
    runMessages(std::chrono::milliseconds(100));
    EXPECT_TRUE(f.w().Closed());
}

// A timer of the window, calling back through its thread's message loop.
std::function<void()> gTick;
void CALLBACK tickProc(HWND, UINT, UINT_PTR, DWORD) {
    if (gTick) gTick();
}

TEST(Win32Window, ItsMessagesRunWhileACommandWorksAndACloseWaitsForTheSave) {
    Fixture f;
    testing::HeldConverter held(*f.converter);
    TKeshAudio window(f.dir / "Hashes.ini", f.scratch, held, *f.player, f.dialogs, WindowSettings(f.settingsKey));
    const fs::path bank = f.dir / "b.bin";
    testing::WriteFile(bank, threeSounds());
    const auto original = testing::ReadFile(bank);
    testing::WriteFile(f.dir / "new.wav", wavOf(testing::Tone(4 * 8000, 440, 8000), 8000));
    f.answer(u8(bank));
    window.Load1Click();
    window.SelectRows({0});
    f.answer(u8(f.dir / "new.wav"));

    // The timer ticks while the command converts, the window locked, the marquee on; at the
    // third tick the user tries other commands and closes the window, then the conversion goes on.
    int ticks = 0;
    bool secondCommandAsked = true;
    bool closedMeanwhile = true;
    gTick = [&] {
        const bool working = window.IsLocked() && !IsWindowEnabled(window.StringGrid1) && window.Marquee() &&
                             window.StatusText() == "Converting to WAV...";
        if (!working || held.released || ++ticks < 3) return;
        const auto asked = f.dialogs.asked.size();
        SendMessageW(window.Handle(), WM_COMMAND, kReplace1, 0);
        window.Exportall1Click();
        window.ImportFolder1Click();
        window.OpenFile(u8(bank));
        secondCommandAsked = f.dialogs.asked.size() != asked;
        SendMessageW(window.Handle(), WM_CLOSE, 0, 0);
        closedMeanwhile = window.Closed();
        held.released = true;
    };
    const UINT_PTR timer = SetTimer(window.Handle(), 77, 10, tickProc);
    window.Replace1Click();
    KillTimer(window.Handle(), timer);
    gTick = nullptr;
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(secondCommandAsked);
    EXPECT_FALSE(closedMeanwhile);
    EXPECT_TRUE(f.dialogs.errors.empty()) << (f.dialogs.errors.empty() ? "" : f.dialogs.errors[0]);
    EXPECT_NE(testing::ReadFile(bank), original);  // the save was made
    EXPECT_EQ(window.CellText(0, 1), "00:00:04");  // painted from the view the command left
    // The close asked for meanwhile comes once the command is done.
    runMessages(std::chrono::milliseconds(100));
    EXPECT_TRUE(window.Closed());
}

// Whatever the registry holds under the window's key, the window gets usable values.
TEST(Win32Settings, ValuesOfTheWrongKindOrSizeReadAsDefaults) {
    const std::wstring key = L"Software\\Brenzo\\Tests\\Settings" + std::to_wstring(GetCurrentProcessId());
    const WindowSettings settings(key);
    const std::wstring text = L"garbage";
    const DWORD number = 7;
    struct Row {
        const wchar_t* value;
        DWORD type;
        const void* data;
        DWORD size;
    };
    const std::wstring huge(300000, L'x');
    const Row rows[] = {
        {L"RecentFiles", REG_DWORD, &number, sizeof number},
        {L"WindowX", REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2)},
        {L"KeepBackups", REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2)},
        {L"MatchLoudness", REG_BINARY, "\x01", 1},
        {L"WindowMaximized", REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2)},
    };
    for (const Row& row : rows)
        RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), row.value, row.type, row.data, row.size);
    EXPECT_TRUE(settings.RecentFiles().empty());
    EXPECT_FALSE(settings.Placement());
    EXPECT_TRUE(settings.Flag(L"KeepBackups", true));
    EXPECT_FALSE(settings.Flag(L"MatchLoudness", false));
    EXPECT_FALSE(settings.Maximized());
    // A list longer than eight whole paths can be, and one with relative and repeated entries.
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"RecentFiles", REG_MULTI_SZ, huge.c_str(),
                    static_cast<DWORD>((huge.size() + 1) * 2));
    EXPECT_TRUE(settings.RecentFiles().empty());
    const std::wstring list = std::wstring(L"C:\\a.bin") + L'\0' + L"b.bin" + L'\0' + L"C:\\a.bin" + L'\0' + L'\0';
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"RecentFiles", REG_MULTI_SZ, list.c_str(),
                    static_cast<DWORD>(list.size() * 2));
    EXPECT_EQ(settings.RecentFiles(), std::vector<std::string>{"C:\\a.bin"});
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    // No key at all: the defaults, and nothing fails.
    EXPECT_TRUE(settings.RecentFiles().empty());
    EXPECT_TRUE(settings.Flag(L"KeepBackups", true));
}

// A window program without a console still answers `--version` on the output it was given.
TEST(Win32Program, VersionNamesEveryLinkedLibraryOnItsOutput) {
    const auto run = testing::RunProgram(platform::ExecutableFolder() / "brenzo.exe", {"--version"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, VersionReport("brenzo", LinkedLibraries()));
}

}  // namespace
}  // namespace brenzo::ui::win32
