// The display-mode request of a display: the list of the driver's modes and the choice among
// them.
#include <algorithm>
#include <limits>
#include <memory>

#include "dx/DXConsts.h"
#include "dx/DXDraws.h"
#include "dx/DXDrawsDisplay.h"
#include "framework/ClassBuilder.h"
#include "framework/SysUtils.h"

namespace dx {

FW_REGISTER(TDXDrawDisplayMode, nullptr)
FW_REGISTER(TDXDrawDisplay, [](fw::TClassBuilder<TDXDrawDisplay>& b) {
  b.Integer("BitCount", &TDXDrawDisplay::BitCount, &TDXDrawDisplay::SetBitCount).WithDefault(8);
  b.Boolean("FixedBitCount", &TDXDrawDisplay::FixedBitCount, &TDXDrawDisplay::SetFixedBitCount).WithDefault(true);
  b.Boolean("FixedRatio", &TDXDrawDisplay::FixedRatio, &TDXDrawDisplay::SetFixedRatio).WithDefault(true);
  b.Boolean("FixedSize", &TDXDrawDisplay::FixedSize, &TDXDrawDisplay::SetFixedSize).WithDefault(false);
  b.Integer("Height", &TDXDrawDisplay::Height, &TDXDrawDisplay::SetHeight).WithDefault(480);
  b.Integer("Width", &TDXDrawDisplay::Width, &TDXDrawDisplay::SetWidth).WithDefault(640);
})

TDXDrawDisplay::TDXDrawDisplay(TCustomDXDraw* ADXDraw)
    : dxdraw_(ADXDraw), modes_(std::make_unique<fw::TCollection>(TDXDrawDisplayMode::StaticClass())) {}

TDXDrawDisplay::~TDXDrawDisplay() = default;

void TDXDrawDisplay::Assign(fw::TPersistent* Source) {
  if (Source == this) return;
  if (auto* other = dynamic_cast<TDXDrawDisplay*>(Source)) {
    bit_count_ = other->bit_count_;
    height_ = other->height_;
    width_ = other->width_;
    fixed_bit_count_ = other->fixed_bit_count_;
    fixed_ratio_ = other->fixed_ratio_;
    fixed_size_ = other->fixed_size_;
    return;
  }
  fw::TPersistent::Assign(Source);
}

void TDXDrawDisplay::SetWidth(int Value) { width_ = std::max(Value, 0); }
void TDXDrawDisplay::SetHeight(int Value) { height_ = std::max(Value, 0); }

void TDXDrawDisplay::SetBitCount(int Value) {
  if (Value != 8 && Value != 16 && Value != 24 && Value != 32) throw EDirectDrawError(SInvalidDisplayBitCount);
  bit_count_ = Value;
}

void TDXDrawDisplay::ClearModes() { modes_->Clear(); }

TDirectDraw* TDXDrawDisplay::DirectDraw() const { return dxdraw_ ? dxdraw_->DDraw() : nullptr; }
win::GUID* TDXDrawDisplay::DriverGuid() const { return dxdraw_ ? dxdraw_->DriverGuid() : nullptr; }

namespace {

struct ModeList {
  std::vector<ddraw::DDSURFACEDESC> Descs;
};

ddraw::HRESULT CollectMode(ddraw::DDSURFACEDESC* desc, void* context) {
  static_cast<ModeList*>(context)->Descs.push_back(*desc);
  return static_cast<ddraw::HRESULT>(ddraw::DDENUMRET_OK);
}

int CompareModes(const ddraw::DDSURFACEDESC& a, const ddraw::DDSURFACEDESC& b) {
  if (a.dwWidth != b.dwWidth) return static_cast<int>(a.dwWidth) - static_cast<int>(b.dwWidth);
  if (a.dwHeight != b.dwHeight) return static_cast<int>(a.dwHeight) - static_cast<int>(b.dwHeight);
  return static_cast<int>(a.ddpfPixelFormat.dwRGBBitCount) - static_cast<int>(b.ddpfPixelFormat.dwRGBBitCount);
}

}  // namespace

void TDXDrawDisplay::LoadDisplayModes() {
  modes_->Clear();
  ModeList list;
  TDirectDraw* dd = DirectDraw();
  if (dd) {
    dd->SetLastResult(dd->IDraw()->EnumDisplayModes(0, nullptr, &list, &CollectMode));
  } else {
    // Nobody has the driver open: look through a DirectDraw object of our own, freed again at once.
    auto temp = std::make_unique<TDirectDraw>(DriverGuid(), true);
    temp->SetLastResult(temp->IDraw()->EnumDisplayModes(0, nullptr, &list, &CollectMode));
  }
  std::stable_sort(list.Descs.begin(), list.Descs.end(),
                   [](const auto& a, const auto& b) { return CompareModes(a, b) < 0; });
  for (const auto& d : list.Descs) static_cast<TDXDrawDisplayMode*>(modes_->Add())->surface_desc_ = d;
}

int TDXDrawDisplay::Count() {
  if (modes_->Count() == 0) LoadDisplayModes();
  return modes_->Count();
}

TDXDrawDisplayMode* TDXDrawDisplay::Modes(int Index) {
  if (modes_->Count() == 0) LoadDisplayModes();
  return static_cast<TDXDrawDisplayMode*>(modes_->Items(Index));
}

int TDXDrawDisplay::IndexOf(int AWidth, int AHeight, int ABitCount) {
  for (int i = 0; i < Count(); ++i) {
    const TDXDrawDisplayMode* m = Modes(i);
    if (m->Width() == AWidth && m->Height() == AHeight && m->BitCount() == ABitCount) return i;
  }
  return -1;
}

bool TDXDrawDisplay::TrySetMode(int AWidth, int AHeight, int ABitCount) {
  TDirectDraw* dd = DirectDraw();
  if (!dd) return false;
  dd->SetLastResult(dd->IDraw()->SetDisplayMode(static_cast<win::DWORD>(AWidth), static_cast<win::DWORD>(AHeight),
                                                static_cast<win::DWORD>(ABitCount)));
  if (dd->LastResult() != ddraw::DD_OK) return false;
  width_ = AWidth;
  height_ = AHeight;
  bit_count_ = ABitCount;
  return true;
}

bool TDXDrawDisplay::Search(int w, int h, int bpp, bool WithRatio) {
  bool found = false;
  int bestW = std::numeric_limits<int>::max(), bestH = std::numeric_limits<int>::max(), bestBpp = bpp;
  const long double ratio = static_cast<long double>(w) / static_cast<long double>(h);
  for (int i = 0; i < Count(); ++i) {
    const TDXDrawDisplayMode* m = Modes(i);
    if (m->Width() > bestW || m->Height() > bestH) continue;
    if (WithRatio && m->Height() != 0 &&
        ratio != static_cast<long double>(m->Width()) / static_cast<long double>(m->Height()))
      continue;
    if (WithRatio && m->Height() == 0) continue;
    if (fixed_size_) {
      if (m->Width() != w || m->Height() != h) continue;
    } else if (m->Width() < w || m->Height() < h) {
      continue;
    }
    if (fixed_bit_count_) {
      if (m->BitCount() != bpp) continue;
    } else if (!(m->BitCount() > 8 && bpp > 8) && m->BitCount() < bpp) {
      continue;
    }
    bestW = m->Width();
    bestH = m->Height();
    bestBpp = m->BitCount();
    found = true;
  }
  if (!found) return false;
  if (bestBpp != bpp && IndexOf(bestW, bestH, bpp) != -1) bestBpp = bpp;
  return TrySetMode(bestW, bestH, bestBpp);
}

bool TDXDrawDisplay::ChooseMode(int AWidth, int AHeight, int ABitCount) {
  if (AWidth <= 0 || AHeight <= 0) return false;
  if (ABitCount != 8 && ABitCount != 16 && ABitCount != 24 && ABitCount != 32) return false;
  if (TrySetMode(AWidth, AHeight, ABitCount)) return true;
  if (fixed_ratio_ && Search(AWidth, AHeight, ABitCount, true)) return true;
  return Search(AWidth, AHeight, ABitCount, false);
}

}  // namespace dx
