#pragma once
// The framework's graphics: canvases over GDI device contexts with their brush and pen, the
// abstract graphic, the framework bitmap, the shared-image base of reference-counted picture
// data, and the picture holder with its registries of graphic classes (by class name, file
// extension and clipboard format).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Colors.h"
#include "framework/Types.h"
#include "platform/base/Types.h"

namespace fw {

class TCanvas;
class TGraphic;
class TPicture;
class TBitmap;

namespace msg {
inline constexpr const char* InvalidBitmap = "Bitmap image is not valid";
inline constexpr const char* UnknownClipboardFormat = "Unsupported clipboard format";
inline constexpr const char* NoCanvasHandle = "Canvas does not allow drawing";
}  // namespace msg

// Raster operations of the canvas's copy mode.
using TCopyMode = std::int32_t;
inline constexpr TCopyMode cmBlackness = 0x00000042;
inline constexpr TCopyMode cmDstInvert = 0x00550009;
inline constexpr TCopyMode cmMergeCopy = 0x00C000CA;
inline constexpr TCopyMode cmMergePaint = 0x00BB0226;
inline constexpr TCopyMode cmNotSrcCopy = 0x00330008;
inline constexpr TCopyMode cmNotSrcErase = 0x001100A6;
inline constexpr TCopyMode cmPatCopy = 0x00F00021;
inline constexpr TCopyMode cmPatInvert = 0x005A0049;
inline constexpr TCopyMode cmPatPaint = 0x00FB0A09;
inline constexpr TCopyMode cmSrcAnd = 0x008800C6;
inline constexpr TCopyMode cmSrcCopy = 0x00CC0020;
inline constexpr TCopyMode cmSrcErase = 0x00440328;
inline constexpr TCopyMode cmSrcInvert = 0x00660046;
inline constexpr TCopyMode cmSrcPaint = 0x00EE0086;
inline constexpr TCopyMode cmWhiteness = 0x00FF0062;

// The base of GDI drawing tools: a colour and a lazily made handle; changes are announced.
class TGraphicsObject : public TPersistent {
  FW_CLASS(TGraphicsObject, TPersistent)
 public:
  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
};

enum class TBrushStyle { bsSolid, bsClear };
using enum TBrushStyle;

class TBrush : public TGraphicsObject {
  FW_CLASS(TBrush, TGraphicsObject)
 public:
  TBrush() = default;
  ~TBrush() override;
  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle Value);
  // Made on first use; owned by the brush.
  win::HBRUSH Handle();
  void Assign(TPersistent* Source) override;

 private:
  void FreeHandle();
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  win::HBRUSH handle_ = nullptr;
};

enum class TPenStyle { psSolid, psDash, psClear };
using enum TPenStyle;

class TPen : public TGraphicsObject {
  FW_CLASS(TPen, TGraphicsObject)
 public:
  TPen() = default;
  ~TPen() override;
  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  int Width() const { return width_; }
  void SetWidth(int Value);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle Value);
  win::HPEN Handle();
  void Assign(TPersistent* Source) override;

 private:
  void FreeHandle();
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  win::HPEN handle_ = nullptr;
};

// Drawing on a device context. The canvas does not own the DC it is given; subclasses that
// obtain one on demand override CreateHandle. Every drawing call announces itself through
// OnChanging before and OnChange after it draws.
class TCanvas : public TPersistent {
  FW_CLASS(TCanvas, TPersistent)
 public:
  TCanvas();
  ~TCanvas() override;

  // The DC, made by CreateHandle when there is none; raises EInvalidOperation when there is
  // still none after that.
  win::HDC Handle();
  void SetHandle(win::HDC Value);
  bool HandleAllocated() const { return handle_ != nullptr; }

  TBrush* Brush() const { return brush_.get(); }
  TPen* Pen() const { return pen_.get(); }
  TCopyMode CopyMode() const { return copy_mode_; }
  void SetCopyMode(TCopyMode Value) { copy_mode_ = Value; }

  // The graphic at its own size with its top left at (X, Y).
  void Draw(int X, int Y, TGraphic* Graphic);
  void StretchDraw(const TRect& Rect, TGraphic* Graphic);
  // A rectangle of another canvas, stretched to Dest, with the copy mode.
  void CopyRect(const TRect& Dest, TCanvas& Canvas, const TRect& Source);
  // The primitives below draw through the DC; a canvas over a window while it paints (the
  // controls' canvas) draws them on the window instead.
  virtual void FillRect(const TRect& Rect);
  // Outlined with the pen, filled with the brush; right and bottom exclusive.
  virtual void Rectangle(int X1, int Y1, int X2, int Y2);
  virtual void MoveTo(int X, int Y);
  // From the current position up to, not including, (X, Y).
  virtual void LineTo(int X, int Y);
  // The pixel's colour; -1 (CLR_INVALID) outside the bitmap.
  virtual TColor Pixel(int X, int Y);
  virtual void SetPixel(int X, int Y, TColor Color);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

  virtual void Changing();
  virtual void Changed();

 protected:
  virtual void CreateHandle() {}
  // Selects brush and pen into the DC before drawing.
  void RequiredState();

 private:
  win::HDC handle_ = nullptr;
  std::unique_ptr<TBrush> brush_;
  std::unique_ptr<TPen> pen_;
  TCopyMode copy_mode_ = cmSrcCopy;
  win::HGDIOBJ old_brush_ = nullptr;
  win::HGDIOBJ old_pen_ = nullptr;
};

// Reference-counted data shared by copies of a graphic. It starts with no reference; the last
// Release destroys it.
class TSharedImage {
 public:
  TSharedImage() = default;
  TSharedImage(const TSharedImage&) = delete;
  TSharedImage& operator=(const TSharedImage&) = delete;
  virtual ~TSharedImage() = default;

  void Reference() { ++ref_count_; }
  void Release();
  int RefCount() const { return ref_count_; }

 protected:
  // Frees the platform handles of the image (called once, before destruction).
  virtual void FreeHandle() = 0;

 private:
  int ref_count_ = 0;
};

// A picture of some kind: something that draws itself into a canvas rectangle, has a size, may
// have a palette, and stores itself into streams, stored forms and the clipboard.
class TGraphic : public TPersistent {
  FW_CLASS(TGraphic, TPersistent)
 public:
  TGraphic() = default;
  ~TGraphic() override = default;

  virtual void Draw(TCanvas& ACanvas, const TRect& Rect) = 0;
  virtual bool GetEmpty() const = 0;
  virtual int GetHeight() const = 0;
  virtual int GetWidth() const = 0;
  virtual void SetHeight(int Value) = 0;
  virtual void SetWidth(int Value) = 0;
  // The graphic's palette (still owned by the graphic), null when it has none.
  virtual win::HPALETTE GetPalette() { return nullptr; }
  virtual void SetPalette(win::HPALETTE) {}
  virtual bool GetTransparent() const { return transparent_; }
  virtual void SetTransparent(bool Value);

  // The stored form used inside stored forms and pictures; by default the stream form.
  virtual void ReadData(TStream& Stream) { LoadFromStream(Stream); }
  virtual void WriteData(TStream& Stream) { SaveToStream(Stream); }
  // The stream (file) form.
  virtual void LoadFromStream(TStream& Stream) = 0;
  virtual void SaveToStream(TStream& Stream) = 0;
  virtual void LoadFromClipboardFormat(win::UINT AFormat, win::HANDLE AData, win::HPALETTE APalette) = 0;
  virtual void SaveToClipboardFormat(win::UINT& AFormat, win::HANDLE& AData, win::HPALETTE& APalette) = 0;

  bool Empty() const { return GetEmpty(); }
  int Width() const { return GetWidth(); }
  int Height() const { return GetHeight(); }
  win::HPALETTE Palette() { return GetPalette(); }
  bool Transparent() const { return GetTransparent(); }
  bool Modified() const { return modified_; }
  void SetModified(bool Value);
  // Set when the palette changed; whoever shows the graphic realizes it again and clears it.
  bool PaletteModified = false;

  TNotifyEvent OnChange;

  // "Data": the stored form, when the graphic is itself a stored property.
  void DefineProperties(TFiler& Filer) override;

 protected:
  virtual void Changed(TObject* Sender);

 private:
  bool modified_ = false;
  bool transparent_ = false;
};

// A graphic class as the picture holder knows it: its class information and its virtual
// constructor.
struct TGraphicClass {
  const TClassInfo* Info = nullptr;
  std::unique_ptr<TGraphic> (*Create)() = nullptr;
  const std::string& Name() const;
};
template <class T>
TGraphicClass GraphicClass() {
  return TGraphicClass{&T::StaticClass(), []() -> std::unique_ptr<TGraphic> { return std::make_unique<T>(); }};
}

// Holds at most one graphic (owned), of any registered class.
class TPicture : public TPersistent {
  FW_CLASS(TPicture, TPersistent)
 public:
  TPicture();
  ~TPicture() override;

  TGraphic* Graphic() const { return graphic_.get(); }
  // Copies Value (a new graphic of its class, assigned from it); null frees the graphic.
  void SetGraphic(TGraphic* Value);
  // The graphic as a framework bitmap, replacing another kind of graphic by an empty bitmap.
  TBitmap* Bitmap();
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }

  // From a picture, a graphic or nothing.
  void Assign(TPersistent* Source) override;
  void LoadFromClipboardFormat(win::UINT AFormat, win::HANDLE AData, win::HPALETTE APalette);
  void SaveToClipboardFormat(win::UINT& AFormat, win::HANDLE& AData, win::HPALETTE& APalette);
  static bool SupportsClipboardFormat(win::UINT AFormat);

  // "Data": one length byte and the graphic's class name, then that class's stored data.
  void DefineProperties(TFiler& Filer) override;
  void ReadData(TStream& Stream);
  void WriteData(TStream& Stream);

  TNotifyEvent OnChange;

  // Registries. Every registered class can be found by name.
  static void RegisterGraphicClass(const TGraphicClass& AGraphicClass);
  static void RegisterFileFormat(const std::string& AExtension, const std::string& ADescription,
                                 const TGraphicClass& AGraphicClass);
  static void RegisterClipboardFormat(win::UINT AFormat, const TGraphicClass& AGraphicClass);
  // Removes the class from all three registries.
  static void UnregisterGraphicClass(const TClassInfo& AClass);
  static const TGraphicClass* FindGraphicClass(const std::string& AClassName);
  // Extensions compare without regard to case and without the dot.
  static const TGraphicClass* FindFileFormat(const std::string& AExtension);
  static const TGraphicClass* FindClipboardFormat(win::UINT AFormat);
  static std::string FileFormatDescription(const std::string& AExtension);

 protected:
  virtual void Changed(TObject* Sender);

 private:
  void Take(std::unique_ptr<TGraphic> g);
  std::unique_ptr<TGraphic> graphic_;
};

enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
using enum TPixelFormat;

// The framework's bitmap: a GDI bitmap (a DIB section for explicit pixel formats, a bitmap of the
// screen's format for pfDevice) with an optional palette, both owned, and a canvas on demand.
// Its stream form is a BMP file; its stored form is that file after a 32-bit length.
class TBitmap : public TGraphic {
  FW_CLASS(TBitmap, TGraphic)
 public:
  TBitmap();
  ~TBitmap() override;

  void Assign(TPersistent* Source) override;
  void Draw(TCanvas& ACanvas, const TRect& Rect) override;
  bool GetEmpty() const override { return width_ == 0 || height_ == 0; }
  int GetHeight() const override { return height_; }
  int GetWidth() const override { return width_; }
  void SetHeight(int Value) override { SetSize(width_, Value); }
  void SetWidth(int Value) override { SetSize(Value, height_); }
  void SetSize(int AWidth, int AHeight);
  win::HPALETTE GetPalette() override { return palette_; }
  // Takes the palette over (and deletes the one it had).
  void SetPalette(win::HPALETTE Value) override;
  void ReadData(TStream& Stream) override;
  void WriteData(TStream& Stream) override;
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  // CF_BITMAP (a bitmap handle, copied) with an optional palette.
  void LoadFromClipboardFormat(win::UINT AFormat, win::HANDLE AData, win::HPALETTE APalette) override;
  void SaveToClipboardFormat(win::UINT& AFormat, win::HANDLE& AData, win::HPALETTE& APalette) override;

  TCanvas* Canvas();
  // The bitmap handle (made when the bitmap has a size but no handle yet), still owned.
  win::HBITMAP Handle();
  // Takes a bitmap over; its size and format become the bitmap's.
  void SetHandle(win::HBITMAP Value);
  // Gives the handle up to the caller.
  win::HBITMAP ReleaseHandle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  TPixelFormat PixelFormat() const { return pixel_format_; }
  void SetPixelFormat(TPixelFormat Value);
  // A row of a DIB section's pixels (row 0 at the top); null for pfDevice bitmaps.
  void* ScanLine(int Row);

 private:
  class TBitmapCanvas;
  void NewImage(int AWidth, int AHeight, TPixelFormat AFormat, bool KeepContent);
  void FreeImage();
  void Deselect();
  void SelectInto();
  void ApplyPaletteToSection();

  win::HBITMAP handle_ = nullptr;
  win::HPALETTE palette_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  TPixelFormat pixel_format_ = pfDevice;
  std::unique_ptr<TCanvas> canvas_;
  win::HDC dc_ = nullptr;
  win::HGDIOBJ old_bitmap_ = nullptr;
  friend class TBitmapCanvas;
};

// Palette entries (red, green, blue, flags) <-> colour entries (blue, green, red, 0).
win::RGBQUAD PaletteEntryToQuad(const win::PALETTEENTRY& e);
win::PALETTEENTRY QuadToPaletteEntry(const win::RGBQUAD& q);
// A logical palette (version 0x300) of the first Count entries (at most 256), and a palette of
// the same entries as another (null for null).
win::HPALETTE MakePalette(const win::PALETTEENTRY* Entries, int Count);
win::HPALETTE CopyPalette(win::HPALETTE Palette);

}  // namespace fw
