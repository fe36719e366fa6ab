// The DirectDraw object of the component layer and the choice of display modes.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dx/DXDraws.h"
#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/DDrawTesting.h"

namespace {

using namespace dx;

win::HWND Window() { return reinterpret_cast<win::HWND>(std::uintptr_t{0x7001}); }

class DirectDrawTest : public ::testing::Test {
 protected:
  void SetUp() override { ddraw::ResetAdapters(); }
  void TearDown() override { ddraw::ResetAdapters(); }
  static void Offer(std::vector<ddraw::DisplayMode> modes, bool dd4 = true, bool dd7 = true) {
    ddraw::AdapterConfig a = ddraw::DefaultAdapter();
    a.Modes = std::move(modes);
    a.HasDirectDraw4 = dd4;
    a.HasDirectDraw7 = dd7;
    ddraw::SetAdapters({a});
  }
};

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EDirectDrawError& e) {
    return e.Message();
  }
  return "(nothing raised)";
}

TEST_F(DirectDrawTest, OpensInEitherModeAndReadsTheCapabilities) {
  TDirectDraw dd7(nullptr);
  EXPECT_NE(dd7.IDDraw(), nullptr);
  EXPECT_NE(dd7.IDDraw4(), nullptr);
  EXPECT_NE(dd7.IDDraw7(), nullptr);
  EXPECT_EQ(dd7.DriverCaps().dwSize, 380u);
  EXPECT_TRUE(dd7.DriverCaps().dwCaps2 & ddraw::DDCAPS2_PRIMARYGAMMA);
  EXPECT_EQ(dd7.HELCaps().dwSize, 380u);

  TDirectDraw dd1(nullptr, false);
  EXPECT_NE(dd1.IDDraw4(), nullptr);
  EXPECT_EQ(dd1.IDDraw7(), nullptr);
  EXPECT_EQ(MessageOf([&] { dd1.IDraw7(); }), "IDirectDraw7 not made");
}

TEST_F(DirectDrawTest, MissingInterfaceVersionsGiveTheirMessages) {
  Offer(ddraw::DefaultAdapter().Modes, false, false);
  EXPECT_EQ(MessageOf([] { TDirectDraw dd(nullptr, false); }), "Necessary since DirectX 6");
  EXPECT_EQ(MessageOf([] { TDirectDraw dd(nullptr, true); }), "DirectDraw cannot be initialized");
  Offer(ddraw::DefaultAdapter().Modes, false, true);
  EXPECT_EQ(MessageOf([] { TDirectDraw dd(nullptr, true); }), "Necessary since DirectX 7");
  win::GUID unknown{0xBAD, 0, 0, {}};
  EXPECT_EQ(MessageOf([&] { TDirectDraw dd(&unknown); }), "DirectDraw cannot be initialized");
  EXPECT_EQ(ddraw::LiveObjectCount(), 0);
}

// Wrappers that note when they go.
std::vector<std::string>* g_log = nullptr;
struct LoggedSurface : TDirectDrawSurface {
  LoggedSurface(TDirectDraw* dd, std::string n) : TDirectDrawSurface(dd), name(std::move(n)) {}
  ~LoggedSurface() override { g_log->push_back(name); }
  std::string name;
};
struct LoggedPalette : TDirectDrawPalette {
  LoggedPalette(TDirectDraw* dd, std::string n) : TDirectDrawPalette(dd), name(std::move(n)) {}
  ~LoggedPalette() override { g_log->push_back(name); }
  std::string name;
};
struct LoggedClipper : TDirectDrawClipper {
  LoggedClipper(TDirectDraw* dd, std::string n) : TDirectDrawClipper(dd), name(std::move(n)) {}
  ~LoggedClipper() override { g_log->push_back(name); }
  std::string name;
};

TEST_F(DirectDrawTest, FreeingTheObjectFreesSurfacesThenPalettesThenClippers) {
  std::vector<std::string> log;
  g_log = &log;
  {
    auto dd = std::make_unique<TDirectDraw>(nullptr);
    dd->IDraw()->SetCooperativeLevel(nullptr, ddraw::DDSCL_NORMAL);
    // The wrappers belong to the object from here on.
    std::make_unique<LoggedClipper>(dd.get(), "clipper").release();
    std::make_unique<LoggedSurface>(dd.get(), "surface1").release()->SetSize(4, 4);
    std::make_unique<LoggedPalette>(dd.get(), "palette").release();
    std::make_unique<LoggedSurface>(dd.get(), "surface2").release()->SetSize(8, 8);
    EXPECT_EQ(dd->SurfaceCount(), 2);
    EXPECT_EQ(dd->PaletteCount(), 1);
    EXPECT_EQ(dd->ClipperCount(), 1);
  }
  EXPECT_EQ(log, (std::vector<std::string>{"surface2", "surface1", "palette", "clipper"}));
  EXPECT_EQ(ddraw::LiveObjectCount(), 0);
  g_log = nullptr;
}

TEST_F(DirectDrawTest, PalettesAndClippers) {
  TDirectDraw dd(nullptr);
  TDirectDrawPalette pal(&dd);
  win::PALETTEENTRY entries[256] = {};
  EXPECT_FALSE(pal.SetEntries(0, 1, entries));
  EXPECT_THROW(pal.IPalette(), EDirectDrawPaletteError);
  entries[3] = win::PALETTEENTRY{1, 2, 3, 0};
  ASSERT_TRUE(pal.CreatePalette(ddraw::DDPCAPS_8BIT, entries));
  win::PALETTEENTRY back[1];
  ASSERT_TRUE(pal.GetEntries(3, 1, back));
  EXPECT_EQ(back[0].peBlue, 3);
  EXPECT_FALSE(pal.SetEntries(250, 10, entries));
  EXPECT_NE(pal.LastResult(), 0);
  TDirectDrawClipper clipper(&dd);
  clipper.SetWindow(Window());
  EXPECT_EQ(clipper.LastResult(), 0);
  win::HWND w = nullptr;
  clipper.IClipper()->GetHWnd(&w);
  EXPECT_EQ(w, Window());
}

// A display request whose display is a DirectDraw object of the test's own.
struct TestDisplay : TDXDrawDisplay {
  TestDisplay() : TDXDrawDisplay(nullptr) {}
  TDirectDraw* dd = nullptr;
  TDirectDraw* DirectDraw() const override { return dd; }
};

struct ModeTest : DirectDrawTest {
  void Open() {
    dd = std::make_unique<TDirectDraw>(nullptr);
    ASSERT_EQ(dd->IDraw()->SetCooperativeLevel(Window(), ddraw::DDSCL_FULLSCREEN | ddraw::DDSCL_EXCLUSIVE |
                                                             ddraw::DDSCL_ALLOWMODEX),
              0);
    display.dd = dd.get();
  }
  ddraw::DisplayMode Current() const {
    ddraw::DDSURFACEDESC d;
    d.dwSize = sizeof(d);
    dd->IDraw()->GetDisplayMode(&d);
    return {d.dwWidth, d.dwHeight, d.ddpfPixelFormat.dwRGBBitCount};
  }
  void ProgramFlags() {
    display.SetFixedBitCount(true);
    display.SetFixedRatio(true);
    display.SetFixedSize(false);
  }
  std::unique_ptr<TDirectDraw> dd;
  TestDisplay display;
};

TEST_F(ModeTest, TheListIsSortedAndFoundByItsThreeKeys) {
  Offer({{1024, 768, 16}, {640, 480, 32}, {640, 480, 8}, {800, 600, 16}});
  // Without a DirectDraw object the list comes from a temporary one.
  ASSERT_EQ(display.Count(), 4);
  EXPECT_EQ(display.Modes(0)->BitCount(), 8);
  EXPECT_EQ(display.Modes(1)->BitCount(), 32);
  EXPECT_EQ(display.Modes(3)->Width(), 1024);
  EXPECT_EQ(display.IndexOf(800, 600, 16), 2);
  EXPECT_EQ(display.IndexOf(800, 600, 8), -1);
  EXPECT_EQ(display.Modes(0)->SurfaceDesc().dwSize, sizeof(ddraw::DDSURFACEDESC));
  EXPECT_FALSE(display.ChooseMode(640, 480, 8));  // nothing to set it on
  EXPECT_EQ(ddraw::LiveObjectCount(), 0);
}

TEST_F(ModeTest, AMissing800x600x16FallsBackTo1024x768x16ByRatio) {
  Offer({{640, 480, 16}, {800, 600, 8}, {800, 600, 32}, {1024, 768, 16}, {1280, 1024, 16}});
  Open();
  ProgramFlags();
  ASSERT_TRUE(display.ChooseMode(800, 600, 16));
  EXPECT_EQ(display.Width(), 1024);
  EXPECT_EQ(display.Height(), 768);
  EXPECT_EQ(display.BitCount(), 16);
  EXPECT_EQ(Current(), (ddraw::DisplayMode{1024, 768, 16}));
}

TEST_F(ModeTest, AFreeDepthTakesTheDeepestAcceptableModeOfTheSmallestSize) {
  Offer({{800, 600, 8}, {800, 600, 32}});
  Open();
  display.SetFixedBitCount(false);
  ASSERT_TRUE(display.ChooseMode(800, 600, 16));
  EXPECT_EQ(display.BitCount(), 32);

  Offer({{640, 480, 16}, {640, 480, 32}, {800, 600, 8}});
  Open();
  display.SetFixedBitCount(false);
  display.ClearModes();
  ASSERT_TRUE(display.ChooseMode(640, 480, 8));
  EXPECT_EQ(Current(), (ddraw::DisplayMode{640, 480, 32}));
}

TEST_F(ModeTest, FixedSizeZeroSizesAndBadDepthsFail) {
  Offer({{1024, 768, 16}, {640, 480, 16}});
  Open();
  display.SetFixedSize(true);
  display.SetFixedRatio(false);
  display.SetFixedBitCount(false);
  EXPECT_FALSE(display.ChooseMode(800, 600, 16));
  EXPECT_EQ(display.Width(), 640);  // untouched
  EXPECT_FALSE(display.ChooseMode(0, 480, 16));
  EXPECT_FALSE(display.ChooseMode(640, 0, 16));
  EXPECT_FALSE(display.ChooseMode(640, 480, 15));
  EXPECT_TRUE(display.ChooseMode(640, 480, 16));

  EXPECT_EQ(MessageOf([&] { display.SetBitCount(12); }), "It should be either of 8 or 16 or 24 or 32");
  EXPECT_EQ(display.BitCount(), 16);
  display.SetWidth(-5);
  EXPECT_EQ(display.Width(), 0);
}

TEST_F(ModeTest, AssigningCopiesTheSixSettingsButNotTheList) {
  Offer({{640, 480, 8}});
  TestDisplay other;
  other.SetWidth(1024);
  other.SetHeight(768);
  other.SetBitCount(16);
  other.SetFixedSize(true);
  other.SetFixedRatio(false);
  other.SetFixedBitCount(false);
  display.Assign(&other);
  EXPECT_EQ(display.Width(), 1024);
  EXPECT_EQ(display.Height(), 768);
  EXPECT_EQ(display.BitCount(), 16);
  EXPECT_TRUE(display.FixedSize());
  EXPECT_FALSE(display.FixedRatio());
  EXPECT_FALSE(display.FixedBitCount());
  display.Assign(&display);
  EXPECT_EQ(display.Width(), 1024);
}

}  // namespace
