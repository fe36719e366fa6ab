#pragma once
// What the components of this layer share: the cached library loader, the base of the DirectX
// wrappers, the name-hashed collection, and small integer and rectangle helpers.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "framework/Classes.h"
#include "framework/Types.h"
#include "platform/kernel/Library.h"
#include "platform/win/WinTypes.h"

namespace dx {

// ---------------------------------------------------------------------------------------------
// Library loader

// The address of entry ProcName of library FileName. Each library is loaded once for the whole
// process (names compare without regard to case) and stays loaded until program end. A missing
// library or entry raises fw::Exception "%s not loaded" with the library name.
kernel::FARPROC LoadProc(const std::string& FileName, const std::string& ProcName);

// Frees every library the loader has loaded, in the order they were first loaded, and forgets
// them. Runs by itself at program end.
void FreeLoadedLibraries();

// ---------------------------------------------------------------------------------------------
// DirectX wrappers

// Base of every object that wraps a DirectX interface. Each call's result is recorded in
// LastResult; a failure also goes to Check, where a wrapper can react to it.
class TDirectX : public fw::TPersistent {
  FW_CLASS(TDirectX, fw::TPersistent)
 public:
  win::HRESULT LastResult() const { return last_result_; }
  void SetLastResult(win::HRESULT Value);

 protected:
  // Called for every non-zero result recorded.
  virtual void Check() {}

 private:
  win::HRESULT last_result_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Collections whose items are found by name

class THashCollection;

class THashCollectionItem : public fw::TCollectionItem {
  FW_CLASS(THashCollectionItem, fw::TCollectionItem)
 public:
  explicit THashCollectionItem(fw::TCollection* Collection);
  ~THashCollectionItem() override;

  // The bucket of a name: its length and two of its characters, in lower case, as ANSI bytes.
  static int NameHash(std::string_view Name);

  const std::string& Name() const { return name_; }
  void SetName(const std::string& Value);

  void SetIndex(int Value) override;
  void SetCollection(fw::TCollection* Value) override;
  void Assign(fw::TPersistent* Source) override;
  std::string GetDisplayName() const override;

 private:
  friend class THashCollection;
  void Link();
  void Unlink();
  // Every item behind this one moves up a place.
  void LowerFollowingIndices();

  std::string name_;
  int index_ = -1;
  int bucket_ = -1;
  THashCollectionItem* prev_ = nullptr;
  THashCollectionItem* next_ = nullptr;
  THashCollection* hash_ = nullptr;  // the collection whose bucket holds this item
};

class THashCollection : public fw::TCollection {
  FW_CLASS(THashCollection, fw::TCollection)
 public:
  explicit THashCollection(const fw::TClassInfo& ItemClass);
  ~THashCollection() override;

  // The position of the item called Name (without regard to case); -1 when there is none. Of
  // two items with the same name the one named last is found.
  int IndexOfName(const std::string& Name) const;

 private:
  friend class THashCollectionItem;
  // Renumbers every item's cached position from the collection's order.
  void Reindex();

  std::array<THashCollectionItem*, 256> heads_{};
};

// ---------------------------------------------------------------------------------------------
// Integers and rectangles

constexpr std::int32_t Max(std::int32_t a, std::int32_t b) { return a > b ? a : b; }
constexpr std::int32_t Min(std::int32_t a, std::int32_t b) { return a < b ? a : b; }

// Strict: rectangles that only touch do not overlap.
constexpr bool RectsOverlap(const fw::TRect& r1, const fw::TRect& r2) {
  return r1.left < r2.right && r2.left < r1.right && r1.top < r2.bottom && r2.top < r1.bottom;
}

}  // namespace dx
