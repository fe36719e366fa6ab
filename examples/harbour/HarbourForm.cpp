#include "examples/harbour/HarbourForm.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>

#include "dx/DIB.h"
#include "examples/harbour/HarbourArt.h"
#include "framework/ClassBuilder.h"

namespace harbour {

namespace {

constexpr std::uint16_t kEscape = 27;
constexpr int kMapColumns = 30;
constexpr int kMapRows = 15;
constexpr int kBuoys = 6;
constexpr int kGulls = 3;

// The display, the frame timer and the components that hang off the display. The image list
// and the wave list are linked in code, once their pictures and waves are in place.
constexpr const char* kFormText = R"(object HarbourForm: THarbourForm
  Left = 120
  Top = 90
  BorderIcons = [biSystemMenu, biMinimize]
  BorderStyle = bsSingle
  Caption = 'Harbour'
  ClientHeight = 480
  ClientWidth = 640
  KeyPreview = True
  OnKeyDown = FormKeyDown
  object DXDraw: TDXDraw
    Left = 0
    Top = 0
    Width = 640
    Height = 480
    Align = alClient
    AutoInitialize = True
    AutoSize = True
    Color = clBlack
    Options = [doAllowReboot, doCenter]
    OnInitialize = DXDrawInitialize
    OnFinalize = DXDrawFinalize
  end
  object DXTimer: TDXTimer
    ActiveOnly = False
    Enabled = False
    Interval = 0
    OnTimer = DXTimerTimer
  end
  object DXSpriteEngine: TDXSpriteEngine
    DXDraw = DXDraw
  end
  object ImageList: TDXImageList
  end
  object DXInput: TDXInput
    ActiveOnly = True
    Joystick.BindInputStates = True
    Joystick.Enabled = True
    Joystick.ForceFeedback = False
    Joystick.AutoCenter = True
    Joystick.DeadZoneX = 50
    Joystick.DeadZoneY = 50
    Joystick.ID = 0
    Joystick.RangeX = 300
    Joystick.RangeY = 300
    Keyboard.BindInputStates = True
    Keyboard.Enabled = True
    Mouse.BindInputStates = False
    Mouse.Enabled = False
    UseDirectInput = True
  end
  object DXSound: TDXSound
    AutoInitialize = True
    Options = []
  end
  object DXWaveList: TDXWaveList
  end
end
)";

// A small fixed generator, so that every run sails the same sea.
struct Lcg {
  std::uint32_t State;
  int Next(int n) {
    State = State * 1103515245u + 12345u;
    return static_cast<int>((State >> 16) % static_cast<std::uint32_t>(n));
  }
};

// x into [0, n).
double Wrap(double x, double n) {
  const double r = std::fmod(x, n);
  return r < 0 ? r + n : r;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Sprites

void TSeaSprite::Step(std::int32_t MoveCount) { SetX(X() - kCurrent * MoveCount); }

void TBuoySprite::Step(std::int32_t MoveCount) {
  FrameSpeed = Ringing > 0 ? 0.02 : 0.004;
  if (Ringing > 0) Ringing -= MoveCount;
  dx::TImageSprite::Step(MoveCount);
  // Gone past the left edge: round again, one map further on, where the same cell comes up.
  auto* sea = static_cast<TSeaSprite*>(Parent());
  if (AbsX() < -Width()) SetX(X() + sea->Period());
}

void TGullSprite::Step(std::int32_t MoveCount) {
  dx::TImageSprite::Step(MoveCount);
  SetX(X() - Speed * MoveCount);
}

void TBoatSprite::Step(std::int32_t MoveCount) {
  dx::TImageSprite::Step(MoveCount);
  prev_x_ = X();
  prev_y_ = Y();
  const double d = kBoatSpeed * MoveCount;
  double x = X(), y = Y();
  if (Steer.Contains(dx::stLeft)) x -= d;
  if (Steer.Contains(dx::stRight)) x += d;
  if (Steer.Contains(dx::stUp)) y -= d;
  if (Steer.Contains(dx::stDown)) y += d;
  const fw::TRect view = Engine()->ViewRect();
  if (view.right > Width() && view.bottom > Height()) {
    x = std::clamp(x, 0.0, static_cast<double>(view.right - Width()));
    y = std::clamp(y, 0.0, static_cast<double>(view.bottom - Height()));
  }
  SetX(x);
  SetY(y);
}

bool TBoatSprite::Overlaps(dx::TSprite* Sprite) {
  // The sea answers for its own cells: only those marked in its collision map count.
  if (auto* sea = dynamic_cast<dx::TBackgroundSprite*>(Sprite)) return sea->Overlaps(this);
  return dx::TImageSprite::Overlaps(Sprite);
}

void TBoatSprite::Collided(dx::TSprite* Sprite, bool& Done) {
  if (dynamic_cast<TSeaSprite*>(Sprite)) OnRock = true;
  if (auto* buoy = dynamic_cast<TBuoySprite*>(Sprite)) {
    OnBuoy = true;
    buoy->Ring();
  }
  Done = false;  // every sprite touched is told
}

void TBoatSprite::BounceBack(std::int32_t MoveCount) {
  SetX(prev_x_ - kCurrent * MoveCount);
  SetY(prev_y_);
}

// ---------------------------------------------------------------------------------------------
// The form

void RegisterForms() { fw::RegisterFormDescription("HarbourForm", kFormText); }

THarbourForm::THarbourForm(fw::TComponent* AOwner) : dx::TDXForm(AOwner) {
  LoadFromEmbeddedForm("HarbourForm");
  // Pictures first, then the link: the list builds its surfaces when the display comes up, or
  // at once if it is already up.
  AddPictures(*ImageList->Items());
  ImageList->SetDXDraw(DXDraw);
  // The sound component came up while the form was read; a list linked to it now is told so
  // at once and fills its buffers.
  AddWaves(*DXWaveList->Items());
  DXWaveList->SetDXSound(DXSound);
  BuildScene();
}

void THarbourForm::BuildScene() {
  dx::TPictureCollection* items = ImageList->Items();
  dx::TSpriteEngine* engine = DXSpriteEngine->Engine();
  Lcg rnd{20240611};

  Sea = dx::MakeSprite<TSeaSprite>(engine);
  Sea->SetImageItem(items->Lookup("sea"));
  Sea->SetWrap(true);
  Sea->CollisionEnabled = true;  // background sprites start without; the boat asks the map
  Sea->ResizeMap(kMapColumns, kMapRows);
  for (int row = 0; row < kMapRows; ++row)
    for (int col = 0; col < kMapColumns; ++col) {
      const int r = rnd.Next(100);
      // Open water where the boat sets out.
      const bool harbour_mouth = col < 7;
      SeaTile tile = r < 14 ? tSwell : tWater;
      if (!harbour_mouth && r >= 93) tile = tRock;
      if (!harbour_mouth && r >= 89 && r < 93) tile = tSand;
      Sea->SetTile(col, row, tile);
      Sea->SetHit(col, row, tile == tRock || tile == tSand);
    }

  dx::TPictureCollectionItem* buoy_item = items->Lookup("buoy");
  for (int i = 0; i < kBuoys; ++i) {
    int col = 0, row = 0;
    do {
      col = 8 + rnd.Next(kMapColumns - 8);
      row = 1 + rnd.Next(kMapRows - 2);
    } while (Sea->HitAt(col, row));
    auto* buoy = dx::MakeSprite<TBuoySprite>(Sea);  // rides on the sea
    buoy->ImageItem = buoy_item;
    buoy->SetWidth(buoy_item->CellWidth());
    buoy->SetHeight(buoy_item->CellHeight());
    buoy->SetX(col * kTile + (kTile - kBuoyW) / 2);
    buoy->SetY(row * kTile + (kTile - kBuoyH) / 2);
    buoy->FrameCount = 4;
    buoy->FrameLoop = true;
    buoy->FramePos = i % 4;
    buoy->ExactHit = true;
  }

  dx::TPictureCollectionItem* boat_item = items->Lookup("boat");
  Boat = dx::MakeSprite<TBoatSprite>(engine);
  Boat->ImageItem = boat_item;
  Boat->SetWidth(boat_item->CellWidth());
  Boat->SetHeight(boat_item->CellHeight());
  Boat->SetX(80);
  Boat->SetY(7 * kTile);
  Boat->SetZ(2);
  Boat->FrameCount = 4;
  Boat->FrameLoop = true;
  Boat->FrameSpeed = 0.006;
  Boat->ExactHit = true;

  dx::TPictureCollectionItem* gull_item = items->Lookup("gull");
  for (int i = 0; i < kGulls; ++i) {
    auto* gull = dx::MakeSprite<TGullSprite>(engine);
    gull->ImageItem = gull_item;
    gull->SetWidth(gull_item->CellWidth());
    gull->SetHeight(gull_item->CellHeight());
    gull->SetX(200 + 230 * i);
    gull->SetY(30 + 70 * i);
    gull->SetZ(3);
    gull->SetWrap(true);
    gull->CollisionEnabled = false;  // they fly above it all
    gull->FrameCount = 4;
    gull->FrameLoop = true;
    gull->FramePos = i;
    gull->FrameSpeed = 0.012 + 0.003 * i;
    gull->Speed = 0.08 + 0.03 * i;
  }
}

void THarbourForm::DXDrawInitialize(fw::TObject*) {
  if (DXTimer) DXTimer->SetEnabled(true);
}

void THarbourForm::DXDrawFinalize(fw::TObject*) {
  if (DXTimer) DXTimer->SetEnabled(false);
}

void THarbourForm::DXTimerTimer(fw::TObject*, std::int32_t LagCount) {
  if (!DXDraw->CanDraw()) return;
  // A long stall (a dragged window, a debugger) is not made up in one leap.
  const std::int32_t step = FixedStep > 0 ? FixedStep : std::min(LagCount, 100);

  DXInput->Update();
  if (Autopilot) DXInput->SetStates(Pilot());
  const dx::TInputStates states = DXInput->States();
  Boat->Steer = states;
  if (states.Contains(dx::stButton1) && !last_states_.Contains(dx::stButton1)) {
    ++Stats.HornBlasts;
    Play("horn");
  }
  last_states_ = states;

  const double sea_x = Sea->X();
  DXSpriteEngine->Advance(step);
  Stats.Scrolled += sea_x - Sea->X();
  CollisionPass(step);
  DXSpriteEngine->FreeDisposed();

  DXDraw->Surface()->Fill(0);
  DXSpriteEngine->Paint();
  ++Stats.Frames;
  Stats.Drawn = DXSpriteEngine->Engine()->DrawnCount();
  if (FrameLimit > 0 && Stats.Frames >= FrameLimit) FinishRun();
  DXDraw->Flip();

  if (Stats.Frames % 30 == 0) {
    char caption[128];
    std::snprintf(caption, sizeof caption, "Harbour - bells %d, bumps %d", Stats.BuoyContacts, Stats.RockContacts);
    SetCaption(caption);
  }
}

void THarbourForm::CollisionPass(std::int32_t MoveCount) {
  Boat->OnRock = false;
  Boat->OnBuoy = false;
  Boat->Collision();
  if (Boat->OnRock || Boat->OnBuoy) Boat->BounceBack(MoveCount);
  // Swept against the left edge by the current: the boat is put back in open water.
  if (Boat->X() < -Boat->Width() / 2.0) PutBoatInFreeWater();

  bell_quiet_ = std::max(0, bell_quiet_ - MoveCount);
  thud_quiet_ = std::max(0, thud_quiet_ - MoveCount);
  if (Boat->OnBuoy && !was_on_buoy_) {
    ++Stats.BuoyContacts;
    if (bell_quiet_ == 0) {
      Play("bell");
      bell_quiet_ = 250;
    }
  }
  if (Boat->OnRock && !was_on_rock_) {
    ++Stats.RockContacts;
    if (thud_quiet_ == 0) {
      Play("thud");
      thud_quiet_ = 250;
    }
  }
  was_on_buoy_ = Boat->OnBuoy;
  was_on_rock_ = Boat->OnRock;
}

void THarbourForm::Play(const std::string& Name) {
  dx::TWaveCollectionItem* wave = DXWaveList->Items()->Lookup(Name);
  wave->Play(false);
  for (int i = 0; i < wave->DuplicateCount(); ++i)
    if (wave->Duplicates(i)->Playing()) {
      ++Stats.SoundsStarted;
      break;
    }
}

void THarbourForm::PutBoatInFreeWater() {
  ++Stats.Berths;
  // The first row, from the middle outwards, whose cells under the boat are all open water.
  const double x = 80;
  for (int k = 0; k < kMapRows; ++k) {
    const int row = kMapRows / 2 + ((k % 2) ? (k + 1) / 2 : -(k / 2));
    const double y = row * kTile + 2;
    bool free = true;
    for (double px : {x, x + Boat->Width() - 1})
      for (double py : {y, y + Boat->Height() - 1}) {
        const int col = static_cast<int>(Wrap(px - Sea->X(), Sea->Period())) / kTile;
        if (Sea->HitAt(col, static_cast<int>(py) / kTile)) free = false;
      }
    if (free) {
      Boat->SetX(x);
      Boat->SetY(y);
      return;
    }
  }
  Boat->SetX(x);
}

dx::TInputStates THarbourForm::Pilot() {
  // Blow the horn once early on; then chase buoys for four seconds, and rocks for four.
  dx::TInputStates s;
  if (Stats.Frames == 20) s = s + dx::TInputStates{dx::stButton1};
  const fw::TRect view = DXSpriteEngine->Engine()->ViewRect();
  const double bx = Boat->X() + Boat->Width() / 2.0;
  const double by = Boat->Y() + Boat->Height() / 2.0;
  double tx = bx, ty = by, best = 1e18;
  auto consider = [&](double x, double y) {
    if (x < 0 || x > view.right || y < 0 || y > view.bottom) return;
    const double d = (x - bx) * (x - bx) + (y - by) * (y - by);
    if (d < best) {
      best = d;
      tx = x;
      ty = y;
    }
  };
  const bool chase_buoys = (Stats.Frames / 250) % 2 == 0;
  if (chase_buoys) {
    for (int i = 0; i < Sea->ChildCount(); ++i) {
      dx::TSprite* b = Sea->Child(i);
      consider(static_cast<double>(b->AbsX()) + b->Width() / 2.0, static_cast<double>(b->AbsY()) + b->Height() / 2.0);
    }
  } else {
    for (int row = 0; row < kMapRows; ++row)
      for (int col = 0; col < kMapColumns; ++col) {
        if (!Sea->HitAt(col, row)) continue;
        const double x = Wrap(col * kTile + Sea->X(), Sea->Period()) + kTile / 2.0;
        consider(x, row * kTile + kTile / 2.0);
      }
  }
  if (tx > bx + 3) s = s + dx::TInputStates{dx::stRight};
  if (tx < bx - 3) s = s + dx::TInputStates{dx::stLeft};
  if (ty > by + 3) s = s + dx::TInputStates{dx::stDown};
  if (ty < by - 3) s = s + dx::TInputStates{dx::stUp};
  return s;
}

void THarbourForm::FinishRun() {
  // What the frame shows, read back from the drawing surface before it is presented.
  dx::TDirectDrawSurface* surface = DXDraw->Surface();
  std::set<std::uint32_t> seen;
  for (int y = 0; y < surface->Height(); y += 8)
    for (int x = 0; x < surface->Width(); x += 8) seen.insert(surface->Pixels(x, y));
  Stats.Colours = static_cast<int>(seen.size());
  if (!GrabFile.empty()) {
    dx::TDIB dib;
    surface->AssignTo(&dib);
    fw::TMemoryStream bytes;
    dib.SaveToStream(bytes);
    std::ofstream out(GrabFile, std::ios::binary);
    out.write(static_cast<const char*>(bytes.Memory()), static_cast<std::streamsize>(bytes.Size()));
  }
  DXTimer->SetEnabled(false);
  fw::Application->Terminate();
}

void THarbourForm::FormKeyDown(fw::TObject*, std::uint16_t& Key, fw::TShiftState) {
  if (Key == kEscape) Close();
}

void THarbourForm::Notification(fw::TComponent* AComponent, fw::TOperation Operation) {
  dx::TDXForm::Notification(AComponent, Operation);
  if (Operation != fw::opRemove) return;
  // The display goes after the timer and still reports its finalization here.
  fw::ForgetRemoved(AComponent, DXDraw, DXTimer, DXSpriteEngine, ImageList, DXInput, DXSound, DXWaveList);
}

FW_REGISTER(TSeaSprite, nullptr)
FW_REGISTER(TBuoySprite, nullptr)
FW_REGISTER(TGullSprite, nullptr)
FW_REGISTER(TBoatSprite, nullptr)

FW_REGISTER(THarbourForm, [](fw::TClassBuilder<THarbourForm>& b) {
  b.Field("DXDraw", &THarbourForm::DXDraw);
  b.Field("DXTimer", &THarbourForm::DXTimer);
  b.Field("DXSpriteEngine", &THarbourForm::DXSpriteEngine);
  b.Field("ImageList", &THarbourForm::ImageList);
  b.Field("DXInput", &THarbourForm::DXInput);
  b.Field("DXSound", &THarbourForm::DXSound);
  b.Field("DXWaveList", &THarbourForm::DXWaveList);
  b.Method("DXDrawInitialize", &THarbourForm::DXDrawInitialize);
  b.Method("DXDrawFinalize", &THarbourForm::DXDrawFinalize);
  b.Method("DXTimerTimer", &THarbourForm::DXTimerTimer);
  b.Method("FormKeyDown", &THarbourForm::FormKeyDown);
})

}  // namespace harbour
