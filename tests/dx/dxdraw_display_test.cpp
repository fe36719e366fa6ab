// The display control: options, listeners and their replay, the life cycle with its events,
// surface size, the blit and flip drivers, lost surfaces, and what a real window shows.
#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include <string>
#include <vector>

#include "dx/DXDraws.h"
#include "dx/DXDrawsDisplay.h"
#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/DDrawPresentTesting.h"
#include "platform/ddraw/DDrawTesting.h"
#include "platform/gdi/Gdi.h"
#include "platform/ddraw/DDrawPresent.h"
#include "platform/win/QtWindows.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace dx;

const char* KindName(TDXDrawNotifyType k) {
  static const char* names[] = {"dnDestroying",       "dnInitializing", "dnInitialize", "dnInitializeSurface",
                                "dnFinalize",         "dnFinalizeSurface", "dnRestore",  "dnSetSurfaceSize"};
  return names[static_cast<int>(k)];
}

// Listeners and events write into one log, so their order can be compared.
struct Log {
  std::vector<std::string> Lines;
  void Add(const std::string& s) { Lines.push_back(s); }
  void Clear() { Lines.clear(); }
};

struct Listener {
  Log* L;
  std::string Name;
  static void Notify(void* Object, TCustomDXDraw*, TDXDrawNotifyType Kind) {
    auto* self = static_cast<Listener*>(Object);
    self->L->Add(self->Name + ":" + KindName(Kind));
  }
};

using Lines = std::vector<std::string>;

void FillRect(TDirectDrawSurface* s, win::RECT r, win::DWORD color) {
  ddraw::DDBLTFX fx;
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = color;
  ASSERT_EQ(s->ISurface()->Blt(&r, nullptr, nullptr, ddraw::DDBLT_COLORFILL | ddraw::DDBLT_WAIT, &fx), ddraw::DD_OK);
}

std::uint32_t Rgb(QRgb p) { return p & 0xFFFFFFu; }

class DXDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication();
    ddraw::ResetAdapters();
    form_ = fw::MakeOwned<fw::TForm>(nullptr);
    form_->SetBounds(40, 30, 700, 640);
    form_->SetClientSize(640, 572);
    draw_ = fw::MakeComponent<TDXDraw>(form_.get());
    draw_->SetAutoInitialize(false);
    draw_->SetParent(form_.get());
  }
  void TearDown() override {
    form_.reset();
    ddraw::ResetAdapters();
  }
  void LogEvents() {
    draw_->OnInitializing = [this](fw::TObject*) { log_.Add("OnInitializing"); };
    draw_->OnInitialize = [this](fw::TObject*) { log_.Add("OnInitialize"); };
    draw_->OnInitializeSurface = [this](fw::TObject*) { log_.Add("OnInitializeSurface"); };
    draw_->OnRestoreSurface = [this](fw::TObject*) { log_.Add("OnRestoreSurface"); };
    draw_->OnFinalizeSurface = [this](fw::TObject*) { log_.Add("OnFinalizeSurface"); };
    draw_->OnFinalize = [this](fw::TObject*) { log_.Add("OnFinalize"); };
  }

  fw::TOwned<fw::TForm> form_;
  TDXDraw* draw_ = nullptr;
  Log log_;
};

TEST_F(DXDrawTest, ANewDisplayHasItsDefaultsAndOptionsInForceFollowTheRules) {
  EXPECT_EQ(draw_->Width(), 100);
  EXPECT_EQ(draw_->Height(), 100);
  EXPECT_EQ(draw_->Color(), fw::clBtnFace);
  EXPECT_TRUE(draw_->AutoSize());
  EXPECT_EQ(draw_->Options(),
            (TDXDrawOptions{doAllowReboot, doWaitVBlank, doCenter, doDirectX7Mode, doHardware, doSelectDriver}));
  // Windowed: the full-screen-only members are not in force, nor the 3D ones.
  EXPECT_EQ(draw_->EffectiveOptions(), (TDXDrawOptions{doWaitVBlank, doCenter}));

  draw_->SetOptions({doFlip, doAllowPalette256, doNoWindowChange});
  EXPECT_EQ(draw_->EffectiveOptions(), TDXDrawOptions{}) << "no page flipping without full screen";
  draw_->SetOptions({doFullScreen, doFlip, doAllowPalette256});
  EXPECT_EQ(draw_->EffectiveOptions(), (TDXDrawOptions{doFullScreen, doFlip, doAllowPalette256}));
  draw_->SetOptions({doFullScreen, doFlip, doSystemMemory, doHardware});
  EXPECT_EQ(draw_->EffectiveOptions(), (TDXDrawOptions{doFullScreen, doSystemMemory}))
      << "system memory excludes flipping; hardware comes only from the 3D set-up";

  // The colour tables start as the system palette, red and blue in the table's order.
  // The static colours are known: 1 is dark red, 249 pure red, 252 pure blue, 255 white.
  win::PALETTEENTRY sys[256];
  win::HDC screen = gdi::GetScreenDC();
  ASSERT_EQ(gdi::GetSystemPaletteEntries(screen, 0, 256, sys), 256u);
  gdi::ReleaseScreenDC(screen);
  for (int i = 0; i < 256; ++i) {
    for (const win::RGBQUAD* table : {&draw_->ColorTable[0], &draw_->DefaultColorTable[0]}) {
      EXPECT_EQ(table[i].rgbRed, sys[i].peRed) << i;
      EXPECT_EQ(table[i].rgbGreen, sys[i].peGreen) << i;
      EXPECT_EQ(table[i].rgbBlue, sys[i].peBlue) << i;
      EXPECT_EQ(table[i].rgbReserved, 0) << i;
    }
  }
  EXPECT_EQ(draw_->ColorTable[1].rgbRed, 128);
  EXPECT_EQ(draw_->ColorTable[249].rgbRed, 255);
  EXPECT_EQ(draw_->ColorTable[249].rgbBlue, 0);
  EXPECT_EQ(draw_->DefaultColorTable[252].rgbBlue, 255);
  EXPECT_EQ(draw_->DefaultColorTable[255].rgbGreen, 255);
}

TEST_F(DXDrawTest, WithoutAFormInitializeFailsAndNoListenerHearsOfIt) {
  auto owned = fw::MakeOwned<TDXDraw>(nullptr);
  TDXDraw& lone = *owned;
  Listener l{&log_, "a"};
  lone.AddNotifyHandler(&Listener::Notify, &l);
  EXPECT_EQ(log_.Lines, (Lines{"a:dnSetSurfaceSize"}));
  log_.Clear();
  try {
    lone.Initialize();
    FAIL() << "no exception";
  } catch (const EDXDrawError& e) {
    EXPECT_STREQ(e.what(), "Form not found");
  }
  EXPECT_TRUE(log_.Lines.empty());
  EXPECT_TRUE(lone.InitializeAttempted());
  EXPECT_FALSE(lone.Initialized());
  lone.RemoveNotifyHandler(&Listener::Notify, &l);
}

TEST_F(DXDrawTest, AModeThatCannotBeSetIsReportedWithTheRequestAndLeavesTheDisplayDown) {
  ddraw::AdapterConfig a = ddraw::DefaultAdapter();
  a.Modes = {{640, 480, 16, 60}, {800, 600, 8, 60}, {1024, 768, 32, 60}};
  ddraw::SetAdapters({a});
  draw_->SetOptions(draw_->Options() + TDXDrawOptions{doFullScreen, doFlip});
  draw_->Display()->SetWidth(800);
  draw_->Display()->SetHeight(600);
  draw_->Display()->SetBitCount(16);
  draw_->Display()->SetFixedSize(false);
  Listener l{&log_, "a"};
  draw_->AddNotifyHandler(&Listener::Notify, &l);
  LogEvents();
  log_.Clear();
  try {
    draw_->Initialize();
    FAIL() << "no exception";
  } catch (const EDXDrawError& e) {
    EXPECT_STREQ(e.what(), "Display mode cannot be changed (800x600 16bit)");
  }
  EXPECT_FALSE(draw_->Initialized());
  EXPECT_FALSE(draw_->Started());
  EXPECT_FALSE(draw_->Busy());
  EXPECT_EQ(draw_->Driver(), nullptr);
  EXPECT_EQ(draw_->DDraw(), nullptr);
  EXPECT_EQ(log_.Lines, (Lines{"OnInitializing", "a:dnInitializing", "a:dnFinalizeSurface", "a:dnFinalize"}));
  EXPECT_FALSE(win::IsFullScreenWindow(form_->Handle())) << "the desktop and the window come back";
  draw_->RemoveNotifyHandler(&Listener::Notify, &l);
}

TEST_F(DXDrawTest, OneUpDownCycleFiresEventsAndTellsListenersInOrder) {
  Listener a{&log_, "a"}, b{&log_, "b"};
  draw_->AddNotifyHandler(&Listener::Notify, &a);
  draw_->AddNotifyHandler(&Listener::Notify, &b);
  LogEvents();
  log_.Clear();
  draw_->Initialize();
  EXPECT_TRUE(draw_->Initialized());
  EXPECT_EQ(log_.Lines, (Lines{"OnInitializing", "b:dnInitializing", "a:dnInitializing", "b:dnSetSurfaceSize",
                               "a:dnSetSurfaceSize", "b:dnInitialize", "a:dnInitialize", "OnInitialize",
                               "b:dnInitializeSurface", "a:dnInitializeSurface", "OnInitializeSurface",
                               "b:dnRestore", "a:dnRestore", "OnRestoreSurface"}));
  log_.Clear();
  draw_->Finalize();
  EXPECT_EQ(log_.Lines, (Lines{"OnFinalizeSurface", "b:dnFinalizeSurface", "a:dnFinalizeSurface", "OnFinalize",
                               "b:dnFinalize", "a:dnFinalize"}));
  log_.Clear();
  draw_->Finalize();
  EXPECT_TRUE(log_.Lines.empty()) << "finalizing twice is harmless";
  {
    TDXDraw* other = fw::MakeComponent<TDXDraw>(form_.get());
    other->SetAutoInitialize(false);
    other->AddNotifyHandler(&Listener::Notify, &a);
    log_.Clear();
    other->Free();
  }
  EXPECT_EQ(log_.Lines, (Lines{"a:dnDestroying"}));
  draw_->RemoveNotifyHandler(&Listener::Notify, &a);
  draw_->RemoveNotifyHandler(&Listener::Notify, &b);
}

TEST_F(DXDrawTest, ListenersAddedLaterAreBroughtUpToDate) {
  Log late;
  Listener inside{&log_, "inside"};
  draw_->OnInitialize = [&](fw::TObject*) { draw_->AddNotifyHandler(&Listener::Notify, &inside); };
  draw_->Initialize();
  // Added from OnInitialize: no surface yet and the restore still to come.
  EXPECT_EQ(log_.Lines, (Lines{"inside:dnSetSurfaceSize", "inside:dnInitialize", "inside:dnInitializeSurface",
                               "inside:dnRestore"}));
  log_.Clear();
  Listener later{&log_, "later"};
  draw_->AddNotifyHandler(&Listener::Notify, &later);
  EXPECT_EQ(log_.Lines, (Lines{"later:dnSetSurfaceSize", "later:dnInitialize", "later:dnInitializeSurface",
                               "later:dnRestore"}));
  log_.Clear();
  // The same pair again: taken away (with its calls) and added once more.
  draw_->AddNotifyHandler(&Listener::Notify, &later);
  EXPECT_EQ(log_.Lines, (Lines{"later:dnFinalizeSurface", "later:dnFinalize", "later:dnSetSurfaceSize",
                               "later:dnInitialize", "later:dnInitializeSurface", "later:dnRestore"}));
  log_.Clear();
  draw_->Restore();
  EXPECT_EQ(log_.Lines, (Lines{"later:dnRestore", "inside:dnRestore"})) << "one entry per pair";
  draw_->RemoveNotifyHandler(&Listener::Notify, &later);
  draw_->RemoveNotifyHandler(&Listener::Notify, &inside);
  log_.Clear();
  draw_->RemoveNotifyHandler(&Listener::Notify, &inside);
  EXPECT_TRUE(log_.Lines.empty());
}

TEST_F(DXDrawTest, OptionsWhileUpChangeOnlyThePresentation) {
  draw_->Initialize();
  draw_->SetOptions(draw_->Options() + TDXDrawOptions{doFullScreen, doStretch, doFlip} - TDXDrawOptions{doCenter});
  EXPECT_TRUE(draw_->EffectiveOptions().Contains(doStretch));
  EXPECT_FALSE(draw_->EffectiveOptions().Contains(doCenter));
  EXPECT_FALSE(draw_->EffectiveOptions().Contains(doFullScreen));
  EXPECT_FALSE(draw_->EffectiveOptions().Contains(doFlip));
  EXPECT_NE(dynamic_cast<TDXDrawDriverBlt*>(draw_->Driver()), nullptr);
  draw_->Finalize();
  EXPECT_TRUE(draw_->EffectiveOptions().Contains(doFullScreen));
  EXPECT_TRUE(draw_->EffectiveOptions().Contains(doFlip));
}

TEST_F(DXDrawTest, FramesRestoresAndResizesAreRefusedWhileBusy) {
  draw_->Initialize();
  int restores = 0;
  bool canDraw = true;
  win::HRESULT before = 1, after = 1;
  draw_->OnRestoreSurface = [&](fw::TObject*) {
    ++restores;
    canDraw = draw_->CanDraw();
    before = draw_->Primary()->LastResult();
    draw_->Primary()->SetLastResult(0x1234);
    draw_->Flip();
    after = draw_->Primary()->LastResult();
    draw_->Restore();
    draw_->SetSurfaceSize(10, 10);
  };
  draw_->Restore();
  EXPECT_EQ(restores, 1) << "no restore inside a restore";
  EXPECT_FALSE(canDraw);
  EXPECT_EQ(after, 0x1234) << "no flip while busy";
  (void)before;
  EXPECT_NE(draw_->SurfaceWidth(), 10);
  EXPECT_TRUE(draw_->CanDraw());
}

TEST_F(DXDrawTest, TheSurfaceFollowsTheControlAndKeepsItsSizeAfterFinalize) {
  draw_->SetBounds(0, 0, 300, 200);
  EXPECT_EQ(draw_->SurfaceWidth(), 300);
  draw_->Initialize();
  EXPECT_EQ(draw_->Surface()->Width(), 300);
  EXPECT_EQ(draw_->Surface()->Height(), 200);
  Listener l{&log_, "a"};
  draw_->AddNotifyHandler(&Listener::Notify, &l);
  log_.Clear();
  draw_->SetBounds(0, 0, 320, 240);
  EXPECT_EQ(draw_->Surface()->Width(), 320);
  EXPECT_EQ(log_.Lines, (Lines{"a:dnFinalizeSurface", "a:dnInitializeSurface", "a:dnSetSurfaceSize"}));
  draw_->SetAutoSize(false);
  draw_->SetSurfaceSize(0, 0);
  EXPECT_EQ(draw_->SurfaceWidth(), 1);
  EXPECT_EQ(draw_->SurfaceHeight(), 1);
  draw_->SetSurfaceSize(64, 48);
  draw_->Finalize();
  EXPECT_EQ(draw_->SurfaceWidth(), 64);
  EXPECT_EQ(draw_->SurfaceHeight(), 48);
  draw_->RemoveNotifyHandler(&Listener::Notify, &l);
}

TEST_F(DXDrawTest, ALostSurfaceIsRestoredThroughCanDraw) {
  draw_->Initialize();
  Listener l{&log_, "a"};
  draw_->AddNotifyHandler(&Listener::Notify, &l);
  LogEvents();
  log_.Clear();
  ddraw::LoseAllSurfaces();
  EXPECT_EQ(draw_->Surface()->ISurface()->IsLost(), ddraw::DDERR_SURFACELOST);
  EXPECT_TRUE(draw_->CanDraw());
  EXPECT_EQ(log_.Lines, (Lines{"a:dnRestore", "OnRestoreSurface"}));
  EXPECT_EQ(draw_->Surface()->ISurface()->IsLost(), ddraw::DD_OK);
  draw_->RemoveNotifyHandler(&Listener::Notify, &l);
}

TEST_F(DXDrawTest, SystemMemoryInFullScreenUsesTheBlitDriver) {
  form_->Show();
  draw_->SetOptions(TDXDrawOptions{doFullScreen, doFlip, doSystemMemory});
  draw_->Display()->SetWidth(800);
  draw_->Display()->SetHeight(600);
  draw_->Display()->SetBitCount(16);
  draw_->Initialize();
  EXPECT_NE(dynamic_cast<TDXDrawDriverBlt*>(draw_->Driver()), nullptr);
  EXPECT_TRUE(draw_->Surface()->SurfaceDesc().ddsCaps.dwCaps & ddraw::DDSCAPS_SYSTEMMEMORY);
  EXPECT_TRUE(draw_->EffectiveOptions().Contains(doSystemMemory));
  EXPECT_EQ(draw_->Surface()->BitCount(), 16);
  draw_->Finalize();
}

TEST_F(DXDrawTest, AnInactiveFullScreenFormShowsNoNewFramesAndCallsThatSuccess) {
  form_->Show();
  draw_->SetOptions(TDXDrawOptions{doFullScreen, doFlip});
  draw_->Display()->SetWidth(800);
  draw_->Display()->SetHeight(600);
  draw_->Display()->SetBitCount(16);
  draw_->Initialize();
  ASSERT_NE(dynamic_cast<TDXDrawDriverFlip*>(draw_->Driver()), nullptr);
  ASSERT_TRUE(draw_->CanDraw());
  auto other = fw::MakeOwned<fw::TForm>(nullptr);
  other->Show();
  win::SetActiveWindow(other->Handle());
  ASSERT_FALSE(form_->Active());
  FillRect(draw_->Surface(), win::RECT{0, 0, 800, 600}, 0xF800);
  draw_->Primary()->SetLastResult(0x1234);
  draw_->Flip();
  EXPECT_EQ(draw_->Primary()->LastResult(), 0);
  EXPECT_EQ(draw_->Surface()->Pixels(0, 0), 0xF800u) << "nothing was flipped";
  other.reset();
  draw_->Finalize();
}

// Windowed: the back surface centred, or stretched, in the control's window.
TEST_F(DXDrawTest, WindowedFramesAppearCentredOrStretchedInTheControl) {
  draw_->SetAutoSize(false);
  draw_->SetBounds(0, 0, 640, 572);
  draw_->SetSurfaceSize(640, 480);
  form_->Show();
  draw_->Initialize();
  ASSERT_TRUE(draw_->CanDraw());
  ASSERT_EQ(draw_->Surface()->BitCount(), 32);
  // A known pattern: four quadrants.
  FillRect(draw_->Surface(), win::RECT{0, 0, 320, 240}, 0xFF0000);
  FillRect(draw_->Surface(), win::RECT{320, 0, 640, 240}, 0x00FF00);
  FillRect(draw_->Surface(), win::RECT{0, 240, 320, 480}, 0x0000FF);
  FillRect(draw_->Surface(), win::RECT{320, 240, 640, 480}, 0xFFFF00);
  draw_->Flip();
  // The window system repaints what changed; repainting must not present (and repaint) forever.
  fw::Application->ProcessMessages();
  QImage shown = ddraw::GrabWindow(draw_->Handle());
  testsupport::SaveWidgetPng(win::WindowWidget(form_->Handle()), "dxdraw_windowed_centre.png");
  ASSERT_EQ(shown.width(), 640);
  ASSERT_EQ(shown.height(), 572);
  EXPECT_NE(Rgb(shown.pixel(10, 45)), 0xFF0000u) << "46 rows above the picture";
  EXPECT_EQ(Rgb(shown.pixel(10, 46)), 0xFF0000u);
  EXPECT_EQ(Rgb(shown.pixel(639, 46)), 0x00FF00u);
  EXPECT_EQ(Rgb(shown.pixel(0, 525)), 0x0000FFu);
  EXPECT_EQ(Rgb(shown.pixel(639, 525)), 0xFFFF00u);
  EXPECT_NE(Rgb(shown.pixel(639, 526)), 0xFFFF00u);

  draw_->SetOptions(draw_->Options() + TDXDrawOptions{doStretch});
  draw_->Flip();
  shown = ddraw::GrabWindow(draw_->Handle());
  testsupport::SaveWidgetPng(win::WindowWidget(form_->Handle()), "dxdraw_windowed_stretch.png");
  EXPECT_EQ(Rgb(shown.pixel(0, 0)), 0xFF0000u) << "stretching wins over centring";
  EXPECT_EQ(Rgb(shown.pixel(639, 0)), 0x00FF00u);
  EXPECT_EQ(Rgb(shown.pixel(0, 571)), 0x0000FFu);
  EXPECT_EQ(Rgb(shown.pixel(639, 571)), 0xFFFF00u);
  EXPECT_EQ(Rgb(shown.pixel(319, 285)), 0xFF0000u);
  EXPECT_EQ(Rgb(shown.pixel(320, 286)), 0xFFFF00u);
  draw_->Finalize();
}

// Exclusive full screen at 800 x 600 x 16: the form becomes the screen and shows the flip
// chain's front buffer; Esc-like finalizing gives the window back.
TEST_F(DXDrawTest, FullScreenFramesFillTheScreenAndTheWindowComesBack) {
  form_->Show();
  win::RECT before;
  win::GetWindowRect(form_->Handle(), &before);
  draw_->SetOptions(TDXDrawOptions{doFullScreen, doAllowReboot, doWaitVBlank, doCenter, doFlip});
  draw_->Display()->SetWidth(800);
  draw_->Display()->SetHeight(600);
  draw_->Display()->SetBitCount(16);
  draw_->Initialize();
  ASSERT_TRUE(draw_->CanDraw());
  EXPECT_TRUE(win::IsFullScreenWindow(form_->Handle()));
  ASSERT_EQ(draw_->Surface()->Width(), 800);
  ASSERT_EQ(draw_->Surface()->BitCount(), 16);
  // Two frames of the same pattern, as a frame loop draws them: whatever the window system's
  // repaints flip on top, the front buffer shows the pattern.
  for (int frame = 0; frame < 2; ++frame) {
    draw_->Surface()->Fill(0);
    FillRect(draw_->Surface(), win::RECT{0, 0, 400, 300}, 0xF800);    // red
    FillRect(draw_->Surface(), win::RECT{400, 0, 800, 300}, 0x07E0);  // green
    FillRect(draw_->Surface(), win::RECT{0, 300, 400, 600}, 0x001F);  // blue
    FillRect(draw_->Surface(), win::RECT{400, 300, 800, 600}, 0xFFFF);
    EXPECT_TRUE(form_->Active());
    draw_->Flip();
    EXPECT_EQ(draw_->Primary()->LastResult(), 0);
  }
  EXPECT_NE(ddraw::InstalledWindowPresenter(), nullptr);
  fw::Application->ProcessMessages();
  const QImage shown = ddraw::GrabWindow(form_->Handle());
  testsupport::SaveWidgetPng(win::WindowWidget(form_->Handle()), "dxdraw_fullscreen_800x600x16.png");
  const int sw = win::GetSystemMetrics(win::SM_CXSCREEN), sh = win::GetSystemMetrics(win::SM_CYSCREEN);
  ASSERT_EQ(shown.width(), sw);
  ASSERT_EQ(shown.height(), sh);
  const double scale = std::min(sw / 800.0, sh / 600.0);
  const int w = static_cast<int>(800 * scale + 0.5), h = static_cast<int>(600 * scale + 0.5);
  const int x0 = (sw - w) / 2, y0 = (sh - h) / 2;
  EXPECT_EQ(Rgb(shown.pixel(x0 + 2, y0 + 2)), 0xFF0000u);
  EXPECT_EQ(Rgb(shown.pixel(x0 + w - 3, y0 + 2)), 0x00FF00u);
  EXPECT_EQ(Rgb(shown.pixel(x0 + 2, y0 + h - 3)), 0x0000FFu);
  EXPECT_EQ(Rgb(shown.pixel(x0 + w - 3, y0 + h - 3)), 0xFFFFFFu);
  draw_->Finalize();
  EXPECT_FALSE(win::IsFullScreenWindow(form_->Handle()));
  win::RECT after;
  win::GetWindowRect(form_->Handle(), &after);
  EXPECT_EQ(after, before);
}

TEST_F(DXDrawTest, TheFormsMessagesReachTheDisplay) {
  draw_->Initialize();
  Listener l{&log_, "a"};
  draw_->AddNotifyHandler(&Listener::Notify, &l);
  log_.Clear();
  // A palette change in the foreground: surfaces are restored and the change is taken.
  EXPECT_EQ(win::SendMessageA(form_->Handle(), win::WM_QUERYNEWPALETTE, 0, 0), 1);
  EXPECT_EQ(log_.Lines, (Lines{"a:dnRestore"}));
  log_.Clear();
  win::SendMessageA(form_->Handle(), win::WM_PALETTECHANGED, 0, 0);
  EXPECT_TRUE(log_.Lines.empty()) << "a change in the background is not ours";

  // The control's window made again: the clipper follows it, frames appear in the new one.
  draw_->SetAutoSize(false);
  draw_->SetBounds(0, 0, 200, 100);
  draw_->SetSurfaceSize(200, 100);
  form_->Show();
  const win::HWND old = draw_->Handle();
  draw_->RecreateWnd();
  const win::HWND now = draw_->Handle();
  ASSERT_NE(now, nullptr);
  FillRect(draw_->Surface(), win::RECT{0, 0, 200, 100}, 0x00FF00);
  draw_->Flip();
  const QImage shown = ddraw::GrabWindow(now);
  ASSERT_FALSE(shown.isNull());
  EXPECT_EQ(Rgb(shown.pixel(100, 50)), 0x00FF00u);
  (void)old;

  // The form's window going away takes the display down.
  log_.Clear();
  form_->DestroyHandle();
  EXPECT_FALSE(draw_->Initialized());
  EXPECT_EQ(log_.Lines, (Lines{"a:dnFinalizeSurface", "a:dnFinalize"}));
  draw_->RemoveNotifyHandler(&Listener::Notify, &l);
}

TEST_F(DXDrawTest, AReadableDriverIdentifierIsCopiedAndSpecialValuesAreKept) {
  win::GUID g{0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  draw_->SetDriverGuid(&g);
  ASSERT_NE(draw_->DriverGuid(), nullptr);
  EXPECT_NE(draw_->DriverGuid(), &g);
  g.Data1 = 0;
  EXPECT_EQ(draw_->DriverGuid()->Data1, 0x12345678u);
  auto* special = reinterpret_cast<win::GUID*>(static_cast<std::uintptr_t>(1));
  draw_->SetDriverGuid(special);
  EXPECT_EQ(draw_->DriverGuid(), special);
  draw_->SetDriverGuid(nullptr);
  EXPECT_EQ(draw_->DriverGuid(), nullptr);
}

TEST_F(DXDrawTest, InADesignerItPaintsAFrameAndDiagonalsInsteadOfPresenting) {
  draw_->IncludeState(fw::csDesigning);
  draw_->SetBounds(0, 0, 120, 90);
  form_->Show();
  const QImage img = draw_->WidgetIfMade()->grab().toImage();
  ASSERT_EQ(img.width(), 120);
  const std::uint32_t face = static_cast<std::uint32_t>(fw::ColorToRGB(fw::clBtnFace));
  const std::uint32_t bgr = ((face & 0xFF) << 16) | (face & 0xFF00) | ((face >> 16) & 0xFF);
  // A dashed black frame: dashes and gaps along the top edge.
  int dashes = 0, gaps = 0;
  for (int x = 10; x < 110; ++x) {
    if (Rgb(img.pixel(x, 0)) == 0u) ++dashes;
    else if (Rgb(img.pixel(x, 0)) == bgr) ++gaps;
  }
  EXPECT_GT(dashes, 20);
  EXPECT_GT(gaps, 10);
  // Grey diagonals from corner to corner.
  EXPECT_EQ(Rgb(img.pixel(119, 89)), 0x808080u);
  EXPECT_EQ(Rgb(img.pixel(4, 3)), 0x808080u);
  EXPECT_EQ(Rgb(img.pixel(115, 3)), 0x808080u);
  EXPECT_EQ(Rgb(img.pixel(60, 10)), bgr);  // the rest is the button face
  EXPECT_FALSE(draw_->Initialized());
}

}  // namespace
