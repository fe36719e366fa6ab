#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/kernel/Library.h"
#include "platform/kernel/LibraryTesting.h"

namespace {

int g_calls = 0;
void Entry() { ++g_calls; }
void OtherEntry() { g_calls += 10; }

class KernelLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    kernel::RegisterModule("Sample.dll", {{"Entry", &Entry}});
    kernel::SetModuleHidden("Sample.dll", false);
    kernel::ResetLoadCounts();
  }
  void TearDown() override { kernel::SetUnloadHook(nullptr); }
};

TEST_F(KernelLibrary, NamesCompareWithoutRegardToCaseAndLoadsAreCounted) {
  win::HMODULE a = kernel::LoadLibraryA("Sample.dll");
  win::HMODULE b = kernel::LoadLibraryA("SAMPLE.DLL");
  win::HMODULE c = kernel::LoadLibraryA("sample");  // no extension: the .dll of that name
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, c);
  EXPECT_EQ(kernel::LoadCount("sample.dll"), 3);
  EXPECT_EQ(kernel::RefCount("Sample.dll"), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(kernel::FreeLibrary(a), win::TRUE);
  EXPECT_EQ(kernel::RefCount("Sample.dll"), 0);
  EXPECT_EQ(kernel::LoadCount("sample.dll"), 3);  // loads are history, not references
}

TEST_F(KernelLibrary, EntriesAreFoundOnlyInLoadedModulesAndByExactName) {
  win::HMODULE h = kernel::LoadLibraryA("Sample.dll");
  ASSERT_NE(h, nullptr);
  kernel::FARPROC p = kernel::GetProcAddress(h, "Entry");
  ASSERT_NE(p, nullptr);
  g_calls = 0;
  kernel::ProcAs<void (*)()>(p)();
  EXPECT_EQ(g_calls, 1);
  EXPECT_EQ(kernel::GetProcAddress(h, "entry"), nullptr);
  EXPECT_EQ(kernel::GetProcAddress(h, "Missing"), nullptr);
  EXPECT_EQ(kernel::GetProcAddress(h, nullptr), nullptr);
  EXPECT_EQ(kernel::FreeLibrary(h), win::TRUE);
  // A handle whose last reference is gone is no longer a module.
  EXPECT_EQ(kernel::GetProcAddress(h, "Entry"), nullptr);
  EXPECT_EQ(kernel::FreeLibrary(h), win::FALSE);
}

TEST_F(KernelLibrary, UnknownNamesAndForeignHandlesAreRefused) {
  EXPECT_EQ(kernel::LoadLibraryA("NoSuchLibrary.dll"), nullptr);
  EXPECT_EQ(kernel::LoadLibraryA(""), nullptr);
  EXPECT_EQ(kernel::LoadLibraryA(nullptr), nullptr);
  int local = 0;
  auto foreign = reinterpret_cast<win::HMODULE>(&local);
  EXPECT_EQ(kernel::GetProcAddress(foreign, "Entry"), nullptr);
  EXPECT_EQ(kernel::FreeLibrary(foreign), win::FALSE);
  EXPECT_EQ(kernel::FreeLibrary(nullptr), win::FALSE);
  EXPECT_EQ(kernel::LoadCount("NoSuchLibrary.dll"), 0);
}

TEST_F(KernelLibrary, HiddenModulesFailToLoadUntilShownAgain) {
  kernel::SetModuleHidden("SAMPLE.dll", true);
  EXPECT_EQ(kernel::LoadLibraryA("Sample.dll"), nullptr);
  EXPECT_EQ(kernel::LoadCount("Sample.dll"), 0);
  kernel::SetModuleHidden("Sample.dll", false);
  win::HMODULE h = kernel::LoadLibraryA("Sample.dll");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(kernel::LoadCount("Sample.dll"), 1);
  kernel::FreeLibrary(h);
}

TEST_F(KernelLibrary, RegisteringAgainReplacesTheExportsAndUnloadingIsReported) {
  std::vector<std::string> unloaded;
  kernel::SetUnloadHook([&](const std::string& name) { unloaded.push_back(name); });
  win::HMODULE h = kernel::LoadLibraryA("Sample.dll");
  kernel::RegisterModule("sample.DLL", {{"Other", &OtherEntry}});
  EXPECT_EQ(kernel::GetProcAddress(h, "Entry"), nullptr);
  EXPECT_NE(kernel::GetProcAddress(h, "Other"), nullptr);
  EXPECT_EQ(kernel::LoadLibraryA("Sample.dll"), h);  // still the same module
  kernel::FreeLibrary(h);
  EXPECT_TRUE(unloaded.empty());
  kernel::FreeLibrary(h);
  EXPECT_EQ(unloaded, std::vector<std::string>{"Sample.dll"});
}

}  // namespace
