// The keyboard's key codes and its stored key table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "dx/DXInput.h"
#include "framework/Forms.h"
#include "framework/Streaming.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace dx;

TEST(DXInputKeys, ScanToVirtualKeyFollowsTheTable) {
  const std::vector<std::pair<int, int>> cases = {
      {1, 27},   {2, 49},   {10, 57},  {11, 48},  {12, 0},   {13, 61},  {16, 81},  {25, 80},
      {28, 13},  {29, 17},  {37, 75},  {39, 59},  {40, 39},  {41, 0},   {43, 92},  {51, 44},
      {52, 46},  {53, 47},  {55, 42},  {59, 112}, {68, 121}, {72, 104}, {84, 0},   {87, 122},
      {88, 123}, {156, 13}, {157, 17}, {181, 111}, {184, 18}, {200, 38}, {203, 37}, {205, 39},
      {208, 40}, {211, 46}, {219, 91}, {221, 93}, {255, 0},  {0, 0},    {-1, 0},   {256, 0}};
  for (auto [code, vk] : cases) EXPECT_EQ(ScanToVirtualKey(code), vk) << "key code " << code;
}

class DXInputAssigns : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication();
    Form = fw::MakeOwned<fw::TForm>(nullptr);
    Input = fw::MakeComponent<TDXInput>(Form.get());
  }
  static std::vector<std::uint8_t> Bytes(const TKeyboard& k) {
    fw::TMemoryStream s;
    k.WriteAssigns(s);
    const auto* p = static_cast<const std::uint8_t*>(s.Memory());
    return {p, p + s.Size()};
  }
  fw::TOwned<fw::TForm> Form;
  TDXInput* Input = nullptr;
};

TEST_F(DXInputAssigns, TheTableIsStoredAs432LittleEndianBytes) {
  TKeyboard* k = Input->Keyboard();
  EXPECT_EQ(k->Assigns, TKeyboard::DefaultAssigns());
  const auto bytes = Bytes(*k);
  ASSERT_EQ(bytes.size(), 432u);
  // Row 0 (stUp): 75, 38, 104; row 8 (stButton9) starts 96 bytes later... at 8 * 12.
  const std::uint8_t up[12] = {75, 0, 0, 0, 38, 0, 0, 0, 104, 0, 0, 0};
  EXPECT_EQ(std::memcmp(bytes.data(), up, 12), 0);
  EXPECT_EQ(bytes[12 * 12], 113);

  k->Assigns[35] = {-2, 0x01020304, 255};
  const auto changed = Bytes(*k);
  const std::uint8_t last[12] = {0xFE, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1, 255, 0, 0, 0};
  EXPECT_EQ(std::memcmp(changed.data() + 420, last, 12), 0);
  const TKeyAssignList saved = k->Assigns;
  k->Assigns = {};
  fw::TBytesStream in(changed.data(), changed.size());
  k->ReadAssigns(in);
  EXPECT_EQ(k->Assigns, saved);
}

TEST_F(DXInputAssigns, TheFuzzSeedsAreWhatTheWriterWrites) {
  const char* dir = std::getenv("FLOATBENCH_SOURCE_DIR");
  ASSERT_NE(dir, nullptr);
  auto file = [&](const char* name) {
    std::ifstream f(std::string(dir) + "/fuzz/corpus/keyboard_assigns/" + name, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  };
  TKeyboard* k = Input->Keyboard();
  EXPECT_EQ(file("default.bin"), Bytes(*k));
  k->Assigns[35] = {-2, 0x01020304, 255};
  k->Assigns[6] = {0, -1, 256};
  EXPECT_EQ(file("odd_codes.bin"), Bytes(*k));
}

TEST_F(DXInputAssigns, ABlockOfTheWrongLengthIsRefusedAndChangesNothing) {
  TKeyboard* k = Input->Keyboard();
  std::vector<std::uint8_t> bytes(432, 0x11);
  for (std::size_t size : {0u, 4u, 431u, 433u, 864u}) {
    std::vector<std::uint8_t> b(size, 0x22);
    fw::TBytesStream in(b.data(), b.size());
    try {
      k->ReadAssigns(in);
      ADD_FAILURE() << size << " bytes were taken";
    } catch (const fw::EReadError& e) {
      EXPECT_STREQ(e.what(), "Stream read error");
    }
    EXPECT_EQ(k->Assigns, TKeyboard::DefaultAssigns()) << size;
  }
}

TEST_F(DXInputAssigns, StoredFormsCarryTheTableUnderItsNameAndTheOldMisspeltOneIsRead) {
  TKeyboard* k = Input->Keyboard();
  k->Assigns[0] = {1, 2, 3};
  Input->SetName("DXInput");
  const std::string text = fw::ComponentToText(*Input);
  EXPECT_NE(text.find("Keyboard.Assigns = {"), std::string::npos) << text;
  EXPECT_EQ(text.find("Aissgns"), std::string::npos);

  // Read back into fresh components: once as written, once under the misspelt name.
  for (const std::string& name : {std::string("Assigns"), std::string("Aissgns")}) {
    std::string stored = text;
    stored.replace(stored.find("Keyboard.Assigns"), 16, "Keyboard." + name);
    auto other_form = fw::MakeOwned<fw::TForm>(nullptr);
    auto* other = fw::MakeComponent<TDXInput>(other_form.get());
    const std::string binary = fw::ObjectTextToBinary(stored);
    fw::TBytesStream in(binary.data(), binary.size());
    fw::ReadComponent(in, other, nullptr);
    EXPECT_EQ(other->Keyboard()->Assigns[0], (TKeyAssign{1, 2, 3})) << name;
    EXPECT_EQ(other->Keyboard()->Assigns[1], TKeyboard::DefaultAssigns()[1]) << name;
  }
}

}  // namespace
