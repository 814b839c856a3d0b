// `brenzo-cli replace`: a sound of a bank, or all channels of a multichannel file, replaced
// with an audio file; `import-all`: a folder of them in one save; `restore`: the backup back.
#include <map>
#include <nlohmann/json.hpp>

#include "cli/Commands.h"
#include "cli/ConsolePort.h"
#include "cli/Output.h"
#include "platform/Backup.h"
#include "platform/Path.h"
#include "replace/ImportAll.h"
#include "replace/MultiReplace.h"
#include "replace/ReplaceCommand.h"

#ifdef BRENZO_HAVE_ENGINE
#include "engine/Loudness.h"
#endif

#ifdef BRENZO_HAVE_ENGINE
#include "engine/Engine.h"
#endif

namespace brenzo::cli {

#ifdef BRENZO_HAVE_ENGINE
// This run's scratch folder goes when the command ends, whichever way it ends.
struct RemoveAtEnd {
    workspace::ScratchFolders& s;
    ~RemoveAtEnd() { s.Remove(); }
};

// Opens `file` in a workspace with a scratch folder of this run's own, where the inputs are
// converted, and runs `command` on it.
template <class Command>
int WithOpenedContainer(const Globals& g, const std::string& file, Command&& command) {
    auto scratch = workspace::ScratchFolders::Create();
    if (!scratch) return FailWith(scratch.status());
    RemoveAtEnd cleanup{*scratch};
    ConsolePort port;
    workspace::Workspace ws = MakeWorkspace(g, &*scratch);
    if (int s = OpenContainer(g, file, ws, port); s != kDone) return s;
    return command(ws, port);
}

replace::ReplaceOptions OptionsOf(const FitFlags& fit) {
    replace::ReplaceOptions o;
    o.keepBackup = !fit.noBackup;
    o.mix = fit.mix ? replace::MixChoice::Mix : replace::MixChoice::Refuse;
    o.matchLoudness = fit.matchLoudness;
    o.loudness = engine::IntegratedLoudness;
    return o;
}
#endif

int Replace(const Globals& g, const std::string& file, const Selection& sel, const std::string& input,
            const FitFlags& fit) {
#ifndef BRENZO_HAVE_ENGINE
    (void)g, (void)file, (void)sel, (void)input, (void)fit;
    return Fail(kRefused, "this build of brenzo-cli has no audio engine; replace is not available");
#else
    return WithOpenedContainer(g, file, [&](workspace::Workspace& ws, ConsolePort& port) -> int {
        std::size_t entry = 0;
        if (int s = ResolveTarget(ws, file, sel, "all channels of a multichannel file are replaced", entry); s != kDone)
            return s;
        auto converter = engine::MakeConverter();
        auto options = OptionsOf(fit);
        std::vector<std::string> notes;
        options.note = [&](std::size_t n, std::string_view text) {
            notes.push_back(std::to_string(n) + "\t" + TerminalSafe(ws.RowName(n)) + "\t" + TerminalSafe(text));
        };
        Status s = replace::ReplaceEntry(ws, port, *converter, platform::PathFromUtf8(input), entry, options);
        port.ClearProgress();
        if (!s) return FailWith(s);
        for (const auto& n : notes) PrintLine(n);
        return kDone;
    });
#endif
}

int ImportAll(const Globals& g, const std::string& file, const std::string& dir, const FitFlags& fit, bool dryRun,
              bool json) {
#ifndef BRENZO_HAVE_ENGINE
    (void)g, (void)file, (void)dir, (void)fit, (void)dryRun, (void)json;
    return Fail(kRefused, "this build of brenzo-cli has no audio engine; import-all is not available");
#else
    return WithOpenedContainer(g, file, [&](workspace::Workspace& ws, ConsolePort& port) -> int {
        auto plan = replace::PlanImport(ws, platform::PathFromUtf8(dir));
        if (!plan) return FailWith(plan.status());
        if (!plan->refused.empty()) {
            for (const auto& r : plan->refused) PrintError(r);
            return Fail(kRefused, "nothing was imported");
        }

        auto options = OptionsOf(fit);
        std::map<std::size_t, std::string> gains;
        options.note = [&](std::size_t n, std::string_view text) { gains[n] = std::string(text); };
        if (!dryRun) {
            Status s = replace::ImportPlanned(ws, port, *engine::MakeConverter(), *plan, options);
            port.ClearProgress();
            if (!s) return FailWith(s);
        }

        if (json) {
            auto items = [&](const std::vector<replace::ImportItem>& list) {
                nlohmann::ordered_json a = nlohmann::ordered_json::array();
                for (const auto& i : list) {
                    nlohmann::ordered_json e;
                    e["index"] = i.entry;
                    e["name"] = i.name;
                    e["input"] = platform::FileNameUtf8(i.input);
                    if (auto gain = gains.find(i.entry); gain != gains.end()) e["note"] = gain->second;
                    a.push_back(std::move(e));
                }
                return a;
            };
            nlohmann::ordered_json out;
            out["replaced"] = items(plan->replaced);
            out["unchanged"] = items(plan->unchanged);
            out["unused"] = nlohmann::ordered_json::array();
            for (const auto& f : plan->unused) out["unused"].push_back(platform::FileNameUtf8(f));
            PrintLine(out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
            return kDone;
        }
        std::string text;
        for (const auto& i : plan->replaced) {
            text += std::to_string(i.entry) + "\t" + TerminalSafe(i.name) + "\t" +
                    TerminalSafe(platform::FileNameUtf8(i.input));
            if (auto gain = gains.find(i.entry); gain != gains.end()) text += "\t" + gain->second;
            text += "\n";
        }
        text += std::to_string(plan->replaced.size()) + " of " + std::to_string(ws.EntryCount()) +
                (dryRun ? " sounds would be replaced\n" : " sounds replaced\n");
        PrintRaw(text);
        return kDone;
    });
#endif
}

int Restore(const std::string& file) {
    Status s = platform::RestoreBackup(platform::PathFromUtf8(file));
    if (!s) return FailWith(s);
    return kDone;
}

}  // namespace brenzo::cli
