#pragma once
// The harbour: a sailing boat steered through buoys and rocks on a sea that drifts past with
// the current. The sea is a repeating map of cells with a collision map for its rocks and
// sandbanks; buoys ride on the map and bob, gulls cross overhead, and every bump rings a bell
// or thuds through the sound component.
#include <cstdint>
#include <string>

#include "dx/DXClass.h"
#include "dx/DXDrawsDisplay.h"
#include "dx/DXDrawsImageList.h"
#include "dx/DXInput.h"
#include "dx/DXSounds.h"
#include "dx/DXSprite.h"

namespace harbour {

class THarbourForm;

// Pixels a millisecond.
inline constexpr double kCurrent = 0.05;
inline constexpr double kBoatSpeed = 0.16;

// The sea: drifts left with the current; its map repeats without end.
class TSeaSprite : public dx::TBackgroundSprite {
  FW_CLASS(TSeaSprite, dx::TBackgroundSprite)
 public:
  using dx::TBackgroundSprite::TBackgroundSprite;
  void Step(std::int32_t MoveCount) override;
  // Map width in pixels: what rides on the sea comes round again after that far.
  double Period() const { return static_cast<double>(MapColumns()) * 32; }
};

// A buoy on the sea (its parent), bobbing; struck, its lamp blinks fast for a while.
class TBuoySprite : public dx::TImageSprite {
  FW_CLASS(TBuoySprite, dx::TImageSprite)
 public:
  using dx::TImageSprite::TImageSprite;
  void Step(std::int32_t MoveCount) override;
  void Ring() { Ringing = 1500; }
  std::int32_t Ringing = 0;  // milliseconds of fast blinking left
};

// A gull crossing the screen from right to left, round and round.
class TGullSprite : public dx::TImageSprite {
  FW_CLASS(TGullSprite, dx::TImageSprite)
 public:
  using dx::TImageSprite::TImageSprite;
  void Step(std::int32_t MoveCount) override;
  double Speed = 0.1;
};

// The boat: moved by the input states, kept on screen, compared pixel by pixel with buoys and
// cell by cell with the sea's collision map.
class TBoatSprite : public dx::TImageSprite {
  FW_CLASS(TBoatSprite, dx::TImageSprite)
 public:
  using dx::TImageSprite::TImageSprite;
  void Step(std::int32_t MoveCount) override;
  bool Overlaps(dx::TSprite* Sprite) override;
  void Collided(dx::TSprite* Sprite, bool& Done) override;
  // Back to where the last step began, then carried by the current.
  void BounceBack(std::int32_t MoveCount);

  dx::TInputStates Steer;
  // What the last collision pass found.
  bool OnRock = false;
  bool OnBuoy = false;

 private:
  double prev_x_ = 0;
  double prev_y_ = 0;
};

// What a run did, for the summary of a headless run.
struct THarbourStats {
  int Frames = 0;
  int Drawn = 0;           // sprites drawn in the last frame
  int BuoyContacts = 0;    // contacts begun, not frames spent touching
  int RockContacts = 0;
  int SoundsStarted = 0;   // plays that found a buffer sounding afterwards
  int HornBlasts = 0;
  int Berths = 0;          // times the boat was swept off and put back
  double Scrolled = 0;     // pixels the sea drifted
  int Colours = 0;         // distinct pixel values in the last frame drawn
};

// Gives the framework the description of the harbour's form; the program does this before it
// creates the form.
void RegisterForms();

class THarbourForm : public dx::TDXForm {
  FW_CLASS(THarbourForm, dx::TDXForm)
 public:
  explicit THarbourForm(fw::TComponent* AOwner);

  dx::TDXDraw* DXDraw = nullptr;
  dx::TDXTimer* DXTimer = nullptr;
  dx::TDXSpriteEngine* DXSpriteEngine = nullptr;
  dx::TDXImageList* ImageList = nullptr;
  dx::TDXInput* DXInput = nullptr;
  dx::TDXSound* DXSound = nullptr;
  dx::TDXWaveList* DXWaveList = nullptr;

  TSeaSprite* Sea = nullptr;
  TBoatSprite* Boat = nullptr;

  // A headless run: frames a fixed FixedStep ms apart, the autopilot steering, the loop ended
  // after FrameLimit frames (and the last one written to GrabFile as a bitmap, if named).
  std::int32_t FixedStep = 0;
  int FrameLimit = 0;
  bool Autopilot = false;
  std::string GrabFile;
  THarbourStats Stats;

  void DXDrawInitialize(fw::TObject* Sender);
  void DXDrawFinalize(fw::TObject* Sender);
  void DXTimerTimer(fw::TObject* Sender, std::int32_t LagCount);
  void FormKeyDown(fw::TObject* Sender, std::uint16_t& Key, fw::TShiftState Shift);

  void Notification(fw::TComponent* AComponent, fw::TOperation Operation) override;

 private:
  void BuildScene();
  void CollisionPass(std::int32_t MoveCount);
  void Play(const std::string& Name);
  dx::TInputStates Pilot();
  void PutBoatInFreeWater();
  void FinishRun();

  dx::TInputStates last_states_;
  bool was_on_rock_ = false;
  bool was_on_buoy_ = false;
  std::int32_t bell_quiet_ = 0;  // ms until the next bell or thud may sound
  std::int32_t thud_quiet_ = 0;
};

}  // namespace harbour
