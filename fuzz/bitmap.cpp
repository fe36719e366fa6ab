// Arbitrary bytes as the framework bitmap's BMP file (when they start with "BM") or its stored
// form (32-bit length, then the file): either a bitmap or the graphic's or stream's error. What
// loads is drawn, looked at through its canvas, written back and read again to the same size.
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/Graphics.h"
#include "framework/GraphicsBmp.h"
#include "platform/gdi/Gdi.h"

namespace {

// A section of more pixels than this is a test of the allocator, not of the reader.
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 22;

// The size the header claims, read as the bitmap reads it; 0 when it has none.
std::int64_t ClaimedPixels(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  try {
    fw::TBytesStream s(bytes.data(), bytes.size());
    s.SetPosition(static_cast<std::int64_t>(at));
    const auto size = s.ReadValue<std::uint32_t>();
    const fw::TBmpHeader h = fw::ReadBmpHeader(s, size, fw::TBmpRules{1024, "invalid"});
    return std::int64_t{h.Info.biWidth} * (h.Info.biHeight < 0 ? -std::int64_t{h.Info.biHeight} : h.Info.biHeight);
  } catch (const fw::Exception&) {
    return 0;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy, so that a read past the end is caught even for the empty input.
  std::vector<std::uint8_t> bytes(data, data + size);
  const bool file = size >= 2 && data[0] == 'B' && data[1] == 'M';
  if (ClaimedPixels(bytes, file ? 14 : 18) > kMaxPixels) return 0;
  fw::TBitmap b;
  try {
    fw::TBytesStream s(bytes.data(), bytes.size());
    if (file) b.LoadFromStream(s);
    else b.ReadData(s);
  } catch (const fw::EInvalidGraphic&) {
    return 0;
  } catch (const fw::EReadError&) {
    return 0;
  }
  if (b.Empty()) return 0;
  if (b.Width() <= 0 || b.Height() <= 0) __builtin_trap();

  std::vector<std::uint32_t> px(48 * 40, 0);
  gdi::MemoryFormat f;
  f.Width = 48;
  f.Height = 40;
  f.BitCount = 32;
  f.Pitch = 48 * 4;
  f.Bits = px.data();
  win::HDC dc = gdi::CreateMemoryFormatDC(f);
  {
    fw::TCanvas c;
    c.SetHandle(dc);
    c.Draw(-2, -3, &b);
    c.StretchDraw(fw::Rect(0, 0, 48, 40), &b);
  }
  gdi::DeleteDC(dc);
  b.Canvas()->Pixel(b.Width() - 1, b.Height() - 1);

  fw::TMemoryStream out;
  b.SaveToStream(out);
  out.SetPosition(0);
  fw::TBitmap again;
  again.LoadFromStream(out);
  if (again.Width() != b.Width() || again.Height() != b.Height() || again.PixelFormat() != b.PixelFormat())
    __builtin_trap();
  return 0;
}
