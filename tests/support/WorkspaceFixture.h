#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "support/RecordingPort.h"
#include "support/TempDir.h"
#include "workspace/Scratch.h"
#include "workspace/Workspace.h"

namespace brenzo::testing {

// What the command tests start from: a fresh folder, this run's scratch folders inside it, a
// workspace whose "Hashes.ini" is the folder's, and a port that records every call.
struct WorkspaceFixture {
    TempDir dir;
    workspace::ScratchFolders scratch = *workspace::ScratchFolders::Create(dir.path());
    workspace::Workspace ws{workspace::HashNames(dir / "Hashes.ini"), &scratch};
    RecordingPort port;

    // Writes a file into the folder.
    std::filesystem::path write(const std::string& name, std::span<const std::uint8_t> bytes);
    // Writes a container into the folder and opens it, which must succeed; the port then
    // forgets the open's calls.
    std::filesystem::path open(const std::string& name, std::span<const std::uint8_t> image);
    // A sub-folder of the folder, made when missing.
    std::filesystem::path folder(const std::string& name);
};

}  // namespace brenzo::testing
