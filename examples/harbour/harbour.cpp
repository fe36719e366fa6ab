// Harbour: a small program on the component layer. Steer the boat with the arrow keys (or a
// joystick) between the buoys and the rocks; the first button blows the horn; Esc ends.
//
//   harbour                       play in a window
//   harbour --autopilot           let the autopilot sail
//   harbour --frames N [--grab F] sail N frames of 16 ms with the autopilot, as fast as the
//                                 machine allows, write the last frame to F (a bitmap), print
//                                 what happened and exit 0 only if the scene really ran
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "examples/harbour/HarbourForm.h"
#include "framework/Forms.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: harbour [--autopilot] [--frames N [--grab FILE.bmp]]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int frames = 0;
  bool autopilot = false;
  std::string grab;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--autopilot") {
      autopilot = true;
    } else if (a == "--frames" && i + 1 < argc) {
      frames = std::atoi(argv[++i]);
      if (frames <= 0) return Usage();
    } else if (a == "--grab" && i + 1 < argc) {
      grab = argv[++i];
    } else {
      return Usage();
    }
  }
  const bool headless = frames > 0;
  if (headless && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);

  fw::InitApplication();
  fw::Application->Initialize();
  fw::Application->SetTitle("Harbour");
  harbour::RegisterForms();
  harbour::THarbourForm* form = nullptr;
  fw::Application->CreateForm(form);
  form->Autopilot = autopilot || headless;
  if (headless) {
    // Frames as fast as they come, each one a fixed 16 ms of the scene: the run is the same
    // on every machine.
    form->FixedStep = 16;
    form->FrameLimit = frames;
    form->GrabFile = grab;
  } else {
    // Frames keep to the display's refresh.
    form->DXDraw->SetOptions(form->DXDraw->Options() + dx::TDXDrawOptions{dx::doWaitVBlank});
  }
  fw::Application->Run();

  const harbour::THarbourStats s = form->Stats;
  const int sprites = form->DXSpriteEngine ? form->DXSpriteEngine->Engine()->SpriteCount() : 0;
  const bool sound = form->DXSound && form->DXSound->Initialized();
  fw::FreeApplication();

  std::printf("harbour: %d frames, %d sprites (%d drawn in the last frame, %d colours)\n", s.Frames, sprites,
              s.Drawn, s.Colours);
  std::printf("harbour: sea drifted %.0f px; contacts: %d buoy, %d rock; boat put back %d times\n", s.Scrolled,
              s.BuoyContacts, s.RockContacts, s.Berths);
  // Without a sound device the sound component stays down and the waves play silently.
  std::printf("harbour: sound %s, %d sounds started, %d horn blasts\n", sound ? "on" : "off (no sound device)",
              s.SoundsStarted, s.HornBlasts);
  std::fflush(stdout);
  if (!headless) return 0;

  // The scene ran when every frame was drawn with most of its sprites, the sea moved by the
  // current, the boat met both a buoy and a rock, and - with a sound device - the sounds of
  // those meetings started.
  bool ok = true;
  auto check = [&ok](bool cond, const char* what) {
    if (!cond) {
      std::printf("harbour: FAILED: %s\n", what);
      ok = false;
    }
  };
  check(s.Frames == frames, "not every frame was drawn");
  check(sprites == 11, "the scene does not hold its 11 sprites");
  check(s.Drawn >= 5, "fewer than 5 sprites drawn in the last frame");
  check(s.Colours >= 8, "the last frame is nearly blank");
  check(s.Scrolled >= 0.99 * harbour::kCurrent * 16 * frames, "the sea did not drift as far as the current carries it");
  check(s.BuoyContacts > 0, "no buoy was struck");
  check(s.RockContacts > 0, "no rock was struck");
  if (sound) check(s.SoundsStarted >= 2, "the collision sounds did not start");
  return ok ? 0 : 1;
}
