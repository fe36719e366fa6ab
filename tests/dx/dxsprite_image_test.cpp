// Image and background sprites on a running display with an image list: frame animation,
// wrapping, where patterns land (compared with a plain drawing), the background map, the pixel
// hit test at every depth, and the engine component's display link.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dx/DIB.h"
#include "dx/DXDraws.h"
#include "dx/DXSprite.h"
#include "framework/Forms.h"
#include "platform/ddraw/DDraw.h"
#include "platform/pixels/Pixels.h"
#include "tests/dx/SpriteCollisionCheck.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace dx;

class SpriteSceneTest : public ::testing::Test {
 protected:
  void Start(ddraw::DWORD bits, int w = 800, int h = 600) {
    testsupport::EnsureApplication();
    ddraw::AdapterConfig a = ddraw::DefaultAdapter();
    a.DesktopMode = ddraw::DisplayMode{1024, 768, bits};
    ddraw::SetAdapters({a});
    form_ = fw::MakeOwned<fw::TForm>(nullptr);
    form_->SetClientSize(w, h);
    draw_ = fw::MakeComponent<TDXDraw>(form_.get());
    draw_->SetAutoInitialize(false);
    draw_->SetAutoSize(false);
    draw_->SetSurfaceWidth(w);
    draw_->SetSurfaceHeight(h);
    draw_->SetParent(form_.get());
    images_ = fw::MakeComponent<TDXImageList>(form_.get());
    images_->SetDXDraw(draw_);
    sprites_ = fw::MakeComponent<TDXSpriteEngine>(form_.get());
    sprites_->SetDXDraw(draw_);
    draw_->Initialize();
    ASSERT_TRUE(draw_->Initialized());
    ASSERT_EQ(Engine()->Surface(), draw_->Surface());
  }
  void TearDown() override {
    form_.reset();
    ddraw::ResetAdapters();
  }
  TSpriteEngine* Engine() { return sprites_->Engine(); }

  // An item of a w x h picture cut into pw x ph patterns, its pixels set by `pixel`
  // (pattern-sheet coordinates), its colour key 0.
  TPictureCollectionItem* AddItem(int w, int h, int pw, int ph,
                                  const std::function<std::uint32_t(int, int)>& pixel) {
    TPictureCollectionItem* item = images_->Items()->Add();
    TDIB dib;
    dib.SetSize(w, h, 24);
    item->Picture()->SetGraphic(&dib);
    item->SetPatternWidth(pw);
    item->SetPatternHeight(ph);
    item->SetSystemMemory(true);
    item->Rebuild();
    EXPECT_EQ(item->SurfaceCount(), 1);
    TDirectDrawSurface* s = item->Surfaces(0);
    Fill(s, pixel);
    s->SetTransparentColor(0);
    return item;
  }
  static void Fill(TDirectDrawSurface* s, const std::function<std::uint32_t(int, int)>& pixel) {
    ddraw::DDSURFACEDESC d;
    ASSERT_TRUE(s->Lock(nullptr, d));
    const pixels::PixelView v{static_cast<std::uint8_t*>(d.lpSurface), d.lPitch, s->Width(), s->Height(),
                              d.ddpfPixelFormat.dwRGBBitCount};
    for (int y = 0; y < s->Height(); ++y)
      for (int x = 0; x < s->Width(); ++x) pixels::PutPixel(v, x, y, pixel(x, y));
    s->Unlock();
  }
  // The back surface, row by row.
  std::vector<std::uint32_t> Screen() {
    TDirectDrawSurface* s = draw_->Surface();
    std::vector<std::uint32_t> out;
    ddraw::DDSURFACEDESC d;
    EXPECT_TRUE(s->Lock(nullptr, d));
    const pixels::PixelView v{static_cast<std::uint8_t*>(d.lpSurface), d.lPitch, s->Width(), s->Height(),
                              d.ddpfPixelFormat.dwRGBBitCount};
    for (int y = 0; y < s->Height(); ++y)
      for (int x = 0; x < s->Width(); ++x) out.push_back(pixels::GetPixel(v, x, y));
    s->Unlock();
    return out;
  }
  // Frame: clear, paint through the component, read back.
  std::vector<std::uint32_t> Frame() {
    draw_->Surface()->Fill(0);
    sprites_->Paint();
    return Screen();
  }

  fw::TOwned<fw::TForm> form_;
  TDXDraw* draw_ = nullptr;
  TDXImageList* images_ = nullptr;
  TDXSpriteEngine* sprites_ = nullptr;
};

// A plain drawing: pattern `index` of a sheet with `cols` patterns per row, keyed on 0, put at
// (x, y) of a w x h picture.
void Stamp(std::vector<std::uint32_t>& img, int w, int h, const std::function<std::uint32_t(int, int)>& sheet,
           int pw, int ph, int cols, int index, int x, int y) {
  const int sx = (index % cols) * pw, sy = (index / cols) * ph;
  for (int j = 0; j < ph; ++j)
    for (int i = 0; i < pw; ++i) {
      const int dx = x + i, dy = y + j;
      if (dx < 0 || dy < 0 || dx >= w || dy >= h) continue;
      const std::uint32_t p = sheet(sx + i, sy + j);
      if (p != 0) img[static_cast<std::size_t>(dy) * w + dx] = p;
    }
}

TEST(ImageSpriteStepTest, LoopingAndStoppingRuns) {
  TSpriteEngine engine;
  auto* s = MakeSprite<TImageSprite>(&engine);
  s->FrameLoop = true;
  s->FrameCount = 4;
  s->FramePos = 3.5;
  s->FrameSpeed = 1;
  s->Step(1);
  EXPECT_DOUBLE_EQ(s->FramePos, 0.5);
  s->FramePos = 0.5;
  s->Step(-1);  // -0.5 after the step
  EXPECT_DOUBLE_EQ(s->FramePos, 3.5);
  s->FramePos = 1;
  s->FrameSpeed = -1e-17;  // a remainder just below zero is frame 0, not 4
  s->FramePos = 0;
  s->Step(1);
  EXPECT_GE(s->FramePos, 0);
  EXPECT_LT(s->FramePos, 4);
  s->FrameCount = 0;
  s->FramePos = 2;
  s->Step(1);
  EXPECT_EQ(s->FramePos, 0);

  s->FrameLoop = false;
  s->FrameCount = 4;
  s->FramePos = 3.2;
  s->FrameSpeed = 0.5;
  s->Step(2);  // 4.2
  EXPECT_EQ(s->FramePos, 3);
  EXPECT_EQ(s->FrameSpeed, 0);
  s->FramePos = 0.5;
  s->FrameSpeed = -1;
  s->Step(1);
  EXPECT_EQ(s->FramePos, 0);
  EXPECT_EQ(s->FrameSpeed, 0);
  s->FrameCount = 0;
  s->FramePos = 0;
  s->FrameSpeed = 2;
  s->Step(1);
  EXPECT_EQ(s->FramePos, 0);
  EXPECT_EQ(s->FrameSpeed, 0);
  s->FrameStart = 10;
  s->FramePos = 2.9;
  EXPECT_EQ(s->CurrentPattern(), 12);
}

// The frame step is worked out in extended precision and stored afterwards.
TEST(ImageSpriteStepTest, TheStepIsExtendedPrecision) {
  TSpriteEngine engine;
  auto* s = MakeSprite<TImageSprite>(&engine);
  s->FrameCount = 4;
  s->FramePos = 0.1;
  s->FrameSpeed = 0.3;
  s->Step(3);
  EXPECT_EQ(s->FramePos, 1.0) << "double arithmetic gives 0.99999999999999989";
  EXPECT_EQ(s->CurrentPattern(), 1);
  EXPECT_EQ(s->FrameSpeed, 0.3);
  // Looping over one frame: the step lands on 1, which is frame 0 again.
  s->FrameLoop = true;
  s->FrameCount = 1;
  s->FramePos = 0.1;
  s->Step(3);
  EXPECT_EQ(s->FramePos, 0.0);
}

TEST_F(SpriteSceneTest, WrappingBoundsAndPatternsCentredInTheSprite) {
  Start(16);
  auto* s = MakeSprite<TImageSprite>(Engine());
  s->SetWidth(32);
  s->SetHeight(32);
  s->SetWrap(true);
  s->SetX(-10);
  EXPECT_EQ(s->GetBounds().left, -10);
  s->SetX(810);
  EXPECT_EQ(s->GetBounds().left, -22);
  s->SetY(-700);  // -700 mod 632 = 564
  EXPECT_EQ(s->GetBounds().top, 564);
  EXPECT_EQ(s->X(), 810) << "the wrap never changes the position";

  auto sheet = [](int x, int y) { return static_cast<std::uint32_t>(1 + x + 20 * y); };
  TPictureCollectionItem* item = AddItem(20, 30, 0, 0, sheet);
  auto* t = MakeSprite<TImageSprite>(Engine());
  t->ImageItem = item;
  t->SetWidth(40);
  t->SetHeight(40);
  t->SetX(100);
  t->SetY(200);
  EXPECT_EQ(t->DrawRect(), (fw::TRect{110, 205, 150, 245}));
  s->ImageItem = item;  // 32 x 32 with a 20 x 30 pattern: at (6, 1) of -22, 564

  const std::vector<std::uint32_t> got = Frame();
  std::vector<std::uint32_t> want(800 * 600, 0);
  Stamp(want, 800, 600, sheet, 20, 30, 1, 0, -22 + 6, 564 + 1);
  Stamp(want, 800, 600, sheet, 20, 30, 1, 0, 110, 205);
  ASSERT_EQ(got, want);
  EXPECT_EQ(Engine()->DrawnCount(), 2);
}

TEST_F(SpriteSceneTest, AnimatedSpritesAndABackgroundMapDrawLikeAPlainDrawing) {
  Start(32, 320, 240);
  // Four 16 x 16 frames in a row; each frame's pixels say which frame and where.
  auto frames = [](int x, int y) {
    return (x % 16 + y) % 5 == 0 ? 0u : static_cast<std::uint32_t>(0x10000 * (x / 16 + 1) + 256 * y + x % 16);
  };
  TPictureCollectionItem* anim = AddItem(64, 16, 16, 16, frames);
  ASSERT_EQ(anim->PatternCount(), 4);
  // Cells of 32 x 32, three patterns side by side.
  auto tiles = [](int x, int y) { return static_cast<std::uint32_t>(0x800000 + 256 * y + x); };
  TPictureCollectionItem* cells = AddItem(96, 32, 32, 32, tiles);

  auto* bg = MakeSprite<TBackgroundSprite>(Engine());
  EXPECT_FALSE(bg->CollisionEnabled);
  bg->SetImageItem(cells);
  bg->ResizeMap(5, 3);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 5; ++c) EXPECT_TRUE(bg->SetTile(c, r, (c + r) % 4 - 1));  // -1: empty
  EXPECT_FALSE(bg->SetTile(5, 0, 1));
  EXPECT_FALSE(bg->SetHit(0, -1, false));
  bg->SetX(-100);  // column 3 lands at x = -4
  bg->SetY(30);
  bg->SetZ(-1);
  std::vector<TImageSprite*> sprites;
  for (int i = 0; i < 6; ++i) {
    auto* s = MakeSprite<TImageSprite>(Engine());
    s->ImageItem = anim;
    s->SetWidth(16);
    s->SetHeight(16);
    s->SetX(-8 + 60.7 * i);
    s->SetY(-5 + 45.2 * i);
    s->FrameCount = 4;
    s->FrameLoop = i % 2 == 0;
    s->FrameSpeed = 0.75;
    s->SetZ(i % 3);
    sprites.push_back(s);
  }
  for (int frame = 0; frame < 4; ++frame) {
    sprites_->Advance(1);
    sprites_->FreeDisposed();
    const std::vector<std::uint32_t> got = Frame();
    std::vector<std::uint32_t> want(320 * 240, 0);
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 5; ++c)
        if (bg->TileAt(c, r) >= 0) Stamp(want, 320, 240, tiles, 32, 32, 3, bg->TileAt(c, r), c * 32 - 100, r * 32 + 30);
    // Depth order: 0s, then 1s, then 2s; among equals the later-added beneath.
    for (int z = 0; z < 3; ++z)
      for (int i = 5; i >= 0; --i)
        if (i % 3 == z)
          Stamp(want, 320, 240, frames, 16, 16, 4, sprites[i]->CurrentPattern(), static_cast<int>(-8 + 60.7 * i),
                static_cast<int>(-5 + 45.2 * i));
    ASSERT_EQ(got, want) << "frame " << frame;
  }
  sprites_->Advance(2);
  EXPECT_EQ(sprites[1]->FrameSpeed, 0) << "a run that is not looped stops itself";
  EXPECT_EQ(sprites[1]->FramePos, 3);
  EXPECT_NE(sprites[0]->FrameSpeed, 0);

  // The map's overlap test: cells with their flag set, the map repeating either way.
  auto* probe = MakeSprite<TImageSprite>(Engine());
  probe->SetWidth(4);
  probe->SetHeight(4);
  probe->SetX(-100 + 32 * 2 + 10);  // inside cell (2, 0)
  probe->SetY(35);
  EXPECT_TRUE(bg->Overlaps(probe));
  bg->SetHit(2, 0, false);
  EXPECT_FALSE(bg->Overlaps(probe));
  probe->SetX(-100 + 32 * 2 + 30);  // straddles cells 2 and 3
  EXPECT_TRUE(bg->Overlaps(probe));
  probe->SetX(500);  // beyond the finite map: no overlap at all
  EXPECT_FALSE(bg->Overlaps(probe));
  bg->ResizeMap(0, 5);
  EXPECT_EQ(bg->MapColumns(), 0);
  EXPECT_EQ(bg->MapRows(), 0);
  EXPECT_TRUE(bg->TileMap().empty());
  EXPECT_EQ(bg->TileAt(0, 0), -1);
  EXPECT_FALSE(bg->HitAt(0, 0));
  EXPECT_TRUE(bg->Overlaps(probe));
}

// Counts the pattern draws by the pixels they leave: every cell of a wrapped one-cell map.
TEST_F(SpriteSceneTest, AWrappedOneCellMapCoversTheSurfaceWhateverItsOffset) {
  Start(16);
  auto tile = [](int x, int y) { return static_cast<std::uint32_t>(1 + (x * 7 + y * 13) % 60000); };
  TPictureCollectionItem* item = AddItem(256, 256, 0, 0, tile);
  auto* bg = MakeSprite<TBackgroundSprite>(Engine());
  bg->SetImageItem(item);
  bg->ResizeMap(1, 1);
  bg->SetWrap(true);
  EXPECT_EQ(bg->GetBounds(), (fw::TRect{0, 0, 800, 600}));
  for (const auto& [x, y] : std::vector<std::pair<double, double>>{{0, 0}, {-1000.5, 77}, {300, -3000}}) {
    bg->SetX(x);
    bg->SetY(y);
    const std::vector<std::uint32_t> got = Frame();
    const int ox = static_cast<int>(x), oy = static_cast<int>(y);
    for (int py = 0; py < 600; py += 7)
      for (int px = 0; px < 800; px += 5) {
        const int tx = ((px - ox) % 256 + 256) % 256, ty = ((py - oy) % 256 + 256) % 256;
        ASSERT_EQ(got[static_cast<std::size_t>(py) * 800 + px], tile(tx, ty)) << px << "," << py;
      }
  }
}

// Two sprites whose patterns overlap only where both are keyed, then where both are solid, at
// every depth; patterns on one sheet and on two.
TEST_F(SpriteSceneTest, PixelHitTestAtEveryDepth) {
  for (ddraw::DWORD bits : {8u, 16u, 24u, 32u}) {
    SCOPED_TRACE(bits);
    form_.reset();
    Start(bits, 200, 200);
    // Pattern 0: solid left half; pattern 1: solid right half. 32-bit: a top byte alone is keyed.
    const std::uint32_t top = bits == 32 ? 0xFF000000u : 0;
    auto halves = [top](int x, int) {
      const bool solid = (x < 16) ? x < 8 : x >= 24;
      return solid ? 5u : top;
    };
    TPictureCollectionItem* sheet = AddItem(32, 16, 16, 16, halves);
    TPictureCollectionItem* other = AddItem(16, 16, 0, 0, [](int x, int) { return x < 8 ? 3u : 0u; });
    auto make = [&](TPictureCollectionItem* item, int pattern, double x) {
      auto* s = MakeSprite<TImageSprite>(Engine());
      s->ImageItem = item;
      s->FrameStart = pattern;
      s->SetWidth(16);
      s->SetHeight(16);
      s->SetX(x);
      s->SetY(10);
      s->ExactHit = true;
      return s;
    };
    TImageSprite* right = make(sheet, 1, 0);   // solid 8..15
    TImageSprite* left = make(sheet, 0, 12);   // solid 12..19: overlap 12..15 solid in both
    EXPECT_TRUE(right->Overlaps(left));
    left->SetX(16);  // solid 16..23; the rectangles do not meet
    EXPECT_FALSE(right->Overlaps(left));
    TImageSprite* right2 = make(sheet, 1, 12);  // solid 20..27; overlap with `left` at 20..23
    EXPECT_TRUE(left->Overlaps(right2));
    right2->SetX(20);  // solid 28..35, left solid 16..23; overlap 20..31 keyed on one side each
    EXPECT_FALSE(left->Overlaps(right2));
    EXPECT_FALSE(right2->Overlaps(left));
    // Two surfaces: `other` solid at 0..7 of its own.
    TImageSprite* o = make(other, 0, 16);
    EXPECT_TRUE(left->Overlaps(o));   // both solid at 16..23
    o->SetX(10);                      // solid 10..17: overlap 16..17 with left's solid
    EXPECT_TRUE(o->Overlaps(left));
    o->SetX(4);                       // solid 4..11, left from 16: rectangles 16..19 meet, keyed on o's side
    EXPECT_FALSE(o->Overlaps(left));
    // Only the asking sprite's ExactHit counts.
    o->ExactHit = false;
    EXPECT_TRUE(o->Overlaps(left));
    EXPECT_FALSE(left->Overlaps(o));

    // A lock that cannot be had: no collision, and nothing stays locked.
    o->SetX(16);
    ddraw::DDSURFACEDESC d;
    ASSERT_TRUE(other->Surfaces(0)->Lock(nullptr, d));
    EXPECT_FALSE(left->Overlaps(o));
    EXPECT_EQ(sheet->Surfaces(0)->LockCount(), 0);
    other->Surfaces(0)->Unlock();
    EXPECT_TRUE(left->Overlaps(o));
    EXPECT_EQ(sheet->Surfaces(0)->LockCount(), 0);
    EXPECT_EQ(other->Surfaces(0)->LockCount(), 0);

    // A pattern index out of range has an empty rectangle, which meets nothing.
    o->FrameStart = 9;
    o->SetX(30);  // the sprite's own rectangle still meets left's
    EXPECT_FALSE(left->Overlaps(o));
    // Surfaces of different depths: rectangles decide.
    o->FrameStart = 0;
    ddraw::DDSURFACEDESC desc;
    desc.dwSize = sizeof(desc);
    desc.dwFlags = ddraw::DDSD_CAPS | ddraw::DDSD_WIDTH | ddraw::DDSD_HEIGHT | ddraw::DDSD_PIXELFORMAT;
    desc.dwWidth = 16;
    desc.dwHeight = 16;
    desc.ddsCaps.dwCaps = ddraw::DDSCAPS_OFFSCREENPLAIN | ddraw::DDSCAPS_SYSTEMMEMORY;
    desc.ddpfPixelFormat.dwSize = sizeof(desc.ddpfPixelFormat);
    desc.ddpfPixelFormat.dwFlags = ddraw::DDPF_RGB | (bits == 8 ? 0 : ddraw::DDPF_PALETTEINDEXED8);
    desc.ddpfPixelFormat.dwRGBBitCount = bits == 8 ? 16 : 8;
    if (bits == 8) {
      desc.ddpfPixelFormat.dwRBitMask = 0xF800;
      desc.ddpfPixelFormat.dwGBitMask = 0x07E0;
      desc.ddpfPixelFormat.dwBBitMask = 0x001F;
    }
    ASSERT_TRUE(other->Surfaces(0)->CreateSurface(desc));
    ASSERT_NE(other->Surfaces(0)->BitCount(), static_cast<int>(bits));
    Fill(other->Surfaces(0), [](int, int) { return 0u; });  // all keyed
    o->SetX(16);
    EXPECT_TRUE(left->Overlaps(o));
  }
}

// Sparse solid pixels on sheets wider than one and two words of the hit test's masks, sprites
// laid over each other at every kind of offset: a hit exactly where some pixel is solid in both,
// at every depth, on one surface and on two.
TEST_F(SpriteSceneTest, PixelHitsAreThoseOfEveryPixelWhateverTheWidthAndOffset) {
  for (ddraw::DWORD bits : {8u, 16u, 24u, 32u}) {
    SCOPED_TRACE(bits);
    form_.reset();
    Start(bits, 400, 200);
    // 32 bits: a pixel whose colour bytes are the key is keyed whatever its top byte.
    const std::uint32_t keyed = bits == 32 ? 0xFF000000u : 0;
    auto sparse = [keyed](unsigned salt) {
      return [keyed, salt](int x, int y) {
        const unsigned h = (static_cast<unsigned>(x) * 73856093u) ^ (static_cast<unsigned>(y) * 19349663u) ^ salt;
        return (h * 2654435761u) % 61 == 0 ? 1u + (h & 3) : keyed;
      };
    };
    const auto sheetPixels = sparse(0x51u);
    const auto widePixels = sparse(0x2Au);
    // Two 70 x 20 patterns side by side, and one of 150 x 24.
    TPictureCollectionItem* sheet = AddItem(140, 20, 70, 20, sheetPixels);
    TPictureCollectionItem* wide = AddItem(150, 24, 0, 0, widePixels);
    struct Look {
      TPictureCollectionItem* item;
      int pattern, w, h, sx;  // sx: the pattern's left on its sheet
      std::function<std::uint32_t(int, int)> pixel;
    };
    const Look looks[] = {{sheet, 0, 70, 20, 0, sheetPixels}, {sheet, 1, 70, 20, 70, sheetPixels},
                          {wide, 0, 150, 24, 0, widePixels}};
    auto make = [&](const Look& l) {
      auto* s = MakeSprite<TImageSprite>(Engine());
      s->ImageItem = l.item;
      s->FrameStart = l.pattern;
      s->SetWidth(l.w);
      s->SetHeight(l.h);
      s->ExactHit = true;
      return s;
    };
    std::mt19937 rng(bits);
    int hits = 0, misses = 0;
    for (int trial = 0; trial < 400; ++trial) {
      const Look& la = looks[trial % 3];
      const Look& lb = looks[(trial / 3) % 3];
      TImageSprite* a = make(la);
      TImageSprite* b = make(lb);
      const int ax = std::uniform_int_distribution<int>(0, 100)(rng), ay = std::uniform_int_distribution<int>(0, 20)(rng);
      const int bx = ax + std::uniform_int_distribution<int>(-lb.w + 1, la.w - 1)(rng);
      const int by = ay + std::uniform_int_distribution<int>(-lb.h + 1, la.h - 1)(rng);
      a->SetX(ax);
      a->SetY(ay);
      b->SetX(bx);
      b->SetY(by);
      bool expected = false;
      for (int y = std::max(ay, by); y < std::min(ay + la.h, by + lb.h) && !expected; ++y)
        for (int x = std::max(ax, bx); x < std::min(ax + la.w, bx + lb.w) && !expected; ++x)
          expected = (la.pixel(x - ax + la.sx, y - ay) & 0xFFFFFFu) != 0 && (lb.pixel(x - bx + lb.sx, y - by) & 0xFFFFFFu) != 0;
      ASSERT_EQ(a->Overlaps(b), expected) << "trial " << trial;
      ASSERT_EQ(b->Overlaps(a), expected) << "trial " << trial;
      ++(expected ? hits : misses);
      a->Free();
      b->Free();
    }
    EXPECT_GT(hits, 40);
    EXPECT_GT(misses, 40);
  }
}

// What a hit test knows of a surface's pixels follows every way they or the key can change:
// a lock, a blit onto the surface, its canvas, a write through a duplicate, a new key.
TEST_F(SpriteSceneTest, PixelHitsFollowEveryChangeOfTheirSurfaces) {
  Start(16, 200, 200);
  TPictureCollectionItem* solid = AddItem(16, 16, 0, 0, [](int, int) { return 9u; });
  TPictureCollectionItem* spot = AddItem(16, 16, 0, 0, [](int x, int y) { return x == 3 && y == 3 ? 5u : 0u; });
  auto make = [&](TPictureCollectionItem* item, double x) {
    auto* s = MakeSprite<TImageSprite>(Engine());
    s->ImageItem = item;
    s->SetWidth(16);
    s->SetHeight(16);
    s->SetX(x);
    s->ExactHit = true;
    return s;
  };
  TImageSprite* a = make(solid, 0);
  TImageSprite* b = make(spot, 0);
  TDirectDrawSurface* s = spot->Surfaces(0);
  EXPECT_TRUE(a->Overlaps(b));
  EXPECT_EQ(a->Collision(), 1);

  // A lock: the spot moves to (12, 12). Laid at x = 8 it lies at 20, right of the solid sheet
  // (at 3 it would have been within).
  Fill(s, [](int x, int y) { return x == 12 && y == 12 ? 5u : 0u; });
  b->SetX(8);
  EXPECT_FALSE(a->Overlaps(b));
  b->SetX(0);
  EXPECT_TRUE(a->Overlaps(b));
  a->SetX(13);  // from 13 on: misses (12, 12)
  EXPECT_FALSE(a->Overlaps(b));
  EXPECT_EQ(a->Collision(), 0);

  // A blit of the solid sheet onto the spot's: every pixel solid.
  s->Draw(0, 0, fw::TRect{0, 0, 16, 16}, solid->Surfaces(0), false);
  EXPECT_TRUE(a->Overlaps(b));
  EXPECT_EQ(a->Collision(), 1);

  // A fill through the canvas's device context: all keyed again; while the canvas has its
  // context out, the surface is not read.
  s->Fill(0);
  EXPECT_FALSE(a->Overlaps(b));
  s->Canvas()->Brush()->SetColor(fw::clWhite);
  s->Canvas()->FillRect(fw::TRect{14, 0, 16, 16});
  EXPECT_FALSE(a->Overlaps(b));
  s->Canvas()->Release();
  EXPECT_TRUE(a->Overlaps(b));

  // Through a duplicate of the surface, which shares its memory.
  ddraw::IDirectDrawSurface* dup = nullptr;
  ASSERT_EQ(draw_->DDraw()->IDraw()->DuplicateSurface(s->IDDSurface(), &dup), ddraw::DD_OK);
  ddraw::DDBLTFX fx;
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = 0;
  ASSERT_EQ(dup->Blt(nullptr, nullptr, nullptr, ddraw::DDBLT_COLORFILL, &fx), ddraw::DD_OK);
  EXPECT_FALSE(a->Overlaps(b));
  fx.dwFillColor = 7;
  ASSERT_EQ(dup->Blt(nullptr, nullptr, nullptr, ddraw::DDBLT_COLORFILL, &fx), ddraw::DD_OK);
  EXPECT_TRUE(a->Overlaps(b));
  dup->Release();

  // A new key: 7 is the key now, so every pixel is keyed; then 0 again.
  s->SetTransparentColor(7);
  EXPECT_FALSE(a->Overlaps(b));
  EXPECT_EQ(a->Collision(), 0);
  s->SetTransparentColor(0);
  EXPECT_TRUE(a->Overlaps(b));
  EXPECT_EQ(a->Collision(), 1);
}

// An image sprite that logs its hits and, now and then, marks the sprite it hit dead or pushes it.
class Hitter : public TImageSprite {
 public:
  using TImageSprite::TImageSprite;
  void Collided(TSprite* other, bool& done) override {
    if (OnHit) OnHit(this, other, done);
  }
  std::function<void(Hitter*, TSprite*, bool&)> OnHit;
};

// Pixel-exact, wrapped and plain image sprites of several patterns on two sheets, moving between
// passes (all of them, then a few): the pass sees the same hits in the same order as testing
// every pair.
TEST_F(SpriteSceneTest, ExactHitsThroughThePassMatchTestingEveryPair) {
  for (ddraw::DWORD bits : {16u, 32u}) {
    SCOPED_TRACE(bits);
    form_.reset();
    Start(bits, 240, 200);
    // Rings and discs of different sizes, key 0 outside.
    auto shapes = [](int x, int y) -> std::uint32_t {
      const int p = x / 20, cx = x % 20 - 10, cy = y - 10, d = cx * cx + cy * cy;
      const bool solid = p == 0 ? d < 81 : p == 1 ? (d < 81 && d > 25) : p == 2 ? d < 16 : (cx + cy) % 3 == 0;
      return solid ? 0x1234u + static_cast<std::uint32_t>(x) : 0u;
    };
    TPictureCollectionItem* sheet = AddItem(80, 20, 20, 20, shapes);
    TPictureCollectionItem* single = AddItem(12, 12, 0, 0, [](int x, int y) { return (x + y) % 2 ? 7u : 0u; });
    struct Spec {
      double x, y;
      int pattern, w, h;
      bool single, exact, wrap;
    };
    std::mt19937 rng(bits);
    std::vector<Spec> specs;
    for (int i = 0; i < 300; ++i) {
      const int roll = std::uniform_int_distribution<int>(0, 99)(rng);
      specs.push_back(Spec{std::uniform_real_distribution<double>(-20, 250)(rng),
                           std::uniform_real_distribution<double>(-20, 210)(rng), roll % 4, 14 + roll % 9,
                           14 + roll % 7, roll < 15, roll % 3 != 0, roll > 90});
    }
    std::vector<std::string> logs[2];
    std::vector<std::int32_t> counts[2];
    for (int run = 0; run < 2; ++run) {
      std::vector<Hitter*> sprites;
      std::map<TSprite*, int> index;
      for (const Spec& sp : specs) {
        auto* h = MakeSprite<Hitter>(Engine());
        h->ImageItem = sp.single ? single : sheet;
        h->FrameStart = sp.single ? 0 : sp.pattern;
        h->SetWidth(sp.w);
        h->SetHeight(sp.h);
        h->SetX(sp.x);
        h->SetY(sp.y);
        h->ExactHit = sp.exact;
        h->SetWrap(sp.wrap);
        index[h] = static_cast<int>(sprites.size());
        sprites.push_back(h);
      }
      std::mt19937 fate(7);
      for (Hitter* h : sprites)
        h->OnHit = [&, run](Hitter* self, TSprite* other, bool&) {
          logs[run].push_back(std::to_string(index[self]) + ">" + std::to_string(index[other]));
          const int r = std::uniform_int_distribution<int>(0, 99)(fate);
          if (r < 5) other->Dead();
          if (r >= 5 && r < 10) other->SetY(other->Y() + 3);
        };
      std::mt19937 moves(11);
      for (int pass = 0; pass < 3; ++pass) {
        std::vector<TSprite*> order;
        spritecheck::Walk(Engine(), order);
        for (Hitter* h : sprites)
          counts[run].push_back(run == 0 ? h->Collision() : spritecheck::BruteCollision(h, order));
        for (std::size_t i = 0; i < sprites.size(); i += pass == 0 ? 1 : 37)
          sprites[i]->SetX(sprites[i]->X() + std::uniform_int_distribution<int>(-6, 6)(moves));
      }
      Engine()->FreeDisposed();
      Engine()->FreeChildren();
    }
    ASSERT_EQ(counts[0], counts[1]);
    ASSERT_EQ(logs[0], logs[1]);
    EXPECT_GT(logs[0].size(), 300u);
  }
}

TEST_F(SpriteSceneTest, TheComponentFollowsTheDisplay) {
  Start(16, 320, 200);
  auto* s = MakeSprite<TImageSprite>(Engine());
  s->SetWidth(10);
  s->SetHeight(10);
  sprites_->Paint();
  EXPECT_EQ(Engine()->DrawnCount(), 1);
  draw_->Finalize();
  EXPECT_EQ(Engine()->Surface(), nullptr);
  EXPECT_EQ(Engine()->ViewRect(), (fw::TRect{0, 0, 320, 200}));
  sprites_->Paint();  // nothing while the display is down
  EXPECT_EQ(Engine()->DrawnCount(), 1);
  sprites_->Advance(1);
  draw_->Initialize();
  EXPECT_EQ(Engine()->Surface(), draw_->Surface());

  // Linking to a running display picks its surface up at once; unlinking keeps the view.
  sprites_->SetDXDraw(nullptr);
  EXPECT_EQ(Engine()->Surface(), nullptr);
  sprites_->SetDXDraw(draw_);
  EXPECT_EQ(Engine()->Surface(), draw_->Surface());
  // The display going away unlinks the engine.
  draw_->Free();
  EXPECT_EQ(sprites_->DXDraw(), nullptr);
  EXPECT_EQ(Engine()->Surface(), nullptr);
}

}  // namespace
