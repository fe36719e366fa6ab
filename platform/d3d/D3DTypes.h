#pragma once
// Direct3D's and Direct3D retained mode's records, flags, result codes, identifiers and the
// interfaces this program uses, with their published layouts and values. Only the operations the
// display's 3D set-up needs are offered.
#include <cstdint>

#include "platform/ddraw/DDrawTypes.h"

namespace d3d {

using ddraw::IDirectDrawSurface;
using ddraw::IDirectDrawSurface4;
using ddraw::IDirectDrawSurface7;
using win::IID_IUnknown;
using win::IUnknown;
using win::BOOL;
using win::DWORD;
using win::GUID;
using win::HRESULT;
using win::REFIID;
using win::WORD;
using REFCLSID = const win::CLSID&;
using D3DVALUE = float;
using D3DCOLORMODEL = DWORD;

// ---------------------------------------------------------------------------------------------
// Result codes

inline constexpr HRESULT D3D_OK = 0;
inline constexpr HRESULT D3DERR_INVALID_DEVICE = ddraw::MakeDDHResult(705);
inline constexpr HRESULT D3DERR_INITFAILED = ddraw::MakeDDHResult(706);
inline constexpr HRESULT D3DRMERR_BADOBJECT = ddraw::MakeDDHResult(781);
inline constexpr HRESULT D3DRMERR_BADVALUE = ddraw::MakeDDHResult(782);
inline constexpr HRESULT D3DRMERR_BADDEVICE = ddraw::MakeDDHResult(789);

// ---------------------------------------------------------------------------------------------
// Flags and values

inline constexpr D3DCOLORMODEL D3DCOLOR_MONO = 1;
inline constexpr D3DCOLORMODEL D3DCOLOR_RGB = 2;

inline constexpr DWORD D3DENUMRET_CANCEL = 0;
inline constexpr DWORD D3DENUMRET_OK = 1;

// Which fields of a version-6 device description are valid.
inline constexpr DWORD D3DDD_COLORMODEL = 0x1;
inline constexpr DWORD D3DDD_DEVCAPS = 0x2;
inline constexpr DWORD D3DDD_DEVICERENDERBITDEPTH = 0x80;
inline constexpr DWORD D3DDD_DEVICEZBUFFERBITDEPTH = 0x100;

// Device capabilities.
inline constexpr DWORD D3DDEVCAPS_FLOATTLVERTEX = 0x1;
inline constexpr DWORD D3DDEVCAPS_EXECUTESYSTEMMEMORY = 0x10;
inline constexpr DWORD D3DDEVCAPS_TLVERTEXSYSTEMMEMORY = 0x40;
inline constexpr DWORD D3DDEVCAPS_TEXTURESYSTEMMEMORY = 0x100;
inline constexpr DWORD D3DDEVCAPS_TEXTUREVIDEOMEMORY = 0x200;
inline constexpr DWORD D3DDEVCAPS_DRAWPRIMTLVERTEX = 0x400;
inline constexpr DWORD D3DDEVCAPS_CANRENDERAFTERFLIP = 0x800;
inline constexpr DWORD D3DDEVCAPS_DRAWPRIMITIVES2 = 0x2000;
inline constexpr DWORD D3DDEVCAPS_HWRASTERIZATION = 0x80000;

// Render states.
using D3DRENDERSTATETYPE = DWORD;
inline constexpr D3DRENDERSTATETYPE D3DRENDERSTATE_ANTIALIAS = 2;
inline constexpr D3DRENDERSTATETYPE D3DRENDERSTATE_TEXTUREPERSPECTIVE = 4;
inline constexpr D3DRENDERSTATETYPE D3DRENDERSTATE_ZENABLE = 7;
inline constexpr D3DRENDERSTATETYPE D3DRENDERSTATE_FILLMODE = 8;
inline constexpr D3DRENDERSTATETYPE D3DRENDERSTATE_SHADEMODE = 9;
inline constexpr D3DRENDERSTATETYPE D3DRENDERSTATE_ZWRITEENABLE = 14;
inline constexpr D3DRENDERSTATETYPE D3DRENDERSTATE_CULLMODE = 22;
inline constexpr D3DRENDERSTATETYPE D3DRENDERSTATE_ZFUNC = 23;
inline constexpr D3DRENDERSTATETYPE D3DRENDERSTATE_DITHERENABLE = 26;
inline constexpr D3DRENDERSTATETYPE D3DRENDERSTATE_ALPHABLENDENABLE = 27;
inline constexpr D3DRENDERSTATETYPE D3DRENDERSTATE_FOGENABLE = 28;
inline constexpr D3DRENDERSTATETYPE D3DRENDERSTATE_SPECULARENABLE = 29;
inline constexpr D3DRENDERSTATETYPE D3DRENDERSTATE_LIGHTING = 137;
// The states run from 1 up to this bound.
inline constexpr D3DRENDERSTATETYPE D3DRENDERSTATE_BOUND = 256;

// Values of some states.
inline constexpr DWORD D3DFILL_SOLID = 3;
inline constexpr DWORD D3DSHADE_GOURAUD = 2;
inline constexpr DWORD D3DCULL_CCW = 3;
inline constexpr DWORD D3DCMP_LESSEQUAL = 4;
inline constexpr DWORD D3DZB_FALSE = 0;
inline constexpr DWORD D3DZB_TRUE = 1;

// ---------------------------------------------------------------------------------------------
// Records

struct D3DTRANSFORMCAPS {
  DWORD dwSize = 0;
  DWORD dwCaps = 0;
};

struct D3DLIGHTINGCAPS {
  DWORD dwSize = 0;
  DWORD dwCaps = 0;
  DWORD dwLightingModel = 0;
  DWORD dwNumLights = 0;
};

struct D3DPRIMCAPS {
  DWORD dwSize = 0;
  DWORD dwMiscCaps = 0;
  DWORD dwRasterCaps = 0;
  DWORD dwZCmpCaps = 0;
  DWORD dwSrcBlendCaps = 0;
  DWORD dwDestBlendCaps = 0;
  DWORD dwAlphaCmpCaps = 0;
  DWORD dwShadeCaps = 0;
  DWORD dwTextureCaps = 0;
  DWORD dwTextureFilterCaps = 0;
  DWORD dwTextureBlendCaps = 0;
  DWORD dwTextureAddressCaps = 0;
  DWORD dwStippleWidth = 0;
  DWORD dwStippleHeight = 0;
};
static_assert(sizeof(D3DPRIMCAPS) == 56);

// A device as the version-6 interfaces describe it; a device is reported with a hardware and a
// software description, the one that does not apply having no colour model.
struct D3DDEVICEDESC {
  DWORD dwSize = 0;
  DWORD dwFlags = 0;
  D3DCOLORMODEL dcmColorModel = 0;
  DWORD dwDevCaps = 0;
  D3DTRANSFORMCAPS dtcTransformCaps;
  BOOL bClipping = 0;
  D3DLIGHTINGCAPS dlcLightingCaps;
  D3DPRIMCAPS dpcLineCaps;
  D3DPRIMCAPS dpcTriCaps;
  DWORD dwDeviceRenderBitDepth = 0;
  DWORD dwDeviceZBufferBitDepth = 0;
  DWORD dwMaxBufferSize = 0;
  DWORD dwMaxVertexCount = 0;
  DWORD dwMinTextureWidth = 0, dwMinTextureHeight = 0;
  DWORD dwMaxTextureWidth = 0, dwMaxTextureHeight = 0;
  DWORD dwMinStippleWidth = 0, dwMaxStippleWidth = 0;
  DWORD dwMinStippleHeight = 0, dwMaxStippleHeight = 0;
  DWORD dwMaxTextureRepeat = 0;
  DWORD dwMaxTextureAspectRatio = 0;
  DWORD dwMaxAnisotropy = 0;
  D3DVALUE dvGuardBandLeft = 0, dvGuardBandTop = 0, dvGuardBandRight = 0, dvGuardBandBottom = 0;
  D3DVALUE dvExtentsAdjust = 0;
  DWORD dwStencilCaps = 0;
  DWORD dwFVFCaps = 0;
  DWORD dwTextureOpCaps = 0;
  WORD wMaxTextureBlendStages = 0;
  WORD wMaxSimultaneousTextures = 0;
};
static_assert(sizeof(D3DDEVICEDESC) == 252);

// A device as the version-7 interface describes it: one description per device.
struct D3DDEVICEDESC7 {
  DWORD dwDevCaps = 0;
  D3DPRIMCAPS dpcLineCaps;
  D3DPRIMCAPS dpcTriCaps;
  DWORD dwDeviceRenderBitDepth = 0;
  DWORD dwDeviceZBufferBitDepth = 0;
  DWORD dwMinTextureWidth = 0, dwMinTextureHeight = 0;
  DWORD dwMaxTextureWidth = 0, dwMaxTextureHeight = 0;
  DWORD dwMaxTextureRepeat = 0;
  DWORD dwMaxTextureAspectRatio = 0;
  DWORD dwMaxAnisotropy = 0;
  D3DVALUE dvGuardBandLeft = 0, dvGuardBandTop = 0, dvGuardBandRight = 0, dvGuardBandBottom = 0;
  D3DVALUE dvExtentsAdjust = 0;
  DWORD dwStencilCaps = 0;
  DWORD dwFVFCaps = 0;
  DWORD dwTextureOpCaps = 0;
  WORD wMaxTextureBlendStages = 0;
  WORD wMaxSimultaneousTextures = 0;
  DWORD dwMaxActiveLights = 0;
  D3DVALUE dvMaxVertexW = 0;
  GUID deviceGUID{};
  WORD wMaxUserClipPlanes = 0;
  WORD wMaxVertexBlendMatrices = 0;
  DWORD dwVertexProcessingCaps = 0;
  DWORD dwReserved1 = 0, dwReserved2 = 0, dwReserved3 = 0, dwReserved4 = 0;
};
static_assert(sizeof(D3DDEVICEDESC7) == 236);

// ---------------------------------------------------------------------------------------------
// Identifiers

inline constexpr GUID IID_IDirect3D{0x3BBA0080, 0x2421, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
inline constexpr GUID IID_IDirect3D2{0x6AAE1EC1, 0x662A, 0x11D0, {0x88, 0x9D, 0x00, 0xAA, 0x00, 0xBB, 0xB7, 0x6A}};
inline constexpr GUID IID_IDirect3D3{0xBB223240, 0xE72B, 0x11D0, {0xA9, 0xB4, 0x00, 0xAA, 0x00, 0xC0, 0x99, 0x3E}};
inline constexpr GUID IID_IDirect3D7{0xF5049E77, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};

inline constexpr GUID IID_IDirect3DDevice{0x64108800, 0x957D, 0x11D0, {0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};
inline constexpr GUID IID_IDirect3DDevice2{0x93281501, 0x8CF8, 0x11D0, {0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};
inline constexpr GUID IID_IDirect3DDevice3{0xB0AB3B60, 0x33D7, 0x11D1, {0xA9, 0x81, 0x00, 0xC0, 0x4F, 0xD7, 0xB1, 0x74}};
inline constexpr GUID IID_IDirect3DDevice7{0xF5049E79, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};

// The devices a display adapter usually offers.
inline constexpr GUID IID_IDirect3DRGBDevice{0xA4665C60, 0x2673, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
inline constexpr GUID IID_IDirect3DHALDevice{0x84E63DE0, 0x46AA, 0x11CF, {0x81, 0x6F, 0x00, 0x00, 0xC0, 0x20, 0x15, 0x6E}};
inline constexpr GUID IID_IDirect3DMMXDevice{0x50936643, 0x13E9, 0x11D1, {0x89, 0xAA, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};

inline constexpr GUID IID_IDirect3DRM{0x2BC49361, 0x8327, 0x11CF, {0xAC, 0x4A, 0x00, 0x00, 0xC0, 0x38, 0x25, 0xA1}};
inline constexpr GUID IID_IDirect3DRM2{0x4516ECC8, 0x8F20, 0x11D0, {0x9B, 0x6D, 0x00, 0x00, 0xC0, 0x78, 0x1B, 0xC3}};
inline constexpr GUID IID_IDirect3DRMDevice{0xE9E19280, 0x6E05, 0x11CF, {0xAC, 0x4A, 0x00, 0x00, 0xC0, 0x38, 0x25, 0xA1}};
inline constexpr GUID IID_IDirect3DRMDevice2{0x4516EC78, 0x8F20, 0x11D0, {0x9B, 0x6D, 0x00, 0x00, 0xC0, 0x78, 0x1B, 0xC3}};
inline constexpr GUID IID_IDirect3DRMFrame{0xEB16CB03, 0xD271, 0x11CE, {0xAC, 0x48, 0x00, 0x00, 0xC0, 0x38, 0x25, 0xA1}};
inline constexpr GUID IID_IDirect3DRMFrame2{0xC3DFBD60, 0x3988, 0x11D0, {0x9E, 0xC2, 0x00, 0x00, 0xC0, 0x29, 0x1A, 0xC3}};
inline constexpr GUID IID_IDirect3DRMViewport{0xEB16CB02, 0xD271, 0x11CE, {0xAC, 0x48, 0x00, 0x00, 0xC0, 0x38, 0x25, 0xA1}};

// ---------------------------------------------------------------------------------------------
// Interfaces. Those reached through the DirectDraw object count their references with it.

class IDirect3D;
class IDirect3D2;
class IDirect3D3;
class IDirect3D7;
class IDirect3DDevice;
class IDirect3DDevice2;
class IDirect3DDevice3;
class IDirect3DDevice7;

using LPD3DENUMDEVICESCALLBACK = HRESULT (*)(GUID* guid, char* description, char* name, D3DDEVICEDESC* hardware,
                                             D3DDEVICEDESC* software, void* context);
using LPD3DENUMDEVICESCALLBACK7 = HRESULT (*)(char* description, char* name, D3DDEVICEDESC7* desc, void* context);

class IDirect3D : public IUnknown {
 public:
  virtual HRESULT Initialize(REFIID riid) = 0;
  virtual HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) = 0;

 protected:
  ~IDirect3D() = default;
};

class IDirect3D2 : public IUnknown {
 public:
  virtual HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) = 0;
  virtual HRESULT CreateDevice(REFCLSID device, IDirectDrawSurface* surface, IDirect3DDevice2** out) = 0;

 protected:
  ~IDirect3D2() = default;
};

class IDirect3D3 : public IUnknown {
 public:
  virtual HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) = 0;
  virtual HRESULT CreateDevice(REFCLSID device, IDirectDrawSurface4* surface, IDirect3DDevice3** out,
                               IUnknown* outer) = 0;

 protected:
  ~IDirect3D3() = default;
};

class IDirect3D7 : public IUnknown {
 public:
  virtual HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, void* context) = 0;
  virtual HRESULT CreateDevice(REFCLSID device, IDirectDrawSurface7* surface, IDirect3DDevice7** out) = 0;

 protected:
  ~IDirect3D7() = default;
};

class IDirect3DDevice : public IUnknown {
 public:
  virtual HRESULT GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* software) = 0;
  virtual HRESULT GetDirect3D(IDirect3D** out) = 0;

 protected:
  ~IDirect3DDevice() = default;
};

class IDirect3DDevice2 : public IUnknown {
 public:
  virtual HRESULT GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* software) = 0;
  virtual HRESULT GetDirect3D(IDirect3D2** out) = 0;
  virtual HRESULT GetRenderTarget(IDirectDrawSurface** out) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;

 protected:
  ~IDirect3DDevice2() = default;
};

class IDirect3DDevice3 : public IUnknown {
 public:
  virtual HRESULT GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* software) = 0;
  virtual HRESULT GetDirect3D(IDirect3D3** out) = 0;
  virtual HRESULT GetRenderTarget(IDirectDrawSurface4** out) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;

 protected:
  ~IDirect3DDevice3() = default;
};

class IDirect3DDevice7 : public IUnknown {
 public:
  virtual HRESULT GetCaps(D3DDEVICEDESC7* desc) = 0;
  virtual HRESULT GetDirect3D(IDirect3D7** out) = 0;
  virtual HRESULT GetRenderTarget(IDirectDrawSurface7** out) = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;

 protected:
  ~IDirect3DDevice7() = default;
};

// ---------------------------------------------------------------------------------------------
// Retained mode

class IDirect3DRMFrame;
class IDirect3DRMFrame2;
class IDirect3DRMDevice;
class IDirect3DRMDevice2;
class IDirect3DRMViewport;

class IDirect3DRMFrame : public IUnknown {
 public:
  virtual HRESULT GetParent(IDirect3DRMFrame** out) = 0;
  virtual HRESULT GetScene(IDirect3DRMFrame** out) = 0;

 protected:
  ~IDirect3DRMFrame() = default;
};

class IDirect3DRMFrame2 : public IUnknown {
 public:
  virtual HRESULT GetParent(IDirect3DRMFrame** out) = 0;
  virtual HRESULT GetScene(IDirect3DRMFrame** out) = 0;

 protected:
  ~IDirect3DRMFrame2() = default;
};

class IDirect3DRMDevice : public IUnknown {
 public:
  virtual DWORD GetWidth() = 0;
  virtual DWORD GetHeight() = 0;
  virtual HRESULT GetDirect3DDevice(IDirect3DDevice** out) = 0;

 protected:
  ~IDirect3DRMDevice() = default;
};

class IDirect3DRMDevice2 : public IUnknown {
 public:
  virtual DWORD GetWidth() = 0;
  virtual DWORD GetHeight() = 0;
  virtual HRESULT GetDirect3DDevice(IDirect3DDevice** out) = 0;
  virtual HRESULT GetDirect3DDevice2(IDirect3DDevice2** out) = 0;

 protected:
  ~IDirect3DRMDevice2() = default;
};

class IDirect3DRMViewport : public IUnknown {
 public:
  virtual HRESULT SetFront(D3DVALUE value) = 0;
  virtual HRESULT SetBack(D3DVALUE value) = 0;
  virtual D3DVALUE GetFront() = 0;
  virtual D3DVALUE GetBack() = 0;
  virtual long GetX() = 0;
  virtual long GetY() = 0;
  virtual DWORD GetWidth() = 0;
  virtual DWORD GetHeight() = 0;
  virtual HRESULT GetCamera(IDirect3DRMFrame** out) = 0;
  virtual HRESULT GetDevice(IDirect3DRMDevice** out) = 0;

 protected:
  ~IDirect3DRMViewport() = default;
};

class IDirect3DRM : public IUnknown {
 public:
  virtual HRESULT CreateFrame(IDirect3DRMFrame* parent, IDirect3DRMFrame** out) = 0;
  virtual HRESULT CreateDeviceFromD3D(IDirect3D* direct3D, IDirect3DDevice* device, IDirect3DRMDevice** out) = 0;
  virtual HRESULT CreateViewport(IDirect3DRMDevice* device, IDirect3DRMFrame* camera, DWORD x, DWORD y, DWORD width,
                                 DWORD height, IDirect3DRMViewport** out) = 0;

 protected:
  ~IDirect3DRM() = default;
};

class IDirect3DRM2 : public IUnknown {
 public:
  virtual HRESULT CreateFrame(IDirect3DRMFrame* parent, IDirect3DRMFrame2** out) = 0;
  virtual HRESULT CreateDeviceFromD3D(IDirect3D2* direct3D, IDirect3DDevice2* device, IDirect3DRMDevice2** out) = 0;
  virtual HRESULT CreateViewport(IDirect3DRMDevice* device, IDirect3DRMFrame* camera, DWORD x, DWORD y, DWORD width,
                                 DWORD height, IDirect3DRMViewport** out) = 0;

 protected:
  ~IDirect3DRM2() = default;
};

// Entry point of the module "D3DRM.dll".
using LPDIRECT3DRMCREATE = HRESULT (*)(IDirect3DRM** out);

}  // namespace d3d
