// The canvas controls paint themselves with: it draws on the window while the window paints,
// with the device context's rules for lines and rectangles, and refuses to draw otherwise.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QWidget>

#include <functional>

#include "framework/ClassBuilder.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "tests/support/QtTestApp.h"

namespace tf {

using namespace fw;

class TCanvasProbe : public TCustomControl {
  FW_CLASS(TCanvasProbe, TCustomControl)
 public:
  explicit TCanvasProbe(TComponent* AOwner) : TCustomControl(AOwner) {}
  std::function<void(TControlCanvas&)> Painter;
  TControlCanvas* ProbeCanvas() const { return Canvas(); }

 protected:
  void Paint() override {
    if (Painter) Painter(*Canvas());
  }
};

FW_REGISTER(TCanvasProbe, nullptr)

class ControlCanvas : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication();
    form_ = MakeOwned<TForm>(nullptr);
    form_->SetBounds(20, 20, 240, 200);
    probe_ = MakeComponent<TCanvasProbe>(form_.get());
    probe_->SetBounds(10, 10, 60, 40);
    probe_->SetColor(clYellow);
    probe_->SetParent(form_.get());
    form_->Show();
  }
  QImage Shot() { return probe_->WidgetIfMade()->grab().toImage(); }

  TOwned<TForm> form_;
  TCanvasProbe* probe_ = nullptr;
};

TEST_F(ControlCanvas, DrawsWithTheDeviceContextRules) {
  probe_->Painter = [](TControlCanvas& c) {
    // The brush starts as the control's colour.
    c.FillRect(Rect(0, 0, 60, 40));
    c.Brush()->SetStyle(bsClear);
    c.Pen()->SetColor(clBlack);
    c.Rectangle(5, 5, 15, 12);
    c.MoveTo(20, 2);
    c.LineTo(30, 2);
    c.MoveTo(40, 5);
    c.LineTo(40, 15);
    c.SetPixel(50, 30, clRed);
    c.Brush()->SetStyle(bsSolid);
    c.Brush()->SetColor(clLime);
    c.Rectangle(20, 20, 30, 30);
  };
  const QImage img = Shot();
  ASSERT_EQ(img.width(), 60);
  const QColor yellow(255, 255, 0), black(0, 0, 0);
  EXPECT_EQ(img.pixelColor(0, 0), yellow);
  EXPECT_EQ(img.pixelColor(59, 39), yellow);
  // Rectangle: the outline inside (5,5)-(15,12), right and bottom exclusive; a clear brush
  // leaves the inside alone.
  EXPECT_EQ(img.pixelColor(5, 5), black);
  EXPECT_EQ(img.pixelColor(14, 11), black);
  EXPECT_EQ(img.pixelColor(15, 11), yellow);
  EXPECT_EQ(img.pixelColor(14, 12), yellow);
  EXPECT_EQ(img.pixelColor(10, 8), yellow);
  // Lines stop before their end point, across and down.
  EXPECT_EQ(img.pixelColor(20, 2), black);
  EXPECT_EQ(img.pixelColor(29, 2), black);
  EXPECT_EQ(img.pixelColor(30, 2), yellow);
  EXPECT_EQ(img.pixelColor(40, 14), black);
  EXPECT_EQ(img.pixelColor(40, 15), yellow);
  EXPECT_EQ(img.pixelColor(50, 30), QColor(255, 0, 0));
  // A solid brush fills the inside.
  EXPECT_EQ(img.pixelColor(25, 25), QColor(0, 255, 0));
  EXPECT_EQ(img.pixelColor(20, 20), black);
  EXPECT_EQ(img.pixelColor(30, 30), yellow);
}

TEST_F(ControlCanvas, TextTakesTheControlsFontOverTheBrush) {
  probe_->Font()->SetColor(clBlue);
  int width = 0, height = 0;
  probe_->Painter = [&](TControlCanvas& c) {
    EXPECT_EQ(c.Font()->Color(), clBlue);
    width = c.TextWidth("WWW");
    height = c.TextHeight("WWW");
    c.FillRect(Rect(0, 0, 60, 40));
    c.Brush()->SetColor(clWhite);
    c.TextOut(2, 2, "WWW");
  };
  const QImage img = Shot();
  ASSERT_GT(width, 6);
  ASSERT_GT(height, 6);
  // The text's box is filled with the brush, the letters are in the font's colour, and
  // nothing lies outside the box.
  int blueish = 0, white = 0;
  for (int y = 2; y < 2 + height; ++y)
    for (int x = 2; x < 2 + width; ++x) {
      const QColor p = img.pixelColor(x, y);
      if (p == QColor(255, 255, 255)) ++white;
      else if (p.blue() > p.red() + 40) ++blueish;
    }
  EXPECT_GT(white, 0);
  EXPECT_GT(blueish, 0);
  EXPECT_EQ(img.pixelColor(2 + width + 1, 2), QColor(255, 255, 0));
}

TEST_F(ControlCanvas, RefusesToDrawWhenTheWindowIsNotPainting) {
  TControlCanvas* c = probe_->ProbeCanvas();
  EXPECT_FALSE(c->Painting());
  EXPECT_THROW(c->FillRect(Rect(0, 0, 1, 1)), EInvalidOperation);
  EXPECT_THROW(c->LineTo(5, 5), EInvalidOperation);
  EXPECT_THROW(c->TextOut(0, 0, "x"), EInvalidOperation);
  // An exception out of Paint leaves the canvas off the window too.
  testsupport::MessageBoxRecorder boxes;
  bool painted = false;
  probe_->Painter = [&](TControlCanvas& canvas) {
    painted = canvas.Painting();
    throw Exception("paint failed");
  };
  Shot();
  EXPECT_TRUE(painted);
  EXPECT_FALSE(boxes.Boxes.empty());
  EXPECT_FALSE(c->Painting());
  EXPECT_THROW(c->SetPixel(0, 0, clRed), EInvalidOperation);
}

}  // namespace tf
