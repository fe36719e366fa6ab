#pragma once
// The full-screen model: the experiment drawn with sprites on an exclusive display mode. A tiled
// water background fills the screen, a band of surface texture lies across the top and the body
// moves a pixel a frame to where it comes to rest. The hidden "Start" button sets a scene up; the
// frame timer moves, draws and flips it whenever the application is idle.
#include <cstdint>

#include "dx/DXClass.h"
#include "dx/DXDrawsDisplay.h"
#include "dx/DXDrawsImageList.h"
#include "dx/DXInput.h"
#include "dx/DXSounds.h"
#include "dx/DXSprite.h"
#include "framework/ComCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"

namespace app {

// The body: one pixel a frame toward the target, whatever the frame's move count.
class TMonoSprite : public dx::TImageSprite {
  FW_CLASS(TMonoSprite, dx::TImageSprite)
 public:
  using dx::TImageSprite::TImageSprite;
  void Step(std::int32_t MoveCount) override;
};

// The band of surface texture across the top: it neither moves nor animates.
class TPlayerSprite : public dx::TImageSprite {
  FW_CLASS(TPlayerSprite, dx::TImageSprite)
 public:
  using dx::TImageSprite::TImageSprite;
  void Step(std::int32_t MoveCount) override;
  // A body touching the band stops taking part in collisions; the collision is not done.
  void Collided(dx::TSprite* Sprite, bool& Done) override;
};

class Tform4 : public dx::TDXForm {
  FW_CLASS(Tform4, dx::TDXForm)
 public:
  explicit Tform4(fw::TComponent* AOwner);

  dx::TDXDraw* DXDraw = nullptr;
  dx::TDXTimer* DXTimer = nullptr;
  dx::TDXSpriteEngine* DXSpriteEngine = nullptr;
  dx::TDXInput* DXInput = nullptr;
  dx::TDXImageList* ImageList = nullptr;
  dx::TDXWaveList* DXWaveList = nullptr;
  dx::TDXSound* DXSound = nullptr;
  fw::TButton* Button3 = nullptr;  // "Start", hidden: the scene set-up
  fw::TTrackBar* TrackBar1 = nullptr;

  // Frames a fixed 16 ms apart, sprites moved by 16 (else every idle pass, by the lag).
  bool FixedStep = false;

  void Button3Click(fw::TObject* Sender);
  void DXDrawClick(fw::TObject* Sender);
  void DXDrawInitialize(fw::TObject* Sender);
  void DXDrawFinalize(fw::TObject* Sender);
  void DXTimerActivate(fw::TObject* Sender);
  void DXTimerDeactivate(fw::TObject* Sender);
  void DXTimerTimer(fw::TObject* Sender, std::int32_t LagCount);
  void FormKeyDown(fw::TObject* Sender, std::uint16_t& Key, fw::TShiftState Shift);

  // A component that goes is forgotten here: the display, destroyed after the timer, still
  // reports its finalization to this form.
  void Notification(fw::TComponent* AComponent, fw::TOperation Operation) override;
};

extern Tform4* form4;

}  // namespace app
