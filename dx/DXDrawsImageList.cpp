#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>

#include "dx/DIB.h"
#include "dx/DXConsts.h"
#include "dx/DXDraws.h"
#include "framework/ClassBuilder.h"
#include "framework/SysUtils.h"
#include "platform/gdi/Gdi.h"

namespace dx {

// ---------------------------------------------------------------------------------------------
// Patterns

FW_REGISTER(TPictureCollectionItemPattern, nullptr)

// ---------------------------------------------------------------------------------------------
// Items

FW_REGISTER(TPictureCollectionItem, [](fw::TClassBuilder<TPictureCollectionItem>& b) {
  using T = TPictureCollectionItem;
  b.Integer("PatternHeight", &T::PatternHeight, &T::SetPatternHeight);
  b.Integer("PatternWidth", &T::PatternWidth, &T::SetPatternWidth);
  b.Object("Picture", &T::Picture);
  b.Integer("SkipHeight", &T::SkipHeight, &T::SetSkipHeight).WithDefault(0);
  b.Integer("SkipWidth", &T::SkipWidth, &T::SetSkipWidth).WithDefault(0);
  b.Boolean("SystemMemory", &T::SystemMemory, &T::SetSystemMemory);
  b.Boolean("Transparent", &T::Transparent, &T::SetTransparent);
  b.Color("TransparentColor", &T::TransparentColor, &T::SetTransparentColor);
})

TPictureCollectionItem::TPictureCollectionItem(fw::TCollection* Collection)
    : THashCollectionItem(Collection),
      picture_(std::make_unique<fw::TPicture>()),
      patterns_(std::make_unique<fw::TCollection>(TPictureCollectionItemPattern::StaticClass())) {}

TPictureCollectionItem::~TPictureCollectionItem() { Detach(); }

TPictureCollection* TPictureCollectionItem::PictureCollection() const {
  return dynamic_cast<TPictureCollection*>(Collection());
}

void TPictureCollectionItem::Assign(fw::TPersistent* Source) {
  auto* source = dynamic_cast<TPictureCollectionItem*>(Source);
  if (!source) {
    THashCollectionItem::Assign(Source);
    return;
  }
  if (source == this) return;
  const bool was_ready = ready_;
  Detach();
  pattern_height_ = source->pattern_height_;
  pattern_width_ = source->pattern_width_;
  skip_height_ = source->skip_height_;
  skip_width_ = source->skip_width_;
  system_memory_ = source->system_memory_;
  transparent_ = source->transparent_;
  transparent_color_ = source->transparent_color_;
  picture_->Assign(source->picture_.get());
  if (was_ready) Rebuild();
}

int TPictureCollectionItem::CellWidth() const { return pattern_width_ > 0 ? pattern_width_ : picture_->Width(); }

int TPictureCollectionItem::CellHeight() const {
  return pattern_height_ > 0 ? pattern_height_ : picture_->Height();
}

fw::TRect TPictureCollectionItem::PatternRect(int Index) const {
  if (Index < 0 || Index >= patterns_->Count()) return fw::TRect{0, 0, 0, 0};
  return static_cast<TPictureCollectionItemPattern*>(patterns_->Items(Index))->Rect;
}

TDirectDrawSurface* TPictureCollectionItem::PatternSurface(int Index) const {
  if (Index < 0 || Index >= patterns_->Count()) return nullptr;
  return static_cast<TPictureCollectionItemPattern*>(patterns_->Items(Index))->Surface;
}

const TPictureCollectionItemPattern* TPictureCollectionItem::Pattern(int Index) const {
  if (Index < 0 || Index >= patterns_->Count()) return nullptr;
  return static_cast<const TPictureCollectionItemPattern*>(patterns_->Items(Index));
}

void TPictureCollectionItem::DrawPattern(TDirectDrawSurface* Dest, int X, int Y, int Index) {
  if (!ready_ || !Dest || Index < 0 || Index >= patterns_->Count()) return;
  const auto* pattern = static_cast<TPictureCollectionItemPattern*>(patterns_->Items(Index));
  Dest->Draw(X, Y, pattern->Rect, pattern->Surface, transparent_);
}

void TPictureCollectionItem::ClearSurfaces() {
  // Patterns point into the surfaces: they go first.
  patterns_->Clear();
  surfaces_.clear();
}

void TPictureCollectionItem::Detach() {
  if (!ready_) return;
  ready_ = false;
  ClearSurfaces();
}

void TPictureCollectionItem::Attach() {
  Detach();
  TPictureCollection* collection = PictureCollection();
  ready_ = collection && collection->IsReady();
}

TDirectDrawSurface* TPictureCollectionItem::MakeSurface(const fw::TRect& R) {
  surfaces_.push_back(std::make_unique<TDirectDrawSurface>(PictureCollection()->Display()->DDraw()));
  TDirectDrawSurface* surface = surfaces_.back().get();
  surface->SetSystemMemory(system_memory_);
  surface->LoadFromGraphicRect(picture_->Graphic(), 0, 0, R);
  surface->SetTransparentColor(surface->MatchColor(transparent_color_));
  return surface;
}

void TPictureCollectionItem::AddPattern(const fw::TRect& R, TDirectDrawSurface* Surface) {
  auto* pattern = static_cast<TPictureCollectionItemPattern*>(patterns_->Add());
  pattern->Rect = R;
  pattern->Surface = Surface;
}

void TPictureCollectionItem::Rebuild() {
  // An empty graphic has nothing to cut and could not give a surface its size.
  if (!picture_->Graphic() || picture_->Graphic()->Empty()) return;
  if (!ready_) {
    TPictureCollection* collection = PictureCollection();
    if (collection && collection->IsReady()) Attach();
    if (!ready_) return;
  }
  ClearSurfaces();

  // 64-bit steps: sizes and gaps come from stored forms and may be anything.
  const std::int64_t W = picture_->Width(), H = picture_->Height();
  const std::int64_t CW = CellWidth(), CH = CellHeight();
  const std::int64_t StepX = CW + skip_width_, StepY = CH + skip_height_;

  if (CW == W && CH == H) {
    const fw::TRect whole{0, 0, static_cast<int>(W), static_cast<int>(H)};
    AddPattern(whole, MakeSurface(whole));
    return;
  }
  // Gaps that eat a whole cell or more leave nothing to step through.
  const std::int64_t Cols = StepX > 0 ? (W + skip_width_) / StepX : 0;
  const std::int64_t Rows = StepY > 0 ? (H + skip_height_) / StepY : 0;
  auto pattern_rect = [&](std::int64_t x, std::int64_t y) {
    return fw::TRect{static_cast<int>(x), static_cast<int>(y), static_cast<int>(x + CW), static_cast<int>(y + CH)};
  };

  if (system_memory_) {
    TDirectDrawSurface* surface = MakeSurface(fw::TRect{0, 0, static_cast<int>(W), static_cast<int>(H)});
    for (std::int64_t row = 0; row < Rows; ++row)
      for (std::int64_t col = 0; col < Cols; ++col) AddPattern(pattern_rect(col * StepX, row * StepY), surface);
    return;
  }

  // Video memory: blocks of about 512 pixels a side, each a whole number of steps.
  if (Cols <= 0 || Rows <= 0) return;
  const std::int64_t BlockW = std::min(StepX * ((StepX + 511) / StepX), StepX * Cols);
  const std::int64_t BlockH = std::min(StepY * ((StepY + 511) / StepY), StepY * Rows);
  if (BlockW <= 0 || BlockH <= 0) return;
  const std::int64_t BlocksX = (W + BlockW - 1) / BlockW, BlocksY = (H + BlockH - 1) / BlockH;
  for (std::int64_t by = 0; by < BlocksY; ++by) {
    for (std::int64_t bx = 0; bx < BlocksX; ++bx) {
      std::int64_t w = std::min(BlockW, std::max<std::int64_t>(W - BlockW * bx, 0));
      std::int64_t h = std::min(BlockH, std::max<std::int64_t>(H - BlockH * by, 0));
      if (w == 0) w = BlockW;
      if (h == 0) h = BlockH;
      const auto x = BlockW * bx, y = BlockH * by;
      MakeSurface(fw::TRect{static_cast<int>(x), static_cast<int>(y), static_cast<int>(x + w), static_cast<int>(y + h)});
    }
  }
  for (std::int64_t row = 0; row < Rows; ++row) {
    for (std::int64_t col = 0; col < Cols; ++col) {
      const std::int64_t PX = col * StepX, PY = row * StepY;
      const std::int64_t index = PX / BlockW + BlocksX * (PY / BlockH);
      AddPattern(pattern_rect(PX % BlockW, PY % BlockH), surfaces_.at(static_cast<std::size_t>(index)).get());
    }
  }
}

void TPictureCollectionItem::SetTransparentColor(fw::TColor Value) {
  if (Value == transparent_color_) return;
  transparent_color_ = Value;
  for (const auto& surface : surfaces_) {
    try {
      surface->SetTransparentColor(surface->MatchColor(Value));
    } catch (const std::exception&) {
      // A surface that cannot be keyed now keeps its old key; the next rebuild keys it anew.
    }
  }
}

// ---------------------------------------------------------------------------------------------
// The collection

FW_REGISTER(TPictureCollection, nullptr)

TPictureCollection::TPictureCollection(fw::TPersistent* AOwner)
    : THashCollection(TPictureCollectionItem::StaticClass()), owner_(AOwner) {
  PropName = "Items";
}

TPictureCollection::~TPictureCollection() {
  // Items drop their surfaces while the display's DirectDraw object is still there.
  Detach();
  Clear();
}

TPictureCollectionItem* TPictureCollection::Lookup(const std::string& Name) const {
  const int index = IndexOfName(Name);
  if (index < 0) throw EPictureCollectionError(fw::Format(SImageNotFound, Name));
  return Items(index);
}

bool TPictureCollection::IsReady() const { return display_ && display_->Initialized(); }

void TPictureCollection::Attach(TCustomDXDraw* ADisplay) {
  Detach();
  display_ = ADisplay;
  if (!IsReady()) throw EPictureCollectionError(fw::Format(SCannotInitialized, ClassName()));
  for (int i = 0; i < Count(); ++i) Items(i)->Attach();
}

void TPictureCollection::Detach() {
  try {
    for (int i = 0; i < Count(); ++i) Items(i)->Detach();
  } catch (...) {
    display_ = nullptr;
    throw;
  }
  display_ = nullptr;
}

void TPictureCollection::Rebuild() {
  for (int i = 0; i < Count(); ++i) Items(i)->Rebuild();
}

namespace {

// The table being built: which entries are taken, and the lowest free one for the next colour.
struct ColorTableBuilder {
  TRGBQuads& Table;
  bool Used[256] = {};
  int Count = 0;

  void Fix(int Index, std::uint8_t R, std::uint8_t G, std::uint8_t B) {
    Table[static_cast<std::size_t>(Index)] = win::RGBQUAD{B, G, R, 0};
    if (!Used[Index]) ++Count;
    Used[Index] = true;
  }
  void Add(const win::RGBQUAD& c) {
    int free_index = -1;
    for (int i = 0; i < 256; ++i) {
      if (Used[i]) {
        if (std::memcmp(&Table[static_cast<std::size_t>(i)], &c, sizeof c) == 0) return;
      } else if (free_index < 0) {
        free_index = i;
      }
    }
    if (free_index < 0) return;
    Table[static_cast<std::size_t>(free_index)] = c;
    Used[free_index] = true;
    ++Count;
  }
};

}  // namespace

void TPictureCollection::BuildColorTable() {
  ColorTable.fill(win::RGBQUAD{0, 0, 0, 0});
  ColorTableBuilder b{ColorTable};
  b.Fix(0, 0, 0, 0);
  b.Fix(1, 128, 0, 0);
  b.Fix(2, 0, 128, 0);
  b.Fix(3, 128, 128, 0);
  b.Fix(4, 0, 0, 128);
  b.Fix(5, 128, 0, 128);
  b.Fix(6, 0, 128, 128);
  b.Fix(7, 192, 192, 192);
  b.Fix(248, 128, 128, 128);
  b.Fix(249, 255, 0, 0);
  b.Fix(250, 0, 255, 0);
  b.Fix(251, 255, 255, 0);
  b.Fix(252, 0, 0, 255);
  b.Fix(253, 255, 0, 255);
  b.Fix(254, 0, 255, 255);
  b.Fix(255, 255, 255, 255);

  for (int i = 0; i < Count() && b.Count < 256; ++i) {
    fw::TGraphic* graphic = Items(i)->Picture()->Graphic();
    if (!graphic) continue;
    if (auto* dib = dynamic_cast<TDIB*>(graphic)) {
      // The whole table, also the entries past the picture's own colours.
      if (dib->BitCount() <= 8)
        for (const win::RGBQUAD& c : dib->ColorTable()) b.Add(c);
    } else if (win::HPALETTE palette = graphic->GetPalette()) {
      win::PALETTEENTRY entries[256];
      const win::UINT n = std::min<win::UINT>(gdi::GetPaletteEntries(palette, 0, 256, entries), 256);
      for (win::UINT k = 0; k < n; ++k) b.Add(fw::PaletteEntryToQuad(entries[k]));
    }
  }
}

void TPictureCollection::DefineProperties(fw::TFiler& Filer) {
  THashCollection::DefineProperties(Filer);
  Filer.DefineBinaryProperty(
      "ColorTable", [this](fw::TStream& s) { ReadColorTable(s); }, [this](fw::TStream& s) { WriteColorTable(s); },
      true);
}

void TPictureCollection::ReadColorTable(fw::TStream& Stream) {
  TRGBQuads table;
  Stream.ReadBuffer(table.data(), sizeof table);
  // A table of another size belongs to something else: the one we have stays.
  if (Stream.Position() != Stream.Size()) throw fw::EReadError(fw::msg::InvalidPropertyValue);
  ColorTable = table;
}

void TPictureCollection::WriteColorTable(fw::TStream& Stream) { Stream.WriteBuffer(ColorTable.data(), sizeof ColorTable); }

// ---------------------------------------------------------------------------------------------
// The component

FW_REGISTER(TCustomDXImageList, nullptr)
FW_REGISTER(TDXImageList, [](fw::TClassBuilder<TDXImageList>& b) {
  b.Component("DXDraw", &TDXImageList::DXDraw, &TDXImageList::SetDXDraw);
  b.Object("Items", &TDXImageList::Items);
})

TCustomDXImageList::TCustomDXImageList(fw::TComponent* AOwner)
    : TComponent(AOwner), items_(std::make_unique<TPictureCollection>(this)) {}

TCustomDXImageList::~TCustomDXImageList() {
  SetDXDraw(nullptr);
  items_.reset();
}

void TCustomDXImageList::SetDXDraw(TCustomDXDraw* Value) {
  if (dxdraw_) {
    TCustomDXDraw* old = dxdraw_;
    old->RemoveNotifyHandler(&DXDrawNotifyEvent, this);
    old->RemoveFreeNotification(this);
  }
  dxdraw_ = Value;
  if (dxdraw_) {
    dxdraw_->FreeNotification(this);
    dxdraw_->AddNotifyHandler(&DXDrawNotifyEvent, this);
  }
}

void TCustomDXImageList::Notification(fw::TComponent* AComponent, fw::TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == fw::opRemove && AComponent != nullptr && AComponent == dxdraw_) SetDXDraw(nullptr);
}

void TCustomDXImageList::DXDrawNotifyEvent(void* Object, TCustomDXDraw* Sender, TDXDrawNotifyType NotifyType) {
  auto* self = static_cast<TCustomDXImageList*>(Object);
  switch (NotifyType) {
    case dnDestroying:
      self->SetDXDraw(nullptr);
      break;
    case dnInitialize:
      self->items_->Attach(Sender);
      break;
    case dnFinalize:
      self->items_->Detach();
      break;
    case dnRestore:
      self->items_->Rebuild();
      break;
    default:
      break;
  }
}

}  // namespace dx
