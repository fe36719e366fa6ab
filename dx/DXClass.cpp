#include "dx/DXClass.h"

#include <memory>
#include <utility>
#include <vector>

#include "dx/DXConsts.h"
#include "framework/ClassBuilder.h"
#include "framework/SysUtils.h"

namespace dx {

// ---------------------------------------------------------------------------------------------
// Library loader

namespace {

struct LoadedLibrary {
  std::string Name;  // lower case
  win::HMODULE Handle;
};

// The libraries loaded so far, in the order they were first asked for.
class TLibraryCache {
 public:
  TLibraryCache() = default;
  TLibraryCache(const TLibraryCache&) = delete;
  TLibraryCache& operator=(const TLibraryCache&) = delete;
  ~TLibraryCache() { FreeAll(); }

  win::HMODULE Find(const std::string& name) const {
    for (const LoadedLibrary& l : list_)
      if (l.Name == name) return l.Handle;
    return nullptr;
  }
  void Add(std::string name, win::HMODULE handle) { list_.push_back({std::move(name), handle}); }
  void FreeAll() {
    for (const LoadedLibrary& l : list_) kernel::FreeLibrary(l.Handle);
    list_.clear();
  }

 private:
  std::vector<LoadedLibrary> list_;
};

// Made on first use; its destruction at program end frees the libraries.
std::unique_ptr<TLibraryCache>& LibraryCache() {
  static std::unique_ptr<TLibraryCache> cache;
  return cache;
}

}  // namespace

kernel::FARPROC LoadProc(const std::string& FileName, const std::string& ProcName) {
  auto& cache = LibraryCache();
  if (!cache) cache = std::make_unique<TLibraryCache>();
  const std::string key = fw::AnsiLowerCase(FileName);
  win::HMODULE handle = cache->Find(key);
  if (!handle) {
    handle = kernel::LoadLibraryA(fw::Utf8ToCp1251(FileName).c_str());
    if (!handle) throw fw::Exception(fw::Format(SDLLNotLoaded, FileName));
    cache->Add(key, handle);
  }
  kernel::FARPROC proc = kernel::GetProcAddress(handle, fw::Utf8ToCp1251(ProcName).c_str());
  if (!proc) throw fw::Exception(fw::Format(SDLLNotLoaded, FileName));
  return proc;
}

void FreeLoadedLibraries() {
  auto& cache = LibraryCache();
  if (!cache) return;
  cache->FreeAll();
  cache.reset();
}

// ---------------------------------------------------------------------------------------------
// TDirectX

FW_REGISTER(TDirectX, nullptr)

void TDirectX::SetLastResult(win::HRESULT Value) {
  last_result_ = Value;
  if (Value != 0) Check();
}

// ---------------------------------------------------------------------------------------------
// THashCollectionItem

FW_REGISTER(THashCollectionItem, [](fw::TClassBuilder<THashCollectionItem>& b) {
  b.String("Name", &THashCollectionItem::Name, &THashCollectionItem::SetName);
})

THashCollectionItem::THashCollectionItem(fw::TCollection* Collection) : TCollectionItem(Collection) {
  // The framework has already appended the item; only now is it whole enough to be linked.
  index_ = inherited::Index();
  Link();
}

THashCollectionItem::~THashCollectionItem() {
  LowerFollowingIndices();
  Unlink();
}

namespace {

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

unsigned char AsciiLower(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b - 'A' + 'a') : b;
}

// Names are looked up every time a component asks for a picture or a wave, so plain ASCII
// names, by far the most common, are folded in place instead of through the code page.
bool SameName(std::string_view a, std::string_view b) {
  if (IsAscii(a) && IsAscii(b)) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
      if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
  }
  return fw::AnsiSameText(a, b);
}

}  // namespace

int THashCollectionItem::NameHash(std::string_view Name) {
  // The hash is formed over the ANSI (code page 1251) bytes of the lower-cased name, so that a
  // Cyrillic letter counts as one character.
  std::string ansi;
  std::string_view s = Name;
  const bool ascii = IsAscii(Name);
  if (!ascii) {
    ansi = fw::Utf8ToCp1251(fw::AnsiLowerCase(Name));
    s = ansi;
  }
  const std::size_t len = s.size();
  std::size_t h = len * 16;
  if (len >= 2) {
    h += ascii ? AsciiLower(s[len - 2]) + AsciiLower(s[0])
               : static_cast<unsigned char>(s[len - 2]) + static_cast<unsigned char>(s[0]);
  }
  return static_cast<int>(h % 256);
}

void THashCollectionItem::SetName(const std::string& Value) {
  if (Value == name_) return;
  name_ = Value;
  Unlink();
  Link();
}

void THashCollectionItem::SetIndex(int Value) {
  if (Value == index_) return;
  // The framework refuses a position outside the collection before anything has changed.
  inherited::SetIndex(Value);
  // Every item between the old and the new place has shifted too.
  if (auto* h = dynamic_cast<THashCollection*>(Collection()))
    h->Reindex();
  else
    index_ = inherited::Index();
}

void THashCollectionItem::SetCollection(fw::TCollection* Value) {
  if (Value == Collection()) return;
  if (Collection()) {
    LowerFollowingIndices();
    Unlink();
  }
  inherited::SetCollection(Value);
  index_ = inherited::Index();
  Link();
}

void THashCollectionItem::Assign(fw::TPersistent* Source) {
  if (auto* src = dynamic_cast<THashCollectionItem*>(Source))
    SetName(src->Name());
  else
    inherited::Assign(Source);
}

std::string THashCollectionItem::GetDisplayName() const {
  return name_.empty() ? inherited::GetDisplayName() : name_;
}

void THashCollectionItem::Link() {
  bucket_ = NameHash(name_);
  hash_ = dynamic_cast<THashCollection*>(Collection());
  if (!hash_) return;
  THashCollectionItem*& head = hash_->heads_[static_cast<std::size_t>(bucket_)];
  if (head) {
    head->prev_ = this;
    next_ = head;
  }
  head = this;
}

void THashCollectionItem::Unlink() {
  if (prev_) {
    prev_->next_ = next_;
    if (next_) next_->prev_ = prev_;
  } else if (hash_ && bucket_ >= 0 && hash_->heads_[static_cast<std::size_t>(bucket_)] == this) {
    // Only the head itself may move the bucket's head: an item that was never linked must not
    // cut the chain of its bucket.
    hash_->heads_[static_cast<std::size_t>(bucket_)] = next_;
    if (next_) next_->prev_ = nullptr;
  }
  prev_ = nullptr;
  next_ = nullptr;
  hash_ = nullptr;
}

void THashCollectionItem::LowerFollowingIndices() {
  fw::TCollection* c = Collection();
  if (!c) return;
  const int pos = inherited::Index();
  if (pos < 0) return;
  for (int i = pos + 1; i < c->Count(); ++i)
    if (auto* item = dynamic_cast<THashCollectionItem*>(c->Items(i))) --item->index_;
}

// ---------------------------------------------------------------------------------------------
// THashCollection

FW_REGISTER(THashCollection, nullptr)

THashCollection::THashCollection(const fw::TClassInfo& ItemClass) : TCollection(ItemClass) {}

THashCollection::~THashCollection() {
  // The items unlink themselves from the buckets as they go, so they must go while the buckets
  // are still here.
  BeginUpdate();
  while (Count() > 0) Delete(Count() - 1);
}

int THashCollection::IndexOfName(const std::string& Name) const {
  for (const THashCollectionItem* item = heads_[static_cast<std::size_t>(THashCollectionItem::NameHash(Name))];
       item; item = item->next_)
    if (SameName(item->name_, Name)) return item->index_;
  return -1;
}

void THashCollection::Reindex() {
  for (int i = 0; i < Count(); ++i)
    if (auto* item = dynamic_cast<THashCollectionItem*>(Items(i))) item->index_ = i;
}

}  // namespace dx
