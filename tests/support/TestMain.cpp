// The tests' entry: every test runs headless, with no window and no sound
// card, and in the C locale (the farewell's bytes as they are), unless it
// starts a program with another environment itself.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("LC_ALL", "C", 1);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
