#include "dx/DXDrawsDisplay.h"

#include <algorithm>
#include <cstring>

#include "dx/DXConsts.h"
#include "dx/DXDraws.h"
#include "framework/ClassBuilder.h"
#include "framework/SysUtils.h"
#include "platform/gdi/Gdi.h"
#include "platform/win/WinUser.h"

namespace dx {

namespace {

const std::vector<std::string> kOptionNames = {
    "doFullScreen",  "doNoWindowChange", "doAllowReboot", "doWaitVBlank",   "doAllowPalette256",
    "doSystemMemory", "doStretch",       "doCenter",      "doFlip",         "do3D",
    "doDirectX7Mode", "doRetainedMode",  "doHardware",    "doSelectDriver", "doZBuffer"};

const TDXDrawOptions kDefaultOptions{doAllowReboot, doWaitVBlank, doCenter, doDirectX7Mode, doHardware, doSelectDriver};

// The 256 entries of the system palette, read through the screen's device context (the system
// palette belongs to the screen; a null DC is refused).
void SystemPalette(win::PALETTEENTRY* Entries) {
  std::memset(Entries, 0, 256 * sizeof(win::PALETTEENTRY));
  win::HDC Screen = gdi::GetScreenDC();
  gdi::GetSystemPaletteEntries(Screen, 0, 256, Entries);
  gdi::ReleaseScreenDC(Screen);
}

// Runs f when the scope ends, also on exception.
template <class F>
struct Finally {
  F f;
  ~Finally() { f(); }
};
template <class F>
Finally(F) -> Finally<F>;

}  // namespace

FW_REGISTER(TCustomDXDraw, nullptr)

FW_REGISTER(TDXDraw, [](fw::TClassBuilder<TDXDraw>& b) {
  b.Boolean("AutoInitialize", &TDXDraw::AutoInitialize, &TDXDraw::SetAutoInitialize).WithDefault(1);
  b.Boolean("AutoSize", &TDXDraw::AutoSize, &TDXDraw::SetAutoSize).WithDefault(1);
  b.Object("Display", &TDXDraw::Display);
  b.Set("Options", kOptionNames, &TDXDraw::Options, &TDXDraw::SetOptions)
      .WithDefault(static_cast<std::int64_t>(kDefaultOptions.Mask()));
  b.Integer("SurfaceWidth", &TDXDraw::SurfaceWidth, &TDXDraw::SetSurfaceWidth).WithDefault(640);
  b.Integer("SurfaceHeight", &TDXDraw::SurfaceHeight, &TDXDraw::SetSurfaceHeight).WithDefault(480);
  b.Event<fw::TNotifyEvent::Signature>("OnFinalize", &TDXDraw::OnFinalize);
  b.Event<fw::TNotifyEvent::Signature>("OnFinalizeSurface", &TDXDraw::OnFinalizeSurface);
  b.Event<fw::TNotifyEvent::Signature>("OnInitialize", &TDXDraw::OnInitialize);
  b.Event<fw::TNotifyEvent::Signature>("OnInitializeSurface", &TDXDraw::OnInitializeSurface);
  b.Event<fw::TNotifyEvent::Signature>("OnInitializing", &TDXDraw::OnInitializing);
  b.Event<fw::TNotifyEvent::Signature>("OnRestoreSurface", &TDXDraw::OnRestoreSurface);
})

// Stored forms name the class; make it known before any of them is read.
[[maybe_unused]] static const fw::TClassInfo& kDXDrawClass = TDXDraw::StaticClass();

// ---------------------------------------------------------------------------------------------
// Construction

TCustomDXDraw::TCustomDXDraw(fw::TComponent* AOwner) : TCustomControl(AOwner) {
  auto_initialize_ = true;
  display_ = std::make_unique<TDXDrawDisplay>(this);
  SetOptions(kDefaultOptions);
  auto_size_ = true;
  win::PALETTEENTRY entries[256];
  SystemPalette(entries);
  for (int i = 0; i < 256; ++i) {
    ColorTable[i].rgbRed = entries[i].peRed;
    ColorTable[i].rgbGreen = entries[i].peGreen;
    ColorTable[i].rgbBlue = entries[i].peBlue;
    ColorTable[i].rgbReserved = 0;
  }
  DefaultColorTable = ColorTable;
  SetBounds(Left(), Top(), 100, 100);
  SetParentColor(false);
  SetColor(fw::clBtnFace);
}

TCustomDXDraw::~TCustomDXDraw() {
  Finalize();
  NotifyAll(dnDestroying);
  form_hook_.reset();
  display_.reset();
  listeners_.clear();
}

void TCustomDXDraw::SetDisplay(TDXDrawDisplay* Value) {
  if (Value) display_->Assign(Value);
}

void TCustomDXDraw::SetDriverGuid(win::GUID* Value) {
  // DirectDraw's special identifiers are small numbers, not addresses.
  if (Value && reinterpret_cast<std::uintptr_t>(Value) > 0xFFFF) {
    driver_guid_copy_ = *Value;
    driver_guid_ = &driver_guid_copy_;
  } else {
    driver_guid_ = Value;
  }
}

// ---------------------------------------------------------------------------------------------
// Listeners

void TCustomDXDraw::AddNotifyHandler(TDXDrawNotifyEvent Callback, void* Object) {
  RemoveNotifyHandler(Callback, Object);
  listeners_.push_back({Callback, Object});
  Callback(Object, this, dnSetSurfaceSize);
  if (initialized_) {
    Callback(Object, this, dnInitialize);
    if (surface_fired_) Callback(Object, this, dnInitializeSurface);
    if (restore_hold_ == 0) Callback(Object, this, dnRestore);
  }
}

void TCustomDXDraw::RemoveNotifyHandler(TDXDrawNotifyEvent Callback, void* Object) {
  const auto it = std::find_if(listeners_.begin(), listeners_.end(),
                               [&](const Listener& l) { return l.Callback == Callback && l.Object == Object; });
  if (it == listeners_.end()) return;
  listeners_.erase(it);
  if (surface_fired_) Callback(Object, this, dnFinalizeSurface);
  if (initialized_) Callback(Object, this, dnFinalize);
}

void TCustomDXDraw::NotifyAll(TDXDrawNotifyType Kind) {
  // A listener may add or remove listeners while it is told; each is told at most once.
  const std::vector<Listener> snapshot = listeners_;
  for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
    const bool still = std::any_of(listeners_.begin(), listeners_.end(), [&](const Listener& l) {
      return l.Callback == it->Callback && l.Object == it->Object;
    });
    if (still) it->Callback(it->Object, this, Kind);
  }
}

// ---------------------------------------------------------------------------------------------
// Events

void TCustomDXDraw::DoFinalize() {
  if (OnFinalize) OnFinalize(this);
}
void TCustomDXDraw::DoFinalizeSurface() {
  if (OnFinalizeSurface) OnFinalizeSurface(this);
}
void TCustomDXDraw::DoInitialize() {
  if (OnInitialize) OnInitialize(this);
}
void TCustomDXDraw::DoInitializeSurface() {
  if (OnInitializeSurface) OnInitializeSurface(this);
}
void TCustomDXDraw::DoInitializing() {
  if (OnInitializing) OnInitializing(this);
}
void TCustomDXDraw::DoRestoreSurface() {
  if (OnRestoreSurface) OnRestoreSurface(this);
}

// ---------------------------------------------------------------------------------------------
// Options

void TCustomDXDraw::SetOptions(TDXDrawOptions Value) {
  options_ = Value;
  if (initialized_) {
    const TDXDrawOptions presentation{doWaitVBlank, doStretch, doCenter};
    now_options_ = (Value * presentation) + (now_options_ - presentation);
    if (!now_options_.Contains(do3D)) now_options_ -= TDXDrawOptions{doRetainedMode, doHardware, doSelectDriver, doZBuffer};
  } else {
    now_options_ = Value;
    if (!now_options_.Contains(doFullScreen))
      now_options_ -= TDXDrawOptions{doNoWindowChange, doAllowReboot, doAllowPalette256, doFlip};
    if (!now_options_.Contains(do3D))
      now_options_ -= TDXDrawOptions{doDirectX7Mode, doRetainedMode, doHardware, doSelectDriver, doZBuffer};
    if (now_options_.Contains(doSystemMemory)) now_options_ -= TDXDrawOptions{doFlip};
    if (now_options_.Contains(doDirectX7Mode)) now_options_ -= TDXDrawOptions{doRetainedMode};
    now_options_ -= TDXDrawOptions{doHardware};
  }
}

// ---------------------------------------------------------------------------------------------
// Life cycle

void TCustomDXDraw::Initialize() {
  initialize_attempted_ = true;
  Finalize();
  if (!owner_form_) throw EDXDrawError(SNotFoundForm);
  try {
    DoInitializing();
    busy_ = true;
    {
      Finally clear{[this] { busy_ = false; }};
      started_ = true;
      NotifyAll(dnInitializing);
      if (now_options_.Contains(doFlip))
        driver_ = std::make_unique<TDXDrawDriverFlip>(this);
      else
        driver_ = std::make_unique<TDXDrawDriverBlt>(this);
      SetCooperativeLevel();
      if (now_options_.Contains(doFullScreen)) {
        if (!display_->ChooseMode(display_->Width(), display_->Height(), display_->BitCount()))
          throw EDXDrawError(fw::Format(SDisplayModeChange, display_->Width(), display_->Height(), display_->BitCount()));
      }
      if (auto_size_) {
        surface_width_ = Width();
        surface_height_ = Height();
      }
      driver_->Initialize();
    }
  } catch (...) {
    Finalize();
    throw;
  }
  initialized_ = true;
  ++restore_hold_;
  {
    Finally release{[this] { --restore_hold_; }};
    NotifyAll(dnSetSurfaceSize);
    NotifyAll(dnInitialize);
    initialize_fired_ = true;
    DoInitialize();
    NotifyAll(dnInitializeSurface);
    surface_fired_ = true;
    DoInitializeSurface();
  }
  Restore();
}

void TCustomDXDraw::Finalize() {
  if (!started_) return;
  surface_width_ = SurfaceWidth();
  surface_height_ = SurfaceHeight();
  display_->ClearModes();
  busy_ = true;
  Finally last{[this] {
    started_ = false;
    initialized_ = false;
    SetOptions(options_);
    driver_.reset();
    busy_ = false;
  }};
  std::exception_ptr first;
  try {
    if (surface_fired_) {
      surface_fired_ = false;
      DoFinalizeSurface();
    }
  } catch (...) {
    first = std::current_exception();
  }
  try {
    NotifyAll(dnFinalizeSurface);
  } catch (...) {
    if (!first) first = std::current_exception();
  }
  try {
    if (initialize_fired_) {
      initialize_fired_ = false;
      DoFinalize();
    }
  } catch (...) {
    if (!first) first = std::current_exception();
  }
  try {
    NotifyAll(dnFinalize);
  } catch (...) {
    if (!first) first = std::current_exception();
  }
  if (first) std::rethrow_exception(first);
}

void TCustomDXDraw::Restore() {
  if (!initialized_ || busy_) return;
  busy_ = true;
  Finally clear{[this] { busy_ = false; }};
  if (!driver_->Restore()) return;
  primary_->SetPalette(palette_.get());
  surface_->SetPalette(palette_.get());
  ApplyColorTable(DefaultColorTable);
  NotifyAll(dnRestore);
  DoRestoreSurface();
  ApplyColorTable(ColorTable);
}

bool TCustomDXDraw::CheckSurfaces() {
  if (!initialized_ || busy_ || !primary_ || !primary_->IDDSurface()) return false;
  auto lost = [](TDirectDrawSurface* s) { return s->ISurface()->IsLost() == ddraw::DDERR_SURFACELOST; };
  if (!lost(primary_.get()) && !lost(surface_.get())) return true;
  Restore();
  return primary_->ISurface()->IsLost() == ddraw::DD_OK && surface_->ISurface()->IsLost() == ddraw::DD_OK;
}

bool TCustomDXDraw::CanDraw() {
  return initialized_ && !busy_ && surface_ && surface_->IDDSurface() && CheckSurfaces();
}

void TCustomDXDraw::Flip() {
  if (initialized_ && !busy_ && CheckSurfaces()) driver_->Flip();
}

win::HWND TCustomDXDraw::CooperativeWindow() { return owner_form_ ? owner_form_->Handle() : Handle(); }

void TCustomDXDraw::SetCooperativeLevel() {
  win::DWORD flags;
  if (now_options_.Contains(doFullScreen)) {
    flags = ddraw::DDSCL_FULLSCREEN | ddraw::DDSCL_EXCLUSIVE | ddraw::DDSCL_ALLOWMODEX;
    if (now_options_.Contains(doNoWindowChange)) flags |= ddraw::DDSCL_NOWINDOWCHANGES;
    if (now_options_.Contains(doAllowReboot)) flags |= ddraw::DDSCL_ALLOWREBOOT;
  } else {
    flags = ddraw::DDSCL_NORMAL;
  }
  ddraw_->SetLastResult(ddraw_->IDraw()->SetCooperativeLevel(CooperativeWindow(), flags));
}

// ---------------------------------------------------------------------------------------------
// Palette

void TCustomDXDraw::PaletteEntriesOf(const TRGBQuads& Table, win::PALETTEENTRY* Entries) const {
  for (int i = 0; i < 256; ++i)
    Entries[i] = win::PALETTEENTRY{Table[i].rgbRed, Table[i].rgbGreen, Table[i].rgbBlue, 0x40};
  if (!now_options_.Contains(doAllowPalette256)) {
    win::PALETTEENTRY system[256];
    SystemPalette(system);
    for (int i = 0; i < 10; ++i) {
      Entries[i] = system[i];
      Entries[i].peFlags = 0x40;
      Entries[246 + i] = system[246 + i];
      Entries[246 + i].peFlags = 0x40;
    }
  }
}

void TCustomDXDraw::ApplyColorTable(const TRGBQuads& Table) {
  if (!initialized_ || !palette_) return;
  win::PALETTEENTRY entries[256];
  PaletteEntriesOf(Table, entries);
  palette_->SetEntries(0, 256, entries);
}

void TCustomDXDraw::UpdatePalette() {
  if (initialized_ && now_options_.Contains(doWaitVBlank) && !(ddraw_->DriverCaps().dwPalCaps & ddraw::DDPCAPS_VSYNC))
    ddraw_->SetLastResult(ddraw_->IDraw()->WaitForVerticalBlank(ddraw::DDWAITVB_BLOCKBEGIN, nullptr));
  ApplyColorTable(ColorTable);
}

// ---------------------------------------------------------------------------------------------
// Surface size

int TCustomDXDraw::SurfaceWidth() const {
  return surface_ && surface_->IDDSurface() ? surface_->Width() : surface_width_;
}

int TCustomDXDraw::SurfaceHeight() const {
  return surface_ && surface_->IDDSurface() ? surface_->Height() : surface_height_;
}

void TCustomDXDraw::SetSurfaceWidth(int Value) {
  if (Loading())
    surface_width_ = Value;
  else
    SetSurfaceSize(Value, SurfaceHeight());
}

void TCustomDXDraw::SetSurfaceHeight(int Value) {
  if (Loading())
    surface_height_ = Value;
  else
    SetSurfaceSize(SurfaceWidth(), Value);
}

void TCustomDXDraw::SetSurfaceSize(int AWidth, int AHeight) {
  if ((AWidth == SurfaceWidth() && AHeight == SurfaceHeight()) || busy_) return;
  if (initialized_) {
    try {
      if (!driver_->SetSize(AWidth, AHeight)) return;
    } catch (...) {
      Finalize();
      throw;
    }
  } else {
    surface_width_ = AWidth;
    surface_height_ = AHeight;
  }
  NotifyAll(dnSetSurfaceSize);
}

void TCustomDXDraw::SetAutoSize(bool Value) {
  if (auto_size_ == Value) return;
  auto_size_ = Value;
  if (Value) SetSurfaceSize(Width(), Height());
}

void TCustomDXDraw::Resize() {
  TCustomControl::Resize();
  if (auto_size_ && !busy_) SetSurfaceSize(Width(), Height());
}

// ---------------------------------------------------------------------------------------------
// The form and the window system

void TCustomDXDraw::Loaded() {
  TCustomControl::Loaded();
  if (auto_size_) {
    surface_width_ = Width();
    surface_height_ = Height();
  }
  NotifyAll(dnSetSurfaceSize);
  if (auto_initialize_ && !ComponentState().Contains(fw::csDesigning) && !form_hook_) Initialize();
}

void TCustomDXDraw::SetParent(fw::TWinControl* AParent) {
  TCustomControl::SetParent(AParent);
  owner_form_ = nullptr;
  form_hook_.reset();
  if (ComponentState().Contains(fw::csDesigning)) return;
  for (fw::TWinControl* p = AParent; p; p = p->Parent()) {
    if (auto* form = dynamic_cast<fw::TCustomForm*>(p)) {
      owner_form_ = form;
      form_hook_ = std::make_unique<TControlSubClass>(
          form, [this](fw::TMessage& Message, const fw::TWndMethod& Default) { FormWndProc(Message, Default); });
      break;
    }
  }
}

void TCustomDXDraw::FlipToGDISurface() {
  if (initialized_ && now_options_.Contains(doFullScreen) && now_options_.Contains(doFlip))
    ddraw_->SetLastResult(ddraw_->IDraw()->FlipToGDISurface());
}

void TCustomDXDraw::FormWndProc(fw::TMessage& Message, const fw::TWndMethod& Default) {
  switch (Message.Msg) {
    case win::WM_DESTROY:
      Finalize();
      Default(Message);
      break;
    case win::WM_ACTIVATE:
      if (win::LOWORD(static_cast<std::uintptr_t>(Message.WParam)) == win::WA_INACTIVE) FlipToGDISurface();
      Default(Message);
      break;
    case win::WM_WINDOWPOSCHANGED: {
      Default(Message);
      const auto* pos = reinterpret_cast<const win::WINDOWPOS*>(Message.LParam);
      if (pos && (pos->flags & win::SWP_SHOWWINDOW) && auto_initialize_ && !initialize_attempted_) Initialize();
      break;
    }
    case win::WM_INITMENU:
      FlipToGDISurface();
      Default(Message);
      break;
    case win::WM_QUERYNEWPALETTE:
      // The palette changed while the form is in the foreground: our surfaces take it back.
      Restore();
      Message.Result = 1;
      break;
    default:
      Default(Message);
  }
}

void TCustomDXDraw::WndProc(fw::TMessage& Message) {
  TCustomControl::WndProc(Message);
  if (Message.Msg == win::WM_CREATE && initialized_ && !busy_) {
    clipper_->SetWindow(Handle());
    SetCooperativeLevel();
  }
}

void TCustomDXDraw::Paint() {
  if (ComponentState().Contains(fw::csDesigning)) {
    fw::TControlCanvas* c = Canvas();
    const int w = ClientWidth(), h = ClientHeight();
    c->Brush()->SetStyle(fw::bsSolid);
    c->Brush()->SetColor(fw::clBtnFace);
    c->FillRect(fw::Rect(0, 0, w, h));
    c->Brush()->SetStyle(fw::bsClear);
    c->Pen()->SetColor(fw::clBlack);
    c->Pen()->SetStyle(fw::psDash);
    c->Rectangle(0, 0, w, h);
    c->Pen()->SetColor(fw::clGray);
    c->Pen()->SetStyle(fw::psSolid);
    c->MoveTo(0, 0);
    c->LineTo(w, h);
    c->MoveTo(w - 1, 0);
    c->LineTo(-1, h);
    const std::string caption = fw::Format("(%s)", ClassName());
    c->Font()->SetColor(fw::clBlack);
    c->TextOut((w - c->TextWidth(caption)) / 2, (h - c->TextHeight(caption)) / 2, caption);
    return;
  }
  const TDXDrawOptions saved = now_options_;
  {
    Finally back{[&] { now_options_ = saved; }};
    now_options_ -= TDXDrawOptions{doWaitVBlank};
    Flip();
  }
  if (Parent() && Parent()->HandleAllocated() && initialized_ && surface_ &&
      (surface_->SurfaceDesc().ddsCaps.dwCaps & ddraw::DDSCAPS_VIDEOMEMORY)) {
    // The parent clips its children: what it repaints lies around this control, so painting
    // the parent does not come back here.
    const int pw = Parent()->ClientWidth(), ph = Parent()->ClientHeight();
    const fw::TRect own = BoundsRect();
    const win::RECT around[] = {{0, 0, pw, own.top},
                                {0, own.bottom, pw, ph},
                                {0, own.top, own.left, own.bottom},
                                {own.right, own.top, pw, own.bottom}};
    for (const win::RECT& r : around)
      if (r.right > r.left && r.bottom > r.top) win::InvalidateRect(Parent()->Handle(), &r, win::FALSE);
  }
}

}  // namespace dx
