#pragma once
// The pixel engine behind Blt and BltFast: raw pixel memory in, raw pixel memory out. The fast
// path has one routine per pixel size with and without colour keys; the reference path does the
// same one pixel at a time through plain reads and writes and is what the fast path is checked
// against.
#include <cstdint>
#include <vector>

#include "platform/pixels/Pixels.h"

namespace ddraw::blit {

using win::LONG;
using win::RECT;
using pixels::PixelView;

// An inclusive range of pixel values, as a colour key describes it.
struct KeyRange {
  std::uint32_t Low = 0;
  std::uint32_t High = 0;
  bool Contains(std::uint32_t v) const { return v >= Low && v <= High; }
};

struct KeySpans;

// One blit. Dest is the whole destination rectangle and Source the whole source rectangle; when
// their sizes differ the source is stretched (nearest pixel). Only the part of Dest inside Clip is
// written. Both rectangles lie within their surfaces and Clip within Dest.
struct BltParams {
  RECT Dest;
  RECT Source;
  RECT Clip;
  bool MirrorLeftRight = false;
  bool MirrorUpDown = false;
  const KeyRange* SourceKey = nullptr;  // source pixels in this range are not copied
  const KeyRange* DestKey = nullptr;    // only destination pixels in this range are replaced
  const KeySpans* SourceSpans = nullptr;  // the source's runs under SourceKey, if known
};

// The source pixel a destination pixel takes: index i of n destination pixels over a source
// run of m pixels starting at first.
inline LONG MapCoordinate(LONG i, LONG n, LONG first, LONG m, bool mirrored) {
  const LONG off = static_cast<LONG>((static_cast<std::int64_t>(i) * m) / n);
  return mirrored ? first + m - 1 - off : first + off;
}

// Colour fills are pixels::Fill. Source and destination must have the same BitCount; they may be
// the same memory, overlapping.
void Blit(const PixelView& dest, const PixelView& source, const BltParams& params);

// What a colour key leaves of a source surface, kept with the surface for a sprite drawn every
// frame: each row's opaque columns, from the first to the last, so that a keyed copy leaves out
// the keyed margins and the wholly keyed rows; and, where the runs are long enough to pay for it
// (Worthwhile), the opaque runs row by row with their pixels packed one run after the other, so
// that the sprite can be copied run by run from memory it reads straight through instead of
// tested pixel by pixel.
struct KeySpans {
  struct Extent {
    LONG First;  // first opaque column
    LONG End;    // one past the last; First == End in a wholly keyed row
  };
  struct Run {
    LONG First;           // first opaque column
    LONG End;             // one past the last
    std::uint32_t Offset;  // where its pixels start in Packed, in bytes
  };
  const std::uint8_t* Bits = nullptr;  // the memory and its version the runs describe
  std::uint64_t Version = 0;
  KeyRange Key;
  LONG Width = 0;
  LONG Height = 0;
  std::uint32_t BitCount = 0;
  std::vector<Extent> Rows;  // Height of them; none for a format the fast copies do not take
  bool Worthwhile = false;
  std::vector<std::uint32_t> RowStart;  // Height + 1 indices into Runs
  std::vector<Run> Runs;
  std::vector<std::uint8_t> Packed;  // the opaque pixels, run after run
  bool Describes(const PixelView& v, std::uint64_t version, const KeyRange& key) const {
    return Bits == v.Bits && Version == version && Key.Low == key.Low && Key.High == key.High &&
           Width == v.Width && Height == v.Height && BitCount == v.BitCount;
  }
};
void BuildSpans(const PixelView& source, std::uint64_t version, const KeyRange& key, KeySpans& spans);

// Keyed copies on processors with 64-byte vectors and per-lane masks write just the opaque pixels
// of each block (the destination is never read), rather than testing every pixel and blending,
// or copying run by run. False turns that off, so that tests and benchmarks can try the other
// ways on such a processor; it returns what was set before.
bool UseMaskedStores(bool use);

// Opaque or source-keyed copy of Source (1:1) to (x, y), all inside the surfaces. Spans, when
// given, describe the source as it is now under that key; the pixels are then taken from them.
void Copy(const PixelView& dest, LONG x, LONG y, const PixelView& source, const RECT& sourceRect,
          const KeyRange* sourceKey, const KeySpans* spans = nullptr);

namespace reference {
void Blit(const PixelView& dest, const PixelView& source, const BltParams& params);
}  // namespace reference

}  // namespace ddraw::blit
