#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "engine/Engine.h"

namespace brenzo::testing {

// The real converter, holding the command until the test lets it go (10 s at most): a step of
// a command that never lets the window's events through of itself.
class HeldConverter : public engine::Converter {
public:
    explicit HeldConverter(engine::Converter& real) : real_(real) {}
    std::atomic<bool> released{false};
    Result<engine::ConvertedFormat> Convert(const std::filesystem::path& source, const std::filesystem::path& target,
                                            const engine::RatePolicy& rate,
                                            const std::function<void()>& pump) override {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!released && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return real_.Convert(source, target, rate, pump);
    }

private:
    engine::Converter& real_;
};

}  // namespace brenzo::testing
