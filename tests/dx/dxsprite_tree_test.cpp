// The sprite tree and its engine: depth order, moving, drawing with the view test, counting,
// disposal, and the collision pass checked against testing every pair.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dx/DXConsts.h"
#include "dx/DXDraws.h"
#include "dx/DXSprite.h"
#include "platform/ddraw/DDraw.h"
#include "tests/dx/SpriteCollisionCheck.h"

namespace {

using namespace dx;

// Records what the engine asks of it.
class Probe : public TSprite {
 public:
  Probe(TSprite* parent, std::string name, std::vector<std::string>* log) : TSprite(parent), name_(std::move(name)), log_(log) {}
  void Step(std::int32_t MoveCount) override {
    if (log_) log_->push_back("step " + name_ + " " + std::to_string(MoveCount));
  }
  void Render() override {
    if (log_) log_->push_back("render " + name_);
  }
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
  std::vector<std::string>* log_;
};

std::vector<std::string> DrawNames(const TSprite& s) {
  std::vector<std::string> out;
  if (s.DrawOrder())
    for (TSprite* c : *s.DrawOrder()) out.push_back(static_cast<Probe*>(c)->Name());
  return out;
}

using Names = std::vector<std::string>;

class SpriteTreeTest : public ::testing::Test {
 protected:
  Probe* Make(TSprite* parent, const std::string& name, std::int32_t z = 0) {
    auto* p = MakeSprite<Probe>(parent, name, &log_);
    p->SetZ(z);
    return p;
  }
  void SetUp() override {
    ddraw::ResetAdapters();
    dd_ = std::make_unique<TDirectDraw>(nullptr);
    dd_->IDraw()->SetCooperativeLevel(nullptr, ddraw::DDSCL_NORMAL);
    surface_ = std::make_unique<TDirectDrawSurface>(dd_.get());
    surface_->SetSize(800, 600);
  }
  void TearDown() override {
    engine_.FreeChildren();
    surface_.reset();
    dd_.reset();
    ddraw::ResetAdapters();
  }

  std::unique_ptr<TDirectDraw> dd_;
  std::unique_ptr<TDirectDrawSurface> surface_;
  TSpriteEngine engine_;
  std::vector<std::string> log_;
};

TEST_F(SpriteTreeTest, EqualDepthsDrawTheLaterAddedFirstAndSetZKeepsThatRule) {
  Make(&engine_, "a", 1);
  Make(&engine_, "b", 1);
  Probe* c = Make(&engine_, "c", 0);
  Make(&engine_, "d", 2);
  EXPECT_EQ(DrawNames(engine_), (Names{"c", "b", "a", "d"}));

  c->SetZ(1);  // moved to a depth others have: beneath them
  EXPECT_EQ(DrawNames(engine_), (Names{"c", "b", "a", "d"}));
  Probe* a = static_cast<Probe*>(engine_.Child(0));
  a->SetZ(1);  // unchanged: stays where it is
  EXPECT_EQ(DrawNames(engine_), (Names{"c", "b", "a", "d"}));
  a->SetZ(2);
  EXPECT_EQ(DrawNames(engine_), (Names{"c", "b", "a", "d"}));
  a->SetZ(3);
  a->SetZ(2);
  EXPECT_EQ(DrawNames(engine_), (Names{"c", "b", "a", "d"}));
  a->SetZ(-5);
  EXPECT_EQ(DrawNames(engine_), (Names{"a", "c", "b", "d"}));
  // Children keep the order of addition whatever their depth.
  std::vector<std::string> added;
  for (int i = 0; i < engine_.ChildCount(); ++i) added.push_back(static_cast<Probe*>(engine_.Child(i))->Name());
  EXPECT_EQ(added, (Names{"a", "b", "c", "d"}));

  // Extreme depths keep their order.
  Make(&engine_, "max", INT32_MAX);
  Make(&engine_, "min", INT32_MIN);
  EXPECT_EQ(DrawNames(engine_).front(), "min");
  EXPECT_EQ(DrawNames(engine_).back(), "max");
}

TEST_F(SpriteTreeTest, AdvanceGoesInOrderOfAdditionParentsFirstAndStopsAtFrozenSubtrees) {
  Probe* a = Make(&engine_, "a", 5);
  Make(a, "a1");
  Probe* b = Make(&engine_, "b", -5);
  Probe* b1 = Make(b, "b1");
  Make(b1, "b11");
  engine_.Advance(7);
  EXPECT_EQ(log_, (Names{"step a 7", "step a1 7", "step b 7", "step b1 7", "step b11 7"}));

  log_.clear();
  b->MoveEnabled = false;
  b1->MoveEnabled = true;
  engine_.Advance(3);
  EXPECT_EQ(log_, (Names{"step a 3", "step a1 3"}));
}

TEST_F(SpriteTreeTest, ChildIndexErrorsAndListsThatGoWithTheLastChild) {
  Probe* p = Make(&engine_, "p");
  EXPECT_EQ(p->Children(), nullptr);
  EXPECT_EQ(p->DrawOrder(), nullptr);
  try {
    p->Child(0);
    FAIL();
  } catch (const ESpriteError& e) {
    EXPECT_STREQ(e.what(), "Index of the list exceeds the range. (0)");
  }
  Probe* c1 = Make(p, "c1");
  Probe* c2 = Make(p, "c2");
  ASSERT_NE(p->Children(), nullptr);
  try {
    p->Child(2);
    FAIL();
  } catch (const fw::EListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (2)");
  }
  EXPECT_THROW(p->Child(-1), fw::EListError);
  c1->Free();
  EXPECT_EQ(p->ChildCount(), 1);
  EXPECT_EQ(p->Child(0), c2);
  c2->Free();
  EXPECT_EQ(p->ChildCount(), 0);
  EXPECT_EQ(p->Children(), nullptr);
  EXPECT_EQ(p->DrawOrder(), nullptr);
  EXPECT_THROW(p->Child(0), ESpriteError);
}

TEST_F(SpriteTreeTest, SpriteCountFollowsADeepTreeAndDisposalFreesWholeSubtreesOnce) {
  Probe* root = Make(&engine_, "root");
  TSprite* s = root;
  for (int i = 0; i < 50; ++i) s = Make(s, "n" + std::to_string(i));
  Probe* other = Make(&engine_, "other");
  EXPECT_EQ(engine_.SpriteCount(), 52);
  EXPECT_EQ(s->Engine(), &engine_);
  EXPECT_EQ(engine_.Engine(), nullptr);

  s->Dead();
  s->Dead();  // once only
  root->Dead();
  engine_.Dead();  // the engine is never disposed
  EXPECT_EQ(engine_.DisposeList().size(), 2u);
  // Marking does not free: the tree is still whole until FreeDisposed.
  EXPECT_EQ(engine_.SpriteCount(), 52);
  engine_.FreeDisposed();
  EXPECT_TRUE(engine_.DisposeList().empty());
  EXPECT_EQ(engine_.SpriteCount(), 1);
  EXPECT_EQ(engine_.Child(0), other);

  // Freeing a sprite that is marked takes it off the list.
  other->Dead();
  other->Free();
  EXPECT_TRUE(engine_.DisposeList().empty());
  EXPECT_EQ(engine_.SpriteCount(), 0);
}

TEST_F(SpriteTreeTest, ATreeWithoutAnEngineCountsNothingAndFreesItself) {
  auto top = std::make_unique<TSprite>(nullptr);
  auto* child = MakeSprite<Probe>(top.get(), "c", nullptr);
  EXPECT_EQ(child->Engine(), nullptr);
  child->Dead();  // nowhere to put it
  EXPECT_FALSE(child->Deaded());
  EXPECT_EQ(child->Collision(), 0);
  top->Paint();
  top->Advance(1);
}

TEST_F(SpriteTreeTest, PaintDrawsWhatMeetsTheViewStrictlyAndWalksChildrenOfWhatItSkips) {
  engine_.AttachSurface(surface_.get());
  EXPECT_EQ(engine_.ViewRect(), (fw::TRect{0, 0, 800, 600}));
  EXPECT_EQ(engine_.Width(), 800);
  EXPECT_EQ(engine_.Height(), 600);
  auto place = [](TSprite* s, double x, double y, int w, int h) {
    s->SetX(x);
    s->SetY(y);
    s->SetWidth(w);
    s->SetHeight(h);
  };
  Probe* touching = Make(&engine_, "touching", 1);
  place(touching, 800, 0, 10, 10);  // only touches the right edge
  Probe* inner = Make(touching, "inner");
  place(inner, -15, 5, 10, 10);  // absolute 785: inside
  Probe* outside = Make(&engine_, "outside", 2);
  place(outside, -50, -50, 50, 50);  // touches the top-left corner
  Probe* corner = Make(&engine_, "corner", 0);
  place(corner, -0.5, -0.9, 1, 1);  // truncates towards zero: (0, 0, 1, 1), drawn
  EXPECT_EQ(corner->GetBounds(), (fw::TRect{0, 0, 1, 1}));
  Probe* hidden = Make(&engine_, "hidden", 3);
  place(hidden, 10, 10, 10, 10);
  Make(hidden, "hiddenchild")->SetWidth(5);
  hidden->Visible = false;

  log_.clear();
  engine_.Paint();
  EXPECT_EQ(log_, (Names{"render corner", "render inner"}));
  EXPECT_EQ(engine_.DrawnCount(), 2);

  // The engine's own position shifts the whole scene.
  engine_.SetX(-10);
  log_.clear();
  engine_.Paint();
  EXPECT_EQ(log_, (Names{"render touching", "render inner"}));

  // Without a surface the view stays as it was.
  engine_.AttachSurface(nullptr);
  EXPECT_EQ(engine_.Surface(), nullptr);
  EXPECT_EQ(engine_.ViewRect(), (fw::TRect{0, 0, 800, 600}));
  EXPECT_EQ(engine_.Width(), 800);
}

// Bounds chosen per sprite, for the collision pass.
class Box : public TSprite {
 public:
  explicit Box(TSprite* parent) : TSprite(parent) {}
  void Collided(TSprite* other, bool& done) override {
    if (OnHit) OnHit(this, other, done);
  }
  bool Overlaps(TSprite* other) override { return !Solid || static_cast<Box*>(other)->Solid; }
  std::function<void(Box*, TSprite*, bool&)> OnHit;
  bool Solid = true;
};

using spritecheck::BruteCollision;
using spritecheck::Walk;

// Two identical random scenes, one asked through the pass and one pair by pair; both must see
// the same hits in the same order and mark the same sprites dead. Hits push the sprite hit aside
// now and then, so the pass also sees sprites move between its tests; between passes many
// sprites move, then a few, then none.
TEST(SpriteCollisionTest, ThePassMatchesTestingEveryPairOverRandomScenes) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    std::mt19937 rng(seed);
    const int n = seed < 5 ? 400 : 2000;
    struct Spec {
      double x, y;
      int w, h, z, parent;
      bool enabled, solid;
    };
    std::vector<Spec> specs;
    std::uniform_real_distribution<double> pos(-100, 1100);
    std::uniform_int_distribution<int> size(0, 40), pick(0, 99), z(-3, 3);
    for (int i = 0; i < n; ++i) {
      const int roll = pick(rng);
      Spec sp{pos(rng), pos(rng), roll < 2 ? 600 : size(rng), size(rng), z(rng),
              (i > 0 && roll < 20) ? std::uniform_int_distribution<int>(0, i - 1)(rng) : -1, roll % 7 != 0,
              roll % 5 != 0};
      if (sp.parent >= 0) sp.x = sp.x / 10, sp.y = sp.y / 10;
      specs.push_back(sp);
    }
    std::vector<std::string> logs[2];
    std::vector<std::int32_t> counts[2];
    for (int run = 0; run < 2; ++run) {
      TSpriteEngine engine;
      std::vector<Box*> boxes;
      for (const Spec& sp : specs) {
        Box* b = MakeSprite<Box>(sp.parent >= 0 ? static_cast<TSprite*>(boxes[sp.parent]) : &engine);
        b->SetX(sp.x);
        b->SetY(sp.y);
        b->SetWidth(sp.w);
        b->SetHeight(sp.h);
        b->SetZ(sp.z);
        b->CollisionEnabled = sp.enabled;
        b->Solid = sp.solid;
        boxes.push_back(b);
      }
      std::mt19937 deaths(seed * 77);
      std::map<TSprite*, int> index;
      for (int i = 0; i < n; ++i) index[boxes[i]] = i;
      for (Box* b : boxes)
        b->OnHit = [&, run](Box* self, TSprite* other, bool& done) {
          logs[run].push_back(std::to_string(index[self]) + ">" + std::to_string(index[other]));
          const int r = std::uniform_int_distribution<int>(0, 99)(deaths);
          if (r < 8) static_cast<Box*>(other)->Dead();
          if (r == 8) self->Dead();
          if (r == 9) done = true;
          // Only sprites without children: a child dragged into reach during the test would be
          // one the pass did not choose (it chooses its candidates when it begins).
          if (r >= 10 && r < 14 && other->ChildCount() == 0) other->SetX(other->X() + (r - 12) * 23);
        };
      std::vector<TSprite*> order;
      // Four passes, with moves between them, so the index is built once and then kept up.
      for (int pass = 0; pass < 4; ++pass) {
        order.clear();
        Walk(&engine, order);
        for (Box* b : boxes)
          counts[run].push_back(run == 0 ? b->Collision() : BruteCollision(b, order));
        if (pass == 0)
          for (int i = 0; i < n; i += 3) boxes[i]->SetX(boxes[i]->X() + 17);
        if (pass == 1)
          for (int i = 0; i < n; i += 97) boxes[i]->SetY(boxes[i]->Y() + 9);
        boxes[0]->SetY(boxes[0]->Y() - 5);  // drags its children along
      }
      EXPECT_GT(engine.DisposeList().size(), 0u);
      engine.FreeDisposed();
    }
    ASSERT_EQ(counts[0], counts[1]) << "seed " << seed;
    ASSERT_EQ(logs[0], logs[1]) << "seed " << seed;
    EXPECT_GT(logs[0].size(), 100u);
  }
}

TEST(SpriteCollisionTest, FreedAndNewSpritesAndChangedDepthsAreSeenByTheNextPass) {
  TSpriteEngine engine;
  auto box = [&](double x, int z) {
    Box* b = MakeSprite<Box>(&engine);
    b->SetX(x);
    b->SetWidth(10);
    b->SetHeight(10);
    b->SetZ(z);
    return b;
  };
  Box* a = box(0, 0);
  Box* b = box(5, 1);
  Box* c = box(8, 2);
  std::vector<TSprite*> seen;
  a->OnHit = [&](Box*, TSprite* o, bool&) { seen.push_back(o); };
  EXPECT_EQ(a->Collision(), 2);
  EXPECT_EQ(seen, (std::vector<TSprite*>{b, c}));
  c->SetZ(-1);  // now drawn first
  seen.clear();
  a->Collision();
  EXPECT_EQ(seen, (std::vector<TSprite*>{c, b}));
  b->Free();
  Box* d = box(100, 0);
  seen.clear();
  EXPECT_EQ(a->Collision(), 1);
  d->SetX(3);
  seen.clear();
  EXPECT_EQ(a->Collision(), 2);
  EXPECT_EQ(seen, (std::vector<TSprite*>{c, d}));
  // Switched off, or marked dead: no longer hit.
  d->CollisionEnabled = false;
  c->Dead();
  EXPECT_EQ(a->Collision(), 0);
  engine.FreeDisposed();
  EXPECT_EQ(engine.SpriteCount(), 2);
}

}  // namespace

// A sprite's absolute position is its own plus its parent's absolute position, up to the root,
// in extended precision: offsets above it that cancel each other cancel before its own is added.
TEST(SpritePositions, AbsolutePositionsAreSummedFromTheRootDown) {
  TSpriteEngine engine;
  engine.SetX(-1e-16);
  engine.SetY(-1e-16);
  auto* parent = MakeSprite<TSprite>(&engine);
  parent->SetX(1e-16);
  parent->SetY(1e-16);
  auto* s = MakeSprite<TSprite>(parent);
  s->SetX(1);
  s->SetY(1);
  s->SetWidth(10);
  EXPECT_EQ(s->AbsX(), 1.0L);
  EXPECT_EQ(s->AbsY(), 1.0L);
  EXPECT_EQ(s->GetBounds(), (fw::TRect{1, 1, 11, 1}));
  EXPECT_EQ(parent->AbsX(), 0.0L);
  EXPECT_EQ(engine.AbsX(), static_cast<long double>(-1e-16));

  // A chain deeper than the ancestors gathered at once, against the definition taken literally.
  std::function<long double(const TSprite*)> byDefinition = [&](const TSprite* t) -> long double {
    return t->Parent() ? static_cast<long double>(t->X()) + byDefinition(t->Parent()) : t->X();
  };
  std::mt19937_64 rng(11);
  std::uniform_int_distribution<int> pick(0, 3);
  const double values[] = {1e-16, -1e-16, 1.0, 3e15};
  TSprite* t = &engine;
  for (int depth = 1; depth <= 100; ++depth) {
    t = MakeSprite<TSprite>(t);
    t->SetX(values[pick(rng)]);
    ASSERT_EQ(t->AbsX(), byDefinition(t)) << "depth " << depth;
  }
  engine.FreeChildren();
}

// Positions truncate towards zero exactly as the extended value does, including values a hair
// below a whole number that round up to it as doubles, and are held at a billion pixels.
TEST(SpritePositions, TruncateTowardsZeroExactlyAndHoldAtABillion) {
  EXPECT_EQ(TruncPos(0.0L), 0);
  EXPECT_EQ(TruncPos(-0.5L), 0);
  EXPECT_EQ(TruncPos(-0.9L), 0);
  EXPECT_EQ(TruncPos(2.5L), 2);
  EXPECT_EQ(TruncPos(-2.5L), -2);
  EXPECT_EQ(TruncPos(3.0L), 3);
  EXPECT_EQ(TruncPos(-3.0L), -3);
  EXPECT_EQ(TruncPos(std::nextafter(3.0L, 0.0L)), 2);
  EXPECT_EQ(TruncPos(std::nextafter(-3.0L, 0.0L)), -2);
  EXPECT_EQ(TruncPos(std::nextafter(3.0L, 4.0L)), 3);
  EXPECT_EQ(TruncPos(std::nextafter(1.0L, 0.0L)), 0);
  EXPECT_EQ(TruncPos(std::nextafter(-1.0L, 0.0L)), 0);
  EXPECT_EQ(TruncPos(std::nextafter(1e9L, 0.0L)), 999'999'999);
  EXPECT_EQ(TruncPos(999'999'999.75L), 999'999'999);
  EXPECT_EQ(TruncPos(-999'999'999.75L), -999'999'999);
  EXPECT_EQ(TruncPos(1e9L), 1'000'000'000);
  EXPECT_EQ(TruncPos(1e30L), 1'000'000'000);
  EXPECT_EQ(TruncPos(-1e30L), -1'000'000'000);
  EXPECT_EQ(TruncPos(std::numeric_limits<long double>::infinity()), 1'000'000'000);
  EXPECT_EQ(TruncPos(-std::numeric_limits<long double>::infinity()), -1'000'000'000);
  EXPECT_EQ(TruncPos(std::numeric_limits<long double>::quiet_NaN()), 0);
  // Against the plain extended truncation over a spread of values.
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<long double> any(-5e8L, 5e8L);
  for (int i = 0; i < 100000; ++i) {
    const long double v = i % 2 ? any(rng) : std::nextafter(std::round(any(rng)), 0.0L);
    ASSERT_EQ(TruncPos(v), static_cast<std::int32_t>(std::trunc(v))) << static_cast<double>(v);
  }
}
