#pragma once

#include <filesystem>

namespace brenzo::platform {

// Files and folders this run creates and removes again when it is done (a save's temporary
// file, the scratch folder). Registered ones are also removed when the run is interrupted,
// once the handling below is installed.
void RemoveOnInterrupt(const std::filesystem::path& path);
void ForgetOnInterrupt(const std::filesystem::path& path);

// Installs the handling of interruptions for a command-line run: Ctrl+C, a closed terminal or
// a request to end (SIGINT, SIGHUP, SIGTERM; a console's close on Windows) removes the
// registered paths and ends the program with 128 + the signal's number. Called first thing in
// main, before any thread starts.
void CleanUpOnInterrupt();

// Removes the registered paths: what the handling does just before the program ends (no
// path is registered or forgotten afterwards).
void RemoveRegisteredPaths();

}  // namespace brenzo::platform
