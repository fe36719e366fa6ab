#pragma once
// DirectDraw's records, flags, result codes, interface identifiers and interfaces, with their
// published layouts and values. Records that hold pointers are sized by this build (dwSize is
// sizeof the record here); the others keep their published sizes exactly.
#include <cstddef>
#include <cstdint>

#include "platform/base/Types.h"
#include "platform/base/Unknown.h"

namespace ddraw {

using win::BOOL;
using win::BYTE;
using win::DWORD;
using win::GUID;
using win::HANDLE;
using win::HDC;
using win::HRESULT;
using win::HWND;
using win::IID_IUnknown;
using win::IUnknown;
using win::LONG;
using win::PALETTEENTRY;
using win::RECT;
using win::REFIID;
using win::WORD;

// ---------------------------------------------------------------------------------------------
// Result codes

constexpr HRESULT MakeDDHResult(unsigned code) { return win::MAKE_HRESULT(1, 0x876, code); }

inline constexpr HRESULT DD_OK = 0;
inline constexpr HRESULT DD_FALSE = win::S_FALSE;
inline constexpr HRESULT DDERR_ALREADYINITIALIZED = MakeDDHResult(5);
inline constexpr HRESULT DDERR_CANNOTATTACHSURFACE = MakeDDHResult(10);
inline constexpr HRESULT DDERR_CANNOTDETACHSURFACE = MakeDDHResult(20);
inline constexpr HRESULT DDERR_CURRENTLYNOTAVAIL = MakeDDHResult(40);
inline constexpr HRESULT DDERR_EXCEPTION = MakeDDHResult(55);
inline constexpr HRESULT DDERR_GENERIC = win::E_FAIL;
inline constexpr HRESULT DDERR_HEIGHTALIGN = MakeDDHResult(90);
inline constexpr HRESULT DDERR_INCOMPATIBLEPRIMARY = MakeDDHResult(95);
inline constexpr HRESULT DDERR_INVALIDCAPS = MakeDDHResult(100);
inline constexpr HRESULT DDERR_INVALIDCLIPLIST = MakeDDHResult(110);
inline constexpr HRESULT DDERR_INVALIDMODE = MakeDDHResult(120);
inline constexpr HRESULT DDERR_INVALIDOBJECT = MakeDDHResult(130);
inline constexpr HRESULT DDERR_INVALIDPARAMS = win::E_INVALIDARG;
inline constexpr HRESULT DDERR_INVALIDPIXELFORMAT = MakeDDHResult(145);
inline constexpr HRESULT DDERR_INVALIDRECT = MakeDDHResult(150);
inline constexpr HRESULT DDERR_LOCKEDSURFACES = MakeDDHResult(160);
inline constexpr HRESULT DDERR_NO3D = MakeDDHResult(170);
inline constexpr HRESULT DDERR_NOCLIPLIST = MakeDDHResult(205);
inline constexpr HRESULT DDERR_NOCOOPERATIVELEVELSET = MakeDDHResult(212);
inline constexpr HRESULT DDERR_NOCOLORKEY = MakeDDHResult(215);
inline constexpr HRESULT DDERR_NOEXCLUSIVEMODE = MakeDDHResult(225);
inline constexpr HRESULT DDERR_NOFLIPHW = MakeDDHResult(230);
inline constexpr HRESULT DDERR_NOTFOUND = MakeDDHResult(255);
inline constexpr HRESULT DDERR_NOSTRETCHHW = MakeDDHResult(310);
inline constexpr HRESULT DDERR_NOVSYNCHW = MakeDDHResult(335);
inline constexpr HRESULT DDERR_OUTOFCAPS = MakeDDHResult(360);
inline constexpr HRESULT DDERR_OUTOFMEMORY = win::E_OUTOFMEMORY;
inline constexpr HRESULT DDERR_OUTOFVIDEOMEMORY = MakeDDHResult(380);
inline constexpr HRESULT DDERR_PALETTEBUSY = MakeDDHResult(387);
inline constexpr HRESULT DDERR_COLORKEYNOTSET = MakeDDHResult(400);
inline constexpr HRESULT DDERR_SURFACEALREADYATTACHED = MakeDDHResult(410);
inline constexpr HRESULT DDERR_SURFACEALREADYDEPENDENT = MakeDDHResult(420);
inline constexpr HRESULT DDERR_SURFACEBUSY = MakeDDHResult(430);
inline constexpr HRESULT DDERR_CANTLOCKSURFACE = MakeDDHResult(435);
inline constexpr HRESULT DDERR_SURFACEISOBSCURED = MakeDDHResult(440);
inline constexpr HRESULT DDERR_SURFACELOST = MakeDDHResult(450);
inline constexpr HRESULT DDERR_SURFACENOTATTACHED = MakeDDHResult(460);
inline constexpr HRESULT DDERR_TOOBIGHEIGHT = MakeDDHResult(470);
inline constexpr HRESULT DDERR_TOOBIGSIZE = MakeDDHResult(480);
inline constexpr HRESULT DDERR_TOOBIGWIDTH = MakeDDHResult(490);
inline constexpr HRESULT DDERR_UNSUPPORTED = win::E_NOTIMPL;
inline constexpr HRESULT DDERR_UNSUPPORTEDFORMAT = MakeDDHResult(510);
inline constexpr HRESULT DDERR_UNSUPPORTEDMASK = MakeDDHResult(520);
inline constexpr HRESULT DDERR_VERTICALBLANKINPROGRESS = MakeDDHResult(537);
inline constexpr HRESULT DDERR_WASSTILLDRAWING = MakeDDHResult(540);
inline constexpr HRESULT DDERR_INVALIDDIRECTDRAWGUID = MakeDDHResult(561);
inline constexpr HRESULT DDERR_DIRECTDRAWALREADYCREATED = MakeDDHResult(562);
inline constexpr HRESULT DDERR_NODIRECTDRAWHW = MakeDDHResult(563);
inline constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = MakeDDHResult(564);
inline constexpr HRESULT DDERR_REGIONTOOSMALL = MakeDDHResult(566);
inline constexpr HRESULT DDERR_CLIPPERISUSINGHWND = MakeDDHResult(567);
inline constexpr HRESULT DDERR_NOCLIPPERATTACHED = MakeDDHResult(568);
inline constexpr HRESULT DDERR_NOHWND = MakeDDHResult(569);
inline constexpr HRESULT DDERR_HWNDALREADYSET = MakeDDHResult(571);
inline constexpr HRESULT DDERR_NOPALETTEATTACHED = MakeDDHResult(572);
inline constexpr HRESULT DDERR_BLTFASTCANTCLIP = MakeDDHResult(574);
inline constexpr HRESULT DDERR_EXCLUSIVEMODEALREADYSET = MakeDDHResult(581);
inline constexpr HRESULT DDERR_NOTFLIPPABLE = MakeDDHResult(582);
inline constexpr HRESULT DDERR_CANTDUPLICATE = MakeDDHResult(583);
inline constexpr HRESULT DDERR_NOTLOCKED = MakeDDHResult(584);
inline constexpr HRESULT DDERR_CANTCREATEDC = MakeDDHResult(585);
inline constexpr HRESULT DDERR_NODC = MakeDDHResult(586);
inline constexpr HRESULT DDERR_WRONGMODE = MakeDDHResult(587);
inline constexpr HRESULT DDERR_IMPLICITLYCREATED = MakeDDHResult(588);
inline constexpr HRESULT DDERR_NOTPALETTIZED = MakeDDHResult(589);
inline constexpr HRESULT DDERR_UNSUPPORTEDMODE = MakeDDHResult(590);
inline constexpr HRESULT DDERR_DCALREADYCREATED = MakeDDHResult(620);
inline constexpr HRESULT DDERR_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);

// ---------------------------------------------------------------------------------------------
// Flags

// Surface description fields in use.
inline constexpr DWORD DDSD_CAPS = 0x1;
inline constexpr DWORD DDSD_HEIGHT = 0x2;
inline constexpr DWORD DDSD_WIDTH = 0x4;
inline constexpr DWORD DDSD_PITCH = 0x8;
inline constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x20;
inline constexpr DWORD DDSD_ZBUFFERBITDEPTH = 0x40;
inline constexpr DWORD DDSD_ALPHABITDEPTH = 0x80;
inline constexpr DWORD DDSD_LPSURFACE = 0x800;
inline constexpr DWORD DDSD_PIXELFORMAT = 0x1000;
inline constexpr DWORD DDSD_CKDESTOVERLAY = 0x2000;
inline constexpr DWORD DDSD_CKDESTBLT = 0x4000;
inline constexpr DWORD DDSD_CKSRCOVERLAY = 0x8000;
inline constexpr DWORD DDSD_CKSRCBLT = 0x10000;
inline constexpr DWORD DDSD_MIPMAPCOUNT = 0x20000;
inline constexpr DWORD DDSD_REFRESHRATE = 0x40000;
inline constexpr DWORD DDSD_LINEARSIZE = 0x80000;

// Surface capabilities.
inline constexpr DWORD DDSCAPS_ALPHA = 0x2;
inline constexpr DWORD DDSCAPS_BACKBUFFER = 0x4;
inline constexpr DWORD DDSCAPS_COMPLEX = 0x8;
inline constexpr DWORD DDSCAPS_FLIP = 0x10;
inline constexpr DWORD DDSCAPS_FRONTBUFFER = 0x20;
inline constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x40;
inline constexpr DWORD DDSCAPS_OVERLAY = 0x80;
inline constexpr DWORD DDSCAPS_PALETTE = 0x100;
inline constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
inline constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x800;
inline constexpr DWORD DDSCAPS_TEXTURE = 0x1000;
inline constexpr DWORD DDSCAPS_3DDEVICE = 0x2000;
inline constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;
inline constexpr DWORD DDSCAPS_VISIBLE = 0x8000;
inline constexpr DWORD DDSCAPS_WRITEONLY = 0x10000;
inline constexpr DWORD DDSCAPS_ZBUFFER = 0x20000;
inline constexpr DWORD DDSCAPS_OWNDC = 0x40000;
inline constexpr DWORD DDSCAPS_MODEX = 0x200000;
inline constexpr DWORD DDSCAPS_MIPMAP = 0x400000;
inline constexpr DWORD DDSCAPS_ALLOCONLOAD = 0x4000000;
inline constexpr DWORD DDSCAPS_LOCALVIDMEM = 0x10000000;
inline constexpr DWORD DDSCAPS_NONLOCALVIDMEM = 0x20000000;

// Pixel format flags.
inline constexpr DWORD DDPF_ALPHAPIXELS = 0x1;
inline constexpr DWORD DDPF_ALPHA = 0x2;
inline constexpr DWORD DDPF_FOURCC = 0x4;
inline constexpr DWORD DDPF_PALETTEINDEXED4 = 0x8;
inline constexpr DWORD DDPF_PALETTEINDEXEDTO8 = 0x10;
inline constexpr DWORD DDPF_PALETTEINDEXED8 = 0x20;
inline constexpr DWORD DDPF_RGB = 0x40;
inline constexpr DWORD DDPF_ZBUFFER = 0x400;
inline constexpr DWORD DDPF_PALETTEINDEXED1 = 0x800;
inline constexpr DWORD DDPF_PALETTEINDEXED2 = 0x1000;

// Cooperative levels.
inline constexpr DWORD DDSCL_FULLSCREEN = 0x1;
inline constexpr DWORD DDSCL_ALLOWREBOOT = 0x2;
inline constexpr DWORD DDSCL_NOWINDOWCHANGES = 0x4;
inline constexpr DWORD DDSCL_NORMAL = 0x8;
inline constexpr DWORD DDSCL_EXCLUSIVE = 0x10;
inline constexpr DWORD DDSCL_ALLOWMODEX = 0x40;
inline constexpr DWORD DDSCL_SETFOCUSWINDOW = 0x80;
inline constexpr DWORD DDSCL_SETDEVICEWINDOW = 0x100;
inline constexpr DWORD DDSCL_CREATEDEVICEWINDOW = 0x200;
inline constexpr DWORD DDSCL_MULTITHREADED = 0x400;
inline constexpr DWORD DDSCL_FPUSETUP = 0x800;
inline constexpr DWORD DDSCL_FPUPRESERVE = 0x1000;

// Blt.
inline constexpr DWORD DDBLT_ASYNC = 0x200;
inline constexpr DWORD DDBLT_COLORFILL = 0x400;
inline constexpr DWORD DDBLT_DDFX = 0x800;
inline constexpr DWORD DDBLT_DDROPS = 0x1000;
inline constexpr DWORD DDBLT_KEYDEST = 0x2000;
inline constexpr DWORD DDBLT_KEYDESTOVERRIDE = 0x4000;
inline constexpr DWORD DDBLT_KEYSRC = 0x8000;
inline constexpr DWORD DDBLT_KEYSRCOVERRIDE = 0x10000;
inline constexpr DWORD DDBLT_ROP = 0x20000;
inline constexpr DWORD DDBLT_ROTATIONANGLE = 0x40000;
inline constexpr DWORD DDBLT_ZBUFFER = 0x80000;
inline constexpr DWORD DDBLT_WAIT = 0x1000000;
inline constexpr DWORD DDBLT_DEPTHFILL = 0x2000000;
inline constexpr DWORD DDBLT_DONOTWAIT = 0x8000000;

inline constexpr DWORD DDBLTFAST_NOCOLORKEY = 0x0;
inline constexpr DWORD DDBLTFAST_SRCCOLORKEY = 0x1;
inline constexpr DWORD DDBLTFAST_DESTCOLORKEY = 0x2;
inline constexpr DWORD DDBLTFAST_WAIT = 0x10;
inline constexpr DWORD DDBLTFAST_DONOTWAIT = 0x20;

inline constexpr DWORD DDBLTFX_ARITHSTRETCHY = 0x1;
inline constexpr DWORD DDBLTFX_MIRRORLEFTRIGHT = 0x2;
inline constexpr DWORD DDBLTFX_MIRRORUPDOWN = 0x4;
inline constexpr DWORD DDBLTFX_NOTEARING = 0x8;
inline constexpr DWORD DDBLTFX_ROTATE180 = 0x10;

// The raster operation of a plain copy (GDI's SRCCOPY).
inline constexpr DWORD SRCCOPY_ROP = 0x00CC0020;

inline constexpr DWORD DDFLIP_WAIT = 0x1;
inline constexpr DWORD DDFLIP_EVEN = 0x2;
inline constexpr DWORD DDFLIP_ODD = 0x4;
inline constexpr DWORD DDFLIP_NOVSYNC = 0x8;
inline constexpr DWORD DDFLIP_DONOTWAIT = 0x20;

inline constexpr DWORD DDLOCK_SURFACEMEMORYPTR = 0x0;
inline constexpr DWORD DDLOCK_WAIT = 0x1;
inline constexpr DWORD DDLOCK_EVENT = 0x2;
inline constexpr DWORD DDLOCK_READONLY = 0x10;
inline constexpr DWORD DDLOCK_WRITEONLY = 0x20;
inline constexpr DWORD DDLOCK_NOSYSLOCK = 0x800;
inline constexpr DWORD DDLOCK_DONOTWAIT = 0x4000;

inline constexpr DWORD DDCKEY_COLORSPACE = 0x1;
inline constexpr DWORD DDCKEY_DESTBLT = 0x2;
inline constexpr DWORD DDCKEY_DESTOVERLAY = 0x4;
inline constexpr DWORD DDCKEY_SRCBLT = 0x8;
inline constexpr DWORD DDCKEY_SRCOVERLAY = 0x10;

inline constexpr DWORD DDWAITVB_BLOCKBEGIN = 0x1;
inline constexpr DWORD DDWAITVB_BLOCKBEGINEVENT = 0x2;
inline constexpr DWORD DDWAITVB_BLOCKEND = 0x4;

inline constexpr DWORD DDEDM_REFRESHRATES = 0x1;
inline constexpr DWORD DDEDM_STANDARDVGAMODES = 0x2;

inline constexpr DWORD DDENUMRET_CANCEL = 0;
inline constexpr DWORD DDENUMRET_OK = 1;

inline constexpr DWORD DDENUMSURFACES_ALL = 0x1;
inline constexpr DWORD DDENUMSURFACES_MATCH = 0x2;
inline constexpr DWORD DDENUMSURFACES_NOMATCH = 0x4;
inline constexpr DWORD DDENUMSURFACES_CANBECREATED = 0x8;
inline constexpr DWORD DDENUMSURFACES_DOESEXIST = 0x10;

inline constexpr DWORD DDGBS_CANBLT = 0x1;
inline constexpr DWORD DDGBS_ISBLTDONE = 0x2;
inline constexpr DWORD DDGFS_CANFLIP = 0x1;
inline constexpr DWORD DDGFS_ISFLIPDONE = 0x2;

// Palette capabilities.
inline constexpr DWORD DDPCAPS_4BIT = 0x1;
inline constexpr DWORD DDPCAPS_8BITENTRIES = 0x2;
inline constexpr DWORD DDPCAPS_8BIT = 0x4;
inline constexpr DWORD DDPCAPS_INITIALIZE = 0x8;
inline constexpr DWORD DDPCAPS_PRIMARYSURFACE = 0x10;
inline constexpr DWORD DDPCAPS_ALLOW256 = 0x40;
inline constexpr DWORD DDPCAPS_VSYNC = 0x80;
inline constexpr DWORD DDPCAPS_1BIT = 0x100;
inline constexpr DWORD DDPCAPS_2BIT = 0x200;

// Driver capabilities.
inline constexpr DWORD DDCAPS_3D = 0x1;
inline constexpr DWORD DDCAPS_BLT = 0x40;
inline constexpr DWORD DDCAPS_BLTQUEUE = 0x80;
inline constexpr DWORD DDCAPS_BLTSTRETCH = 0x200;
inline constexpr DWORD DDCAPS_GDI = 0x400;
inline constexpr DWORD DDCAPS_PALETTE = 0x8000;
inline constexpr DWORD DDCAPS_PALETTEVSYNC = 0x10000;
inline constexpr DWORD DDCAPS_COLORKEY = 0x400000;
inline constexpr DWORD DDCAPS_NOHARDWARE = 0x2000000;
inline constexpr DWORD DDCAPS_BLTCOLORFILL = 0x4000000;
inline constexpr DWORD DDCAPS_BLTDEPTHFILL = 0x10000000;
inline constexpr DWORD DDCAPS_CANCLIP = 0x20000000;
inline constexpr DWORD DDCAPS_CANCLIPSTRETCHED = 0x40000000;
inline constexpr DWORD DDCAPS_CANBLTSYSMEM = 0x80000000;

inline constexpr DWORD DDCAPS2_CERTIFIED = 0x1;
inline constexpr DWORD DDCAPS2_PRIMARYGAMMA = 0x20000;

inline constexpr DWORD DDCKEYCAPS_DESTBLT = 0x2;
inline constexpr DWORD DDCKEYCAPS_SRCBLT = 0x200;

inline constexpr DWORD DDFXCAPS_BLTMIRRORLEFTRIGHT = 0x10;
inline constexpr DWORD DDFXCAPS_BLTMIRRORUPDOWN = 0x20;

// Depth flags (render and depth-buffer depths).
inline constexpr DWORD DDBD_1 = 0x4000;
inline constexpr DWORD DDBD_2 = 0x2000;
inline constexpr DWORD DDBD_4 = 0x1000;
inline constexpr DWORD DDBD_8 = 0x800;
inline constexpr DWORD DDBD_16 = 0x400;
inline constexpr DWORD DDBD_24 = 0x200;
inline constexpr DWORD DDBD_32 = 0x100;

// The DDBD flag of a bit depth; 0 for a depth that has none.
constexpr DWORD DepthToFlag(DWORD bitCount) {
  switch (bitCount) {
    case 1: return DDBD_1;
    case 2: return DDBD_2;
    case 4: return DDBD_4;
    case 8: return DDBD_8;
    case 16: return DDBD_16;
    case 24: return DDBD_24;
    case 32: return DDBD_32;
    default: return 0;
  }
}

inline constexpr DWORD DDSGR_CALIBRATE = 0x1;

// Special driver identifiers for DirectDrawCreate: not addresses.
inline GUID* const DDCREATE_HARDWAREONLY = reinterpret_cast<GUID*>(std::uintptr_t{1});
inline GUID* const DDCREATE_EMULATIONONLY = reinterpret_cast<GUID*>(std::uintptr_t{2});

// ---------------------------------------------------------------------------------------------
// Records

struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue = 0;
  DWORD dwColorSpaceHighValue = 0;
};
static_assert(sizeof(DDCOLORKEY) == 8);

struct DDSCAPS {
  DWORD dwCaps = 0;
};
struct DDSCAPS2 {
  DWORD dwCaps = 0;
  DWORD dwCaps2 = 0;
  DWORD dwCaps3 = 0;
  DWORD dwCaps4 = 0;
};

struct DDPIXELFORMAT {
  DWORD dwSize = 0;
  DWORD dwFlags = 0;
  DWORD dwFourCC = 0;
  union {
    DWORD dwRGBBitCount = 0;
    DWORD dwZBufferBitDepth;
  };
  union {
    DWORD dwRBitMask = 0;
    DWORD dwZBitMask;
  };
  DWORD dwGBitMask = 0;
  DWORD dwBBitMask = 0;
  union {
    DWORD dwRGBAlphaBitMask = 0;
    DWORD dwRGBZBitMask;
  };
};
static_assert(sizeof(DDPIXELFORMAT) == 32);

class IDirectDrawSurface;

struct DDSURFACEDESC {
  DWORD dwSize = 0;
  DWORD dwFlags = 0;
  DWORD dwHeight = 0;
  DWORD dwWidth = 0;
  union {
    LONG lPitch = 0;
    DWORD dwLinearSize;
  };
  DWORD dwBackBufferCount = 0;
  union {
    DWORD dwMipMapCount = 0;
    DWORD dwZBufferBitDepth;
    DWORD dwRefreshRate;
  };
  DWORD dwAlphaBitDepth = 0;
  DWORD dwReserved = 0;
  void* lpSurface = nullptr;
  DDCOLORKEY ddckCKDestOverlay;
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS ddsCaps;
};

struct DDSURFACEDESC2 {
  DWORD dwSize = 0;
  DWORD dwFlags = 0;
  DWORD dwHeight = 0;
  DWORD dwWidth = 0;
  union {
    LONG lPitch = 0;
    DWORD dwLinearSize;
  };
  union {
    DWORD dwBackBufferCount = 0;
    DWORD dwDepth;
  };
  union {
    DWORD dwMipMapCount = 0;
    DWORD dwRefreshRate;
    DWORD dwSrcVBHandle;
  };
  DWORD dwAlphaBitDepth = 0;
  DWORD dwReserved = 0;
  void* lpSurface = nullptr;
  union {
    DDCOLORKEY ddckCKDestOverlay{};
    DWORD dwEmptyFaceColor;
  };
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  union {
    DDPIXELFORMAT ddpfPixelFormat{};
    DWORD dwFVF;
  };
  DDSCAPS2 ddsCaps;
  DWORD dwTextureStage = 0;
};

struct DDBLTFX {
  DWORD dwSize = 0;
  DWORD dwDDFX = 0;
  DWORD dwROP = 0;
  DWORD dwDDROP = 0;
  DWORD dwRotationAngle = 0;
  DWORD dwZBufferOpCode = 0;
  DWORD dwZBufferLow = 0;
  DWORD dwZBufferHigh = 0;
  DWORD dwZBufferBaseDest = 0;
  DWORD dwZDestConstBitDepth = 0;
  union {
    DWORD dwZDestConst = 0;
    IDirectDrawSurface* lpDDSZBufferDest;
  };
  DWORD dwZSrcConstBitDepth = 0;
  union {
    DWORD dwZSrcConst = 0;
    IDirectDrawSurface* lpDDSZBufferSrc;
  };
  DWORD dwAlphaEdgeBlendBitDepth = 0;
  DWORD dwAlphaEdgeBlend = 0;
  DWORD dwReserved = 0;
  DWORD dwAlphaDestConstBitDepth = 0;
  union {
    DWORD dwAlphaDestConst = 0;
    IDirectDrawSurface* lpDDSAlphaDest;
  };
  DWORD dwAlphaSrcConstBitDepth = 0;
  union {
    DWORD dwAlphaSrcConst = 0;
    IDirectDrawSurface* lpDDSAlphaSrc;
  };
  union {
    DWORD dwFillColor = 0;
    DWORD dwFillDepth;
    DWORD dwFillPixel;
    IDirectDrawSurface* lpDDSPattern;
  };
  DDCOLORKEY ddckDestColorkey;
  DDCOLORKEY ddckSrcColorkey;
};

// The capabilities of a driver (hardware) or of the emulation layer.
struct DDCAPS {
  DWORD dwSize = 0;
  DWORD dwCaps = 0;
  DWORD dwCaps2 = 0;
  DWORD dwCKeyCaps = 0;
  DWORD dwFXCaps = 0;
  DWORD dwFXAlphaCaps = 0;
  DWORD dwPalCaps = 0;
  DWORD dwSVCaps = 0;
  DWORD dwAlphaBltConstBitDepths = 0;
  DWORD dwAlphaBltPixelBitDepths = 0;
  DWORD dwAlphaBltSurfaceBitDepths = 0;
  DWORD dwAlphaOverlayConstBitDepths = 0;
  DWORD dwAlphaOverlayPixelBitDepths = 0;
  DWORD dwAlphaOverlaySurfaceBitDepths = 0;
  DWORD dwZBufferBitDepths = 0;
  DWORD dwVidMemTotal = 0;
  DWORD dwVidMemFree = 0;
  DWORD dwMaxVisibleOverlays = 0;
  DWORD dwCurrVisibleOverlays = 0;
  DWORD dwNumFourCCCodes = 0;
  DWORD dwAlignBoundarySrc = 0;
  DWORD dwAlignSizeSrc = 0;
  DWORD dwAlignBoundaryDest = 0;
  DWORD dwAlignSizeDest = 0;
  DWORD dwAlignStrideAlign = 0;
  DWORD dwRops[8] = {};
  DDSCAPS ddsOldCaps;
  DWORD dwMinOverlayStretch = 0;
  DWORD dwMaxOverlayStretch = 0;
  DWORD dwMinLiveVideoStretch = 0;
  DWORD dwMaxLiveVideoStretch = 0;
  DWORD dwMinHwCodecStretch = 0;
  DWORD dwMaxHwCodecStretch = 0;
  DWORD dwReserved1 = 0;
  DWORD dwReserved2 = 0;
  DWORD dwReserved3 = 0;
  DWORD dwSVBCaps = 0;
  DWORD dwSVBCKeyCaps = 0;
  DWORD dwSVBFXCaps = 0;
  DWORD dwSVBRops[8] = {};
  DWORD dwVSBCaps = 0;
  DWORD dwVSBCKeyCaps = 0;
  DWORD dwVSBFXCaps = 0;
  DWORD dwVSBRops[8] = {};
  DWORD dwSSBCaps = 0;
  DWORD dwSSBCKeyCaps = 0;
  DWORD dwSSBFXCaps = 0;
  DWORD dwSSBRops[8] = {};
  DWORD dwMaxVideoPorts = 0;
  DWORD dwCurrVideoPorts = 0;
  DWORD dwSVBCaps2 = 0;
  DWORD dwNLVBCaps = 0;
  DWORD dwNLVBCaps2 = 0;
  DWORD dwNLVBCKeyCaps = 0;
  DWORD dwNLVBFXCaps = 0;
  DWORD dwNLVBRops[8] = {};
  DDSCAPS2 ddsCaps;
};
static_assert(sizeof(DDCAPS) == 380);

struct DDGAMMARAMP {
  WORD red[256];
  WORD green[256];
  WORD blue[256];
};

// A region as a list of rectangles (the window system's RGNDATA).
struct RGNDATAHEADER {
  DWORD dwSize = sizeof(RGNDATAHEADER);
  DWORD iType = 1;  // RDH_RECTANGLES
  DWORD nCount = 0;
  DWORD nRgnSize = 0;
  RECT rcBound;
};
struct RGNDATA {
  RGNDATAHEADER rdh;
  char Buffer[1];
};

// ---------------------------------------------------------------------------------------------
// Interface identifiers

inline constexpr GUID IID_IDirectDraw{0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr GUID IID_IDirectDraw2{0xB3A6F3E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
inline constexpr GUID IID_IDirectDraw4{0x9C59509A, 0x39BD, 0x11D1, {0x8C, 0x4A, 0x00, 0xC0, 0x4F, 0xD9, 0x30, 0xC5}};
inline constexpr GUID IID_IDirectDraw7{0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
inline constexpr GUID IID_IDirectDrawSurface{0x6C14DB81, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr GUID IID_IDirectDrawSurface4{0x0B2B8630, 0xAD35, 0x11D0, {0x8E, 0xA6, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
inline constexpr GUID IID_IDirectDrawSurface7{0x06675A80, 0x3B9B, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
inline constexpr GUID IID_IDirectDrawPalette{0x6C14DB84, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr GUID IID_IDirectDrawClipper{0x6C14DB85, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr GUID IID_IDirectDrawGammaControl{0x69C11C3E, 0xB46B, 0x11D1, {0xAD, 0x7A, 0x00, 0xC0, 0x4F, 0xC2, 0x9B, 0x4E}};

// ---------------------------------------------------------------------------------------------
// Interfaces

class IDirectDrawClipper : public IUnknown {
 public:
  virtual HRESULT GetClipList(RECT* rect, RGNDATA* clipList, DWORD* size) = 0;
  virtual HRESULT GetHWnd(HWND* window) = 0;
  virtual HRESULT Initialize(IUnknown* directDraw, DWORD flags) = 0;
  virtual HRESULT IsClipListChanged(BOOL* changed) = 0;
  virtual HRESULT SetClipList(RGNDATA* clipList, DWORD flags) = 0;
  virtual HRESULT SetHWnd(DWORD flags, HWND window) = 0;

 protected:
  ~IDirectDrawClipper() = default;
};

class IDirectDrawPalette : public IUnknown {
 public:
  virtual HRESULT GetCaps(DWORD* caps) = 0;
  virtual HRESULT GetEntries(DWORD flags, DWORD base, DWORD count, PALETTEENTRY* entries) = 0;
  virtual HRESULT Initialize(IUnknown* directDraw, DWORD flags, PALETTEENTRY* entries) = 0;
  virtual HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, const PALETTEENTRY* entries) = 0;

 protected:
  ~IDirectDrawPalette() = default;
};

class IDirectDrawGammaControl : public IUnknown {
 public:
  virtual HRESULT GetGammaRamp(DWORD flags, DDGAMMARAMP* ramp) = 0;
  virtual HRESULT SetGammaRamp(DWORD flags, const DDGAMMARAMP* ramp) = 0;

 protected:
  ~IDirectDrawGammaControl() = default;
};

class IDirectDrawSurface;
class IDirectDrawSurface4;
class IDirectDrawSurface7;

using LPDDENUMSURFACESCALLBACK = HRESULT (*)(IDirectDrawSurface* surface, DDSURFACEDESC* desc, void* context);
using LPDDENUMSURFACESCALLBACK2 = HRESULT (*)(IDirectDrawSurface4* surface, DDSURFACEDESC2* desc, void* context);
using LPDDENUMSURFACESCALLBACK7 = HRESULT (*)(IDirectDrawSurface7* surface, DDSURFACEDESC2* desc, void* context);
using LPDDENUMMODESCALLBACK = HRESULT (*)(DDSURFACEDESC* desc, void* context);
using LPDDENUMMODESCALLBACK2 = HRESULT (*)(DDSURFACEDESC2* desc, void* context);
using LPDDENUMCALLBACKA = BOOL (*)(GUID* guid, char* description, char* name, void* context);

class IDirectDrawSurface : public IUnknown {
 public:
  virtual HRESULT AddAttachedSurface(IDirectDrawSurface* surface) = 0;
  virtual HRESULT Blt(RECT* destRect, IDirectDrawSurface* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) = 0;
  virtual HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface* source, RECT* sourceRect, DWORD flags) = 0;
  virtual HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface* surface) = 0;
  virtual HRESULT EnumAttachedSurfaces(void* context, LPDDENUMSURFACESCALLBACK callback) = 0;
  virtual HRESULT Flip(IDirectDrawSurface* target, DWORD flags) = 0;
  virtual HRESULT GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** surface) = 0;
  virtual HRESULT GetBltStatus(DWORD flags) = 0;
  virtual HRESULT GetCaps(DDSCAPS* caps) = 0;
  virtual HRESULT GetClipper(IDirectDrawClipper** clipper) = 0;
  virtual HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
  virtual HRESULT GetDC(HDC* dc) = 0;
  virtual HRESULT GetFlipStatus(DWORD flags) = 0;
  virtual HRESULT GetPalette(IDirectDrawPalette** palette) = 0;
  virtual HRESULT GetPixelFormat(DDPIXELFORMAT* format) = 0;
  virtual HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) = 0;
  virtual HRESULT Initialize(IUnknown* directDraw, DDSURFACEDESC* desc) = 0;
  virtual HRESULT IsLost() = 0;
  virtual HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) = 0;
  virtual HRESULT ReleaseDC(HDC dc) = 0;
  virtual HRESULT Restore() = 0;
  virtual HRESULT SetClipper(IDirectDrawClipper* clipper) = 0;
  virtual HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
  virtual HRESULT SetPalette(IDirectDrawPalette* palette) = 0;
  virtual HRESULT Unlock(void* surfaceData) = 0;

 protected:
  ~IDirectDrawSurface() = default;
};

class IDirectDrawSurface4 : public IUnknown {
 public:
  virtual HRESULT AddAttachedSurface(IDirectDrawSurface4* surface) = 0;
  virtual HRESULT Blt(RECT* destRect, IDirectDrawSurface4* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) = 0;
  virtual HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface4* source, RECT* sourceRect, DWORD flags) = 0;
  virtual HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface4* surface) = 0;
  virtual HRESULT Flip(IDirectDrawSurface4* target, DWORD flags) = 0;
  virtual HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** surface) = 0;
  virtual HRESULT GetBltStatus(DWORD flags) = 0;
  virtual HRESULT GetCaps(DDSCAPS2* caps) = 0;
  virtual HRESULT GetClipper(IDirectDrawClipper** clipper) = 0;
  virtual HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
  virtual HRESULT GetDC(HDC* dc) = 0;
  virtual HRESULT GetFlipStatus(DWORD flags) = 0;
  virtual HRESULT GetPalette(IDirectDrawPalette** palette) = 0;
  virtual HRESULT GetPixelFormat(DDPIXELFORMAT* format) = 0;
  virtual HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
  virtual HRESULT IsLost() = 0;
  virtual HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) = 0;
  virtual HRESULT ReleaseDC(HDC dc) = 0;
  virtual HRESULT Restore() = 0;
  virtual HRESULT SetClipper(IDirectDrawClipper* clipper) = 0;
  virtual HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
  virtual HRESULT SetPalette(IDirectDrawPalette* palette) = 0;
  virtual HRESULT Unlock(RECT* rect) = 0;
  virtual HRESULT GetDDInterface(void** directDraw) = 0;
  virtual HRESULT PageLock(DWORD flags) = 0;
  virtual HRESULT PageUnlock(DWORD flags) = 0;
  virtual HRESULT GetUniquenessValue(DWORD* value) = 0;
  virtual HRESULT ChangeUniquenessValue() = 0;

 protected:
  ~IDirectDrawSurface4() = default;
};

class IDirectDrawSurface7 : public IUnknown {
 public:
  virtual HRESULT AddAttachedSurface(IDirectDrawSurface7* surface) = 0;
  virtual HRESULT Blt(RECT* destRect, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) = 0;
  virtual HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags) = 0;
  virtual HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface7* surface) = 0;
  virtual HRESULT Flip(IDirectDrawSurface7* target, DWORD flags) = 0;
  virtual HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** surface) = 0;
  virtual HRESULT GetBltStatus(DWORD flags) = 0;
  virtual HRESULT GetCaps(DDSCAPS2* caps) = 0;
  virtual HRESULT GetClipper(IDirectDrawClipper** clipper) = 0;
  virtual HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
  virtual HRESULT GetDC(HDC* dc) = 0;
  virtual HRESULT GetFlipStatus(DWORD flags) = 0;
  virtual HRESULT GetPalette(IDirectDrawPalette** palette) = 0;
  virtual HRESULT GetPixelFormat(DDPIXELFORMAT* format) = 0;
  virtual HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
  virtual HRESULT IsLost() = 0;
  virtual HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) = 0;
  virtual HRESULT ReleaseDC(HDC dc) = 0;
  virtual HRESULT Restore() = 0;
  virtual HRESULT SetClipper(IDirectDrawClipper* clipper) = 0;
  virtual HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
  virtual HRESULT SetPalette(IDirectDrawPalette* palette) = 0;
  virtual HRESULT Unlock(RECT* rect) = 0;
  virtual HRESULT GetDDInterface(void** directDraw) = 0;
  virtual HRESULT PageLock(DWORD flags) = 0;
  virtual HRESULT PageUnlock(DWORD flags) = 0;
  virtual HRESULT GetUniquenessValue(DWORD* value) = 0;
  virtual HRESULT ChangeUniquenessValue() = 0;

 protected:
  ~IDirectDrawSurface7() = default;
};

// The operations the three versions of the DirectDraw object share, in their own types.
template <class Desc, class Surface, class ModesCallback, class SurfacesCallback>
class IDirectDrawBase : public IUnknown {
 public:
  virtual HRESULT Compact() = 0;
  virtual HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer) = 0;
  virtual HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** palette, IUnknown* outer) = 0;
  virtual HRESULT CreateSurface(Desc* desc, Surface** surface, IUnknown* outer) = 0;
  virtual HRESULT DuplicateSurface(Surface* original, Surface** duplicate) = 0;
  virtual HRESULT EnumDisplayModes(DWORD flags, Desc* filter, void* context, ModesCallback callback) = 0;
  virtual HRESULT EnumSurfaces(DWORD flags, Desc* filter, void* context, SurfacesCallback callback) = 0;
  virtual HRESULT FlipToGDISurface() = 0;
  virtual HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) = 0;
  virtual HRESULT GetDisplayMode(Desc* desc) = 0;
  virtual HRESULT GetFourCCCodes(DWORD* count, DWORD* codes) = 0;
  virtual HRESULT GetGDISurface(Surface** surface) = 0;
  virtual HRESULT GetMonitorFrequency(DWORD* frequency) = 0;
  virtual HRESULT GetScanLine(DWORD* line) = 0;
  virtual HRESULT GetVerticalBlankStatus(BOOL* inBlank) = 0;
  virtual HRESULT Initialize(GUID* driver) = 0;
  virtual HRESULT RestoreDisplayMode() = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;

 protected:
  ~IDirectDrawBase() = default;
};

class IDirectDraw : public IDirectDrawBase<DDSURFACEDESC, IDirectDrawSurface, LPDDENUMMODESCALLBACK, LPDDENUMSURFACESCALLBACK> {
 public:
  virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitCount) = 0;

 protected:
  ~IDirectDraw() = default;
};

class IDirectDraw4
    : public IDirectDrawBase<DDSURFACEDESC2, IDirectDrawSurface4, LPDDENUMMODESCALLBACK2, LPDDENUMSURFACESCALLBACK2> {
 public:
  virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitCount, DWORD refreshRate, DWORD flags) = 0;
  virtual HRESULT GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) = 0;
  virtual HRESULT RestoreAllSurfaces() = 0;
  virtual HRESULT TestCooperativeLevel() = 0;

 protected:
  ~IDirectDraw4() = default;
};

class IDirectDraw7
    : public IDirectDrawBase<DDSURFACEDESC2, IDirectDrawSurface7, LPDDENUMMODESCALLBACK2, LPDDENUMSURFACESCALLBACK7> {
 public:
  virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitCount, DWORD refreshRate, DWORD flags) = 0;
  virtual HRESULT GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) = 0;
  virtual HRESULT RestoreAllSurfaces() = 0;
  virtual HRESULT TestCooperativeLevel() = 0;

 protected:
  ~IDirectDraw7() = default;
};

// Entry points of the module "DDraw.dll".
using LPDIRECTDRAWCREATE = HRESULT (*)(GUID* driver, IDirectDraw** directDraw, IUnknown* outer);
using LPDIRECTDRAWCREATEEX = HRESULT (*)(GUID* driver, void** directDraw, REFIID iid, IUnknown* outer);
using LPDIRECTDRAWENUMERATEA = HRESULT (*)(LPDDENUMCALLBACKA callback, void* context);

}  // namespace ddraw
