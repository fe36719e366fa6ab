#include "framework/Controls.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include <algorithm>

#include "framework/ClassBuilder.h"
#include "platform/win/QtWindows.h"
#include "platform/win/WinUser.h"

namespace fw {

// ---------------------------------------------------------------------------------------------
// Cursors

namespace {

struct CursorName {
  TCursor Cursor;
  const char* Name;
  win::UINT_PTR Resource;
};
constexpr CursorName kCursors[] = {
    {crDefault, "crDefault", win::IDC_ARROW},   {crNone, "crNone", 0},
    {crArrow, "crArrow", win::IDC_ARROW},       {crCross, "crCross", win::IDC_CROSS},
    {crIBeam, "crIBeam", win::IDC_IBEAM},       {crSizeNESW, "crSizeNESW", win::IDC_SIZENESW},
    {crSizeNS, "crSizeNS", win::IDC_SIZENS},    {crSizeNWSE, "crSizeNWSE", win::IDC_SIZENWSE},
    {crSizeWE, "crSizeWE", win::IDC_SIZEWE},    {crUpArrow, "crUpArrow", win::IDC_UPARROW},
    {crHourGlass, "crHourGlass", win::IDC_WAIT}, {crNo, "crNo", win::IDC_NO},
    {crAppStart, "crAppStart", win::IDC_APPSTARTING}, {crHelp, "crHelp", win::IDC_HELP},
    {crHandPoint, "crHandPoint", win::IDC_HAND}, {crSizeAll, "crSizeAll", win::IDC_SIZEALL},
};

}  // namespace

bool CursorToIdent(TCursor Cursor, std::string& Ident) {
  for (const auto& c : kCursors)
    if (c.Cursor == Cursor) {
      Ident = c.Name;
      return true;
    }
  return false;
}

bool IdentToCursor(const std::string& Ident, TCursor& Cursor) {
  for (const auto& c : kCursors)
    if (AnsiSameText(Ident, c.Name)) {
      Cursor = c.Cursor;
      return true;
    }
  return false;
}

win::HCURSOR CursorHandle(TCursor Cursor) {
  for (const auto& c : kCursors)
    if (c.Cursor == Cursor) return c.Resource ? win::LoadCursorA(nullptr, c.Resource) : nullptr;
  return win::LoadCursorA(nullptr, win::IDC_ARROW);
}

TShiftState KeysToShiftState(win::WPARAM Keys) {
  TShiftState s;
  if (Keys & win::MK_SHIFT) s.Include(ssShift);
  if (Keys & win::MK_CONTROL) s.Include(ssCtrl);
  if (Keys & win::MK_LBUTTON) s.Include(ssLeft);
  if (Keys & win::MK_RBUTTON) s.Include(ssRight);
  if (Keys & win::MK_MBUTTON) s.Include(ssMiddle);
  if (win::GetKeyState(win::VK_MENU) < 0) s.Include(ssAlt);
  return s;
}

TShiftState KeyDataToShiftState(win::LPARAM KeyData) {
  TShiftState s;
  if (win::GetKeyState(win::VK_SHIFT) < 0) s.Include(ssShift);
  if (win::GetKeyState(win::VK_CONTROL) < 0) s.Include(ssCtrl);
  if (static_cast<win::DWORD>(KeyData) & (1u << 29)) s.Include(ssAlt);
  return s;
}

QColor ToQColor(TColor Color) {
  TColor rgb = ColorToRGB(Color);
  return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

namespace {

// Mouse and paint events of a graphic control's widget become messages of the control.
class GraphicEvents : public QObject {
 public:
  explicit GraphicEvents(TControl* c) : control_(c) {}
  bool eventFilter(QObject* obj, QEvent* ev) override;

 private:
  TControl* control_;
};

win::LPARAM PointParam(const QPoint& p) {
  return win::MAKELPARAM(static_cast<win::WORD>(p.x()), static_cast<win::WORD>(p.y()));
}

bool GraphicEvents::eventFilter(QObject* obj, QEvent* ev) {
  auto* w = qobject_cast<QWidget*>(obj);
  if (!w) return false;
  win::UINT msg = 0;
  win::WPARAM wp = 0;
  win::LPARAM lp = 0;
  switch (ev->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
      auto* me = static_cast<QMouseEvent*>(ev);
      const QPoint p = me->position().toPoint();
      win::MSG m{};
      if (!win::TranslateMouseEvent(*me, p.x(), p.y(), m)) return false;
      msg = m.message;
      wp = m.wParam;
      lp = m.lParam;
      break;
    }
    case QEvent::ContextMenu: {
      auto* ce = static_cast<QContextMenuEvent*>(ev);
      msg = win::WM_CONTEXTMENU;
      lp = PointParam(ce->globalPos());
      break;
    }
    case QEvent::Paint:
      msg = win::WM_PAINT;
      break;
    default:
      return false;
  }
  TControl* c = control_;
  win::GuardedCall([&] { c->Perform(msg, wp, lp); });
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TControl

struct TControl::WidgetRef {
  QPointer<QWidget> w;
};

QWidget* TControl::WidgetIfMade() const { return widget_->w.data(); }

FW_REGISTER(TControl, [](TClassBuilder<TControl>& b) {
  b.Integer("Left", &TControl::Left, &TControl::SetLeft);
  b.Integer("Top", &TControl::Top, &TControl::SetTop);
  b.Integer("Width", &TControl::Width, &TControl::SetWidth);
  b.Integer("Height", &TControl::Height, &TControl::SetHeight);
  b.Enum("Align", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"}, &TControl::Align,
         &TControl::SetAlign)
      .WithDefault(0);
  b.Boolean("Enabled", &TControl::Enabled, &TControl::SetEnabled).WithDefault(1);
  b.Boolean("Visible", &TControl::Visible, &TControl::SetVisible).WithDefault(1);
  b.Color("Color", &TControl::Color, &TControl::SetColor);
  b.Boolean("ParentColor", &TControl::ParentColor, &TControl::SetParentColor);
  b.Object("Font", &TControl::Font);
  b.Boolean("ParentFont", &TControl::ParentFont, &TControl::SetParentFont);
  TPropInfo& cur = b.Integer("Cursor", &TControl::Cursor, &TControl::SetCursor).WithDefault(0);
  cur.IntToIdent = [](std::int64_t v, std::string& s) { return CursorToIdent(static_cast<TCursor>(v), s); };
  cur.IdentToInt = [](const std::string& s, std::int64_t& v) {
    TCursor c;
    if (!IdentToCursor(s, c)) return false;
    v = c;
    return true;
  };
  b.String("Hint", &TControl::Hint, &TControl::SetHint);
  b.Boolean("ShowHint", &TControl::ShowHint, &TControl::SetShowHint).WithDefault(0);
  b.Event("OnClick", &TControl::OnClick);
  b.Event("OnDblClick", &TControl::OnDblClick);
  b.Event("OnMouseDown", &TControl::OnMouseDown);
  b.Event("OnMouseUp", &TControl::OnMouseUp);
  b.Event("OnMouseMove", &TControl::OnMouseMove);
  b.Event("OnContextPopup", &TControl::OnContextPopup);
  b.Event("OnResize", &TControl::OnResize);
})

TControl::TControl(TComponent* AOwner)
    : TComponent(AOwner), font_(std::make_unique<TFont>()), widget_(std::make_unique<WidgetRef>()) {
  WindowProc = [this](TMessage& m) { WndProc(m); };
  font_->OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
  if (parent_) parent_->RemoveControl(this);
  ReleaseWidget();
}

win::LRESULT TControl::Perform(win::UINT Msg, win::WPARAM WParam, win::LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  if (WindowProc) WindowProc(m);
  else WndProc(m);
  return m.Result;
}

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == parent_) return;
  if (AParent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (parent_) parent_->RemoveControl(this);
  if (AParent) AParent->InsertControl(this);
}

void TControl::SetParentComponent(TComponent* Value) {
  if (auto* wc = dynamic_cast<TWinControl*>(Value)) SetParent(wc);
}

TComponent* TControl::GetParentComponent() const { return parent_; }

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (ALeft == left_ && ATop == top_ && AWidth == width_ && AHeight == height_) return;
  bool resized = AWidth != width_ || AHeight != height_;
  left_ = ALeft;
  top_ = ATop;
  width_ = AWidth;
  height_ = AHeight;
  ApplyBounds();
  if (parent_) parent_->ChildBoundsChanged(this);
  if (resized && !Loading()) Resize();
}

void TControl::UpdateBoundsFields(int ALeft, int ATop, int AWidth, int AHeight) {
  bool resized = AWidth != width_ || AHeight != height_;
  left_ = ALeft;
  top_ = ATop;
  width_ = AWidth;
  height_ = AHeight;
  if (resized && !Loading()) Resize();
}

void TControl::SetClientSize(int AWidth, int AHeight) {
  SetBounds(left_, top_, width_ + AWidth - ClientWidth(), height_ + AHeight - ClientHeight());
}

TPoint TControl::ClientOrigin() const {
  if (!parent_) return TPoint{left_, top_};
  TPoint p = parent_->ClientOrigin();
  return TPoint{p.x + left_, p.y + top_};
}

TPoint TControl::ClientToScreen(const TPoint& Point) const {
  TPoint o = ClientOrigin();
  return TPoint{Point.x + o.x, Point.y + o.y};
}

TPoint TControl::ScreenToClient(const TPoint& Point) const {
  TPoint o = ClientOrigin();
  return TPoint{Point.x - o.x, Point.y - o.y};
}

void TControl::SetVisible(bool Value) {
  if (visible_ == Value) return;
  VisibleChanging();
  visible_ = Value;
  ApplyVisible();
  if (parent_) parent_->ChildBoundsChanged(this);
}

bool TControl::Showing() const {
  if (!visible_) return false;
  return parent_ ? parent_->Showing() : (widget_->w && widget_->w->isVisible());
}

void TControl::SetEnabled(bool Value) {
  if (enabled_ == Value) return;
  enabled_ = Value;
  ApplyEnabled();
}

void TControl::SetColor(TColor Value) {
  if (color_ == Value) return;
  color_ = Value;
  parent_color_ = false;
  ColorChanged();
}

void TControl::SetParentColor(bool Value) {
  if (parent_color_ == Value) return;
  parent_color_ = Value;
  if (Value && parent_) ParentColorChanged();
}

void TControl::ParentColorChanged() {
  if (!parent_color_ || !parent_) return;
  color_ = parent_->Color();
  ColorChanged();
}

void TControl::ColorChanged() {
  ApplyColor();
  if (auto* wc = dynamic_cast<TWinControl*>(this))
    for (TControl* c : wc->controls_) c->ParentColorChanged();
}

void TControl::SetParentFont(bool Value) {
  if (parent_font_ == Value) return;
  parent_font_ = Value;
  if (Value && parent_) ParentFontChanged();
}

void TControl::ParentFontChanged() {
  if (!parent_font_ || !parent_) return;
  // The assignment announces a change (and so reaches FontChanged) only when there is one.
  applying_parent_ = true;
  try {
    font_->Assign(parent_->Font());
  } catch (...) {
    applying_parent_ = false;
    throw;
  }
  applying_parent_ = false;
}

void TControl::FontChanged() {
  if (!applying_parent_) parent_font_ = false;
  ApplyFont();
  if (auto* wc = dynamic_cast<TWinControl*>(this))
    for (TControl* c : wc->controls_) c->ParentFontChanged();
}

void TControl::SetCursor(TCursor Value) {
  if (cursor_ == Value) return;
  cursor_ = Value;
  ApplyCursor();
}

void TControl::SetAlign(TAlign Value) {
  if (align_ == Value) return;
  align_ = Value;
  if (parent_) parent_->Realign();
}

void TControl::SetText(const std::string& Value) {
  if (text_ == Value) return;
  text_ = Value;
  ApplyText();
  TextChanged();
}

QWidget* TControl::Widget() {
  if (!widget_->w) MakeWidget();
  return widget_->w;
}

void TControl::MakeWidget() {
  if (widget_->w || making_widget_) return;
  QWidget* pw = nullptr;
  if (parent_) {
    pw = parent_->ClientWidget();
    if (!pw) return;
  } else if (!IsTopLevel()) {
    return;  // a control without a parent has nowhere to show
  }
  if (!QApplication::instance()) return;
  making_widget_ = true;
  QWidget* w = nullptr;
  try {
    w = CreateWidget(pw);
  } catch (...) {
    making_widget_ = false;
    throw;
  }
  making_widget_ = false;
  if (!w) return;
  widget_->w = w;
  if (!dynamic_cast<TWinControl*>(this)) {
    // Controls without a window lie below the windowed ones of their parent, as they are drawn
    // on the parent's own surface.
    if (parent_)
      for (TControl* c : parent_->controls_)
        if (c != this && dynamic_cast<TWinControl*>(c) && c->WidgetIfMade()) {
          w->stackUnder(c->WidgetIfMade());
          break;
        }
    auto* f = new GraphicEvents(this);
    f->setParent(w);
    w->installEventFilter(f);
    w->setMouseTracking(true);
    w->setAttribute(Qt::WA_NoMousePropagation, true);
  }
  UpdateWidget();
  if (auto* wc = dynamic_cast<TWinControl*>(this)) {
    wc->CreateWnd();
    wc->CreateChildWidgets();
  }
}

void TControl::SetWidgetPointer(QWidget* W) { widget_->w = W; }

void TControl::ReleaseWidget() {
  if (widget_->w) {
    QWidget* w = widget_->w;
    widget_->w = nullptr;
    delete w;
  }
}

QWidget* TControl::CreateWidget(QWidget* ParentWidget) { return new QWidget(ParentWidget); }

void TControl::UpdateWidget() {
  ApplyBounds();
  ApplyFont();
  ApplyColor();
  ApplyText();
  ApplyCursor();
  ApplyEnabled();
  ApplyVisible();
}

TPoint TControl::WidgetOffset() const { return TPoint{0, 0}; }

void TControl::ApplyBounds() {
  if (!widget_->w) return;
  TPoint o = WidgetOffset();
  widget_->w->setGeometry(left_ + o.x, top_ + o.y, std::max(0, width_), std::max(0, height_));
}

void TControl::ApplyFont() {
  if (!widget_->w) return;
  widget_->w->setFont(font_->ToQFont());
  QPalette pal = widget_->w->palette();
  QColor c = ToQColor(font_->Color());
  pal.setColor(QPalette::WindowText, c);
  pal.setColor(QPalette::Text, c);
  pal.setColor(QPalette::ButtonText, c);
  widget_->w->setPalette(pal);
  widget_->w->update();
}

void TControl::ApplyColor() {
  if (widget_->w) widget_->w->update();
}

void TControl::ApplyCursor() {
  if (!widget_->w) return;
  switch (cursor_) {
    case crDefault: widget_->w->unsetCursor(); break;
    case crNone: widget_->w->setCursor(Qt::BlankCursor); break;
    case crCross: widget_->w->setCursor(Qt::CrossCursor); break;
    case crIBeam: widget_->w->setCursor(Qt::IBeamCursor); break;
    case crSizeNESW: widget_->w->setCursor(Qt::SizeBDiagCursor); break;
    case crSizeNS: widget_->w->setCursor(Qt::SizeVerCursor); break;
    case crSizeNWSE: widget_->w->setCursor(Qt::SizeFDiagCursor); break;
    case crSizeWE: widget_->w->setCursor(Qt::SizeHorCursor); break;
    case crUpArrow: widget_->w->setCursor(Qt::UpArrowCursor); break;
    case crHourGlass: widget_->w->setCursor(Qt::WaitCursor); break;
    case crNo: widget_->w->setCursor(Qt::ForbiddenCursor); break;
    case crAppStart: widget_->w->setCursor(Qt::BusyCursor); break;
    case crHelp: widget_->w->setCursor(Qt::WhatsThisCursor); break;
    case crHandPoint: widget_->w->setCursor(Qt::PointingHandCursor); break;
    case crSizeAll: widget_->w->setCursor(Qt::SizeAllCursor); break;
    default: widget_->w->setCursor(Qt::ArrowCursor); break;
  }
}

void TControl::ApplyVisible() {
  if (widget_->w) widget_->w->setVisible(visible_);
}

void TControl::ApplyEnabled() {
  if (widget_->w) widget_->w->setEnabled(enabled_);
}

void TControl::Invalidate() {
  if (widget_->w) widget_->w->update();
}

void TControl::BringToFront() {
  if (widget_->w) widget_->w->raise();
  if (parent_) {
    auto& v = parent_->controls_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
    v.push_back(this);
  }
}

void TControl::SendToBack() {
  if (widget_->w) widget_->w->lower();
  if (parent_) {
    auto& v = parent_->controls_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
    v.insert(v.begin(), this);
  }
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
  if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TControl::DoContextPopup(const TPoint& MousePos, bool& Handled) {
  if (OnContextPopup) OnContextPopup(this, MousePos, Handled);
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

void TControl::Loaded() {
  TComponent::Loaded();
  if (parent_font_ && parent_) ParentFontChanged();
  if (parent_color_ && parent_) ParentColorChanged();
}

void TControl::WndProc(TMessage& Message) {
  using namespace win;
  auto point = [&] { return TPoint{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)}; };
  switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      DefaultHandler(Message);
      TMouseButton b = Message.Msg == WM_RBUTTONDOWN ? mbRight : Message.Msg == WM_MBUTTONDOWN ? mbMiddle : mbLeft;
      TShiftState s = KeysToShiftState(Message.WParam);
      if (Message.Msg == WM_LBUTTONDBLCLK) {
        s.Include(ssDouble);
        if (click_events_) DblClick();
      }
      if (b == mbLeft) mouse_down_ = true;
      TPoint p = point();
      MouseDown(b, s, p.x, p.y);
      return;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      DefaultHandler(Message);
      TMouseButton b = Message.Msg == WM_RBUTTONUP ? mbRight : Message.Msg == WM_MBUTTONUP ? mbMiddle : mbLeft;
      TPoint p = point();
      if (b == mbLeft && mouse_down_) {
        mouse_down_ = false;
        if (click_events_ && p.x >= 0 && p.y >= 0 && p.x < ClientWidth() && p.y < ClientHeight()) Click();
      }
      MouseUp(b, KeysToShiftState(Message.WParam), p.x, p.y);
      return;
    }
    case WM_MOUSEMOVE: {
      DefaultHandler(Message);
      TPoint p = point();
      MouseMove(KeysToShiftState(Message.WParam), p.x, p.y);
      return;
    }
    case WM_CONTEXTMENU: {
      TPoint screen = point();
      TPoint local = ScreenToClient(screen);
      if (GET_X_LPARAM(Message.LParam) == -1 && GET_Y_LPARAM(Message.LParam) == -1) local = TPoint{-1, -1};
      bool handled = false;
      DoContextPopup(local, handled);
      if (handled) {
        Message.Result = 1;
        return;
      }
      DefaultHandler(Message);
      return;
    }
    default:
      DefaultHandler(Message);
  }
}

void TControl::DefaultHandler(TMessage& Message) { Message.Result = 0; }

}  // namespace fw
