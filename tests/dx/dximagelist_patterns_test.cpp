// The image list on a running display: how pictures are cut into patterns and surfaces, the
// display link, colour keys, lost surfaces, and pattern draws compared with their pictures.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dx/DIB.h"
#include "dx/DXConsts.h"
#include "dx/DXDraws.h"
#include "framework/Jpeg.h"
#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/DDrawTesting.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace dx;

// 0xRRGGBB as a framework colour (0x00BBGGRR).
fw::TColor Color(std::uint32_t rgb) {
  return static_cast<fw::TColor>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
}

// A 24-bit picture whose pixel (x, y) is f(x, y), as 0xRRGGBB.
std::unique_ptr<TDIB> MakeDib(int w, int h, const std::function<std::uint32_t(int, int)>& f) {
  auto dib = std::make_unique<TDIB>();
  dib->SetSize(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) dib->SetPixel(x, y, f(x, y));
  return dib;
}

class ImageListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication();
    ddraw::ResetAdapters();
  }
  void TearDown() override {
    form_.reset();
    ddraw::ResetAdapters();
  }
  // A windowed display on a desktop of the given depth, up, with a list linked to it.
  void Start(int bits = 32) {
    auto adapter = ddraw::DefaultAdapter();
    adapter.DesktopMode.BitCount = static_cast<ddraw::DWORD>(bits);
    ddraw::SetAdapters({adapter});
    form_ = fw::MakeOwned<fw::TForm>(nullptr);
    form_->SetClientSize(320, 240);
    draw_ = fw::MakeComponent<TDXDraw>(form_.get());
    draw_->SetAutoInitialize(false);
    draw_->SetParent(form_.get());
    draw_->SetBounds(0, 0, 320, 240);
    list_ = fw::MakeComponent<TDXImageList>(form_.get());
    draw_->Initialize();
    ASSERT_TRUE(draw_->Initialized());
  }
  TPictureCollectionItem* AddItem(const std::string& name, TDIB& dib, int pw = 0, int ph = 0) {
    TPictureCollectionItem* item = list_->Items()->Add();
    item->SetName(name);
    item->Picture()->SetGraphic(&dib);
    item->SetPatternWidth(pw);
    item->SetPatternHeight(ph);
    return item;
  }
  static int SurfaceIndex(TPictureCollectionItem* item, TDirectDrawSurface* s) {
    for (int i = 0; i < item->SurfaceCount(); ++i)
      if (item->Surfaces(i) == s) return i;
    return -1;
  }

  fw::TOwned<fw::TForm> form_;
  TDXDraw* draw_ = nullptr;
  TDXImageList* list_ = nullptr;
};

TEST_F(ImageListTest, PicturesAreCutIntoPatternsRowByRow) {
  Start();
  auto whole = MakeDib(40, 30, [](int, int) { return 0x336699u; });
  auto strip = MakeDib(1000, 100, [](int x, int) { return static_cast<std::uint32_t>(x / 100) * 0x10u; });
  auto skipped = MakeDib(94, 30, [](int, int) { return 0u; });
  auto narrow = MakeDib(20, 20, [](int, int) { return 0u; });
  TPictureCollectionItem* a = AddItem("whole", *whole);
  TPictureCollectionItem* b = AddItem("strip", *strip, 100, 100);
  TPictureCollectionItem* c = AddItem("skipped", *skipped, 30, 30);
  c->SetSkipWidth(2);
  TPictureCollectionItem* d = AddItem("narrow", *narrow, 30, 20);
  TPictureCollectionItem* e = AddItem("narrow-sys", *narrow, 30, 20);
  e->SetSystemMemory(true);
  TPictureCollectionItem* f = AddItem("sys-grid", *strip, 100, 50);
  f->SetSystemMemory(true);
  list_->SetDXDraw(draw_);  // a running display attaches and builds at once

  // Pattern size 0: one pattern over the whole picture.
  ASSERT_EQ(a->PatternCount(), 1);
  EXPECT_EQ(a->PatternRect(0), (fw::TRect{0, 0, 40, 30}));
  EXPECT_EQ(a->SurfaceCount(), 1);
  EXPECT_EQ(a->CellWidth(), 40);
  EXPECT_EQ(a->CellHeight(), 30);

  // 1000 x 100 in 100 x 100 patterns: blocks of 600 and 400 pixels.
  ASSERT_EQ(b->PatternCount(), 10);
  ASSERT_EQ(b->SurfaceCount(), 2);
  EXPECT_EQ(b->Surfaces(0)->Width(), 600);
  EXPECT_EQ(b->Surfaces(1)->Width(), 400);
  EXPECT_EQ(b->Surfaces(1)->Height(), 100);
  EXPECT_EQ(b->PatternRect(6), (fw::TRect{0, 0, 100, 100}));
  EXPECT_EQ(b->PatternSurface(6), b->Surfaces(1));
  EXPECT_EQ(b->PatternRect(5), (fw::TRect{500, 0, 600, 100}));
  EXPECT_EQ(b->PatternSurface(5), b->Surfaces(0));
  // Out of range: nothing.
  EXPECT_EQ(b->PatternRect(10), (fw::TRect{0, 0, 0, 0}));
  EXPECT_EQ(b->PatternRect(-1), (fw::TRect{0, 0, 0, 0}));
  EXPECT_EQ(b->PatternSurface(10), nullptr);

  // A gap of 2 between 30-pixel patterns in 94 pixels: 3 columns at 0, 32, 64.
  ASSERT_EQ(c->PatternCount(), 3);
  EXPECT_EQ(c->PatternRect(2), (fw::TRect{64, 0, 94, 30}));

  // Narrower than one step: no patterns; no surface in video memory, one in system memory.
  EXPECT_EQ(d->PatternCount(), 0);
  EXPECT_EQ(d->SurfaceCount(), 0);
  EXPECT_EQ(e->PatternCount(), 0);
  EXPECT_EQ(e->SurfaceCount(), 1);

  // System memory: one surface, patterns row by row.
  ASSERT_EQ(f->SurfaceCount(), 1);
  ASSERT_EQ(f->PatternCount(), 20);
  EXPECT_EQ(f->PatternRect(11), (fw::TRect{100, 50, 200, 100}));
  EXPECT_EQ(f->PatternSurface(11), f->Surfaces(0));
}

TEST_F(ImageListTest, StoredSizesThatWouldDivideByZeroGiveNoPatterns) {
  Start();
  auto pic = MakeDib(64, 64, [](int, int) { return 0u; });
  TPictureCollectionItem* a = AddItem("a", *pic, 16, 16);
  a->SetSkipWidth(-16);  // a step of 0
  TPictureCollectionItem* b = AddItem("b", *pic, 16, 16);
  b->SetSkipHeight(-40);  // a negative step
  b->SetSystemMemory(true);
  TPictureCollectionItem* c = AddItem("c", *pic, 16, 16);
  c->SetSkipWidth(-100);  // the gaps eat the whole picture
  list_->SetDXDraw(draw_);
  EXPECT_EQ(a->PatternCount(), 0);
  EXPECT_EQ(a->SurfaceCount(), 0);
  EXPECT_EQ(b->PatternCount(), 0);
  EXPECT_EQ(b->SurfaceCount(), 1);
  EXPECT_EQ(c->PatternCount(), 0);
  TPictureCollectionItem* empty = list_->Items()->Add();  // no graphic at all
  empty->Rebuild();
  EXPECT_EQ(empty->PatternCount(), 0);
}

TEST_F(ImageListTest, TheListFollowsTheDisplaysLife) {
  Start();
  auto pic = MakeDib(32, 32, [](int, int) { return 0x00FF00u; });
  TPictureCollectionItem* item = AddItem("a", *pic);
  list_->SetDXDraw(draw_);
  EXPECT_EQ(list_->Items()->Display(), draw_);
  EXPECT_TRUE(item->Ready());
  EXPECT_EQ(item->PatternCount(), 1);

  draw_->Finalize();
  EXPECT_FALSE(item->Ready());
  EXPECT_EQ(item->SurfaceCount(), 0);
  EXPECT_EQ(list_->Items()->Display(), nullptr);
  item->DrawPattern(nullptr, 0, 0, 0);  // neither ready nor a target: nothing

  draw_->Initialize();  // attach, then the restore at its end builds the surfaces
  EXPECT_TRUE(item->Ready());
  ASSERT_EQ(item->PatternCount(), 1);

  // A lost surface is made again by the display's restore.
  TDirectDrawSurface* before = item->PatternSurface(0);
  ddraw::LoseAllSurfaces();
  EXPECT_EQ(before->ISurface()->IsLost(), ddraw::DDERR_SURFACELOST);
  EXPECT_TRUE(draw_->CanDraw());
  ASSERT_EQ(item->PatternCount(), 1);
  EXPECT_EQ(item->PatternSurface(0)->ISurface()->IsLost(), ddraw::DD_OK);
  draw_->Surface()->Fill(0);
  item->DrawPattern(draw_->Surface(), 0, 0, 0);
  EXPECT_EQ(draw_->Surface()->Pixels(5, 5) & 0xFFFFFF, 0x00FF00u) << "the picture is back on the new surface";

  // Unlinking detaches; removing the display drops the link.
  list_->SetDXDraw(nullptr);
  EXPECT_FALSE(item->Ready());
  list_->SetDXDraw(draw_);
  EXPECT_TRUE(item->Ready());
  draw_->Free();
  EXPECT_EQ(list_->DXDraw(), nullptr);
  EXPECT_EQ(list_->Items()->Display(), nullptr);
  EXPECT_FALSE(item->Ready());
}

TEST_F(ImageListTest, AttachingToADisplayThatIsNotUpFails) {
  Start();
  draw_->Finalize();
  auto pic = MakeDib(8, 8, [](int, int) { return 0u; });
  TPictureCollectionItem* item = AddItem("a", *pic);
  try {
    list_->Items()->Attach(draw_);
    FAIL() << "no error";
  } catch (const EPictureCollectionError& e) {
    EXPECT_STREQ(e.what(), "TPictureCollection cannot be initialized");
  }
  EXPECT_EQ(list_->Items()->Display(), draw_);
  EXPECT_FALSE(item->Ready());
  EXPECT_THROW(list_->Items()->Attach(nullptr), EPictureCollectionError);
  list_->Items()->Detach();
}

TEST_F(ImageListTest, ANewTransparentColourReKeysTheSurfacesWithoutARebuild) {
  Start(16);
  auto pic = MakeDib(32, 8, [](int x, int) { return x < 16 ? 0xFF0000u : 0x0000FFu; });
  TPictureCollectionItem* item = AddItem("a", *pic);
  item->SetTransparentColor(Color(0xFF0000));
  list_->SetDXDraw(draw_);
  TDirectDrawSurface* s = item->PatternSurface(0);
  ddraw::DDCOLORKEY key{};
  ASSERT_EQ(s->ISurface()->GetColorKey(ddraw::DDCKEY_SRCBLT, &key), ddraw::DD_OK);
  EXPECT_EQ(key.dwColorSpaceLowValue, 0xF800u);
  item->SetTransparentColor(Color(0x0000FF));
  EXPECT_EQ(item->PatternSurface(0), s) << "no rebuild";
  ASSERT_EQ(s->ISurface()->GetColorKey(ddraw::DDCKEY_SRCBLT, &key), ddraw::DD_OK);
  EXPECT_EQ(key.dwColorSpaceLowValue, 0x001Fu);

  // The key does its work: the blue half now lets the target through.
  draw_->Surface()->Fill(0x07E0);
  item->DrawPattern(draw_->Surface(), 0, 0, 0);
  EXPECT_EQ(draw_->Surface()->Pixels(3, 3), 0xF800u);
  EXPECT_EQ(draw_->Surface()->Pixels(20, 3), 0x07E0u);
  item->SetTransparent(false);
  item->DrawPattern(draw_->Surface(), 0, 0, 0);
  EXPECT_EQ(draw_->Surface()->Pixels(20, 3), 0x001Fu);
}

// Pattern draws against the picture, at every depth, keyed and unkeyed, with clipping at the
// target's edge. The colours are greys far apart, so that they stay apart in 8 bits too.
class PatternDrawTest : public ImageListTest, public ::testing::WithParamInterface<int> {};

TEST_P(PatternDrawTest, DrawnPatternsMatchThePicturePixelByPixel) {
  Start(GetParam());
  const std::uint32_t colours[] = {0x202020, 0x606060, 0xFFFFFF, 0x808080};
  const std::uint32_t key = 0xFF00FF, fill = 0x00FFFF;
  // 3 x 2 patterns of 12 x 10 with a gap of 2; inside each a cross of the key colour.
  auto colour_at = [&](int x, int y) -> std::uint32_t {
    const int px = x % 14, py = y % 12;
    if (px >= 12 || py >= 10) return 0x000000;  // the gaps
    if (px == 6 || py == 5) return key;
    return colours[(x / 14 + 2 * (y / 12) + (px + py) / 4) % 4];
  };
  auto pic = MakeDib(40, 22, colour_at);
  TPictureCollectionItem* item = AddItem("grid", *pic, 12, 10);
  item->SetSkipWidth(2);
  item->SetSkipHeight(2);
  item->SetTransparentColor(Color(key));
  list_->SetDXDraw(draw_);
  ASSERT_EQ(item->PatternCount(), 6);

  TDirectDrawSurface* dest = draw_->Surface();
  // 0xRRGGBB -> pixel value. Blits copy pixel values: the picture's colours are what its own
  // surfaces made of them (in 8 bits, indices of the palette they were loaded with).
  std::map<std::uint32_t, std::uint32_t> value;
  for (std::uint32_t c : {colours[0], colours[1], colours[2], colours[3], key})
    value[c] = item->PatternSurface(0)->MatchColor(Color(c));
  value[fill] = dest->MatchColor(Color(fill));
  for (std::uint32_t c : {colours[0], colours[1], colours[2], colours[3], fill})
    for (std::uint32_t d : {colours[0], colours[1], colours[2], colours[3], key})
      if (c != d) ASSERT_NE(value[c], value[d]) << std::hex << c << " and " << d << " must stay apart";

  for (const bool keyed : {false, true}) {
    item->SetTransparent(keyed);
    for (int index = 0; index < 6; ++index) {
      dest->Fill(value[fill]);
      const int X = 100 + index, Y = 50;
      item->DrawPattern(dest, X, Y, index);
      item->DrawPattern(dest, -5, 234, index);  // clipped on the left and at the bottom
      // The picture's own pixels of the pattern, by its place in the grid.
      const int col = index % 3, row = index / 3;
      for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 12; ++x) {
          const std::uint32_t src = colour_at(col * 14 + x, row * 12 + y);
          const std::uint32_t want = keyed && src == key ? value[fill] : value[src];
          ASSERT_EQ(dest->Pixels(X + x, Y + y), want) << "pattern " << index << " at " << x << "," << y
                                                      << (keyed ? " keyed" : "");
          if (x >= 5 && 234 + y < 240) {
            ASSERT_EQ(dest->Pixels(x - 5, 234 + y), want) << "clipped pattern " << index;
          }
        }
      }
      EXPECT_EQ(dest->Pixels(X + 12, Y), value[fill]) << "nothing beside the pattern";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, PatternDrawTest, ::testing::Values(8, 16, 24, 32),
                         [](const auto& info) { return std::to_string(info.param) + "bit"; });

}  // namespace
