// brenzo-cli import-all, restore and the backup flags, run end to end.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "codec/Wav.h"
#include "platform/Path.h"
#include "support/Builders.h"
#include "support/RunCli.h"
#include "support/TempDir.h"

namespace brenzo {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RunCli;

std::string str(const fs::path& p) { return platform::PathToUtf8(p); }

void writeWav(const fs::path& path, std::uint16_t channels, const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> bytes;
    codec::WriteWavHeader(bytes, channels, 22050, static_cast<std::uint32_t>(samples.size() * 2));
    auto data = testing::ToBytes(samples);
    bytes.insert(bytes.end(), data.begin(), data.end());
    testing::WriteFile(path, bytes);
}

TEST(ImportAllCli, PlansImportsRefusesAndRestores) {
    testing::TempDir dir;
    ASSERT_EQ(RunCli({"samples", str(dir.path())}).status, 0);
    const std::string hashes = str(dir / "Hashes.ini");
    const std::string bank = str(dir / "sfx_vehicle.bin");
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--hashes", hashes});
        return RunCli(args);
    };
    ASSERT_EQ(run({"export-all", bank, "-d", str(dir / "out")}).status, 0);
    const auto original = ReadFile(dir / "sfx_vehicle.bin");
    fs::remove(dir / "out" / "horn.wav");
    writeWav(dir / "out" / "HORN.wav", 1, testing::Tone(9000, 700, 22050));
    testing::WriteText(dir / "out" / "readme.txt", "notes");

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
        bool changed;
    };
    const Case cases[] = {
        {{"--dry-run"}, 0, "1\thorn\tHORN.wav\n1 of 4 sounds would be replaced\n", "", false},
        {{"--no-backup"}, 0, "1\thorn\tHORN.wav\n1 of 4 sounds replaced\n", "", true},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"import-all", bank, "-d", str(dir / "out")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        auto r = run(args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << r.err;
        EXPECT_EQ(r.out, c.out) << c.args[0];
        EXPECT_EQ(ReadFile(dir / "sfx_vehicle.bin") != original, c.changed) << c.args[0];
        EXPECT_FALSE(fs::exists(dir / "sfx_vehicle.bin.bak")) << c.args[0];
    }

    // A stereo file is refused (nothing saved) unless it may be mixed down.
    const auto beforeStereo = ReadFile(dir / "sfx_vehicle.bin");
    fs::remove(dir / "out" / "HORN.wav");
    writeWav(dir / "out" / "horn.wav", 2, testing::Tone(9000, 700, 22050));
    auto refused = run({"import-all", bank, "-d", str(dir / "out")});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err,
              "brenzo-cli: 1 file was refused; nothing was saved:\nhorn.wav: WAV-file should have 1 channel\n");
    EXPECT_EQ(ReadFile(dir / "sfx_vehicle.bin"), beforeStereo);

    auto mixed = run({"import-all", bank, "-d", str(dir / "out"), "--mix", "--json"});
    ASSERT_EQ(mixed.status, 0) << mixed.err;
    auto json = nlohmann::json::parse(mixed.out);
    EXPECT_EQ(json["replaced"], nlohmann::json::parse(R"([{"index": 1, "name": "horn", "input": "horn.wav"}])"));
    EXPECT_EQ(json["unchanged"].size(), 3u);
    EXPECT_EQ(json["unused"], nlohmann::json::parse(R"(["readme.txt"])"));
    // The backup is the file as it was before this save, and restore puts it back.
    EXPECT_EQ(ReadFile(dir / "sfx_vehicle.bin.bak"), beforeStereo);
    auto restored = RunCli({"restore", bank});
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(ReadFile(dir / "sfx_vehicle.bin"), beforeStereo);
    EXPECT_TRUE(fs::exists(dir / "sfx_vehicle.bin.bak"));

    auto none = RunCli({"restore", str(dir / "sfx_ui.bin")});
    EXPECT_EQ(none.status, 3);
    EXPECT_EQ(none.err, "brenzo-cli: cannot restore sfx_ui.bin: there is no sfx_ui.bin.bak\n");
}

}  // namespace
}  // namespace brenzo
