#pragma once

#include <optional>
#include <string>

namespace brenzo::engine {

// What the libsndfile in use can decode, as far as the editor cares.
struct SndfileAbilities {
    std::string version;  // "1.2.0"
    bool mpeg = false;
    bool vorbis = false;
};

SndfileAbilities ProbeSndfile();

// The message naming the library when it falls short, or nothing.
std::optional<std::string> CapabilityProblem(const SndfileAbilities& sndfile);

}  // namespace brenzo::engine
