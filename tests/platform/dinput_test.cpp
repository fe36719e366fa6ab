// DirectInput of our own: the module, the devices it describes, data formats and cooperative
// levels, and the system keyboard fed by the window system's key events.
#include <gtest/gtest.h>

#include <QKeyEvent>

#include <cstring>
#include <vector>

#include "platform/dinput/DInput.h"
#include "platform/dinput/DInputTesting.h"
#include "platform/kernel/Library.h"
#include "platform/win/QtWindows.h"
#include "platform/win/QtWindowsTesting.h"
#include "platform/win/WinKeyHook.h"
#include "platform/win/WinUser.h"
#include "platform/win/WinUserTesting.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace dinput;

win::HINSTANCE Instance() { return kernel::GetModuleHandleA(nullptr); }

// The keyboard's own format: the whole 256-byte key record.
struct KeyboardFormat {
  KeyboardFormat() = default;
  KeyboardFormat(const KeyboardFormat&) = delete;  // points into itself
  GUID key = GUID_Key;
  DIOBJECTDATAFORMAT object{&key, 1, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0};
  DIDATAFORMAT format{sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, 256, 1, &object};
};

class DInput : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication();
    ResetConfig();
    live_ = LiveObjectCount();
  }
  void TearDown() override {
    for (auto* d : devices_) d->Release();
    if (di_) di_->Release();
    for (win::HWND h : windows_) win::DestroyWindow(h);
    EXPECT_EQ(LiveObjectCount(), live_);
    ResetConfig();
  }
  IDirectInput* DI() {
    if (!di_) EXPECT_EQ(DirectInputCreateA(Instance(), DIRECTINPUT_VERSION, &di_, nullptr), DI_OK);
    return di_;
  }
  IDirectInputDevice* Make(REFGUID guid) {
    IDirectInputDevice* d = nullptr;
    EXPECT_EQ(DI()->CreateDevice(guid, &d, nullptr), DI_OK);
    if (d) devices_.push_back(d);
    return d;
  }
  IDirectInputDevice* Keyboard() {
    IDirectInputDevice* d = Make(GUID_SysKeyboard);
    EXPECT_EQ(d->SetDataFormat(&kf_.format), DI_OK);
    return d;
  }
  win::HWND Window() {
    static const bool registered = [] {
      win::WNDCLASSA wc{};
      wc.lpfnWndProc = &win::DefWindowProcA;
      wc.lpszClassName = "DInputTestWindow";
      return win::RegisterClassA(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    win::HWND h = win::CreateWindowExA(0, "DInputTestWindow", "input", win::WS_OVERLAPPEDWINDOW, 10, 10, 200,
                                       150, nullptr, nullptr, nullptr, nullptr);
    windows_.push_back(h);
    return h;
  }
  std::vector<BYTE> Read(IDirectInputDevice* d, HRESULT expect = DI_OK) {
    std::vector<BYTE> keys(256, 0x55);
    EXPECT_EQ(d->GetDeviceState(256, keys.data()), expect);
    return keys;
  }

  KeyboardFormat kf_;
  IDirectInput* di_ = nullptr;
  std::vector<IDirectInputDevice*> devices_;
  std::vector<win::HWND> windows_;
  int live_ = 0;
};

TEST_F(DInput, TheModuleIsLoadableAndCreationChecksItsArguments) {
  win::HMODULE m = kernel::LoadLibraryA("dinput.dll");
  ASSERT_NE(m, nullptr);
  auto create = kernel::ProcAs<LPDIRECTINPUTCREATEA>(kernel::GetProcAddress(m, "DirectInputCreateA"));
  ASSERT_NE(create, nullptr);
  IDirectInput* di = reinterpret_cast<IDirectInput*>(1);
  EXPECT_EQ(create(nullptr, DIRECTINPUT_VERSION, &di, nullptr), DIERR_INVALIDPARAM);
  EXPECT_EQ(di, nullptr);
  EXPECT_EQ(create(Instance(), 0x0800, &di, nullptr), DIERR_OLDDIRECTINPUTVERSION);
  EXPECT_EQ(create(Instance(), DIRECTINPUT_VERSION, &di, reinterpret_cast<IUnknown*>(8)), DIERR_NOAGGREGATION);
  ASSERT_EQ(create(Instance(), 0x0500, &di, nullptr), DI_OK);
  void* same = nullptr;
  EXPECT_EQ(di->QueryInterface(IID_IDirectInputA, &same), DI_OK);
  EXPECT_EQ(same, di);
  EXPECT_EQ(di->QueryInterface(IID_IDirectInputDeviceA, &same), DIERR_NOINTERFACE);
  EXPECT_EQ(di->Release(), 1u);
  EXPECT_EQ(di->Release(), 0u);
  kernel::FreeLibrary(m);

  ResetConfig();
  SetCreateFails(true);
  EXPECT_EQ(create(Instance(), DIRECTINPUT_VERSION, &di, nullptr), DIERR_GENERIC);
  EXPECT_EQ(di, nullptr);
  // The failure lasts until the configuration is set again.
  SetConfig(DefaultConfig());
  ASSERT_EQ(create(Instance(), DIRECTINPUT_VERSION, &di, nullptr), DI_OK);
  EXPECT_EQ(di->Release(), 0u);
}

TEST_F(DInput, DevicesAreEnumeratedAndCreatedAsConfigured) {
  InputConfig keyboard_only;
  keyboard_only.Devices.push_back(std::make_shared<SystemKeyboard>());
  keyboard_only.SystemJoysticks = false;
  SetConfig(keyboard_only);
  std::vector<DIDEVICEINSTANCEA> seen;
  auto collect = [](const DIDEVICEINSTANCEA* i, void* ref) -> BOOL {
    static_cast<std::vector<DIDEVICEINSTANCEA>*>(ref)->push_back(*i);
    return DIENUM_CONTINUE;
  };
  ASSERT_EQ(DI()->EnumDevices(0, collect, &seen, DIEDFL_ATTACHEDONLY), DI_OK);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].guidInstance, GUID_SysKeyboard);
  EXPECT_EQ(GET_DIDEVICE_TYPE(seen[0].dwDevType), DIDEVTYPE_KEYBOARD);
  seen.clear();
  EXPECT_EQ(DI()->EnumDevices(DIDEVTYPE_JOYSTICK, collect, &seen, DIEDFL_ATTACHEDONLY), DI_OK);
  EXPECT_TRUE(seen.empty());

  IDirectInputDevice* d = nullptr;
  EXPECT_EQ(DI()->CreateDevice(GUID_SysMouse, &d, nullptr), DIERR_DEVICENOTREG);
  EXPECT_EQ(d, nullptr);
  d = Make(GUID_SysKeyboard);
  ASSERT_NE(d, nullptr);
  DIDEVCAPS caps{};
  EXPECT_EQ(d->GetCapabilities(&caps), DIERR_INVALIDPARAM);  // size not filled in
  caps.dwSize = sizeof caps;
  ASSERT_EQ(d->GetCapabilities(&caps), DI_OK);
  EXPECT_EQ(caps.dwFlags & DIDC_ATTACHED, DIDC_ATTACHED);
  EXPECT_GT(caps.dwButtons, 100u);
  // Every key is an object at its own key code.
  std::vector<DWORD> offsets;
  d->EnumObjects([](const DIDEVICEOBJECTINSTANCEA* o, void* ref) -> BOOL {
    static_cast<std::vector<DWORD>*>(ref)->push_back(o->dwOfs);
    return DIENUM_CONTINUE;
  }, &offsets, DIDFT_BUTTON);
  EXPECT_EQ(offsets.size(), caps.dwButtons);
  EXPECT_NE(std::find(offsets.begin(), offsets.end(), DWORD{DIK_UP}), offsets.end());

  void* two = nullptr;
  ASSERT_EQ(d->QueryInterface(IID_IDirectInputDevice2A, &two), DI_OK);
  static_cast<IDirectInputDevice2*>(two)->Release();

  // A keyboard that cannot be created, one without the second interface, none at all.
  auto kb = std::make_shared<SystemKeyboard>();
  kb->SecondVersion = false;
  SetConfig({.Devices = {kb}});
  IDirectInputDevice* old = Make(GUID_SysKeyboard);
  EXPECT_EQ(old->QueryInterface(IID_IDirectInputDevice2A, &two), DIERR_NOINTERFACE);
  DeviceTesting::SetRefusesCreation(*kb, true);
  EXPECT_EQ(DI()->CreateDevice(GUID_SysKeyboard, &d, nullptr), DIERR_DEVICENOTREG);
  SetConfig({.Devices = {}});
  EXPECT_EQ(DI()->CreateDevice(GUID_SysKeyboard, &d, nullptr), DIERR_DEVICENOTREG);
}

TEST_F(DInput, DataFormatsAreCheckedAgainstTheDeviceAndTheStateSize) {
  IDirectInputDevice* d = Make(GUID_SysKeyboard);
  std::vector<BYTE> keys(256);
  EXPECT_EQ(d->Acquire(), DIERR_INVALIDPARAM);  // no format yet
  EXPECT_EQ(d->GetDeviceState(256, keys.data()), DIERR_INVALIDPARAM);

  auto try_format = [&](auto change) {
    KeyboardFormat f;
    change(f);
    return d->SetDataFormat(&f.format);
  };
  EXPECT_EQ(try_format([](KeyboardFormat& f) { f.format.dwObjSize = 16 + 1; }), DIERR_INVALIDPARAM);
  EXPECT_EQ(try_format([](KeyboardFormat& f) { f.format.dwDataSize = 255; }), DIERR_INVALIDPARAM);
  EXPECT_EQ(try_format([](KeyboardFormat& f) { f.object.dwOfs = 256; }), DIERR_INVALIDPARAM);  // past the record
  // The keyboard has no axis; an optional one is simply left out.
  EXPECT_EQ(try_format([](KeyboardFormat& f) {
              f.key = GUID_XAxis;
              f.object.dwType = DIDFT_AXIS | DIDFT_ANYINSTANCE;
            }),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(try_format([](KeyboardFormat& f) {
              f.key = GUID_XAxis;
              f.object.dwOfs = 4;
              f.object.dwType = DIDFT_AXIS | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL;
            }),
            DI_OK);

  ASSERT_EQ(d->SetDataFormat(&kf_.format), DI_OK);
  EXPECT_EQ(d->GetDeviceState(256, keys.data()), DIERR_NOTACQUIRED);
  ASSERT_EQ(d->Acquire(), DI_OK);
  EXPECT_EQ(d->Acquire(), DI_NOEFFECT);
  EXPECT_EQ(d->SetDataFormat(&kf_.format), DIERR_ACQUIRED);
  EXPECT_EQ(d->GetDeviceState(128, keys.data()), DIERR_INVALIDPARAM);

  // A small format places one chosen key where the application wants it.
  IDirectInputDevice* e = Make(GUID_SysKeyboard);
  GUID key = GUID_Key;
  DIOBJECTDATAFORMAT one{&key, 2, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(DIK_UP), 0};
  DIDATAFORMAT small{sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, 4, 1, &one};
  ASSERT_EQ(e->SetDataFormat(&small), DI_OK);
  ASSERT_EQ(e->Acquire(), DI_OK);
  dinput::Keyboard()->SetKey(DIK_UP, true);
  dinput::Keyboard()->SetKey(DIK_K, true);
  BYTE four[4] = {9, 9, 9, 9};
  ASSERT_EQ(e->GetDeviceState(4, four), DI_OK);
  EXPECT_EQ(four[0], 0);
  EXPECT_EQ(four[2], 0x80);
  EXPECT_EQ(four[3], 0);
  keys = Read(d);
  EXPECT_EQ(keys[DIK_UP], 0x80);
  EXPECT_EQ(keys[DIK_K], 0x80);
  EXPECT_EQ(keys[DIK_L], 0);
  EXPECT_EQ(d->Unacquire(), DI_OK);
  EXPECT_EQ(d->Unacquire(), DI_NOEFFECT);
  Read(d, DIERR_NOTACQUIRED);
}

TEST_F(DInput, ForegroundDevicesFollowTheForegroundWindow) {
  win::HWND a = Window();
  win::HWND b = Window();
  win::ShowWindow(a, win::SW_SHOW);
  win::ShowWindow(b, win::SW_SHOW);
  IDirectInputDevice* d = Keyboard();
  // Foreground and exclusive levels need a top-level window; the flags must make sense.
  EXPECT_EQ(d->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), E_HANDLE);
  EXPECT_EQ(d->SetCooperativeLevel(a, DISCL_NONEXCLUSIVE | DISCL_EXCLUSIVE | DISCL_FOREGROUND), DIERR_INVALIDPARAM);
  EXPECT_EQ(d->SetCooperativeLevel(a, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DIERR_UNSUPPORTED);
  ASSERT_EQ(d->SetCooperativeLevel(a, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);

  win::SetForegroundWindow(b);
  EXPECT_EQ(d->Acquire(), DIERR_OTHERAPPHASPRIO);
  win::SetForegroundWindow(a);
  ASSERT_EQ(d->Acquire(), DI_OK);
  EXPECT_EQ(d->SetCooperativeLevel(a, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  Read(d);  // the same terms: still acquired
  EXPECT_EQ(d->SetCooperativeLevel(a, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
  Read(d, DIERR_NOTACQUIRED);  // new terms: to be acquired again
  ASSERT_EQ(d->SetCooperativeLevel(a, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  ASSERT_EQ(d->Acquire(), DI_OK);
  // Leaving the foreground loses the device: once "lost", then "not acquired".
  win::SetForegroundWindow(b);
  Read(d, DIERR_INPUTLOST);
  Read(d, DIERR_NOTACQUIRED);
  EXPECT_EQ(d->Acquire(), DIERR_OTHERAPPHASPRIO);
  win::SetForegroundWindow(a);
  EXPECT_EQ(d->Acquire(), DI_OK);
  Read(d);

  // A background device is not bothered by the foreground, only by being taken away.
  IDirectInputDevice* bg = Keyboard();
  ASSERT_EQ(bg->SetCooperativeLevel(a, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
  ASSERT_EQ(bg->Acquire(), DI_OK);
  win::SetForegroundWindow(b);
  Read(bg);
  LoseDevices();
  Read(bg, DIERR_INPUTLOST);
  EXPECT_EQ(bg->Acquire(), DI_OK);
  Read(bg);
}

TEST_F(DInput, ExclusiveAccessIsRefusedToASecondOwner) {
  win::HWND a = Window();
  win::ShowWindow(a, win::SW_SHOW);
  win::SetForegroundWindow(a);
  IDirectInputDevice* first = Keyboard();
  IDirectInputDevice* second = Keyboard();
  IDirectInputDevice* shared = Keyboard();
  for (auto* d : {first, second})
    ASSERT_EQ(d->SetCooperativeLevel(a, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  ASSERT_EQ(shared->SetCooperativeLevel(a, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  ASSERT_EQ(first->Acquire(), DI_OK);
  EXPECT_EQ(second->Acquire(), DIERR_OTHERAPPHASPRIO);
  EXPECT_EQ(shared->Acquire(), DI_OK);  // non-exclusive access goes along
  first->Unacquire();
  EXPECT_EQ(second->Acquire(), DI_OK);
  // Releasing the holder frees the device too.
  EXPECT_EQ(first->Acquire(), DIERR_OTHERAPPHASPRIO);
}

TEST_F(DInput, KeyEventsOfOurWindowsDriveTheKeyboardByPosition) {
  win::HWND a = Window();
  win::ShowWindow(a, win::SW_SHOW);
  win::SetForegroundWindow(a);
  IDirectInputDevice* d = Keyboard();
  ASSERT_EQ(d->SetCooperativeLevel(a, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  ASSERT_EQ(d->Acquire(), DI_OK);
  auto send = [&](QEvent::Type type, int key, quint32 native, bool repeat = false,
                  Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent ev(type, key, mods, native, 0, 0, QString(), repeat);
    win::DeliverQtEvent(a, &ev);
  };
  win::BYTE table[256];

  // An X11 key code (evdev + 8) names the key's place, whatever the layout makes of it: the
  // Cyrillic letter on the K key is still DIK_K, and the window system's table agrees.
  send(QEvent::KeyPress, 0x043B /* л */, 37 + 8);
  auto keys = Read(d);
  EXPECT_EQ(keys[DIK_K], 0x80);
  win::GetKeyboardState(table);
  EXPECT_TRUE(table['K'] & 0x80);
  // An auto-repeated release is not a release.
  send(QEvent::KeyRelease, 0x043B, 37 + 8, true);
  EXPECT_EQ(Read(d)[DIK_K], 0x80);
  send(QEvent::KeyRelease, 0x043B, 37 + 8);
  EXPECT_EQ(Read(d)[DIK_K], 0);
  win::GetKeyboardState(table);
  EXPECT_FALSE(table['K'] & 0x80);

  // Extended keys land in the upper half: right Ctrl (evdev 97), the up arrow without a native
  // code (offscreen) from its virtual key, keypad Enter.
  send(QEvent::KeyPress, Qt::Key_Control, 97 + 8);
  send(QEvent::KeyPress, Qt::Key_Up, 0);
  send(QEvent::KeyPress, Qt::Key_Enter, 96 + 8, false, Qt::KeypadModifier);
  keys = Read(d);
  EXPECT_EQ(keys[DIK_RCONTROL], 0x80);
  EXPECT_EQ(keys[DIK_LCONTROL], 0);
  EXPECT_EQ(keys[DIK_UP], 0x80);
  EXPECT_EQ(keys[0x48], 0);  // the keypad 8 shares the scan code, not the key
  EXPECT_EQ(keys[DIK_NUMPADENTER], 0x80);
  EXPECT_EQ(keys[DIK_RETURN], 0);

  // The user switches to another program while holding keys: they are not seen released, so
  // they are let go; coming back finds the keyboard empty.
  win::SimulateAppSwitch(nullptr);
  Read(d, DIERR_INPUTLOST);
  win::SimulateAppSwitch(a);
  ASSERT_EQ(d->Acquire(), DI_OK);
  keys = Read(d);
  EXPECT_EQ(std::count(keys.begin(), keys.end(), 0x80), 0);
  send(QEvent::KeyRelease, Qt::Key_Control, 97 + 8);
  send(QEvent::KeyRelease, Qt::Key_Up, 0);
  send(QEvent::KeyRelease, Qt::Key_Enter, 96 + 8, false, Qt::KeypadModifier);
}

TEST_F(DInput, ScanCodesOfKeyPositions) {
  BYTE scan = 0;
  bool ext = true;
  ASSERT_TRUE(win::ScanFromEvdev(1, scan, ext));  // Esc
  EXPECT_EQ(KeyCode(scan, ext), DIK_ESCAPE);
  ASSERT_TRUE(win::ScanFromEvdev(106, scan, ext));  // right arrow
  EXPECT_EQ(KeyCode(scan, ext), DIK_RIGHT);
  ASSERT_TRUE(win::ScanFromEvdev(119, scan, ext));  // Pause
  EXPECT_EQ(KeyCode(scan, ext), DIK_PAUSE);
  EXPECT_FALSE(win::ScanFromEvdev(0, scan, ext));
  EXPECT_FALSE(win::ScanFromEvdev(240, scan, ext));
  ASSERT_TRUE(win::ScanFromVirtualKey(win::VK_PAUSE, scan, ext));
  EXPECT_EQ(KeyCode(scan, ext), DIK_PAUSE);
  ASSERT_TRUE(win::ScanFromVirtualKey(win::VK_NUMLOCK, scan, ext));
  EXPECT_EQ(KeyCode(scan, ext), DIK_NUMLOCK);
  ASSERT_TRUE(win::ScanFromVirtualKey(win::VK_LEFT, scan, ext));
  EXPECT_EQ(KeyCode(scan, ext), DIK_LEFT);
  EXPECT_FALSE(win::ScanFromVirtualKey(0, scan, ext));
}

}  // namespace
