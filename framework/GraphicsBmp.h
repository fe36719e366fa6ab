#pragma once
// The BMP form of a bitmap, as far as every reader of it agrees: the info header after its size
// field (the 12-byte core header, the classic 40-byte one and, for readers that take them, the
// later extended ones), the bit-field masks, the colour table, and where the pixels begin. The
// framework bitmap and the device-independent bitmap both read their headers through here; what
// each then accepts and makes of the pixels is its own (see the callers).
#include <array>
#include <cstdint>

#include "framework/Classes.h"
#include "platform/win/WinTypes.h"

namespace fw {

// What a reader takes beyond the common rules.
struct TBmpRules {
  // The largest info header taken. 40 takes the core and classic headers only; larger values
  // take the extended headers too, of which the classic part and the masks are read and the
  // rest skipped.
  std::uint32_t MaxHeaderSize = 40;
  // The message of the EInvalidGraphic that a header no bitmap can have raises.
  const char* Invalid = "";
};

struct TBmpHeader {
  // A core header's fields are put in the classic header's places (compression 0).
  win::BITMAPINFOHEADER Info{};
  // As stored: 12, 40 or an extended size.
  std::uint32_t HeaderSize = 0;
  // Red, green and blue, for bit fields; zero otherwise.
  std::uint32_t Masks[3]{};
  bool Core() const { return HeaderSize == sizeof(win::BITMAPCOREHEADER); }
  bool BitFields() const { return Info.biCompression == win::BI_BITFIELDS; }
  // Bytes of one colour entry: 3 after a core header, else 4.
  int EntrySize() const { return Core() ? 3 : 4; }
  // The entries the colour table holds: the header's colours-used count, or for 8 bits or fewer
  // with a count of 0 one entry per pixel value.
  std::uint32_t ColorCount() const;
};

// The first 256 colour entries of a table (reserved bytes 0); entries past them are skipped.
using TBmpColors = std::array<win::RGBQUAD, 256>;

// Reads the info header whose size field (already read) is HeaderSize, and the bit-field masks
// after it, leaving the stream at the colour table. A size the rules do not take raises
// EInvalidGraphic(Rules.Invalid); a stream that ends early, EReadError.
TBmpHeader ReadBmpHeader(TStream& Stream, std::uint32_t HeaderSize, const TBmpRules& Rules);

// Reads the colour table of Header: its first 256 entries into Colors (the rest zero), skipping
// the others. Raises EReadError when the stream cannot hold the table.
void ReadBmpColors(TStream& Stream, const TBmpHeader& Header, TBmpColors& Colors);

// Moves the stream from the end of the colour table to the pixel data at Position (where the
// file began plus the file header's offset): any gap after the table is skipped. A position in
// the headers or the table raises EInvalidGraphic(Rules.Invalid); one past the stream's end,
// EReadError.
void SeekBmpBits(TStream& Stream, std::int64_t Position, const TBmpRules& Rules);

// A BITMAPINFO with room for a full colour table or three masks, for making sections.
struct TBitmapInfoBuffer {
  win::BITMAPINFOHEADER h{};
  win::DWORD extra[256 + 3]{};
  win::BITMAPINFO* Info() { return reinterpret_cast<win::BITMAPINFO*>(this); }
  win::RGBQUAD* Colors() { return reinterpret_cast<win::RGBQUAD*>(extra); }
};

}  // namespace fw
