// The image list on an 800 x 600 x 16 full-screen display: rebuilding the scene's six pictures
// (what every display restore costs), and drawing a pattern through the list against the
// surface draw it wraps.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "dx/DXDraws.h"
#include "dx/DXDrawsDisplay.h"
#include "forms/Embedded.h"
#include "framework/Forms.h"
#include "framework/Jpeg.h"
#include "framework/Streaming.h"

namespace {

struct Scene {
  fw::TOwned<fw::TForm> form;
  dx::TDXDraw* draw = nullptr;
  dx::TDXImageList* list = nullptr;

  Scene() {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    fw::InitApplication();
    fw::RegisterJpegImage();
    form = fw::MakeOwned<fw::TForm>(nullptr);
    form->SetClientSize(640, 480);
    draw = fw::MakeComponent<dx::TDXDraw>(form.get());
    draw->SetAutoInitialize(false);
    draw->SetParent(form.get());
    list = fw::MakeComponent<dx::TDXImageList>(form.get());
    const std::string binary = fw::ObjectTextToBinary(forms::FindEmbeddedForm("Unit4ImageList"));
    fw::TBytesStream s(binary.data(), binary.size());
    fw::ReadComponent(s, list, nullptr);
    form->Show();
    draw->SetOptions(dx::TDXDrawOptions{dx::doFullScreen, dx::doAllowReboot, dx::doCenter, dx::doFlip});
    draw->Display()->SetWidth(800);
    draw->Display()->SetHeight(600);
    draw->Display()->SetBitCount(16);
    draw->Initialize();
    list->SetDXDraw(draw);
  }
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

void BM_RebuildSixPictures(benchmark::State& state) {
  Scene& s = TheScene();
  for (auto _ : state) s.list->Items()->Rebuild();
  if (s.list->Items()->Lookup("fon2")->PatternCount() != 1) state.SkipWithError("no patterns");
}

// The body picture keyed onto the back surface, through the item and straight on the surface.
void BM_DrawPattern(benchmark::State& state) {
  Scene& s = TheScene();
  dx::TPictureCollectionItem* item = s.list->Items()->Lookup("img1");
  dx::TDirectDrawSurface* dest = s.draw->Surface();
  int x = 0;
  for (auto _ : state) {
    item->DrawPattern(dest, x, 300, 0);
    x = (x + 7) % 700;
  }
}

void BM_SurfaceDraw(benchmark::State& state) {
  Scene& s = TheScene();
  dx::TPictureCollectionItem* item = s.list->Items()->Lookup("img1");
  dx::TDirectDrawSurface* dest = s.draw->Surface();
  const fw::TRect r = item->PatternRect(0);
  dx::TDirectDrawSurface* src = item->PatternSurface(0);
  int x = 0;
  for (auto _ : state) {
    dest->Draw(x, 300, r, src, true);
    x = (x + 7) % 700;
  }
}

// Alternated, so that the machine's noise falls on both alike.
BENCHMARK(BM_RebuildSixPictures)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawPattern)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_SurfaceDraw)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_DrawPattern)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_SurfaceDraw)->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
