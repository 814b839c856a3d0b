// `brenzo-cli radio list` and `radio set`: the radio track table of a ".dat15" file.
#include <nlohmann/json.hpp>

#include "cli/Commands.h"
#include "cli/Output.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "radio/Dat15.h"
#include "radio/DurationEditor.h"
#include "radio/TrackDuration.h"
#include "radio/Windows1252.h"

namespace brenzo::cli {
namespace {

// A damaged table is listed as far as it can be read; say so once.
void warnDamage(const std::string& file, const radio::Dat15Listing& listing) {
    if (!listing.damage.empty()) PrintError(file + ": " + listing.damage + "; the tracks before it are listed");
}

}  // namespace

int RadioList(const std::string& file, bool json) {
    // A listing changes nothing, so it reads the file as it is, read-only or held by the editor.
    auto image = platform::ReadWholeFile(platform::PathFromUtf8(file));
    if (!image) return FailWith(image.status());
    const radio::Dat15Listing listing = radio::ReadDat15Entries(*image);
    warnDamage(file, listing);
    radio::ImageSource source(*image);

    std::string text;
    nlohmann::ordered_json tracks = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < listing.entries.size(); ++i) {
        const auto& entry = listing.entries[i];
        auto ms = radio::ReadTrackDuration(source, entry.position);
        if (!ms) return FailWith(ms.status());
        const std::string name = radio::Windows1252ToUtf8(entry.name);
        const std::string duration = radio::FormatTrackDuration(*ms);
        if (json) {
            nlohmann::ordered_json t;
            t["index"] = i;
            t["name"] = name;
            t["position"] = entry.position;
            t["duration"] = duration;
            t["ms"] = *ms;
            tracks.push_back(std::move(t));
        } else {
            text += std::to_string(i) + '\t' + TerminalSafe(name) + '\t' + std::to_string(entry.position) + '\t' +
                    duration + '\n';
        }
    }
    if (json)
        PrintLine(tracks.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
    else
        PrintRaw(text);
    return kDone;
}

int RadioSet(const std::string& file, const Selection& sel, const std::string& duration) {
    if (int s = CheckSelection(sel, "track"); s != kDone) return s;
    // The editor's mask lets blanks stand for zeros; on the command line every place is a digit.
    if (duration.find(' ') != std::string::npos)
        return Fail(kUsage, "\"" + duration + "\" is not a duration: write it as HH:NN:SS, digits only");
    auto ms = radio::ParseTrackDuration(duration);
    if (!ms) return Fail(kUsage, ms.message());

    radio::DurationEditor editor;
    if (Status s = editor.Open(platform::PathFromUtf8(file)); !s) return FailWith(s);
    if (const std::string note = editor.DamageNote(); !note.empty()) PrintError(file + ": " + note);

    std::size_t picked = 0;
    // A track whose record runs past the end is not listed; say why rather than "no track".
    auto outside = [&]() -> std::optional<int> {
        if (const auto* entry = editor.OutsideTrackNamed(*sel.name))
            return Fail(kRefused, file + ": the record of track \"" + *sel.name + "\" at " +
                                      std::to_string(entry->position) + " runs past the end of the file");
        return std::nullopt;
    };
    if (int s = PickEntry(
            sel, file, "track", editor.tracks().size(), [&](std::size_t i) { return editor.TrackName(i); }, picked,
            outside);
        s != kDone)
        return s;
    if (Status s = editor.WriteDuration(picked, *ms); !s)
        return s.isFileSystemError() ? Fail(kFileError, s.message()) : Fail(kRefused, file + ": " + s.message());
    return kDone;
}

}  // namespace brenzo::cli
