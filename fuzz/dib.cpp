// Feeds the device-independent bitmap's readers (the stored form, and the file form when the
// data starts with "BM"), then draws what loaded at its size, stretched and into an 8-bit
// target, decodes it, writes it back and reads that again.
#include <cstdint>
#include <cstring>
#include <vector>

#include "dx/DIB.h"
#include "framework/Graphics.h"
#include "platform/gdi/Gdi.h"

namespace {

// Decoding a picture of more pixels than this is a decompression bomb, not a test of the code.
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 22;

void DrawInto(dx::TDIB& d, int bits, int w, int h, const fw::TRect& r) {
  std::vector<std::uint8_t> mem(static_cast<std::size_t>(w * h * 4), 0);
  gdi::MemoryFormat f;
  f.Width = w;
  f.Height = h;
  f.BitCount = static_cast<win::WORD>(bits);
  f.Pitch = w * 4;
  f.Bits = mem.data();
  win::RGBQUAD table[4] = {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 255, 0, 0}, {255, 255, 255, 0}};
  if (bits <= 8) {
    f.ColorTable = table;
    f.ColorCount = 4;
  }
  win::HDC dc = gdi::CreateMemoryFormatDC(f);
  {
    fw::TCanvas c;
    c.SetHandle(dc);
    c.StretchDraw(r, &d);
  }
  gdi::DeleteDC(dc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dx::TDIB d;
  try {
    fw::TBytesStream s(data ? data : reinterpret_cast<const std::uint8_t*>(""), size);
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') d.ReadFile(s);
    else d.ReadBody(s);
  } catch (const fw::Exception&) {
    return 0;
  }
  if (d.Empty()) return 0;
  try {
    DrawInto(d, 32, 48, 40, fw::Bounds(-3, -2, d.Width(), d.Height()));
    DrawInto(d, 16, 31, 17, fw::Rect(30, 16, -5, -9));
    DrawInto(d, 8, 20, 20, fw::Rect(0, 0, 20, 20));
    if (std::int64_t(d.Width()) * d.Height() > kMaxPixels) return 0;
    fw::TMemoryStream out;
    d.WriteBody(out);
    dx::TDIB copy;
    copy.Assign(&d);
    copy.SetPixel(d.Width() - 1, 0, 1);  // decodes
    copy.GetBits();
    DrawInto(copy, 32, 48, 40, fw::Rect(0, 0, 48, 40));
    out.SetPosition(0);
    dx::TDIB again;
    again.ReadBody(out);
    if (again.Width() != d.Width() || again.Height() != d.Height() || again.BitCount() != d.BitCount())
      __builtin_trap();
    if (d.Width() <= 512 && d.Height() <= 512) {
      copy.Canvas()->Pixel(0, 0);  // a DIB section of it
    }
  } catch (const fw::Exception&) {
  }
  return 0;
}
