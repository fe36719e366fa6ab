// Windowed controls: the window handle and its procedure, the children and their alignment,
// focus and the keyboard.
#include <QWidget>

#include <algorithm>

#include "framework/ClassBuilder.h"
#include "framework/Controls.h"
#include "platform/win/QtWindows.h"
#include "platform/win/WinUser.h"

namespace fw {

namespace {

TControlExceptionHandler& ControlExceptionHandler() {
  static TControlExceptionHandler handler;
  return handler;
}

}  // namespace

void SetControlExceptionHandler(TControlExceptionHandler Handler) { ControlExceptionHandler() = std::move(Handler); }

// ---------------------------------------------------------------------------------------------
// TWinControl

FW_REGISTER(TWinControl, [](TClassBuilder<TWinControl>& b) {
  b.Integer("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder).WithDefault(-1);
  b.Boolean("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop).WithDefault(0);
  b.Event("OnEnter", &TWinControl::OnEnter);
  b.Event("OnExit", &TWinControl::OnExit);
  b.Event("OnKeyDown", &TWinControl::OnKeyDown);
  b.Event("OnKeyUp", &TWinControl::OnKeyUp);
  b.Event("OnKeyPress", &TWinControl::OnKeyPress);
})

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) { DefWndProc = &win::DefWindowProcA; }

TWinControl::~TWinControl() {
  // Children go with their parent.
  while (!controls_.empty()) {
    TControl* c = controls_.back();
    RemoveControl(c);
    if (c->ComponentState().Contains(csDestroying)) continue;
    c->Free();
  }
  if (handle_) {
    win::HWND h = handle_;
    handle_ = nullptr;
    win::SetWindowLongPtrA(h, win::GWLP_USERDATA, 0);
    win::DestroyWindow(h);
  }
}

win::HWND TWinControl::Handle() {
  if (!handle_) MakeWidget();
  return handle_;
}

TWinControl* TWinControl::FindControl(win::HWND hwnd) {
  if (!win::IsWindow(hwnd)) return nullptr;
  if (win::GetWindowLongPtrA(hwnd, win::GWLP_WNDPROC) == 0) return nullptr;
  return reinterpret_cast<TWinControl*>(win::GetWindowLongPtrA(hwnd, win::GWLP_USERDATA));
}

win::LRESULT TWinControl::MainWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam) {
  if (msg == win::WM_CREATE && lParam) {
    auto* cs = reinterpret_cast<win::CREATESTRUCTA*>(lParam);
    if (cs->lpCreateParams) {
      auto* self = static_cast<TWinControl*>(cs->lpCreateParams);
      win::SetWindowLongPtrA(hwnd, win::GWLP_USERDATA, reinterpret_cast<win::LONG_PTR>(self));
      self->handle_ = hwnd;
    }
  }
  auto* self = reinterpret_cast<TWinControl*>(win::GetWindowLongPtrA(hwnd, win::GWLP_USERDATA));
  if (!self) return win::DefWindowProcA(hwnd, msg, wParam, lParam);
  TMessage m{msg, wParam, lParam, 0};
  try {
    if (self->WindowProc) self->WindowProc(m);
    else self->WndProc(m);
  } catch (...) {
    if (const TControlExceptionHandler& handler = ControlExceptionHandler()) {
      handler(std::current_exception(), self);
    } else {
      std::exception_ptr e = std::current_exception();
      win::GuardedCall([&] { std::rethrow_exception(e); });
    }
  }
  return m.Result;
}

void TWinControl::CreateParams(TCreateParams& Params) {
  Params.Caption = Text();
  Params.Style = win::WS_CHILD | win::WS_CLIPSIBLINGS;
  if (tab_stop_) Params.Style |= win::WS_TABSTOP;
  if (!Enabled()) Params.Style |= win::WS_DISABLED;
  Params.X = Left();
  Params.Y = Top();
  Params.Width = Width();
  Params.Height = Height();
  Params.WndParent = Parent() ? Parent()->Handle() : nullptr;
}

void TWinControl::CreateWnd() {
  if (handle_ || !WidgetIfMade()) return;
  TCreateParams p;
  CreateParams(p);
  win::HWND h = win::AttachWindow(WidgetIfMade(), &TWinControl::MainWndProc, p.Style, p.ExStyle, p.WndParent, this);
  handle_ = h;
  if (!h) return;
  if (QWidget* cw = GetClientWidget(); cw && cw != WidgetIfMade()) win::SetClientWidget(h, cw);
}

void TWinControl::DestroyWnd() {
  if (!handle_) return;
  win::HWND h = handle_;
  win::DestroyWindow(h);
  handle_ = nullptr;
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  for (TControl* c : controls_)
    if (auto* wc = dynamic_cast<TWinControl*>(c)) wc->DestroyHandle();
  DestroyWnd();
  ReleaseWidget();
}

void TWinControl::RecreateWnd() {
  if (!handle_) return;
  bool vis = Visible();
  DestroyHandle();
  MakeWidget();
  if (vis) ApplyVisible();
}

QWidget* TWinControl::CreateWidget(QWidget* ParentWidget) { return new QWidget(ParentWidget); }

QWidget* TWinControl::ClientWidget() {
  if (!WidgetIfMade()) MakeWidget();
  return GetClientWidget();
}

void TWinControl::CreateChildWidgets() {
  std::vector<TControl*> copy = controls_;
  for (TControl* c : copy) c->MakeWidget();
  Realign();
}

void TWinControl::InsertControl(TControl* AControl) {
  if (!AControl || AControl->parent_ == this) return;
  controls_.push_back(AControl);
  AControl->parent_ = this;
  if (AControl->parent_font_) AControl->ParentFontChanged();
  if (AControl->parent_color_) AControl->ParentColorChanged();
  if (WidgetIfMade()) {
    if (QWidget* w = AControl->WidgetIfMade()) {
      // Moving between parents: the widget goes along (and a windowed one gets a new window).
      if (auto* wc = dynamic_cast<TWinControl*>(AControl)) {
        wc->DestroyHandle();
        wc->MakeWidget();
      } else {
        w->setParent(GetClientWidget());
        AControl->UpdateWidget();
      }
    } else {
      AControl->MakeWidget();
    }
  } else if (AControl->WidgetIfMade()) {
    if (auto* wc = dynamic_cast<TWinControl*>(AControl)) wc->DestroyHandle();
    else AControl->ReleaseWidget();
  }
  if (AControl->Align() != alNone) Realign();
}

void TWinControl::RemoveControl(TControl* AControl) {
  auto it = std::find(controls_.begin(), controls_.end(), AControl);
  if (it == controls_.end()) return;
  controls_.erase(it);
  AControl->parent_ = nullptr;
  if (QWidget* w = AControl->WidgetIfMade()) {
    if (auto* wc = dynamic_cast<TWinControl*>(AControl)) {
      if (!wc->ComponentState().Contains(csDestroying)) wc->DestroyHandle();
    } else {
      w->hide();
      w->setParent(nullptr);
    }
  }
  if (AControl->Align() != alNone) Realign();
}

TControl* TWinControl::ControlAtPos(const TPoint& Pos, bool AllowDisabled) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (!c->Visible() || (!AllowDisabled && !c->Enabled())) continue;
    if (Pos.x >= c->Left() && Pos.y >= c->Top() && Pos.x < c->Left() + c->Width() && Pos.y < c->Top() + c->Height())
      return c;
  }
  return nullptr;
}

bool TWinControl::CanFocus() const {
  const TControl* c = this;
  while (c) {
    if (!c->Visible() || !c->Enabled()) return false;
    c = c->Parent();
  }
  return true;
}

bool TWinControl::Focused() const { return handle_ && win::GetFocus() == handle_; }

TWinControl* TWinControl::TopLevelControl() {
  TWinControl* c = this;
  while (c->Parent()) c = c->Parent();
  return c;
}

void TWinControl::SetFocus() {
  TopLevelControl()->ControlFocused(this);
  if (win::HWND h = Handle()) win::SetFocus(h);
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (ALeft == Left() && ATop == Top() && AWidth == Width() && AHeight == Height()) return;
  bool resized = AWidth != Width() || AHeight != Height();
  UpdateBoundsFields(ALeft, ATop, AWidth, AHeight);
  ApplyBounds();
  if (Parent()) Parent()->ChildBoundsChanged(this);
  if (resized) Realign();
}

void TWinControl::ApplyBounds() {
  if (!handle_) {
    TControl::ApplyBounds();
    return;
  }
  window_pos_from_system_ = false;
  win::SetWindowPos(handle_, nullptr, Left(), Top(), Width(), Height(), win::SWP_NOZORDER | win::SWP_NOACTIVATE);
}

int TWinControl::ClientWidth() const {
  if (handle_) {
    win::RECT r;
    win::GetClientRect(handle_, &r);
    return r.right;
  }
  return Width();
}

int TWinControl::ClientHeight() const {
  if (handle_) {
    win::RECT r;
    win::GetClientRect(handle_, &r);
    return r.bottom;
  }
  return Height();
}

void TWinControl::ApplyVisible() {
  if (!WidgetIfMade()) return;
  if (handle_) win::ShowWindow(handle_, Visible() ? win::SW_SHOWNA : win::SW_HIDE);
  else TControl::ApplyVisible();
}

void TWinControl::ApplyEnabled() {
  if (handle_) win::EnableWindow(handle_, Enabled());
  else TControl::ApplyEnabled();
}

void TWinControl::ApplyCursor() {
  if (handle_) win::SetWindowCursor(handle_, CursorHandle(Cursor() == crDefault ? crArrow : Cursor()));
  TControl::ApplyCursor();
}

void TWinControl::ChildBoundsChanged(TControl* Child) {
  if (Child && Child->Align() != alNone && !aligning_) Realign();
}

void TWinControl::Realign() {
  if (aligning_) return;
  TRect r = ClientRect();
  aligning_ = true;
  try {
    AlignControls(nullptr, r);
  } catch (...) {
    aligning_ = false;
    throw;
  }
  aligning_ = false;
}

void TWinControl::AlignControls(TControl*, TRect& Rect) {
  const TAlign order[] = {alTop, alBottom, alLeft, alRight, alClient};
  for (TAlign a : order) {
    for (TControl* c : controls_) {
      if (c->Align() != a || !c->Visible()) continue;
      int w = c->Width(), h = c->Height();
      switch (a) {
        case alTop:
          c->SetBounds(Rect.left, Rect.top, Rect.right - Rect.left, h);
          Rect.top += h;
          break;
        case alBottom:
          c->SetBounds(Rect.left, Rect.bottom - h, Rect.right - Rect.left, h);
          Rect.bottom -= h;
          break;
        case alLeft:
          c->SetBounds(Rect.left, Rect.top, w, Rect.bottom - Rect.top);
          Rect.left += w;
          break;
        case alRight:
          c->SetBounds(Rect.right - w, Rect.top, w, Rect.bottom - Rect.top);
          Rect.right -= w;
          break;
        case alClient:
          c->SetBounds(Rect.left, Rect.top, Rect.right - Rect.left, Rect.bottom - Rect.top);
          break;
        default:
          break;
      }
    }
  }
}

void TWinControl::GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) {
  for (TControl* c : controls_)
    if (c->Owner() == Root) Proc(c);
}

// A key message goes to the parent form first when it previews keys; a key it sets to 0 is
// swallowed there. Otherwise the control's own handler sees it; the key it leaves goes on.
bool TWinControl::DoKey(TMessage& Message, void (TWinControl::*Handler)(std::uint16_t&, TShiftState)) {
  TWinControl* top = TopLevelControl();
  auto key = static_cast<std::uint16_t>(Message.WParam);
  TShiftState shift = KeyDataToShiftState(Message.LParam);
  if (top != this && top->PreviewsKeys()) {
    (top->*Handler)(key, shift);
    if (key == 0) return true;
    Message.WParam = key;
  }
  (this->*Handler)(key, shift);
  Message.WParam = key;
  return key == 0;
}

bool TWinControl::DoKeyDown(TMessage& Message) { return DoKey(Message, &TWinControl::KeyDown); }
bool TWinControl::DoKeyUp(TMessage& Message) { return DoKey(Message, &TWinControl::KeyUp); }

void TWinControl::KeyDown(std::uint16_t& Key, TShiftState Shift) {
  if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(std::uint16_t& Key, TShiftState Shift) {
  if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(char& Key) {
  if (OnKeyPress) OnKeyPress(this, Key);
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

void TWinControl::WMPaint(TMessage& Message) { DefaultHandler(Message); }

void TWinControl::WMWindowPosChanged(TMessage& Message) {
  auto* pos = reinterpret_cast<const win::WINDOWPOS*>(Message.LParam);
  if (pos && !destroying_handle_) {
    int l = Left(), t = Top(), w = Width(), h = Height();
    if (!(pos->flags & win::SWP_NOMOVE)) {
      l = pos->x;
      t = pos->y;
    }
    if (!(pos->flags & win::SWP_NOSIZE)) {
      w = pos->cx;
      h = pos->cy;
    }
    if (l != Left() || t != Top() || w != Width() || h != Height()) {
      bool resized = w != Width() || h != Height();
      UpdateBoundsFields(l, t, w, h);
      if (resized) Realign();
    } else if (!(pos->flags & win::SWP_NOSIZE)) {
      Realign();
    }
  }
  DefaultHandler(Message);
}

void TWinControl::WndProc(TMessage& Message) {
  using namespace win;
  switch (Message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (DoKeyDown(Message)) return;
      DefaultHandler(Message);
      return;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (DoKeyUp(Message)) return;
      DefaultHandler(Message);
      return;
    case WM_CHAR: {
      if (Message.WParam < 0x80) {
        char c = static_cast<char>(Message.WParam);
        KeyPress(c);
        if (c == 0) return;
        Message.WParam = static_cast<unsigned char>(c);
      }
      DefaultHandler(Message);
      return;
    }
    case WM_SETFOCUS:
      DefaultHandler(Message);
      DoEnter();
      return;
    case WM_KILLFOCUS:
      DefaultHandler(Message);
      DoExit();
      return;
    case WM_PAINT:
      WMPaint(Message);
      return;
    case WM_WINDOWPOSCHANGED:
      WMWindowPosChanged(Message);
      return;
    case WM_SETCURSOR:
      DefaultHandler(Message);
      return;
    default:
      TControl::WndProc(Message);
  }
}

void TWinControl::DefaultHandler(TMessage& Message) {
  if (handle_) Message.Result = win::CallWindowProcA(DefWndProc, handle_, Message.Msg, Message.WParam, Message.LParam);
  else Message.Result = 0;
}

}  // namespace fw
