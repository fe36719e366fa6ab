// The built-in libraries as a program finds them after its start-up (the test programs' main
// installs them the way the framework's application start-up does).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/builtins/Builtins.h"
#include "platform/kernel/Library.h"
#include "platform/kernel/LibraryTesting.h"

namespace {

struct Builtin {
  const char* name;
  std::vector<std::string> entries;
};

const Builtin kBuiltins[] = {
    {"DDraw.dll", {"DirectDrawCreate", "DirectDrawCreateEx", "DirectDrawEnumerateA"}},
    {"DInput.dll", {"DirectInputCreateA"}},
    {"DSound.dll", {"DirectSoundCreate"}},
    {"D3DRM.dll", {"Direct3DRMCreate"}},
};

TEST(Builtins, EveryLibraryLoadsWithItsEntryPoints) {
  for (const Builtin& b : kBuiltins) {
    SCOPED_TRACE(b.name);
    win::HMODULE h = kernel::LoadLibraryA(b.name);
    ASSERT_NE(h, nullptr);
    for (const std::string& entry : b.entries) EXPECT_NE(kernel::GetProcAddress(h, entry.c_str()), nullptr) << entry;
    EXPECT_EQ(kernel::GetProcAddress(h, "DllMain"), nullptr);
    EXPECT_EQ(kernel::FreeLibrary(h), win::TRUE);
  }
}

TEST(Builtins, InstallingAgainKeepsLoadedLibrariesAndTheirEntries) {
  win::HMODULE h = kernel::LoadLibraryA("ddraw");
  ASSERT_NE(h, nullptr);
  const kernel::FARPROC create = kernel::GetProcAddress(h, "DirectDrawCreate");
  const int refs = kernel::RefCount("DDraw.dll");
  builtins::InstallLibraries();
  EXPECT_EQ(kernel::LoadLibraryA("DDRAW.DLL"), h);
  EXPECT_EQ(kernel::RefCount("DDraw.dll"), refs + 1);
  EXPECT_EQ(kernel::GetProcAddress(h, "DirectDrawCreate"), create);
  EXPECT_EQ(kernel::FreeLibrary(h), win::TRUE);
  EXPECT_EQ(kernel::FreeLibrary(h), win::TRUE);
}

TEST(Builtins, OtherNamesStayUnknown) {
  EXPECT_EQ(kernel::LoadLibraryA("D3DIM.dll"), nullptr);
  EXPECT_EQ(kernel::LoadLibraryA("DDraw.dll.bak"), nullptr);
}

}  // namespace
