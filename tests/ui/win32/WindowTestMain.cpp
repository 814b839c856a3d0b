// The window tests' main: once Media Foundation has decoded in the process, the process ends
// through the engine's own way out, which Wine's shut-down handlers cannot turn into a crash.
#include <gtest/gtest.h>

#include "engine/Engine.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return brenzo::engine::FinishProcess(RUN_ALL_TESTS());
}
