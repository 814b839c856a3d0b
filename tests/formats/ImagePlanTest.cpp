#include "formats/ImagePlan.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <string>

namespace brenzo::formats {
namespace {

// A piece of a plan made from an image of 1000 bytes: `from` >= 0 refers to image[from,
// from + size); -1 copies `size` new bytes; -2 is `size` zeros.
struct PieceSpec {
    long from;
    std::size_t size;
};

Bytes numbered(std::size_t size, std::size_t capacity) {
    Bytes image;
    image.reserve(capacity);
    image.resize(size);
    std::iota(image.begin(), image.end(), std::uint8_t{1});
    return image;
}

ImagePlan planOf(const Bytes& image, const std::vector<PieceSpec>& pieces, std::vector<std::uint8_t>& fresh) {
    ImagePlan plan;
    fresh.assign(5000, 0xEE);
    std::size_t used = 0;
    for (const auto& p : pieces) {
        if (p.from >= 0) {
            plan.Refer(std::span(image).subspan(static_cast<std::size_t>(p.from), p.size));
        } else if (p.from == -1) {
            plan.Copy(std::span(fresh).subspan(used, p.size));
            used += p.size;
        } else {
            plan.Zeros(p.size);
        }
    }
    return plan;
}

TEST(ImagePlan, UpdatingTheImageInPlaceGivesTheFlattenedFile) {
    struct Case {
        std::string what;
        std::vector<PieceSpec> pieces;
        bool inPlace;
    };
    const std::vector<Case> cases = {
        {"unchanged", {{0, 1000}}, true},
        {"a new header, every piece moving later", {{-1, 300}, {0, 400}, {-2, 48}, {400, 600}}, true},
        {"a smaller header, every piece moving earlier", {{-1, 10}, {100, 300}, {-2, 2}, {600, 400}}, true},
        {"one sound shrinks, one grows", {{0, 100}, {-1, 20}, {300, 200}, {-2, 500}, {500, 500}}, true},
        {"pieces moving both ways around a new one", {{-1, 50}, {0, 300}, {500, 100}, {-1, 900}, {900, 100}}, true},
        {"only new bytes", {{-1, 700}, {-2, 100}}, true},
        {"sources out of order", {{500, 100}, {0, 100}}, false},
        {"one source twice", {{0, 100}, {0, 100}}, false},
        {"larger than the capacity", {{0, 1000}, {-2, 2000}}, false},
    };
    for (const auto& c : cases) {
        Bytes image = numbered(1000, 2500);
        std::vector<std::uint8_t> fresh;
        ImagePlan plan = planOf(image, c.pieces, fresh);
        const Bytes expected = plan.Flatten();
        ASSERT_EQ(plan.CanUpdateInPlace(image), c.inPlace) << c.what;
        if (!c.inPlace) continue;
        const std::uint8_t* memory = image.data();
        plan.UpdateInPlace(image);
        EXPECT_EQ(image, expected) << c.what;
        EXPECT_EQ(image.data(), memory) << c.what;
    }
}

TEST(ImagePlan, RandomLayoutsUpdateInPlaceLikeTheyFlatten) {
    std::mt19937 rng(5);
    for (int round = 0; round < 300; ++round) {
        std::vector<PieceSpec> pieces;
        std::size_t at = 0;
        while (at < 1000) {
            const std::size_t size = std::min<std::size_t>(1 + rng() % 200, 1000 - at);
            if (rng() % 3 == 0) pieces.push_back({rng() % 2 ? -1L : -2L, 1 + rng() % 150});
            if (rng() % 4 != 0) pieces.push_back({static_cast<long>(at), size});  // else dropped
            at += size;
        }
        Bytes image = numbered(1000, 4000);
        std::vector<std::uint8_t> fresh;
        ImagePlan plan = planOf(image, pieces, fresh);
        const Bytes expected = plan.Flatten();
        ASSERT_TRUE(plan.CanUpdateInPlace(image)) << round;
        plan.UpdateInPlace(image);
        ASSERT_EQ(image, expected) << round;
    }
}

TEST(ImagePlan, ForEachStreamsTheFlattenedBytes) {
    Bytes image = numbered(1000, 1000);
    std::vector<std::uint8_t> fresh;
    ImagePlan plan = planOf(image, {{0, 10}, {10, 20}, {-2, (std::size_t{3} << 20) + 5}, {-1, 7}}, fresh);
    Bytes streamed;
    ASSERT_TRUE(plan.ForEach([&](std::span<const std::uint8_t> b) {
        EXPECT_LE(b.size(), std::size_t{1} << 20);
        streamed.insert(streamed.end(), b.begin(), b.end());
        return Status{};
    }));
    EXPECT_EQ(streamed, plan.Flatten());
    EXPECT_EQ(streamed.size(), plan.size());
    int calls = 0;
    Status stopped = plan.ForEach([&](std::span<const std::uint8_t>) {
        ++calls;
        return Status{Error{"disk full"}};
    });
    EXPECT_FALSE(stopped);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace brenzo::formats
