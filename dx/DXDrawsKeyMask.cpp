// A surface's key mask: made through a read-only lock the first time a hit test asks, and again
// only when the surface's uniqueness value or its source key says the pixels may have changed.
#include <algorithm>

#include "dx/DXDraws.h"
#include "dx/DXKeyMaskInternal.h"
#include "platform/pixels/Pixels.h"

namespace dx {

using namespace ddraw;

namespace {

template <int Bits>
void MaskRows(const pixels::PixelView& v, std::uint32_t key, TSurfaceKeyMask& m) {
  // A 32-bit pixel's top byte is not colour.
  constexpr std::uint32_t mask = Bits == 32 ? 0xFFFFFFu : pixels::ValueMask(Bits);
  key &= mask;
  for (std::int32_t y = 0; y < m.Height; ++y) {
    const std::uint8_t* row = v.Row(y);
    std::uint64_t* out = m.Words.data() + static_cast<std::size_t>(y) * m.Stride;
    for (std::int32_t x0 = 0; x0 < m.Width; x0 += 64) {
      const std::int32_t n = std::min(64, m.Width - x0);
      std::uint64_t word = 0;
      for (std::int32_t i = 0; i < n; ++i)
        word |= std::uint64_t{(pixels::Pixel<Bits>::Load(row, x0 + i) & mask) != key} << i;
      out[x0 / 64] = word;
    }
  }
}

// 64 bits of a mask row from column X on; bits past the row's end read as zero.
inline std::uint64_t BitsAt(const std::uint64_t* Row, std::int32_t X) {
  const std::uint64_t* w = Row + (X >> 6);
  const unsigned s = static_cast<unsigned>(X) & 63u;
  // Two shifts, so that s = 0 takes nothing from the next word.
  return (w[0] >> s) | ((w[1] << 1) << (63u - s));
}

}  // namespace

bool KeyMasksMeet(const TSurfaceKeyMask& A, std::int32_t AX, std::int32_t AY, const TSurfaceKeyMask& B,
                  std::int32_t BX, std::int32_t BY, std::int32_t W, std::int32_t H) {
  for (std::int32_t y = 0; y < H; ++y) {
    const std::uint64_t* ra = A.Row(AY + y);
    const std::uint64_t* rb = B.Row(BY + y);
    std::int32_t x = 0;
    for (; x + 64 <= W; x += 64)
      if (BitsAt(ra, AX + x) & BitsAt(rb, BX + x)) return true;
    if (x < W) {
      const std::uint64_t last = ~std::uint64_t{0} >> (64 - (W - x));
      if (BitsAt(ra, AX + x) & BitsAt(rb, BX + x) & last) return true;
    }
  }
  return false;
}

const TSurfaceKeyMask* TDirectDrawSurface::KeyMask() {
  // A surface that cannot be read now hits nothing: lost, locked through this wrapper, or
  // drawn on through the canvas.
  if (!isurface_ || lock_count_ > 0 || (canvas_ && canvas_->dc_) || isurface_->IsLost() != DD_OK) return nullptr;
  win::DWORD uniqueness = 0;
  bool hasUniqueness = false;
  if (isurface7_)
    hasUniqueness = isurface7_->GetUniquenessValue(&uniqueness) == DD_OK;
  else if (isurface4_)
    hasUniqueness = isurface4_->GetUniquenessValue(&uniqueness) == DD_OK;
  DDCOLORKEY key{};
  const win::HRESULT keyResult = isurface_->GetColorKey(DDCKEY_SRCBLT, &key);
  const std::uint32_t keyLow = keyResult == DD_OK ? key.dwColorSpaceLowValue : 0;
  TSurfaceKeyMask* m = key_mask_.get();
  if (m && hasUniqueness && m->HasUniqueness && m->Uniqueness == uniqueness && m->KeyResult == keyResult &&
      m->KeyLow == keyLow)
    return m;

  // Without a uniqueness value nothing says the pixels stayed the same: read them every time.
  DDSURFACEDESC d;
  d.dwSize = sizeof(DDSURFACEDESC);
  if (isurface_->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return nullptr;
  if (!m) {
    key_mask_ = std::make_unique<TSurfaceKeyMask>();
    m = key_mask_.get();
  }
  m->Width = static_cast<std::int32_t>(d.dwWidth);
  m->Height = static_cast<std::int32_t>(d.dwHeight);
  m->BitCount = d.ddpfPixelFormat.dwRGBBitCount;
  m->Stride = (static_cast<std::size_t>(m->Width) + 63) / 64 + 1;
  m->Words.assign(m->Stride * static_cast<std::size_t>(m->Height), 0);
  const pixels::PixelView v{static_cast<std::uint8_t*>(d.lpSurface), d.lPitch, m->Width, m->Height, m->BitCount};
  const std::uint32_t lockKey = d.ddckCKSrcBlt.dwColorSpaceLowValue;
  m->Comparable = true;
  switch (m->BitCount) {
    case 8: MaskRows<8>(v, lockKey, *m); break;
    case 16: MaskRows<16>(v, lockKey, *m); break;
    case 24: MaskRows<24>(v, lockKey, *m); break;
    case 32: MaskRows<32>(v, lockKey, *m); break;
    default: m->Comparable = false; break;
  }
  isurface_->Unlock(d.lpSurface);
  m->HasUniqueness = hasUniqueness;
  m->Uniqueness = uniqueness;
  m->KeyResult = keyResult;
  m->KeyLow = keyLow;
  return m;
}

}  // namespace dx
