#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Result.h"
#include "radio/Dat15.h"
#include "radio/Dat15File.h"

namespace brenzo::radio {

// The duration editor's command, driven by its window and by `brenzo-cli radio set`: open a
// ".dat15" file (held and locked until closed), list its radio tracks, say what of the table
// is damaged, show and write a track's duration.
class DurationEditor {
public:
    // Opens and lists the file; on failure nothing is held and the tracks are empty.
    Status Open(const std::filesystem::path& path);
    // Releases the file.
    void Close();
    bool isOpen() const { return file_.has_value(); }

    // The tracks in table order: names as UTF-8, record positions.
    const std::vector<Dat15Entry>& tracks() const { return tracks_; }
    std::string TrackName(std::size_t track) const;
    // Why the walk stopped early ("...; the tracks before it are listed"), or "" when the table is whole.
    std::string DamageNote() const;
    // The track whose record runs past the end of the file under this name, if any.
    const Dat15Entry* OutsideTrackNamed(std::string_view utf8Name) const;

    // The stored duration in milliseconds, and as "hh:nn:ss".
    Result<std::uint32_t> Duration(std::size_t track);
    Result<std::string> DurationText(std::size_t track);
    // Writes a duration (in milliseconds) into the track's record and flushes it.
    Status WriteDuration(std::size_t track, std::uint32_t ms);

private:
    Status noTrack(std::size_t track) const;

    std::optional<Dat15File> file_;
    std::vector<Dat15Entry> tracks_;
    std::vector<Dat15Entry> outside_;
    std::string damage_;
};

}  // namespace brenzo::radio
