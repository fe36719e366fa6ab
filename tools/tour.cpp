// The headless tour: runs the real forms offscreen through one simulate run with the initial
// parameters and saves screenshots of the parameter form and of the modelling window at the
// start and at the end of the animation; then the full-screen model with the same parameters,
// at its first frame, with the body at rest, and as a window after Alt+Enter.
//
//   tour [output folder]     (default: a "tour-screenshots" folder beside the executable)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QPixmap>
#include <QWidget>

#include "app/Main.h"
#include "app/Unit3.h"
#include "app/Unit4.h"
#include "platform/ddraw/DDrawPresent.h"
#include "platform/mm/MMSystem.h"
#include "platform/mm/MMSystemTesting.h"
#include "platform/win/WinUser.h"
#include "platform/win/WinUserTesting.h"

namespace fs = std::filesystem;

namespace {

bool Save(fw::TControl& control, const fs::path& file) {
  fw::Application->ProcessMessages();
  QWidget* w = control.Widget();
  if (!w) return false;
  // The whole window, frame and menu bar included, as the pupil sees it.
  QWidget* top = w->window();
  const bool ok = top->grab().save(QString::fromStdString(file.string()), "PNG");
  std::printf("  %s%s\n", file.string().c_str(), ok ? "" : "  (could not be written)");
  return ok;
}

// What the full-screen model's window shows: the presented frames, full screen or windowed.
bool SaveScene(const fs::path& file) {
  fw::Application->ProcessMessages();
  const QImage shot = ddraw::GrabWindow(app::form4->Handle());
  const bool ok = !shot.isNull() && shot.save(QString::fromStdString(file.string()), "PNG");
  std::printf("  %s%s\n", file.string().c_str(), ok ? "" : "  (could not be written)");
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const fs::path out = argc > 1 ? fs::path(argv[1])
                                : fs::absolute(fs::path(argv[0])).parent_path() / "tour-screenshots";
  fs::create_directories(out);

  // Ticks come from a virtual clock, so the tour takes no 32 seconds and always ends alike.
  win::SetVirtualTimers(true);
  fw::InitApplication();
  fw::Application->Initialize();
  fw::Application->SetTitle("FloatBench");
  app::RegisterForms();
  fw::Application->CreateForm(app::Form1);
  fw::Application->CreateForm(app::Form3);
  fw::Application->CreateForm(app::form4);
  app::Form1->Show();
  fw::Application->ProcessMessages();

  std::printf("FloatBench tour: screenshots in %s\n", out.string().c_str());
  bool ok = Save(*app::Form1, out / "1-parameter-form.png");
  app::Form1->Button1->Click();  // confirm 800 x 600
  ok = Save(*app::Form1, out / "2-parameter-form-confirmed.png") && ok;
  app::Form1->N10->Click();  // simulate
  std::printf("  simulate: RestTop %d, protrusion \"%s\", body at %d, %d\n", app::RestTop,
              app::Form3->Edit1->Text().c_str(), app::Form3->Image1->Left(), app::Form3->Image1->Top());
  ok = Save(*app::Form3, out / "3-modelling-start.png") && ok;
  int ticks = 0;
  while (app::Form1->Timer1->Enabled() && app::Form3->Image1->Top() > app::RestTop && ticks < 10000) {
    win::AdvanceTimers(100);
    ++ticks;
  }
  std::printf("  %d ticks of 100 ms: body at %d, %d\n", ticks, app::Form3->Image1->Left(),
              app::Form3->Image1->Top());
  ok = Save(*app::Form3, out / "4-modelling-end.png") && ok;
  app::Form1->PageControl1->SetActivePage(app::Form1->TabSheet3);
  ok = Save(*app::Form1, out / "5-settings-page.png") && ok;

  app::Form1->Timer1->SetEnabled(false);

  // The full-screen model with the same parameters; frames keep to a virtual 60 Hz retrace.
  app::Form1->PageControl1->SetActivePage(app::Form1->TabSheet2);
  mm::SetVirtualTime(0);
  app::Form1->Sprix1->Click();
  fw::Application->Idle();
  ok = SaveScene(out / "6-sprix-first-frame.png") && ok;
  auto* body = dynamic_cast<app::TMonoSprite*>(app::form4->DXSpriteEngine->Engine()->Child(1));
  int frames = 1;
  while (body && body->Y() > app::TargetY && frames < 2000) {
    fw::Application->Idle();
    ++frames;
  }
  std::printf("  full screen: %d frames, body at %g (target %d), %u ms at the display's rate\n", frames,
              body ? body->Y() : 0.0, app::TargetY, mm::timeGetTime());
  ok = SaveScene(out / "7-sprix-at-rest.png") && ok;
  // Alt+Enter: a sizeable window.
  win::SendMessageA(app::form4->DXDraw->Handle(), win::WM_SYSKEYDOWN, 13, 0x20000000);
  fw::Application->Idle();
  ok = SaveScene(out / "8-sprix-windowed.png") && ok;
  win::SendMessageA(app::form4->DXDraw->Handle(), win::WM_KEYDOWN, 27, 0);  // Esc
  mm::UseRealClock();
  fw::FreeApplication();
  return ok ? 0 : 1;
}
