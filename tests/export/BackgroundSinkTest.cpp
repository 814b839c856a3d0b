#include "export/BackgroundSink.h"

#include <gtest/gtest.h>

#include <numeric>

namespace brenzo::exporting {
namespace {

// Takes the writes, failing from the `failAt`-th one (counted from 0) on.
class FailingSink : public ByteSink {
public:
    explicit FailingSink(std::size_t failAt) : failAt_(failAt) {}
    Status Write(std::span<const std::uint8_t> bytes) override {
        if (calls_++ >= failAt_) return Error{"disk full", true};
        written.insert(written.end(), bytes.begin(), bytes.end());
        return {};
    }
    std::vector<std::uint8_t> written;

private:
    std::size_t failAt_;
    std::size_t calls_ = 0;
};

TEST(BackgroundSink, WritesEveryPieceInOrderAndReportsTheTargetsFirstFailure) {
    struct Case {
        std::size_t pieces, buffers, failAt;
    };
    const Case cases[] = {{0, 3, 99}, {1, 1, 99}, {50, 1, 99}, {50, 3, 99}, {50, 3, 0}, {50, 2, 17}, {5, 8, 4}};
    for (const Case& c : cases) {
        FailingSink target(c.failAt);
        std::vector<std::uint8_t> expected;
        Status firstWriteFailure;
        {
            BackgroundSink sink(target, c.buffers);
            for (std::size_t p = 0; p < c.pieces; ++p) {
                std::vector<std::uint8_t> piece(1000 + 37 * p);
                std::iota(piece.begin(), piece.end(), static_cast<std::uint8_t>(p));
                if (p < c.failAt) expected.insert(expected.end(), piece.begin(), piece.end());
                Status s = sink.Write(piece);
                if (!s && firstWriteFailure) firstWriteFailure = s;
                std::fill(piece.begin(), piece.end(), 0xAA);  // the sink kept its own copy
            }
            Status finished = sink.Finish();
            const bool fails = c.failAt < c.pieces;
            EXPECT_EQ(finished.isOk(), !fails) << c.pieces << "/" << c.buffers << "/" << c.failAt;
            if (fails) {
                EXPECT_EQ(finished.message(), "disk full");
            }
            if (!firstWriteFailure) {
                EXPECT_EQ(firstWriteFailure.message(), "disk full");
            }
        }
        EXPECT_EQ(target.written, expected) << c.pieces << "/" << c.buffers << "/" << c.failAt;
    }
}

}  // namespace
}  // namespace brenzo::exporting
