#include "engine/Capabilities.h"

#include <sndfile.h>
#include <soxr.h>
#include <vorbis/codec.h>

#include <string_view>

#include "engine/Engine.h"

namespace brenzo::engine {
namespace {

std::string withoutPrefix(std::string_view text, std::string_view prefix) {
    if (text.substr(0, prefix.size()) == prefix) text.remove_prefix(prefix.size());
    return std::string(text);
}

}  // namespace

SndfileAbilities ProbeSndfile() {
    SndfileAbilities a;
    a.version = withoutPrefix(sf_version_string(), "libsndfile-");
    // Asked of the library loaded at run time: a program built against new headers may meet an
    // older libsndfile on the user's system.
    int majors = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &majors, sizeof(majors));
    bool ogg = false;
    for (int i = 0; i < majors; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof(info)) != 0) continue;
        if (info.format == SF_FORMAT_MPEG) a.mpeg = true;
        if (info.format == SF_FORMAT_OGG) ogg = true;
    }
    int subtypes = 0;
    sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE_COUNT, &subtypes, sizeof(subtypes));
    bool vorbis = false;
    bool layer3 = false;
    for (int i = 0; i < subtypes; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE, &info, sizeof(info)) != 0) continue;
        if (info.format == SF_FORMAT_VORBIS) vorbis = true;
        if (info.format == SF_FORMAT_MPEG_LAYER_III) layer3 = true;
    }
    a.mpeg = a.mpeg && layer3;
    a.vorbis = ogg && vorbis;
    return a;
}

std::optional<std::string> CapabilityProblem(const SndfileAbilities& sndfile) {
    if (!sndfile.mpeg)
        return "libsndfile " + sndfile.version + " cannot decode MP3 files; Brenzo needs libsndfile 1.1 or later";
    if (!sndfile.vorbis)
        return "libsndfile " + sndfile.version +
               " cannot decode OGG Vorbis files; Brenzo needs a libsndfile built with Ogg Vorbis support";
    return std::nullopt;
}

std::optional<std::string> CheckEngineCapabilities() { return CapabilityProblem(ProbeSndfile()); }

int FinishProcess(int status) { return status; }

std::vector<Library> LinkedLibraries() {
    return {
        {"libsndfile", withoutPrefix(sf_version_string(), "libsndfile-")},
        {"libmpg123", BRENZO_MPG123_VERSION},
        {"libvorbisfile", withoutPrefix(vorbis_version_string(), "Xiph.Org libVorbis ")},
        {"libsoxr", withoutPrefix(soxr_version(), "libsoxr-")},
    };
}

}  // namespace brenzo::engine
