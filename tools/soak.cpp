// The soak: runs the real program offscreen for a long time and watches that nothing piles up.
// Phases, after a warm-up: frames of the full-screen scene, Alt+Enter switches, surfaces lost and
// restored, simulate runs of the modelling window, wave plays with duplicates (when there is a
// sound device), and scene set-ups. Resident memory, the heap and every kind of open handle are
// sampled as it goes; handles must come back to the warm-up's figures exactly and memory must stay
// within 5 % of it. Set-ups keep their three sprites for the rest of the program's life, so that
// growth is counted apart: the sprite count must rise by exactly three a set-up, and freeing the
// set-ups' sprites at the end must give the heap back to where it was.
//
//   soak [--short] [--csv FILE] [--frames N]
//
// --short scales every phase down to about a hundredth and samples more often; it checks the
// handles and the sprite accounting exactly, memory only within 25 % and only in plain builds
// (under AddressSanitizer resident memory says nothing). --frames N sets the
// length of the frames phase alone. The exit status is 0 when nothing leaked, 1 with a message
// for each leak found.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QWidget>

#include "app/Main.h"
#include "app/Unit3.h"
#include "app/Unit4.h"
#include "dx/DXSounds.h"
#include "dx/Wave.h"
#include "platform/d3d/D3D.h"
#include "platform/d3d/D3DTesting.h"
#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/DDrawTesting.h"
#include "platform/dinput/DInput.h"
#include "platform/dinput/DInputTesting.h"
#include "platform/dsound/DSound.h"
#include "platform/dsound/DSoundTesting.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiTesting.h"
#include "platform/kernel/GlobalMemory.h"
#include "platform/kernel/GlobalMemoryTesting.h"
#include "platform/kernel/Library.h"
#include "platform/kernel/LibraryTesting.h"
#include "platform/mm/MMSystem.h"
#include "platform/mm/MMSystemTesting.h"
#include "platform/win/WinUser.h"
#include "platform/win/WinUserTesting.h"

#if defined(__SANITIZE_ADDRESS__)
#define SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOAK_ASAN 1
#endif
#endif
#ifdef SOAK_ASAN
// From the sanitizer runtime (its header does not come with every compiler).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

using Clock = std::chrono::steady_clock;

struct Counts {
  int windows = 0, timers = 0, widgets = 0;
  int dcs = 0, bitmaps = 0, gdiPalettes = 0, gdiAll = 0;
  int surfaces = 0, ddPalettes = 0, clippers = 0, ddAll = 0;
  int d3d = 0, dinput = 0, dsound = 0, globals = 0, libraries = 0;

  // Everything that must come back exactly, with the names the report uses.
  std::vector<std::pair<const char*, int>> Handles() const {
    return {{"windows", windows},         {"timers", timers},       {"widgets", widgets},
            {"gdi_dc", dcs},              {"gdi_bitmap", bitmaps},  {"gdi_palette", gdiPalettes},
            {"gdi_all", gdiAll},          {"dd_surface", surfaces}, {"dd_palette", ddPalettes},
            {"dd_clipper", clippers},     {"dd_all", ddAll},        {"d3d", d3d},
            {"dinput", dinput},           {"dsound", dsound},       {"global_blocks", globals},
            {"library_refs", libraries}};
  }
};

struct Sample {
  long step = 0;
  std::string phase;
  long rssKiB = 0;
  long heapKiB = 0;
  Counts counts;
  int retired = 0;
  int sprites = 0;
  int zBase = 0;
};

long RssKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Bytes handed out by the allocator and not yet freed.
long HeapBytes() {
#ifdef SOAK_ASAN
  return static_cast<long>(__sanitizer_get_current_allocated_bytes());
#else
  const struct mallinfo2 m = mallinfo2();
  return static_cast<long>(m.uordblks + m.hblkhd);
#endif
}

int LibraryRefs() {
  int n = 0;
  for (const char* name : {"DDraw.dll", "DInput.dll", "DSound.dll", "D3DRM.dll"}) n += kernel::RefCount(name);
  return n;
}

dx::TSpriteEngine* Engine() { return app::form4->DXSpriteEngine->Engine(); }

// Lets the window system finish what it has deferred (widgets deleted later, repaints), so a
// sample sees only what is really held.
void Settle() {
  for (int i = 0; i < 3; ++i) fw::Application->ProcessMessages();
}

Sample Take(long step, const std::string& phase) {
  Settle();
  Sample s;
  s.step = step;
  s.phase = phase;
  s.rssKiB = RssKiB();
  s.heapKiB = HeapBytes() / 1024;
  Counts& c = s.counts;
  c.windows = win::LiveWindowCount();
  c.timers = win::LiveTimerCount();
  c.widgets = static_cast<int>(QApplication::allWidgets().size());
  c.dcs = gdi::LiveObjectCount(gdi::OBJ_DC);
  c.bitmaps = gdi::LiveObjectCount(gdi::OBJ_BITMAP);
  c.gdiPalettes = gdi::LiveObjectCount(gdi::OBJ_PAL);
  c.gdiAll = gdi::LiveObjectCount();
  c.surfaces = ddraw::LiveSurfaceCount();
  c.ddPalettes = ddraw::LivePaletteCount();
  c.clippers = ddraw::LiveClipperCount();
  c.ddAll = ddraw::LiveObjectCount();
  c.d3d = d3d::LiveObjectCount();
  c.dinput = dinput::LiveObjectCount();
  c.dsound = dsound::LiveObjectCount();
  c.globals = kernel::GlobalBlockCount();
  c.libraries = LibraryRefs();
  s.retired = dsound::RetiredObjectCount();
  s.sprites = Engine()->SpriteCount();
  s.zBase = app::ZBase;
  return s;
}

struct Plan {
  long frames, setups, switches, restores, simulations, plays;
  long frameSample, setupSample, switchSample, restoreSample, simulationSample, playSample;
  long warmupFrames;
  long escapeEvery;  // set-ups
};

constexpr Plan kFull{100000, 1000, 100, 100, 1000, 10000, 1000, 50, 10, 10, 50, 500, 2000, 100};
constexpr Plan kShort{1000, 10, 6, 6, 10, 100, 100, 2, 2, 2, 2, 20, 400, 5};

class Soak {
 public:
  // Memory may grow by `tolerance` percent over the baseline.
  Soak(const Plan& plan, bool checkMemory, long tolerance)
      : plan_(plan), check_memory_(checkMemory), tolerance_(tolerance) {}

  int Run(const std::string& csv);

 private:
  void Frame() {
    fw::Application->ProcessMessages();
    fw::Application->Idle();
    ++frames_;
  }
  void SetUp() {
    const int z = app::ZBase;
    const int before = Engine()->ChildCount();
    app::Form1->Sprix1->Click();
    Frame();
    if (setups_ > 0 && app::ZBase != z + 3)
      Fail("set-up " + std::to_string(setups_) + ": Z base " + std::to_string(app::ZBase) + ", expected " +
           std::to_string(z + 3));
    if (Engine()->ChildCount() != before + 3)
      Fail("set-up " + std::to_string(setups_) + ": " + std::to_string(Engine()->ChildCount() - before) +
           " sprites added, expected 3");
    ++setups_;
  }
  void Escape() {
    win::SendMessageA(app::form4->DXDraw->Handle(), win::WM_KEYDOWN, 27, 0);
    fw::Application->ProcessMessages();
    if (app::form4->Visible() || app::form4->DXDraw->CanDraw()) Fail("Esc left the scene up");
  }
  void AltEnter() {
    win::SendMessageA(app::form4->DXDraw->Handle(), win::WM_SYSKEYDOWN, 13, 0x20000000);
    Frame();
  }
  void LoseSurfaces() {
    ddraw::LoseAllSurfaces();
    Frame();  // the frame's CanDraw restores them
    if (!app::form4->DXDraw->CanDraw()) Fail("the display did not come back after its surfaces were lost");
  }
  // One run of the modelling window from the start position: a floating body, or a sinking one
  // on odd runs; tick until it is at rest, then stop. A rising body's timer never stops by
  // itself, so the run ends as the pupil ends it, from the menu.
  void Simulate(long run) {
    app::Form1->Button2->Click();  // the initial parameters, the body at its start
    if (run % 2) app::Form1->Edit3->SetText("7800");
    app::Form1->N10->Click();
    auto atRest = [] {
      if (app::Form1->Timer1->Enabled()) return app::Form3->Image1->Top() <= app::RestTop;
      return !app::Form1->Timer2->Enabled();
    };
    int ticks = 0;
    while (!atRest() && ticks < 10000) {
      win::AdvanceTimers(100);
      ++ticks;
    }
    if (ticks >= 10000 || ticks < 100)
      Fail("simulate run " + std::to_string(run) + ": at rest after " + std::to_string(ticks) + " ticks");
    app::Form1->N3->Click();  // "stop the process"
    app::Form1->Button2->Click();
  }
  dx::TWaveCollectionItem* AddWave();
  void PlayBurst(dx::TWaveCollectionItem* wave, int copies);

  void Record(long step, const std::string& phase) {
    samples_.push_back(Take(step, phase));
    const Sample& s = samples_.back();
    std::printf("%-9s %7ld  rss %7ld KiB  heap %7ld KiB  win %3d wdg %3d dc %2d bmp %3d pal %d/%d surf %2d "
                "d3d %d di %d ds %2d(%d) glob %d lib %d  sprites %5d\n",
                s.phase.c_str(), s.step, s.rssKiB, s.heapKiB, s.counts.windows, s.counts.widgets, s.counts.dcs,
                s.counts.bitmaps, s.counts.gdiPalettes, s.counts.ddPalettes, s.counts.surfaces, s.counts.d3d,
                s.counts.dinput, s.counts.dsound, s.retired, s.counts.globals, s.counts.libraries, s.sprites);
    std::fflush(stdout);
  }
  // Handles as at the baseline, sprites as expected.
  void Check(const Sample& s, int expectedSprites) {
    const auto now = s.counts.Handles();
    const auto base = baseline_.counts.Handles();
    for (std::size_t i = 0; i < now.size(); ++i)
      if (now[i].second != base[i].second)
        Fail(s.phase + " step " + std::to_string(s.step) + ": " + now[i].first + " " + std::to_string(now[i].second) +
             ", baseline " + std::to_string(base[i].second));
    if (s.sprites != expectedSprites)
      Fail(s.phase + " step " + std::to_string(s.step) + ": " + std::to_string(s.sprites) + " sprites, expected " +
           std::to_string(expectedSprites));
    if (s.retired > 64)
      Fail(s.phase + " step " + std::to_string(s.step) + ": " + std::to_string(s.retired) +
           " sound objects waiting for the mixer");
  }
  // Resident memory and heap within the tolerance, less what the set-ups' sprites hold.
  void CheckMemory(const Sample& s, long spriteBytes) {
    if (!check_memory_) return;
    const long rss = s.rssKiB - spriteBytes / 1024;
    if (rss > baseline_.rssKiB * (100 + tolerance_) / 100)
      Fail(s.phase + " step " + std::to_string(s.step) + ": resident " + std::to_string(rss) +
           " KiB (sprites of the set-ups not counted), more than " + std::to_string(tolerance_) +
           " % over the baseline " +
           std::to_string(baseline_.rssKiB) + " KiB");
    const long heap = s.heapKiB - spriteBytes / 1024;
    if (heap > baseline_.heapKiB * (100 + tolerance_) / 100)
      Fail(s.phase + " step " + std::to_string(s.step) + ": heap " + std::to_string(heap) +
           " KiB (sprites of the set-ups not counted), more than " + std::to_string(tolerance_) +
           " % over the baseline " +
           std::to_string(baseline_.heapKiB) + " KiB");
  }
  void Fail(const std::string& what) {
    if (failures_.size() < 50) std::fprintf(stderr, "soak: LEAK: %s\n", what.c_str());
    failures_.push_back(what);
  }
  void Timed(const char* phase, long count, const char* unit, Clock::time_point start) {
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("-- %s: %ld %s in %.1f s (%.1f per second)\n", phase, count, unit, s, s > 0 ? count / s : 0.0);
    timings_.push_back(std::string(phase) + " " + std::to_string(count) + " " + unit + " " +
                       std::to_string(static_cast<int>(s + 0.5)) + " s");
  }
  void WriteCsv(const std::string& file) const;

  Plan plan_;
  bool check_memory_;
  long tolerance_;
  long frames_ = 0;
  long setups_ = 0;
  Sample baseline_;
  std::vector<Sample> samples_;
  std::vector<std::string> failures_;
  std::vector<std::string> timings_;
};

dx::TWaveCollectionItem* Soak::AddWave() {
  dx::TCustomDXWaveList* list = app::form4->DXWaveList;
  auto* item = static_cast<dx::TWaveCollectionItem*>(list->Items()->Add());
  item->SetName("snd");
  // 20 ms of a quiet 16-bit mono tone: short enough to end between bursts.
  dsound::WAVEFORMATEX f{};
  f.wFormatTag = dsound::WAVE_FORMAT_PCM;
  f.nChannels = 1;
  f.wBitsPerSample = 16;
  f.nSamplesPerSec = 44100;
  f.nBlockAlign = 2;
  f.nAvgBytesPerSec = 88200;
  dx::TWave* w = item->Wave();
  w->SetFormatSize(16);
  std::memcpy(w->Format(), &f, 16);
  std::vector<std::int16_t> samples(882);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>((i % 100) * 20 - 1000);
  w->SetSize(static_cast<int>(samples.size() * 2));
  std::memcpy(w->Data(), samples.data(), samples.size() * 2);
  item->Restore();
  return item;
}

// Plays `copies` overlapping copies, then waits for the mixer to finish them all.
void Soak::PlayBurst(dx::TWaveCollectionItem* wave, int copies) {
  for (int i = 0; i < copies; ++i) app::form4->DXWaveList->Items()->Lookup("snd")->Play(false);
  const auto until = Clock::now() + std::chrono::seconds(5);
  auto playing = [&] {
    for (int i = 0; i < wave->DuplicateCount(); ++i)
      if (wave->Duplicates(i)->Playing()) return true;
    return false;
  };
  while (playing() && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (playing()) Fail("a wave still plays 5 s after it was started");
}

void Soak::WriteCsv(const std::string& file) const {
  std::ofstream out(file);
  out << "step,phase,rss_kib,heap_kib";
  for (const auto& [name, v] : baseline_.counts.Handles()) out << ',' << name;
  out << ",dsound_retired,sprites,zbase\n";
  for (const Sample& s : samples_) {
    out << s.step << ',' << s.phase << ',' << s.rssKiB << ',' << s.heapKiB;
    for (const auto& [name, v] : s.counts.Handles()) out << ',' << v;
    out << ',' << s.retired << ',' << s.sprites << ',' << s.zBase << '\n';
  }
}

int Soak::Run(const std::string& csv) {
  const auto begin = Clock::now();
  samples_.reserve(4096);  // so that the samples themselves do not show as growth
  // Warm-up: a little of every phase, so that caches, pools and the first-use objects all exist.
  app::Form1->Button1->Click();  // confirm 800 x 600
  mm::SetVirtualTime(0);
  SetUp();
  for (long i = 0; i < plan_.warmupFrames; ++i) Frame();
  // The frames really ran: the body has come to rest and all three sprites are drawn.
  auto* body = dynamic_cast<app::TMonoSprite*>(Engine()->Child(1));
  if (!body || static_cast<int>(body->Y()) != app::TargetY || Engine()->DrawnCount() != 3)
    Fail("the scene did not run: body at " + std::to_string(body ? body->Y() : -1.0) + ", target " +
         std::to_string(app::TargetY) + ", " + std::to_string(Engine()->DrawnCount()) + " sprites drawn");
  for (int i = 0; i < 4; ++i) AltEnter();
  for (int i = 0; i < 4; ++i) LoseSurfaces();
  Escape();
  SetUp();
  for (int i = 0; i < 2; ++i) Simulate(i);
  dx::TWaveCollectionItem* wave = nullptr;
  if (app::form4->DXSound->Initialized()) {
    wave = AddWave();
    for (int i = 0; i < 2; ++i) PlayBurst(wave, 10);
  } else {
    std::printf("-- no sound device: the wave plays are left out\n");
  }
  for (long i = 0; i < plan_.warmupFrames; ++i) Frame();
  baseline_ = Take(0, "baseline");
  samples_.push_back(baseline_);
  const int sprites = baseline_.sprites;
  std::printf("-- warm-up done: %d sprites, display %s\n", sprites,
              app::form4->DXDraw->CanDraw() ? "up" : "down");

  auto phase = [&](const char* name, long count, long every, const char* unit, auto&& step) {
    const auto start = Clock::now();
    for (long i = 1; i <= count; ++i) {
      step(i);
      if (i % every == 0 || i == count) {
        Record(i, name);
        Check(samples_.back(), sprites);
        CheckMemory(samples_.back(), 0);
      }
    }
    Timed(name, count, unit, start);
  };

  phase("frames", plan_.frames, plan_.frameSample, "frames", [&](long) { Frame(); });
  // Samples fall on even counts, when the scene is back in full screen.
  phase("altenter", plan_.switches, plan_.switchSample, "switches", [&](long) { AltEnter(); });
  phase("restore", plan_.restores, plan_.restoreSample, "restores", [&](long) { LoseSurfaces(); });
  phase("simulate", plan_.simulations, plan_.simulationSample, "runs", [&](long i) { Simulate(i); });
  if (wave) {
    phase("sound", plan_.plays / 10, plan_.playSample / 10, "bursts of 10 plays", [&](long) {
      PlayBurst(wave, 10);
      Frame();
    });
  }

  // Set-ups last: every scene stays, so every frame after them paints all of them.
  const long heapBefore = HeapBytes();
  const int childrenBefore = Engine()->ChildCount();
  {
    const auto start = Clock::now();
    for (long i = 1; i <= plan_.setups; ++i) {
      // Now and then the pupil leaves the scene with Esc and starts it again from the menu.
      if (i % plan_.escapeEvery == 0) Escape();
      SetUp();
      if (i % plan_.setupSample == 0 || i == plan_.setups) {
        Record(i, "setup");
        // Memory waits for the accounting below; handles and sprites are checked now.
        Check(samples_.back(), sprites + 3 * static_cast<int>(i));
      }
    }
    Timed("setup", plan_.setups, "set-ups", start);
  }
  // What the set-ups' sprites hold: free them (the program never does) and see what comes back.
  Settle();
  const long heapAfter = HeapBytes();
  const int spritesAfter = Engine()->SpriteCount();
  {
    std::vector<dx::TSprite*> added(Engine()->Children()->begin() + childrenBefore, Engine()->Children()->end());
    for (dx::TSprite* s : added) s->Dead();
    Engine()->FreeDisposed();
  }
  Settle();
  const long heapFreed = HeapBytes();
  const long spriteBytes = heapAfter - heapFreed;
  const long perSetUp = plan_.setups > 0 ? spriteBytes / plan_.setups : 0;
  const long residual = heapFreed - heapBefore;
  Record(plan_.setups, "freed");
  Check(samples_.back(), sprites);
  CheckMemory(samples_.back(), 0);
  std::printf("-- set-ups: %ld sprites (+%ld, 3 a set-up); heap grew %ld bytes = %ld a set-up, freeing their "
              "sprites gave back %ld bytes = %ld a set-up (the three objects alone: %zu); left after freeing "
              "them: %+ld bytes\n",
              static_cast<long>(spritesAfter), 3 * plan_.setups, heapAfter - heapBefore,
              plan_.setups > 0 ? (heapAfter - heapBefore) / plan_.setups : 0, spriteBytes, perSetUp,
              sizeof(dx::TBackgroundSprite) + sizeof(app::TMonoSprite) + sizeof(app::TPlayerSprite), residual);
  // Memory of the set-up phase with the sprites' share taken off, now that it is known.
  if (check_memory_) {
    for (const Sample& s : samples_)
      if (s.phase == "setup") CheckMemory(s, perSetUp * s.step);
    // A leak per set-up of even a few hundred bytes shows here, long before it shows in RSS.
    if (residual > std::max<long>(64 * 1024, heapBefore / 100))
      Fail("set-ups: " + std::to_string(residual) + " bytes of heap still held after freeing their sprites");
  } else if (residual > 256 * 1024 + plan_.setups * 1024) {
    Fail("set-ups: " + std::to_string(residual) + " bytes of heap still held after freeing their sprites");
  }

  // Back to where the program started: Esc, then the display and the forms go with the application.
  Escape();
  Settle();

  if (!csv.empty()) WriteCsv(csv);
  const double total = std::chrono::duration<double>(Clock::now() - begin).count();
  std::printf("-- %ld frames and %ld set-ups in %.0f s%s\n", frames_, setups_, total,
              check_memory_ ? "" : " (memory not checked)");
  if (!failures_.empty()) {
    std::fprintf(stderr, "soak: %zu leak(s) found, the first: %s\n", failures_.size(), failures_.front().c_str());
    return 1;
  }
  std::printf("soak: nothing leaked\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  std::string csv;
  long frames = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--short") {
      quick = true;
    } else if (a == "--csv" && i + 1 < argc) {
      csv = argv[++i];
    } else if (a == "--frames" && i + 1 < argc) {
      frames = std::atol(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: soak [--short] [--csv FILE] [--frames N]\n");
      return 2;
    }
  }
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // No sound card on a build machine: SDL's silent driver still runs the mixer in real time.
  if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);

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

#ifdef SOAK_ASAN
  const bool checkMemory = false;  // shadow memory and the quarantine make RSS meaningless
#else
  const bool checkMemory = true;
#endif
  Plan plan = quick ? kShort : kFull;
  if (frames >= 0) plan.frames = frames;
  // A short run's warm-up is short too: its memory is held to a looser bound.
  Soak soak(plan, checkMemory, quick ? 25 : 5);
  int rc = soak.Run(csv);
  mm::UseRealClock();
  fw::FreeApplication();
  dx::FreeLoadedLibraries();  // what the end of the program does after the application
  // With the application gone, so is everything it opened.
  const std::pair<const char*, int> left[] = {
      {"windows", win::LiveWindowCount()},         {"timers", win::LiveTimerCount()},
      {"GDI objects", gdi::LiveObjectCount()},      {"DirectDraw objects", ddraw::LiveObjectCount()},
      {"Direct3D objects", d3d::LiveObjectCount()}, {"DirectInput objects", dinput::LiveObjectCount()},
      {"DirectSound objects", dsound::LiveObjectCount()}, {"global blocks", kernel::GlobalBlockCount()},
      {"library references", LibraryRefs()}};
  for (const auto& [what, n] : left) {
    if (n == 0) continue;
    std::fprintf(stderr, "soak: LEAK: %d %s still open after the application has gone\n", n, what);
    rc = 1;
  }
  return rc;
}
