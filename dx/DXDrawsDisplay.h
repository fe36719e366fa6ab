#pragma once
// The display control: a DirectDraw display with a back surface to draw each frame on, a visible
// surface and a palette, presented by a blit into the control's window or by page flipping in
// exclusive full screen. Presentation itself belongs to a driver the control makes while it is
// up; other components (image lists, sprite engines) listen to the control's life cycle.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "dx/DXClass.h"
#include "dx/DXDraws3D.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Sets.h"
#include "platform/ddraw/DDrawTypes.h"

namespace dx {

class TDirectDraw;
class TDirectDrawSurface;
class TDirectDrawPalette;
class TDirectDrawClipper;
class TDXDrawDisplay;
class TCustomDXDraw;
class TDXDrawDriver;

class EDXDrawError : public fw::Exception {
 public:
  using fw::Exception::Exception;
};

enum class TDXDrawOption {
  doFullScreen,
  doNoWindowChange,
  doAllowReboot,
  doWaitVBlank,
  doAllowPalette256,
  doSystemMemory,
  doStretch,
  doCenter,
  doFlip,
  do3D,
  doDirectX7Mode,
  doRetainedMode,
  doHardware,
  doSelectDriver,
  doZBuffer
};
using enum TDXDrawOption;
using TDXDrawOptions = fw::TSet<TDXDrawOption>;

enum class TDXDrawNotifyType {
  dnDestroying,
  dnInitializing,
  dnInitialize,
  dnInitializeSurface,
  dnFinalize,
  dnFinalizeSurface,
  dnRestore,
  dnSetSurfaceSize
};
using enum TDXDrawNotifyType;

// A listener: called as Callback(Object, display, kind). Callback and object together name it.
using TDXDrawNotifyEvent = void (*)(void* Object, TCustomDXDraw* Sender, TDXDrawNotifyType NotifyType);

// 256 entries of blue, green, red, reserved.
using TRGBQuads = std::array<win::RGBQUAD, 256>;
static_assert(sizeof(TRGBQuads) == 1024, "colour tables are copied as 1024 bytes");

// ---------------------------------------------------------------------------------------------
// Drivers: build the visible and back surfaces and present frames.

class TDXDrawDriver {
 public:
  // Opens the display's DirectDraw object.
  explicit TDXDrawDriver(TCustomDXDraw* ADXDraw);
  // Finalize, then frees the DirectDraw object.
  virtual ~TDXDrawDriver();
  TDXDrawDriver(const TDXDrawDriver&) = delete;
  TDXDrawDriver& operator=(const TDXDrawDriver&) = delete;

  virtual void Finalize();
  virtual void Flip() = 0;
  virtual void Initialize() = 0;
  virtual bool SetSize(int AWidth, int AHeight);
  bool Restore();
  // Makes the back surface a Direct3D render target; raises when no device can be made.
  void Initialize3D();

  TCustomDXDraw* DXDraw() const { return dxdraw_; }

 protected:
  // Makes the display's palette from its colour table with the given caps.
  void CreatePalette(win::DWORD Caps);

  TCustomDXDraw* dxdraw_;

 private:
  struct DeviceChoice;
  DeviceChoice SearchDevice(bool Version7, bool HardwareWish);
  bool MakeZBuffer(int Request, const DeviceChoice& Device);
  void RemoveZBuffer();
  void SetUpRetainedMode();
};

class TDXDrawDriverBlt : public TDXDrawDriver {
 public:
  using TDXDrawDriver::TDXDrawDriver;
  void Flip() override;
  void Initialize() override;
  bool SetSize(int AWidth, int AHeight) override;

 private:
  void InitializeSurface();
};

class TDXDrawDriverFlip : public TDXDrawDriver {
 public:
  using TDXDrawDriver::TDXDrawDriver;
  void Flip() override;
  void Initialize() override;
};

// ---------------------------------------------------------------------------------------------

class TCustomDXDraw : public fw::TCustomControl {
  FW_CLASS(TCustomDXDraw, fw::TCustomControl)
 public:
  explicit TCustomDXDraw(fw::TComponent* AOwner);
  ~TCustomDXDraw() override;

  void Initialize();
  void Finalize();
  bool CanDraw();
  void Flip();
  void Restore();
  void UpdatePalette();
  void SetSurfaceSize(int AWidth, int AHeight);
  void AddNotifyHandler(TDXDrawNotifyEvent Callback, void* Object);
  void RemoveNotifyHandler(TDXDrawNotifyEvent Callback, void* Object);

  bool AutoInitialize() const { return auto_initialize_; }
  void SetAutoInitialize(bool Value) { auto_initialize_ = Value; }
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool Value);
  TDXDrawDisplay* Display() const { return display_.get(); }
  void SetDisplay(TDXDrawDisplay* Value);
  TDXDrawOptions Options() const { return options_; }
  void SetOptions(TDXDrawOptions Value);
  TDXDrawOptions EffectiveOptions() const { return now_options_; }
  // The drivers add what they found out (a back surface outside video memory).
  void SetEffectiveOptions(TDXDrawOptions Value) { now_options_ = Value; }
  int SurfaceWidth() const;
  int SurfaceHeight() const;
  void SetSurfaceWidth(int Value);
  void SetSurfaceHeight(int Value);

  bool Initialized() const { return initialized_; }
  bool Started() const { return started_; }
  bool Busy() const { return busy_; }
  bool InitializeAttempted() const { return initialize_attempted_; }
  bool SurfaceFired() const { return surface_fired_; }
  int RestoreHold() const { return restore_hold_; }
  fw::TCustomForm* OwnerForm() const { return owner_form_; }

  // Null: the primary display driver. A readable identifier is copied; DirectDraw's special
  // values (small integers) are kept as they are.
  win::GUID* DriverGuid() const { return driver_guid_; }
  void SetDriverGuid(win::GUID* Value);

  TDXDrawDriver* Driver() const { return driver_.get(); }
  // Made and freed by the driver.
  TDirectDraw* DDraw() const { return ddraw_.get(); }
  TDirectDrawSurface* Primary() const { return primary_.get(); }
  TDirectDrawSurface* Surface() const { return surface_.get(); }
  TDirectDrawPalette* Palette() const { return palette_.get(); }
  TDirectDrawClipper* Clipper() const { return clipper_.get(); }
  TDirectDrawSurface* ZBuffer() const { return zbuffer_.get(); }
  // The Direct3D and retained-mode interfaces while 3D is set up.
  const TDXDraw3DInterfaces& Direct3D() const { return d3d_; }

  TRGBQuads ColorTable;
  TRGBQuads DefaultColorTable;

  fw::TNotifyEvent OnFinalize;
  fw::TNotifyEvent OnFinalizeSurface;
  fw::TNotifyEvent OnInitialize;
  fw::TNotifyEvent OnInitializeSurface;
  fw::TNotifyEvent OnInitializing;
  fw::TNotifyEvent OnRestoreSurface;

  void SetParent(fw::TWinControl* AParent) override;
  void Loaded() override;

 protected:
  virtual void DoFinalize();
  virtual void DoFinalizeSurface();
  virtual void DoInitialize();
  virtual void DoInitializeSurface();
  virtual void DoInitializing();
  virtual void DoRestoreSurface();

  void Paint() override;
  void Resize() override;
  void WndProc(fw::TMessage& Message) override;

 private:
  friend class TDXDrawDriver;
  friend class TDXDrawDriverBlt;
  friend class TDXDrawDriverFlip;

  struct Listener {
    TDXDrawNotifyEvent Callback;
    void* Object;
  };

  void NotifyAll(TDXDrawNotifyType Kind);
  void SetCooperativeLevel();
  bool CheckSurfaces();
  void ApplyColorTable(const TRGBQuads& Table);
  // The 256 palette entries of a colour table as this display applies them.
  void PaletteEntriesOf(const TRGBQuads& Table, win::PALETTEENTRY* Entries) const;
  void FlipToGDISurface();
  void FormWndProc(fw::TMessage& Message, const fw::TWndMethod& Default);
  win::HWND CooperativeWindow();

  // Made before anything else so that size changes during construction already notify.
  std::vector<Listener> listeners_;
  bool auto_initialize_ = true;
  bool auto_size_ = true;
  std::unique_ptr<TDXDrawDisplay> display_;
  TDXDrawOptions options_;
  TDXDrawOptions now_options_;
  int surface_width_ = 640;
  int surface_height_ = 480;
  bool initialized_ = false;
  bool started_ = false;
  bool busy_ = false;
  bool initialize_attempted_ = false;
  bool initialize_fired_ = false;
  bool surface_fired_ = false;
  int restore_hold_ = 0;
  fw::TCustomForm* owner_form_ = nullptr;
  std::unique_ptr<TControlSubClass> form_hook_;
  win::GUID* driver_guid_ = nullptr;
  win::GUID driver_guid_copy_{};
  std::unique_ptr<TDXDrawDriver> driver_;
  std::unique_ptr<TDirectDraw> ddraw_;
  std::unique_ptr<TDirectDrawClipper> clipper_;
  std::unique_ptr<TDirectDrawPalette> palette_;
  std::unique_ptr<TDirectDrawSurface> primary_;
  std::unique_ptr<TDirectDrawSurface> surface_;
  std::unique_ptr<TDirectDrawSurface> zbuffer_;
  TDXDraw3DInterfaces d3d_;
};

class TDXDraw : public TCustomDXDraw {
  FW_CLASS(TDXDraw, TCustomDXDraw)
 public:
  using TCustomDXDraw::TCustomDXDraw;
};

}  // namespace dx
