// brenzo-bench-window.exe BANK INPUT.wav OUT_DIR [inline]: the Win32 window's counterpart of
// bench/WindowFreeze.cpp, run under Wine on an X server (scripts/window-freeze). How long the
// window's thread goes without turning its message loop, and its progress bar without a
// repaint, while the shown window loads BANK, replaces a sound in the middle of it with
// INPUT.wav and exports all of it into OUT_DIR. "inline" runs the same commands on the window's
// own thread with the window as their port, letting messages through as they go, as the window
// ran them before its worker thread.
//
// Prints one line per step, as the Qt program does: step, mode, the longest gap between message
// loop turns, the longest gap between repaints of the progress bar, and the step's time (ms).
// A loop turn is marked by a thread timer at the shortest period Windows allows (10 ms), so a
// loop gap is never shorter than that.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "../WindowSteps.h"
#include "engine/Engine.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "ui/win32/Dialogs.h"
#include "ui/win32/TKeshAudio.h"
#include "workspace/Scratch.h"

namespace {

using brenzo::bench::Clock;
using brenzo::bench::Gaps;
using brenzo::ui::win32::TKeshAudio;

// The file dialogs answered from a queue; nothing else is ever asked here.
class Answers : public brenzo::ui::win32::Dialogs {
public:
    std::deque<std::string> files;
    std::optional<std::string> OpenFile(HWND, std::string_view) override { return next(); }
    std::optional<std::string> SaveFile(HWND, std::string_view, std::string_view) override { return next(); }
    std::optional<std::string> Folder(HWND, std::string_view) override { return next(); }
    void Error(HWND, std::string_view message) override {
        std::fprintf(stderr, "error: %.*s\n", static_cast<int>(message.size()), message.data());
    }
    bool Confirm(HWND, std::string_view) override { return false; }
    bool Ask(HWND, std::string_view, std::string_view, std::string_view, std::string_view) override { return false; }

private:
    std::optional<std::string> next() {
        if (files.empty()) return std::nullopt;
        std::string f = files.front();
        files.pop_front();
        return f;
    }
};

Gaps gTurns;
Gaps gPaints;

void CALLBACK turned(HWND, UINT, UINT_PTR, DWORD) { gTurns.Mark(); }

// With BRENZO_BENCH_TRACE set: every message the window's thread takes from its queue, so that
// the longest gaps can be put down to what the thread did then (the message taken at a gap's
// start was being handled through it; none, and the thread was not given its turn).
struct Taken {
    Clock::time_point at;
    UINT message;
};
std::vector<Taken> gTaken;
bool gTrace = false;

LRESULT CALLBACK took(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE && gTrace)
        gTaken.push_back({Clock::now(), reinterpret_cast<const MSG*>(lParam)->message});
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void printLongestTaken(const char* step) {
    std::vector<std::pair<double, std::size_t>> gaps;
    for (std::size_t i = 1; i < gTaken.size(); ++i)
        gaps.emplace_back(std::chrono::duration<double, std::milli>(gTaken[i].at - gTaken[i - 1].at).count(), i - 1);
    std::sort(gaps.rbegin(), gaps.rend());
    for (std::size_t i = 0; i < std::min<std::size_t>(3, gaps.size()); ++i)
        std::fprintf(stderr, "trace %s: %.1f ms after message 0x%04X\n", step, gaps[i].first,
                     gTaken[gaps[i].second].message);
    gTaken.clear();
}

LRESULT CALLBACK barPainted(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_PAINT) gPaints.Mark();
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

// Lets the window's messages run until the time is up, as the program's own loop would.
void runMessagesFor(std::chrono::milliseconds span) {
    const auto until = Clock::now() + span;
    while (Clock::now() < until) {
        MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

int run(const std::vector<std::string>& args) {
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: brenzo-bench-window BANK INPUT.wav OUT_DIR [inline]\n");
        return 1;
    }
    const std::string& bank = args[1];
    const std::string& input = args[2];
    const std::string& out = args[3];
    const bool inlineMode = args.size() > 4 && args[4] == "inline";
    const char* mode = inlineMode ? "inline" : "worker";

    if (auto problem = brenzo::engine::CheckEngineCapabilities()) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 1;
    }
    Answers dialogs;
    return brenzo::bench::WithEngine([&](brenzo::workspace::ScratchFolders& scratch,
                                         brenzo::engine::Converter& converter, brenzo::engine::Player& player) {
        // Settings of its own, never the editor's.
        TKeshAudio window(brenzo::platform::PathFromUtf8(out) / "no-names.ini", scratch, converter, player, dialogs,
                          brenzo::ui::win32::WindowSettings(L"Software\\Brenzo\\Bench"));
        // The same work in both modes.
        if (window.KeepBackups()) window.KeepBackups1Click();
        if (window.MatchLoudness()) window.MatchLoudness1Click();
        window.Show(SW_SHOWNORMAL);
        runMessagesFor(std::chrono::milliseconds(300));

        SetWindowSubclass(window.ProgressBar1, barPainted, 1, 0);
        const UINT_PTR timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, turned);
        gTrace = GetEnvironmentVariableW(L"BRENZO_BENCH_TRACE", nullptr, 0) > 0;
        HHOOK hook = gTrace ? SetWindowsHookExW(WH_GETMESSAGE, took, nullptr, GetCurrentThreadId()) : nullptr;

        auto step = [&](const char* name, const std::function<void()>& body) {
            brenzo::bench::TimeStep(name, mode, gTurns, gPaints, body);
            if (gTrace) printLongestTaken(name);
        };
        // The machine's own share: the same measure while the window has nothing to do.
        step("idle", [] { runMessagesFor(std::chrono::seconds(2)); });
        const int status = brenzo::bench::LoadReplaceExportAll(
            window, dialogs, converter, inlineMode, brenzo::platform::PathFromUtf8(bank), bank, input, out, step,
            [&](std::size_t row) { window.SelectRows({row}); });
        KillTimer(nullptr, timer);
        if (hook) UnhookWindowsHookEx(hook);
        RemoveWindowSubclass(window.ProgressBar1, barPainted, 1);
        return status;
    });
}

}  // namespace

int main(int argc, char** argv) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const int status = run(brenzo::platform::CommandLineUtf8(argc, argv));
    if (SUCCEEDED(com)) CoUninitialize();
    return brenzo::engine::FinishProcess(status);
}
