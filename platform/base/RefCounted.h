#pragma once
// Reference counting as the platform's interfaces want it, for the modules whose objects need no
// more than that: the creator holds the first reference and the last Release destroys the object.
// Each module counts its live objects in its own counter, so tests can see what a module leaks.
#include "platform/base/Types.h"

namespace win {

template <int& (*LiveCount)()>
class RefCounted {
 public:
  RefCounted() { ++LiveCount(); }
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;
  virtual ~RefCounted() { --LiveCount(); }
  DWORD AddRefImpl() { return ++refs_; }
  DWORD ReleaseImpl() {
    const DWORD left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  DWORD refs_ = 1;
};

}  // namespace win
