#include "framework/Forms.h"

#include <QMenuBar>
#include <QScrollBar>
#include <QWidget>

#include <algorithm>

#include "framework/ClassBuilder.h"
#include "framework/Menus.h"
#include "framework/Streaming.h"
#include "platform/win/QtWindows.h"
#include "platform/win/WinUser.h"

namespace fw {

// ---------------------------------------------------------------------------------------------
// TControlScrollBar, TScrollingWinControl

FW_REGISTER(TControlScrollBar, [](TClassBuilder<TControlScrollBar>& b) {
  b.Integer("Increment", &TControlScrollBar::Increment, &TControlScrollBar::SetIncrement).WithDefault(8);
  b.Integer("Range", &TControlScrollBar::Range, &TControlScrollBar::SetRange).WithDefault(0);
  b.Integer("Position", &TControlScrollBar::Position, &TControlScrollBar::SetPosition).WithDefault(0);
  b.Boolean("Tracking", &TControlScrollBar::Tracking, &TControlScrollBar::SetTracking).WithDefault(0);
  b.Boolean("Visible", &TControlScrollBar::Visible, &TControlScrollBar::SetVisible).WithDefault(1);
})

TControlScrollBar::TControlScrollBar(TWinControl* AControl, TScrollBarKind AKind) : control_(AControl), kind_(AKind) {}

void TControlScrollBar::SetRange(int Value) {
  range_ = std::max(0, Value);
  if (auto* s = dynamic_cast<TScrollingWinControl*>(control_)) s->UpdateScrollBars();
}

void TControlScrollBar::SetPosition(int Value) {
  Value = std::max(0, Value);
  if (Value == position_) return;
  auto* s = dynamic_cast<TScrollingWinControl*>(control_);
  bool loading = control_->ComponentState().Contains(csLoading) || control_->ComponentState().Contains(csReading);
  int old = position_;
  position_ = Value;
  if (s && !loading) {
    if (kind_ == sbHorizontal) s->ScrollBy(old - Value, 0);
    else s->ScrollBy(0, old - Value);
  }
  if (s) s->UpdateScrollBars();
}

void TControlScrollBar::SetVisible(bool Value) {
  visible_ = Value;
  if (auto* s = dynamic_cast<TScrollingWinControl*>(control_)) s->UpdateScrollBars();
}

bool TControlScrollBar::IsScrollBarShowing() const {
  if (!visible_) return false;
  int client = kind_ == sbHorizontal ? control_->ClientWidth() : control_->ClientHeight();
  return position_ > 0 || range_ > client;
}

void TControlScrollBar::Assign(TPersistent* Source) {
  if (auto* o = dynamic_cast<TControlScrollBar*>(Source)) {
    range_ = o->range_;
    increment_ = o->increment_;
    tracking_ = o->tracking_;
    visible_ = o->visible_;
    SetPosition(o->position_);
    return;
  }
  TPersistent::Assign(Source);
}

FW_REGISTER(TScrollingWinControl, [](TClassBuilder<TScrollingWinControl>& b) {
  b.Object("HorzScrollBar", &TScrollingWinControl::HorzScrollBar);
  b.Object("VertScrollBar", &TScrollingWinControl::VertScrollBar);
})

TScrollingWinControl::TScrollingWinControl(TComponent* AOwner)
    : TWinControl(AOwner),
      horz_(std::make_unique<TControlScrollBar>(this, sbHorizontal)),
      vert_(std::make_unique<TControlScrollBar>(this, sbVertical)) {}

TScrollingWinControl::~TScrollingWinControl() = default;

void TScrollingWinControl::ScrollBy(int DeltaX, int DeltaY) {
  if (!DeltaX && !DeltaY) return;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    c->SetBounds(c->Left() + DeltaX, c->Top() + DeltaY, c->Width(), c->Height());
  }
}

// ---------------------------------------------------------------------------------------------
// TCustomForm

FW_REGISTER(TCustomForm, [](TClassBuilder<TCustomForm>& b) {
  b.Set("BorderIcons", {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"}, &TCustomForm::BorderIcons,
        &TCustomForm::SetBorderIcons)
      .WithDefault(7);
  b.Enum("BorderStyle", {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"},
         &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle)
      .WithDefault(2);
  b.String("Caption", &TCustomForm::Caption, &TCustomForm::SetCaption);
  b.Integer("ClientHeight", &TCustomForm::ClientHeight, &TCustomForm::SetClientHeight)
      .StoredIf([](const TPersistent&) { return false; });
  b.Integer("ClientWidth", &TCustomForm::ClientWidth, &TCustomForm::SetClientWidth)
      .StoredIf([](const TPersistent&) { return false; });
  b.Enum("FormStyle", {"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"}, &TCustomForm::FormStyle,
         &TCustomForm::SetFormStyle)
      .WithDefault(0);
  b.Boolean("KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview).WithDefault(0);
  b.Component("Menu", &TCustomForm::Menu, &TCustomForm::SetMenu);
  b.Integer("PixelsPerInch", &TCustomForm::PixelsPerInch, &TCustomForm::SetPixelsPerInch);
  b.Enum("Position",
         {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter", "poDesktopCenter",
          "poMainFormCenter", "poOwnerFormCenter"},
         &TCustomForm::Position, &TCustomForm::SetPosition)
      .WithDefault(0);
  b.Boolean("Scaled", &TCustomForm::Scaled, &TCustomForm::SetScaled).WithDefault(1);
  b.Enum("WindowState", {"wsNormal", "wsMinimized", "wsMaximized"}, &TCustomForm::WindowState,
         &TCustomForm::SetWindowState)
      .WithDefault(0);
  // Stored by the designer; nothing depends on them here.
  b.Integer("TextHeight", [](const TCustomForm&) { return 13; }, [](TCustomForm&, int) {})
      .StoredIf([](const TPersistent&) { return false; });
  b.Boolean("OldCreateOrder", [](const TCustomForm&) { return false; }, [](TCustomForm&, bool) {})
      .StoredIf([](const TPersistent&) { return false; });
  b.Event("OnCreate", &TCustomForm::OnCreate);
  b.Event("OnDestroy", &TCustomForm::OnDestroy);
  b.Event("OnShow", &TCustomForm::OnShow);
  b.Event("OnHide", &TCustomForm::OnHide);
  b.Event("OnActivate", &TCustomForm::OnActivate);
  b.Event("OnDeactivate", &TCustomForm::OnDeactivate);
  b.Event("OnPaint", &TCustomForm::OnPaint);
  b.Event("OnClose", &TCustomForm::OnClose);
  b.Event("OnCloseQuery", &TCustomForm::OnCloseQuery);
})

FW_REGISTER(TForm, nullptr)

TCustomForm::TCustomForm(TComponent* AOwner) : TScrollingWinControl(AOwner) {
  SetVisibleField(false);
  SetColorField(clBtnFace);
  SetParentFontField(false);
  UpdateBoundsFields(0, 0, 320, 240);
  if (Screen) Screen->forms_.push_back(this);
  if (Application && AOwner == Application && !Application->main_form_) Application->main_form_ = this;
}

TCustomForm::~TCustomForm() {
  if (Screen) std::erase(Screen->forms_, this);
  if (Application && Application->main_form_ == this) Application->main_form_ = nullptr;
  if (menu_ && menu_->window_ == this) menu_->window_ = nullptr;
}

void TCustomForm::Destroying() {
  TScrollingWinControl::Destroying();
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
      GetApplication()->HandleException(std::current_exception(), this);
    }
  }
}

void TCustomForm::LoadFromDescription(std::string_view Text) {
  ReadRootComponentText(*this, Text);
  DoCreate();
}

void TCustomForm::LoadFromEmbeddedForm(std::string_view UnitName) {
  std::string_view text = FindFormDescription(UnitName);
  if (text.empty()) throw EResNotFound(Format("Resource %s not found", std::string(UnitName)));
  LoadFromDescription(text);
}

void TCustomForm::DoCreate() {
  created_ = true;
  if (OnCreate) OnCreate(this);
}

void TCustomForm::Loaded() {
  TScrollingWinControl::Loaded();
  if (pending_client_width_ >= 0 || pending_client_height_ >= 0) {
    int cw = pending_client_width_ >= 0 ? pending_client_width_ : ClientWidth();
    int ch = pending_client_height_ >= 0 ? pending_client_height_ : ClientHeight();
    pending_client_width_ = pending_client_height_ = -1;
    SetClientSize(cw, ch);
  }
  UpdateScrollBars();
}

win::RECT TCustomForm::Margins() const {
  win::DWORD style = 0, ex = 0;
  BorderStyles(style, ex);
  bool hasMenu = menu_ && menu_->Items()->Count() > 0;
  return win::NonClientMargins(style, ex, hasMenu);
}

int TCustomForm::ClientWidth() const {
  if (pending_client_width_ >= 0) return pending_client_width_;
  win::RECT m = Margins();
  return std::max<int>(0, Width() - m.left - m.right);
}

int TCustomForm::ClientHeight() const {
  if (pending_client_height_ >= 0) return pending_client_height_;
  win::RECT m = Margins();
  return std::max<int>(0, Height() - m.top - m.bottom);
}

void TCustomForm::SetClientSize(int AWidth, int AHeight) {
  if (Loading()) {
    // The border style may still come; the size is settled when loading ends.
    if (AWidth != ClientWidth()) pending_client_width_ = AWidth;
    if (AHeight != ClientHeight()) pending_client_height_ = AHeight;
    return;
  }
  win::RECT m = Margins();
  SetBounds(Left(), Top(), AWidth + m.left + m.right, AHeight + m.top + m.bottom);
}

TPoint TCustomForm::ClientOrigin() const {
  win::RECT m = Margins();
  return TPoint{Left() + m.left, Top() + m.top};
}

void TCustomForm::BorderStyles(win::DWORD& Style, win::DWORD& ExStyle) const {
  using namespace win;
  Style = WS_CLIPCHILDREN;
  ExStyle = 0;
  bool icons = true;
  switch (border_style_) {
    case bsNone:
      Style |= WS_POPUP;
      icons = false;
      break;
    case bsSingle:
      Style |= WS_CAPTION | WS_BORDER;
      break;
    case bsSizeable:
      Style |= WS_CAPTION | WS_THICKFRAME;
      break;
    case bsDialog:
      Style |= WS_POPUP | WS_CAPTION;
      ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
    case bsToolWindow:
      Style |= WS_CAPTION;
      ExStyle |= WS_EX_TOOLWINDOW;
      break;
    case bsSizeToolWin:
      Style |= WS_CAPTION | WS_THICKFRAME;
      ExStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  if (icons && border_icons_.Contains(biSystemMenu)) {
    Style |= WS_SYSMENU;
    if (border_style_ != bsDialog && border_style_ != bsToolWindow && border_style_ != bsSizeToolWin) {
      if (border_icons_.Contains(biMinimize)) Style |= WS_MINIMIZEBOX;
      if (border_icons_.Contains(biMaximize)) Style |= WS_MAXIMIZEBOX;
    }
  }
}

void TCustomForm::CreateParams(TCreateParams& Params) {
  TScrollingWinControl::CreateParams(Params);
  win::DWORD style = 0, ex = 0;
  BorderStyles(style, ex);
  Params.Style = style;
  Params.ExStyle = ex;
  Params.WndParent = nullptr;
}

QWidget* TCustomForm::CreateWidget(QWidget*) {
  menu_bar_ = nullptr;  // the parts of an earlier window went with it
  auto* top = new QWidget(nullptr, Qt::Window);
  top->setAttribute(Qt::WA_DeleteOnClose, false);
  client_ = new QWidget(top);
  client_->setAutoFillBackground(true);
  hscroll_ = new QScrollBar(Qt::Horizontal, top);
  hscroll_->hide();
  QObject::connect(hscroll_, &QScrollBar::valueChanged, [this](int v) {
    if (syncing_scroll_) return;
    win::GuardedCall([&] { HorzScrollBar()->SetPosition(v); });
  });
  return top;
}

QWidget* TCustomForm::GetClientWidget() { return client_ ? client_ : WidgetIfMade(); }

void TCustomForm::CreateWnd() {
  // The first show at the system's default position: cascading from the screen's corner.
  if (!HandleAllocated() && (position_ == poDefault || position_ == poDefaultPosOnly)) {
    static int cascade = 0;
    int step = 26 * (cascade++ % 8);
    UpdateBoundsFields(step, step, Width(), Height());
  } else if (!HandleAllocated() && (position_ == poScreenCenter || position_ == poDesktopCenter)) {
    UpdateBoundsFields((win::GetSystemMetrics(win::SM_CXSCREEN) - Width()) / 2,
                       (win::GetSystemMetrics(win::SM_CYSCREEN) - Height()) / 2, Width(), Height());
  }
  TScrollingWinControl::CreateWnd();
  if (!HandleAllocated()) return;
  win::SetWindowPos(Handle(), nullptr, Left(), Top(), Width(), Height(), win::SWP_NOZORDER | win::SWP_NOACTIVATE);
  UpdateMenuBar();
  LayoutClient();
  ApplyText();
}

void TCustomForm::ApplyText() {
  if (HandleAllocated()) win::SetWindowTextA(Handle(), Caption().c_str());
  else if (WidgetIfMade()) WidgetIfMade()->setWindowTitle(QString::fromStdString(Caption()));
}

void TCustomForm::ApplyColor() {
  if (!client_) return;
  QPalette pal = client_->palette();
  pal.setColor(QPalette::Window, ToQColor(Color()));
  client_->setPalette(pal);
  client_->update();
}

void TCustomForm::ApplyVisible() {
  if (!HandleAllocated()) return;
  if (!Visible()) {
    win::ShowWindow(Handle(), win::SW_HIDE);
    return;
  }
  int cmd = window_state_ == wsMaximized ? win::SW_SHOWMAXIMIZED
            : window_state_ == wsMinimized ? win::SW_SHOWMINIMIZED
                                           : win::SW_SHOWNORMAL;
  win::ShowWindow(Handle(), cmd);
}

void TCustomForm::SetVisible(bool Value) {
  if (Value == Visible()) {
    if (Value && HandleAllocated()) win::SetForegroundWindow(Handle());
    return;
  }
  if (Value) Handle();
  TScrollingWinControl::SetVisible(Value);
  if (Loading()) return;
  if (Value) {
    shown_once_ = true;
    DoShow();
  } else {
    DoHide();
  }
}

void TCustomForm::Show() {
  SetVisible(true);
  if (HandleAllocated()) win::SetForegroundWindow(Handle());
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

bool TCustomForm::CloseQuery() {
  bool can = true;
  if (OnCloseQuery) OnCloseQuery(this, can);
  return can;
}

void TCustomForm::DoClose(TCloseAction& Action) {
  if (OnClose) OnClose(this, Action);
}

void TCustomForm::Close() {
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application && Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  if (action == caHide || action == caFree) Hide();
  else if (action == caMinimize) SetWindowState(wsMinimized);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
  if (border_style_ == Value) return;
  border_style_ = Value;
  if (!HandleAllocated()) return;
  win::DWORD style = 0, ex = 0;
  BorderStyles(style, ex);
  win::HWND h = Handle();
  win::DWORD keep = static_cast<win::DWORD>(win::GetWindowLongPtrA(h, win::GWL_STYLE)) & win::WS_VISIBLE;
  win::DWORD keepEx = static_cast<win::DWORD>(win::GetWindowLongPtrA(h, win::GWL_EXSTYLE)) &
                      ~(win::WS_EX_TOOLWINDOW | win::WS_EX_DLGMODALFRAME | win::WS_EX_WINDOWEDGE);
  win::SetWindowLongPtrA(h, win::GWL_EXSTYLE, static_cast<win::LONG_PTR>(ex | keepEx));
  win::SetWindowLongPtrA(h, win::GWL_STYLE, static_cast<win::LONG_PTR>(style | keep));
  win::SetWindowPos(h, nullptr, 0, 0, 0, 0,
                    win::SWP_NOMOVE | win::SWP_NOSIZE | win::SWP_NOZORDER | win::SWP_FRAMECHANGED | win::SWP_NOACTIVATE);
  LayoutClient();
  Realign();
}

void TCustomForm::SetBorderIcons(TBorderIcons Value) {
  if (border_icons_ == Value) return;
  border_icons_ = Value;
  if (!HandleAllocated()) return;
  TFormBorderStyle b = border_style_;
  border_style_ = b == bsNone ? bsSingle : bsNone;  // forces the styles to be applied again
  SetBorderStyle(b);
}

void TCustomForm::SetWindowState(TWindowState Value) {
  if (window_state_ == Value) return;
  window_state_ = Value;
  if (!HandleAllocated() || !Visible()) return;
  win::ShowWindow(Handle(), Value == wsMaximized ? win::SW_MAXIMIZE : Value == wsMinimized ? win::SW_MINIMIZE
                                                                                           : win::SW_RESTORE);
}

void TCustomForm::SetFullScreen(bool Value) {
  win::HWND h = Handle();
  if (!h) return;
  win::SetFullScreenWindow(h, Value);
  LayoutClient();
  Realign();
}

void TCustomForm::SetMenu(TMainMenu* Value) {
  if (menu_ == Value) return;
  if (menu_) {
    menu_->RemoveFreeNotification(this);
    if (menu_->window_ == this) menu_->window_ = nullptr;
  }
  menu_ = Value;
  if (menu_) {
    menu_->FreeNotification(this);
    menu_->window_ = this;
  }
  UpdateMenuBar();
}

void TCustomForm::UpdateMenuBar() {
  QWidget* top = WidgetIfMade();
  if (!top) return;
  bool has = menu_ && menu_->Items()->Count() > 0;
  if (!has) {
    if (menu_bar_) {
      delete menu_bar_;
      menu_bar_ = nullptr;
    }
  } else {
    if (!menu_bar_) menu_bar_ = new QMenuBar(top);
    menu_->BuildMenuBar(menu_bar_, this);
    menu_bar_->show();
  }
  if (HandleAllocated()) win::SetWindowHasMenu(Handle(), has);
  LayoutClient();
}

void TCustomForm::LayoutClient() {
  QWidget* top = WidgetIfMade();
  if (!top || !client_) return;
  int menuH = menu_bar_ ? win::GetSystemMetrics(win::SM_CYMENU) : 0;
  if (menu_bar_) menu_bar_->setGeometry(0, 0, top->width(), menuH);
  client_->setGeometry(0, menuH, top->width(), std::max(0, top->height() - menuH));
  UpdateScrollBars();
}

void TCustomForm::UpdateScrollBars() {
  if (!WidgetIfMade() || !hscroll_ || !client_) return;
  TControlScrollBar* sb = HorzScrollBar();
  int cw = client_->width();
  int extent = sb->Range();
  if (extent == 0) {
    // Automatic range: as far as the children reach in the scrolled area.
    for (int i = 0; i < ControlCount(); ++i) extent = std::max(extent, Controls(i)->Left() + Controls(i)->Width() + sb->Position());
  }
  bool show = sb->Visible() && (sb->Position() > 0 || extent > cw);
  syncing_scroll_ = true;
  hscroll_->setRange(0, std::max(sb->Position(), extent - cw));
  hscroll_->setPageStep(std::max(1, cw));
  hscroll_->setSingleStep(sb->Increment());
  hscroll_->setValue(sb->Position());
  syncing_scroll_ = false;
  int h = win::GetSystemMetrics(win::SM_CYHSCROLL);
  hscroll_->setGeometry(client_->x(), client_->y() + client_->height() - h, cw, h);
  hscroll_->setVisible(show);
  if (show) hscroll_->raise();
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
  TScrollingWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove) {
    if (AComponent == menu_) {
      menu_ = nullptr;
      UpdateMenuBar();
    }
    if (AComponent == active_control_) active_control_ = nullptr;
  }
}

void TCustomForm::GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) {
  TScrollingWinControl::GetChildren(Proc, Root);
  if (Root != this) return;
  for (int i = 0; i < ComponentCount(); ++i) {
    TComponent* c = Components(i);
    if (!c->HasParent()) Proc(c);
  }
}

void TCustomForm::WMSysCommand(TMessage& Message) { DefaultHandler(Message); }

void TCustomForm::WMClose(TMessage&) { Close(); }

void TCustomForm::WMActivate(TMessage& Message) {
  DefaultHandler(Message);
  bool now = win::LOWORD(Message.WParam) != win::WA_INACTIVE;
  if (now == active_) return;
  active_ = now;
  if (now) {
    if (OnActivate) OnActivate(this);
  } else {
    if (OnDeactivate) OnDeactivate(this);
  }
}

void TCustomForm::WndProc(TMessage& Message) {
  using namespace win;
  switch (Message.Msg) {
    case WM_SYSCOMMAND:
      WMSysCommand(Message);
      return;
    case WM_CLOSE:
      WMClose(Message);
      return;
    case WM_ACTIVATE:
      WMActivate(Message);
      return;
    case WM_WINDOWPOSCHANGED:
      TScrollingWinControl::WndProc(Message);
      LayoutClient();
      return;
    case WM_SIZE:
      DefaultHandler(Message);
      if (Message.WParam == SIZE_MAXIMIZED) window_state_ = wsMaximized;
      else if (Message.WParam == SIZE_MINIMIZED) window_state_ = wsMinimized;
      else if (Message.WParam == SIZE_RESTORED && IsWindowVisible(Handle()) && !IsIconic(Handle()))
        window_state_ = wsNormal;  // a hidden window keeps the state it is to be shown in
      LayoutClient();
      Realign();
      return;
    case WM_PAINT:
      TScrollingWinControl::WndProc(Message);
      if (OnPaint) OnPaint(this);
      return;
    case CM_MENUCHANGED:
      UpdateMenuBar();
      return;
    default:
      TScrollingWinControl::WndProc(Message);
  }
}

TCustomForm* GetParentForm(const TControl* Control) {
  if (!Control) return nullptr;
  const TControl* c = Control;
  while (c->Parent()) c = c->Parent();
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

TForm::TForm(TComponent* AOwner) : TCustomForm(AOwner) {}

TForm::TForm(TComponent* AOwner, std::string_view Description) : TCustomForm(AOwner) {
  LoadFromDescription(Description);
}

}  // namespace fw
