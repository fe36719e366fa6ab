// The module's entry points (creating a DirectDraw object, enumerating the drivers) and its
// registration with the library loader.
#include <mutex>
#include <string>

#include "platform/ddraw/DDrawInternal.h"
#include "platform/ddraw/DDrawPresent.h"
#include "platform/kernel/Library.h"

namespace ddraw {

namespace {

std::shared_ptr<detail::AdapterState> FindAdapter(const GUID* driver, HRESULT& hr) {
  auto& list = detail::AdapterList();
  hr = DD_OK;
  if (list.empty()) {
    hr = DDERR_NODIRECTDRAWHW;
    return nullptr;
  }
  if (driver == nullptr || driver == DDCREATE_HARDWAREONLY || driver == DDCREATE_EMULATIONONLY) return list[0];
  for (const auto& a : list)
    if (a->Config.Guid == *driver) return a;
  hr = DDERR_INVALIDDIRECTDRAWGUID;
  return nullptr;
}

}  // namespace

HRESULT DirectDrawCreate(GUID* driver, IDirectDraw** directDraw, IUnknown* outer) {
  EnsureWindowPresenter();  // frames reach real windows once the window system runs
  if (!directDraw) return DDERR_INVALIDPARAMS;
  *directDraw = nullptr;
  if (outer) return win::CLASS_E_NOAGGREGATION;
  HRESULT hr;
  auto adapter = FindAdapter(driver, hr);
  if (!adapter) return hr;
  *directDraw = (new detail::DirectDrawObject(adapter))->V1();
  return DD_OK;
}

HRESULT DirectDrawCreateEx(GUID* driver, void** directDraw, REFIID iid, IUnknown* outer) {
  EnsureWindowPresenter();  // frames reach real windows once the window system runs
  if (!directDraw) return DDERR_INVALIDPARAMS;
  *directDraw = nullptr;
  if (outer) return win::CLASS_E_NOAGGREGATION;
  if (!(iid == IID_IDirectDraw7)) return DDERR_INVALIDPARAMS;
  HRESULT hr;
  auto adapter = FindAdapter(driver, hr);
  if (!adapter) return hr;
  if (!adapter->Config.HasDirectDraw7) return win::E_NOINTERFACE;
  *directDraw = static_cast<IDirectDraw7*>(new detail::DirectDrawObject(adapter, true));
  return DD_OK;
}

HRESULT DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, void* context) {
  if (!callback) return DDERR_INVALIDPARAMS;
  const auto list = detail::AdapterList();  // a callback may reconfigure
  for (std::size_t i = 0; i < list.size(); ++i) {
    std::string description = list[i]->Config.Description;
    std::string name = list[i]->Config.Name;
    GUID guid = list[i]->Config.Guid;
    if (!callback(i == 0 ? nullptr : &guid, description.data(), name.data(), context)) break;
  }
  return DD_OK;
}

void RegisterModule() {
  static std::once_flag once;
  std::call_once(once, [] {
    kernel::RegisterModule("DDraw.dll",
                           {{"DirectDrawCreate", reinterpret_cast<kernel::FARPROC>(&DirectDrawCreate)},
                            {"DirectDrawCreateEx", reinterpret_cast<kernel::FARPROC>(&DirectDrawCreateEx)},
                            {"DirectDrawEnumerateA", reinterpret_cast<kernel::FARPROC>(&DirectDrawEnumerateA)}});
  });
}

}  // namespace ddraw
