// brenzo [FILE]: the desktop editor, with FILE opened when it is given.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string_view>

#include "engine/Engine.h"
#include "platform/Files.h"
#include "ui/win32/Dialogs.h"
#include "ui/win32/Forms.h"
#include "ui/win32/TKeshAudio.h"
#include "ui/win32/Text.h"
#include "workspace/Scratch.h"

namespace {

// A start-up failure is shown and ends the program with a failure status.
int refuse(const std::string& message) {
    MessageBoxW(nullptr, brenzo::ui::win32::Wide(message).c_str(), L"Error", MB_OK | MB_ICONERROR);
    return 1;
}

// A window program has no console of its own: `brenzo --version` writes to where its output
// was sent, or else to the console it was started from.
void printToConsole(std::string_view text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        if (std::freopen("CONOUT$", "w", stdout)) {
            HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, 0, nullptr);
            if (console != INVALID_HANDLE_VALUE) SetStdHandle(STD_OUTPUT_HANDLE, console);
        }
    }
    // Lines end as brenzo-cli ends them, in a line feed alone.
    brenzo::platform::SetBinaryStdout();
    brenzo::platform::WriteText(stdout, text);
    std::fflush(stdout);
}

int run(int show) {
    const auto args = brenzo::platform::CommandLineUtf8(0, nullptr);
    // Answered before any window or audio device: it needs neither.
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--version") {
            printToConsole(brenzo::VersionReport("brenzo", brenzo::ui::win32::LinkedLibraries()));
            return 0;
        }
    }
    // The file dialogs are COM objects of the window's thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (auto problem = brenzo::engine::CheckEngineCapabilities()) return refuse(*problem);
    if (brenzo::Status s = brenzo::engine::StartAudioOutput(); !s) return refuse(s.message());
    auto scratch = brenzo::workspace::ScratchFolders::Create();
    if (!scratch) {
        brenzo::engine::StopAudioOutput();
        return refuse(scratch.message());
    }
    auto converter = brenzo::engine::MakeConverter();
    auto player = brenzo::engine::MakePlayer();
    brenzo::ui::win32::NativeDialogs dialogs;
    int status = 0;
    {
        brenzo::ui::win32::TKeshAudio window(brenzo::platform::ExecutableFolder() / "Hashes.ini", *scratch, *converter,
                                             *player, dialogs);
        window.QuitOnClose();
        window.Show(show);
        // `brenzo FILE` opens FILE once the window is up.
        if (args.size() > 1) window.OpenFile(args[1]);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (!window.Closed() && TranslateAcceleratorW(window.Handle(), window.Accelerators(), &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        status = msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
    }
    player.reset();
    brenzo::engine::StopAudioOutput();
    scratch->Remove();
    if (SUCCEEDED(com)) CoUninitialize();
    return status;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) { return brenzo::engine::FinishProcess(run(show)); }
