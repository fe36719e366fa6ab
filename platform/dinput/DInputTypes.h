#pragma once
// DirectInput's published shapes: result codes, flags, GUIDs, records and interfaces. Records
// that hold addresses (the data-format records) are as large as the pointers make them here;
// their size fields are checked against sizeof.
#include <cstdint>

#include "platform/base/Types.h"
#include "platform/base/Unknown.h"

namespace dinput {

using win::BOOL;
using win::FAILED;
using win::SUCCEEDED;
using win::BYTE;
using win::DWORD;
using win::GUID;
using win::HINSTANCE;
using win::HRESULT;
using win::HWND;
using win::IID_IUnknown;
using win::IUnknown;
using win::LONG;
using win::REFGUID;
using win::REFIID;
using win::WORD;

inline constexpr DWORD DIRECTINPUT_VERSION = 0x0700;

// ---- Results ----------------------------------------------------------------------------------
inline constexpr HRESULT DI_OK = 0;
inline constexpr HRESULT DI_NOTATTACHED = 1;
inline constexpr HRESULT DI_BUFFEROVERFLOW = 1;
inline constexpr HRESULT DI_PROPNOEFFECT = 1;
inline constexpr HRESULT DI_NOEFFECT = 1;
inline constexpr HRESULT DI_POLLEDDEVICE = 2;
inline constexpr HRESULT DI_DOWNLOADSKIPPED = 3;
inline constexpr HRESULT DI_EFFECTRESTARTED = 4;
inline constexpr HRESULT DI_TRUNCATED = 8;
inline constexpr HRESULT DI_SETTINGSNOTSAVED = 0xB;

constexpr HRESULT Err(std::uint32_t v) { return static_cast<HRESULT>(v); }
inline constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = Err(0x8007047E);
inline constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = Err(0x80070481);
inline constexpr HRESULT DIERR_BADDRIVERVER = Err(0x80070077);
inline constexpr HRESULT DIERR_DEVICENOTREG = Err(0x80040154);
inline constexpr HRESULT DIERR_NOTFOUND = Err(0x80070002);
inline constexpr HRESULT DIERR_OBJECTNOTFOUND = Err(0x80070002);
inline constexpr HRESULT DIERR_INVALIDPARAM = Err(0x80070057);
inline constexpr HRESULT DIERR_NOINTERFACE = Err(0x80004002);
inline constexpr HRESULT DIERR_GENERIC = Err(0x80004005);
inline constexpr HRESULT DIERR_OUTOFMEMORY = Err(0x8007000E);
inline constexpr HRESULT DIERR_UNSUPPORTED = Err(0x80004001);
inline constexpr HRESULT DIERR_NOTINITIALIZED = Err(0x80070015);
inline constexpr HRESULT DIERR_ALREADYINITIALIZED = Err(0x800704DF);
inline constexpr HRESULT DIERR_NOAGGREGATION = Err(0x80040110);
inline constexpr HRESULT DIERR_OTHERAPPHASPRIO = Err(0x80070005);
inline constexpr HRESULT DIERR_INPUTLOST = Err(0x8007001E);
inline constexpr HRESULT DIERR_ACQUIRED = Err(0x800700AA);
inline constexpr HRESULT DIERR_NOTACQUIRED = Err(0x8007000C);
inline constexpr HRESULT DIERR_READONLY = Err(0x80070005);
inline constexpr HRESULT DIERR_HANDLEEXISTS = Err(0x80070005);
inline constexpr HRESULT DIERR_PENDING = Err(0x8000000A);
inline constexpr HRESULT DIERR_INSUFFICIENTPRIVS = Err(0x80040200);
inline constexpr HRESULT DIERR_DEVICEFULL = Err(0x80040201);
inline constexpr HRESULT DIERR_MOREDATA = Err(0x80040202);
inline constexpr HRESULT DIERR_NOTDOWNLOADED = Err(0x80040203);
inline constexpr HRESULT DIERR_HASEFFECTS = Err(0x80040204);
inline constexpr HRESULT DIERR_NOTEXCLUSIVEACQUIRED = Err(0x80040205);
inline constexpr HRESULT DIERR_INCOMPLETEEFFECT = Err(0x80040206);
inline constexpr HRESULT DIERR_NOTBUFFERED = Err(0x80040207);
inline constexpr HRESULT DIERR_EFFECTPLAYING = Err(0x80040208);
inline constexpr HRESULT DIERR_UNPLUGGED = Err(0x80040209);
inline constexpr HRESULT DIERR_REPORTFULL = Err(0x8004020A);
inline constexpr HRESULT E_HANDLE = win::E_HANDLE;
inline constexpr HRESULT E_POINTER = win::E_POINTER;

// ---- Flags ------------------------------------------------------------------------------------
inline constexpr DWORD DISCL_EXCLUSIVE = 0x1;
inline constexpr DWORD DISCL_NONEXCLUSIVE = 0x2;
inline constexpr DWORD DISCL_FOREGROUND = 0x4;
inline constexpr DWORD DISCL_BACKGROUND = 0x8;
inline constexpr DWORD DISCL_NOWINKEY = 0x10;

inline constexpr DWORD DIDEVTYPE_DEVICE = 1;
inline constexpr DWORD DIDEVTYPE_MOUSE = 2;
inline constexpr DWORD DIDEVTYPE_KEYBOARD = 3;
inline constexpr DWORD DIDEVTYPE_JOYSTICK = 4;
inline constexpr DWORD DIDEVTYPE_HID = 0x00010000;
inline constexpr DWORD DIDEVTYPEKEYBOARD_PCENH = 4;
inline constexpr DWORD GET_DIDEVICE_TYPE(DWORD t) { return t & 0xFF; }
inline constexpr DWORD GET_DIDEVICE_SUBTYPE(DWORD t) { return (t >> 8) & 0xFF; }

inline constexpr DWORD DIEDFL_ALLDEVICES = 0x0;
inline constexpr DWORD DIEDFL_ATTACHEDONLY = 0x1;
inline constexpr DWORD DIEDFL_FORCEFEEDBACK = 0x100;

inline constexpr BOOL DIENUM_STOP = 0;
inline constexpr BOOL DIENUM_CONTINUE = 1;

inline constexpr DWORD DIDF_ABSAXIS = 0x1;
inline constexpr DWORD DIDF_RELAXIS = 0x2;

inline constexpr DWORD DIDFT_ALL = 0x0;
inline constexpr DWORD DIDFT_RELAXIS = 0x1;
inline constexpr DWORD DIDFT_ABSAXIS = 0x2;
inline constexpr DWORD DIDFT_AXIS = 0x3;
inline constexpr DWORD DIDFT_PSHBUTTON = 0x4;
inline constexpr DWORD DIDFT_TGLBUTTON = 0x8;
inline constexpr DWORD DIDFT_BUTTON = 0xC;
inline constexpr DWORD DIDFT_POV = 0x10;
inline constexpr DWORD DIDFT_COLLECTION = 0x40;
inline constexpr DWORD DIDFT_NODATA = 0x80;
inline constexpr DWORD DIDFT_ANYINSTANCE = 0x00FFFF00;
inline constexpr DWORD DIDFT_INSTANCEMASK = DIDFT_ANYINSTANCE;
inline constexpr DWORD DIDFT_FFACTUATOR = 0x01000000;
inline constexpr DWORD DIDFT_FFEFFECTTRIGGER = 0x02000000;
inline constexpr DWORD DIDFT_NOCOLLECTION = 0x00FFFF00;
inline constexpr DWORD DIDFT_OPTIONAL = 0x80000000;
inline constexpr DWORD DIDFT_MAKEINSTANCE(DWORD n) { return (n & 0xFFFF) << 8; }
inline constexpr DWORD DIDFT_GETTYPE(DWORD n) { return n & 0xFF; }
inline constexpr DWORD DIDFT_GETINSTANCE(DWORD n) { return (n >> 8) & 0xFFFF; }

inline constexpr DWORD DIDC_ATTACHED = 0x1;
inline constexpr DWORD DIDC_POLLEDDEVICE = 0x2;
inline constexpr DWORD DIDC_EMULATED = 0x4;
inline constexpr DWORD DIDC_POLLEDDATAFORMAT = 0x8;
inline constexpr DWORD DIDC_FORCEFEEDBACK = 0x100;

inline constexpr DWORD DIDOI_FFACTUATOR = 0x1;
inline constexpr DWORD DIDOI_FFEFFECTTRIGGER = 0x2;
inline constexpr DWORD DIDOI_POLLED = 0x8000;

inline constexpr DWORD DIPH_DEVICE = 0;
inline constexpr DWORD DIPH_BYOFFSET = 1;
inline constexpr DWORD DIPH_BYID = 2;

// Property identifiers are small numbers passed where the interface takes a GUID reference.
inline constexpr std::uintptr_t DIPROP_BUFFERSIZE = 1;
inline constexpr std::uintptr_t DIPROP_AXISMODE = 2;
inline constexpr std::uintptr_t DIPROP_GRANULARITY = 3;
inline constexpr std::uintptr_t DIPROP_RANGE = 4;
inline constexpr std::uintptr_t DIPROP_DEADZONE = 5;
inline constexpr std::uintptr_t DIPROP_SATURATION = 6;
inline constexpr std::uintptr_t DIPROP_FFGAIN = 7;
inline constexpr std::uintptr_t DIPROP_FFLOAD = 8;
inline constexpr std::uintptr_t DIPROP_AUTOCENTER = 9;
inline constexpr std::uintptr_t DIPROP_CALIBRATIONMODE = 10;
inline constexpr DWORD DIPROPAUTOCENTER_OFF = 0;
inline constexpr DWORD DIPROPAUTOCENTER_ON = 1;
inline constexpr LONG DIPROPRANGE_NOMIN = static_cast<LONG>(0x80000000u);
inline constexpr LONG DIPROPRANGE_NOMAX = 0x7FFFFFFF;
// The property as the interface takes it, a GUID reference. The platform passes the small
// number itself as the address; here each number has a GUID of its own, found by its address.
inline constexpr GUID kDIPropertyIds[11] = {};
inline const GUID& MAKEDIPROP(std::uintptr_t prop) { return kDIPropertyIds[prop < 11 ? prop : 0]; }
inline std::uintptr_t DIPROP_ID(const GUID& prop) {
  for (std::uintptr_t i = 1; i < 11; ++i)
    if (&prop == &kDIPropertyIds[i]) return i;
  return 0;
}

// ---- GUIDs ------------------------------------------------------------------------------------
inline constexpr GUID IID_IDirectInputA{0x89521360, 0xAA8A, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID IID_IDirectInput2A{0x5944E662, 0xAA8A, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID IID_IDirectInputDeviceA{0x5944E680, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID IID_IDirectInputDevice2A{0x5944E682, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID IID_IDirectInputEffect{0xE7E1F7C0, 0x88D2, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};

inline constexpr GUID GUID_SysMouse{0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_SysKeyboard{0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Joystick{0x6F1D2B70, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

inline constexpr GUID GUID_XAxis{0xA36D02E0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_YAxis{0xA36D02E1, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_ZAxis{0xA36D02E2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RxAxis{0xA36D02F4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RyAxis{0xA36D02F5, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RzAxis{0xA36D02E3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Slider{0xA36D02E4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Button{0xA36D02F0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Key{0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_POV{0xA36D02F2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Unknown{0xA36D02F3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// ---- Key codes: the set-1 scan code, extended keys with 0x80 added ----------------------------
inline constexpr BYTE DIK_ESCAPE = 0x01;
inline constexpr BYTE DIK_RETURN = 0x1C;
inline constexpr BYTE DIK_LCONTROL = 0x1D;
inline constexpr BYTE DIK_A = 0x1E;
inline constexpr BYTE DIK_H = 0x23;
inline constexpr BYTE DIK_J = 0x24;
inline constexpr BYTE DIK_K = 0x25;
inline constexpr BYTE DIK_L = 0x26;
inline constexpr BYTE DIK_APOSTROPHE = 0x28;
inline constexpr BYTE DIK_Z = 0x2C;
inline constexpr BYTE DIK_X = 0x2D;
inline constexpr BYTE DIK_COMMA = 0x33;
inline constexpr BYTE DIK_PERIOD = 0x34;
inline constexpr BYTE DIK_SPACE = 0x39;
inline constexpr BYTE DIK_F2 = 0x3C;
inline constexpr BYTE DIK_NUMLOCK = 0x45;
inline constexpr BYTE DIK_NUMPAD8 = 0x48;
inline constexpr BYTE DIK_NUMPADENTER = 0x9C;
inline constexpr BYTE DIK_RCONTROL = 0x9D;
inline constexpr BYTE DIK_PAUSE = 0xC5;
inline constexpr BYTE DIK_UP = 0xC8;
inline constexpr BYTE DIK_LEFT = 0xCB;
inline constexpr BYTE DIK_RIGHT = 0xCD;
inline constexpr BYTE DIK_DOWN = 0xD0;

// ---- Records ----------------------------------------------------------------------------------
struct DIOBJECTDATAFORMAT {
  const GUID* pguid;
  DWORD dwOfs;
  DWORD dwType;
  DWORD dwFlags;
};

struct DIDATAFORMAT {
  DWORD dwSize;
  DWORD dwObjSize;
  DWORD dwFlags;
  DWORD dwDataSize;
  DWORD dwNumObjs;
  DIOBJECTDATAFORMAT* rgodf;
};

struct DIDEVCAPS {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwDevType;
  DWORD dwAxes;
  DWORD dwButtons;
  DWORD dwPOVs;
  DWORD dwFFSamplePeriod;
  DWORD dwFFMinTimeResolution;
  DWORD dwFirmwareRevision;
  DWORD dwHardwareRevision;
  DWORD dwFFDriverVersion;
};
static_assert(sizeof(DIDEVCAPS) == 44);

struct DIDEVICEINSTANCEA {
  DWORD dwSize;
  GUID guidInstance;
  GUID guidProduct;
  DWORD dwDevType;
  char tszInstanceName[260];
  char tszProductName[260];
  GUID guidFFDriver;
  WORD wUsagePage;
  WORD wUsage;
};
static_assert(sizeof(DIDEVICEINSTANCEA) == 580);

struct DIDEVICEOBJECTINSTANCEA {
  DWORD dwSize;
  GUID guidType;
  DWORD dwOfs;
  DWORD dwType;
  DWORD dwFlags;
  char tszName[260];
  DWORD dwFFMaxForce;
  DWORD dwFFForceResolution;
  WORD wCollectionNumber;
  WORD wDesignatorIndex;
  WORD wUsagePage;
  WORD wUsage;
  DWORD dwDimension;
  WORD wExponent;
  WORD wReserved;
};
static_assert(sizeof(DIDEVICEOBJECTINSTANCEA) == 316);

struct DIPROPHEADER {
  DWORD dwSize;
  DWORD dwHeaderSize;
  DWORD dwObj;
  DWORD dwHow;
};
struct DIPROPDWORD {
  DIPROPHEADER diph;
  DWORD dwData;
};
struct DIPROPRANGE {
  DIPROPHEADER diph;
  LONG lMin;
  LONG lMax;
};
static_assert(sizeof(DIPROPHEADER) == 16 && sizeof(DIPROPDWORD) == 20 && sizeof(DIPROPRANGE) == 24);

struct DIDEVICEOBJECTDATA {
  DWORD dwOfs;
  DWORD dwData;
  DWORD dwTimeStamp;
  DWORD dwSequence;
};

struct DIMOUSESTATE {
  LONG lX;
  LONG lY;
  LONG lZ;
  BYTE rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16);

struct DIJOYSTATE2 {
  LONG lX, lY, lZ;
  LONG lRx, lRy, lRz;
  LONG rglSlider[2];
  DWORD rgdwPOV[4];
  BYTE rgbButtons[128];
  LONG lVX, lVY, lVZ;
  LONG lVRx, lVRy, lVRz;
  LONG rglVSlider[2];
  LONG lAX, lAY, lAZ;
  LONG lARx, lARy, lARz;
  LONG rglASlider[2];
  LONG lFX, lFY, lFZ;
  LONG lFRx, lFRy, lFRz;
  LONG rglFSlider[2];
};
static_assert(sizeof(DIJOYSTATE2) == 272);

// ---- Force feedback ---------------------------------------------------------------------------
inline constexpr GUID GUID_ConstantForce{0x13541C20, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
inline constexpr GUID GUID_RampForce{0x13541C21, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
inline constexpr GUID GUID_Square{0x13541C22, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
inline constexpr GUID GUID_Sine{0x13541C23, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
inline constexpr GUID GUID_Triangle{0x13541C24, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
inline constexpr GUID GUID_SawtoothUp{0x13541C25, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
inline constexpr GUID GUID_SawtoothDown{0x13541C26, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
inline constexpr GUID GUID_Spring{0x13541C27, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
inline constexpr GUID GUID_Damper{0x13541C28, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
inline constexpr GUID GUID_Inertia{0x13541C29, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
inline constexpr GUID GUID_Friction{0x13541C2A, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
inline constexpr GUID GUID_CustomForce{0x13541C2B, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};

inline constexpr DWORD DIEFT_ALL = 0x0;
inline constexpr DWORD DIEFT_CONSTANTFORCE = 0x1;
inline constexpr DWORD DIEFT_RAMPFORCE = 0x2;
inline constexpr DWORD DIEFT_PERIODIC = 0x3;
inline constexpr DWORD DIEFT_CONDITION = 0x4;
inline constexpr DWORD DIEFT_CUSTOMFORCE = 0x5;
inline constexpr DWORD DIEFT_HARDWARE = 0xFF;
inline constexpr DWORD DIEFT_FFATTACK = 0x200;
inline constexpr DWORD DIEFT_FFFADE = 0x400;
inline constexpr DWORD DIEFT_SATURATION = 0x800;
inline constexpr DWORD DIEFT_POSNEGCOEFFICIENTS = 0x1000;
inline constexpr DWORD DIEFT_POSNEGSATURATION = 0x2000;
inline constexpr DWORD DIEFT_DEADBAND = 0x4000;
inline constexpr DWORD DIEFT_GETTYPE(DWORD n) { return n & 0xFF; }

inline constexpr DWORD DI_DEGREES = 100;
inline constexpr DWORD DI_FFNOMINALMAX = 10000;
inline constexpr DWORD DI_SECONDS = 1000000;
inline constexpr DWORD INFINITE = 0xFFFFFFFF;

inline constexpr DWORD DIEFF_OBJECTIDS = 0x01;
inline constexpr DWORD DIEFF_OBJECTOFFSETS = 0x02;
inline constexpr DWORD DIEFF_CARTESIAN = 0x10;
inline constexpr DWORD DIEFF_POLAR = 0x20;
inline constexpr DWORD DIEFF_SPHERICAL = 0x40;

inline constexpr DWORD DIEP_DURATION = 0x001;
inline constexpr DWORD DIEP_SAMPLEPERIOD = 0x002;
inline constexpr DWORD DIEP_GAIN = 0x004;
inline constexpr DWORD DIEP_TRIGGERBUTTON = 0x008;
inline constexpr DWORD DIEP_TRIGGERREPEATINTERVAL = 0x010;
inline constexpr DWORD DIEP_AXES = 0x020;
inline constexpr DWORD DIEP_DIRECTION = 0x040;
inline constexpr DWORD DIEP_ENVELOPE = 0x080;
inline constexpr DWORD DIEP_TYPESPECIFICPARAMS = 0x100;
inline constexpr DWORD DIEP_STARTDELAY = 0x200;
inline constexpr DWORD DIEP_ALLPARAMS_DX5 = 0x1FF;
inline constexpr DWORD DIEP_ALLPARAMS = 0x3FF;
inline constexpr DWORD DIEP_START = 0x20000000;
inline constexpr DWORD DIEP_NORESTART = 0x40000000;
inline constexpr DWORD DIEP_NODOWNLOAD = 0x80000000;

inline constexpr DWORD DIES_SOLO = 0x1;
inline constexpr DWORD DIES_NODOWNLOAD = 0x80000000;
inline constexpr DWORD DIEGES_PLAYING = 0x1;
inline constexpr DWORD DIEGES_EMULATED = 0x2;

inline constexpr DWORD DISFFC_RESET = 0x1;
inline constexpr DWORD DISFFC_STOPALL = 0x2;
inline constexpr DWORD DISFFC_PAUSE = 0x4;
inline constexpr DWORD DISFFC_CONTINUE = 0x8;
inline constexpr DWORD DISFFC_SETACTUATORSON = 0x10;
inline constexpr DWORD DISFFC_SETACTUATORSOFF = 0x20;

struct DIENVELOPE {
  DWORD dwSize;
  DWORD dwAttackLevel;
  DWORD dwAttackTime;
  DWORD dwFadeLevel;
  DWORD dwFadeTime;
};
static_assert(sizeof(DIENVELOPE) == 20);

struct DICONSTANTFORCE {
  LONG lMagnitude;
};
struct DIRAMPFORCE {
  LONG lStart;
  LONG lEnd;
};
struct DIPERIODIC {
  DWORD dwMagnitude;
  LONG lOffset;
  DWORD dwPhase;
  DWORD dwPeriod;
};
struct DICONDITION {
  LONG lOffset;
  LONG lPositiveCoefficient;
  LONG lNegativeCoefficient;
  DWORD dwPositiveSaturation;
  DWORD dwNegativeSaturation;
  LONG lDeadBand;
};
static_assert(sizeof(DICONSTANTFORCE) == 4 && sizeof(DIPERIODIC) == 16 && sizeof(DICONDITION) == 24);

struct DIEFFECT {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwDuration;
  DWORD dwSamplePeriod;
  DWORD dwGain;
  DWORD dwTriggerButton;
  DWORD dwTriggerRepeatInterval;
  DWORD cAxes;
  DWORD* rgdwAxes;
  LONG* rglDirection;
  DIENVELOPE* lpEnvelope;
  DWORD cbTypeSpecificParams;
  void* lpvTypeSpecificParams;
  DWORD dwStartDelay;
};

struct DIEFFECTINFOA {
  DWORD dwSize;
  GUID guid;
  DWORD dwEffType;
  DWORD dwStaticParams;
  DWORD dwDynamicParams;
  char tszName[260];
};

struct DIEFFESCAPE {
  DWORD dwSize;
  DWORD dwCommand;
  void* lpvInBuffer;
  DWORD cbInBuffer;
  void* lpvOutBuffer;
  DWORD cbOutBuffer;
};

// ---- Interfaces -------------------------------------------------------------------------------
class IDirectInputEffect : public IUnknown {
 public:
  virtual HRESULT Initialize(HINSTANCE instance, DWORD version, REFGUID guid) = 0;
  virtual HRESULT GetEffectGuid(GUID* guid) = 0;
  virtual HRESULT GetParameters(DIEFFECT* effect, DWORD flags) = 0;
  virtual HRESULT SetParameters(const DIEFFECT* effect, DWORD flags) = 0;
  virtual HRESULT Start(DWORD iterations, DWORD flags) = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetEffectStatus(DWORD* status) = 0;
  virtual HRESULT Download() = 0;
  virtual HRESULT Unload() = 0;
  virtual HRESULT Escape(DIEFFESCAPE* escape) = 0;

 protected:
  ~IDirectInputEffect() = default;
};

using LPDIENUMDEVICESCALLBACKA = BOOL (*)(const DIDEVICEINSTANCEA* instance, void* ref);
using LPDIENUMDEVICEOBJECTSCALLBACKA = BOOL (*)(const DIDEVICEOBJECTINSTANCEA* object, void* ref);
using LPDIENUMEFFECTSCALLBACKA = BOOL (*)(const DIEFFECTINFOA* info, void* ref);
using LPDIENUMCREATEDEFFECTOBJECTSCALLBACK = BOOL (*)(IDirectInputEffect* effect, void* ref);

class IDirectInputDevice : public IUnknown {
 public:
  virtual HRESULT GetCapabilities(DIDEVCAPS* caps) = 0;
  virtual HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA callback, void* ref, DWORD flags) = 0;
  virtual HRESULT GetProperty(REFGUID prop, DIPROPHEADER* header) = 0;
  virtual HRESULT SetProperty(REFGUID prop, const DIPROPHEADER* header) = 0;
  virtual HRESULT Acquire() = 0;
  virtual HRESULT Unacquire() = 0;
  virtual HRESULT GetDeviceState(DWORD size, void* data) = 0;
  virtual HRESULT GetDeviceData(DWORD objectSize, DIDEVICEOBJECTDATA* data, DWORD* inOut, DWORD flags) = 0;
  virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
  virtual HRESULT SetEventNotification(void* event) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT GetObjectInfo(DIDEVICEOBJECTINSTANCEA* object, DWORD obj, DWORD how) = 0;
  virtual HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* instance) = 0;
  virtual HRESULT RunControlPanel(HWND owner, DWORD flags) = 0;
  virtual HRESULT Initialize(HINSTANCE instance, DWORD version, REFGUID guid) = 0;

 protected:
  ~IDirectInputDevice() = default;
};

class IDirectInputDevice2 : public IDirectInputDevice {
 public:
  virtual HRESULT CreateEffect(REFGUID guid, const DIEFFECT* effect, IDirectInputEffect** out, IUnknown* outer) = 0;
  virtual HRESULT EnumEffects(LPDIENUMEFFECTSCALLBACKA callback, void* ref, DWORD type) = 0;
  virtual HRESULT GetEffectInfo(DIEFFECTINFOA* info, REFGUID guid) = 0;
  virtual HRESULT GetForceFeedbackState(DWORD* state) = 0;
  virtual HRESULT SendForceFeedbackCommand(DWORD flags) = 0;
  virtual HRESULT EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK callback, void* ref, DWORD flags) = 0;
  virtual HRESULT Escape(DIEFFESCAPE* escape) = 0;
  virtual HRESULT Poll() = 0;
  virtual HRESULT SendDeviceData(DWORD objectSize, const DIDEVICEOBJECTDATA* data, DWORD* inOut, DWORD flags) = 0;

 protected:
  ~IDirectInputDevice2() = default;
};

class IDirectInput : public IUnknown {
 public:
  virtual HRESULT CreateDevice(REFGUID guid, IDirectInputDevice** device, IUnknown* outer) = 0;
  virtual HRESULT EnumDevices(DWORD devType, LPDIENUMDEVICESCALLBACKA callback, void* ref, DWORD flags) = 0;
  virtual HRESULT GetDeviceStatus(REFGUID instance) = 0;
  virtual HRESULT RunControlPanel(HWND owner, DWORD flags) = 0;
  virtual HRESULT Initialize(HINSTANCE instance, DWORD version) = 0;

 protected:
  ~IDirectInput() = default;
};

// Entry point of the module "DInput.dll".
using LPDIRECTINPUTCREATEA = HRESULT (*)(HINSTANCE instance, DWORD version, IDirectInput** out, IUnknown* outer);

}  // namespace dinput
