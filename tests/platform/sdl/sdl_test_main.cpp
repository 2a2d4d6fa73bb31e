// Runs the SDL tests on SDL's stand-in drivers, so they need neither a
// display server nor a sound card.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  SDL_Quit();
  return result;
}
