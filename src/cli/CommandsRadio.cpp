// `brenzo-cli radio list` and `radio set`: the radio track table of a ".dat15" file.
#include <nlohmann/json.hpp>

#include "cli/Commands.h"
#include "cli/Output.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "radio/Dat15.h"
#include "radio/Dat15File.h"
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
    if (sel.index && sel.name) return Fail(kUsage, "give either --index or --name, not both");
    if (!sel.index && !sel.name) return Fail(kUsage, "give the track with --index N or --name NAME");
    // The editor's mask lets blanks stand for zeros; on the command line every place is a digit.
    if (duration.find(' ') != std::string::npos)
        return Fail(kUsage, "\"" + duration + "\" is not a duration: write it as HH:NN:SS, digits only");
    auto ms = radio::ParseTrackDuration(duration);
    if (!ms) return Fail(kUsage, ms.message());

    auto opened = radio::Dat15File::Open(platform::PathFromUtf8(file));
    if (!opened) return Fail(kFileError, opened.message());
    radio::Dat15File& dat = *opened;
    auto listing = dat.ReadEntries();
    if (!listing) return FailWith(listing.status());
    warnDamage(file, *listing);

    const radio::Dat15Entry* track = nullptr;
    if (sel.index) {
        if (*sel.index < 0 || static_cast<std::uint64_t>(*sel.index) >= listing->entries.size())
            return Fail(kUsage, file + " has no track " + std::to_string(*sel.index) + " (it has " +
                                    std::to_string(listing->entries.size()) + ")");
        track = &listing->entries[static_cast<std::size_t>(*sel.index)];
    } else {
        for (const auto& entry : listing->entries) {
            if (radio::Windows1252ToUtf8(entry.name) == *sel.name) {
                track = &entry;
                break;
            }
        }
        if (!track) {
            // A track whose record runs past the end is not listed; say why rather than "no track".
            for (const auto& entry : listing->outside) {
                if (radio::Windows1252ToUtf8(entry.name) == *sel.name)
                    return Fail(kRefused, file + ": the record of track \"" + *sel.name + "\" at " +
                                              std::to_string(entry.position) + " runs past the end of the file");
            }
            return Fail(kUsage, file + " has no track named \"" + *sel.name + "\"");
        }
    }
    if (Status s = dat.WriteDuration(track->position, *ms); !s)
        return s.isFileSystemError() ? Fail(kFileError, s.message()) : Fail(kRefused, file + ": " + s.message());
    return kDone;
}

}  // namespace brenzo::cli
