#pragma once
// Reference counting for the objects behind the platform's interfaces, the one way every module
// does it. The creator holds the first reference. The last Release runs the object's
// LastReleased hook (where it lets go of what it holds) and destroys it, unless its module still
// keeps it: a keep holds the memory, not a reference, so that the members of a flip chain stay
// valid while the chain comes apart. Each module counts its live objects in its own counter, so
// tests can see what a module leaks.
#include "platform/base/Types.h"
#include "platform/base/Unknown.h"

namespace win {

template <int& (*LiveCount)()>
class RefCounted {
 public:
  RefCounted() { ++LiveCount(); }
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;
  virtual ~RefCounted() { --LiveCount(); }

  ULONG AddRefImpl() { return ++refs_; }
  ULONG ReleaseImpl() {
    const ULONG left = --refs_;
    if (left == 0) {
      LastReleased();
      if (keep_ == 0) delete this;
    }
    return left;
  }
  ULONG Refs() const { return refs_; }

  // The module keeps the object in memory (no longer usable from outside once released).
  void Hold() { ++keep_; }
  void Unhold() {
    if (--keep_ == 0 && refs_ == 0) delete this;
  }

 protected:
  // The last outside reference went; keeps may hold the memory a little longer.
  virtual void LastReleased() {}

 private:
  ULONG refs_ = 1;
  ULONG keep_ = 0;
};

// An object implementing `Interfaces` (each derived from IUnknown). AddRef and Release are
// written here once, for all of them: they count on the object's one RefCounted base.
template <int& (*LiveCount)(), class... Interfaces>
class ComObject : public RefCounted<LiveCount>, public Interfaces... {
 public:
  ULONG AddRef() override { return this->AddRefImpl(); }
  ULONG Release() override { return this->ReleaseImpl(); }
};

// Interfaces that are part of another object, reached through its QueryInterface (Direct3D on
// the DirectDraw object): they count their references with that object, which destroys the part
// when it goes. The part still counts as a live object of its own module.
template <int& (*LiveCount)(), class... Interfaces>
class ComPart : public Interfaces... {
 public:
  explicit ComPart(IUnknown& outer) : outer_(outer) { ++LiveCount(); }
  ComPart(const ComPart&) = delete;
  ComPart& operator=(const ComPart&) = delete;
  virtual ~ComPart() { --LiveCount(); }

  ULONG AddRef() override { return outer_.AddRef(); }
  ULONG Release() override { return outer_.Release(); }

 private:
  IUnknown& outer_;
};

}  // namespace win
