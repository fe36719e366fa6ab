#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

#include "framework/ClassBuilder.h"
#include "framework/Controls.h"
#include "framework/SysUtils.h"

namespace fw {

FW_REGISTER(TControlCanvas, nullptr)

TControlCanvas::TControlCanvas(TControl* AControl) : control_(AControl), font_(std::make_unique<TFont>()) {}

TControlCanvas::~TControlCanvas() = default;

void TControlCanvas::PaintWith(QWidget* Widget, const std::function<void()>& Paint) {
  QPainter p(Widget);
  font_->Assign(control_->Font());
  Brush()->SetColor(control_->Color());
  Brush()->SetStyle(bsSolid);
  pen_pos_ = TPoint{0, 0};
  painter_ = &p;
  try {
    Paint();
  } catch (...) {
    painter_ = nullptr;
    throw;
  }
  painter_ = nullptr;
}

QPainter& TControlCanvas::Active() {
  if (!painter_) throw EInvalidOperation(msg::NoCanvasHandle);
  return *painter_;
}

QPainter* ControlPainter(TControlCanvas& Canvas) { return Canvas.painter_; }

namespace {

QPen PenOf(TPen& pen) {
  if (pen.Style() == psClear) return QPen(Qt::NoPen);
  // Width 1 draws exactly the pixels of the outline, as the device context does.
  QPen p(ToQColor(pen.Color()), std::max(1, pen.Width()));
  if (pen.Width() <= 1) p.setWidth(0);
  if (pen.Style() == psDash) p.setStyle(Qt::DashLine);
  return p;
}

QBrush BrushOf(TBrush& brush) {
  return brush.Style() == bsClear ? QBrush(Qt::NoBrush) : QBrush(ToQColor(brush.Color()));
}

}  // namespace

void TControlCanvas::FillRect(const TRect& Rect) {
  QPainter& p = Active();
  Changing();
  if (Brush()->Style() != bsClear)
    p.fillRect(QRect(Rect.left, Rect.top, RectWidth(Rect), RectHeight(Rect)), ToQColor(Brush()->Color()));
  Changed();
}

void TControlCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
  QPainter& p = Active();
  Changing();
  if (X2 > X1 && Y2 > Y1) {
    p.setPen(Qt::NoPen);
    p.setBrush(BrushOf(*Brush()));
    p.drawRect(X1, Y1, X2 - X1, Y2 - Y1);
    p.setBrush(Qt::NoBrush);
    p.setPen(PenOf(*Pen()));
    // The outline's pixels lie inside the rectangle.
    p.drawRect(X1, Y1, X2 - X1 - 1, Y2 - Y1 - 1);
  }
  Changed();
}

void TControlCanvas::MoveTo(int X, int Y) {
  Active();
  pen_pos_ = TPoint{X, Y};
}

void TControlCanvas::LineTo(int X, int Y) {
  QPainter& p = Active();
  Changing();
  const TPoint from = pen_pos_;
  pen_pos_ = TPoint{X, Y};
  const int dx = X - from.x, dy = Y - from.y;
  const int steps = std::max(std::abs(dx), std::abs(dy));
  if (steps > 0) {
    // The end point is not drawn: stop one step short of it along the major axis.
    const QPointF end(X - static_cast<double>(dx) / steps, Y - static_cast<double>(dy) / steps);
    p.setPen(PenOf(*Pen()));
    p.drawLine(QPointF(from.x, from.y), end);
  }
  Changed();
}

TColor TControlCanvas::Pixel(int, int) {
  // A window's pixels are not kept where they could be read back.
  Active();
  return static_cast<TColor>(-1);
}

void TControlCanvas::SetPixel(int X, int Y, TColor Color) {
  QPainter& p = Active();
  Changing();
  p.fillRect(X, Y, 1, 1, ToQColor(Color));
  Changed();
}

void TControlCanvas::TextOut(int X, int Y, const std::string& Text) {
  QPainter& p = Active();
  Changing();
  const QString s = QString::fromStdString(Text);
  const QFont f = font_->ToQFont();
  const QFontMetrics fm(f);
  const QRect box(X, Y, fm.horizontalAdvance(s), fm.height());
  if (Brush()->Style() != bsClear) p.fillRect(box, ToQColor(Brush()->Color()));
  p.setFont(f);
  p.setPen(ToQColor(font_->Color()));
  p.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, s);
  Changed();
}

void TControlCanvas::TextRect(const TRect& Rect, int X, int Y, const std::string& Text) {
  QPainter& p = Active();
  Changing();
  const QRect clip(Rect.left, Rect.top, RectWidth(Rect), RectHeight(Rect));
  if (Brush()->Style() != bsClear) p.fillRect(clip, ToQColor(Brush()->Color()));
  const QString s = QString::fromStdString(Text);
  const QFont f = font_->ToQFont();
  const QFontMetrics fm(f);
  p.save();
  p.setClipRect(clip, Qt::IntersectClip);
  p.setFont(f);
  p.setPen(ToQColor(font_->Color()));
  p.drawText(QRect(X, Y, fm.horizontalAdvance(s), fm.height()), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, s);
  p.restore();
  Changed();
}

int TControlCanvas::TextWidth(const std::string& Text) const {
  return QFontMetrics(font_->ToQFont()).horizontalAdvance(QString::fromStdString(Text));
}

int TControlCanvas::TextHeight(const std::string&) const { return QFontMetrics(font_->ToQFont()).height(); }

// ---------------------------------------------------------------------------------------------
// TGraphicControl, TCustomControl

FW_REGISTER(TGraphicControl, nullptr)
FW_REGISTER(TCustomControl, nullptr)

TGraphicControl::TGraphicControl(TComponent* AOwner)
    : TControl(AOwner), canvas_(std::make_unique<TControlCanvas>(this)) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::WndProc(TMessage& Message) {
  if (Message.Msg == win::WM_PAINT) {
    QWidget* w = WidgetIfMade();
    if (!w || !w->testAttribute(Qt::WA_WState_InPaintEvent)) return;
    canvas_->PaintWith(w, [this] { Paint(); });
    return;
  }
  TControl::WndProc(Message);
}

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), canvas_(std::make_unique<TControlCanvas>(this)) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::WMPaint(TMessage& Message) {
  QWidget* w = GetClientWidget();
  if (!w || !w->testAttribute(Qt::WA_WState_InPaintEvent)) {
    DefaultHandler(Message);
    return;
  }
  canvas_->PaintWith(w, [this] { Paint(); });
  Message.Result = 0;
}

}  // namespace fw
