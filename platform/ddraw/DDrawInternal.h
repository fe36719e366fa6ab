#pragma once
// The objects behind the DirectDraw interfaces. One object implements every version of its
// interface, and all of them share one reference count.
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "platform/ddraw/DDraw.h"
#include "platform/base/RefCounted.h"
#include "platform/ddraw/DDrawBlit.h"

namespace ddraw::detail {

class DirectDrawObject;
class SurfaceObject;
class PaletteObject;
class ClipperObject;

// How many objects of this module are alive, in all and by kind.
int& LiveCount();
enum class ObjectKind { Surface, Palette, Clipper, Count };
int& LiveCount(ObjectKind kind);
template <ObjectKind K>
struct KindCount {
  KindCount() { ++LiveCount(K); }
  KindCount(const KindCount&) = delete;
  KindCount& operator=(const KindCount&) = delete;
  ~KindCount() { --LiveCount(K); }
};

// The objects of this module, counted in its live count. The last Release destroys an object
// (the usual rule of these interfaces, and the only place in this module where objects are
// deleted); surfaces keep one another in memory while a flip chain comes apart.
template <class... Interfaces>
using Object = win::ComObject<&LiveCount, Interfaces...>;

// Pixel memory of one surface (shared by duplicates; buffers move between the surfaces of a flip
// chain). Video memory is charged to the adapter's budget while the buffer lives.
struct AdapterState;
// Pixel memory starts on a cache line, so that rows whose pitch is a multiple of 64 bytes never
// split a blit's vector between two lines.
inline constexpr std::size_t kBufferAlignment = 64;
struct BufferFree {
  void operator()(std::uint8_t* p) const { ::operator delete[](p, std::align_val_t{kBufferAlignment}); }
};
struct Buffer {
  std::shared_ptr<AdapterState> Adapter;
  std::unique_ptr<std::uint8_t[], BufferFree> Memory;
  std::size_t Bytes = 0;
  LONG Pitch = 0;
  DWORD Width = 0;
  DWORD Height = 0;
  DWORD BitCount = 0;
  bool Video = false;  // charged to the budget
  std::uint64_t Version = 0;  // counts the writes, for what is cached about the contents
  ~Buffer();
  Buffer() = default;
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
};

struct AdapterState {
  AdapterConfig Config;
  bool IsPrimaryDriver = false;
  DisplayMode Mode;
  std::shared_ptr<Buffer> Screen;  // what GDI draws on: the desktop, or the front of a flip chain
  std::uint64_t VideoUsed = 0;
  DirectDrawObject* Exclusive = nullptr;
  bool ExclusiveActive = true;
  std::vector<SurfaceObject*> Surfaces;  // every live surface made on this adapter
  DDGAMMARAMP Gamma{};
  bool GammaSet = false;
  // A flip that waits for the vertical blank shows at the next retrace; until then the chain
  // cannot flip again. FlipDue is that retrace on the platform clock.
  bool FlipPending = false;
  double FlipDue = 0;
  // The start of the last vertical blank a wait for its beginning returned at. The platform clock
  // counts whole milliseconds, so a blank's beginning lasts a millisecond: a second wait within it
  // is for the next blank, or a frame loop would show two frames in one refresh.
  bool BlankBegun = false;
  double BlankBegin = 0;
};

// The display's refresh on the platform clock: frame n starts at n * 1000 / rate milliseconds;
// the vertical blank is the first millisecond of each frame.
struct Refresh {
  double Rate;
  double Period;
  explicit Refresh(double hz) : Rate(hz > 0 ? hz : 60), Period(1000.0 / Rate) {}
  // Frame numbers are worked out from rate and time together, so that a frame starting on a
  // whole millisecond (1000 ms at 60 Hz) starts there, not a rounding error before it.
  double FrameStart(double now) const { return std::floor(now * Rate / 1000.0 + 1e-9) * 1000.0 / Rate; }
  double NextRetrace(double now) const { return (std::floor(now * Rate / 1000.0 + 1e-9) + 1) * 1000.0 / Rate; }
  bool InBlank(double now) const { return now - FrameStart(now) < 1.0; }
};
// The rate the adapter's screen refreshes at: the real screen's where the window system tells
// it, else the mode's (60 Hz when it names none).
double RefreshRate(const AdapterState& adapter);
// Blocks until the platform clock reaches `target` (a virtual clock is moved on instead).
void WaitUntil(double target, double now);

// Pixel formats of the display modes and surfaces.
DDPIXELFORMAT FormatForBitCount(DWORD bitCount);
bool SameFormat(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b);
bool IsPalettized(const DDPIXELFORMAT& f);
LONG PitchFor(DWORD width, DWORD bitCount);

// Allocates a buffer; video memory must fit the adapter's budget. Null with the reason in hr.
std::shared_ptr<Buffer> AllocateBuffer(const std::shared_ptr<AdapterState>& adapter, DWORD width, DWORD height,
                                       DWORD bitCount, bool video, HRESULT& hr);

// The adapters the module offers, the primary driver first.
std::vector<std::shared_ptr<AdapterState>>& AdapterList();
// The desktop buffer is made when first needed, so a reconfigured adapter costs nothing until
// something draws on it.
void EnsureScreen(AdapterState& adapter);

// Switches the adapter's mode (a new desktop buffer) and makes its surfaces lost.
void ChangeMode(AdapterState& adapter, const DisplayMode& mode);
void LoseSurfaces(AdapterState& adapter);
Presenter* CurrentPresenter();
void PresentBuffer(AdapterState& adapter, const Buffer& buffer, const RECT* changed, PaletteObject* palette);

// ---------------------------------------------------------------------------------------------

class ClipperObject final : public Object<IDirectDrawClipper> {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override;
  HRESULT GetClipList(RECT* rect, RGNDATA* clipList, DWORD* size) override;
  HRESULT GetHWnd(HWND* window) override;
  HRESULT Initialize(IUnknown* directDraw, DWORD flags) override;
  HRESULT IsClipListChanged(BOOL* changed) override;
  HRESULT SetClipList(RGNDATA* clipList, DWORD flags) override;
  HRESULT SetHWnd(DWORD flags, HWND window) override;

  // The rectangles a blit onto a surface of the given size may write; false when the clipper has
  // neither a window nor a list.
  bool ClipRects(LONG width, LONG height, std::vector<RECT>& rects) const;

 private:
  HWND window_ = nullptr;
  std::vector<RECT> list_;
  bool has_list_ = false;
  KindCount<ObjectKind::Clipper> counted_;
};

class PaletteObject final : public Object<IDirectDrawPalette> {
 public:
  PaletteObject(DWORD caps, const PALETTEENTRY* entries, DWORD count);
  HRESULT QueryInterface(REFIID riid, void** object) override;
  HRESULT GetCaps(DWORD* caps) override;
  HRESULT GetEntries(DWORD flags, DWORD base, DWORD count, PALETTEENTRY* entries) override;
  HRESULT Initialize(IUnknown* directDraw, DWORD flags, PALETTEENTRY* entries) override;
  HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, const PALETTEENTRY* entries) override;

  DWORD Count() const { return count_; }
  const PALETTEENTRY* Entries() const { return entries_; }
  // Surfaces this palette is attached to (not held), so a change reaches the screen.
  std::vector<SurfaceObject*> Users;

 private:
  DWORD caps_;
  DWORD count_;
  PALETTEENTRY entries_[256] = {};
  KindCount<ObjectKind::Palette> counted_;
};

class SurfaceObject final
    : public Object<IDirectDrawSurface, IDirectDrawSurface4, IDirectDrawSurface7, IDirectDrawGammaControl> {
 public:
  SurfaceObject(DirectDrawObject* owner, const DDSURFACEDESC2& desc, std::shared_ptr<Buffer> memory);
  ~SurfaceObject() override;

  HRESULT QueryInterface(REFIID riid, void** object) override;

  // Shared by the versions.
  HRESULT GetBltStatus(DWORD flags) override;
  HRESULT GetClipper(IDirectDrawClipper** clipper) override;
  HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) override;
  HRESULT GetDC(HDC* dc) override;
  HRESULT GetFlipStatus(DWORD flags) override;
  HRESULT GetPalette(IDirectDrawPalette** palette) override;
  HRESULT GetPixelFormat(DDPIXELFORMAT* format) override;
  HRESULT IsLost() override;
  HRESULT ReleaseDC(HDC dc) override;
  HRESULT Restore() override;
  HRESULT SetClipper(IDirectDrawClipper* clipper) override;
  HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) override;
  HRESULT SetPalette(IDirectDrawPalette* palette) override;
  HRESULT GetDDInterface(void** directDraw) override;
  HRESULT PageLock(DWORD flags) override;
  HRESULT PageUnlock(DWORD flags) override;
  HRESULT GetUniquenessValue(DWORD* value) override;
  HRESULT ChangeUniquenessValue() override;

  // Version 1.
  HRESULT AddAttachedSurface(IDirectDrawSurface* surface) override;
  HRESULT Blt(RECT* destRect, IDirectDrawSurface* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) override;
  HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface* source, RECT* sourceRect, DWORD flags) override;
  HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface* surface) override;
  HRESULT EnumAttachedSurfaces(void* context, LPDDENUMSURFACESCALLBACK callback) override;
  HRESULT Flip(IDirectDrawSurface* target, DWORD flags) override;
  HRESULT GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** surface) override;
  HRESULT GetCaps(DDSCAPS* caps) override;
  HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) override;
  HRESULT Initialize(IUnknown* directDraw, DDSURFACEDESC* desc) override;
  HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) override;
  HRESULT Unlock(void* surfaceData) override;

  // Versions 4 and 7.
  HRESULT AddAttachedSurface(IDirectDrawSurface4* surface) override;
  HRESULT Blt(RECT* destRect, IDirectDrawSurface4* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) override;
  HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface4* source, RECT* sourceRect, DWORD flags) override;
  HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface4* surface) override;
  HRESULT Flip(IDirectDrawSurface4* target, DWORD flags) override;
  HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** surface) override;
  HRESULT AddAttachedSurface(IDirectDrawSurface7* surface) override;
  HRESULT Blt(RECT* destRect, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) override;
  HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags) override;
  HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface7* surface) override;
  HRESULT Flip(IDirectDrawSurface7* target, DWORD flags) override;
  HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** surface) override;
  HRESULT GetCaps(DDSCAPS2* caps) override;
  HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) override;
  HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) override;
  HRESULT Unlock(RECT* rect) override;

  // Gamma control (primary surfaces of adapters with gamma ramps).
  HRESULT GetGammaRamp(DWORD flags, DDGAMMARAMP* ramp) override;
  HRESULT SetGammaRamp(DWORD flags, const DDGAMMARAMP* ramp) override;

  // --- for the rest of the module
  static SurfaceObject* From(IUnknown* any);
  // Every surface interface in the program is one of these objects.
  static SurfaceObject* From(IDirectDrawSurface* s) { return static_cast<SurfaceObject*>(s); }
  static SurfaceObject* From(IDirectDrawSurface4* s) { return static_cast<SurfaceObject*>(s); }
  static SurfaceObject* From(IDirectDrawSurface7* s) { return static_cast<SurfaceObject*>(s); }
  IDirectDrawSurface* V1() { return static_cast<IDirectDrawSurface*>(this); }
  IDirectDrawSurface4* V4() { return static_cast<IDirectDrawSurface4*>(this); }
  IDirectDrawSurface7* V7() { return static_cast<IDirectDrawSurface7*>(this); }

  const DDSURFACEDESC2& Desc() const { return desc_; }
  DirectDrawObject* Owner() const { return owner_; }
  AdapterState& Adapter() const { return *adapter_; }
  bool Lost() const { return lost_; }
  void MakeLost() { lost_ = true; }
  bool InVideoMemory() const { return (desc_.ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY) != 0; }
  bool IsPrimary() const { return (desc_.ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0; }
  bool Busy() const { return locked_ || dc_ != nullptr; }
  bool Visible() const;
  const std::shared_ptr<Buffer>& Memory() const { return memory_; }
  PaletteObject* AttachedPalette() const { return palette_; }
  void SetSourceKey(const DDCOLORKEY& key) {
    src_key_ = key;
    has_src_key_ = true;
  }
  void SetDestKey(const DDCOLORKEY& key) {
    dest_key_ = key;
    has_dest_key_ = true;
  }
  // Flip chains: the front holds the chain (itself first, then the back buffers in order).
  void MakeChain(std::vector<SurfaceObject*> backs);
  SurfaceObject* ChainFront() const { return front_; }
  // The duplicate of this surface: the same memory, its own object.
  SurfaceObject* Duplicate();
  // Called when the owning DirectDraw object goes away.
  void Orphan() { owner_ = nullptr; }

  // The DC or lock that is out: a surface in use cannot be blitted, flipped or locked again.
  pixels::PixelView View() const;
  // What this surface leaves under a source key (see blit::KeySpans), once it is drawn keyed again
  // and again; null before.
  const blit::KeySpans* SpansFor(const blit::KeyRange& key);
  void Touched(const RECT* changed);

 protected:
  void LastReleased() override;

 private:
  HRESULT BltImpl(RECT* destRect, SurfaceObject* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx);
  HRESULT BltFastImpl(DWORD x, DWORD y, SurfaceObject* source, RECT* sourceRect, DWORD flags);
  HRESULT FlipImpl(SurfaceObject* target, DWORD flags);
  HRESULT AddAttachedImpl(SurfaceObject* surface);
  HRESULT DeleteAttachedImpl(DWORD flags, SurfaceObject* surface);
  SurfaceObject* FindAttached(DWORD caps) const;
  HRESULT LockImpl(RECT* rect, DDSURFACEDESC2& desc, DWORD flags);
  HRESULT UnlockImpl();
  void FillDesc(DDSURFACEDESC2& desc) const;
  HRESULT RestoreChain();
  void DetachEverything();

  DirectDrawObject* owner_;
  DirectDrawObject* held_;  // kept in memory while this surface lives
  std::shared_ptr<AdapterState> adapter_;
  DDSURFACEDESC2 desc_;
  std::shared_ptr<Buffer> memory_;
  DisplayMode created_mode_;
  bool lost_ = false;
  DDCOLORKEY src_key_, dest_key_;
  bool has_src_key_ = false, has_dest_key_ = false;
  PaletteObject* palette_ = nullptr;  // held
  ClipperObject* clipper_ = nullptr;  // held
  SurfaceObject* front_ = nullptr;    // for the members of a flip chain (the front itself too)
  std::vector<SurfaceObject*> chain_;  // front only: itself, then the back buffers (held)
  std::vector<SurfaceObject*> attached_;  // explicitly attached (held)
  bool locked_ = false;
  bool read_only_lock_ = false;
  RECT lock_rect_;
  std::uint8_t* lock_pointer_ = nullptr;
  HDC dc_ = nullptr;
  DWORD uniqueness_ = 1;
  // The buffer and its count of writes when the uniqueness value was last asked for: a write
  // through another surface of the same memory (a duplicate, a flip) changes the value too.
  const Buffer* seen_buffer_ = nullptr;
  std::uint64_t seen_version_ = 0;
  std::unique_ptr<blit::KeySpans> spans_;
  int keyed_blits_ = 0;  // keyed blits from this surface since its contents last changed
  std::uint64_t keyed_version_ = 0;  // the contents keyed_blits_ counts for
  KindCount<ObjectKind::Surface> counted_;
  friend class DirectDrawObject;
};

// Interfaces another module adds to the DirectDraw object (Direct3D). Made on first demand, they
// live as long as the object and count their references with it.
class Extension {
 public:
  virtual ~Extension() = default;
  // Only the extension's own identifiers.
  virtual HRESULT Query(REFIID riid, void** object) = 0;
};
// Answers for the identifiers the DirectDraw object does not know itself (in platform/d3d).
HRESULT QueryExtension(DirectDrawObject& outer, std::unique_ptr<Extension>& extension, REFIID riid, void** object);

class DirectDrawObject final : public Object<IDirectDraw, IDirectDraw4, IDirectDraw7> {
 public:
  // createdEx: made by DirectDrawCreateEx, which decides the Direct3D interfaces it offers.
  DirectDrawObject(std::shared_ptr<AdapterState> adapter, bool createdEx = false);
  ~DirectDrawObject() override;

  HRESULT QueryInterface(REFIID riid, void** object) override;

  // Shared by the versions.
  HRESULT Compact() override;
  HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer) override;
  HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** palette, IUnknown* outer) override;
  HRESULT FlipToGDISurface() override;
  HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) override;
  HRESULT GetFourCCCodes(DWORD* count, DWORD* codes) override;
  HRESULT GetMonitorFrequency(DWORD* frequency) override;
  HRESULT GetScanLine(DWORD* line) override;
  HRESULT GetVerticalBlankStatus(BOOL* inBlank) override;
  HRESULT Initialize(GUID* driver) override;
  HRESULT RestoreDisplayMode() override;
  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
  HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) override;

  // Version 1.
  HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, IUnknown* outer) override;
  HRESULT DuplicateSurface(IDirectDrawSurface* original, IDirectDrawSurface** duplicate) override;
  HRESULT EnumDisplayModes(DWORD flags, DDSURFACEDESC* filter, void* context, LPDDENUMMODESCALLBACK callback) override;
  HRESULT EnumSurfaces(DWORD flags, DDSURFACEDESC* filter, void* context, LPDDENUMSURFACESCALLBACK callback) override;
  HRESULT GetDisplayMode(DDSURFACEDESC* desc) override;
  HRESULT GetGDISurface(IDirectDrawSurface** surface) override;
  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitCount) override;

  // Versions 4 and 7.
  HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** surface, IUnknown* outer) override;
  HRESULT DuplicateSurface(IDirectDrawSurface4* original, IDirectDrawSurface4** duplicate) override;
  HRESULT EnumDisplayModes(DWORD flags, DDSURFACEDESC2* filter, void* context, LPDDENUMMODESCALLBACK2 callback) override;
  HRESULT EnumSurfaces(DWORD flags, DDSURFACEDESC2* filter, void* context, LPDDENUMSURFACESCALLBACK2 callback) override;
  HRESULT GetDisplayMode(DDSURFACEDESC2* desc) override;
  HRESULT GetGDISurface(IDirectDrawSurface4** surface) override;
  HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown* outer) override;
  HRESULT DuplicateSurface(IDirectDrawSurface7* original, IDirectDrawSurface7** duplicate) override;
  HRESULT EnumSurfaces(DWORD flags, DDSURFACEDESC2* filter, void* context, LPDDENUMSURFACESCALLBACK7 callback) override;
  HRESULT GetGDISurface(IDirectDrawSurface7** surface) override;
  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitCount, DWORD refreshRate, DWORD flags) override;
  HRESULT GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) override;
  HRESULT RestoreAllSurfaces() override;
  HRESULT TestCooperativeLevel() override;

  // --- for the rest of the module
  static DirectDrawObject* From(IUnknown* any);
  IDirectDraw* V1() { return static_cast<IDirectDraw*>(this); }
  const std::shared_ptr<AdapterState>& Adapter() const { return adapter_; }
  HWND Window() const { return window_; }
  bool IsExclusiveOwner() const { return adapter_->Exclusive == this; }
  DisplayMode OwnerMode() const { return owner_mode_; }
  bool ModeSet() const { return mode_set_; }
  bool CreatedEx() const { return created_ex_; }
  void Forget(SurfaceObject* s);
  void Adopt(SurfaceObject* s) { surfaces_.push_back(s); }
  void PrimaryGone(SurfaceObject* s) {
    if (primary_ == s) primary_ = nullptr;
  }

 protected:
  void LastReleased() override;

 private:
  HRESULT CreateSurfaceImpl(DDSURFACEDESC2 desc, SurfaceObject** surface);
  HRESULT DisplayModeImpl(DDSURFACEDESC2& desc) const;
  HRESULT SetDisplayModeImpl(DWORD width, DWORD height, DWORD bitCount, DWORD refreshRate);
  template <class Desc, class Callback>
  HRESULT EnumModesImpl(DWORD flags, const Desc* filter, void* context, Callback callback);
  void LeaveExclusive();

  std::shared_ptr<AdapterState> adapter_;
  HWND window_ = nullptr;
  DWORD coop_flags_ = 0;
  bool coop_set_ = false;
  bool mode_set_ = false;     // this object changed the display mode
  DisplayMode owner_mode_;    // the mode it set
  SurfaceObject* primary_ = nullptr;  // not held
  std::vector<SurfaceObject*> surfaces_;  // not held
  bool created_ex_ = false;
  std::unique_ptr<Extension> extension_;
};

// Conversions between the two surface descriptions.
DDSURFACEDESC2 ToDesc2(const DDSURFACEDESC& d);
DDSURFACEDESC ToDesc1(const DDSURFACEDESC2& d);

}  // namespace ddraw::detail
