// The "WAVE" property through the component stream's reader and writer.
#include <gtest/gtest.h>

#include <cstring>

#include "dx/Wave.h"
#include "framework/ClassBuilder.h"
#include "framework/Streaming.h"

namespace wavetest {

using namespace fw;

class TWaveHolder : public TComponent {
  FW_CLASS(TWaveHolder, TComponent)
 public:
  explicit TWaveHolder(TComponent* AOwner) : TComponent(AOwner) {}
  dx::TWave Wave;
  dx::TWave* GetWave() const { return const_cast<dx::TWave*>(&Wave); }
};

FW_REGISTER(TWaveHolder, [](TClassBuilder<TWaveHolder>& b) { b.Object("Wave", &TWaveHolder::GetWave); })

namespace {

void MakeWave(dx::TWave& w, int formatSize, int size) {
  w.SetFormatSize(formatSize);
  for (int i = 0; i < formatSize; ++i) w.Format()[i] = static_cast<std::uint8_t>(0x40 + i);
  w.SetSize(size);
  for (int i = 0; i < size; ++i) w.Data()[i] = static_cast<std::uint8_t>(i * 7);
}

bool SameWave(const dx::TWave& a, const dx::TWave& b) {
  return a.Size() == b.Size() && a.FormatSize() == b.FormatSize() &&
         std::memcmp(a.Data(), b.Data(), a.Size()) == 0 &&
         std::memcmp(a.Format(), b.Format(), a.FormatSize()) == 0;
}

}  // namespace

TEST(WaveStreaming, AStoredWaveReadsBackFromBinaryAndText) {
  auto holder = MakeOwned<TWaveHolder>(nullptr);
  holder->SetName("Holder");
  MakeWave(holder->Wave, 16, 9000);

  TMemoryStream binary;
  WriteComponent(binary, *holder);
  binary.SetPosition(0);
  auto back = MakeOwned<TWaveHolder>(nullptr);
  ReadComponent(binary, back.get(), nullptr);
  EXPECT_TRUE(SameWave(back->Wave, holder->Wave));

  const std::string text = ComponentToText(*holder);
  EXPECT_NE(text.find("Wave.WAVE = {"), std::string::npos) << text;
  EXPECT_NE(text.find("52494646"), std::string::npos) << "the property holds the RIFF stream";
  auto fromText = MakeOwned<TWaveHolder>(nullptr);
  ReadRootComponentText(*fromText, text);
  EXPECT_TRUE(SameWave(fromText->Wave, holder->Wave));
}

TEST(WaveStreaming, AnEmptyWaveIsStoredEmptyAndThatDoesNotRead) {
  auto holder = MakeOwned<TWaveHolder>(nullptr);
  holder->SetName("Holder");
  const std::string text = ComponentToText(*holder);
  EXPECT_NE(text.find("Wave.WAVE = {"), std::string::npos) << "the property is always written\n" << text;

  TMemoryStream binary;
  WriteComponent(binary, *holder);
  binary.SetPosition(0);
  auto back = MakeOwned<TWaveHolder>(nullptr);
  MakeWave(back->Wave, 4, 4);
  try {
    ReadComponent(binary, back.get(), nullptr);
    ADD_FAILURE() << "an empty WAVE property was read";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }
  EXPECT_EQ(back->Wave.Size(), 0);
}

}  // namespace wavetest
