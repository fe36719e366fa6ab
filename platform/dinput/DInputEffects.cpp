// Force feedback: effect objects, the recording actuators of tests, and the controllers' own.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/dinput/DInput.h"
#include "platform/dinput/DInputInternal.h"
#include "platform/dinput/DInputTesting.h"
#include "platform/joy/Joy.h"

namespace dinput {

namespace detail {

DWORD EffectTypeOf(const GUID& t) {
  const DWORD env = DIEFT_FFATTACK | DIEFT_FFFADE;
  if (t == GUID_ConstantForce) return DIEFT_CONSTANTFORCE | env;
  if (t == GUID_RampForce) return DIEFT_RAMPFORCE | env;
  if (t == GUID_Square || t == GUID_Sine || t == GUID_Triangle || t == GUID_SawtoothUp || t == GUID_SawtoothDown)
    return DIEFT_PERIODIC | env;
  if (t == GUID_Spring || t == GUID_Damper || t == GUID_Inertia || t == GUID_Friction)
    return DIEFT_CONDITION | DIEFT_POSNEGCOEFFICIENTS | DIEFT_POSNEGSATURATION | DIEFT_DEADBAND;
  return 0;
}

const char* EffectName(const GUID& t) {
  if (t == GUID_ConstantForce) return "Constant Force";
  if (t == GUID_RampForce) return "Ramp Force";
  if (t == GUID_Square) return "Square";
  if (t == GUID_Sine) return "Sine";
  if (t == GUID_Triangle) return "Triangle";
  if (t == GUID_SawtoothUp) return "Sawtooth Up";
  if (t == GUID_SawtoothDown) return "Sawtooth Down";
  if (t == GUID_Spring) return "Spring";
  if (t == GUID_Damper) return "Damper";
  if (t == GUID_Inertia) return "Inertia";
  if (t == GUID_Friction) return "Friction";
  return "";
}

HRESULT CopyParameters(const DIEFFECT& e, DWORD flags, EffectParams& p) {
  if (e.dwSize != sizeof(DIEFFECT)) return DIERR_INVALIDPARAM;
  EffectParams n = p;
  if (flags & DIEP_DURATION) n.Duration = e.dwDuration;
  if (flags & DIEP_SAMPLEPERIOD) n.SamplePeriod = e.dwSamplePeriod;
  if (flags & DIEP_GAIN) n.Gain = std::min<DWORD>(e.dwGain, DI_FFNOMINALMAX);
  if (flags & DIEP_TRIGGERBUTTON) n.TriggerButton = e.dwTriggerButton;
  if (flags & DIEP_TRIGGERREPEATINTERVAL) n.TriggerRepeatInterval = e.dwTriggerRepeatInterval;
  if (flags & DIEP_STARTDELAY) n.StartDelay = e.dwStartDelay;
  if (flags & (DIEP_AXES | DIEP_DIRECTION)) {
    const DWORD coords = e.dwFlags & (DIEFF_CARTESIAN | DIEFF_POLAR | DIEFF_SPHERICAL);
    const DWORD naming = e.dwFlags & (DIEFF_OBJECTIDS | DIEFF_OBJECTOFFSETS);
    if ((flags & DIEP_AXES) && naming != DIEFF_OBJECTIDS && naming != DIEFF_OBJECTOFFSETS) return DIERR_INVALIDPARAM;
    if ((flags & DIEP_DIRECTION) && coords != DIEFF_CARTESIAN && coords != DIEFF_POLAR && coords != DIEFF_SPHERICAL)
      return DIERR_INVALIDPARAM;
    n.Flags = e.dwFlags;
  }
  if (flags & DIEP_AXES) {
    if (e.cAxes == 0 || e.cAxes > 8 || !e.rgdwAxes) return DIERR_INVALIDPARAM;
    n.Axes.assign(e.rgdwAxes, e.rgdwAxes + e.cAxes);
  }
  if (flags & DIEP_DIRECTION) {
    if (e.cAxes != n.Axes.size() || (e.cAxes && !e.rglDirection)) return DIERR_INVALIDPARAM;
    n.Direction.assign(e.rglDirection, e.rglDirection + e.cAxes);
  }
  if (flags & DIEP_ENVELOPE) {
    n.HasEnvelope = e.lpEnvelope != nullptr;
    if (e.lpEnvelope) {
      if (e.lpEnvelope->dwSize != sizeof(DIENVELOPE)) return DIERR_INVALIDPARAM;
      n.Envelope = *e.lpEnvelope;
    }
  }
  if (flags & DIEP_TYPESPECIFICPARAMS) {
    const DWORD kind = DIEFT_GETTYPE(EffectTypeOf(n.Type));
    const DWORD size = e.cbTypeSpecificParams;
    bool fits = false;
    switch (kind) {
      case DIEFT_CONSTANTFORCE: fits = size == sizeof(DICONSTANTFORCE); break;
      case DIEFT_RAMPFORCE: fits = size == sizeof(DIRAMPFORCE); break;
      case DIEFT_PERIODIC: fits = size == sizeof(DIPERIODIC); break;
      // One condition for all axes, or one per axis.
      case DIEFT_CONDITION:
        fits = size == sizeof(DICONDITION) || (!n.Axes.empty() && size == sizeof(DICONDITION) * n.Axes.size());
        break;
      default: break;
    }
    if (!fits || !e.lpvTypeSpecificParams) return DIERR_INVALIDPARAM;
    const auto* b = static_cast<const BYTE*>(e.lpvTypeSpecificParams);
    n.TypeSpecific.assign(b, b + size);
  }
  p = std::move(n);
  return DI_OK;
}

namespace {

class Effect final : public Object<IDirectInputEffect> {
 public:
  Effect(EffectHost& host, std::shared_ptr<Device> device, const GUID& type)
      : host_(host), device_(std::move(device)) {
    params_.Type = type;
    host_.HostInterface()->AddRef();
    host_.EffectMade(this);
  }
  ~Effect() override {
    Unload();
    host_.EffectGone(this);
    host_.HostInterface()->Release();
  }

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!(riid == IID_IUnknown || riid == IID_IDirectInputEffect)) return DIERR_NOINTERFACE;
    *object = static_cast<IDirectInputEffect*>(this);
    AddRef();
    return DI_OK;
  }

  HRESULT Initialize(HINSTANCE, DWORD, REFGUID) override { return DI_OK; }
  HRESULT GetEffectGuid(GUID* guid) override {
    if (!guid) return E_POINTER;
    *guid = params_.Type;
    return DI_OK;
  }

  HRESULT GetParameters(DIEFFECT* e, DWORD flags) override {
    if (!e || e->dwSize != sizeof(DIEFFECT)) return DIERR_INVALIDPARAM;
    if (flags & DIEP_DURATION) e->dwDuration = params_.Duration;
    if (flags & DIEP_SAMPLEPERIOD) e->dwSamplePeriod = params_.SamplePeriod;
    if (flags & DIEP_GAIN) e->dwGain = params_.Gain;
    if (flags & DIEP_TRIGGERBUTTON) e->dwTriggerButton = params_.TriggerButton;
    if (flags & DIEP_TRIGGERREPEATINTERVAL) e->dwTriggerRepeatInterval = params_.TriggerRepeatInterval;
    if (flags & DIEP_STARTDELAY) e->dwStartDelay = params_.StartDelay;
    if (flags & (DIEP_AXES | DIEP_DIRECTION)) {
      const auto n = static_cast<DWORD>(params_.Axes.size());
      if (e->cAxes < n) {
        e->cAxes = n;
        return DIERR_MOREDATA;
      }
      e->cAxes = n;
      if ((flags & DIEP_AXES) && e->rgdwAxes) std::copy(params_.Axes.begin(), params_.Axes.end(), e->rgdwAxes);
      if ((flags & DIEP_DIRECTION) && e->rglDirection)
        std::copy(params_.Direction.begin(), params_.Direction.end(), e->rglDirection);
    }
    if ((flags & DIEP_ENVELOPE) && e->lpEnvelope) {
      if (params_.HasEnvelope) *e->lpEnvelope = params_.Envelope;
      else e->lpEnvelope = nullptr;
    }
    if (flags & DIEP_TYPESPECIFICPARAMS) {
      const auto n = static_cast<DWORD>(params_.TypeSpecific.size());
      if (e->cbTypeSpecificParams < n || !e->lpvTypeSpecificParams) {
        e->cbTypeSpecificParams = n;
        return DIERR_MOREDATA;
      }
      e->cbTypeSpecificParams = n;
      std::memcpy(e->lpvTypeSpecificParams, params_.TypeSpecific.data(), n);
    }
    return DI_OK;
  }

  HRESULT SetParameters(const DIEFFECT* e, DWORD flags) override {
    if (!e) return DIERR_INVALIDPARAM;
    if (HRESULT hr = CopyParameters(*e, flags, params_); hr != DI_OK) return hr;
    if (flags & DIEP_NODOWNLOAD) return DI_DOWNLOADSKIPPED;
    if (id_ >= 0) {
      if (!device_->ForceFeedback->Modify(id_, params_)) return DIERR_GENERIC;
    } else {
      if (host_.CanPlay() != DI_OK || !Complete()) return DI_DOWNLOADSKIPPED;
      if (HRESULT hr = Download(); FAILED(hr)) return hr;
    }
    if (flags & DIEP_START) return Start(1, 0);
    return DI_OK;
  }

  HRESULT Start(DWORD iterations, DWORD flags) override {
    if (iterations == 0) return DIERR_INVALIDPARAM;
    if (HRESULT hr = host_.CanPlay(); hr != DI_OK) return hr;
    if (HRESULT hr = Download(); FAILED(hr)) return hr;
    (void)flags;  // DIES_SOLO: the device plays one effect at a time anyway where it must
    return device_->ForceFeedback->Start(id_, iterations) ? DI_OK : DIERR_GENERIC;
  }

  HRESULT Stop() override {
    if (HRESULT hr = host_.CanPlay(); hr != DI_OK) return hr;
    if (id_ < 0) return DI_OK;
    return device_->ForceFeedback->Stop(id_) ? DI_OK : DIERR_GENERIC;
  }

  HRESULT GetEffectStatus(DWORD* status) override {
    if (!status) return E_POINTER;
    *status = id_ >= 0 && device_->ForceFeedback->Playing(id_) ? DIEGES_PLAYING : 0;
    return DI_OK;
  }

  HRESULT Download() override {
    if (id_ >= 0) return DI_NOEFFECT;
    if (HRESULT hr = host_.CanPlay(); hr != DI_OK) return hr;
    if (!Complete()) return DIERR_INCOMPLETEEFFECT;
    id_ = device_->ForceFeedback->Download(params_);
    return id_ >= 0 ? DI_OK : DIERR_DEVICEFULL;
  }

  HRESULT Unload() override {
    if (id_ < 0) return DI_OK;
    device_->ForceFeedback->Stop(id_);
    device_->ForceFeedback->Free(id_);
    id_ = -1;
    return DI_OK;
  }

  HRESULT Escape(DIEFFESCAPE*) override { return DIERR_UNSUPPORTED; }

 private:
  bool Complete() const { return !params_.Axes.empty() && !params_.TypeSpecific.empty(); }

  EffectHost& host_;
  std::shared_ptr<Device> device_;
  EffectParams params_;
  int id_ = -1;
};

}  // namespace

IDirectInputEffect* MakeEffect(EffectHost& host, std::shared_ptr<Device> device, const GUID& type) {
  return new Effect(host, std::move(device), type);
}

void UnloadEffect(IDirectInputEffect* effect) { effect->Unload(); }

// ---------------------------------------------------------------------------------------------
// The controllers' force feedback

namespace {

class DeviceActuators final : public Actuators {
 public:
  explicit DeviceActuators(joy::Haptic* h) : h_(h) {}

  std::vector<GUID> EffectTypes() const override {
    std::vector<GUID> t;
    using K = joy::EffectKind;
    const std::pair<K, const GUID*> table[] = {
        {K::Constant, &GUID_ConstantForce},     {K::Ramp, &GUID_RampForce},
        {K::Sine, &GUID_Sine},                  {K::Triangle, &GUID_Triangle},
        {K::SawtoothUp, &GUID_SawtoothUp},      {K::SawtoothDown, &GUID_SawtoothDown},
        {K::Spring, &GUID_Spring},              {K::Damper, &GUID_Damper},
        {K::Inertia, &GUID_Inertia},            {K::Friction, &GUID_Friction}};
    const unsigned kinds = joy::EffectKinds(h_);
    for (const auto& [kind, guid] : table)
      if (kinds & joy::KindBit(kind)) t.push_back(*guid);
    return t;
  }

  int Download(const EffectParams& p) override {
    joy::Effect e;
    if (!Convert(p, e)) return -1;
    return joy::NewEffect(h_, e);
  }
  bool Modify(int id, const EffectParams& p) override {
    joy::Effect e;
    return Convert(p, e) && joy::UpdateEffect(h_, id, e);
  }
  bool Start(int id, DWORD iterations) override {
    return joy::RunEffect(h_, id, iterations == INFINITE ? joy::kInfinity : iterations);
  }
  bool Stop(int id) override { return joy::StopEffect(h_, id); }
  bool Playing(int id) override {
    // Without a status report an effect counts as playing until stopped.
    if (!joy::ReportsStatus(h_)) return true;
    return joy::EffectStatus(h_, id) == 1;
  }
  void Free(int id) override { joy::DestroyEffect(h_, id); }
  void SetAutoCenter(bool on) override { joy::SetAutocenter(h_, on ? 100 : 0); }

 private:
  static std::uint32_t Ms(DWORD us) { return us == INFINITE ? joy::kInfinity : us / 1000; }
  static std::uint16_t Ms16(DWORD us) { return static_cast<std::uint16_t>(std::min<DWORD>(us / 1000, 0x7FFF)); }
  // Force levels: DirectInput's nominal 10000 is the device's 32767.
  static std::int16_t Level(long v) {
    return static_cast<std::int16_t>(std::clamp<long>(v * 32767 / 10000, -32767, 32767));
  }
  static std::uint16_t ULevel(long v) {
    return static_cast<std::uint16_t>(std::clamp<long>(v * 65535 / 10000, 0, 65535));
  }

  // Which of the device's three axes an axis of the effect is: the joystick record's X, Y and Z.
  static int AxisIndex(DWORD axis) { return axis == 4 ? 1 : axis == 8 ? 2 : 0; }

  static bool Convert(const EffectParams& p, joy::Effect& e) {
    e = joy::Effect{};
    bool any = false;
    for (std::size_t i = 0; i < p.Axes.size() && i < p.Direction.size(); ++i) {
      e.Direction[AxisIndex(p.Axes[i])] = p.Direction[i];
      any = any || p.Direction[i] != 0;
    }
    if (!any && !p.Axes.empty()) e.Direction[AxisIndex(p.Axes[0])] = 1;
    const long gain = static_cast<long>(p.Gain);
    e.Length = Ms(p.Duration);
    e.Delay = Ms16(p.StartDelay);
    e.Button = p.TriggerButton == INFINITE ? 0 : static_cast<std::uint16_t>(p.TriggerButton + 1);
    e.Interval = Ms16(p.TriggerRepeatInterval);
    if (p.HasEnvelope) {
      e.AttackLength = Ms16(p.Envelope.dwAttackTime);
      e.AttackLevel = ULevel(static_cast<long>(p.Envelope.dwAttackLevel) * gain / 10000);
      e.FadeLength = Ms16(p.Envelope.dwFadeTime);
      e.FadeLevel = ULevel(static_cast<long>(p.Envelope.dwFadeLevel) * gain / 10000);
    }
    using K = joy::EffectKind;
    const DWORD kind = DIEFT_GETTYPE(EffectTypeOf(p.Type));
    if (kind == DIEFT_CONSTANTFORCE) {
      DICONSTANTFORCE c;
      if (!p.Specific(c)) return false;
      e.Kind = K::Constant;
      e.Level = Level(static_cast<long>(c.lMagnitude) * gain / 10000);
      return true;
    }
    if (kind == DIEFT_PERIODIC) {
      DIPERIODIC c;
      if (!p.Specific(c)) return false;
      e.Kind = p.Type == GUID_Triangle       ? K::Triangle
               : p.Type == GUID_SawtoothUp   ? K::SawtoothUp
               : p.Type == GUID_SawtoothDown ? K::SawtoothDown
                                             : K::Sine;
      e.Period = std::max<std::uint16_t>(Ms16(c.dwPeriod), 1);
      e.Magnitude = Level(static_cast<long>(std::min<DWORD>(c.dwMagnitude, 10000)) * gain / 10000);
      e.Offset = Level(c.lOffset);
      e.Phase = static_cast<std::uint16_t>(c.dwPhase % 36000);
      return true;
    }
    if (kind == DIEFT_CONDITION) {
      const std::size_t n = p.TypeSpecific.size() / sizeof(DICONDITION);
      if (n == 0) return false;
      e.Kind = p.Type == GUID_Damper     ? K::Damper
               : p.Type == GUID_Inertia  ? K::Inertia
               : p.Type == GUID_Friction ? K::Friction
                                         : K::Spring;
      for (std::size_t i = 0; i < p.Axes.size(); ++i) {
        DICONDITION c;
        std::memcpy(&c, p.TypeSpecific.data() + sizeof c * std::min(i, n - 1), sizeof c);
        const int a = AxisIndex(p.Axes[i]);
        // A saturation of 0 is read as "no limit", as drivers of the platform do.
        e.RightSaturation[a] = c.dwPositiveSaturation ? ULevel(c.dwPositiveSaturation) : 0xFFFF;
        e.LeftSaturation[a] = c.dwNegativeSaturation ? ULevel(c.dwNegativeSaturation) : 0xFFFF;
        e.RightCoefficient[a] = Level(static_cast<long>(c.lPositiveCoefficient) * gain / 10000);
        e.LeftCoefficient[a] = Level(static_cast<long>(c.lNegativeCoefficient) * gain / 10000);
        e.Deadband[a] = ULevel(std::max<LONG>(c.lDeadBand, 0));
        e.Center[a] = Level(c.lOffset);
      }
      return true;
    }
    return false;
  }

  joy::Haptic* h_;
};

}  // namespace

std::shared_ptr<Actuators> OpenHaptic(joy::Stick* stick) {
  joy::Haptic* h = joy::OpenHaptic(stick);
  if (!h) return nullptr;
  return std::make_shared<DeviceActuators>(h);
}

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Recording actuators

int RecordingActuators::Download(const EffectParams& params) {
  if (std::find(Types.begin(), Types.end(), params.Type) == Types.end()) return -1;
  if (Live().size() >= Capacity) return -1;
  Effect e;
  e.Params = params;
  Effects.push_back(e);
  return static_cast<int>(Effects.size() - 1);
}

namespace {
template <class V>
typename V::value_type* At(V& v, int id) {
  if (id < 0 || static_cast<std::size_t>(id) >= v.size() || v[static_cast<std::size_t>(id)].Freed) return nullptr;
  return &v[static_cast<std::size_t>(id)];
}
}  // namespace

bool RecordingActuators::Modify(int id, const EffectParams& params) {
  auto* e = At(Effects, id);
  if (!e) return false;
  e->Params = params;
  ++e->Modifications;
  return true;
}

bool RecordingActuators::Start(int id, DWORD iterations) {
  auto* e = At(Effects, id);
  if (!e) return false;
  e->Playing = true;
  e->Iterations = iterations;
  ++e->Starts;
  return true;
}

bool RecordingActuators::Stop(int id) {
  auto* e = At(Effects, id);
  if (!e) return false;
  e->Playing = false;
  return true;
}

bool RecordingActuators::Playing(int id) {
  auto* e = At(Effects, id);
  return e && e->Playing;
}

void RecordingActuators::Free(int id) {
  if (auto* e = At(Effects, id)) {
    e->Playing = false;
    e->Freed = true;
  }
}

std::vector<const RecordingActuators::Effect*> RecordingActuators::Live() const {
  std::vector<const Effect*> out;
  for (const Effect& e : Effects)
    if (!e.Freed) out.push_back(&e);
  return out;
}

void RecordingActuators::FinishAll() {
  for (Effect& e : Effects)
    if (e.Params.Duration != INFINITE) e.Playing = false;
}

}  // namespace dinput
