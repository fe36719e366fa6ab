// The display read from a stored form: it comes up when the form is first shown, switches
// between full screen and a window, and in 8-bit modes shows its colour table.
#include <gtest/gtest.h>

#include <QImage>

#include "dx/DXClass.h"
#include "dx/DXDraws.h"
#include "dx/DXDrawsDisplay.h"
#include "framework/ClassBuilder.h"
#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/DDrawPresent.h"
#include "platform/gdi/Gdi.h"
#include "platform/win/QtWindows.h"
#include "platform/win/WinUserTesting.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace dx;

class TDisplayForm : public TDXForm {
  FW_CLASS(TDisplayForm, TDXForm)
 public:
  explicit TDisplayForm(fw::TComponent* AOwner) : TDXForm(AOwner) {
    LoadFromDescription(R"(object DisplayForm: TDisplayForm
  Left = 100
  Top = 80
  BorderStyle = bsSingle
  ClientHeight = 454
  ClientWidth = 640
  Caption = 'Sprix Sample'
  object DXDraw: TDXDraw
    Left = 0
    Top = -118
    Width = 640
    Height = 572
    AutoInitialize = True
    AutoSize = True
    Display.FixedBitCount = True
    Display.FixedRatio = True
    Display.FixedSize = False
    Display.Width = 800
    Display.Height = 600
    Display.BitCount = 16
    Options = [doFullScreen, doAllowReboot, doWaitVBlank, doCenter, doFlip]
    SurfaceHeight = 572
    OnInitialize = DXDrawInitialize
    OnFinalize = DXDrawFinalize
    Align = alBottom
  end
end
)");
  }
  void DXDrawInitialize(fw::TObject*) { ++Ups; }
  void DXDrawFinalize(fw::TObject*) { ++Downs; }

  TDXDraw* DXDraw = nullptr;
  int Ups = 0;
  int Downs = 0;
};

FW_REGISTER(TDisplayForm, [](fw::TClassBuilder<TDisplayForm>& b) {
  b.Field("DXDraw", &TDisplayForm::DXDraw);
  b.Method("DXDrawInitialize", &TDisplayForm::DXDrawInitialize);
  b.Method("DXDrawFinalize", &TDisplayForm::DXDrawFinalize);
})

class DXDrawLoadingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication();
    ddraw::ResetAdapters();
  }
  void TearDown() override { ddraw::ResetAdapters(); }
};

TEST_F(DXDrawLoadingTest, TheStoredDisplayComesUpWhenItsFormIsFirstShownAndSwitchesModes) {
  auto form = fw::MakeOwned<TDisplayForm>(nullptr);
  TDXDraw* d = form->DXDraw;
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->Options(), (TDXDrawOptions{doFullScreen, doAllowReboot, doWaitVBlank, doCenter, doFlip}));
  EXPECT_EQ(d->Display()->Width(), 800);
  EXPECT_EQ(d->Display()->BitCount(), 16);
  EXPECT_FALSE(d->InitializeAttempted()) << "on a form it waits for the form's window";
  EXPECT_EQ(d->SurfaceHeight(), d->Height()) << "AutoSize takes the control's size when loading ends";

  form->Show();
  EXPECT_TRUE(d->InitializeAttempted());
  ASSERT_TRUE(d->Initialized());
  EXPECT_EQ(form->Ups, 1);
  EXPECT_NE(dynamic_cast<TDXDrawDriverFlip*>(d->Driver()), nullptr);
  EXPECT_TRUE(win::IsFullScreenWindow(form->Handle()));
  EXPECT_EQ(d->Surface()->Width(), 800);
  EXPECT_EQ(d->Surface()->BitCount(), 16);
  ASSERT_TRUE(d->CanDraw());

  // Another application takes the screen: nothing can be drawn until we are back, and then the
  // surfaces are restored for the next frame.
  int restores = 0;
  d->OnRestoreSurface = [&](fw::TObject*) { ++restores; };
  win::SimulateAppSwitch(nullptr);
  EXPECT_FALSE(win::IsFullScreenWindow(form->Handle()));
  EXPECT_FALSE(d->CanDraw());
  win::SimulateAppSwitch(form->Handle());
  EXPECT_TRUE(win::IsFullScreenWindow(form->Handle()));
  EXPECT_TRUE(d->CanDraw());
  EXPECT_GE(restores, 1);
  d->OnRestoreSurface.Clear();

  // Showing again does not initialize again.
  form->Hide();
  form->Show();
  EXPECT_EQ(form->Ups, 1);

  // To a window and back, as Alt+Enter does it.
  d->Finalize();
  EXPECT_EQ(form->Downs, 1);
  EXPECT_FALSE(win::IsFullScreenWindow(form->Handle()));
  d->SetOptions(d->Options() - TDXDrawOptions{doFullScreen});
  d->Initialize();
  EXPECT_NE(dynamic_cast<TDXDrawDriverBlt*>(d->Driver()), nullptr);
  EXPECT_FALSE(win::IsFullScreenWindow(form->Handle()));
  EXPECT_EQ(d->Surface()->Width(), d->Width());
  EXPECT_TRUE(d->CanDraw());
  d->Finalize();
  d->SetOptions(d->Options() + TDXDrawOptions{doFullScreen});
  d->Initialize();
  EXPECT_TRUE(win::IsFullScreenWindow(form->Handle()));
  EXPECT_EQ(form->Ups, 3);

  // Destroying the form's window takes the display down.
  form->DestroyHandle();
  EXPECT_FALSE(d->Initialized());
  EXPECT_EQ(form->Downs, 3);
}

TEST_F(DXDrawLoadingTest, EightBitModesShowTheColourTableWithTheSystemsStaticColours) {
  auto form = fw::MakeOwned<fw::TForm>(nullptr);
  form->SetBounds(0, 0, 400, 300);
  auto* d = fw::MakeComponent<TDXDraw>(form.get());
  d->SetAutoInitialize(false);
  d->SetParent(form.get());
  d->SetOptions(TDXDrawOptions{doFullScreen, doFlip});
  d->Display()->SetWidth(640);
  d->Display()->SetHeight(480);
  d->Display()->SetBitCount(8);
  form->Show();
  d->Initialize();
  ASSERT_TRUE(d->CanDraw());
  ASSERT_EQ(d->Surface()->BitCount(), 8);
  for (auto& q : d->ColorTable) q = win::RGBQUAD{30, 20, 10, 0};  // blue, green, red
  d->ColorTable[200] = win::RGBQUAD{0, 0, 255, 0};
  d->UpdatePalette();

  win::PALETTEENTRY got[256], sys[256];
  ASSERT_TRUE(d->Palette()->GetEntries(0, 256, got));
  win::HDC screen = gdi::GetScreenDC();
  ASSERT_EQ(gdi::GetSystemPaletteEntries(screen, 0, 256, sys), 256u);
  gdi::ReleaseScreenDC(screen);
  // The static colours survive the table: white at the top, dark red at 1.
  EXPECT_EQ(got[255].peRed, 255);
  EXPECT_EQ(got[255].peGreen, 255);
  EXPECT_EQ(got[255].peBlue, 255);
  EXPECT_EQ(got[1].peRed, 128);
  EXPECT_EQ(got[100].peRed, 10);
  EXPECT_EQ(got[100].peGreen, 20);
  EXPECT_EQ(got[100].peBlue, 30);
  EXPECT_EQ(got[100].peFlags, 0x40);
  EXPECT_EQ(got[200].peRed, 255);
  for (int i : {0, 9, 246, 255}) {
    EXPECT_EQ(got[i].peRed, sys[i].peRed) << i;
    EXPECT_EQ(got[i].peBlue, sys[i].peBlue) << i;
  }

  // The frame shows through the palette; the surface keeps its indices.
  for (int frame = 0; frame < 2; ++frame) {
    d->Surface()->Fill(200);
    d->Flip();
  }
  const QImage shown = ddraw::GrabWindow(form->Handle());
  EXPECT_EQ(shown.pixel(shown.width() / 2, shown.height() / 2) & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(d->Surface()->Pixels(5, 5), 200u);

  // All 256 entries are the program's only when it asks for them (taking effect on the next
  // initialize).
  d->Finalize();
  d->SetOptions(d->Options() + TDXDrawOptions{doAllowPalette256});
  d->Initialize();
  for (auto& q : d->ColorTable) q = win::RGBQUAD{30, 20, 10, 0};
  d->UpdatePalette();
  ASSERT_TRUE(d->Palette()->GetEntries(0, 256, got));
  EXPECT_EQ(got[0].peRed, 10);
  EXPECT_EQ(got[255].peBlue, 30);
  d->Finalize();
}

}  // namespace
