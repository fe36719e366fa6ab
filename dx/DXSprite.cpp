#include "dx/DXSprite.h"

#include <algorithm>
#include <cmath>

#include "dx/DXConsts.h"
#include "dx/DXDraws.h"
#include "dx/DXSpriteInternal.h"
#include "framework/ClassBuilder.h"

namespace dx {

FW_REGISTER(TSprite, nullptr)
FW_REGISTER(TSpriteEngine, nullptr)
FW_REGISTER(TCustomDXSpriteEngine, nullptr)
FW_REGISTER(TDXSpriteEngine, [](fw::TClassBuilder<TDXSpriteEngine>& b) {
  b.Component("DXDraw", &TDXSpriteEngine::DXDraw, &TDXSpriteEngine::SetDXDraw);
})

// Stored forms name the class; make it known before any of them is read.
[[maybe_unused]] static const fw::TClassInfo& kDXSpriteEngineClass = TDXSpriteEngine::StaticClass();

std::int32_t TruncPos(long double Value) {
  // Positions beyond a billion pixels are held there, so that edges computed from them stay
  // within 32 bits.
  constexpr long double kLimit = 1'000'000'000.0L;
  if (std::isnan(Value)) return 0;
  if (Value >= kLimit) return 1'000'000'000;
  if (Value <= -kLimit) return -1'000'000'000;
  // Every sprite edge goes through here several times a frame. Truncating an extended value
  // directly switches the x87 rounding mode twice, which costs more than drawing a small sprite;
  // so truncate the nearest double instead, and step back where rounding to double crossed a
  // whole number (2.99999999999999999 becomes 3.0 as a double).
  std::int32_t t = static_cast<std::int32_t>(static_cast<double>(Value));
  if (Value >= 0) {
    if (static_cast<long double>(t) > Value) --t;
  } else if (static_cast<long double>(t) < Value) {
    ++t;
  }
  return t;
}

// ---------------------------------------------------------------------------------------------
// The tree

TSprite::TSprite(TSprite* AParent) {
  parent_ = AParent;
  if (AParent) {
    AParent->Add(this);
    engine_ = AParent->is_engine_ ? static_cast<TSpriteEngine*>(AParent) : AParent->engine_;
    // A tree whose root is a plain sprite has no engine to count in.
    if (engine_) {
      ++engine_->sprite_count_;
      if (engine_->collisions_) engine_->collisions_->Invalidate();
    }
  }
  CollisionEnabled = true;
  MoveEnabled = true;
  Visible = true;
}

TSprite::~TSprite() {
  FreeChildren();
  if (engine_ && engine_->collisions_) engine_->collisions_->Forget(this);
  if (parent_) {
    if (engine_) {
      --engine_->sprite_count_;
      if (deaded_) {
        auto& list = engine_->dispose_list_;
        const auto it = std::find(list.rbegin(), list.rend(), this);
        if (it != list.rend()) list.erase(std::next(it).base());
      }
    }
    parent_->Remove(this);
  }
  lists_.reset();
}

void TSprite::Add(TSprite* Sprite) {
  if (!lists_) lists_ = std::make_unique<Lists>();
  lists_->Children.push_back(Sprite);
  InsertByZ(Sprite);
}

void TSprite::Remove(TSprite* Sprite) {
  if (!lists_) return;
  auto& children = lists_->Children;
  // Children mostly go last first (FreeChildren), so look from the end.
  const auto it = std::find(children.rbegin(), children.rend(), Sprite);
  if (it != children.rend()) children.erase(std::next(it).base());
  RemoveFromDrawOrder(Sprite);
  if (children.empty()) lists_.reset();
}

void TSprite::InsertByZ(TSprite* Sprite) {
  // Lower bound: the sprite goes before every sibling of equal depth, so among equals the one
  // placed last is drawn first, beneath the others.
  auto& order = lists_->DrawOrder;
  std::int32_t l = 0;
  std::int32_t h = static_cast<std::int32_t>(order.size()) - 1;
  while (l <= h) {
    const std::int32_t i = (l + h) / 2;
    if (order[static_cast<std::size_t>(i)]->z_ < Sprite->z_)
      l = i + 1;
    else
      h = i - 1;
  }
  order.insert(order.begin() + l, Sprite);
}

void TSprite::RemoveFromDrawOrder(TSprite* Sprite) {
  auto& order = lists_->DrawOrder;
  auto it = std::lower_bound(order.begin(), order.end(), Sprite->z_,
                             [](const TSprite* s, std::int32_t z) { return s->z_ < z; });
  for (; it != order.end() && (*it)->z_ == Sprite->z_; ++it) {
    if (*it == Sprite) {
      order.erase(it);
      return;
    }
  }
}

void TSprite::FreeChildren() {
  while (ChildCount() > 0) Child(ChildCount() - 1)->Free();
}

TSprite* TSprite::Child(std::int32_t Index) const {
  if (!lists_) throw ESpriteError(fw::Format(SListIndexError, Index));
  if (Index < 0 || Index >= ChildCount()) throw fw::EListError(fw::Format(fw::msg::ListIndexError, Index));
  return lists_->Children[static_cast<std::size_t>(Index)];
}

namespace {

// The sprite's own coordinate plus its parent's absolute one, and so on up to the root, in
// extended precision: the sum is formed from the root down, so a sprite's position does not
// depend on how the offsets above it happen to cancel. Ancestors are gathered a few at a time
// on the stack; a tree deeper than that recurses once per batch.
long double SumFromRoot(const TSprite* s, double (TSprite::*coord)() const) {
  constexpr int kBatch = 32;
  const TSprite* chain[kBatch];
  int n = 0;
  for (; s && n < kBatch; s = s->Parent()) chain[n++] = s;
  long double sum;
  if (s) {
    sum = SumFromRoot(s, coord);  // the rest of the way up
  } else {
    sum = (chain[--n]->*coord)();  // the root
  }
  while (n > 0) sum = static_cast<long double>((chain[--n]->*coord)()) + sum;
  return sum;
}

}  // namespace

long double TSprite::AbsX() const {
  // Most sprites hang straight from a root.
  if (!parent_) return x_;
  if (!parent_->parent_) return static_cast<long double>(x_) + static_cast<long double>(parent_->x_);
  return SumFromRoot(this, &TSprite::X);
}

long double TSprite::AbsY() const {
  if (!parent_) return y_;
  if (!parent_->parent_) return static_cast<long double>(y_) + static_cast<long double>(parent_->y_);
  return SumFromRoot(this, &TSprite::Y);
}

void TSprite::SetX(double Value) {
  if (Value == x_) return;
  x_ = Value;
  Moved();
}

void TSprite::SetY(double Value) {
  if (Value == y_) return;
  y_ = Value;
  Moved();
}

void TSprite::SetWidth(std::int32_t Value) {
  if (Value == width_) return;
  width_ = Value;
  Moved();
}

void TSprite::SetHeight(std::int32_t Value) {
  if (Value == height_) return;
  height_ = Value;
  Moved();
}

void TSprite::SetZ(std::int32_t Value) {
  if (Value == z_) return;
  if (parent_) parent_->RemoveFromDrawOrder(this);
  z_ = Value;
  if (parent_) {
    parent_->InsertByZ(this);
    // Drawing order has changed, and with it the order in which hits are reported.
    if (engine_ && engine_->collisions_) engine_->collisions_->Invalidate();
  }
}

void TSprite::BoundsChanged() { Moved(); }

void TSprite::Moved() {
  if (is_engine_) {
    // The whole scene moves with its root.
    auto* self = static_cast<TSpriteEngine*>(this);
    if (self->collisions_) self->collisions_->Invalidate();
  } else if (engine_ && engine_->collisions_) {
    engine_->collisions_->MarkMoved(this);
  }
}

void TSprite::Dead() {
  if (deaded_ || !engine_ || is_engine_) return;
  deaded_ = true;
  engine_->dispose_list_.push_back(this);
}

// ---------------------------------------------------------------------------------------------
// Moving and drawing

void TSprite::Advance(std::int32_t MoveCount) {
  if (!MoveEnabled) return;
  Step(MoveCount);
  const std::int32_t n = ChildCount();
  for (std::int32_t i = 0; i < n; ++i) Child(i)->Advance(MoveCount);
}

void TSprite::Paint() {
  if (!Visible) return;
  if (engine_) {
    if (RectsOverlap(engine_->view_rect_, GetBounds())) {
      Render();
      ++engine_->drawn_count_;
    }
  }
  // A parent comes before its children, and each subtree before the next sibling's.
  if (lists_) {
    for (std::size_t i = 0; lists_ && i < lists_->DrawOrder.size(); ++i) lists_->DrawOrder[i]->Paint();
  }
}

void TSprite::Collided(TSprite*, bool&) {}
void TSprite::Render() {}
void TSprite::Step(std::int32_t) {}
bool TSprite::Overlaps(TSprite*) { return true; }

fw::TRect TSprite::GetBounds() {
  const std::int32_t l = TruncPos(AbsX());
  const std::int32_t t = TruncPos(AbsY());
  return SpriteRect(l, t, width_, height_);
}

// ---------------------------------------------------------------------------------------------
// The engine

TSpriteEngine::TSpriteEngine(TSprite* AParent) : TSprite(AParent) { is_engine_ = true; }

TSpriteEngine::~TSpriteEngine() {
  // The sprites leave the dispose list and the index as they go.
  collisions_.reset();
  FreeChildren();
  dispose_list_.clear();
}

void TSpriteEngine::FreeDisposed() {
  while (!dispose_list_.empty()) dispose_list_.back()->Free();
}

void TSpriteEngine::Paint() {
  drawn_count_ = 0;
  TSprite::Paint();
}

void TSpriteEngine::AttachSurface(TDirectDrawSurface* S) {
  surface_ = S;
  if (S) {
    view_rect_ = S->ClientRect();
    width_ = view_rect_.right - view_rect_.left;
    height_ = view_rect_.bottom - view_rect_.top;
    // Wrapping sprites take their bounds from the view.
    if (collisions_) collisions_->Invalidate();
  }
}

// ---------------------------------------------------------------------------------------------
// The component

TCustomDXSpriteEngine::TCustomDXSpriteEngine(fw::TComponent* AOwner)
    : TComponent(AOwner), engine_(std::make_unique<TSpriteEngine>(nullptr)) {}

TCustomDXSpriteEngine::~TCustomDXSpriteEngine() {
  SetDXDraw(nullptr);
  engine_.reset();
}

void TCustomDXSpriteEngine::Advance(std::int32_t MoveCount) { engine_->Advance(MoveCount); }

void TCustomDXSpriteEngine::FreeDisposed() { engine_->FreeDisposed(); }

void TCustomDXSpriteEngine::Paint() {
  if (dxdraw_ && dxdraw_->Initialized()) engine_->Paint();
}

void TCustomDXSpriteEngine::SetDXDraw(TCustomDXDraw* Value) {
  if (dxdraw_) dxdraw_->RemoveNotifyHandler(&DXDrawNotifyEvent, this);
  dxdraw_ = Value;
  if (dxdraw_) dxdraw_->AddNotifyHandler(&DXDrawNotifyEvent, this);
}

void TCustomDXSpriteEngine::Notification(fw::TComponent* AComponent, fw::TOperation Operation) {
  inherited::Notification(AComponent, Operation);
  if (Operation == fw::opRemove && AComponent != nullptr && AComponent == dxdraw_) SetDXDraw(nullptr);
}

void TCustomDXSpriteEngine::DXDrawNotifyEvent(void* Object, TCustomDXDraw* Sender, TDXDrawNotifyType NotifyType) {
  auto* self = static_cast<TCustomDXSpriteEngine*>(Object);
  switch (NotifyType) {
    case dnDestroying:
      self->SetDXDraw(nullptr);
      break;
    case dnInitialize:
      self->engine_->AttachSurface(Sender->Surface());
      break;
    case dnFinalize:
      self->engine_->AttachSurface(nullptr);
      break;
    default:
      break;
  }
}

}  // namespace dx
