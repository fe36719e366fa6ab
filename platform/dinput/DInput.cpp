#include "platform/dinput/DInput.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/dinput/DInputInternal.h"
#include "platform/dinput/DInputTesting.h"
#include "platform/kernel/Library.h"
#include "platform/win/WinKeyHook.h"
#include "platform/win/WinMouseHook.h"
#include "platform/win/WinUser.h"

namespace dinput {

namespace {

using detail::Object;

struct ModuleState {
  InputConfig config = DefaultConfig();
  bool create_fails = false;  // DirectInputCreateA fails until the configuration changes
};

// Interfaces may be released from other objects' destructors at program end.
ModuleState& M() {
  static ModuleState& m = *new ModuleState;
  return m;
}

void CopyName(char (&dest)[260], const std::string& src) {
  const std::size_t n = std::min(src.size(), sizeof dest - 1);
  std::memcpy(dest, src.data(), n);
  dest[n] = '\0';
}

DWORD ObjectDataSize(DWORD type) { return (type & DIDFT_BUTTON) ? 1 : 4; }

bool IsJoystick(const Device& d) { return GET_DIDEVICE_TYPE(d.DevType) == DIDEVTYPE_JOYSTICK; }

// Absolute axis positions (0 .. 65535 in the device's record) in an interface's terms.
LONG ScaleAbsolute(LONG raw, LONG lo, LONG hi, DWORD deadZone, DWORD saturation) {
  const double half = 65535.0 / 2;
  const double d = (std::clamp<LONG>(raw, 0, 65535) - half) / half;  // -1 .. 1
  const double dz = deadZone / 10000.0;
  const double sat = std::max(saturation / 10000.0, dz);
  const double a = std::fabs(d);
  double t;
  if (a <= dz) t = 0;
  else if (a >= sat || sat <= dz) t = 1;
  else t = (a - dz) / (sat - dz);
  if (d < 0) t = -t;
  const double centre = (static_cast<double>(lo) + static_cast<double>(hi)) / 2;
  const double span = (static_cast<double>(hi) - static_cast<double>(lo)) / 2;
  return static_cast<LONG>(std::lround(centre + t * span));
}

// ---------------------------------------------------------------------------------------------

class DeviceInterface final : public Object<IDirectInputDevice2>, public detail::EffectHost {
 public:
  explicit DeviceInterface(std::shared_ptr<Device> device) : device_(std::move(device)) {
    axes_.resize(device_->Objects.size());
  }
  ~DeviceInterface() override { Unacquire(); }

  // Effects are downloaded and played only while the device is held exclusively.
  HRESULT CanPlay() override {
    if (HRESULT hr = CheckAcquired(); hr != DI_OK) return hr;
    return (level_ & DISCL_EXCLUSIVE) ? DI_OK : DIERR_NOTEXCLUSIVEACQUIRED;
  }
  IDirectInputDevice2* HostInterface() override { return this; }
  void EffectMade(IDirectInputEffect* effect) override { effects_.push_back(effect); }
  void EffectGone(IDirectInputEffect* effect) override { std::erase(effects_, effect); }

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDirectInputDeviceA) {
      *object = static_cast<IDirectInputDevice*>(this);
    } else if (riid == IID_IDirectInputDevice2A && device_->SecondVersion) {
      *object = static_cast<IDirectInputDevice2*>(this);
    } else {
      return DIERR_NOINTERFACE;
    }
    AddRef();
    return DI_OK;
  }

  HRESULT GetCapabilities(DIDEVCAPS* caps) override {
    if (!caps || caps->dwSize != sizeof(DIDEVCAPS)) return DIERR_INVALIDPARAM;
    *caps = device_->Caps();
    return DI_OK;
  }

  HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA callback, void* ref, DWORD flags) override {
    if (!callback) return DIERR_INVALIDPARAM;
    const DWORD kinds = DIDFT_GETTYPE(flags);
    for (const DeviceObject& o : device_->Objects) {
      if (kinds != DIDFT_ALL && !(DIDFT_GETTYPE(o.TypeFlags) & kinds)) continue;
      DIDEVICEOBJECTINSTANCEA info = ObjectInfo(o);
      if (callback(&info, ref) == DIENUM_STOP) break;
    }
    return DI_OK;
  }

  HRESULT GetProperty(REFGUID prop, DIPROPHEADER* header) override;
  HRESULT SetProperty(REFGUID prop, const DIPROPHEADER* header) override;

  HRESULT Acquire() override {
    Sync();
    if (!has_format_) return DIERR_INVALIDPARAM;
    if (acquired_) return DI_NOEFFECT;
    if ((level_ & DISCL_FOREGROUND) && win::GetForegroundWindow() != window_) return DIERR_OTHERAPPHASPRIO;
    if (device_->ExclusiveOwner && device_->ExclusiveOwner != this) {
      if (level_ & DISCL_EXCLUSIVE) return DIERR_OTHERAPPHASPRIO;
    }
    if (level_ & DISCL_EXCLUSIVE) device_->ExclusiveOwner = this;
    acquired_ = true;
    lost_ = false;
    seen_losses_ = device_->LossCount;
    // Relative axes report what moved from now on.
    std::vector<BYTE> state(device_->StateSize);
    device_->ReadState(state.data());
    for (Mapping& m : mappings_)
      if (m.Relative) std::memcpy(&m.Last, state.data() + m.From, 4);
    return DI_OK;
  }

  HRESULT Unacquire() override {
    if (!acquired_) {
      lost_ = false;
      return DI_NOEFFECT;
    }
    Drop();
    lost_ = false;
    return DI_OK;
  }

  HRESULT GetDeviceState(DWORD size, void* data) override {
    if (!data || !has_format_ || size != format_size_) return DIERR_INVALIDPARAM;
    if (HRESULT hr = CheckAcquired(); hr != DI_OK) return hr;
    auto* out = static_cast<BYTE*>(data);
    std::vector<BYTE> state(device_->StateSize);
    device_->ReadState(state.data());
    if (device_->TakesWholeRecord(format_size_)) {
      std::memcpy(out, state.data(), std::min<std::size_t>(size, state.size()));
      return DI_OK;
    }
    std::memset(out, 0, size);
    for (Mapping& m : mappings_) {
      if (m.Axis >= 0 && m.Size == 4) {
        LONG v;
        std::memcpy(&v, state.data() + m.From, 4);
        if (m.Relative) {
          const LONG total = v;
          if (!(format_flags_ & DIDF_ABSAXIS))
            v = static_cast<LONG>(static_cast<std::uint32_t>(total) - static_cast<std::uint32_t>(m.Last));
          m.Last = total;
        } else {
          const AxisProps& a = axes_[static_cast<std::size_t>(m.Axis)];
          v = ScaleAbsolute(v, a.Min, a.Max, a.DeadZone, a.Saturation);
        }
        std::memcpy(out + m.To, &v, 4);
      } else {
        std::memcpy(out + m.To, state.data() + m.From, m.Size);
      }
    }
    return DI_OK;
  }

  HRESULT GetDeviceData(DWORD, DIDEVICEOBJECTDATA*, DWORD*, DWORD) override {
    if (HRESULT hr = CheckAcquired(); hr != DI_OK) return hr;
    return DIERR_NOTBUFFERED;
  }

  HRESULT SetDataFormat(const DIDATAFORMAT* format) override;

  HRESULT SetEventNotification(void*) override { return DIERR_UNSUPPORTED; }

  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
    Sync();
    const DWORD known = DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY;
    const DWORD access = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
    const DWORD place = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
    if ((flags & ~known) || (access != DISCL_EXCLUSIVE && access != DISCL_NONEXCLUSIVE) ||
        (place != DISCL_FOREGROUND && place != DISCL_BACKGROUND))
      return DIERR_INVALIDPARAM;
    if (access == DISCL_EXCLUSIVE && place == DISCL_BACKGROUND && !device_->AllowsExclusiveBackground())
      return DIERR_UNSUPPORTED;
    // Foreground and exclusive access are tied to a top-level window.
    if (access == DISCL_EXCLUSIVE || place == DISCL_FOREGROUND) {
      if (!window || !win::IsWindow(window) || win::GetParent(window)) return E_HANDLE;
    } else if (window && !win::IsWindow(window)) {
      return E_HANDLE;
    }
    // A device taken under other terms must be acquired again under the new ones.
    if (acquired_ && (window != window_ || flags != level_)) Drop();
    window_ = window;
    level_ = flags;
    return DI_OK;
  }

  HRESULT GetObjectInfo(DIDEVICEOBJECTINSTANCEA* object, DWORD obj, DWORD how) override {
    if (!object || object->dwSize != sizeof(DIDEVICEOBJECTINSTANCEA)) return DIERR_INVALIDPARAM;
    const int i = FindObject(obj, how);
    if (i < 0) return DIERR_OBJECTNOTFOUND;
    *object = ObjectInfo(device_->Objects[static_cast<std::size_t>(i)]);
    return DI_OK;
  }

  HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* instance) override {
    if (!instance || instance->dwSize != sizeof(DIDEVICEINSTANCEA)) return DIERR_INVALIDPARAM;
    *instance = device_->Instance();
    return DI_OK;
  }

  HRESULT RunControlPanel(HWND, DWORD) override { return DI_OK; }
  HRESULT Initialize(HINSTANCE, DWORD, REFGUID) override { return DIERR_ALREADYINITIALIZED; }

  // Force feedback, where the device has actuators.
  HRESULT CreateEffect(REFGUID guid, const DIEFFECT* effect, IDirectInputEffect** out, IUnknown* outer) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return DIERR_NOAGGREGATION;
    if (!device_->ForceFeedback) return DIERR_UNSUPPORTED;
    const auto types = device_->ForceFeedback->EffectTypes();
    if (std::find(types.begin(), types.end(), guid) == types.end()) return DIERR_DEVICENOTREG;
    IDirectInputEffect* made = detail::MakeEffect(*this, device_, guid);
    HRESULT hr = DI_OK;
    if (effect) {
      hr = made->SetParameters(effect, DIEP_ALLPARAMS);
      if (FAILED(hr)) {
        made->Release();
        return hr;
      }
    }
    *out = made;
    return hr;
  }
  HRESULT EnumEffects(LPDIENUMEFFECTSCALLBACKA callback, void* ref, DWORD type) override {
    if (!callback) return DIERR_INVALIDPARAM;
    if (!device_->ForceFeedback) return DI_OK;
    for (const GUID& g : device_->ForceFeedback->EffectTypes()) {
      DIEFFECTINFOA info = EffectInfo(g);
      if (DIEFT_GETTYPE(type) != DIEFT_ALL && DIEFT_GETTYPE(info.dwEffType) != DIEFT_GETTYPE(type)) continue;
      if (callback(&info, ref) == DIENUM_STOP) break;
    }
    return DI_OK;
  }
  HRESULT GetEffectInfo(DIEFFECTINFOA* info, REFGUID guid) override {
    if (!info || info->dwSize != sizeof(DIEFFECTINFOA)) return DIERR_INVALIDPARAM;
    if (!device_->ForceFeedback) return DIERR_DEVICENOTREG;
    const auto types = device_->ForceFeedback->EffectTypes();
    if (std::find(types.begin(), types.end(), guid) == types.end()) return DIERR_DEVICENOTREG;
    *info = EffectInfo(guid);
    return DI_OK;
  }
  HRESULT GetForceFeedbackState(DWORD* state) override {
    if (!state) return E_POINTER;
    if (!device_->ForceFeedback) return DIERR_UNSUPPORTED;
    if (HRESULT hr = CanPlay(); hr != DI_OK) return hr;
    *state = 0;
    return DI_OK;
  }
  HRESULT SendForceFeedbackCommand(DWORD flags) override {
    if (!device_->ForceFeedback) return DIERR_UNSUPPORTED;
    if (HRESULT hr = CanPlay(); hr != DI_OK) return hr;
    if (flags & (DISFFC_RESET | DISFFC_STOPALL))
      for (IDirectInputEffect* e : std::vector<IDirectInputEffect*>(effects_)) {
        if (flags & DISFFC_RESET) detail::UnloadEffect(e);
        else e->Stop();
      }
    return DI_OK;
  }
  HRESULT EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK callback, void* ref, DWORD) override {
    if (!callback) return DIERR_INVALIDPARAM;
    for (IDirectInputEffect* e : std::vector<IDirectInputEffect*>(effects_))
      if (callback(e, ref) == DIENUM_STOP) break;
    return DI_OK;
  }
  HRESULT Escape(DIEFFESCAPE*) override { return DIERR_UNSUPPORTED; }

  HRESULT Poll() override {
    if (HRESULT hr = CheckAcquired(); hr != DI_OK) return hr;
    return device_->Polled() ? DI_OK : DI_NOEFFECT;
  }
  HRESULT SendDeviceData(DWORD, const DIDEVICEOBJECTDATA*, DWORD*, DWORD) override { return DIERR_UNSUPPORTED; }

 private:
  struct Mapping {
    DWORD From;  // offset in the device's record
    DWORD To;    // offset in the application's record
    DWORD Size;
    int Axis = -1;          // the object's index when it is an axis
    bool Relative = false;  // a relative axis: the device reports a running total
    LONG Last = 0;          // the total at the last read
  };

  static DIEFFECTINFOA EffectInfo(const GUID& g) {
    DIEFFECTINFOA info{};
    info.dwSize = sizeof info;
    info.guid = g;
    info.dwEffType = detail::EffectTypeOf(g);
    info.dwStaticParams = info.dwDynamicParams = DIEP_ALLPARAMS;
    const char* name = detail::EffectName(g);
    std::strncpy(info.tszName, name, sizeof info.tszName - 1);
    return info;
  }
  // Per-object properties.
  struct AxisProps {
    LONG Min = 0;
    LONG Max = 0xFFFF;
    DWORD DeadZone = 0;
    DWORD Saturation = 10000;
  };

  DIDEVICEOBJECTINSTANCEA ObjectInfo(const DeviceObject& o) const {
    DIDEVICEOBJECTINSTANCEA info{};
    info.dwSize = sizeof info;
    info.guidType = o.Type;
    info.dwOfs = o.Offset;
    for (const Mapping& m : mappings_)
      if (m.From == o.Offset) info.dwOfs = m.To;
    info.dwType = o.TypeFlags;
    info.dwFlags = o.Flags;
    CopyName(info.tszName, o.Name);
    return info;
  }

  // The object an application names by its offset in the data format or by its identifier.
  int FindObject(DWORD obj, DWORD how) const {
    const auto& objs = device_->Objects;
    for (std::size_t i = 0; i < objs.size(); ++i) {
      if (how == DIPH_BYID) {
        if ((objs[i].TypeFlags & (DIDFT_INSTANCEMASK | 0xFF)) == (obj & (DIDFT_INSTANCEMASK | 0xFF))) return static_cast<int>(i);
      } else if (how == DIPH_BYOFFSET) {
        if (!has_format_) return -1;
        for (const Mapping& m : mappings_)
          if (m.To == obj && m.From == objs[i].Offset) return static_cast<int>(i);
      }
    }
    return -1;
  }

  // Takes the device away when its window left the foreground, was destroyed, or someone else
  // took the device.
  void Sync() {
    detail::ObserveForeground();
    if (!acquired_) return;
    bool lost = device_->LossCount != seen_losses_;
    if ((level_ & DISCL_FOREGROUND) && win::GetForegroundWindow() != window_) lost = true;
    if (window_ && !win::IsWindow(window_)) lost = true;
    if (!device_->Attached()) lost = true;
    if (lost) {
      Drop();
      lost_ = true;
    }
  }

  HRESULT CheckAcquired() {
    Sync();
    if (acquired_) return DI_OK;
    if (lost_) {
      lost_ = false;
      return DIERR_INPUTLOST;
    }
    return DIERR_NOTACQUIRED;
  }

  void Drop() {
    acquired_ = false;
    if (device_->ExclusiveOwner == this) device_->ExclusiveOwner = nullptr;
    // A device let go of stops its effects; they are downloaded again when started.
    for (IDirectInputEffect* e : std::vector<IDirectInputEffect*>(effects_)) detail::UnloadEffect(e);
  }

  std::shared_ptr<Device> device_;
  bool has_format_ = false;
  DWORD format_size_ = 0;
  DWORD format_flags_ = 0;
  std::vector<Mapping> mappings_;
  std::vector<AxisProps> axes_;
  DWORD autocenter_ = DIPROPAUTOCENTER_ON;
  HWND window_ = nullptr;
  DWORD level_ = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
  bool acquired_ = false;
  bool lost_ = false;
  std::uint64_t seen_losses_ = 0;
  std::vector<IDirectInputEffect*> effects_;  // not owned: each removes itself when released
};

HRESULT DeviceInterface::SetDataFormat(const DIDATAFORMAT* format) {
  if (!format) return DIERR_INVALIDPARAM;
  Sync();
  if (acquired_) return DIERR_ACQUIRED;
  if (format->dwSize != sizeof(DIDATAFORMAT) || format->dwObjSize != sizeof(DIOBJECTDATAFORMAT))
    return DIERR_INVALIDPARAM;
  if (format->dwDataSize == 0 || format->dwDataSize % 4 != 0) return DIERR_INVALIDPARAM;
  if ((format->dwFlags & ~(DIDF_ABSAXIS | DIDF_RELAXIS)) || format->dwFlags == (DIDF_ABSAXIS | DIDF_RELAXIS))
    return DIERR_INVALIDPARAM;
  if (format->dwNumObjs && !format->rgodf) return DIERR_INVALIDPARAM;

  std::vector<Mapping> mappings;
  std::vector<bool> used(device_->Objects.size(), false);
  for (DWORD n = 0; n < format->dwNumObjs; ++n) {
    const DIOBJECTDATAFORMAT& want = format->rgodf[n];
    const DWORD kind = DIDFT_GETTYPE(want.dwType) & (DIDFT_AXIS | DIDFT_BUTTON | DIDFT_POV);
    if (!kind) return DIERR_INVALIDPARAM;
    const DWORD size = ObjectDataSize(want.dwType);
    if (want.dwOfs > format->dwDataSize || format->dwDataSize - want.dwOfs < size || want.dwOfs % size != 0)
      return DIERR_INVALIDPARAM;
    const DWORD instance = want.dwType & DIDFT_INSTANCEMASK;
    int found = -1;
    for (std::size_t i = 0; i < device_->Objects.size() && found < 0; ++i) {
      const DeviceObject& o = device_->Objects[i];
      if (used[i] || !(DIDFT_GETTYPE(o.TypeFlags) & kind)) continue;
      if (want.pguid && !(*want.pguid == o.Type)) continue;
      if (instance != DIDFT_ANYINSTANCE && instance != (o.TypeFlags & DIDFT_INSTANCEMASK)) continue;
      found = static_cast<int>(i);
    }
    if (found < 0) {
      if (want.dwType & DIDFT_OPTIONAL) continue;
      return DIERR_INVALIDPARAM;
    }
    used[static_cast<std::size_t>(found)] = true;
    const DeviceObject& o = device_->Objects[static_cast<std::size_t>(found)];
    Mapping m{o.Offset, want.dwOfs, std::min(size, ObjectDataSize(o.TypeFlags))};
    if (DIDFT_GETTYPE(o.TypeFlags) & DIDFT_AXIS) {
      m.Axis = found;
      m.Relative = (DIDFT_GETTYPE(o.TypeFlags) & DIDFT_AXIS) == DIDFT_RELAXIS;
    }
    mappings.push_back(m);
  }
  mappings_ = std::move(mappings);
  has_format_ = true;
  format_size_ = format->dwDataSize;
  format_flags_ = format->dwFlags;
  return DI_OK;
}

HRESULT DeviceInterface::GetProperty(REFGUID prop, DIPROPHEADER* header) {
  if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
  const std::uintptr_t id = DIPROP_ID(prop);
  int obj = -1;
  if (header->dwHow != DIPH_DEVICE) {
    obj = FindObject(header->dwObj, header->dwHow);
    if (obj < 0) return DIERR_OBJECTNOTFOUND;
  } else if (header->dwObj != 0) {
    return DIERR_INVALIDPARAM;
  }
  auto axis = [&]() -> AxisProps* {
    if (obj >= 0) {
      if (!(DIDFT_GETTYPE(device_->Objects[static_cast<std::size_t>(obj)].TypeFlags) & DIDFT_AXIS)) return nullptr;
      return &axes_[static_cast<std::size_t>(obj)];
    }
    for (std::size_t i = 0; i < device_->Objects.size(); ++i)
      if (DIDFT_GETTYPE(device_->Objects[i].TypeFlags) & DIDFT_AXIS) return &axes_[i];
    return nullptr;
  };
  switch (id) {
    case DIPROP_RANGE: {
      if (header->dwSize != sizeof(DIPROPRANGE)) return DIERR_INVALIDPARAM;
      AxisProps* a = axis();
      if (!a) return DIERR_UNSUPPORTED;
      auto* r = reinterpret_cast<DIPROPRANGE*>(header);
      r->lMin = a->Min;
      r->lMax = a->Max;
      return DI_OK;
    }
    case DIPROP_DEADZONE:
    case DIPROP_SATURATION: {
      if (header->dwSize != sizeof(DIPROPDWORD)) return DIERR_INVALIDPARAM;
      AxisProps* a = axis();
      if (!a) return DIERR_UNSUPPORTED;
      reinterpret_cast<DIPROPDWORD*>(header)->dwData = id == DIPROP_DEADZONE ? a->DeadZone : a->Saturation;
      return DI_OK;
    }
    case DIPROP_AUTOCENTER:
    case DIPROP_BUFFERSIZE:
      if (header->dwSize != sizeof(DIPROPDWORD)) return DIERR_INVALIDPARAM;
      if (obj >= 0) return DIERR_INVALIDPARAM;
      if (id == DIPROP_AUTOCENTER && !device_->ForceFeedback) return DIERR_UNSUPPORTED;
      reinterpret_cast<DIPROPDWORD*>(header)->dwData = id == DIPROP_AUTOCENTER ? autocenter_ : 0;
      return DI_OK;
    default:
      return DIERR_UNSUPPORTED;
  }
}

HRESULT DeviceInterface::SetProperty(REFGUID prop, const DIPROPHEADER* header) {
  if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
  const std::uintptr_t id = DIPROP_ID(prop);
  Sync();
  std::vector<std::size_t> targets;
  if (header->dwHow != DIPH_DEVICE) {
    const int obj = FindObject(header->dwObj, header->dwHow);
    if (obj < 0) return DIERR_OBJECTNOTFOUND;
    targets.push_back(static_cast<std::size_t>(obj));
  } else if (header->dwObj != 0) {
    return DIERR_INVALIDPARAM;
  } else {
    for (std::size_t i = 0; i < device_->Objects.size(); ++i) targets.push_back(i);
  }
  const bool device_wide = header->dwHow == DIPH_DEVICE;
  // Axis properties go to the axes among the targets.
  std::vector<AxisProps*> axes;
  for (std::size_t i : targets)
    if (DIDFT_GETTYPE(device_->Objects[i].TypeFlags) & DIDFT_AXIS) axes.push_back(&axes_[i]);
  switch (id) {
    case DIPROP_RANGE: {
      if (header->dwSize != sizeof(DIPROPRANGE)) return DIERR_INVALIDPARAM;
      const auto* r = reinterpret_cast<const DIPROPRANGE*>(header);
      if (r->lMin >= r->lMax) return DIERR_INVALIDPARAM;
      if (axes.empty()) return DIERR_UNSUPPORTED;
      if (acquired_) return DIERR_ACQUIRED;
      for (AxisProps* a : axes) a->Min = r->lMin, a->Max = r->lMax;
      return DI_OK;
    }
    case DIPROP_DEADZONE:
    case DIPROP_SATURATION: {
      if (header->dwSize != sizeof(DIPROPDWORD)) return DIERR_INVALIDPARAM;
      const DWORD v = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
      if (v > 10000) return DIERR_INVALIDPARAM;
      if (axes.empty()) return DIERR_UNSUPPORTED;
      for (AxisProps* a : axes) (id == DIPROP_DEADZONE ? a->DeadZone : a->Saturation) = v;
      return DI_OK;
    }
    case DIPROP_AUTOCENTER: {
      if (header->dwSize != sizeof(DIPROPDWORD) || !device_wide) return DIERR_INVALIDPARAM;
      const DWORD v = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
      if (v > DIPROPAUTOCENTER_ON) return DIERR_INVALIDPARAM;
      if (!device_->ForceFeedback) return DIERR_UNSUPPORTED;
      if (acquired_) return DIERR_ACQUIRED;
      autocenter_ = v;
      device_->ForceFeedback->SetAutoCenter(v == DIPROPAUTOCENTER_ON);
      return DI_OK;
    }
    case DIPROP_BUFFERSIZE: {
      if (header->dwSize != sizeof(DIPROPDWORD) || !device_wide) return DIERR_INVALIDPARAM;
      // Input is not buffered here: only "no buffer" is accepted.
      return reinterpret_cast<const DIPROPDWORD*>(header)->dwData == 0 ? DI_OK : DIERR_UNSUPPORTED;
    }
    default:
      return DIERR_UNSUPPORTED;
  }
}

// ---------------------------------------------------------------------------------------------

class DirectInputObject final : public Object<IDirectInput> {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!(riid == IID_IUnknown || riid == IID_IDirectInputA)) return DIERR_NOINTERFACE;
    *object = static_cast<IDirectInput*>(this);
    AddRef();
    return DI_OK;
  }

  HRESULT CreateDevice(REFGUID guid, IDirectInputDevice** device, IUnknown* outer) override {
    if (!device) return DIERR_INVALIDPARAM;
    *device = nullptr;
    if (outer) return DIERR_NOAGGREGATION;
    std::shared_ptr<Device> found;
    for (const auto& d : AttachedDevices()) {
      const bool generic_joystick = guid == GUID_Joystick && IsJoystick(*d);
      if (d->InstanceGuid == guid || generic_joystick) {
        found = d;
        break;
      }
    }
    if (!found || DeviceTesting::RefusesCreation(*found)) return DIERR_DEVICENOTREG;
    *device = static_cast<IDirectInputDevice*>(new DeviceInterface(found));
    return DI_OK;
  }

  HRESULT EnumDevices(DWORD devType, LPDIENUMDEVICESCALLBACKA callback, void* ref, DWORD flags) override {
    if (!callback || devType > DIDEVTYPE_JOYSTICK ||
        (flags & ~(DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK)))
      return DIERR_INVALIDPARAM;
    // The callback may change the configuration; enumerate what was attached when asked.
    const auto devices = devType == 0 || devType == DIDEVTYPE_JOYSTICK ? AttachedDevices() : M().config.Devices;
    for (const auto& d : devices) {
      if (devType != 0 && GET_DIDEVICE_TYPE(d->DevType) != devType) continue;
      if ((flags & DIEDFL_ATTACHEDONLY) && !(d->Caps().dwFlags & DIDC_ATTACHED)) continue;
      if ((flags & DIEDFL_FORCEFEEDBACK) && !d->ForceFeedback) continue;
      const DIDEVICEINSTANCEA info = d->Instance();
      if (callback(&info, ref) == DIENUM_STOP) break;
    }
    return DI_OK;
  }

  HRESULT GetDeviceStatus(REFGUID instance) override {
    for (const auto& d : AttachedDevices())
      if (d->InstanceGuid == instance) return (d->Caps().dwFlags & DIDC_ATTACHED) ? DI_OK : DI_NOTATTACHED;
    return DIERR_DEVICENOTREG;
  }
  HRESULT RunControlPanel(HWND, DWORD) override { return DI_OK; }
  HRESULT Initialize(HINSTANCE, DWORD) override { return DIERR_ALREADYINITIALIZED; }
};

}  // namespace

// ---------------------------------------------------------------------------------------------

DIDEVCAPS Device::Caps() const {
  DIDEVCAPS c{};
  c.dwSize = sizeof c;
  c.dwFlags = CapFlags;
  if (ForceFeedback) c.dwFlags |= DIDC_FORCEFEEDBACK;
  if (!Attached()) c.dwFlags &= ~DIDC_ATTACHED;
  if (Polled()) c.dwFlags |= DIDC_POLLEDDEVICE;
  c.dwDevType = DevType;
  for (const DeviceObject& o : Objects) {
    const DWORD t = DIDFT_GETTYPE(o.TypeFlags);
    if (t & DIDFT_AXIS) ++c.dwAxes;
    else if (t & DIDFT_BUTTON) ++c.dwButtons;
    else if (t & DIDFT_POV) ++c.dwPOVs;
  }
  return c;
}

DIDEVICEINSTANCEA Device::Instance() const {
  DIDEVICEINSTANCEA i{};
  i.dwSize = sizeof i;
  i.guidInstance = InstanceGuid;
  i.guidProduct = ProductGuid;
  i.dwDevType = DevType;
  CopyName(i.tszInstanceName, InstanceName);
  CopyName(i.tszProductName, ProductName);
  return i;
}

InputConfig DefaultConfig() {
  InputConfig c;
  c.Devices.push_back(std::make_shared<SystemKeyboard>());
  c.Devices.push_back(std::make_shared<SystemMouse>());
  return c;
}

SystemMouse* Mouse() {
  for (const auto& d : M().config.Devices)
    if (auto* m = dynamic_cast<SystemMouse*>(d.get())) return m;
  return nullptr;
}

std::vector<std::shared_ptr<Device>> AttachedDevices() {
  std::vector<std::shared_ptr<Device>> out = M().config.Devices;
  if (M().config.SystemJoysticks)
    for (auto& d : detail::SystemJoystickDevices()) out.push_back(std::move(d));
  return out;
}

void SetConfig(InputConfig config) {
  M().config = std::move(config);
  M().create_fails = false;
}
void ResetConfig() { SetConfig(DefaultConfig()); }
void SetCreateFails(bool fails) { M().create_fails = fails; }
const InputConfig& Config() { return M().config; }

SystemKeyboard* Keyboard() {
  for (const auto& d : M().config.Devices)
    if (auto* k = dynamic_cast<SystemKeyboard*>(d.get())) return k;
  return nullptr;
}

void LoseDevices() {
  for (const auto& d : M().config.Devices) {
    ++d->LossCount;
    d->ExclusiveOwner = nullptr;
  }
}

int LiveObjectCount() { return detail::LiveCount(); }

int& detail::LiveCount() {
  static int live = 0;
  return live;
}

HRESULT DirectInputCreateA(HINSTANCE instance, DWORD version, IDirectInput** out, IUnknown* outer) {
  if (!out) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (outer) return DIERR_NOAGGREGATION;
  if (!instance) return DIERR_INVALIDPARAM;
  if (version < 0x0300) return DIERR_BETADIRECTINPUTVERSION;
  if (version > DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
  if (M().create_fails) return DIERR_GENERIC;
  *out = new DirectInputObject;
  return DI_OK;
}

void RegisterModule() {
  static const bool done = [] {
    kernel::RegisterModule(
        "DInput.dll", {{"DirectInputCreateA", reinterpret_cast<kernel::FARPROC>(&DirectInputCreateA)}});
    win::AddRawKeyListener(&detail::OnRawKey);
    win::AddRawMouseListener(&detail::OnRawMouse);
    return true;
  }();
  (void)done;
}

}  // namespace dinput
