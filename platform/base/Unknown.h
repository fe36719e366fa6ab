#pragma once
// The interface every interface of the platform derives from, and its identifier. An object
// counts its references over all of its interfaces together; the last Release destroys it.
// QueryInterface for IID_IUnknown hands out the same pointer from whichever interface it is
// asked, so two interface pointers can be told to belong to one object.
#include "platform/base/Types.h"

namespace win {

inline constexpr GUID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class IUnknown {
 public:
  virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

}  // namespace win
