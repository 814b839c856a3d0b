#pragma once

#include <windows.h>

// The main window's identifiers and timings, shared by the files that make up the window.
namespace brenzo::ui::win32::window {

constexpr wchar_t kClassName[] = L"BrenzoMainWindow";
constexpr int kClientWidth = 394;
constexpr int kClientHeight = 351;
constexpr UINT_PTR kPreviewTimer = 1;
// Fine enough for a seconds display and a moving bar, and idle while nothing plays.
constexpr UINT kPreviewTimerMs = 15;
// The waveform strip's job is looked at this often until its columns are there.
constexpr UINT_PTR kWaveTimer = 2;
constexpr UINT kWaveTimerMs = 30;
// Below this much more height than the original the strip has no room: the list keeps the
// window's original layout.
constexpr int kStripRoom = 90;
// A dropped file is acted on once the drop has finished, so that its source is not kept waiting.
constexpr UINT kDropMessage = WM_APP + 1;
// The strip waits for the command that changed the current row (a load selects the first).
constexpr UINT kStripMessage = WM_APP + 2;
// A function from the worker to run on the window's thread: lParam owns a heap copy of it.
constexpr UINT kRunMessage = WM_APP + 3;
// The longest a command's message loop waits before it looks at the queue again.
constexpr DWORD kIdleWaitMs = 10;

constexpr wchar_t kKeepBackupsValue[] = L"KeepBackups";
constexpr wchar_t kMatchLoudnessValue[] = L"MatchLoudness";

}  // namespace brenzo::ui::win32::window
