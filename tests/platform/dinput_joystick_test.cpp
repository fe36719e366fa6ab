// Game controllers, force feedback and the system mouse of our DirectInput, and the multimedia
// joystick functions: SDL's virtual joysticks stand for real controllers, a scripted joystick
// with recording actuators for a force-feedback one.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <cstring>
#include <vector>

#include "platform/dinput/DInput.h"
#include "platform/dinput/DInputTesting.h"
#include "platform/kernel/Library.h"
#include "platform/mm/MMSystem.h"
#include "platform/win/WinMouseHook.h"
#include "platform/win/WinUser.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace dinput;

// A virtual controller attached for one test.
class VirtualStick {
 public:
  VirtualStick(int axes, int buttons, int hats) {
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    index_ = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, axes, buttons, hats);
    EXPECT_GE(index_, 0) << SDL_GetError();
    j_ = SDL_JoystickOpen(index_);
    EXPECT_NE(j_, nullptr) << SDL_GetError();
  }
  ~VirtualStick() {
    SDL_JoystickClose(j_);
    SDL_JoystickDetachVirtual(index_);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  }
  void Axis(int a, Sint16 v) { SDL_JoystickSetVirtualAxis(j_, a, v); }
  void Button(int b, bool down) { SDL_JoystickSetVirtualButton(j_, b, down ? 1 : 0); }
  void Hat(int h, Uint8 v) { SDL_JoystickSetVirtualHat(j_, h, v); }

 private:
  int index_ = -1;
  SDL_Joystick* j_ = nullptr;
};

// A data format built from what the device enumerates, as applications do.
struct EnumeratedFormat {
  std::vector<GUID> guids = std::vector<GUID>(64);
  std::vector<DIOBJECTDATAFORMAT> objects;
  DIDATAFORMAT format{};
  explicit EnumeratedFormat(IDirectInputDevice* d) {
    objects.reserve(64);
    d->EnumObjects(
        [](const DIDEVICEOBJECTINSTANCEA* o, void* ref) -> BOOL {
          auto* self = static_cast<EnumeratedFormat*>(ref);
          const std::size_t n = self->objects.size();
          self->guids[n] = o->guidType;
          self->objects.push_back({&self->guids[n], o->dwOfs, o->dwType, 0});
          return DIENUM_CONTINUE;
        },
        this, DIDFT_ALL);
    format = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_ABSAXIS, sizeof(DIJOYSTATE2),
              static_cast<DWORD>(objects.size()), objects.data()};
  }
};

class Joysticks : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication();
    ResetConfig();
    live_ = LiveObjectCount();
    ASSERT_EQ(DirectInputCreateA(kernel::GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, &di_, nullptr), DI_OK);
  }
  void TearDown() override {
    for (auto* d : devices_) d->Release();
    di_->Release();
    for (win::HWND h : windows_) win::DestroyWindow(h);
    EXPECT_EQ(LiveObjectCount(), live_);
    ResetConfig();
  }
  std::vector<DIDEVICEINSTANCEA> Enum(DWORD type, DWORD flags = DIEDFL_ATTACHEDONLY) {
    std::vector<DIDEVICEINSTANCEA> seen;
    EXPECT_EQ(di_->EnumDevices(
                  type,
                  [](const DIDEVICEINSTANCEA* i, void* ref) -> BOOL {
                    static_cast<std::vector<DIDEVICEINSTANCEA>*>(ref)->push_back(*i);
                    return DIENUM_CONTINUE;
                  },
                  &seen, flags),
              DI_OK);
    return seen;
  }
  IDirectInputDevice2* Open(REFGUID guid) {
    IDirectInputDevice* d = nullptr;
    EXPECT_EQ(di_->CreateDevice(guid, &d, nullptr), DI_OK);
    if (!d) return nullptr;
    devices_.push_back(d);
    void* two = nullptr;
    EXPECT_EQ(d->QueryInterface(IID_IDirectInputDevice2A, &two), DI_OK);
    devices_.push_back(static_cast<IDirectInputDevice2*>(two));
    return static_cast<IDirectInputDevice2*>(two);
  }
  win::HWND Window() {
    static const bool registered = [] {
      win::WNDCLASSA wc{};
      wc.lpfnWndProc = &win::DefWindowProcA;
      wc.lpszClassName = "JoystickTestWindow";
      return win::RegisterClassA(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    win::HWND h = win::CreateWindowExA(0, "JoystickTestWindow", "input", win::WS_OVERLAPPEDWINDOW, 10, 10, 200,
                                       150, nullptr, nullptr, nullptr, nullptr);
    windows_.push_back(h);
    return h;
  }

  IDirectInput* di_ = nullptr;
  std::vector<IUnknown*> devices_;
  std::vector<win::HWND> windows_;
  int live_ = 0;
};

TEST_F(Joysticks, AVirtualControllerIsEnumeratedDescribedAndReadWithRangeAndDeadZone) {
  VirtualStick stick(3, 4, 1);
  const auto seen = Enum(DIDEVTYPE_JOYSTICK);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(GET_DIDEVICE_TYPE(seen[0].dwDevType), DIDEVTYPE_JOYSTICK);
  EXPECT_EQ(Enum(0).size(), 3u);  // keyboard, mouse, the stick

  IDirectInputDevice2* d = Open(seen[0].guidInstance);
  ASSERT_NE(d, nullptr);
  DIDEVCAPS caps{};
  caps.dwSize = sizeof caps;
  ASSERT_EQ(d->GetCapabilities(&caps), DI_OK);
  EXPECT_EQ(caps.dwAxes, 3u);
  EXPECT_EQ(caps.dwButtons, 4u);
  EXPECT_EQ(caps.dwPOVs, 1u);
  EXPECT_FALSE(caps.dwFlags & DIDC_FORCEFEEDBACK);  // virtual sticks have no haptics

  EnumeratedFormat f(d);
  ASSERT_EQ(f.objects.size(), 8u);
  EXPECT_EQ(f.objects[1].dwOfs, 4u);  // Y
  EXPECT_EQ(f.objects[3].dwOfs, 32u);  // the hat
  EXPECT_EQ(f.objects[4].dwOfs, 48u);  // button 1
  ASSERT_EQ(d->SetDataFormat(&f.format), DI_OK);
  DIPROPRANGE range{{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), 0, DIPH_BYOFFSET}, -300, 300};
  ASSERT_EQ(d->SetProperty(MAKEDIPROP(DIPROP_RANGE), &range.diph), DI_OK);
  range.diph.dwObj = 4;
  ASSERT_EQ(d->SetProperty(MAKEDIPROP(DIPROP_RANGE), &range.diph), DI_OK);
  DIPROPDWORD dz{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_BYOFFSET}, 5000};
  ASSERT_EQ(d->SetProperty(MAKEDIPROP(DIPROP_DEADZONE), &dz.diph), DI_OK);
  dz.diph.dwObj = 12;  // no Rx on this stick
  EXPECT_EQ(d->SetProperty(MAKEDIPROP(DIPROP_DEADZONE), &dz.diph), DIERR_OBJECTNOTFOUND);

  DIJOYSTATE2 st{};
  EXPECT_EQ(d->GetDeviceState(sizeof st, &st), DIERR_NOTACQUIRED);
  ASSERT_EQ(d->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
  ASSERT_EQ(d->Acquire(), DI_OK);
  stick.Axis(0, 16000);   // inside half the half-range: the dead zone
  stick.Axis(1, -32768);  // full up
  stick.Button(2, true);
  stick.Hat(0, SDL_HAT_RIGHT);
  EXPECT_EQ(d->Poll(), DI_OK);
  ASSERT_EQ(d->GetDeviceState(sizeof st, &st), DI_OK);
  EXPECT_EQ(st.lX, 0);
  EXPECT_EQ(st.lY, -300);
  EXPECT_EQ(st.rgbButtons[2], 0x80);
  EXPECT_EQ(st.rgbButtons[0], 0);
  EXPECT_EQ(st.rgdwPOV[0], 9000u);
  stick.Axis(0, 32767);
  stick.Button(2, false);
  ASSERT_EQ(d->GetDeviceState(sizeof st, &st), DI_OK);
  EXPECT_EQ(st.lX, 300);
  EXPECT_EQ(st.rgbButtons[2], 0);
}

TEST_F(Joysticks, WithoutControllersEnumerationIsEmptyAndTheGenericJoystickIsMissing) {
  EXPECT_TRUE(Enum(DIDEVTYPE_JOYSTICK).empty());
  IDirectInputDevice* d = nullptr;
  EXPECT_EQ(di_->CreateDevice(GUID_Joystick, &d, nullptr), DIERR_DEVICENOTREG);
  mm::JOYCAPSA caps{};
  EXPECT_EQ(mm::joyGetDevCapsA(0, &caps, sizeof caps), mm::JOYERR_PARMS);
  mm::JOYINFOEX info{};
  info.dwSize = sizeof info;
  EXPECT_EQ(mm::joyGetPosEx(0, &info), mm::JOYERR_PARMS);
}

TEST_F(Joysticks, MultimediaFunctionsReportCapabilitiesAndPositions) {
  VirtualStick stick(3, 6, 1);
  mm::JOYCAPSA caps{};
  EXPECT_EQ(mm::joyGetDevCapsA(0, &caps, sizeof caps - 1), mm::MMSYSERR_INVALPARAM);
  ASSERT_EQ(mm::joyGetDevCapsA(0, &caps, sizeof caps), mm::JOYERR_NOERROR);
  EXPECT_EQ(caps.wXmin, 0u);
  EXPECT_EQ(caps.wXmax, 65535u);
  EXPECT_EQ(caps.wNumButtons, 6u);
  EXPECT_EQ(caps.wNumAxes, 3u);
  EXPECT_TRUE(caps.wCaps & mm::JOYCAPS_HASZ);
  EXPECT_TRUE(caps.wCaps & mm::JOYCAPS_HASPOV);
  EXPECT_EQ(mm::joyGetDevCapsA(1, &caps, sizeof caps), mm::JOYERR_PARMS);

  stick.Axis(0, -32768);
  stick.Axis(1, 32767);
  stick.Button(0, true);
  stick.Button(5, true);
  stick.Hat(0, SDL_HAT_LEFTUP);
  mm::JOYINFOEX info{};
  info.dwSize = sizeof info;
  info.dwFlags = 0x4C7;
  ASSERT_EQ(mm::joyGetPosEx(0, &info), mm::JOYERR_NOERROR);
  EXPECT_EQ(info.dwXpos, 0u);
  EXPECT_EQ(info.dwYpos, 65535u);
  EXPECT_EQ(info.dwButtons, 0x21u);
  EXPECT_EQ(info.dwButtonNumber, 2u);
  EXPECT_EQ(info.dwPOV, 31500u);
  info.dwSize = 40;
  EXPECT_EQ(mm::joyGetPosEx(0, &info), mm::MMSYSERR_INVALPARAM);
}

class ForceFeedback : public Joysticks {
 protected:
  void SetUp() override {
    Joysticks::SetUp();
    stick_ = std::make_shared<ScriptedJoystick>(2, 4, 0);
    actuators_ = std::make_shared<RecordingActuators>();
    stick_->ForceFeedback = actuators_;
    InputConfig c = DefaultConfig();
    c.Devices.push_back(stick_);
    c.SystemJoysticks = false;
    SetConfig(c);
  }
  std::shared_ptr<ScriptedJoystick> stick_;
  std::shared_ptr<RecordingActuators> actuators_;
};

TEST_F(ForceFeedback, EffectsAreOfferedCheckedDownloadedOnlyWhenHeldExclusivelyAndStoppedWhenLetGo) {
  EXPECT_EQ(Enum(DIDEVTYPE_JOYSTICK, DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK).size(), 1u);
  IDirectInputDevice2* d = Open(GUID_Joystick);
  ASSERT_NE(d, nullptr);
  DIDEVCAPS caps{};
  caps.dwSize = sizeof caps;
  ASSERT_EQ(d->GetCapabilities(&caps), DI_OK);
  EXPECT_TRUE(caps.dwFlags & DIDC_FORCEFEEDBACK);

  std::vector<GUID> periodic;
  d->EnumEffects(
      [](const DIEFFECTINFOA* i, void* ref) -> BOOL {
        static_cast<std::vector<GUID>*>(ref)->push_back(i->guid);
        return DIENUM_CONTINUE;
      },
      &periodic, DIEFT_PERIODIC);
  EXPECT_EQ(periodic, (std::vector<GUID>{GUID_Sine, GUID_Square}));

  EnumeratedFormat f(d);
  ASSERT_EQ(d->SetDataFormat(&f.format), DI_OK);
  DWORD axes[2] = {0, 4};
  LONG dir[2] = {-10000, 10000};
  DIENVELOPE env{sizeof(DIENVELOPE), 0, 0, 0, 0};
  DIPERIODIC per{14142, 0, 0, 30000};
  DIEFFECT eff{sizeof(DIEFFECT), DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS, 50000, 0, 10000, INFINITE, 0, 2, axes, dir,
               &env, sizeof per, &per, 0};

  IDirectInputEffect* e = nullptr;
  eff.cbTypeSpecificParams = 12;
  EXPECT_EQ(d->CreateEffect(GUID_Sine, &eff, &e, nullptr), DIERR_INVALIDPARAM);
  EXPECT_EQ(e, nullptr);
  eff.cbTypeSpecificParams = sizeof per;
  EXPECT_EQ(d->CreateEffect(GUID_RampForce, &eff, &e, nullptr), DIERR_DEVICENOTREG);
  ASSERT_EQ(d->CreateEffect(GUID_Sine, &eff, &e, nullptr), DI_DOWNLOADSKIPPED);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Start(1, 0), DIERR_NOTACQUIRED);

  win::HWND w = Window();
  win::ShowWindow(w, win::SW_SHOW);
  win::SetForegroundWindow(w);
  ASSERT_EQ(d->SetCooperativeLevel(w, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
  ASSERT_EQ(d->Acquire(), DI_OK);
  EXPECT_EQ(e->Start(1, 0), DIERR_NOTEXCLUSIVEACQUIRED);
  ASSERT_EQ(d->Unacquire(), DI_OK);
  ASSERT_EQ(d->SetCooperativeLevel(w, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DI_OK);
  ASSERT_EQ(d->Acquire(), DI_OK);
  ASSERT_EQ(e->Start(1, 0), DI_OK);
  ASSERT_EQ(actuators_->Live().size(), 1u);
  const auto& played = *actuators_->Live()[0];
  EXPECT_EQ(played.Params.Type, GUID_Sine);
  EXPECT_EQ(played.Params.Duration, 50000u);
  EXPECT_EQ(played.Params.Direction, (std::vector<LONG>{-10000, 10000}));
  DIPERIODIC got{};
  ASSERT_TRUE(played.Params.Specific(got));
  EXPECT_EQ(got.dwMagnitude, 14142u);
  EXPECT_EQ(got.dwPeriod, 30000u);
  DWORD status = 0;
  EXPECT_EQ(e->GetEffectStatus(&status), DI_OK);
  EXPECT_EQ(status, DIEGES_PLAYING);
  actuators_->FinishAll();
  EXPECT_EQ(e->GetEffectStatus(&status), DI_OK);
  EXPECT_EQ(status, 0u);

  // Changing parameters of a downloaded effect reaches the device; with DIEP_START it plays.
  per.dwMagnitude = 5000;
  ASSERT_EQ(e->SetParameters(&eff, DIEP_TYPESPECIFICPARAMS | DIEP_START), DI_OK);
  EXPECT_EQ(played.Modifications, 1);
  EXPECT_TRUE(played.Playing);

  // Letting the device go stops and unloads; the next start downloads again.
  ASSERT_EQ(d->Unacquire(), DI_OK);
  EXPECT_TRUE(actuators_->Live().empty());
  EXPECT_EQ(e->Start(1, 0), DIERR_NOTACQUIRED);
  ASSERT_EQ(d->Acquire(), DI_OK);
  EXPECT_EQ(e->Start(1, 0), DI_OK);
  EXPECT_EQ(actuators_->Live().size(), 1u);
  e->Release();
  EXPECT_TRUE(actuators_->Live().empty());
}

TEST_F(ForceFeedback, ScriptedAxesAreScaledAndAutoCentreReachesTheActuators) {
  IDirectInputDevice2* d = Open(GUID_Joystick);
  ASSERT_NE(d, nullptr);
  EnumeratedFormat f(d);
  ASSERT_EQ(d->SetDataFormat(&f.format), DI_OK);
  DIPROPDWORD ac{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, DIPROPAUTOCENTER_OFF};
  ASSERT_EQ(d->SetProperty(MAKEDIPROP(DIPROP_AUTOCENTER), &ac.diph), DI_OK);
  EXPECT_FALSE(actuators_->AutoCenter);
  DIPROPRANGE range{{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, -1000, 1000};
  ASSERT_EQ(d->SetProperty(MAKEDIPROP(DIPROP_RANGE), &range.diph), DI_OK);
  ASSERT_EQ(d->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
  ASSERT_EQ(d->Acquire(), DI_OK);
  stick_->Axes[0] = 0;
  stick_->Axes[1] = 65535;
  DIJOYSTATE2 st{};
  ASSERT_EQ(d->GetDeviceState(sizeof st, &st), DI_OK);
  EXPECT_EQ(st.lX, -1000);
  EXPECT_EQ(st.lY, 1000);
}

TEST_F(Joysticks, TheMouseReportsMovementSinceTheLastReadAndItsButtons) {
  IDirectInputDevice* d = nullptr;
  ASSERT_EQ(di_->CreateDevice(GUID_SysMouse, &d, nullptr), DI_OK);
  devices_.push_back(d);
  GUID x = GUID_XAxis, y = GUID_YAxis, z = GUID_ZAxis, b = GUID_Button;
  DIOBJECTDATAFORMAT objs[] = {{&x, 0, DIDFT_RELAXIS | DIDFT_ANYINSTANCE, 0},
                               {&y, 4, DIDFT_RELAXIS | DIDFT_ANYINSTANCE, 0},
                               {&z, 8, DIDFT_RELAXIS | DIDFT_ANYINSTANCE, 0},
                               {&b, 12, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
                               {&b, 13, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0}};
  DIDATAFORMAT f{sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, sizeof(DIMOUSESTATE), 5, objs};
  ASSERT_EQ(d->SetDataFormat(&f), DI_OK);
  ASSERT_EQ(d->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
  Mouse()->Move(7, 7);  // before acquiring: not seen
  ASSERT_EQ(d->Acquire(), DI_OK);
  win::RawMouseEvent ev;
  ev.DX = -1;
  ev.DY = 3;
  ev.Wheel = 120;
  win::NotifyRawMouse(ev);
  win::RawMouseEvent press;
  press.Button = 1;
  press.Down = true;
  win::NotifyRawMouse(press);
  DIMOUSESTATE st{};
  ASSERT_EQ(d->GetDeviceState(sizeof st, &st), DI_OK);
  EXPECT_EQ(st.lX, -1);
  EXPECT_EQ(st.lY, 3);
  EXPECT_EQ(st.lZ, 120);
  EXPECT_EQ(st.rgbButtons[0], 0);
  EXPECT_EQ(st.rgbButtons[1], 0x80);
  ASSERT_EQ(d->GetDeviceState(sizeof st, &st), DI_OK);
  EXPECT_EQ(st.lX, 0);
  EXPECT_EQ(st.lY, 0);
  EXPECT_EQ(st.rgbButtons[1], 0x80);  // still held
}

}  // namespace
