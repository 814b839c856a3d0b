#include "replace/ImportAll.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <string_view>

#include "export/Export.h"
#include "export/ExportCommands.h"
#include "export/Sink.h"
#include "platform/Files.h"
#include "platform/FolderFiles.h"
#include "platform/Path.h"
#include "replace/BankReplace.h"
#include "replace/Conversion.h"
#include "replace/MultiReplace.h"
#include "workspace/FileNames.h"
#include "workspace/HashNames.h"

namespace brenzo::replace {

namespace fs = std::filesystem;
using workspace::UiPort;
using workspace::Workspace;

namespace {

constexpr std::array<std::string_view, 8> kExtensions{".wav",  ".mp3",  ".ogg", ".oga",
                                                      ".flac", ".opus", ".aif", ".aiff"};

bool isBank(const Workspace& ws) { return ws.CurrentBank() != nullptr; }
bool isMulti(const Workspace& ws) { return ws.CurrentMulti() != nullptr; }

std::string stemOf(std::string_view fileName) {
    const auto dot = fileName.rfind('.');
    return std::string(dot == std::string_view::npos ? fileName : fileName.substr(0, dot));
}

// The names a file may have to belong to each entry, keyed as Windows compares file names.
std::map<std::string, std::size_t> entryKeys(const Workspace& ws) {
    std::map<std::string, std::size_t> keys;
    if (isMulti(ws)) {
        keys.emplace(workspace::FileNameKey(stemOf(exporting::MultiExportFileName(ws))), 0);
        return keys;
    }
    const auto names = exporting::ExportAllFileNames(ws);
    for (std::size_t i = 0; i < names.size(); ++i) keys.emplace(workspace::FileNameKey(stemOf(names[i])), i);
    // The hash as an unnamed sound shows it; an export name of another sound comes first.
    for (std::size_t i = 0; i < names.size(); ++i)
        keys.emplace(workspace::FileNameKey(workspace::DefaultHashName(ws.CurrentBank()->BanksHeadInfo[i].Hash)), i);
    return keys;
}

// Whether the file holds exactly what "Export all" writes for the entry now.
bool sameAsExport(const Workspace& ws, std::size_t entry, const fs::path& file) {
    exporting::MemorySink sink;
    if (!exporting::ExportOpened(ws, static_cast<std::uint32_t>(entry), sink)) return false;
    auto bytes = platform::ReadWholeFile(file);
    return bytes && std::equal(bytes->begin(), bytes->end(), sink.bytes().begin(), sink.bytes().end());
}

// The converted file of one input, fitted to a bank sound.
Result<std::vector<std::uint8_t>> convertOne(Workspace& ws, UiPort& port, engine::Converter& converter,
                                             const ImportItem& item, const ReplaceOptions& options,
                                             std::uint32_t& dataSize, std::uint16_t& rate, bool& mixed) {
    const auto target = ws.Scratch()->ConvertedWav();
    if (Status s = Convert2Wav(converter, item.input, target, port); !s) return s.error();
    auto converted = LoadConvertedWav(target);
    if (!converted) return converted.error();
    if (converted->info.wFormatTag != 1) return Error{"WAV-file should be uncompressed PCM"};
    if (Status s = CheckConvertedSize(converted->info); !s) return s.error();
    auto fitted = FitConverted(*converted, 1, false, options, ws, item.entry, port, platform::FileNameUtf8(item.input));
    if (!fitted) return fitted.error();
    mixed = converted->info.nChannels != 1;
    dataSize = fitted->dataSize;
    rate = fitted->rate;
    if (!fitted->owned.empty()) return std::move(fitted->owned);
    return std::vector<std::uint8_t>(fitted->bytes.begin(), fitted->bytes.end());
}

Status refusedAll(const std::vector<std::string>& refusals) {
    std::string text = refusals.size() == 1
                           ? "1 file was refused; nothing was saved:"
                           : std::to_string(refusals.size()) + " files were refused; nothing was saved:";
    for (const auto& r : refusals) text += "\n" + r;
    return Error{text};
}

Status importIntoBank(Workspace& ws, UiPort& port, engine::Converter& converter, const ImportPlan& plan,
                      const ReplaceOptions& options) {
    if (Status s = CheckBankReplaceable(ws); !s) return s;
    if (!ws.Scratch()) return Error{"there is no scratch folder to convert the files in"};
    ReplaceOptions each = options;
    std::vector<NewSound> sounds;
    std::vector<std::string> refusals;
    for (std::size_t k = 0; k < plan.replaced.size(); ++k) {
        const ImportItem& item = plan.replaced[k];
        port.Pump();
        // Cancelled between two files: nothing is saved.
        if (port.CancelRequested()) return Error{""};
        NewSound sound;
        sound.n = static_cast<std::uint32_t>(item.entry);
        bool mixed = false;
        auto pcm = convertOne(ws, port, converter, item, each, sound.dataSize, sound.rate, mixed);
        if (!pcm) {
            if (IsCancelled(pcm.status())) return pcm.status();
            refusals.push_back(platform::FileNameUtf8(item.input) + ": " + pcm.message());
            continue;
        }
        // One "Mix down" answers for every file of the folder.
        if (mixed && each.mix == MixChoice::Ask) each.mix = MixChoice::Mix;
        sound.pcm = std::move(*pcm);
        sounds.push_back(std::move(sound));
    }
    if (port.CancelRequested()) return Error{""};
    if (!refusals.empty()) return refusedAll(refusals);
    if (sounds.empty()) return {};
    if (ws.StopPreview) ws.StopPreview();
    port.SetStatus("Replacing...");
    port.SetMarquee(true);
    auto rebuilt =
        RebuildBankSounds(*ws.CurrentBank(), BankKindOf(ws), RebuildFormOf(ws), ws.SourceImage, sounds, &port);
    if (!rebuilt) return rebuilt.status();
    if (Status s = BackUpAndSave(ws, rebuilt->plan, options); !s) return s;
    *ws.CurrentBank() = std::move(rebuilt->model);
    for (const NewSound& s : sounds) {
        const auto cache = exporting::CacheWavPath(ws, s.n);
        if (!cache.empty() && !platform::RemoveFile(cache)) ws.StaleCache.insert(s.n);
        port.RowChanged(s.n);
    }
    return {};
}

}  // namespace

bool IsImportable(const fs::path& file) {
    const std::string ext = workspace::FileNameKey(platform::PathToUtf8(file.extension()));
    return std::any_of(kExtensions.begin(), kExtensions.end(),
                       [&](std::string_view e) { return workspace::FileNameKey(e) == ext; });
}

Result<ImportPlan> PlanImport(const Workspace& ws, const fs::path& folder) {
    if (!isBank(ws) && !isMulti(ws)) return Error{"nothing is loaded"};
    auto files = platform::FilesInFolder(folder);
    if (!files) return files.error();
    const auto keys = entryKeys(ws);
    ImportPlan plan;
    std::map<std::size_t, std::vector<fs::path>> byEntry;
    for (const auto& file : *files) {
        const std::string name = platform::FileNameUtf8(file);
        const auto found = IsImportable(file) ? keys.find(workspace::FileNameKey(stemOf(name))) : keys.end();
        if (found == keys.end()) {
            plan.unused.push_back(file);
            continue;
        }
        byEntry[found->second].push_back(file);
    }
    for (const auto& [entry, inputs] : byEntry) {
        const std::string name = ws.RowName(entry);
        if (inputs.size() > 1) {
            std::string text = "several files for " + name + ":";
            for (const auto& f : inputs) text += " " + platform::FileNameUtf8(f);
            plan.refused.push_back(text);
            continue;
        }
        ImportItem item{entry, name, inputs.front()};
        (sameAsExport(ws, entry, item.input) ? plan.unchanged : plan.replaced).push_back(std::move(item));
    }
    return plan;
}

std::string DescribePlan(const ImportPlan& plan) {
    std::string text;
    auto section = [&](const std::string& title, const std::vector<std::string>& lines) {
        if (lines.empty()) return;
        if (!text.empty()) text += "\n";
        text += title + " (" + std::to_string(lines.size()) + "):\n";
        for (const auto& l : lines) text += "  " + l + "\n";
    };
    std::vector<std::string> lines;
    for (const auto& i : plan.replaced) lines.push_back(i.name + " <- " + platform::FileNameUtf8(i.input));
    section("To replace", lines);
    lines.clear();
    for (const auto& i : plan.unchanged) lines.push_back(i.name + " (" + platform::FileNameUtf8(i.input) + ")");
    section("Unchanged, skipped", lines);
    lines.clear();
    for (const auto& f : plan.unused) lines.push_back(platform::FileNameUtf8(f));
    section("Not used", lines);
    section("Refused", plan.refused);
    if (text.empty()) text = "The folder holds no file for any sound.\n";
    return text;
}

Status ImportPlanned(Workspace& ws, UiPort& port, engine::Converter& converter, const ImportPlan& plan,
                     const ReplaceOptions& options) {
    if (!plan.refused.empty()) return refusedAll(plan.refused);
    if (plan.replaced.empty()) return {};
    if (isMulti(ws)) {
        Status s = ReplaceMULTI_ADPCM(ws, port, converter, plan.replaced.front().input, options);
        if (!s && !IsCancelled(s) && !s.isFileSystemError())
            return refusedAll({platform::FileNameUtf8(plan.replaced.front().input) + ": " + s.message()});
        return s;
    }
    if (!isBank(ws)) return Error{"nothing is loaded"};
    return importIntoBank(ws, port, converter, plan, options);
}

bool ImportAvailable(const Workspace& ws) { return (isBank(ws) || isMulti(ws)) && ws.Menus.replace1Enabled; }

void ImportFolderClick(Workspace& ws, UiPort& port, engine::Converter& converter, const ReplaceOptions& options) {
    if (!ImportAvailable(ws)) return;
    auto folder = port.AskFolder("Import folder");
    if (!folder) return;
    auto plan = PlanImport(ws, platform::PathFromUtf8(*folder));
    if (!plan) {
        port.ShowError(plan.message());
        return;
    }
    if (!plan->refused.empty()) {
        port.ShowError(DescribePlan(*plan));
        return;
    }
    if (!port.Ask("Import folder", DescribePlan(*plan), "Import", "Cancel")) return;
    port.Lock();
    if (ws.StopPreview) ws.StopPreview();
    port.SetStatus("Importing...");
    port.SetMarquee(true);
    port.Pump();
    Status s = ImportPlanned(ws, port, converter, *plan, options);
    port.SetMarquee(false);
    port.SetStatus(
        s ? std::to_string(plan->replaced.size()) + " of " + std::to_string(ws.EntryCount()) + " sounds replaced" : "");
    port.Unlock();
    if (!s && !IsCancelled(s)) port.ShowError(s.message());
}

}  // namespace brenzo::replace
