#include "radio/DurationEditor.h"

#include "radio/TrackDuration.h"
#include "radio/Windows1252.h"

namespace brenzo::radio {

Status DurationEditor::Open(const std::filesystem::path& path) {
    Close();
    auto opened = Dat15File::Open(path);
    if (!opened) return opened.status();
    auto listing = opened->ReadEntries();
    if (!listing) return listing.status();
    file_.emplace(std::move(*opened));
    tracks_ = std::move(listing->entries);
    outside_ = std::move(listing->outside);
    damage_ = std::move(listing->damage);
    return {};
}

void DurationEditor::Close() {
    if (file_) file_->Close();
    file_.reset();
    tracks_.clear();
    outside_.clear();
    damage_.clear();
}

std::string DurationEditor::TrackName(std::size_t track) const {
    return track < tracks_.size() ? Windows1252ToUtf8(tracks_[track].name) : std::string();
}

std::string DurationEditor::DamageNote() const {
    return damage_.empty() ? std::string() : damage_ + "; the tracks before it are listed";
}

const Dat15Entry* DurationEditor::OutsideTrackNamed(std::string_view utf8Name) const {
    for (const auto& entry : outside_)
        if (Windows1252ToUtf8(entry.name) == utf8Name) return &entry;
    return nullptr;
}

Status DurationEditor::noTrack(std::size_t track) const {
    return Error{file_ ? "there is no track " + std::to_string(track) : std::string("no .dat15 file is open")};
}

Result<std::uint32_t> DurationEditor::Duration(std::size_t track) {
    if (!file_ || track >= tracks_.size()) return noTrack(track).error();
    return file_->ReadDuration(tracks_[track].position);
}

Result<std::string> DurationEditor::DurationText(std::size_t track) {
    auto ms = Duration(track);
    if (!ms) return ms.error();
    return FormatTrackDuration(*ms);
}

Status DurationEditor::WriteDuration(std::size_t track, std::uint32_t ms) {
    if (!file_ || track >= tracks_.size()) return noTrack(track);
    return file_->WriteDuration(tracks_[track].position, ms);
}

}  // namespace brenzo::radio
