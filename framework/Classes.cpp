#include "framework/Classes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "framework/ClassBuilder.h"

namespace fw {

FW_REGISTER(TPersistent, nullptr)
FW_REGISTER(TComponent, [](TClassBuilder<TComponent>& b) {
  // The object header carries the name; a stored "Name" property is still read.
  b.String("Name", &TComponent::Name, &TComponent::SetName).StoredIf([](const TPersistent&) { return false; });
  b.Integer("Tag", &TComponent::Tag, &TComponent::SetTag).WithDefault(0);
})
FW_REGISTER(TCollectionItem, nullptr)
FW_REGISTER(TCollection, nullptr)
FW_REGISTER(TOwnedCollection, nullptr)
FW_REGISTER(TStream, nullptr)
FW_REGISTER(TMemoryStream, nullptr)
FW_REGISTER(TBytesStream, nullptr)
FW_REGISTER(TFiler, nullptr)

// ---------------------------------------------------------------------------------------------
// TPersistent

void TPersistent::Assign(TPersistent* Source) {
  if (Source) {
    Source->AssignTo(this);
    return;
  }
  AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest) { Dest->AssignError(this); }

void TPersistent::AssignError(TPersistent* Source) {
  const std::string from = Source ? Source->ClassName() : std::string("nil");
  throw EConvertError(Format(msg::AssignError, from, ClassName()));
}

std::string TPersistent::GetNamePath() { return ClassName(); }

void TPersistent::DefineProperties(TFiler&) {}

bool IsValidIdent(const std::string& Ident) {
  if (Ident.empty()) return false;
  auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!alpha(Ident[0])) return false;
  return std::all_of(Ident.begin(), Ident.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

// ---------------------------------------------------------------------------------------------
// TComponent

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

void TComponent::BeforeDestruction() {
  if (before_destruction_done_) return;
  before_destruction_done_ = true;
  Destroying();
  // Those that asked to be told, newest first; each one's answer removes it from the list.
  while (!free_notifies_.empty()) {
    TComponent* c = free_notifies_.back();
    free_notifies_.pop_back();
    auto& theirs = c->free_notifies_;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
    c->Notification(this, opRemove);
  }
  DestroyComponents();
}

void TComponent::Free() {
  BeforeDestruction();
  delete this;
}

TComponent::~TComponent() {
  BeforeDestruction();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::Destroying() { state_.Include(csDestroying); }

void TComponent::DestroyComponents() {
  // Each one leaves the list from its own destructor, telling the owner and the remaining
  // siblings, so that none of them keeps a link to it.
  while (!components_.empty()) {
    TComponent* c = components_.back();
    c->Free();
    if (!components_.empty() && components_.back() == c) Remove(c);
  }
}

TComponent* TComponent::Components(int Index) const {
  if (Index < 0 || Index >= ComponentCount()) throw EListError(Format(msg::ListIndexError, Index));
  return components_[static_cast<std::size_t>(Index)];
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  auto& list = owner_->components_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(const std::string& AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* c : components_)
    if (AnsiSameText(c->name_, AName)) return c;
  return nullptr;
}

void TComponent::ValidateRename(TComponent* AComponent, const std::string& CurName,
                                const std::string& NewName) {
  if (AComponent && !AnsiSameText(CurName, NewName) && FindComponent(NewName))
    throw EComponentError(Format(msg::DuplicateName, NewName));
}

void TComponent::SetName(const std::string& NewName) {
  if (name_ == NewName) return;
  if (!NewName.empty() && !IsValidIdent(NewName)) throw EComponentError(Format(msg::InvalidName, NewName));
  if (owner_)
    owner_->ValidateRename(this, name_, NewName);
  else
    ValidateRename(nullptr, name_, NewName);
  name_ = NewName;
}

void TComponent::Insert(TComponent* c) {
  components_.push_back(c);
  c->owner_ = this;
}

void TComponent::Remove(TComponent* c) {
  c->owner_ = nullptr;
  components_.erase(std::remove(components_.begin(), components_.end(), c), components_.end());
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (AComponent->owner_) AComponent->owner_->RemoveComponent(AComponent);
  if (!AComponent->name_.empty()) ValidateRename(AComponent, "", AComponent->name_);
  Insert(AComponent);
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  Notification(AComponent, opRemove);
  Remove(AComponent);
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  if (owner_ == nullptr || AComponent->owner_ != owner_) {
    if (std::find(free_notifies_.begin(), free_notifies_.end(), AComponent) == free_notifies_.end())
      free_notifies_.push_back(AComponent);
    auto& theirs = AComponent->free_notifies_;
    if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
  }
  state_.Include(csFreeNotification);
}

void TComponent::RemoveNotification(TComponent* c) {
  free_notifies_.erase(std::remove(free_notifies_.begin(), free_notifies_.end(), c), free_notifies_.end());
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent) return;
  RemoveNotification(AComponent);
  AComponent->RemoveNotification(this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent) RemoveFreeNotification(AComponent);
  // A copy: a notified component may remove itself or others.
  const std::vector<TComponent*> list = components_;
  for (TComponent* c : list)
    if (std::find(components_.begin(), components_.end(), c) != components_.end())
      c->Notification(AComponent, Operation);
}

void TComponent::Loaded() { state_.Exclude(csLoading); }

void TComponent::GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) {
  if (Root != this) return;
  for (TComponent* c : components_)
    if (!c->HasParent()) Proc(c);
}

// ---------------------------------------------------------------------------------------------
// Collections

TCollectionItem::TCollectionItem(TCollection* Collection) { SetCollection(Collection); }

TCollectionItem::~TCollectionItem() {
  if (collection_) collection_->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* Value) {
  if (collection_ == Value) return;
  if (collection_) collection_->RemoveItem(this);
  if (Value) Value->InsertItem(this);
}

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  auto& items = collection_->items_;
  auto it = std::find(items.begin(), items.end(), this);
  return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

void TCollectionItem::SetIndex(int Value) {
  if (collection_ && Value != Index()) collection_->MoveItem(this, Value);
}

std::string TCollectionItem::GetDisplayName() const { return ClassName(); }

TPersistent* TCollectionItem::GetOwner() { return collection_; }

std::string TCollectionItem::GetNamePath() {
  if (!collection_) return ClassName();
  return Format("%s[%d]", collection_->GetNamePath(), Index());
}

void TCollectionItem::Changed(bool AllItems) {
  if (collection_ && collection_->update_count_ == 0) collection_->Update(AllItems ? nullptr : this);
}

TCollection::TCollection(const TClassInfo& ItemClass) : item_class_(&ItemClass) {}

TCollection::~TCollection() {
  update_count_ = 1;  // no change notifications while the items go
  while (!items_.empty()) delete items_.back();
}

TCollectionItem* TCollection::Add() {
  if (!item_class_->CreateItem)
    throw EInvalidOperation(Format(msg::ClassNotFound, item_class_->Name));
  TCollectionItem* item = item_class_->CreateItem(this);
  return item;
}

TCollectionItem* TCollection::Insert(int Index) {
  TCollectionItem* item = Add();
  item->SetIndex(Index);
  return item;
}

void TCollection::Delete(int Index) {
  TCollectionItem* item = Items(Index);
  Notify(item, cnDeleting);
  delete item;
}

void TCollection::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  try {
    while (!items_.empty()) {
      TCollectionItem* item = items_.back();
      Notify(item, cnDeleting);
      delete item;
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

TCollectionItem* TCollection::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(Format(msg::ListIndexError, Index));
  return items_[static_cast<std::size_t>(Index)];
}

TCollectionItem* TCollection::FindItemID(int ID) const {
  for (TCollectionItem* i : items_)
    if (i->id_ == ID) return i;
  return nullptr;
}

void TCollection::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TCollection*>(Source);
  if (!src) {
    TPersistent::Assign(Source);
    return;
  }
  if (src == this) return;
  BeginUpdate();
  try {
    Clear();
    for (TCollectionItem* item : src->items_) Add()->Assign(item);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TCollection::BeginUpdate() { ++update_count_; }

void TCollection::EndUpdate() {
  if (update_count_ > 0 && --update_count_ == 0) Changed();
}

void TCollection::Changed() {
  if (update_count_ == 0) Update(nullptr);
}

std::string TCollection::GetNamePath() {
  TPersistent* owner = GetOwner();
  if (!owner || PropName.empty()) return ClassName();
  const std::string base = owner->GetNamePath();
  return base.empty() ? PropName : base + "." + PropName;
}

void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}
void TCollection::Update(TCollectionItem*) {}
void TCollection::SetItemName(TCollectionItem*) {}

void TCollection::InsertItem(TCollectionItem* Item) {
  items_.push_back(Item);
  Item->collection_ = this;
  Item->id_ = next_id_++;
  SetItemName(Item);
  Notify(Item, cnAdded);
  Changed();
}

void TCollection::RemoveItem(TCollectionItem* Item) {
  Notify(Item, cnExtracting);
  items_.erase(std::remove(items_.begin(), items_.end(), Item), items_.end());
  Item->collection_ = nullptr;
  Changed();
}

void TCollection::MoveItem(TCollectionItem* Item, int NewIndex) {
  if (NewIndex < 0 || NewIndex >= Count()) throw EListError(Format(msg::ListIndexError, NewIndex));
  auto it = std::find(items_.begin(), items_.end(), Item);
  if (it == items_.end()) return;
  items_.erase(it);
  items_.insert(items_.begin() + NewIndex, Item);
  Changed();
}

// ---------------------------------------------------------------------------------------------
// Streams

std::int64_t TStream::Size() {
  const std::int64_t pos = Seek(0, soCurrent);
  const std::int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(std::int64_t) {}

void TStream::ReadBuffer(void* Buffer, std::int64_t Count) {
  if (Count < 0 || (Count != 0 && Read(Buffer, Count) != Count)) throw EReadError(msg::ReadError);
}

void TStream::WriteBuffer(const void* Buffer, std::int64_t Count) {
  if (Count < 0 || (Count != 0 && Write(Buffer, Count) != Count)) throw EWriteError(msg::WriteError);
}

std::int64_t TStream::CopyFrom(TStream& Source, std::int64_t Count) {
  if (Count == 0) {
    Source.SetPosition(0);
    Count = Source.Size();
  }
  const std::int64_t total = Count;
  std::vector<char> buf(static_cast<std::size_t>(std::min<std::int64_t>(Count, 0xF000)) + 1);
  while (Count > 0) {
    const std::int64_t n = std::min<std::int64_t>(Count, static_cast<std::int64_t>(buf.size()));
    Source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    Count -= n;
  }
  return total;
}

TMemoryStream::~TMemoryStream() {
  if (owns_) {
    std::int64_t zero = 0;
    Realloc(zero);
  }
}

std::int64_t TMemoryStream::Read(void* Buffer, std::int64_t Count) {
  if (Count <= 0 || position_ < 0 || position_ >= size_) return 0;
  const std::int64_t n = std::min(Count, size_ - position_);
  std::memcpy(Buffer, static_cast<char*>(memory_) + position_, static_cast<std::size_t>(n));
  position_ += n;
  return n;
}

std::int64_t TMemoryStream::Write(const void* Buffer, std::int64_t Count) {
  if (Count <= 0 || position_ < 0) return 0;
  if (Count > std::numeric_limits<std::int64_t>::max() - position_) return 0;
  const std::int64_t end = position_ + Count;
  if (end > size_) {
    if (end > capacity_) {
      if (!owns_) return 0;
      SetCapacity(end);
    }
    // A write past the end (after a seek there) leaves zeros in the gap, not stale memory.
    if (position_ > size_) std::memset(static_cast<char*>(memory_) + size_, 0, static_cast<std::size_t>(position_ - size_));
    size_ = end;
  }
  std::memmove(static_cast<char*>(memory_) + position_, Buffer, static_cast<std::size_t>(Count));
  position_ = end;
  return Count;
}

std::int64_t TMemoryStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  switch (Origin) {
    case soBeginning: position_ = Offset; break;
    case soCurrent: position_ += Offset; break;
    case soEnd: position_ = size_ + Offset; break;
  }
  return position_;
}

void TMemoryStream::SetSize(std::int64_t NewSize) {
  if (NewSize < 0) throw EStreamError(msg::OutOfMemory);
  if (NewSize > capacity_) {
    if (!owns_) throw EStreamError(msg::OutOfMemory);
    SetCapacity(NewSize);
  }
  size_ = NewSize;
  if (position_ > NewSize) position_ = NewSize;
}

void TMemoryStream::SetCapacity(std::int64_t NewCapacity) {
  memory_ = Realloc(NewCapacity);
  capacity_ = NewCapacity;
}

void* TMemoryStream::Realloc(std::int64_t& NewCapacity) {
  // Grow in 8 KiB steps so that many small writes do not copy each time.
  constexpr std::int64_t kDelta = 0x2000;
  if (NewCapacity > 0 && NewCapacity != size_)
    NewCapacity = (NewCapacity + (kDelta - 1)) & ~(kDelta - 1);
  if (NewCapacity == capacity_) return memory_;
  if (NewCapacity == 0) {
    std::free(memory_);
    return nullptr;
  }
  void* p = std::realloc(memory_, static_cast<std::size_t>(NewCapacity));
  if (!p) throw EOutOfMemory(msg::OutOfMemory);
  return p;
}

void TMemoryStream::Clear() {
  if (owns_) SetCapacity(0);
  else memory_ = nullptr;
  owns_ = true;
  capacity_ = 0;
  size_ = 0;
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& Stream) {
  Stream.SetPosition(0);
  const std::int64_t n = Stream.Size();
  SetSize(n);
  if (n) Stream.ReadBuffer(memory_, n);
  position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& Stream) {
  if (size_) Stream.WriteBuffer(memory_, size_);
}

void TMemoryStream::SetPointer(void* Ptr, std::int64_t Size) {
  if (owns_ && memory_) {
    std::int64_t zero = 0;
    Realloc(zero);
  }
  owns_ = false;
  memory_ = Ptr;
  size_ = Size;
  capacity_ = Size;
  position_ = 0;
}

}  // namespace fw
