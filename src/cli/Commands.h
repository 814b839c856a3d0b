#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace brenzo::cli {

// Exit statuses of brenzo-cli.
enum Exit : int { kDone = 0, kUsage = 1, kRefused = 2, kFileError = 3 };

struct Selection {
    std::optional<std::int64_t> index;
    std::optional<std::string> name;
};

struct Globals {
    std::string hashes;  // "Hashes.ini" beside the executable when empty
};

int Info(const Globals& g, const std::string& file);
int List(const Globals& g, const std::string& file, bool json);
int Export(const Globals& g, const std::string& file, const Selection& sel, const std::string& out);
int ExportAll(const Globals& g, const std::string& file, const std::string& dir);
int Replace(const Globals& g, const std::string& file, const Selection& sel, const std::string& input);
int RadioList(const std::string& file, bool json);
int RadioSet(const std::string& file, const Selection& sel, const std::string& duration);
int Samples(const std::string& dir);

}  // namespace brenzo::cli
