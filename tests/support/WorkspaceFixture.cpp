#include "support/WorkspaceFixture.h"

#include <gtest/gtest.h>

namespace brenzo::testing {

std::filesystem::path WorkspaceFixture::write(const std::string& name, std::span<const std::uint8_t> bytes) {
    WriteFile(dir / name, bytes);
    return dir / name;
}

std::filesystem::path WorkspaceFixture::open(const std::string& name, std::span<const std::uint8_t> image) {
    const auto path = write(name, image);
    EXPECT_EQ(ws.Open(path, port), workspace::OpenOutcome::Loaded) << name;
    port.clear();
    return path;
}

std::filesystem::path WorkspaceFixture::folder(const std::string& name) {
    std::filesystem::create_directories(dir / name);
    return dir / name;
}

}  // namespace brenzo::testing
