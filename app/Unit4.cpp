#include "app/Unit4.h"

#include <string>

#include "app/Main.h"
#include "app/MainArith.h"
#include "framework/ClassBuilder.h"
#include "framework/Jpeg.h"
#include "framework/SysUtils.h"

namespace app {

Tform4* form4 = nullptr;

namespace {

std::int32_t Num(const fw::TControl* Edit) { return fw::StrToInt(Edit->Text()); }

// Round's result is 64 bits wide; stored into a 32-bit integer it keeps its low half.
std::int32_t Low32(std::int64_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }

constexpr std::uint16_t kEscape = 27;
constexpr std::uint16_t kEnter = 13;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Sprites

void TMonoSprite::Step(std::int32_t MoveCount) {
  dx::TImageSprite::Step(MoveCount);
  ExactHit = true;
  // One pixel a frame, never past the target: a body already beyond it stays where it is.
  if (TargetY > Y() && MoveDir == -1) SetY(Y() + 1);
  if (TargetY < Y() && MoveDir == 1) SetY(Y() - 1);
}

void TPlayerSprite::Step(std::int32_t) {}

void TPlayerSprite::Collided(dx::TSprite* Sprite, bool& Done) {
  // The band's sound and the joystick's bump come with the sound component and the effects.
  if (auto* body = dynamic_cast<TMonoSprite*>(Sprite)) body->CollisionEnabled = false;
  Done = false;
}

// ---------------------------------------------------------------------------------------------
// The form

Tform4::Tform4(fw::TComponent* AOwner) : dx::TDXForm(AOwner) {
  // Three of the image list's pictures are JPEG data.
  fw::RegisterJpegImage();
  LoadFromEmbeddedForm("Unit4");
}

void Tform4::Button3Click(fw::TObject*) {
  // The Z counter first: with it unreadable nothing at all happens.
  ZBase = Num(Form1->Edit9);
  Form1->Edit9->SetText(fw::IntToStr(Add32(ZBase, 3)));

  // The first time this brings the display up with the stored settings.
  Show();

  StartX = Num(Form1->Edit5);
  StartY = Num(Form1->Edit6);
  BodyWidth = Num(Form1->Edit1);
  BodyHeight = Num(Form1->Edit2);
  LiquidDensity = Num(Form1->Edit4);
  BodyDensity = Num(Form1->Edit3);

  if (LiquidDensity < BodyDensity) {
    MoveDir = -1;
    // Down to the bottom of the display as it is now.
    TargetY = Sub32(Add32(DXDraw->Height(), 27), BodyHeight);
  }
  if (LiquidDensity == BodyDensity) {
    MoveDir = 0;
    TargetY = StartY;
  }
  if (LiquidDensity > BodyDensity) {
    MoveDir = 1;
    // The pictures are square, so the width gives the part above the surface.
    TargetY = Sub32(100, Low32(Protrusion(BodyWidth, BodyDensity, LiquidDensity)));
  }

  ScreenWidth = Num(Form1->Edit8);
  ScreenHeight = Num(Form1->Edit7);

  std::string band;
  if (ScreenWidth == 800) band = "fon1";
  if (ScreenWidth == 1024) band = "fon2";
  std::string body;
  if (BodyWidth == 25) body = "img2";
  if (BodyWidth == 50) body = "img1";

  DXDraw->SetOptions(DXDraw->Options() + dx::TDXDrawOptions{dx::doFullScreen});
  DXDraw->Display()->SetWidth(ScreenWidth);
  DXDraw->Display()->SetHeight(ScreenHeight);
  DXDraw->Display()->SetBitCount(16);
  DXDraw->Initialize();

  dx::TPictureCollection* items = ImageList->Items();
  items->BuildColorTable();
  DXDraw->ColorTable = items->ColorTable;
  DXDraw->DefaultColorTable = items->ColorTable;
  DXDraw->UpdatePalette();

  dx::TSpriteEngine* engine = DXSpriteEngine->Engine();

  dx::TPictureCollectionItem* water = items->Lookup("background");
  auto* background = dx::MakeSprite<dx::TBackgroundSprite>(engine);
  background->ResizeMap(1, 1);
  background->SetImageItem(water);
  background->SetZ(ZBase);
  background->SetWrap(true);  // the one cell repeats over the whole surface

  // Each picture is looked up before its sprite is made: a name that is not there stops the
  // set-up with the sprites made so far, and leaves no sprite without a picture behind.
  dx::TPictureCollectionItem* bodyItem = items->Lookup(body);
  auto* mono = dx::MakeSprite<TMonoSprite>(engine);
  mono->ImageItem = bodyItem;
  mono->SetX(StartX);
  mono->SetY(StartY);
  mono->SetZ(Add32(ZBase, 2));
  mono->SetWidth(mono->ImageItem->Width());
  mono->SetHeight(mono->ImageItem->Height());

  dx::TPictureCollectionItem* bandItem = items->Lookup(band);
  auto* player = dx::MakeSprite<TPlayerSprite>(engine);
  player->ImageItem = bandItem;
  player->SetZ(Add32(ZBase, 1));
  player->SetWidth(player->ImageItem->Width());
  player->SetHeight(player->ImageItem->Height());
}

void Tform4::DXDrawClick(fw::TObject*) {
  FixedStep = !FixedStep;
  DXTimer->SetInterval(FixedStep ? 16 : 0);
}

void Tform4::DXDrawInitialize(fw::TObject*) {
  if (DXTimer) DXTimer->SetEnabled(true);
}

void Tform4::DXDrawFinalize(fw::TObject*) {
  if (DXTimer) DXTimer->SetEnabled(false);
}

void Tform4::DXTimerActivate(fw::TObject*) { SetCaption(fw::Application->Title()); }

void Tform4::DXTimerDeactivate(fw::TObject*) { SetCaption(fw::Application->Title() + " [Pause]"); }

void Tform4::DXTimerTimer(fw::TObject*, std::int32_t LagCount) {
  if (!DXDraw->CanDraw()) return;
  DXInput->Update();
  DXSpriteEngine->Advance(FixedStep ? 16 : LagCount);
  DXSpriteEngine->FreeDisposed();
  DXDraw->Surface()->Fill(0);
  DXSpriteEngine->Paint();
  DXDraw->Flip();
}

void Tform4::FormKeyDown(fw::TObject*, std::uint16_t& Key, fw::TShiftState Shift) {
  if (Key == kEscape) {
    if (dx::TCustomDXDraw* display = DXSpriteEngine->DXDraw()) display->Finalize();
    Close();
  }
  if (Shift.Contains(fw::ssAlt) && Key == kEnter) {
    DXDraw->Finalize();
    if (DXDraw->Options().Contains(dx::doFullScreen)) {
      RestorePlacement();
      DXDraw->SetCursor(fw::crDefault);
      SetBorderStyle(fw::bsSizeable);
      DXDraw->SetOptions(DXDraw->Options() - dx::TDXDrawOptions{dx::doFullScreen});
    } else {
      SavePlacement();
      DXDraw->SetCursor(fw::crNone);
      SetBorderStyle(fw::bsNone);
      DXDraw->SetOptions(DXDraw->Options() + dx::TDXDrawOptions{dx::doFullScreen});
    }
    DXDraw->Initialize();
  }
}

void Tform4::Notification(fw::TComponent* AComponent, fw::TOperation Operation) {
  dx::TDXForm::Notification(AComponent, Operation);
  if (Operation != fw::opRemove) return;
  fw::ForgetRemoved(AComponent, DXDraw, DXTimer, DXSpriteEngine, DXInput, ImageList, DXWaveList, DXSound, Button3,
                    TrackBar1);
}

FW_REGISTER(TMonoSprite, nullptr)
FW_REGISTER(TPlayerSprite, nullptr)

FW_REGISTER(Tform4, [](fw::TClassBuilder<Tform4>& b) {
  b.Field("DXDraw", &Tform4::DXDraw);
  b.Field("DXTimer", &Tform4::DXTimer);
  b.Field("DXSpriteEngine", &Tform4::DXSpriteEngine);
  b.Field("DXInput", &Tform4::DXInput);
  b.Field("ImageList", &Tform4::ImageList);
  b.Field("DXWaveList", &Tform4::DXWaveList);
  b.Field("DXSound", &Tform4::DXSound);
  b.Field("Button3", &Tform4::Button3);
  b.Field("TrackBar1", &Tform4::TrackBar1);
  b.Method("Button3Click", &Tform4::Button3Click);
  b.Method("DXDrawClick", &Tform4::DXDrawClick);
  b.Method("DXDrawInitialize", &Tform4::DXDrawInitialize);
  b.Method("DXDrawFinalize", &Tform4::DXDrawFinalize);
  b.Method("DXTimerActivate", &Tform4::DXTimerActivate);
  b.Method("DXTimerDeactivate", &Tform4::DXTimerDeactivate);
  b.Method("DXTimerTimer", &Tform4::DXTimerTimer);
  b.Method("FormKeyDown", &Tform4::FormKeyDown);
})

}  // namespace app
