// The application object (the message loop, idle processing, the main window and its hooks,
// the default exception handler) and the screen.
#include <QApplication>

#include <algorithm>
#include <climits>
#include <unistd.h>

#include "framework/ClassBuilder.h"
#include "framework/Forms.h"
#include "platform/builtins/Builtins.h"
#include "platform/win/QtWindows.h"
#include "platform/win/WinUser.h"

namespace fw {

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

// ---------------------------------------------------------------------------------------------
// TApplication

FW_REGISTER(TApplication, nullptr)

namespace {

std::string ProgramFileTitle() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "FloatBench";
  std::string path(buf, static_cast<std::size_t>(n));
  std::string name = path.substr(path.find_last_of('/') + 1);
  auto dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name = name.substr(0, dot);
  return name;
}

int g_argc = 1;
char g_arg0[] = "floatbench";
char* g_argv[] = {g_arg0, nullptr};

}  // namespace

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {}

TApplication::~TApplication() {
  DestroyComponents();
  if (handle_) {
    win::HWND h = handle_;
    handle_ = nullptr;
    win::SetWindowLongPtrA(h, win::GWLP_USERDATA, 0);
    win::DestroyWindow(h);
  }
}

void TApplication::Initialize() {
  // Every program on the framework starts here, so here the platform's built-in libraries
  // become loadable.
  builtins::InstallLibraries();
  if (!QCoreApplication::instance()) qt_app_ = std::make_unique<QApplication>(g_argc, g_argv);
  win::SetExceptionHandler([](std::exception_ptr e) { GetApplication()->HandleException(e, nullptr); });
  SetControlExceptionHandler([](std::exception_ptr e, TObject* sender) { GetApplication()->HandleException(e, sender); });
  Handle();
}

const std::string& TApplication::Title() const {
  if (title_.empty()) const_cast<TApplication*>(this)->title_ = ProgramFileTitle();
  return title_;
}

win::HWND TApplication::Handle() {
  if (handle_) return handle_;
  static bool registered = false;
  if (!registered) {
    win::WNDCLASSA wc;
    wc.lpfnWndProc = &TApplication::AppWndProc;
    wc.lpszClassName = "TApplication";
    win::RegisterClassA(&wc);
    registered = true;
  }
  handle_ = win::CreateWindowExA(0, "TApplication", Title().c_str(),
                                 win::WS_POPUP | win::WS_CAPTION | win::WS_CLIPSIBLINGS | win::WS_SYSMENU | win::WS_MINIMIZEBOX,
                                 0, 0, 0, 0, nullptr, nullptr, nullptr, this);
  return handle_;
}

win::LRESULT TApplication::AppWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam) {
  if (msg == win::WM_CREATE && lParam) {
    auto* cs = reinterpret_cast<win::CREATESTRUCTA*>(lParam);
    win::SetWindowLongPtrA(hwnd, win::GWLP_USERDATA, reinterpret_cast<win::LONG_PTR>(cs->lpCreateParams));
    return 0;
  }
  auto* self = reinterpret_cast<TApplication*>(win::GetWindowLongPtrA(hwnd, win::GWLP_USERDATA));
  if (!self) return win::DefWindowProcA(hwnd, msg, wParam, lParam);
  TMessage m{msg, wParam, lParam, 0};
  try {
    self->WndProc(m);
  } catch (...) {
    self->HandleException(std::current_exception(), self);
  }
  return m.Result;
}

void TApplication::WndProc(TMessage& Message) {
  // Hooks first; a hook may unhook itself (or others) while it runs.
  std::vector<Hook> hooks = hooks_;
  for (const Hook& h : hooks) {
    bool still = std::any_of(hooks_.begin(), hooks_.end(), [&](const Hook& x) { return x.Id == h.Id; });
    if (still && h.Fn && h.Fn(Message)) return;
  }
  switch (Message.Msg) {
    case win::WM_ACTIVATEAPP:
      Message.Result = win::DefWindowProcA(handle_, Message.Msg, Message.WParam, Message.LParam);
      active_ = Message.WParam != 0;
      win::PostMessageA(handle_, active_ ? CM_ACTIVATE : CM_DEACTIVATE, 0, 0);
      return;
    case CM_ACTIVATE:
      if (OnActivate) OnActivate(this);
      return;
    case CM_DEACTIVATE:
      if (OnDeactivate) OnDeactivate(this);
      return;
    case win::WM_CLOSE:
      if (main_form_) main_form_->Close();
      return;
    default:
      Message.Result = win::DefWindowProcA(handle_, Message.Msg, Message.WParam, Message.LParam);
  }
}

int TApplication::HookMainWindow(TWindowHook Hook) {
  int id = ++next_hook_id_;
  hooks_.push_back({id, std::move(Hook)});
  return id;
}

void TApplication::UnhookMainWindow(int HookId) {
  std::erase_if(hooks_, [HookId](const Hook& h) { return h.Id == HookId; });
}

void TApplication::Terminate() {
  terminated_ = true;
  win::PostQuitMessage(0);
}

bool TApplication::ProcessMessage() {
  bool any = win::ProcessPendingEvents();
  win::MSG m;
  if (win::PeekMessageA(&m, nullptr, 0, 0, win::PM_REMOVE)) {
    if (m.message == win::WM_QUIT) {
      terminated_ = true;
    } else {
      try {
        win::DispatchMessageA(&m);
      } catch (...) {
        HandleException(std::current_exception(), this);
      }
    }
    return true;
  }
  return any;
}

void TApplication::ProcessMessages() {
  // Bounded, so that a source that never stops (a zero-interval timer) cannot hold it forever.
  for (int i = 0; i < 100000 && ProcessMessage(); ++i) {
  }
}

void TApplication::HandleMessage() {
  if (!ProcessMessage()) Idle();
}

void TApplication::Idle() {
  ++idle_count_;
  bool done = true;
  try {
    if (OnIdle) OnIdle(this, done);
  } catch (...) {
    HandleException(std::current_exception(), this);
  }
  if (done) {
    ++wait_count_;
    if (wait_hook_) wait_hook_();
    else win::WaitMessage();
  }
}

void TApplication::Run() {
  if (main_form_ && show_main_form_ && !terminated_) {
    try {
      main_form_->Show();
    } catch (...) {
      HandleException(std::current_exception(), this);
    }
  }
  while (!terminated_) HandleMessage();
}

void TApplication::HandleException(TObject* Sender) { HandleException(std::current_exception(), Sender); }

void TApplication::HandleException(std::exception_ptr E, TObject* Sender) {
  if (!E) return;
  try {
    std::rethrow_exception(E);
  } catch (const std::exception& e) {
    if (OnException) OnException(Sender, e);
    else ShowException(e);
  } catch (...) {
    ShowException(Exception("Unknown exception"));
  }
}

void TApplication::ShowException(const std::exception& E) {
  MessageBox(E.what(), Title(), win::MB_OK | win::MB_ICONSTOP);
}

int TApplication::MessageBox(const std::string& Text, const std::string& Caption, win::UINT Flags) {
  win::HWND owner = win::GetActiveWindow();
  return win::MessageBoxUtf8(owner, Text, Caption.empty() ? Title() : Caption, Flags);
}

TApplication* GetApplication() {
  if (!Application) InitApplication();
  return Application;
}

void InitApplication() {
  if (Application) return;
  Application = new TApplication(nullptr);
  Screen = new TScreen(nullptr);
  Application->Initialize();
}

void FreeApplication() {
  TApplication* a = Application;
  TScreen* s = Screen;
  if (a) a->Free();
  Application = nullptr;
  if (s) s->Free();
  Screen = nullptr;
}

// ---------------------------------------------------------------------------------------------
// TScreen

FW_REGISTER(TScreen, nullptr)

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}

int TScreen::Width() const { return win::GetSystemMetrics(win::SM_CXSCREEN); }
int TScreen::Height() const { return win::GetSystemMetrics(win::SM_CYSCREEN); }

TCustomForm* TScreen::ActiveForm() const {
  win::HWND h = win::GetActiveWindow();
  for (TCustomForm* f : forms_)
    if (f->HandleAllocated() && f->Handle() == h) return f;
  return nullptr;
}

}  // namespace fw
