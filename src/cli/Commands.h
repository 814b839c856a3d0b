#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "workspace/Workspace.h"

namespace brenzo::cli {

// Exit statuses of brenzo-cli.
enum Exit : int { kDone = 0, kUsage = 1, kRefused = 2, kFileError = 3 };

struct Selection {
    std::optional<std::int64_t> index;
    std::optional<std::string> name;
};

// The flags replace and import-all share.
struct FitFlags {
    bool mix = false;
    bool matchLoudness = false;
    bool noBackup = false;
};

struct Globals {
    std::string hashes;  // "Hashes.ini" beside the executable when empty
};

// Shared by the commands.
class ConsolePort;
workspace::Workspace MakeWorkspace(const Globals& g, const workspace::ScratchFolders* scratch = nullptr);
// Opens a container; a failure is printed and its exit status returned.
int OpenContainer(const Globals& g, const std::string& file, workspace::Workspace& ws, ConsolePort& port);
// Exactly one of --index and --name is given; else a usage error is printed and its status returned.
int CheckSelection(const Selection& sel, const std::string& noun);
// Which of `count` entries --index or --name picks (`noun` names them in messages: "entry",
// "track"): the index, or the first entry whose name is NAME. A usage error is printed and its
// status returned; when no entry has the name, `unknownName` may say why first (a status, or
// nothing for the plain "has no ... named" error).
int PickEntry(const Selection& sel, const std::string& file, const std::string& noun, std::size_t count,
              const std::function<std::string(std::size_t)>& nameAt, std::size_t& entry,
              const std::function<std::optional<int>()>& unknownName = {});
// The entry --index or --name picks; a usage error is printed and its status returned.
int ResolveEntry(const workspace::Workspace& ws, const std::string& file, const Selection& sel, std::size_t& entry);
// What a command acts on: the entry --index or --name picks in a bank, or a multichannel file
// whole (entry 0), which takes neither; `whole` says so in the usage error.
int ResolveTarget(const workspace::Workspace& ws, const std::string& file, const Selection& sel, std::string_view whole,
                  std::size_t& entry);

int Info(const Globals& g, const std::string& file);
int List(const Globals& g, const std::string& file, bool json);
int Export(const Globals& g, const std::string& file, const Selection& sel, const std::string& out);
int ExportAll(const Globals& g, const std::string& file, const std::string& dir);
int Replace(const Globals& g, const std::string& file, const Selection& sel, const std::string& input,
            const FitFlags& fit);
int ImportAll(const Globals& g, const std::string& file, const std::string& dir, const FitFlags& fit, bool dryRun,
              bool json);
int Restore(const std::string& file);
int RadioList(const std::string& file, bool json);
int RadioSet(const std::string& file, const Selection& sel, const std::string& duration);
int Samples(const std::string& dir);
// "brenzo-cli 1.0" and one line per linked library.
std::string VersionText();

}  // namespace brenzo::cli
