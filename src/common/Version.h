#pragma once

// The program's version and the libraries it is built with, as `--version` and the About
// window show them: one list, made by the engine (and the front end for its own toolkit).

#include <span>
#include <string>
#include <string_view>

#ifndef BRENZO_VERSION
#define BRENZO_VERSION "0"
#endif

namespace brenzo {

inline constexpr std::string_view kVersion = BRENZO_VERSION;

struct Library {
    std::string name;     // "libsndfile"
    std::string version;  // "1.2.0"
};

// "brenzo-cli 1.0" and then one line per library: "libsndfile 1.2.0".
inline std::string VersionReport(std::string_view program, std::span<const Library> libraries) {
    std::string text(program);
    text += ' ';
    text += kVersion;
    text += '\n';
    for (const auto& l : libraries) text += l.name + " " + l.version + "\n";
    return text;
}

// "Qt 6.4.2, libsndfile 1.2.0 and SDL2 2.26.5", for the About window.
inline std::string LibrariesSentence(std::span<const Library> libraries) {
    std::string text;
    for (std::size_t i = 0; i < libraries.size(); ++i) {
        if (i > 0) text += i + 1 == libraries.size() ? " and " : ", ";
        text += libraries[i].name + " " + libraries[i].version;
    }
    return text;
}

}  // namespace brenzo
