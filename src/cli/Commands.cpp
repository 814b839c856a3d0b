#include "cli/Commands.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/ConsolePort.h"
#include "cli/Output.h"
#include "export/Export.h"
#include "export/ExportCommands.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "workspace/Workspace.h"

namespace brenzo::cli {

using workspace::Workspace;

std::filesystem::path HashesPath(const Globals& g) {
    return g.hashes.empty() ? platform::ExecutableFolder() / "Hashes.ini" : platform::PathFromUtf8(g.hashes);
}

int OpenContainer(const Globals& g, const std::string& file, Workspace& ws, ConsolePort& port) {
    // A names file asked for by name must be there: listing hex names instead would hide the typo.
    if (!g.hashes.empty()) {
        if (auto names = platform::ReadWholeFile(platform::PathFromUtf8(g.hashes)); !names)
            return Fail(kFileError, names.message());
    }
    auto outcome = ws.Open(platform::PathFromUtf8(file), port);
    port.ClearProgress();
    switch (outcome) {
        case workspace::OpenOutcome::Unreadable:
            return Fail(kFileError, port.errors().empty() ? "cannot read " + file : port.errors().front());
        case workspace::OpenOutcome::Invalid:
            return Fail(kRefused, port.errors().empty() ? "Invalid file!" : port.errors().front());
        case workspace::OpenOutcome::Loaded:
            break;
    }
    // A damaged bank is listed as far as it can be read; say so once.
    for (const auto& e : port.errors()) PrintError(e);
    port.clearErrors();
    return kDone;
}

int CheckSelection(const Selection& sel, const std::string& noun) {
    if (sel.index && sel.name) return Fail(kUsage, "give either --index or --name, not both");
    if (!sel.index && !sel.name) return Fail(kUsage, "give the " + noun + " with --index N or --name NAME");
    return kDone;
}

int PickEntry(const Selection& sel, const std::string& file, const std::string& noun, std::size_t count,
              const std::function<std::string(std::size_t)>& nameAt, std::size_t& entry,
              const std::function<std::optional<int>()>& unknownName) {
    if (int s = CheckSelection(sel, noun); s != kDone) return s;
    if (sel.index) {
        if (*sel.index < 0 || static_cast<std::uint64_t>(*sel.index) >= count)
            return Fail(kUsage, file + " has no " + noun + " " + std::to_string(*sel.index) + " (it has " +
                                    std::to_string(count) + ")");
        entry = static_cast<std::size_t>(*sel.index);
        return kDone;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (nameAt(i) == *sel.name) {
            entry = i;
            return kDone;
        }
    }
    if (unknownName) {
        if (auto status = unknownName()) return *status;
    }
    return Fail(kUsage, file + " has no " + noun + " named \"" + *sel.name + "\"");
}

int ResolveEntry(const Workspace& ws, const std::string& file, const Selection& sel, std::size_t& entry) {
    return PickEntry(
        sel, file, "entry", ws.EntryCount(), [&](std::size_t i) { return ws.RowName(i); }, entry);
}

int ResolveTarget(const Workspace& ws, const std::string& file, const Selection& sel, std::string_view whole,
                  std::size_t& entry) {
    entry = 0;
    if (!ws.WholeFile()) return ResolveEntry(ws, file, sel, entry);
    if (sel.index || sel.name) return Fail(kUsage, std::string(whole) + "; --index and --name do not apply");
    return kDone;
}

Workspace MakeWorkspace(const Globals& g, const workspace::ScratchFolders* scratch) {
    return Workspace(workspace::HashNames(HashesPath(g)), scratch);
}

namespace {

// The numbers `list --json` shows of an entry, from a bank's records or a channel's description.
struct EntryNumbers {
    std::uint32_t hash = 0, rate = 0, samples = 0, size = 0, compression = 0;
};

EntryNumbers numbersOf(const Workspace& ws, std::size_t i) {
    return workspace::VisitOpened(
        ws, [](std::monostate) { return EntryNumbers{}; },
        [&](const workspace::OpenedBank& bank) {
            const auto& info = bank.model.BanksInfo[i];
            return EntryNumbers{bank.model.BanksHeadInfo[i].Hash, info.Frequency, info.Size2, info.Size,
                                info.Compression};
        },
        [&](const formats::TMultiADPCM& multi) {
            const auto& ch = multi.ChHeaders[i];
            return EntryNumbers{multi.ChHeadSizes[i].HeadHash, ch.Frequency, ch.Length, ch.Size, ch.Compression};
        });
}

}  // namespace

int Info(const Globals& g, const std::string& file) {
    ConsolePort port;
    Workspace ws = MakeWorkspace(g);
    if (int s = OpenContainer(g, file, ws, port); s != kDone) return s;
    PrintLine(TerminalSafe(ws.Caption));
    return kDone;
}

int List(const Globals& g, const std::string& file, bool json) {
    ConsolePort port;
    Workspace ws = MakeWorkspace(g);
    if (int s = OpenContainer(g, file, ws, port); s != kDone) return s;
    if (!json) {
        // Printed in pieces: a bank of 100,000 sounds needs no 4 MB string.
        std::string text;
        text.reserve(1 << 16);
        for (std::size_t i = 0; i < ws.EntryCount(); ++i) {
            if (text.size() > (1 << 16) - 512) {
                PrintRaw(text);
                text.clear();
            }
            const auto row = ws.Row(i);
            text += std::to_string(i);
            text += '\t';
            text += TerminalSafe(row.name);
            text += '\t';
            text += row.duration;
            text += '\t';
            text += row.rate;
            text += '\n';
        }
        PrintRaw(text);
        return kDone;
    }
    nlohmann::ordered_json entries = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < ws.EntryCount(); ++i) {
        const auto row = ws.Row(i);
        const EntryNumbers n = numbersOf(ws, i);
        nlohmann::ordered_json e;
        e["index"] = i;
        e["name"] = row.name;
        e["hash"] = n.hash;
        e["duration"] = row.duration;
        e["rate"] = n.rate;
        e["samples"] = n.samples;
        e["size"] = n.size;
        e["compression"] = n.compression;
        entries.push_back(std::move(e));
    }
    PrintLine(entries.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
    return kDone;
}

int Export(const Globals& g, const std::string& file, const Selection& sel, const std::string& out) {
    ConsolePort port;
    Workspace ws = MakeWorkspace(g);
    if (int s = OpenContainer(g, file, ws, port); s != kDone) return s;
    std::size_t entry = 0;
    if (int s = ResolveTarget(ws, file, sel, "a multichannel file is exported whole", entry); s != kDone) return s;
    port.Progress("Exporting...");
    Status s = exporting::ExportEntry(ws, platform::PathFromUtf8(out), static_cast<std::uint32_t>(entry), port);
    port.ClearProgress();
    if (!s) return FailWith(s);
    return kDone;
}

int ExportAll(const Globals& g, const std::string& file, const std::string& dir) {
    ConsolePort port;
    Workspace ws = MakeWorkspace(g);
    if (int s = OpenContainer(g, file, ws, port); s != kDone) return s;
    const auto folder = platform::PathFromUtf8(dir);
    if (Status s = platform::CreateFolders(folder); !s) return FailWith(s);
    Status s = exporting::ExportAllInto(ws, folder, port, [&](std::size_t i, std::size_t n) {
        port.Progress("Exporting " + std::to_string(i + 1) + "/" + std::to_string(n));
    });
    port.ClearProgress();
    if (!s) return FailWith(s);
    return kDone;
}

}  // namespace brenzo::cli
