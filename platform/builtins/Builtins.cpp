#include "platform/builtins/Builtins.h"

#include <mutex>

#include "platform/d3d/D3D.h"
#include "platform/ddraw/DDraw.h"
#include "platform/dinput/DInput.h"
#include "platform/dsound/DSound.h"

namespace builtins {

void InstallLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    ddraw::RegisterModule();   // "DDraw.dll"
    dinput::RegisterModule();  // "DInput.dll"
    dsound::RegisterModule();  // "DSound.dll"
    d3d::RegisterModule();     // "D3DRM.dll"
  });
}

}  // namespace builtins
