// The joystick and the mouse of the input component: axis scaling, stored tables, both joystick
// paths with SDL's virtual controllers, cooperative levels and mouse movement.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include "dx/DXInput.h"
#include "platform/dinput/DInput.h"
#include "platform/win/WinMouseHook.h"
#include "tests/dx/DXInputTestForm.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace dx;
using inputtest::TEffectsForm;

TEST(ScaleAxis, CentreDeadZoneAndEnds) {
  EXPECT_EQ(ScaleAxis(32767, 65535, 0, 300, 50), 0);
  EXPECT_EQ(ScaleAxis(65535, 65535, 0, 300, 50), 300);
  EXPECT_EQ(ScaleAxis(0, 65535, 0, 300, 50), -300);
  EXPECT_EQ(ScaleAxis(32767 + 16383, 65535, 0, 300, 50), 0);  // the dead zone's edge
  EXPECT_EQ(ScaleAxis(32767 + 16384, 65535, 0, 300, 50), MulDiv(1, 300, 16384));
  for (int p : {0, 1000, 32767, 50000, 65535}) EXPECT_EQ(ScaleAxis(p, 65535, 0, 300, 100), 0);
  EXPECT_EQ(ScaleAxis(5, 0, 0, 300, 0), 0);  // no span
  EXPECT_EQ(MulDiv(16385, 300, 16384), 300);
  EXPECT_EQ(MulDiv(-16384, 300, 16384), -300);
  EXPECT_EQ(MulDiv(3, 1, 2), 2);    // halves away from zero
  EXPECT_EQ(MulDiv(-3, 1, 2), -2);
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
  EXPECT_EQ(MulDiv(0x7FFFFFFF, 4, 2), -1);
}

class VirtualStick {
 public:
  explicit VirtualStick(int n = 1) {
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    for (int i = 0; i < n; ++i) {
      const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 3, 8, 1);
      sticks_.push_back(SDL_JoystickOpen(index));
    }
  }
  ~VirtualStick() {
    for (SDL_Joystick* j : sticks_) {
      const SDL_JoystickID id = SDL_JoystickInstanceID(j);
      SDL_JoystickClose(j);
      for (int i = 0; i < SDL_NumJoysticks(); ++i)
        if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    }
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  }
  SDL_Joystick* operator[](int i) const { return sticks_[static_cast<std::size_t>(i)]; }

 private:
  std::vector<SDL_Joystick*> sticks_;
};

class JoystickAndMouse : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication();
    dinput::ResetConfig();
  }
  void TearDown() override { dinput::ResetConfig(); }
  static fw::TOwned<TEffectsForm> Form(const std::string& props) {
    auto f = fw::MakeOwned<TEffectsForm>(nullptr, props);
    inputtest::Front(*f);
    return f;
  }
  static constexpr const char* kStored =
      "    Joystick.DeadZoneX = 50\n    Joystick.DeadZoneY = 50\n    Joystick.DeadZoneZ = 50\n"
      "    Joystick.RangeX = 300\n    Joystick.RangeY = 300\n    Joystick.RangeZ = 300\n";
};

TEST_F(JoystickAndMouse, TableEntriesAreClampedAndThePointOfViewHasNone) {
  auto f = Form(std::string(kStored) + "    UseDirectInput = False\n");
  TJoystick* j = f->DXInput->Joystick();
  j->SetDeadZone(0, 150);
  EXPECT_EQ(j->DeadZone(0), 100);
  j->SetRange(4, -5);
  EXPECT_EQ(j->Range(4), 0);
  j->SetDeadZone(32, 10);
  j->SetRange(32, 10);
  EXPECT_EQ(j->DeadZone(32), -1);
  EXPECT_EQ(j->Range(32), -1);
  j->SetDeadZone(271, 10);
  EXPECT_EQ(j->DeadZone(271), 0);
  EXPECT_EQ(j->Range(-4), 0);
  j->SetAutoCenter(false);
  EXPECT_EQ(j->GetCooperativeLevel(), 5u);
  f->DXInput->SetActiveOnly(false);
  EXPECT_EQ(j->GetCooperativeLevel(), 5u);
  j->SetAutoCenter(true);
  EXPECT_EQ(j->GetCooperativeLevel(), dinput::DISCL_NONEXCLUSIVE | dinput::DISCL_BACKGROUND);
}

TEST_F(JoystickAndMouse, AVirtualControllerReachesTheStatesThroughDirectInput) {
  VirtualStick stick;
  auto f = Form(kStored);
  TJoystick* j = f->DXInput->Joystick();
  ASSERT_TRUE(j->Initialized());
  ASSERT_NE(j->Device2(), nullptr);
  EXPECT_EQ(j->ButtonCount(), 8);
  EXPECT_EQ(j->Range(0), 300);
  EXPECT_EQ(j->Range(12), -1);  // no such axis: refused
  SDL_JoystickSetVirtualAxis(stick[0], 0, -32768);
  SDL_JoystickSetVirtualButton(stick[0], 2, 1);
  f->DXInput->Update();
  EXPECT_EQ(j->Joystate().lX, -300);
  EXPECT_TRUE(f->DXInput->States().Contains(stLeft));
  EXPECT_TRUE(f->DXInput->States().Contains(stButton3));
  EXPECT_FALSE(f->DXInput->States().Contains(stUp));
  SDL_JoystickSetVirtualAxis(stick[0], 0, 0);
  SDL_JoystickSetVirtualAxis(stick[0], 1, 32767);
  SDL_JoystickSetVirtualButton(stick[0], 2, 0);
  f->DXInput->Update();
  EXPECT_EQ(j->Joystate().lX, 0);
  EXPECT_EQ(f->DXInput->States(), TInputStates{stDown});
}

TEST_F(JoystickAndMouse, AVirtualControllerReachesTheStatesThroughTheMultimediaFunctions) {
  VirtualStick stick;
  auto f = Form(std::string(kStored) + "    UseDirectInput = False\n");
  TJoystick* j = f->DXInput->Joystick();
  ASSERT_TRUE(j->Initialized());
  EXPECT_EQ(j->JoystickIndex(), 0);
  EXPECT_EQ(j->ButtonCount(), 8);
  SDL_JoystickSetVirtualAxis(stick[0], 1, -32768);
  SDL_JoystickSetVirtualButton(stick[0], 7, 1);
  f->DXInput->Update();
  EXPECT_EQ(j->Joystate().lY, -300);
  EXPECT_EQ(f->DXInput->States(), (TInputStates{stUp, stButton8}));
}

TEST_F(JoystickAndMouse, IdOneWithOneControllerGivesNothingUnderBothPaths) {
  VirtualStick stick;
  auto f = Form(std::string(kStored) + "    Joystick.ID = 1\n");
  EXPECT_FALSE(f->DXInput->Joystick()->Initialized());
  EXPECT_EQ(f->DXInput->Joystick()->JoystickIndex(), -1);
  f->DXInput->SetUseDirectInput(false);
  EXPECT_TRUE(f->DXInput->Joystick()->Initialized());
  EXPECT_EQ(f->DXInput->Joystick()->JoystickIndex(), -1);
  f->DXInput->Update();
  EXPECT_TRUE(f->DXInput->Joystick()->States().Empty());
}

TEST_F(JoystickAndMouse, IdOneReadsTheSecondController) {
  VirtualStick sticks(2);
  auto f = Form(std::string(kStored) + "    Joystick.ID = 1\n");
  ASSERT_TRUE(f->DXInput->Joystick()->Initialized());
  SDL_JoystickSetVirtualAxis(sticks[1], 0, 32767);
  f->DXInput->Update();
  EXPECT_TRUE(f->DXInput->States().Contains(stRight));
  SDL_JoystickSetVirtualAxis(sticks[1], 0, 0);
  SDL_JoystickSetVirtualAxis(sticks[0], 0, 32767);
  f->DXInput->Update();
  EXPECT_FALSE(f->DXInput->States().Contains(stRight));
}

TEST_F(JoystickAndMouse, MouseMovementSetsAStateForOneFrame) {
  auto f = Form("    Mouse.Enabled = True\n    Mouse.BindInputStates = True\n");
  TMouse* m = f->DXInput->Mouse();
  ASSERT_TRUE(m->Initialized());
  f->DXInput->Update();
  win::RawMouseEvent ev;
  ev.DX = -1;
  win::NotifyRawMouse(ev);
  f->DXInput->Update();
  EXPECT_EQ(m->MouseState().lX, -1);
  EXPECT_EQ(f->DXInput->States(), TInputStates{stLeft});
  f->DXInput->Update();
  EXPECT_TRUE(f->DXInput->States().Empty());
  win::RawMouseEvent press;
  press.Button = 2;
  press.Down = true;
  win::NotifyRawMouse(press);
  ev.DX = 0;
  ev.DY = 4;
  win::NotifyRawMouse(ev);
  f->DXInput->Update();
  EXPECT_EQ(f->DXInput->States(), (TInputStates{stDown, stButton3}));
  press.Down = false;
  win::NotifyRawMouse(press);
}

TEST_F(JoystickAndMouse, AnEnabledMouseWithoutDirectInputIsRefused) {
  auto f = Form("    UseDirectInput = False\n");
  try {
    f->DXInput->Mouse()->SetEnabled(true);
    FAIL();
  } catch (const EDXInputError& e) {
    EXPECT_STREQ(e.what(), "DirectInput is necessary to use the mouse");
  }
}

}  // namespace
