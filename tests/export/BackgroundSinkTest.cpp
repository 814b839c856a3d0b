#include "export/BackgroundSink.h"

#include <gtest/gtest.h>

#include <numeric>
#include <set>
#include <string>

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

// Pieces come as bytes (Write, any length) or as samples decoded into a lent buffer
// (SampleRoom, WriteSamples), mixed: every `lendEvery`-th piece lent, none when 0.
TEST(BackgroundSink, WritesEveryPieceInOrderAndReportsTheTargetsFirstFailure) {
    struct Case {
        std::size_t pieces, buffers, failAt, lendEvery;
    };
    const Case cases[] = {{0, 3, 99, 0},  {1, 1, 99, 0},  {50, 1, 99, 0}, {50, 3, 99, 0}, {50, 3, 0, 0},
                          {50, 2, 17, 0}, {5, 8, 4, 0},   {1, 1, 99, 1},  {50, 1, 99, 1}, {50, 3, 99, 2},
                          {50, 3, 0, 1},  {50, 2, 17, 2}, {5, 8, 4, 1}};
    for (const Case& c : cases) {
        const std::string name = std::to_string(c.pieces) + "/" + std::to_string(c.buffers) + "/" +
                                 std::to_string(c.failAt) + "/" + std::to_string(c.lendEvery);
        FailingSink target(c.failAt);
        std::vector<std::uint8_t> expected;
        Status firstWriteFailure;
        {
            BackgroundSink sink(target, c.buffers);
            for (std::size_t p = 0; p < c.pieces; ++p) {
                Status s;
                if (c.lendEvery != 0 && p % c.lendEvery == 0) {
                    auto room = sink.SampleRoom(500 + p);
                    ASSERT_EQ(room.size(), 500 + p) << name;
                    for (std::size_t i = 0; i < room.size(); ++i) room[i] = static_cast<std::int16_t>(p * 1000 + i);
                    if (p < c.failAt) {
                        const auto* bytes = reinterpret_cast<const std::uint8_t*>(room.data());
                        expected.insert(expected.end(), bytes, bytes + room.size() * 2);
                    }
                    s = sink.WriteSamples(room.size());
                } else {
                    std::vector<std::uint8_t> piece(1000 + 37 * p);
                    std::iota(piece.begin(), piece.end(), static_cast<std::uint8_t>(p));
                    if (p < c.failAt) expected.insert(expected.end(), piece.begin(), piece.end());
                    s = sink.Write(piece);
                    std::fill(piece.begin(), piece.end(), 0xAA);  // the sink kept its own copy
                }
                if (!s && firstWriteFailure) firstWriteFailure = s;
            }
            Status finished = sink.Finish();
            const bool fails = c.failAt < c.pieces;
            EXPECT_EQ(finished.isOk(), !fails) << name;
            if (fails) {
                EXPECT_EQ(finished.message(), "disk full") << name;
            }
            if (!firstWriteFailure) {
                EXPECT_EQ(firstWriteFailure.message(), "disk full") << name;
            }
        }
        EXPECT_EQ(target.written, expected) << name;
    }
}

// "Export all" makes a sink per sound: each takes the buffers the last one on its thread left,
// instead of fresh memory from the system.
TEST(BackgroundSink, ASinkTakesTheBuffersOfTheLastOneOnItsThread) {
    FailingSink target(99);
    std::set<const std::int16_t*> first;
    {
        BackgroundSink sink(target, 3);
        for (int p = 0; p < 3; ++p) {
            first.insert(sink.SampleRoom(1000).data());
            ASSERT_TRUE(sink.WriteSamples(1000));
        }
    }
    BackgroundSink next(target, 3);
    EXPECT_EQ(first.count(next.SampleRoom(1000).data()), 1u);
    ASSERT_TRUE(next.WriteSamples(1000));
    EXPECT_TRUE(next.Finish());
    EXPECT_EQ(target.written.size(), 4u * 2000u);
}

}  // namespace
}  // namespace brenzo::exporting
