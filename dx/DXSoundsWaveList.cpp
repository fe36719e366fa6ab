// The wave list: named waves that fill sound buffers and play, overlapping themselves.
#include <algorithm>

#include "dx/DXConsts.h"
#include "dx/DXSounds.h"
#include "framework/ClassBuilder.h"
#include "framework/SysUtils.h"
#include "platform/kernel/Sleep.h"

namespace dx {

FW_REGISTER(TWaveCollectionItem, [](fw::TClassBuilder<TWaveCollectionItem>& b) {
  b.Boolean("Looped", &TWaveCollectionItem::Looped, &TWaveCollectionItem::SetLooped);
  b.Integer("MaxPlayingCount", &TWaveCollectionItem::MaxPlayingCount, &TWaveCollectionItem::SetMaxPlayingCount);
  b.Object("Wave", &TWaveCollectionItem::Wave);
})

FW_REGISTER(TWaveCollection, nullptr)
FW_REGISTER(TCustomDXWaveList, nullptr)

FW_REGISTER(TDXWaveList, [](fw::TClassBuilder<TDXWaveList>& b) {
  b.Component("DXSound", &TDXWaveList::DXSound, &TDXWaveList::SetDXSound);
  b.Object("Items", &TDXWaveList::Items);
})

// Stored forms name the class; make it known before any of them is read.
[[maybe_unused]] static const fw::TClassInfo& kDXWaveListClass = TDXWaveList::StaticClass();

namespace {

// The main buffer of an item whose wave is empty is never made; using it is using a buffer
// without a platform buffer.
TDirectSoundBuffer& Made(TDirectSoundBuffer* Buffer) {
  if (!Buffer) throw EDirectSoundBufferError(fw::Format(SNotMade, std::string("IDirectSoundBuffer")));
  return *Buffer;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TWaveCollectionItem

TWaveCollectionItem::TWaveCollectionItem(fw::TCollection* Collection)
    : THashCollectionItem(Collection), wave_(std::make_unique<TWave>()) {}

TWaveCollectionItem::~TWaveCollectionItem() { Finalize(); }

TWaveCollection* TWaveCollectionItem::WaveCollection() const { return dynamic_cast<TWaveCollection*>(Collection()); }

TCustomDXSound* TWaveCollectionItem::Sound() const {
  TWaveCollection* c = WaveCollection();
  return c ? c->DXSound() : nullptr;
}

void TWaveCollectionItem::Assign(fw::TPersistent* Source) {
  auto* other = dynamic_cast<TWaveCollectionItem*>(Source);
  if (!other) {
    THashCollectionItem::Assign(Source);
    return;
  }
  if (other == this) return;
  const bool was = initialized_;
  Finalize();
  looped_ = other->looped_;
  SetName(other->Name());
  max_playing_count_ = other->max_playing_count_;
  frequency_ = other->frequency_;
  pan_ = other->pan_;
  volume_ = other->volume_;
  wave_->Assign(other->wave_.get());
  if (was) Restore();
}

void TWaveCollectionItem::Initialize() {
  Finalize();
  TWaveCollection* c = WaveCollection();
  initialized_ = c && c->Initialized();
}

void TWaveCollectionItem::Finalize() {
  if (!initialized_) return;
  initialized_ = false;
  duplicates_.clear();
  main_buffer_.reset();
}

void TWaveCollectionItem::Restore() {
  if (wave_->Size() == 0) return;
  if (!initialized_) {
    TWaveCollection* c = WaveCollection();
    if (c && c->Initialized()) Initialize();
    if (!initialized_) return;
  }
  if (!main_buffer_) main_buffer_ = std::make_unique<TDirectSoundBuffer>(Sound()->DirectSound());
  main_buffer_->LoadFromWave(wave_.get());
  main_buffer_->SetFrequency(frequency_);
  main_buffer_->SetPan(pan_);
  main_buffer_->SetVolume(volume_);
  // Copies that went with the device are made again from the refilled buffer; left alone they
  // would stay lost, and the wave silent, for good. Copies that still play are not touched.
  for (auto& d : duplicates_) {
    if (!d->IDSBuffer() || (d->Status() & dsound::DSBSTATUS_BUFFERLOST)) d->Assign(main_buffer_.get());
  }
}

TDirectSoundBuffer* TWaveCollectionItem::MainBuffer() {
  if (initialized_ && !main_buffer_) Restore();
  return main_buffer_.get();
}

std::unique_ptr<TDirectSoundBuffer> TWaveCollectionItem::CreateBuffer() {
  TDirectSoundBuffer* main = MainBuffer();
  if (!main) return nullptr;
  auto copy = std::make_unique<TDirectSoundBuffer>(Sound()->DirectSound());
  copy->Assign(main);
  // A copy DirectSound would not make (its original lost) plays nothing; it is not kept.
  if (!copy->IDSBuffer()) return nullptr;
  return copy;
}

void TWaveCollectionItem::Stop() {
  if (!initialized_) return;
  Made(main_buffer_.get()).Stop();
  for (auto& d : duplicates_) d->Stop();
}

void TWaveCollectionItem::SetLooped(bool Value) {
  if (looped_ == Value) return;
  Stop();
  looped_ = Value;
}

void TWaveCollectionItem::SetMaxPlayingCount(std::int32_t Value) {
  if (Value < 0) Value = 0;
  if (Value == max_playing_count_) return;
  max_playing_count_ = Value;
  if (initialized_) duplicates_.clear();
}

void TWaveCollectionItem::Play(bool Wait) {
  if (!initialized_) return;
  if (looped_) {
    TDirectSoundBuffer& main = Made(MainBuffer());
    main.Stop();
    main.SetPosition(0);
    main.Play(true);
    return;
  }
  TDirectSoundBuffer* chosen = nullptr;
  for (auto& d : duplicates_) {
    if (!d->Playing()) {
      chosen = d.get();
      break;
    }
  }
  if (!chosen) {
    if (max_playing_count_ == 0 || max_playing_count_ > DuplicateCount()) {
      auto copy = CreateBuffer();
      if (!copy) return;
      chosen = copy.get();
      duplicates_.push_back(std::move(copy));
    } else {
      // All copies sound: the oldest starts again, and is now the newest.
      std::rotate(duplicates_.begin(), duplicates_.begin() + 1, duplicates_.end());
      chosen = duplicates_.back().get();
    }
  }
  chosen->Stop();
  chosen->SetPosition(0);
  chosen->SetFrequency(frequency_);
  chosen->SetPan(pan_);
  chosen->SetVolume(volume_);
  chosen->Play(false);
  if (Wait) {
    while (chosen->Playing()) kernel::Sleep(10);
  }
}

// ---------------------------------------------------------------------------------------------
// TWaveCollection

TWaveCollection::TWaveCollection(TCustomDXWaveList* AOwner)
    : THashCollection(TWaveCollectionItem::StaticClass()), owner_(AOwner) {
  PropName = "Items";
}

fw::TPersistent* TWaveCollection::GetOwner() { return owner_; }

TWaveCollectionItem* TWaveCollection::Items(int Index) const {
  return static_cast<TWaveCollectionItem*>(THashCollection::Items(Index));
}

TWaveCollectionItem* TWaveCollection::Lookup(const std::string& Name) const {
  const int i = IndexOfName(Name);
  if (i < 0) throw EWaveCollectionError(fw::Format(SWaveNotFound, Name));
  return Items(i);
}

void TWaveCollection::Initialize(TCustomDXSound* DXSound) {
  Finalize();
  dxsound_ = DXSound;
  for (int i = 0; i < Count(); ++i) Items(i)->Initialize();
}

void TWaveCollection::Finalize() {
  for (int i = 0; i < Count(); ++i) Items(i)->Finalize();
  dxsound_ = nullptr;
}

void TWaveCollection::Restore() {
  for (int i = 0; i < Count(); ++i) Items(i)->Restore();
}

bool TWaveCollection::Initialized() const { return dxsound_ && dxsound_->Initialized(); }

// ---------------------------------------------------------------------------------------------
// TCustomDXWaveList

TCustomDXWaveList::TCustomDXWaveList(fw::TComponent* AOwner)
    : TComponent(AOwner), items_(std::make_unique<TWaveCollection>(this)) {}

TCustomDXWaveList::~TCustomDXWaveList() {
  SetDXSound(nullptr);
  items_.reset();
}

void TCustomDXWaveList::SetDXSound(TCustomDXSound* Value) {
  if (dxsound_) {
    dxsound_->UnregisterNotifyEvent(&DXSoundNotifyEvent, this);
    if (dxsound_ != Value) dxsound_->RemoveFreeNotification(this);
  }
  dxsound_ = Value;
  if (dxsound_) {
    dxsound_->FreeNotification(this);
    dxsound_->RegisterNotifyEvent(&DXSoundNotifyEvent, this);
  }
}

void TCustomDXWaveList::Notification(fw::TComponent* AComponent, fw::TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == fw::opRemove && AComponent == dxsound_) SetDXSound(nullptr);
}

void TCustomDXWaveList::DXSoundNotifyEvent(void* Object, TCustomDXSound* Sender, TSoundNotifyType NotifyType) {
  auto* self = static_cast<TCustomDXWaveList*>(Object);
  switch (NotifyType) {
    case sntDestroying:
      self->SetDXSound(nullptr);
      break;
    case sntInitializing:
      break;
    case sntInitialize:
      self->items_->Initialize(Sender);
      break;
    case sntFinalize:
      self->items_->Finalize();
      break;
    case sntRestore:
      self->items_->Restore();
      break;
  }
}

}  // namespace dx
