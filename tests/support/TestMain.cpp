// The main of every test program: the tests run headless, so SDL plays to its dummy driver
// and Qt draws offscreen unless the caller chose otherwise.
#include <gtest/gtest.h>

#include <cstdlib>

namespace {
void setDefault(const char* name, const char* value) {
    if (std::getenv(name)) return;
#ifdef _WIN32
    _putenv_s(name, value);
#else
    setenv(name, value, 0);
#endif
}
}  // namespace

int main(int argc, char** argv) {
    setDefault("SDL_AUDIODRIVER", "dummy");
    setDefault("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
