#include "framework/ExtCtrls.h"

#include <QImage>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cstring>

#include "framework/ClassBuilder.h"
#include "framework/Forms.h"
#include "platform/win/WinUser.h"

namespace fw {

namespace {

const std::vector<std::string> kBevels = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};

void Frame3D(QPainter& p, QRect& r, const QColor& topLeft, const QColor& bottomRight, int width) {
  for (int i = 0; i < width; ++i) {
    p.setPen(topLeft);
    p.drawLine(r.left(), r.bottom(), r.left(), r.top());
    p.drawLine(r.left(), r.top(), r.right(), r.top());
    p.setPen(bottomRight);
    p.drawLine(r.right(), r.top(), r.right(), r.bottom());
    p.drawLine(r.right(), r.bottom(), r.left(), r.bottom());
    r.adjust(1, 1, -1, -1);
  }
}

void Bevel(QPainter& p, QRect& r, TBevelCut cut, int width) {
  if (cut == bvNone) return;
  QColor hi = ToQColor(clBtnHighlight), sh = ToQColor(clBtnShadow);
  if (cut == bvLowered) Frame3D(p, r, sh, hi, width);
  else if (cut == bvRaised) Frame3D(p, r, hi, sh, width);
  else r.adjust(width, width, -width, -width);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TCustomPanel

FW_REGISTER(TCustomPanel, [](TClassBuilder<TCustomPanel>& b) {
  b.String("Caption", &TCustomPanel::Caption, &TCustomPanel::SetCaption);
  b.Enum("Alignment", {"taLeftJustify", "taRightJustify", "taCenter"}, &TCustomPanel::Alignment,
         &TCustomPanel::SetAlignment)
      .WithDefault(2);
  b.Enum("BevelInner", kBevels, &TCustomPanel::BevelInner, &TCustomPanel::SetBevelInner).WithDefault(0);
  b.Enum("BevelOuter", kBevels, &TCustomPanel::BevelOuter, &TCustomPanel::SetBevelOuter).WithDefault(2);
  b.Integer("BevelWidth", &TCustomPanel::BevelWidth, &TCustomPanel::SetBevelWidth).WithDefault(1);
  b.Integer("BorderWidth", &TCustomPanel::BorderWidth, &TCustomPanel::SetBorderWidth).WithDefault(0);
  b.Enum("BorderStyle", {"bsNone", "bsSingle"}, &TCustomPanel::BorderStyle, &TCustomPanel::SetBorderStyle)
      .WithDefault(0);
})
FW_REGISTER(TPanel, nullptr)

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  SetColorField(clBtnFace);
  UpdateBoundsFields(0, 0, 185, 41);
}

void TCustomPanel::SetAlignment(TAlignment Value) {
  alignment_ = Value;
  Invalidate();
}
void TCustomPanel::SetBevelInner(TBevelCut Value) {
  bevel_inner_ = Value;
  Invalidate();
}
void TCustomPanel::SetBevelOuter(TBevelCut Value) {
  bevel_outer_ = Value;
  Invalidate();
}
void TCustomPanel::SetBevelWidth(int Value) {
  bevel_width_ = std::max(1, Value);
  Invalidate();
}
void TCustomPanel::SetBorderWidth(int Value) {
  border_width_ = std::max(0, Value);
  Invalidate();
}
void TCustomPanel::SetBorderStyle(TBorderStyle Value) {
  border_style_ = Value;
  Invalidate();
}

void TCustomPanel::Paint() {
  QPainter* p = ControlPainter(*Canvas());
  if (!p) return;
  QRect r(0, 0, Width(), Height());
  p->fillRect(r, ToQColor(Color()));
  if (border_style_ == TBorderStyle::bsSingle) Frame3D(*p, r, ToQColor(clWindowFrame), ToQColor(clWindowFrame), 1);
  Bevel(*p, r, bevel_outer_, bevel_width_);
  r.adjust(border_width_, border_width_, -border_width_, -border_width_);
  Bevel(*p, r, bevel_inner_, bevel_width_);
  if (!Caption().empty()) {
    p->setFont(Font()->ToQFont());
    p->setPen(ToQColor(Font()->Color()));
    Qt::Alignment h = alignment_ == taLeftJustify ? Qt::AlignLeft : alignment_ == taRightJustify ? Qt::AlignRight : Qt::AlignHCenter;
    p->drawText(r, static_cast<int>(h | Qt::AlignVCenter), QString::fromStdString(Caption()));
  }
}

// ---------------------------------------------------------------------------------------------
// TShape

FW_REGISTER(TShape, [](TClassBuilder<TShape>& b) {
  b.Object("Brush", &TShape::Brush);
  b.Object("Pen", &TShape::Pen);
  b.Enum("Shape", {"stRectangle", "stSquare", "stRoundRect", "stRoundSquare", "stEllipse", "stCircle"},
         &TShape::Shape, &TShape::SetShape)
      .WithDefault(0);
})

TShape::TShape(TComponent* AOwner)
    : TGraphicControl(AOwner), brush_(std::make_unique<TBrush>()), pen_(std::make_unique<TPen>()) {
  UpdateBoundsFields(0, 0, 65, 65);
  brush_->OnChange = [this](TObject*) { Invalidate(); };
  pen_->OnChange = [this](TObject*) { Invalidate(); };
}

TShape::~TShape() = default;

void TShape::SetShape(TShapeType Value) {
  shape_ = Value;
  Invalidate();
}

void TShape::Paint() {
  QPainter* p = ControlPainter(*Canvas());
  if (!p) return;
  // As the platform draws it: the pen centred on the outline, right and bottom edges exclusive.
  int pw = pen_->Style() == psClear ? 0 : pen_->Width();
  int x = pw / 2, y = x;
  int w = Width() - pw + 1, h = Height() - pw + 1;
  if (pw == 0) {
    --w;
    --h;
  }
  if (shape_ == stSquare || shape_ == stRoundSquare || shape_ == stCircle) {
    int m = std::min(w, h);
    x += (w - m) / 2;
    y += (h - m) / 2;
    w = h = m;
  }
  p->setRenderHint(QPainter::Antialiasing, shape_ == stEllipse || shape_ == stCircle);
  QRectF r(x, y, std::max(0, w - 1), std::max(0, h - 1));
  p->setBrush(brush_->Style() == bsClear ? QBrush(Qt::NoBrush) : QBrush(ToQColor(brush_->Color())));
  if (pw == 0) p->setPen(Qt::NoPen);
  else p->setPen(QPen(ToQColor(pen_->Color()), pw));
  switch (shape_) {
    case stEllipse:
    case stCircle:
      p->drawEllipse(r);
      break;
    case stRoundRect:
    case stRoundSquare: {
      double rad = std::min(w, h) / 8.0;
      p->drawRoundedRect(r, rad, rad);
      break;
    }
    default:
      if (pw == 0) p->fillRect(QRect(x, y, std::max(0, w), std::max(0, h)), p->brush());
      else p->drawRect(r);
  }
}

// ---------------------------------------------------------------------------------------------
// TImage

FW_REGISTER(TImage, [](TClassBuilder<TImage>& b) {
  b.Boolean("AutoSize", &TImage::AutoSize, &TImage::SetAutoSize).WithDefault(0);
  b.Boolean("Center", &TImage::Center, &TImage::SetCenter).WithDefault(0);
  b.Object("Picture", &TImage::Picture);
  b.Boolean("Proportional", &TImage::Proportional, &TImage::SetProportional).WithDefault(0);
  b.Boolean("Stretch", &TImage::Stretch, &TImage::SetStretch).WithDefault(0);
  b.Boolean("Transparent", &TImage::Transparent, &TImage::SetTransparent).WithDefault(0);
})

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner), picture_(std::make_unique<TPicture>()) {
  UpdateBoundsFields(0, 0, 105, 105);
  picture_->OnChange = [this](TObject*) { PictureChanged(); };
}

TImage::~TImage() = default;

void TImage::PictureChanged() {
  if (auto_size_ && picture_->Width() > 0 && picture_->Height() > 0)
    SetBounds(Left(), Top(), picture_->Width(), picture_->Height());
  Invalidate();
}

void TImage::SetStretch(bool Value) {
  stretch_ = Value;
  Invalidate();
}
void TImage::SetCenter(bool Value) {
  center_ = Value;
  Invalidate();
}
void TImage::SetProportional(bool Value) {
  proportional_ = Value;
  Invalidate();
}
void TImage::SetTransparent(bool Value) {
  transparent_ = Value;
  if (TGraphic* g = picture_->Graphic()) g->SetTransparent(Value);
  Invalidate();
}
void TImage::SetAutoSize(bool Value) {
  auto_size_ = Value;
  PictureChanged();
}

TRect TImage::DestRect() const {
  int w = picture_->Width(), h = picture_->Height();
  int cw = Width(), ch = Height();
  if (stretch_ || (proportional_ && (w > cw || h > ch))) {
    if (proportional_ && w > 0 && h > 0) {
      double s = std::min(static_cast<double>(cw) / w, static_cast<double>(ch) / h);
      w = static_cast<int>(w * s);
      h = static_cast<int>(h * s);
    } else {
      w = cw;
      h = ch;
    }
  }
  if (center_) return Bounds((cw - w) / 2, (ch - h) / 2, w, h);
  return Bounds(0, 0, w, h);
}

std::vector<std::uint32_t> TImage::RenderPixels() {
  int cw = Width(), ch = Height();
  std::vector<std::uint32_t> out(static_cast<std::size_t>(std::max(0, cw)) * static_cast<std::size_t>(std::max(0, ch)),
                                 static_cast<std::uint32_t>(ColorToRGB(Parent() ? Parent()->Color() : clBtnFace)));
  TGraphic* g = picture_->Graphic();
  if (cw <= 0 || ch <= 0 || !g || g->Empty()) return out;
  // The graphic draws itself through a canvas onto a memory bitmap; its pixels are shown.
  TBitmap bmp;
  bmp.SetPixelFormat(pf32bit);
  bmp.SetSize(cw, ch);
  TCanvas* c = bmp.Canvas();
  c->Brush()->SetColor(ColorToRGB(Parent() ? Parent()->Color() : clBtnFace));
  c->FillRect(Rect(0, 0, cw, ch));
  c->StretchDraw(DestRect(), g);
  for (int y = 0; y < ch; ++y) {
    auto* row = static_cast<const std::uint8_t*>(bmp.ScanLine(y));
    if (!row) break;
    for (int x = 0; x < cw; ++x) {
      const std::uint8_t* px = row + 4 * x;  // blue, green, red, reserved
      out[static_cast<std::size_t>(y) * cw + x] =
          (static_cast<std::uint32_t>(px[2]) << 16) | (static_cast<std::uint32_t>(px[1]) << 8) | px[0];
    }
  }
  return out;
}

void TImage::Paint() {
  QPainter* p = ControlPainter(*Canvas());
  if (!p) return;
  TGraphic* g = picture_->Graphic();
  if (!g || g->Empty() || Width() <= 0 || Height() <= 0) return;
  std::vector<std::uint32_t> px = RenderPixels();
  QImage img(reinterpret_cast<const uchar*>(px.data()), Width(), Height(), Width() * 4, QImage::Format_RGB32);
  if (transparent_) {
    TRect d = DestRect();
    p->drawImage(QRect(d.left, d.top, d.right - d.left, d.bottom - d.top),
                 img.copy(d.left, d.top, d.right - d.left, d.bottom - d.top));
  } else {
    p->drawImage(0, 0, img);
  }
}

// ---------------------------------------------------------------------------------------------
// TTimer

FW_REGISTER(TTimer, [](TClassBuilder<TTimer>& b) {
  b.Boolean("Enabled", &TTimer::Enabled, &TTimer::SetEnabled).WithDefault(1);
  b.Integer("Interval", &TTimer::Interval, &TTimer::SetInterval).WithDefault(1000);
  b.Event("OnTimer", &TTimer::OnTimer);
})

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
  static bool registered = false;
  if (!registered) {
    win::WNDCLASSA wc;
    wc.lpfnWndProc = &TTimer::TimerWndProc;
    wc.lpszClassName = "TTimerWindow";
    win::RegisterClassA(&wc);
    registered = true;
  }
  handle_ = win::CreateWindowExA(0, "TTimerWindow", "", win::WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, this);
  UpdateTimer();
}

TTimer::~TTimer() {
  if (handle_) {
    win::HWND h = handle_;
    handle_ = nullptr;
    win::SetWindowLongPtrA(h, win::GWLP_USERDATA, 0);
    win::DestroyWindow(h);
  }
}

win::LRESULT TTimer::TimerWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam) {
  if (msg == win::WM_CREATE && lParam) {
    auto* cs = reinterpret_cast<win::CREATESTRUCTA*>(lParam);
    win::SetWindowLongPtrA(hwnd, win::GWLP_USERDATA, reinterpret_cast<win::LONG_PTR>(cs->lpCreateParams));
    return 0;
  }
  auto* self = reinterpret_cast<TTimer*>(win::GetWindowLongPtrA(hwnd, win::GWLP_USERDATA));
  if (msg == win::WM_TIMER && self) {
    // An exception in the handler goes to the application's default handler; the timer goes on.
    try {
      self->Timer();
    } catch (...) {
      GetApplication()->HandleException(std::current_exception(), self);
    }
    return 0;
  }
  return win::DefWindowProcA(hwnd, msg, wParam, lParam);
}

void TTimer::UpdateTimer() {
  if (!handle_) return;
  win::KillTimer(handle_, 1);
  if (interval_ != 0 && enabled_) win::SetTimer(handle_, 1, interval_, nullptr);
}

bool TTimer::Running() const { return handle_ && win::TimerExists(handle_, 1); }

void TTimer::SetEnabled(bool Value) {
  if (enabled_ == Value) return;
  enabled_ = Value;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned Value) {
  if (interval_ == Value) return;
  interval_ = Value;
  UpdateTimer();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  UpdateTimer();
}

void TTimer::Timer() {
  if (OnTimer) OnTimer(this);
}

}  // namespace fw
