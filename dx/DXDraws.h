#pragma once
// DirectDraw for the components: the DirectDraw object, the display-mode request of a display,
// surfaces with their canvas, palettes and clippers. Each wrapper records the result of its last
// DirectDraw call in LastResult; failures raise only where said.
#include <cstdint>
#include <memory>
#include <vector>

#include "dx/DXClass.h"
#include "framework/Classes.h"
#include "framework/Colors.h"
#include "framework/Graphics.h"
#include "framework/Types.h"
#include "platform/ddraw/DDrawTypes.h"

namespace dx {

class TCustomDXDraw;
class TDirectDrawSurface;
class TDirectDrawPalette;
class TDirectDrawClipper;
struct TSurfaceKeyMask;

class EDirectDrawError : public fw::Exception {
 public:
  using fw::Exception::Exception;
};
FW_DECLARE_EXCEPTION(EDirectDrawPaletteError, EDirectDrawError);
FW_DECLARE_EXCEPTION(EDirectDrawClipperError, EDirectDrawError);
FW_DECLARE_EXCEPTION(EDirectDrawSurfaceError, EDirectDrawError);

// ---------------------------------------------------------------------------------------------
// The DirectDraw object

class TDirectDraw : public TDirectX {
  FW_CLASS(TDirectDraw, TDirectX)
 public:
  // Opens the driver (null: the primary display driver) with the version-7 interface.
  explicit TDirectDraw(win::GUID* GUID);
  TDirectDraw(win::GUID* GUID, bool DirectX7Mode);
  // Frees the surfaces still made on it (last first), then the palettes, then the clippers.
  ~TDirectDraw() override;

  ddraw::IDirectDraw* IDDraw() const { return idraw_; }
  ddraw::IDirectDraw4* IDDraw4() const { return idraw4_; }
  ddraw::IDirectDraw7* IDDraw7() const { return idraw7_; }
  // The same, raising EDirectDrawError "%s not made" when absent.
  ddraw::IDirectDraw* IDraw() const;
  ddraw::IDirectDraw4* IDraw4() const;
  ddraw::IDirectDraw7* IDraw7() const;

  const ddraw::DDCAPS& DriverCaps() const { return driver_caps_; }
  const ddraw::DDCAPS& HELCaps() const { return hel_caps_; }

  int ClipperCount() const { return static_cast<int>(clippers_.size()); }
  TDirectDrawClipper* Clippers(int Index) const { return clippers_.at(static_cast<std::size_t>(Index)); }
  int PaletteCount() const { return static_cast<int>(palettes_.size()); }
  TDirectDrawPalette* Palettes(int Index) const { return palettes_.at(static_cast<std::size_t>(Index)); }
  int SurfaceCount() const { return static_cast<int>(surfaces_.size()); }
  TDirectDrawSurface* Surfaces(int Index) const { return surfaces_.at(static_cast<std::size_t>(Index)); }

 private:
  friend class TDirectDrawSurface;
  friend class TDirectDrawPalette;
  friend class TDirectDrawClipper;
  void Open(win::GUID* GUID, bool DirectX7Mode);
  void ReleaseInterfaces();

  ddraw::IDirectDraw* idraw_ = nullptr;
  ddraw::IDirectDraw4* idraw4_ = nullptr;
  ddraw::IDirectDraw7* idraw7_ = nullptr;
  ddraw::DDCAPS driver_caps_;
  ddraw::DDCAPS hel_caps_;
  std::vector<TDirectDrawClipper*> clippers_;
  std::vector<TDirectDrawPalette*> palettes_;
  std::vector<TDirectDrawSurface*> surfaces_;
};

// ---------------------------------------------------------------------------------------------
// Display modes

class TDXDrawDisplayMode : public fw::TCollectionItem {
  FW_CLASS(TDXDrawDisplayMode, fw::TCollectionItem)
 public:
  explicit TDXDrawDisplayMode(fw::TCollection* Collection) : TCollectionItem(Collection) {}
  int Width() const { return static_cast<int>(surface_desc_.dwWidth); }
  int Height() const { return static_cast<int>(surface_desc_.dwHeight); }
  int BitCount() const { return static_cast<int>(surface_desc_.ddpfPixelFormat.dwRGBBitCount); }
  const ddraw::DDSURFACEDESC& SurfaceDesc() const { return surface_desc_; }

 private:
  friend class TDXDrawDisplay;
  ddraw::DDSURFACEDESC surface_desc_;
};

// The full-screen mode a display asks for, and how far the request may be bent.
class TDXDrawDisplay : public fw::TPersistent {
  FW_CLASS(TDXDrawDisplay, fw::TPersistent)
 public:
  explicit TDXDrawDisplay(TCustomDXDraw* ADXDraw);
  ~TDXDrawDisplay() override;
  void Assign(fw::TPersistent* Source) override;

  int Width() const { return width_; }
  void SetWidth(int Value);
  int Height() const { return height_; }
  void SetHeight(int Value);
  int BitCount() const { return bit_count_; }
  // Only 8, 16, 24 and 32; anything else raises EDirectDrawError.
  void SetBitCount(int Value);
  bool FixedBitCount() const { return fixed_bit_count_; }
  void SetFixedBitCount(bool Value) { fixed_bit_count_ = Value; }
  bool FixedRatio() const { return fixed_ratio_; }
  void SetFixedRatio(bool Value) { fixed_ratio_ = Value; }
  bool FixedSize() const { return fixed_size_; }
  void SetFixedSize(bool Value) { fixed_size_ = Value; }

  // The modes of the display's driver, sorted by width, height and depth; listed on first use.
  int Count();
  TDXDrawDisplayMode* Modes(int Index);
  int IndexOf(int Width, int Height, int BitCount);
  // Forgets the list (the display does this whenever it goes down).
  void ClearModes();

  // Sets exactly that mode through the display's DirectDraw object.
  bool TrySetMode(int AWidth, int AHeight, int ABitCount);
  // Sets that mode or the smallest that fits within the Fixed... rules.
  bool ChooseMode(int AWidth, int AHeight, int ABitCount);

  TCustomDXDraw* DXDraw() const { return dxdraw_; }

 protected:
  // The display's DirectDraw object while it is up (else null), and the driver it opens.
  virtual TDirectDraw* DirectDraw() const;
  virtual win::GUID* DriverGuid() const;

 private:
  void LoadDisplayModes();
  bool Search(int AWidth, int AHeight, int ABitCount, bool WithRatio);

  TCustomDXDraw* dxdraw_;
  int width_ = 640;
  int height_ = 480;
  int bit_count_ = 8;
  bool fixed_bit_count_ = true;
  bool fixed_ratio_ = true;
  bool fixed_size_ = false;
  std::unique_ptr<fw::TCollection> modes_;
};

// ---------------------------------------------------------------------------------------------
// Surfaces

class TDirectDrawSurfaceCanvas : public fw::TCanvas {
  FW_CLASS(TDirectDrawSurfaceCanvas, fw::TCanvas)
 public:
  explicit TDirectDrawSurfaceCanvas(TDirectDrawSurface* ASurface) : surface_(ASurface) {}
  ~TDirectDrawSurfaceCanvas() override;
  // Gives the device context back to the surface, which is locked while it is out.
  void Release();

 protected:
  void CreateHandle() override;

 private:
  friend class TDirectDrawSurface;
  TDirectDrawSurface* surface_;
  win::HDC dc_ = nullptr;
};

class TDirectDrawSurface : public TDirectX {
  FW_CLASS(TDirectDrawSurface, TDirectX)
 public:
  explicit TDirectDrawSurface(TDirectDraw* ADirectDraw);
  ~TDirectDrawSurface() override;

  void Assign(fw::TPersistent* Source) override;
  void AssignTo(fw::TPersistent* Dest) override;

  // Attaches a DirectDraw surface (taking a reference) or none.
  void Bind(ddraw::IDirectDrawSurface* Value);
  bool CreateSurface(const ddraw::DDSURFACEDESC& SurfaceDesc);
  // An off-screen surface of that size, in video memory unless SystemMemory, falling back to
  // system memory; raises EDirectDrawSurfaceError "%s cannot be made" when neither works.
  void SetSize(int AWidth, int AHeight);
  void LoadFromGraphic(fw::TGraphic* Graphic);
  void LoadFromGraphicRect(fw::TGraphic* Graphic, int AWidth, int AHeight, const fw::TRect& SrcRect);

  bool Blt(const fw::TRect* DestRect, const fw::TRect* SrcRect, win::DWORD Flags, const ddraw::DDBLTFX& DF,
           TDirectDrawSurface* Source);
  bool BltFast(int X, int Y, const fw::TRect& SrcRect, win::DWORD Flags, TDirectDrawSurface* Source);
  // Source's rectangle SrcRect at (X, Y), clipped to both surfaces; a rectangle with Right < Left
  // or Bottom < Top is drawn mirrored. Transparent uses the source's colour key.
  void Draw(int X, int Y, fw::TRect SrcRect, TDirectDrawSurface* Source, bool Transparent);
  bool Fill(std::uint32_t DevColor);

  bool Lock(const fw::TRect* Rect, ddraw::DDSURFACEDESC& SurfaceDesc);
  void Unlock();
  std::uint32_t Pixels(int X, int Y);
  void SetPixels(int X, int Y, std::uint32_t Value);

  // The pixel value the colour takes on this surface (the nearest palette index in 8 bits).
  std::uint32_t MatchColor(fw::TColor Color);
  void SetTransparentColor(std::uint32_t Col);
  void SetColorKey(win::DWORD Flags, const ddraw::DDCOLORKEY& Value);
  void SetClipper(TDirectDrawClipper* Value);
  void SetPalette(TDirectDrawPalette* Value);
  bool Restore();

  TDirectDrawSurfaceCanvas* Canvas();

  // Which pixels are not the source key, kept while the surface's pixels and key stay the same;
  // null while the surface cannot be read (lost, locked, its canvas drawing).
  const TSurfaceKeyMask* KeyMask();

  int Width() const { return static_cast<int>(surface_desc_.dwWidth); }
  int Height() const { return static_cast<int>(surface_desc_.dwHeight); }
  int BitCount() const { return static_cast<int>(surface_desc_.ddpfPixelFormat.dwRGBBitCount); }
  fw::TRect ClientRect() const { return fw::TRect{0, 0, Width(), Height()}; }
  bool SystemMemory() const { return system_memory_; }
  void SetSystemMemory(bool Value) { system_memory_ = Value; }
  bool HasClipper() const { return has_clipper_; }
  const ddraw::DDSURFACEDESC& SurfaceDesc() const { return surface_desc_; }
  const ddraw::DDSURFACEDESC& LockedSurfaceDesc() const { return locked_desc_; }
  int LockCount() const { return lock_count_; }
  TDirectDraw* DDraw() const { return ddraw_; }

  ddraw::IDirectDrawSurface* IDDSurface() const { return isurface_; }
  ddraw::IDirectDrawSurface4* IDDSurface4() const { return isurface4_; }
  ddraw::IDirectDrawSurface7* IDDSurface7() const { return isurface7_; }
  ddraw::IDirectDrawGammaControl* GammaControl() const { return gamma_; }
  // The same, raising EDirectDrawSurfaceError "%s not made" when absent.
  ddraw::IDirectDrawSurface* ISurface() const;
  ddraw::IDirectDrawSurface4* ISurface4() const;
  ddraw::IDirectDrawSurface7* ISurface7() const;

 private:
  friend class TDirectDrawSurfaceCanvas;
  void ReleaseInterfaces();

  TDirectDraw* ddraw_;
  std::unique_ptr<TDirectDrawSurfaceCanvas> canvas_;
  bool has_clipper_ = false;
  ddraw::IDirectDrawSurface* isurface_ = nullptr;
  ddraw::IDirectDrawSurface4* isurface4_ = nullptr;
  ddraw::IDirectDrawSurface7* isurface7_ = nullptr;
  ddraw::IDirectDrawGammaControl* gamma_ = nullptr;
  bool system_memory_ = false;
  ddraw::DDSURFACEDESC surface_desc_;
  ddraw::DDSURFACEDESC locked_desc_;
  int lock_count_ = 0;
  std::unique_ptr<TSurfaceKeyMask> key_mask_;
};

// ---------------------------------------------------------------------------------------------
// Palettes and clippers

class TDirectDrawPalette : public TDirectX {
  FW_CLASS(TDirectDrawPalette, TDirectX)
 public:
  explicit TDirectDrawPalette(TDirectDraw* ADirectDraw);
  ~TDirectDrawPalette() override;

  bool CreatePalette(win::DWORD Caps, const win::PALETTEENTRY (&Entries)[256]);
  bool SetEntries(int StartIndex, int NumEntries, const win::PALETTEENTRY* Entries);
  bool GetEntries(int StartIndex, int NumEntries, win::PALETTEENTRY* Entries);

  ddraw::IDirectDrawPalette* IDDPalette() const { return ipalette_; }
  // Raises EDirectDrawPaletteError "%s not made" when absent.
  ddraw::IDirectDrawPalette* IPalette() const;
  TDirectDraw* DDraw() const { return ddraw_; }

 private:
  TDirectDraw* ddraw_;
  ddraw::IDirectDrawPalette* ipalette_ = nullptr;
};

class TDirectDrawClipper : public TDirectX {
  FW_CLASS(TDirectDrawClipper, TDirectX)
 public:
  // Raises EDirectDrawClipperError "%s cannot be made" when DirectDraw refuses.
  explicit TDirectDrawClipper(TDirectDraw* ADirectDraw);
  ~TDirectDrawClipper() override;

  void SetWindow(win::HWND Value);

  ddraw::IDirectDrawClipper* IDDClipper() const { return iclipper_; }
  // Raises EDirectDrawClipperError "%s not made" when absent.
  ddraw::IDirectDrawClipper* IClipper() const;
  TDirectDraw* DDraw() const { return ddraw_; }

 private:
  TDirectDraw* ddraw_;
  ddraw::IDirectDrawClipper* iclipper_ = nullptr;
};

}  // namespace dx

// The image list lives in this unit too.
#include "dx/DXDrawsImageList.h"
