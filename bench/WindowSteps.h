// What both windows' gap measures share: the timing of a step, and the steps themselves (load a
// bank, replace the sound in its middle, export all), run through the window's handlers or,
// inline, as the commands on the window's own thread with the window as their port.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/Loudness.h"
#include "export/ExportCommands.h"
#include "replace/Fit.h"
#include "replace/ReplaceCommand.h"
#include "workspace/Scratch.h"

namespace brenzo::bench {

using Clock = std::chrono::steady_clock;

// The times of a kind of event within one step; the longest gap includes the step's two ends.
class Gaps {
public:
    void Begin() {
        times_.assign(1, Clock::now());
        recording_ = true;
    }
    void Mark() {
        if (recording_) times_.push_back(Clock::now());
    }
    double End() {
        recording_ = false;
        times_.push_back(Clock::now());
        double longest = 0;
        for (std::size_t i = 1; i < times_.size(); ++i)
            longest = std::max(longest, std::chrono::duration<double, std::milli>(times_[i] - times_[i - 1]).count());
        return longest;
    }

private:
    std::vector<Clock::time_point> times_;
    bool recording_ = false;
};

// Runs `measure` with what a window needs around it (the audio output, scratch folders, a
// converter, a player), and undoes all of it afterwards. Returns the measure's status, or 1 when
// any of them cannot be had.
inline int WithEngine(
    const std::function<int(workspace::ScratchFolders&, engine::Converter&, engine::Player&)>& measure) {
    if (!engine::StartAudioOutput()) return 1;
    auto scratch = workspace::ScratchFolders::Create();
    if (!scratch) return 1;
    int status = 0;
    {
        auto converter = engine::MakeConverter();
        auto player = engine::MakePlayer();
        status = measure(*scratch, *converter, *player);
    }
    engine::StopAudioOutput();
    scratch->Remove();
    return status;
}

// Runs one step and prints its line: step, mode, the longest gap between loop turns, the longest
// gap between repaints, and the step's time (ms).
inline void TimeStep(const char* name, const char* mode, Gaps& turns, Gaps& paints, const std::function<void()>& body) {
    turns.Begin();
    paints.Begin();
    const auto start = Clock::now();
    body();
    const double took = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("%-10s %-7s loop %8.1f  paint %8.1f  took %8.1f\n", name, mode, turns.End(), paints.End(), took);
    std::fflush(stdout);
}

// Loads the bank, replaces its middle sound with the input and exports all into the folder, each
// as a step; `file(path)` is a path as the window's dialogs answer it, `selectRow(n)` selects a
// row of the window's list. Returns the program's status.
template <class Window, class Answers, class FileText, class Step, class SelectRow>
int LoadReplaceExportAll(Window& window, Answers& dialogs, engine::Converter& converter, bool inlineMode,
                         const std::filesystem::path& bank, const FileText& bankText, const FileText& input,
                         const FileText& out, Step step, SelectRow selectRow) {
    auto& ws = window.Workspace();
    const std::size_t middle = 1000;
    step("load", [&] {
        if (inlineMode)
            ws.Open(bank, window);
        else
            window.OpenFile(bankText);
    });
    if (ws.EntryCount() <= middle) {
        std::fprintf(stderr, "the bank has fewer than %zu sounds\n", middle + 1);
        return 1;
    }
    selectRow(middle);
    dialogs.files.push_back(input);
    step("replace", [&] {
        if (inlineMode)
            replace::Replace1Click(ws, window, converter, middle,
                                   replace::WindowReplaceOptions(false, false, engine::IntegratedLoudness));
        else
            window.Replace1Click();
    });
    dialogs.files.push_back(out);
    step("export-all", [&] {
        if (inlineMode)
            exporting::Exportall1Click(ws, window);
        else
            window.Exportall1Click();
    });
    return 0;
}

}  // namespace brenzo::bench
