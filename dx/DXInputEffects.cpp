// Force-feedback effects: the tree of named effects every input device carries, its platform
// effects on a capable joystick, and its stored form.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "dx/DXConsts.h"
#include "dx/DXInput.h"
#include "framework/ClassBuilder.h"
#include "framework/Streaming.h"

namespace dx {

using namespace dinput;

FW_REGISTER(TForceFeedbackEffect, nullptr)
FW_REGISTER(TForceFeedbackEffects, nullptr)

FW_REGISTER(TForceFeedbackEffectItem, [](fw::TClassBuilder<TForceFeedbackEffectItem>& b) {
  using I = TForceFeedbackEffectItem;
  b.String("Name", &I::Name, &I::Name);
  b.Enum("EffectType", {"etNone", "etConstantForce", "etPeriodic", "etCondition"}, &I::EffectType,
         [](I& i, TForceFeedbackEffectType v) {
           if (static_cast<int>(v) < 0 || static_cast<int>(v) > static_cast<int>(etCondition))
             throw fw::EReadError(fw::msg::InvalidPropertyValue);
           i.EffectType = v;
         });
  b.Integer("AttackLevel", &I::AttackLevel, &I::AttackLevel).WithDefault(0);
  b.Integer("AttackTime", &I::AttackTime, &I::AttackTime).WithDefault(0);
  b.Integer("ConditionX", &I::ConditionX, &I::ConditionX).WithDefault(0);
  b.Integer("ConditionY", &I::ConditionY, &I::ConditionY).WithDefault(0);
  b.Integer("ConstantX", &I::ConstantX, &I::ConstantX).WithDefault(0);
  b.Integer("ConstantY", &I::ConstantY, &I::ConstantY).WithDefault(0);
  b.Integer("FadeLevel", &I::FadeLevel, &I::FadeLevel).WithDefault(0);
  b.Integer("FadeTime", &I::FadeTime, &I::FadeTime).WithDefault(0);
  b.Integer("Period", &I::Period, &I::Period);
  b.Integer("Power", &I::Power, &I::Power);
  b.Integer("Time", &I::Time, &I::Time);
  b.Integer("StartDelayTime", &I::StartDelayTime, &I::StartDelayTime);
  b.Object("Effects", &I::Effects).StoredIf([](const fw::TPersistent& p) {
    return static_cast<const I&>(p).Effects()->Count() > 0;
  });
})

FW_REGISTER(TForceFeedbackEffectComponent, [](fw::TClassBuilder<TForceFeedbackEffectComponent>& b) {
  b.Object("Effects", &TForceFeedbackEffectComponent::Effects);
})

namespace {

// Microseconds of a time in milliseconds. Longer than the record can say is as long as it can
// say; "endless" is a value of its own.
win::DWORD Microseconds(int Milliseconds) {
  const auto us = static_cast<std::uint64_t>(std::max(Milliseconds, 0)) * 1000;
  return static_cast<win::DWORD>(std::min<std::uint64_t>(us, INFINITE - 1));
}

bool Lost(win::HRESULT hr) { return hr == DIERR_INPUTLOST || hr == DIERR_NOTACQUIRED; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Effect objects

void TForceFeedbackEffectObject::Release() {
  if (Effect) std::exchange(Effect, nullptr)->Release();
}

// ---------------------------------------------------------------------------------------------
// Nodes

TForceFeedbackEffect::TForceFeedbackEffect(TForceFeedbackEffect* AParent)
    : root_(AParent ? AParent->root_ : nullptr),  // the root sets itself
      parent_(AParent),
      object_(std::make_unique<TForceFeedbackEffectObject>()),
      object2_(std::make_unique<TForceFeedbackEffectObject>()) {
  if (parent_) parent_->children_.emplace_back(this);
  else name_ = "Effects";
}

TForceFeedbackEffect::~TForceFeedbackEffect() {
  Clear();
  object_.reset();
  object2_.reset();
  if (parent_) {
    auto& list = parent_->children_;
    for (auto it = list.begin(); it != list.end(); ++it)
      if (it->get() == this) {
        (void)it->release();  // being destroyed already
        list.erase(it);
        break;
      }
  }
}

TForceFeedbackEffect* TForceFeedbackEffect::Add() { return new TForceFeedbackEffect(this); }

void TForceFeedbackEffect::Clear() {
  while (!children_.empty()) {
    std::unique_ptr<TForceFeedbackEffect> last = std::move(children_.back());
    children_.pop_back();
  }
}

TForceFeedbackEffect* TForceFeedbackEffect::Effects(int Index) const {
  if (Index < 0 || Index >= Count()) throw fw::EListError(fw::Format(fw::msg::ListIndexError, Index));
  return children_[static_cast<std::size_t>(Index)].get();
}

TForceFeedbackEffect* TForceFeedbackEffect::Lookup(const std::string& Name) {
  auto child = [](TForceFeedbackEffect* node, std::string_view name) -> TForceFeedbackEffect* {
    for (const auto& c : node->children_)
      if (c->name_ == name) return c.get();
    return nullptr;
  };
  TForceFeedbackEffect* current = this;
  std::string_view rest = Name;
  for (std::size_t dot; (dot = rest.find('.')) != std::string_view::npos;) {
    if (TForceFeedbackEffect* whole = child(current, rest)) return whole;
    TForceFeedbackEffect* next = child(current, rest.substr(0, dot));
    if (!next) throw EForceFeedbackEffectError(fw::Format(SEffectNotFound, Name));
    current = next;
    rest = rest.substr(dot + 1);
  }
  if (TForceFeedbackEffect* found = child(current, rest)) return found;
  throw EForceFeedbackEffectError(fw::Format(SEffectNotFound, Name));
}

void TForceFeedbackEffect::Assign(fw::TPersistent* Source) {
  auto* source = dynamic_cast<TForceFeedbackEffect*>(Source);
  if (!source) {
    inherited::Assign(Source);
    return;
  }
  if (source == this) return;
  // A node below this one would go with the children cleared below: copy it aside first.
  for (TForceFeedbackEffect* p = source->parent_; p; p = p->parent_)
    if (p == this) {
      TForceFeedbackEffects copy(nullptr);
      copy.Assign(source);
      Assign(&copy);
      return;
    }
  Clear();
  SetEffectType(etNone);
  SetName(source->name_);
  SetAttackLevel(source->attack_level_);
  SetAttackTime(source->attack_time_);
  SetConstant(source->constant_);
  SetCondition(source->condition_);
  SetFadeLevel(source->fade_level_);
  SetFadeTime(source->fade_time_);
  SetPeriod(source->period_);
  SetPower(source->power_);
  SetTime(source->time_);
  SetStartDelayTime(source->start_delay_time_);
  SetEffectType(source->effect_type_);
  for (const auto& c : source->children_) Add()->Assign(c.get());
}

// --- setters

void TForceFeedbackEffect::SetAttackLevel(int Value) {
  Value = std::clamp(Value, 0, 10000);
  if (attack_level_ == Value) return;
  attack_level_ = Value;
  UpdateParameters();
}

void TForceFeedbackEffect::SetAttackTime(int Value) {
  Value = std::max(Value, 0);
  if (attack_time_ == Value) return;
  attack_time_ = Value;
  UpdateParameters();
}

void TForceFeedbackEffect::SetCondition(win::POINT Value) {
  Value = {std::clamp<win::LONG>(Value.x, -10000, 10000), std::clamp<win::LONG>(Value.y, -10000, 10000)};
  if (condition_ == Value) return;
  condition_ = Value;
  UpdateParameters();
}

void TForceFeedbackEffect::SetConstant(win::POINT Value) {
  Value = {std::clamp<win::LONG>(Value.x, -10000, 10000), std::clamp<win::LONG>(Value.y, -10000, 10000)};
  if (constant_ == Value) return;
  constant_ = Value;
  UpdateParameters();
}

void TForceFeedbackEffect::SetEffectType(TForceFeedbackEffectType Value) {
  if (effect_type_ == Value) return;
  effect_type_ = Value;
  Stop();
  Initialize();
}

void TForceFeedbackEffect::SetFadeLevel(int Value) {
  Value = std::clamp(Value, 0, 10000);
  if (fade_level_ == Value) return;
  fade_level_ = Value;
  UpdateParameters();
}

void TForceFeedbackEffect::SetFadeTime(int Value) {
  Value = std::max(Value, 0);
  if (fade_time_ == Value) return;
  fade_time_ = Value;
  UpdateParameters();
}

void TForceFeedbackEffect::SetPeriod(int Value) {
  Value = std::max(Value, 0);
  if (period_ == Value) return;
  period_ = Value;
  UpdateParameters();
}

void TForceFeedbackEffect::SetPower(int Value) {
  Value = std::clamp(Value, 0, 10000);
  if (power_ == Value) return;
  power_ = Value;
  UpdateParameters();
}

void TForceFeedbackEffect::SetTime(int Value) {
  if (Value < 0 && Value != -1) Value = 0;  // -1: endless
  if (time_ == Value) return;
  time_ = Value;
  Stop();
  UpdateParameters();
}

void TForceFeedbackEffect::SetStartDelayTime(int Value) {
  Value = std::max(Value, 0);
  if (start_delay_time_ == Value) return;
  start_delay_time_ = Value;
  Stop();
  UpdateParameters();
}

// --- platform effects

bool TForceFeedbackEffect::Created() const {
  return effect_type_ != etNone && (object_->Effect || object2_->Effect);
}

void TForceFeedbackEffect::FillRecords() {
  for (TForceFeedbackEffectObject* o : {object_.get(), object2_.get()}) {
    o->Eff = {};
    o->Axes = {};
    o->AxesCount = 0;
    o->Direction = {};
    o->Envelope = {};
    o->ConstantForce = {};
    o->Condition = {};
    o->Periodic = {};
  }
  const win::LONG dx = -constant_.x;
  const win::LONG dy = -constant_.y;
  const auto magnitude = static_cast<win::LONG>(
      std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy));

  auto common = [this](TForceFeedbackEffectObject& o, void* specific, win::DWORD size) {
    o.Eff.dwSize = sizeof(DIEFFECT);
    o.Eff.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    o.Eff.dwDuration = time_ == -1 ? INFINITE : Microseconds(time_);
    o.Eff.dwSamplePeriod = 0;
    o.Eff.dwGain = static_cast<win::DWORD>(power_);
    o.Eff.dwTriggerButton = INFINITE;
    o.Eff.dwTriggerRepeatInterval = 0;
    o.Eff.cAxes = o.AxesCount;
    o.Eff.rgdwAxes = o.Axes.data();
    o.Eff.rglDirection = o.Direction.data();
    o.Eff.lpEnvelope = &o.Envelope;
    o.Eff.cbTypeSpecificParams = size;
    o.Eff.lpvTypeSpecificParams = specific;
    o.Eff.dwStartDelay = 0;  // StartDelayTime is kept and stored, not sent
    o.Envelope.dwSize = sizeof(DIENVELOPE);
    o.Envelope.dwAttackLevel = static_cast<win::DWORD>(attack_level_);
    if (time_ < 0) {
      o.Envelope.dwAttackTime = Microseconds(attack_time_);
      o.Envelope.dwFadeLevel = 0;
      o.Envelope.dwFadeTime = 0;
    } else {
      o.Envelope.dwAttackTime = Microseconds(std::min(attack_time_, time_));
      o.Envelope.dwFadeLevel = static_cast<win::DWORD>(fade_level_);
      o.Envelope.dwFadeTime = Microseconds(std::min(fade_time_, time_));
    }
  };

  TForceFeedbackEffectObject& a = *object_;
  TForceFeedbackEffectObject& b = *object2_;
  switch (effect_type_) {
    case etConstantForce:
      a.Direction = {dx, dy};
      a.AxesCount = 2;
      a.Axes = {0, 4};
      a.ConstantForce.lMagnitude = magnitude;
      common(a, &a.ConstantForce, sizeof(DICONSTANTFORCE));
      break;
    case etPeriodic:
      a.Direction = {dx, dy};
      a.AxesCount = 2;
      a.Axes = {0, 4};
      a.Periodic = {static_cast<win::DWORD>(magnitude), 0, 0, Microseconds(period_)};
      common(a, &a.Periodic, sizeof(DIPERIODIC));
      break;
    case etCondition:
      a.AxesCount = 1;
      a.Axes = {0, 0};
      a.Condition = {constant_.x, condition_.x, -condition_.x, 0, 0, 0};
      common(a, &a.Condition, sizeof(DICONDITION));
      b.AxesCount = 1;
      b.Axes = {4, 0};
      b.Condition = {constant_.y, condition_.y, -condition_.y, 0, 0, 0};
      common(b, &b.Condition, sizeof(DICONDITION));
      break;
    case etNone:
      break;
  }
}

void TForceFeedbackEffect::UpdateParameters() {
  if (!Created()) return;
  FillRecords();
  const win::DWORD flags = DIEP_DURATION | DIEP_SAMPLEPERIOD | DIEP_GAIN | DIEP_TRIGGERBUTTON |
                           DIEP_TRIGGERREPEATINTERVAL | DIEP_DIRECTION | DIEP_ENVELOPE |
                           DIEP_TYPESPECIFICPARAMS | (playing_ ? DIEP_START : 0);
  for (TForceFeedbackEffectObject* o : {object_.get(), object2_.get()})
    if (o->Effect) o->Effect->SetParameters(&o->Eff, flags);
}

bool TForceFeedbackEffect::FindEffect(win::DWORD Type) {
  find_ = false;
  IDirectInputDevice2* device = root_->input_->Device2();
  device->EnumEffects(
      [](const DIEFFECTINFOA* info, void* ref) -> win::BOOL {
        auto* self = static_cast<TForceFeedbackEffect*>(ref);
        self->find_guid_ = info->guid;
        self->find_ = true;
        return DIENUM_STOP;
      },
      this, Type);
  return find_;
}

void TForceFeedbackEffect::CreateEffects() {
  IDirectInputDevice2* device = root_->input_->Device2();
  auto create = [device](const win::GUID& guid, TForceFeedbackEffectObject& o) {
    if (o.Eff.dwSize == 0) return;  // nothing to play on this one
    if (FAILED(device->CreateEffect(guid, &o.Eff, &o.Effect, nullptr))) o.Effect = nullptr;
  };
  switch (effect_type_) {
    case etConstantForce:
      create(GUID_ConstantForce, *object_);
      break;
    case etPeriodic:
      if (FindEffect(DIEFT_PERIODIC)) create(find_guid_, *object_);
      break;
    case etCondition:
      if (FindEffect(DIEFT_CONDITION)) create(find_guid_, *object_);
      if (FindEffect(DIEFT_CONDITION)) create(find_guid_, *object2_);
      break;
    case etNone:
      break;
  }
}

void TForceFeedbackEffect::Initialize() {
  object_->Release();
  object2_->Release();
  TCustomInput* input = root_->input_;
  if (!input || !input->Device2() || !input->ForceFeedbackDevice() || !input->ForceFeedback() ||
      effect_type_ == etNone)
    return;
  FillRecords();
  CreateEffects();
  if (playing_ && time_ == -1) Start();
}

void TForceFeedbackEffect::InitializeTree() {
  Initialize();
  for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->InitializeTree();
}

win::HRESULT TForceFeedbackEffect::StartObject(TForceFeedbackEffectObject& Object) {
  if (!Object.Effect) return DI_OK;
  win::HRESULT hr = Object.Effect->Start(1, 0);
  if (Lost(hr) && !root_->reacquiring_ && root_->input_) {
    root_->reacquiring_ = true;
    try {
      root_->input_->Acquire();
    } catch (...) {
      root_->reacquiring_ = false;
      throw;
    }
    root_->reacquiring_ = false;
    // Taking the device again may have made the node's effects anew.
    if (Object.Effect) hr = Object.Effect->Start(1, 0);
  }
  return hr;
}

void TForceFeedbackEffect::Start() {
  for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->Start();
  if (!Created()) Initialize();
  if (!Created()) return;
  StartObject(*object_);
  StartObject(*object2_);
  playing_ = true;
}

void TForceFeedbackEffect::Stop() {
  if (playing_) {
    playing_ = false;
    if (object_->Effect) object_->Effect->Stop();
    if (object2_->Effect) object2_->Effect->Stop();
  }
  for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->Stop();
}

bool TForceFeedbackEffect::Playing() {
  if (!playing_) return false;
  if (time_ == -1) return true;
  bool any = false;
  for (TForceFeedbackEffectObject* o : {object_.get(), object2_.get()}) {
    win::DWORD status = 0;
    if (o->Effect && o->Effect->GetEffectStatus(&status) == DI_OK && (status & DIEGES_PLAYING)) any = true;
  }
  if (!any) playing_ = false;
  return any;
}

void TForceFeedbackEffect::Finalize() {
  try {
    Stop();
    object_->Release();
    object2_->Release();
  } catch (...) {
    for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->Finalize();
    throw;
  }
  for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->Finalize();
}

void TForceFeedbackEffect::Acquire() {
  if (root_->playing_ && root_->time_ == -1) root_->Start();
  for (std::size_t i = 0; i < root_->children_.size(); ++i) root_->children_[i]->InitializeTree();
}

// ---------------------------------------------------------------------------------------------
// The root and its stored form

TForceFeedbackEffects::TForceFeedbackEffects(TCustomInput* Input)
    : TForceFeedbackEffect(nullptr), input_(Input),
      component_(fw::MakeOwned<TForceFeedbackEffectComponent>(nullptr)) {
  root_ = this;
}

TForceFeedbackEffects::~TForceFeedbackEffects() {
  // The nodes go before the device they may still hold effects of.
  Clear();
}

void TForceFeedbackEffects::DefineProperties(fw::TFiler& Filer) {
  inherited::DefineProperties(Filer);
  Filer.DefineBinaryProperty(
      "Effects", [this](fw::TStream& s) { ReadEffects(s); }, [this](fw::TStream& s) { WriteEffects(s); }, true);
}

void TForceFeedbackEffects::WriteEffects(fw::TStream& Stream) {
  component_->Reset();
  try {
    static_cast<TForceFeedbackEffectItem*>(component_->Effects()->Add())->CopyFrom(*this);
    fw::WriteComponentRes(Stream, "SprixForceFeedbackEffect", *component_);
  } catch (...) {
    component_->Reset();
    throw;
  }
  component_->Reset();
}

void TForceFeedbackEffects::ReadEffects(fw::TStream& Stream) {
  component_->Reset();
  try {
    // The whole stream is read before the tree changes, so that a stream that cannot be read
    // leaves the tree as it was.
    fw::ReadComponentRes(Stream, *component_);
    const auto* item = static_cast<const TForceFeedbackEffectItem*>(component_->Effects()->Items(0));
    Clear();
    item->CopyTo(*this);
  } catch (...) {
    component_->Reset();
    throw;
  }
  component_->Reset();
}

TForceFeedbackEffectItem::TForceFeedbackEffectItem(fw::TCollection* Collection)
    : TCollectionItem(Collection),
      effects_(std::make_unique<fw::TCollection>(TForceFeedbackEffectItem::StaticClass())) {}

TForceFeedbackEffectItem::~TForceFeedbackEffectItem() = default;

void TForceFeedbackEffectItem::CopyFrom(const TForceFeedbackEffect& Effect) {
  Name = Effect.Name();
  EffectType = Effect.EffectType();
  AttackLevel = Effect.AttackLevel();
  AttackTime = Effect.AttackTime();
  ConditionX = Effect.Condition().x;
  ConditionY = Effect.Condition().y;
  ConstantX = Effect.Constant().x;
  ConstantY = Effect.Constant().y;
  FadeLevel = Effect.FadeLevel();
  FadeTime = Effect.FadeTime();
  Period = Effect.Period();
  Power = Effect.Power();
  Time = Effect.Time();
  StartDelayTime = Effect.StartDelayTime();
  for (int i = 0; i < Effect.Count(); ++i)
    static_cast<TForceFeedbackEffectItem*>(effects_->Add())->CopyFrom(*Effect.Effects(i));
}

void TForceFeedbackEffectItem::CopyTo(TForceFeedbackEffect& Effect) const {
  Effect.SetEffectType(etNone);
  Effect.SetName(Name);
  Effect.SetAttackLevel(AttackLevel);
  Effect.SetAttackTime(AttackTime);
  Effect.SetFadeLevel(FadeLevel);
  Effect.SetFadeTime(FadeTime);
  Effect.SetCondition({ConditionX, ConditionY});
  Effect.SetConstant({ConstantX, ConstantY});
  Effect.SetPeriod(Period);
  Effect.SetPower(Power);
  Effect.SetTime(Time);
  Effect.SetStartDelayTime(StartDelayTime);
  Effect.SetEffectType(EffectType);
  for (int i = 0; i < effects_->Count(); ++i)
    static_cast<const TForceFeedbackEffectItem*>(effects_->Items(i))->CopyTo(*Effect.Add());
}

TForceFeedbackEffectComponent::TForceFeedbackEffectComponent(fw::TComponent* AOwner)
    : TComponent(AOwner) {
  Reset();
}

TForceFeedbackEffectComponent::~TForceFeedbackEffectComponent() = default;

void TForceFeedbackEffectComponent::Reset() {
  effects_ = std::make_unique<fw::TCollection>(TForceFeedbackEffectItem::StaticClass());
  // The name the stored trees carry. A stream read into this component may have renamed it or
  // set its tag, and both would be written with the next tree.
  SetName("_1");
  SetTag(0);
}

}  // namespace dx
