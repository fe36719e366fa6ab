#include <utility>

#include "dx/DXClass.h"
#include "framework/ClassBuilder.h"
#include "platform/win/WinUser.h"

namespace dx {

// ---------------------------------------------------------------------------------------------
// TDXForm

namespace {

int g_dxFormCount = 0;

void SetToolWindowStyle(win::HWND app, bool on) {
  if (!app) return;
  const win::DWORD ex = static_cast<win::DWORD>(win::GetWindowLongA(app, win::GWL_EXSTYLE));
  const win::DWORD now = on ? ex | win::WS_EX_TOOLWINDOW : ex & ~win::WS_EX_TOOLWINDOW;
  if (now != ex) win::SetWindowLongA(app, win::GWL_EXSTYLE, static_cast<win::LONG>(now));
}

}  // namespace

FW_REGISTER(TDXForm, nullptr)

TDXForm::TDXForm(fw::TComponent* AOwner) : TForm(AOwner) {
  ++g_dxFormCount;
  // The forms' own taskbar buttons stand in for the application's.
  SetToolWindowStyle(fw::GetApplication()->Handle(), true);
}

TDXForm::~TDXForm() {
  if (g_dxFormCount-- == 1 && fw::Application) SetToolWindowStyle(fw::Application->Handle(), false);
}

int TDXForm::InstanceCount() { return g_dxFormCount; }

void TDXForm::CreateParams(fw::TCreateParams& Params) {
  inherited::CreateParams(Params);
  Params.ExStyle |= win::WS_EX_APPWINDOW;
}

void TDXForm::WMSysCommand(fw::TMessage& Message) {
  // The framework would minimise the whole application; this form minimises by itself.
  if ((Message.WParam & 0xFFF0) == win::SC_MINIMIZE) {
    DefaultHandler(Message);
    SetWindowState(fw::wsMinimized);
  } else {
    inherited::WMSysCommand(Message);
  }
}

void TDXForm::SavePlacement() {
  placement_.length = sizeof(win::WINDOWPLACEMENT);
  placement_saved_ = win::GetWindowPlacement(Handle(), &placement_) != win::FALSE;
}

void TDXForm::RestorePlacement() {
  if (!placement_saved_) return;
  win::SetWindowPlacement(Handle(), &placement_);
  placement_saved_ = false;
}

// ---------------------------------------------------------------------------------------------
// TControlSubClass

// What the procedure installed in the control reaches. An interceptor that goes while another
// one still sits above it cannot take its procedure out of the chain; it leaves the link behind,
// passing every message straight on to what it had saved.
struct TControlSubClass::Link {
  TControlSubClass* Owner;
  fw::TWndMethod Saved;
};

struct TControlSubClass::Thunk {
  std::shared_ptr<Link> L;
  void operator()(fw::TMessage& Message) const {
    if (L->Owner)
      L->Owner->WndProc(Message);
    else if (L->Saved)
      L->Saved(Message);
  }
};

TControlSubClass::TControlSubClass(fw::TControl* Control, TControlSubClassProc WndProc)
    : control_(Control), wnd_proc_(std::move(WndProc)) {
  if (!control_) return;
  link_ = std::make_shared<Link>(Link{this, control_->WindowProc});
  control_->WindowProc = Thunk{link_};
}

TControlSubClass::~TControlSubClass() {
  if (!control_) return;
  const Thunk* top = control_->WindowProc.target<Thunk>();
  if (top && top->L == link_)
    control_->WindowProc = link_->Saved;
  else
    link_->Owner = nullptr;
}

void TControlSubClass::WndProc(fw::TMessage& Message) {
  if (wnd_proc_)
    wnd_proc_(Message, link_->Saved);
  else if (link_->Saved)
    link_->Saved(Message);
}

}  // namespace dx
