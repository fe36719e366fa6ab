// The full-screen model driven as the pupil drives it: parameters typed into the parameter form,
// the menu item "Модель_Sprix", frames from the idle loop, keys on the display, clicks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/Main.h"
#include "app/Unit3.h"
#include "app/Unit4.h"
#include "platform/ddraw/DDraw.h"
#include "platform/mm/MMSystem.h"
#include "platform/mm/MMSystemTesting.h"
#include "platform/win/QtWindows.h"
#include "platform/win/WinUser.h"
#include "platform/win/WinUserTesting.h"
#include "tests/support/ProgramForms.h"

using namespace app;

namespace {

class Scene : public ::testing::Test {
 protected:
  void SetUp() override {
    ddraw::ResetAdapters();
    // Flips keep to the retrace; on a virtual clock that costs no real time.
    mm::SetVirtualTime(1000);
    win::SetMessageBoxHook([this](const std::string& text, const std::string&, win::UINT) {
      Boxes.push_back(text);
      return win::IDOK;
    });
    testsupport::MakeProgramForms(true);
  }
  void TearDown() override {
    testsupport::FreeProgramForms();
    win::SetMessageBoxHook(nullptr);
    mm::UseRealClock();
    ddraw::ResetAdapters();
  }

  static void Do(const std::function<void()>& f) { win::GuardedCall(f); }
  static void Type(fw::TControl* edit, const std::string& text) { Do([&] { edit->SetText(text); }); }
  static void Start() { Do([] { Form1->Sprix1->Click(); }); }
  // One idle pass of the message loop: the frame timer's frame.
  static void Frame(int n = 1) {
    for (int i = 0; i < n; ++i) fw::Application->Idle();
  }
  static void Key(std::uint16_t key, bool alt = false) {
    win::HWND h = form4->DXDraw->Handle();
    Do([&] { win::SendMessageA(h, alt ? win::WM_SYSKEYDOWN : win::WM_KEYDOWN, key, alt ? 0x20000000 : 0); });
  }

  dx::TSpriteEngine* Engine() const { return form4->DXSpriteEngine->Engine(); }
  // The sprites of every set-up, in order of making.
  std::vector<dx::TSprite*> Sprites() const {
    std::vector<dx::TSprite*> v;
    for (int i = 0; i < Engine()->ChildCount(); ++i) v.push_back(Engine()->Child(i));
    return v;
  }
  std::vector<TMonoSprite*> Bodies() const {
    std::vector<TMonoSprite*> v;
    for (dx::TSprite* s : Sprites())
      if (auto* b = dynamic_cast<TMonoSprite*>(s)) v.push_back(b);
    return v;
  }
  static bool SameTable(const dx::TRGBQuads& a, const dx::TRGBQuads& b) {
    return std::memcmp(a.data(), b.data(), sizeof(dx::TRGBQuads)) == 0;
  }
  dx::TPictureCollectionItem* Item(const std::string& name) const { return form4->ImageList->Items()->Lookup(name); }

  // A 16-bit surface read once, under one lock.
  struct Pixels16 {
    std::vector<std::uint16_t> Bits;
    int Width = 0, Height = 0;
    std::uint32_t Key = 0xFFFFFFFF;
    std::uint16_t At(int x, int y) const { return Bits[static_cast<std::size_t>(y * Width + x)]; }
  };
  static Pixels16 Read(dx::TDirectDrawSurface* s) {
    Pixels16 p;
    ddraw::DDSURFACEDESC d;
    EXPECT_TRUE(s->Lock(nullptr, d));
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 16u);
    p.Width = static_cast<int>(d.dwWidth);
    p.Height = static_cast<int>(d.dwHeight);
    for (int y = 0; y < p.Height; ++y) {
      const auto* row = reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(d.lpSurface) + y * d.lPitch);
      p.Bits.insert(p.Bits.end(), row, row + d.dwWidth);
    }
    s->Unlock();
    return p;
  }

  std::vector<std::string> Boxes;
};

TEST_F(Scene, TheStoredFormBringsItsSoundUpWithAnEmptyLinkedWaveList) {
  ASSERT_NE(form4->DXSound, nullptr);
  ASSERT_NE(form4->DXWaveList, nullptr);
  EXPECT_TRUE(form4->DXSound->AutoInitialize());
  EXPECT_EQ(form4->DXSound->Options(), dx::TDXSoundOptions{});
  EXPECT_EQ(form4->DXWaveList->DXSound(), form4->DXSound);
  EXPECT_EQ(form4->DXWaveList->Items()->Count(), 0);
  // The tests' audio driver is SDL's dummy one: a device exists, so the sound comes up on loading.
  EXPECT_TRUE(form4->DXSound->Initialized());
  EXPECT_TRUE(form4->DXWaveList->Items()->Initialized());
  EXPECT_EQ(form4->DXWaveList->Items()->DXSound(), form4->DXSound);
}

TEST_F(Scene, TheDefaultsFloatTheBodyUpTo75In325FramesFullScreen) {
  EXPECT_FALSE(form4->Visible());
  EXPECT_EQ(form4->Caption(), "Sprix Sample");
  Start();
  ASSERT_TRUE(Boxes.empty()) << Boxes.front();
  EXPECT_TRUE(form4->Visible());
  EXPECT_EQ(MoveDir, 1);
  EXPECT_EQ(TargetY, 75);
  EXPECT_EQ(ZBase, 0);
  EXPECT_EQ(Form1->Edit9->Text(), "3");
  EXPECT_EQ(StartX, 200);
  EXPECT_EQ(StartY, 400);

  dx::TDXDraw* d = form4->DXDraw;
  ASSERT_TRUE(d->Initialized());
  EXPECT_TRUE(d->EffectiveOptions().Contains(dx::doFullScreen));
  EXPECT_TRUE(d->EffectiveOptions().Contains(dx::doFlip));
  EXPECT_EQ(d->Surface()->Width(), 800);
  EXPECT_EQ(d->Surface()->Height(), 600);
  EXPECT_EQ(d->Surface()->BitCount(), 16);
  EXPECT_TRUE(form4->DXTimer->Enabled());
  EXPECT_TRUE(SameTable(d->ColorTable, form4->ImageList->Items()->ColorTable));
  EXPECT_TRUE(SameTable(d->DefaultColorTable, form4->ImageList->Items()->ColorTable));

  // Background, body, band, drawn background, band, body.
  const auto sprites = Sprites();
  ASSERT_EQ(sprites.size(), 3u);
  auto* background = dynamic_cast<dx::TBackgroundSprite*>(sprites[0]);
  auto* body = dynamic_cast<TMonoSprite*>(sprites[1]);
  auto* band = dynamic_cast<TPlayerSprite*>(sprites[2]);
  ASSERT_TRUE(background && body && band);
  EXPECT_EQ(background->ImageItem(), Item("background"));
  EXPECT_TRUE(background->Wrap());
  EXPECT_EQ(background->MapColumns(), 1);
  EXPECT_EQ(body->ImageItem, Item("img1"));
  EXPECT_EQ(band->ImageItem, Item("fon1"));
  EXPECT_EQ(background->Z(), 0);
  EXPECT_EQ(band->Z(), 1);
  EXPECT_EQ(body->Z(), 2);
  EXPECT_EQ(body->Width(), 50);
  EXPECT_EQ(band->Width(), 800);
  EXPECT_EQ(band->Height(), 100);
  EXPECT_EQ((*Engine()->DrawOrder())[2], body);

  // One pixel a frame, whatever the lag, and it stays at the target.
  int frames = 0;
  while (body->Y() > 75 && frames < 1000) {
    Frame();
    ++frames;
  }
  EXPECT_EQ(frames, 325);
  Frame(20);
  EXPECT_EQ(body->Y(), 75);
  EXPECT_EQ(body->X(), 200);
  EXPECT_EQ(band->Y(), 0);
  EXPECT_EQ(Engine()->DrawnCount(), 3);
}

// Where the sprites overlap a screen position, the topmost whose pixel is not its colour key
// shows; elsewhere the water repeats every 256 pixels.
TEST_F(Scene, AFrameShowsWaterTheKeyedBandAndTheBody) {
  Start();
  ASSERT_TRUE(Boxes.empty()) << Boxes.front();
  Frame(40);  // the body at 360
  auto readItem = [&](const std::string& name) {
    dx::TPictureCollectionItem* item = Item(name);
    Pixels16 p = Read(item->PatternSurface(0));
    if (item->Transparent()) p.Key = item->PatternSurface(0)->MatchColor(item->TransparentColor());
    return p;
  };
  const Pixels16 screen = Read(form4->DXDraw->Primary());
  const Pixels16 water = readItem("background"), band = readItem("fon1"), img = readItem("img1");
  const int bodyY = static_cast<int>(Bodies()[0]->Y());
  ASSERT_EQ(bodyY, 360);
  int checked = 0, waterInBand = 0, bodyShown = 0, waterAroundBody = 0;
  auto check = [&](int x, int y) {
    std::uint32_t want = water.At(x % 256, y % 256);
    if (y < 100) {
      const std::uint32_t b = band.At(x, y);
      if (b != band.Key) want = b;
      waterInBand += b == band.Key;
    }
    if (x >= 200 && x < 250 && y >= bodyY && y < bodyY + 50) {
      const std::uint32_t b = img.At(x - 200, y - bodyY);
      if (b != img.Key) want = b;
      bodyShown += b != img.Key;
      waterAroundBody += b == img.Key;
    }
    EXPECT_EQ(screen.At(x, y), want) << x << ", " << y;
    ++checked;
  };
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) check(x, y);
  EXPECT_EQ(checked, 800 * 600);
  // The colour keys do visible work: water through the band's lower edge and the body's corners.
  EXPECT_GT(waterInBand, 0);
  EXPECT_GT(waterAroundBody, 0);
  EXPECT_GT(bodyShown, 2000);
}

TEST_F(Scene, TargetsForLighterEqualAndDenserBodies) {
  // Lithium in water: 100 - round(50 - 26.95) = 77.
  Type(Form1->Edit3, "539");
  Start();
  EXPECT_EQ(MoveDir, 1);
  EXPECT_EQ(TargetY, 77);

  // Width 25 at equal density: the small picture, and the body does not move.
  Type(Form1->Edit1, "25");
  Type(Form1->Edit2, "25");
  Type(Form1->Edit3, "1000");
  Start();
  ASSERT_TRUE(Boxes.empty()) << Boxes.front();
  EXPECT_EQ(MoveDir, 0);
  EXPECT_EQ(TargetY, 400);
  TMonoSprite* small = Bodies().back();
  EXPECT_EQ(small->ImageItem, Item("img2"));
  EXPECT_EQ(small->Width(), 25);
  Frame(30);
  EXPECT_EQ(small->Y(), 400);

  // Steel sinks to the display control's height (572) + 27 - 50.
  Type(Form1->Edit1, "50");
  Type(Form1->Edit2, "50");
  Type(Form1->Edit3, "7800");
  Start();
  EXPECT_EQ(form4->DXDraw->Height(), 572);
  EXPECT_EQ(MoveDir, -1);
  EXPECT_EQ(TargetY, 549);
  ASSERT_TRUE(Boxes.empty()) << Boxes.front();
}

TEST_F(Scene, ASecondSetUpLiesThreeLevelsHigherAndEveryBodyFollowsTheNewTarget) {
  Start();
  Frame(10);
  TMonoSprite* first = Bodies()[0];
  EXPECT_EQ(first->Y(), 390);
  Type(Form1->Edit3, "7800");  // now it sinks
  Start();
  EXPECT_EQ(ZBase, 3);
  EXPECT_EQ(Form1->Edit9->Text(), "6");
  const auto sprites = Sprites();
  ASSERT_EQ(sprites.size(), 6u);
  EXPECT_EQ(sprites[3]->Z(), 3);
  EXPECT_EQ(sprites[5]->Z(), 4);
  EXPECT_EQ(sprites[4]->Z(), 5);
  TMonoSprite* second = Bodies()[1];
  Frame(5);
  EXPECT_EQ(first->Y(), 395);
  EXPECT_EQ(second->Y(), 405);
}

TEST_F(Scene, ClickingTheDisplayTogglesTheFixedStep) {
  Start();
  EXPECT_FALSE(form4->FixedStep);
  Do([] { form4->DXDraw->Click(); });
  EXPECT_TRUE(form4->FixedStep);
  EXPECT_EQ(form4->DXTimer->Interval(), 16u);
  // The body still moves a pixel a frame; frames now come at most every 16 ms.
  const double y = Bodies()[0]->Y();
  Frame();
  mm::AdvanceVirtualTime(1);
  Frame();
  EXPECT_LE(y - Bodies()[0]->Y(), 2);
  Do([] { form4->DXDraw->Click(); });
  EXPECT_FALSE(form4->FixedStep);
  EXPECT_EQ(form4->DXTimer->Interval(), 0u);
}

TEST_F(Scene, AltEnterSwitchesToASizeableWindowAndBackEscapeGoesBackToTheParameters) {
  Start();
  dx::TDXDraw* d = form4->DXDraw;
  ASSERT_TRUE(d->Initialized());
  Key(13, true);
  EXPECT_TRUE(d->Initialized());
  EXPECT_FALSE(d->Options().Contains(dx::doFullScreen));
  EXPECT_FALSE(d->EffectiveOptions().Contains(dx::doFlip));
  EXPECT_EQ(form4->BorderStyle(), fw::bsSizeable);
  EXPECT_EQ(d->Cursor(), fw::crDefault);
  EXPECT_TRUE(form4->DXTimer->Enabled());
  const double y = Bodies()[0]->Y();
  Frame(3);
  EXPECT_EQ(Bodies()[0]->Y(), y - 3);  // frames go on in the window

  Key(13, true);
  EXPECT_TRUE(d->Initialized());
  EXPECT_TRUE(d->EffectiveOptions().Contains(dx::doFullScreen));
  EXPECT_EQ(form4->BorderStyle(), fw::bsNone);
  EXPECT_EQ(d->Cursor(), fw::crNone);
  EXPECT_TRUE(form4->PlacementSaved());

  Key(13, true);  // the placement saved on the way in comes back on the way out
  EXPECT_FALSE(form4->PlacementSaved());
  EXPECT_EQ(form4->BorderStyle(), fw::bsSizeable);

  Key(27);
  EXPECT_FALSE(d->Initialized());
  EXPECT_FALSE(form4->Visible());
  EXPECT_FALSE(form4->DXTimer->Enabled());
  // Frames do nothing while the display is down; a new set-up brings everything back.
  Frame(3);
  Start();
  EXPECT_TRUE(d->Initialized());
  EXPECT_TRUE(form4->Visible());
  EXPECT_TRUE(Boxes.empty());
}

TEST_F(Scene, AScreenWidthWithoutABandStopsAfterTheBodyWithTheImageListsMessage) {
  Type(Form1->Edit8, "1152");
  Type(Form1->Edit7, "864");
  Start();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0], "Image '' not found");
  ASSERT_TRUE(form4->DXDraw->Initialized());
  EXPECT_EQ(form4->DXDraw->Surface()->Width(), 1152);
  const auto sprites = Sprites();
  ASSERT_EQ(sprites.size(), 2u);
  EXPECT_TRUE(dynamic_cast<dx::TBackgroundSprite*>(sprites[0]));
  EXPECT_TRUE(dynamic_cast<TMonoSprite*>(sprites[1]));
  Frame(2);  // what was made is drawn
  EXPECT_EQ(Engine()->DrawnCount(), 2);
}

TEST_F(Scene, AModeThatCannotBeSetStopsBeforeTheColourTable) {
  ddraw::AdapterConfig a = ddraw::DefaultAdapter();
  a.Modes = {{640, 480, 16, 60}, {640, 480, 32, 60}};
  ddraw::SetAdapters({a});
  Start();
  ASSERT_FALSE(Boxes.empty());
  EXPECT_EQ(Boxes.back(), "Display mode cannot be changed (800x600 16bit)");
  EXPECT_FALSE(form4->DXDraw->Initialized());
  EXPECT_TRUE(Sprites().empty());
  EXPECT_FALSE(SameTable(form4->DXDraw->ColorTable, form4->ImageList->Items()->ColorTable));
  EXPECT_EQ(Form1->Edit9->Text(), "3");
}

TEST_F(Scene, UnreadableParametersStopWithTheConversionError) {
  Type(Form1->Edit9, "z");
  Start();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_FALSE(form4->Visible());  // nothing at all happened
  EXPECT_EQ(Form1->Edit9->Text(), "z");

  Boxes.clear();
  Type(Form1->Edit9, "0");
  Type(Form1->Edit1, "abc");
  Start();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_NE(Boxes[0].find("abc"), std::string::npos);
  EXPECT_EQ(Form1->Edit9->Text(), "3");
  EXPECT_TRUE(form4->Visible());
  EXPECT_TRUE(Sprites().empty());
}

TEST_F(Scene, TheCaptionFollowsTheApplicationsActivation) {
  Start();
  win::SendMessageA(fw::Application->Handle(), fw::CM_DEACTIVATE, 0, 0);
  EXPECT_EQ(form4->Caption(), "FloatBench [Pause]");
  // Not active-only: frames go on while another application is in front.
  const double y = Bodies()[0]->Y();
  Frame(2);
  EXPECT_EQ(Bodies()[0]->Y(), y - 2);
  win::SendMessageA(fw::Application->Handle(), fw::CM_ACTIVATE, 0, 0);
  EXPECT_EQ(form4->Caption(), "FloatBench");
}

// A floating body at rest stands out of the water in the full-screen frame by as many rows as
// the model says, as in the modelling window. The frame is drawn three times: as it is, without
// the body and with the water alone. In each column the water line is where the frame without
// the body turns into the water alone for good; the body's top is its first row that differs
// between the frame and the frame without it.
struct Resting {
  const char* Name;
  const char *Width, *Density, *Liquid, *ScreenWidth, *ScreenHeight;
  int Protrusion;  // as the modelling window shows it
  friend void PrintTo(const Resting& r, std::ostream* os) { *os << r.Name; }
};

class RestingFrame : public Scene, public ::testing::WithParamInterface<Resting> {};

TEST_P(RestingFrame, TheBodyStandsOutOfTheWaterLineByTheModelsProtrusion) {
  const Resting& c = GetParam();
  Type(Form1->Edit1, c.Width);
  Type(Form1->Edit2, c.Width);
  Type(Form1->Edit3, c.Density);
  Type(Form1->Edit4, c.Liquid);
  Type(Form1->Edit8, c.ScreenWidth);
  Type(Form1->Edit7, c.ScreenHeight);
  Do([] { Form1->N10->Click(); });  // the modelling window's answer
  EXPECT_EQ(Form3->Edit1->Text(), std::to_string(c.Protrusion));
  Start();
  ASSERT_TRUE(Boxes.empty()) << Boxes.front();
  ASSERT_EQ(MoveDir, 1);
  const auto sprites = Sprites();
  ASSERT_EQ(sprites.size(), 3u);
  dx::TSprite *body = sprites[1], *band = sprites[2];
  for (int frames = 0; body->Y() > TargetY && frames < 1000; ++frames) Frame();
  ASSERT_EQ(body->Y(), TargetY);
  Frame();
  const Pixels16 whole = Read(form4->DXDraw->Primary());
  body->Visible = false;
  Frame();
  const Pixels16 noBody = Read(form4->DXDraw->Primary());
  band->Visible = false;
  Frame();
  const Pixels16 water = Read(form4->DXDraw->Primary());
  ASSERT_EQ(whole.Width, std::stoi(c.ScreenWidth));

  // The water line lies along the band's bottom edge, the model's surface, across the screen.
  auto waterLine = [&](int x) {
    int y = band->Height();
    while (y > 0 && noBody.At(x, y - 1) == water.At(x, y - 1)) --y;
    return y;
  };
  int highest = 100, lowest = 0;
  for (int x = 0; x < whole.Width; ++x) {
    highest = std::min(highest, waterLine(x));
    lowest = std::max(lowest, waterLine(x));
  }
  EXPECT_GE(highest, 99);
  EXPECT_EQ(lowest, 100);

  // Over the middle half of the body (its corners are rounded), the rows above the water line.
  const int left = static_cast<int>(body->X()), w = body->Width();
  int fewest = 1000, most = -1000;
  for (int x = left + w / 4; x < left + w - w / 4; ++x) {
    int top = 0;
    while (top < whole.Height && whole.At(x, top) == noBody.At(x, top)) ++top;
    ASSERT_EQ(top, TargetY) << "column " << x;
    fewest = std::min(fewest, waterLine(x) - top);
    most = std::max(most, waterLine(x) - top);
  }
  std::printf("[ measured ] %s: %d to %d rows above the water line, the model's protrusion %d\n", c.Name, fewest,
              most, c.Protrusion);
  EXPECT_GE(fewest, c.Protrusion - 1);
  EXPECT_LE(most, c.Protrusion + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Scene, RestingFrame,
    ::testing::Values(Resting{"Defaults", "50", "500", "1000", "800", "600", 25},
                      Resting{"LithiumInWater", "50", "539", "1000", "800", "600", 23},
                      Resting{"BronzeInMercury", "50", "8800", "13546", "800", "600", 18},
                      Resting{"SmallBody", "25", "500", "1000", "800", "600", 12},
                      Resting{"WideBand", "50", "500", "1000", "1024", "768", 25}),
    [](const ::testing::TestParamInfo<Resting>& i) { return std::string(i.param.Name); });

}  // namespace
