#pragma once
// Persistence core of the form framework: persistent objects, components with owners and
// notifications, collections, streams and the filer interface through which objects store
// their binary properties.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Sets.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"

// Declares the class information of a framework class. Put it first in the class body.
#define FW_CLASS(T, Base)                                                            \
 public:                                                                             \
  using inherited = Base;                                                            \
  static const ::fw::TClassInfo& StaticClass();                                      \
  const ::fw::TClassInfo& ClassType() const override { return T::StaticClass(); }    \
                                                                                     \
 private:

namespace fw {

class TFiler;
class TReader;
class TWriter;
class TStream;

class TPersistent : public TObject {
  FW_CLASS(TPersistent, TObject)
 public:
  // Copies Source's content into this object: Source->AssignTo(this) unless a subclass knows
  // the source; nothing can be assigned from null. Failure raises EConvertError
  // ("Cannot assign a %s to a %s").
  virtual void Assign(TPersistent* Source);
  // The owner in the sense of the stored form's name path (a collection's owner, say).
  virtual TPersistent* GetOwner() { return nullptr; }
  virtual std::string GetNamePath();
  // Declares properties that are stored by callbacks instead of being published.
  virtual void DefineProperties(TFiler& Filer);

 protected:
  virtual void AssignTo(TPersistent* Dest);
  [[noreturn]] void AssignError(TPersistent* Source);
};

enum class TOperation { opInsert, opRemove };
using enum TOperation;

enum class TComponentStateItem {
  csLoading, csReading, csWriting, csDestroying, csDesigning, csAncestor, csUpdating, csFixups,
  csFreeNotification, csInline, csDesignInstance
};
using enum TComponentStateItem;
using TComponentState = TSet<TComponentStateItem>;

class TComponent : public TPersistent {
  FW_CLASS(TComponent, TPersistent)
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  // Destroys the component while it is still whole: it is marked destroying, the components
  // that asked for free notification are told, and what it owns is destroyed (last created
  // first) before its own destructor runs. Owners destroy what they own this way.
  void Free();

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  // Raises EComponentError for an invalid identifier or a name its owner already has.
  virtual void SetName(const std::string& NewName);
  std::intptr_t Tag() const { return tag_; }
  void SetTag(std::intptr_t t) { tag_ = t; }

  TComponentState ComponentState() const { return state_; }
  // For the loader and the framework: the states while a component is read, written or designed.
  void SetComponentState(TComponentState s) { state_ = s; }
  void IncludeState(TComponentStateItem s) { state_.Include(s); }
  void ExcludeState(TComponentStateItem s) { state_.Exclude(s); }

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int Index) const;
  int ComponentIndex() const;
  // Name look-up among the owned components, without regard to case.
  TComponent* FindComponent(const std::string& AName) const;
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);
  void DestroyComponents();

  // Ask to be told (Notification with opRemove) when AComponent goes away; mutual.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  // Called when the loader has set every property and resolved every reference.
  virtual void Loaded();
  TPersistent* GetOwner() override { return owner_; }
  std::string GetNamePath() override { return name_; }

  // A component is told of components being inserted into or removed from its owner, and of
  // the removal of every component it asked free notification from. The default passes the
  // news on to the components it owns.
  virtual void Notification(TComponent* AComponent, TOperation Operation);

  // For stored forms: the children a component writes (the owned components, by default) and
  // how a child read from a stored form is attached (owner and, for controls, parent).
  virtual void GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root);
  virtual void SetChildOwner(TComponent*) {}
  virtual void SetParentComponent(TComponent*) {}
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual bool HasParent() const { return false; }

 protected:
  virtual void Destroying();
  virtual void ValidateRename(TComponent* AComponent, const std::string& CurName,
                              const std::string& NewName);

 private:
  void Insert(TComponent* c);
  void Remove(TComponent* c);
  void RemoveNotification(TComponent* c);
  void BeforeDestruction();

  TComponent* owner_ = nullptr;
  std::string name_;
  std::intptr_t tag_ = 0;
  TComponentState state_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> free_notifies_;
  bool before_destruction_done_ = false;
};

// Owning handle for a component without an owner: destroys it with Free.
struct TComponentDeleter {
  void operator()(TComponent* c) const {
    if (c) c->Free();
  }
};
template <class T>
using TOwned = std::unique_ptr<T, TComponentDeleter>;
template <class T, class... A>
TOwned<T> MakeOwned(A&&... args) {
  return TOwned<T>(new T(std::forward<A>(args)...));
}
// Creates a component owned by `owner`; the owner destroys it.
template <class T, class... A>
T* MakeComponent(TComponent* owner, A&&... args) {
  return new T(owner, std::forward<A>(args)...);
}

enum class TCollectionNotification { cnAdded, cnExtracting, cnDeleting };
using enum TCollectionNotification;

class TCollectionItem : public TPersistent {
  FW_CLASS(TCollectionItem, TPersistent)
 public:
  explicit TCollectionItem(TCollection* Collection);
  ~TCollectionItem() override;

  TCollection* Collection() const { return collection_; }
  // Moves the item to another collection (or out of every collection with null).
  virtual void SetCollection(TCollection* Value);
  int ID() const { return id_; }
  virtual int Index() const;
  // Moves the item to position Value; the others shift.
  virtual void SetIndex(int Value);
  virtual std::string GetDisplayName() const;
  std::string DisplayName() const { return GetDisplayName(); }
  TPersistent* GetOwner() override;
  std::string GetNamePath() override;

 protected:
  void Changed(bool AllItems);

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
};

class TCollection : public TPersistent {
  FW_CLASS(TCollection, TPersistent)
 public:
  // ItemClass must carry a CreateItem factory.
  explicit TCollection(const TClassInfo& ItemClass);
  ~TCollection() override;

  TCollectionItem* Add();
  TCollectionItem* Insert(int Index);
  void Delete(int Index);
  void Clear();
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError ("List index out of bounds (%d)").
  TCollectionItem* Items(int Index) const;
  TCollectionItem* FindItemID(int ID) const;
  const TClassInfo& ItemClass() const { return *item_class_; }
  // The framework's collection copy: clear, then one new item per source item, assigned from it.
  void Assign(TPersistent* Source) override;
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return update_count_; }
  TPersistent* GetOwner() override { return nullptr; }
  std::string GetNamePath() override;
  // The property name under which the owner stores this collection (for the name path).
  std::string PropName;

 protected:
  virtual void Notify(TCollectionItem* Item, TCollectionNotification Action);
  virtual void Update(TCollectionItem* Item);
  virtual void SetItemName(TCollectionItem* Item);
  void Changed();

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* Item);
  void RemoveItem(TCollectionItem* Item);
  void MoveItem(TCollectionItem* Item, int NewIndex);

  const TClassInfo* item_class_;
  std::vector<TCollectionItem*> items_;
  int next_id_ = 0;
  int update_count_ = 0;
};

// A collection whose stored-form name path goes through its owner.
class TOwnedCollection : public TCollection {
  FW_CLASS(TOwnedCollection, TCollection)
 public:
  TOwnedCollection(TPersistent* AOwner, const TClassInfo& ItemClass)
      : TCollection(ItemClass), owner_(AOwner) {}
  TPersistent* GetOwner() override { return owner_; }

 private:
  TPersistent* owner_;
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };
using enum TSeekOrigin;

class TStream : public TObject {
  FW_CLASS(TStream, TObject)
 public:
  // Transfers up to Count bytes; returns how many were transferred.
  virtual std::int64_t Read(void* Buffer, std::int64_t Count) = 0;
  virtual std::int64_t Write(const void* Buffer, std::int64_t Count) = 0;
  virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;

  std::int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(std::int64_t Pos) { Seek(Pos, soBeginning); }
  virtual std::int64_t Size();
  virtual void SetSize(std::int64_t NewSize);

  // All or nothing: a short transfer raises EReadError ("Stream read error") or EWriteError.
  void ReadBuffer(void* Buffer, std::int64_t Count);
  void WriteBuffer(const void* Buffer, std::int64_t Count);
  // Copies Count bytes from Source (all of Source from its start when Count is 0).
  std::int64_t CopyFrom(TStream& Source, std::int64_t Count);

  template <class T>
  T ReadValue() {
    static_assert(std::is_trivially_copyable_v<T>);
    T v;
    ReadBuffer(&v, sizeof v);
    return v;
  }
  template <class T>
  void WriteValue(const T& v) {
    static_assert(std::is_trivially_copyable_v<T>);
    WriteBuffer(&v, sizeof v);
  }
};

// A stream over memory it owns (or, after SetPointer, over memory it only reads and writes).
class TMemoryStream : public TStream {
  FW_CLASS(TMemoryStream, TStream)
 public:
  TMemoryStream() = default;
  ~TMemoryStream() override;

  std::int64_t Read(void* Buffer, std::int64_t Count) override;
  std::int64_t Write(const void* Buffer, std::int64_t Count) override;
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
  std::int64_t Size() override { return size_; }
  void SetSize(std::int64_t NewSize) override;

  void* Memory() const { return memory_; }
  std::int64_t Capacity() const { return capacity_; }
  void Clear();
  void LoadFromStream(TStream& Stream);
  void SaveToStream(TStream& Stream);
  // Makes the stream work on memory it does not own; it cannot grow past Size.
  void SetPointer(void* Ptr, std::int64_t Size);

 protected:
  // Returns memory of at least NewCapacity bytes holding the current content (NewCapacity may
  // be rounded up). Subclasses that keep their memory elsewhere override it; 0 frees.
  virtual void* Realloc(std::int64_t& NewCapacity);
  void SetCapacity(std::int64_t NewCapacity);

 private:
  void* memory_ = nullptr;
  std::int64_t size_ = 0;
  std::int64_t position_ = 0;
  std::int64_t capacity_ = 0;
  bool owns_ = true;
};

// A read-only stream over bytes someone else keeps alive.
class TBytesStream : public TMemoryStream {
  FW_CLASS(TBytesStream, TMemoryStream)
 public:
  TBytesStream(const void* data, std::size_t size) { SetPointer(const_cast<void*>(data), static_cast<std::int64_t>(size)); }
  std::int64_t Write(const void*, std::int64_t) override { return 0; }
};

// Declares properties stored by callbacks; the reader and the writer implement it.
class TFiler : public TObject {
  FW_CLASS(TFiler, TObject)
 public:
  using ReaderProc = std::function<void(TReader&)>;
  using WriterProc = std::function<void(TWriter&)>;
  using StreamProc = std::function<void(TStream&)>;
  // A property stored as ordinary values (read and written with the reader's and writer's
  // value methods). HasData false: the writer leaves it out.
  virtual void DefineProperty(const std::string& Name, ReaderProc ReadData, WriterProc WriteData,
                              bool HasData) = 0;
  // A property stored as a block of bytes.
  virtual void DefineBinaryProperty(const std::string& Name, StreamProc ReadData,
                                    StreamProc WriteData, bool HasData) = 0;
  TComponent* Root() const { return root_; }
  TPersistent* Ancestor() const { return ancestor_; }

 protected:
  TComponent* root_ = nullptr;
  TPersistent* ancestor_ = nullptr;
};

bool IsValidIdent(const std::string& Ident);

// For Notification with opRemove: clears each of the given fields that points at the component
// going away, so that a form never keeps a pointer to a freed component.
template <typename... Components>
void ForgetRemoved(const TComponent* AComponent, Components*&... Fields) {
  ((static_cast<const TComponent*>(Fields) == AComponent ? void(Fields = nullptr) : void()), ...);
}

}  // namespace fw
