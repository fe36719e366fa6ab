// Shared main for the test programs. It sets the environment every test expects - windows on
// Qt's offscreen platform, SDL without devices, where saved pictures go - unless the caller has
// set it already, installs the platform's built-in libraries as a program's start-up does, and
// tells the sanitizers to stop at the first report and to ignore leaks inside system libraries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/builtins/Builtins.h"

extern "C" const char* __asan_default_options() {
  return "detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1";
}
extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\nleak:libdbus\nleak:libQt6\nleak:libX11\nleak:libxcb\n"
         "leak:libSDL2\nleak:libEGL\nleak:libGL\nleak:libglib\n";
}

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("FLOATBENCH_SOURCE_DIR", FLOATBENCH_DEFAULT_SOURCE_DIR, 0);
  setenv("FLOATBENCH_OUT_DIR", FLOATBENCH_DEFAULT_OUT_DIR, 0);
  std::error_code ec;
  std::filesystem::create_directories(std::getenv("FLOATBENCH_OUT_DIR"), ec);
  builtins::InstallLibraries();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
