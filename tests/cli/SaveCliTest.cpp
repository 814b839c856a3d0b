// Two brenzo-cli runs saving one container at once: one change may be refused, none lost.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "platform/Path.h"
#include "support/RunCli.h"
#include "support/TempDir.h"

namespace brenzo {
namespace {

using testing::RunCli;
using testing::TempDir;

std::string utf8Of(const std::filesystem::path& p) { return platform::PathToUtf8(p); }

TEST(CliSave, TwoReplacesAtOnceNeverLoseAChangeTheyReportAsSaved) {
    TempDir dir;
    ASSERT_EQ(RunCli({"samples", utf8Of(dir / "s")}).status, 0);
    const auto hashes = utf8Of(dir / "s" / "Hashes.ini");
    const auto original = dir / "s" / "sfx_ui.bin";
    auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--hashes", hashes});
        return RunCli(args);
    };
    // Each run puts another sound's audio into sound 0 or sound 2.
    for (const char* n : {"1", "2"})
        ASSERT_EQ(cli({"export", utf8Of(original), "--index", n, "-o", utf8Of(dir / (std::string(n) + ".wav"))}).status,
                  0);
    const std::vector<std::string> a = {"replace", "", "--index", "0", utf8Of(dir / "1.wav")};
    const std::vector<std::string> b = {"replace", "", "--index", "2", utf8Of(dir / "2.wav")};
    auto on = [](std::vector<std::string> args, const std::filesystem::path& file) {
        args[1] = utf8Of(file);
        return args;
    };
    // The outcomes of the two run one after the other, and of each alone.
    std::filesystem::copy_file(original, dir / "ab.bin");
    auto first = cli(on(a, dir / "ab.bin"));
    if (first.status == 2 && first.err.find("no audio engine") != std::string::npos)
        GTEST_SKIP() << "this build has no replace";
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(cli(on(b, dir / "ab.bin")).status, 0);
    std::filesystem::copy_file(original, dir / "a.bin");
    ASSERT_EQ(cli(on(a, dir / "a.bin")).status, 0);
    std::filesystem::copy_file(original, dir / "b.bin");
    ASSERT_EQ(cli(on(b, dir / "b.bin")).status, 0);
    const auto both = testing::ReadFile(dir / "ab.bin"), onlyA = testing::ReadFile(dir / "a.bin"),
               onlyB = testing::ReadFile(dir / "b.bin");

    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        const auto file = dir / "race.bin";
        // Removed first: MinGW's copy_file, asked to overwrite, takes any two files for one.
        std::filesystem::remove(file);
        std::filesystem::copy_file(original, file);
        testing::CliRun runA, runB;
        std::thread other([&] { runB = cli(on(b, file)); });
        runA = cli(on(a, file));
        other.join();
        const auto result = testing::ReadFile(file);
        for (const auto* run : {&runA, &runB}) {
            if (run->status != 0) {
                EXPECT_EQ(run->status, 3);
                EXPECT_THAT(
                    run->err,
                    ::testing::HasSubstr("race.bin was changed by another program since it was opened; open it again"));
            }
        }
        ASSERT_FALSE(runA.status != 0 && runB.status != 0) << runA.err << runB.err;
        if (runA.status == 0 && runB.status == 0)
            EXPECT_EQ(result, both);
        else if (runA.status == 0)
            EXPECT_EQ(result, onlyA);
        else
            EXPECT_EQ(result, onlyB);
        // No temporary file is left (each container's first original stays as NAME.bak).
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            EXPECT_NE(utf8Of(entry.path().filename()).front(), '.') << utf8Of(entry.path());
        EXPECT_TRUE(std::filesystem::exists(dir / "race.bin.bak"));
    }
}

}  // namespace
}  // namespace brenzo
