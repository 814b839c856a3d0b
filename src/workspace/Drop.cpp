#include "workspace/Drop.h"

#include <array>

namespace brenzo::workspace {

DropAction DecideDrop(std::string_view fileName, bool onRow) {
    if (!onRow) return DropAction::Open;
    const auto dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return DropAction::Open;
    std::string extension;
    for (char c : fileName.substr(dot + 1)) extension += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    // What the audio engine decodes; containers have extensions of their own.
    static constexpr std::array<std::string_view, 9> kAudio = {"wav",  "mp3", "ogg",  "oga", "flac",
                                                               "opus", "aif", "aiff", "aifc"};
    for (std::string_view audio : kAudio)
        if (extension == audio) return DropAction::AskReplace;
    return DropAction::Open;
}

std::string ReplaceQuestion(std::string_view soundName, std::string_view fileName) {
    return "Replace " + std::string(soundName) + " with " + std::string(fileName) + "?";
}

std::string ReplaceQuestion(const Workspace& ws, std::size_t entry, std::string_view fileName) {
    return ReplaceQuestion(ws.WholeFile() ? ws.FileName : ws.RowName(entry), fileName);
}

}  // namespace brenzo::workspace
