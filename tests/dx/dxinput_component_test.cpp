// The input component on a form: states and their edges, the shared DirectInput object, the
// form's window and its activation, and real key events through the form's window.
#include <gtest/gtest.h>

#include <QKeyEvent>

#include "dx/DXClass.h"
#include "dx/DXInput.h"
#include "framework/ClassBuilder.h"
#include "framework/Streaming.h"
#include "platform/dinput/DInput.h"
#include "platform/dinput/DInputTesting.h"
#include "platform/win/QtWindows.h"
#include "platform/win/QtWindowsTesting.h"
#include "platform/win/WinUser.h"
#include "platform/win/WinUserTesting.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace dx;

class TInputForm : public TDXForm {
  FW_CLASS(TInputForm, TDXForm)
 public:
  explicit TInputForm(fw::TComponent* AOwner, bool UseDirectInput = true) : TDXForm(AOwner) {
    LoadFromDescription(std::string(R"(object InputForm: TInputForm
  Left = 50
  Top = 40
  ClientHeight = 200
  ClientWidth = 300
  Caption = 'Input'
  object DXInput: TDXInput
    ActiveOnly = True
    Joystick.BindInputStates = True
    Joystick.Enabled = True
    Joystick.ForceFeedback = True
    Joystick.AutoCenter = True
    Joystick.DeadZoneX = 50
    Joystick.DeadZoneY = 50
    Joystick.DeadZoneZ = 50
    Joystick.ID = 0
    Joystick.RangeX = 300
    Joystick.RangeY = 300
    Joystick.RangeZ = 300
    Keyboard.BindInputStates = True
    Keyboard.Enabled = True
    Keyboard.ForceFeedback = False
    Mouse.BindInputStates = False
    Mouse.Enabled = False
    Mouse.ForceFeedback = False
    UseDirectInput = )") + (UseDirectInput ? "True" : "False") + R"(
  end
end
)");
  }
  TDXInput* DXInput = nullptr;
};

FW_REGISTER(TInputForm, [](fw::TClassBuilder<TInputForm>& b) { b.Field("DXInput", &TInputForm::DXInput); })

class DXInputComponent : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication();
    dinput::ResetConfig();
    dinput::Keyboard()->ReleaseAll();
    ClearKeyTable();
  }
  void TearDown() override {
    dinput::ResetConfig();
    ClearKeyTable();
  }
  static void ClearKeyTable() {
    win::BYTE none[256] = {};
    win::SetKeyboardState(none);
  }
  // Shows the form and brings it to the foreground.
  static void Front(fw::TCustomForm& f) {
    f.Show();
    win::SetForegroundWindow(f.Handle());
  }
  static void Key(win::BYTE code, bool down) { dinput::Keyboard()->SetKey(code, down); }
};

TEST_F(DXInputComponent, TheStoredComponentComesUpWithItsDevices) {
  auto form = fw::MakeOwned<TInputForm>(nullptr);
  TDXInput* in = form->DXInput;
  ASSERT_NE(in, nullptr);
  EXPECT_NE(in->DInput(), nullptr);
  ASSERT_EQ(in->Devices().size(), 3u);
  EXPECT_EQ(in->Devices()[0], in->Joystick());
  EXPECT_EQ(in->Devices()[1], in->Keyboard());
  EXPECT_EQ(in->Devices()[2], in->Mouse());
  EXPECT_TRUE(in->Keyboard()->Initialized());
  EXPECT_NE(in->Keyboard()->Device(), nullptr);
  EXPECT_EQ(in->Keyboard()->ButtonCount(), 32);
  EXPECT_EQ(in->Keyboard()->GetCooperativeLevel(), dinput::DISCL_NONEXCLUSIVE | dinput::DISCL_FOREGROUND);
  // Joystick and mouse keep what the form stores but stay closed.
  EXPECT_FALSE(in->Joystick()->Initialized());
  EXPECT_EQ(in->Joystick()->Range(0), 300);
  EXPECT_EQ(in->Joystick()->DeadZone(8), 50);
  EXPECT_FALSE(in->Mouse()->Enabled());
  EXPECT_FALSE(in->Mouse()->BindInputStates());
  EXPECT_FALSE(in->Mouse()->Initialized());
  // Whole devices cannot be assigned.
  EXPECT_THROW(in->SetKeyboard(in->Keyboard()), fw::Exception);
}

TEST_F(DXInputComponent, WithoutAFormAmongItsOwnersTheComponentIsRefused) {
  try {
    TDXInput in(nullptr);
    FAIL() << "made without a form";
  } catch (const EDXInputError& e) {
    EXPECT_STREQ(e.what(), "Form not found");
  }
  auto holder = fw::MakeOwned<fw::TComponent>(nullptr);
  EXPECT_THROW(fw::MakeComponent<TDXInput>(holder.get()), EDXInputError);
  EXPECT_EQ(holder->ComponentCount(), 0);
  // A form further up the owner chain will do.
  auto form = fw::MakeOwned<fw::TForm>(nullptr);
  auto* middle = fw::MakeComponent<fw::TComponent>(form.get());
  auto* in = fw::MakeComponent<TDXInput>(middle);
  EXPECT_EQ(in->Form(), form.get());
}

TEST_F(DXInputComponent, TheDefaultTableTurnsKeysIntoStatesWithEdges) {
  auto form = fw::MakeOwned<TInputForm>(nullptr);
  TDXInput* in = form->DXInput;
  Front(*form);
  // DIK 40, the apostrophe key, is virtual key 39, the right arrow's code.
  Key(dinput::DIK_APOSTROPHE, true);
  Key(dinput::DIK_SPACE, true);
  in->Update();
  EXPECT_EQ(in->States(), (TInputStates{stRight, stButton1}));
  EXPECT_TRUE(in->Keyboard()->Keys(39));
  EXPECT_TRUE(in->Keyboard()->Keys(32));

  // The application takes button 1 out while it is held: it stays out until pressed again.
  in->SetStates(in->States() - TInputStates{stButton1});
  in->Update();
  in->Update();
  EXPECT_EQ(in->States(), TInputStates{stRight});
  Key(dinput::DIK_SPACE, false);
  in->Update();
  Key(dinput::DIK_SPACE, true);
  in->Update();
  EXPECT_EQ(in->States(), (TInputStates{stRight, stButton1}));
  // What the application puts in stays until its keys are next released.
  in->SetStates(in->States() + TInputStates{stButton9});
  in->Update();
  EXPECT_TRUE(in->States().Contains(stButton9));

  // Another window in the foreground: every device reports nothing, and the component's states
  // go out as releases - except what only the application had put in.
  auto other = fw::MakeOwned<fw::TForm>(nullptr);
  Front(*other);
  in->Update();
  EXPECT_TRUE(in->Keyboard()->States().Empty());
  EXPECT_EQ(in->States(), TInputStates{stButton9});
  in->SetStates({});

  // Back in front, with the keys still held, they come back as presses after the activation.
  Front(*form);
  Key(dinput::DIK_COMMA, true);
  Key(dinput::DIK_PERIOD, true);
  in->Update();
  EXPECT_EQ(in->States(), (TInputStates{stRight, stButton1}));
  EXPECT_TRUE(in->Keyboard()->Keys(44));
  EXPECT_TRUE(in->Keyboard()->Keys(46));
}

TEST_F(DXInputComponent, CodesOutsideOneTo255NeverCountAndADisabledKeyboardReportsNothing) {
  auto form = fw::MakeOwned<TInputForm>(nullptr);
  TDXInput* in = form->DXInput;
  Front(*form);
  TKeyboard* kb = in->Keyboard();
  kb->Assigns[static_cast<int>(stButton3)] = {0, -1, 256};
  kb->Assigns[static_cast<int>(stButton4)] = {0, 0, 70};  // F? no: virtual key 70 is F
  // Every key down: the device reports them all.
  for (int k = 1; k < 256; ++k) Key(static_cast<win::BYTE>(k), true);
  in->Update();
  EXPECT_FALSE(in->States().Contains(stButton3));
  EXPECT_TRUE(in->States().Contains(stButton4));
  EXPECT_FALSE(kb->Keys(0) && kb->States().Contains(stButton3));

  kb->SetEnabled(false);
  EXPECT_FALSE(kb->Initialized());
  EXPECT_EQ(kb->Device(), nullptr);
  for (int frame = 0; frame < 3; ++frame) {
    in->Update();
    EXPECT_TRUE(kb->States().Empty());
    EXPECT_TRUE(in->States().Empty());
  }
  kb->SetEnabled(true);
  EXPECT_TRUE(kb->Initialized());
}

TEST_F(DXInputComponent, WithoutDirectInputTheKeyboardReadsTheWindowSystemsTable) {
  auto form = fw::MakeOwned<TInputForm>(nullptr, false);
  TDXInput* in = form->DXInput;
  EXPECT_EQ(in->DInput(), nullptr);
  EXPECT_TRUE(in->Keyboard()->Initialized());
  EXPECT_EQ(in->Keyboard()->Device(), nullptr);
  Front(*form);
  Key(dinput::DIK_K, true);  // the device is not asked
  in->Update();
  EXPECT_TRUE(in->States().Empty());
  win::RecordKey('J', true);
  win::RecordKey(win::VK_F2, true);
  in->Update();
  EXPECT_EQ(in->States(), (TInputStates{stDown, stButton9}));
  // An enabled mouse needs DirectInput.
  try {
    in->Mouse()->SetEnabled(true);
    FAIL() << "the mouse came up without DirectInput";
  } catch (const EDXInputError& e) {
    EXPECT_STREQ(e.what(), "DirectInput is necessary to use the mouse");
  }
  // DirectInput missing altogether is no error either.
  dinput::ResetConfig();
  dinput::SetCreateFails(true);
  auto hidden = fw::MakeOwned<TInputForm>(nullptr);
  EXPECT_EQ(hidden->DXInput->DInput(), nullptr);
  EXPECT_TRUE(hidden->DXInput->Keyboard()->Initialized());
}

TEST_F(DXInputComponent, ALostDeviceIsTakenAgainByTheReadAndAMissingKeyboardStaysClosed) {
  auto form = fw::MakeOwned<TInputForm>(nullptr);
  TDXInput* in = form->DXInput;
  Front(*form);
  Key(dinput::DIK_H, true);
  in->Update();
  EXPECT_EQ(in->States(), TInputStates{stLeft});
  dinput::LoseDevices();
  in->Update();
  EXPECT_EQ(in->States(), TInputStates{stLeft});

  auto kb = std::make_shared<dinput::SystemKeyboard>();
  dinput::DeviceTesting::SetRefusesCreation(*kb, true);
  dinput::SetConfig({.Devices = {kb}});
  in->Initialize();
  EXPECT_FALSE(in->Keyboard()->Initialized());
  EXPECT_EQ(in->Keyboard()->ButtonCount(), 0);
  in->Update();
  EXPECT_TRUE(in->States().Empty());
}

TEST_F(DXInputComponent, TheSharedDirectInputObjectIsHeldByEveryComponentUsingIt) {
  const int base = dinput::LiveObjectCount();
  const int holds = TCustomDXInput::DirectInputHoldCount();
  auto a = fw::MakeOwned<TInputForm>(nullptr);
  auto b = fw::MakeOwned<TInputForm>(nullptr);
  EXPECT_EQ(TCustomDXInput::DirectInputHoldCount(), holds + 2);
  EXPECT_EQ(a->DXInput->DInput(), b->DXInput->DInput());
  b->DXInput->SetUseDirectInput(false);
  EXPECT_EQ(TCustomDXInput::DirectInputHoldCount(), holds + 1);
  EXPECT_EQ(b->DXInput->DInput(), nullptr);
  b.reset();
  a.reset();
  EXPECT_EQ(TCustomDXInput::DirectInputHoldCount(), 0);
  EXPECT_LT(dinput::LiveObjectCount(), base + 1);  // the object went with the last hold
}

TEST_F(DXInputComponent, ANewFormWindowGetsTheCooperativeLevelsAgain) {
  auto form = fw::MakeOwned<TInputForm>(nullptr);
  TDXInput* in = form->DXInput;
  Front(*form);
  const win::HWND before = form->Handle();
  form->RecreateWnd();
  ASSERT_NE(form->Handle(), before);
  Front(*form);
  Key(dinput::DIK_L, true);
  in->Update();
  EXPECT_EQ(in->States(), TInputStates{stRight});
  // Switching ActiveOnly off asks for background access: the form need not be in front.
  in->SetActiveOnly(false);
  EXPECT_EQ(in->Keyboard()->GetCooperativeLevel(), dinput::DISCL_NONEXCLUSIVE | dinput::DISCL_BACKGROUND);
  auto other = fw::MakeOwned<fw::TForm>(nullptr);
  Front(*other);
  in->Update();
  EXPECT_EQ(in->States(), TInputStates{stRight});
}

TEST_F(DXInputComponent, RealKeyEventsThroughTheFormsWindow) {
  auto form = fw::MakeOwned<TInputForm>(nullptr);
  TDXInput* in = form->DXInput;
  Front(*form);
  auto send = [&](QEvent::Type type, int key, quint32 native) {
    QKeyEvent ev(type, key, Qt::NoModifier, native, 0, 0);
    win::DeliverQtEvent(form->Handle(), &ev);
  };
  // Offscreen there is no native code: the key's place comes from the key itself.
  send(QEvent::KeyPress, Qt::Key_K, 0);
  in->Update();
  EXPECT_EQ(in->States(), TInputStates{stUp});
  send(QEvent::KeyRelease, Qt::Key_K, 0);
  in->Update();
  EXPECT_TRUE(in->States().Empty());
  // On X11 the key code tells the place: the down arrow (evdev 108) is stDown.
  send(QEvent::KeyPress, Qt::Key_Down, 108 + 8);
  in->Update();
  EXPECT_EQ(in->States(), TInputStates{stDown});
  send(QEvent::KeyRelease, Qt::Key_Down, 108 + 8);
  in->Update();
  EXPECT_TRUE(in->States().Empty());
}

}  // namespace
