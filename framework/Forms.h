#pragma once
// Forms and the application object.
//
// TApplication owns the hidden main window of the program (its handle is `Handle`); the main
// window hook list sees every message of that window before the application handles it. The
// message loop (`Run`) processes the window system's events and posted messages; when the queue
// is empty it calls the single idle handler `OnIdle` (Done true by default): while the handler
// leaves Done false the loop keeps calling it, with Done true (or no handler) the loop waits in
// the window system until something arrives. Activation of the application reaches the hooks as
// CM_ACTIVATE (0xB000) and CM_DEACTIVATE (0xB001). Exceptions that escape event handlers reach
// `HandleException`, which shows their text in the plain message box and lets the loop go on.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/Controls.h"

class QApplication;
class QMenuBar;
class QScrollBar;

namespace fw {

class TMainMenu;
class TCustomForm;

FW_DECLARE_EXCEPTION(EResNotFound, Exception);

enum class TScrollBarKind { sbHorizontal, sbVertical };
using enum TScrollBarKind;

// The scroll bar of a form: a range (the width of the scrolled area) and a position.
class TControlScrollBar : public TPersistent {
  FW_CLASS(TControlScrollBar, TPersistent)
 public:
  TControlScrollBar(TWinControl* AControl, TScrollBarKind AKind);

  TScrollBarKind Kind() const { return kind_; }
  int Range() const { return range_; }
  void SetRange(int Value);
  // While the control is being loaded the position is only stored (the stored positions of the
  // children are those of the scrolled view); later a change scrolls the children.
  int Position() const { return position_; }
  void SetPosition(int Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  int Increment() const { return increment_; }
  void SetIncrement(int Value) { increment_ = Value; }
  bool Tracking() const { return tracking_; }
  void SetTracking(bool Value) { tracking_ = Value; }
  // Whether the bar is shown now (the range exceeds the client size or a position is set).
  bool IsScrollBarShowing() const;
  void Assign(TPersistent* Source) override;

 private:
  friend class TScrollingWinControl;
  TWinControl* control_;
  TScrollBarKind kind_;
  int range_ = 0;
  int position_ = 0;
  bool visible_ = true;
  int increment_ = 8;
  bool tracking_ = false;
};

class TScrollingWinControl : public TWinControl {
  FW_CLASS(TScrollingWinControl, TWinControl)
 public:
  explicit TScrollingWinControl(TComponent* AOwner);
  ~TScrollingWinControl() override;
  TControlScrollBar* HorzScrollBar() const { return horz_.get(); }
  TControlScrollBar* VertScrollBar() const { return vert_.get(); }
  // Moves every child by (DeltaX, DeltaY).
  void ScrollBy(int DeltaX, int DeltaY);

 protected:
  friend class TControlScrollBar;
  virtual void UpdateScrollBars() {}

 private:
  std::unique_ptr<TControlScrollBar> horz_;
  std::unique_ptr<TControlScrollBar> vert_;
};

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using enum TFormBorderStyle;
enum class TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using enum TBorderIcon;
using TBorderIcons = TSet<TBorderIcon>;
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
using enum TWindowState;
enum class TPosition {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
  poMainFormCenter, poOwnerFormCenter
};
using enum TPosition;
enum class TCloseAction { caNone, caHide, caFree, caMinimize };
using enum TCloseAction;
enum class TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
using enum TFormStyle;

using TCloseEvent = TEvent<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = TEvent<void(TObject* Sender, bool& CanClose)>;

class TCustomForm : public TScrollingWinControl {
  FW_CLASS(TCustomForm, TScrollingWinControl)
 public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;

  // Reads a stored description into this form: creates its components, points the members
  // registered with Field at them, binds events to the handlers registered with Method, then
  // calls Loaded. A class, member, property or handler the description names but that does not
  // exist raises an error naming it. Call it from the form class's own constructor (so the
  // form's overrides are in force while its window is made), then OnCreate runs.
  void LoadFromDescription(std::string_view Text);
  // The description the program registered for unit `UnitName` (RegisterFormDescription);
  // raises EResNotFound when there is none.
  void LoadFromEmbeddedForm(std::string_view UnitName);

  void Show();
  void Hide() { SetVisible(false); }
  // Asks OnCloseQuery, then OnClose decides (hide by default); closing the main form ends the
  // application.
  void Close();
  void SetVisible(bool Value) override;

  TFormBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TFormBorderStyle Value);
  TBorderIcons BorderIcons() const { return border_icons_; }
  void SetBorderIcons(TBorderIcons Value);
  TWindowState WindowState() const { return window_state_; }
  void SetWindowState(TWindowState Value);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition Value) { position_ = Value; }
  bool KeyPreview() const { return key_preview_; }
  void SetKeyPreview(bool Value) { key_preview_ = Value; }
  TMainMenu* Menu() const { return menu_; }
  void SetMenu(TMainMenu* Value);
  TFormStyle FormStyle() const { return form_style_; }
  void SetFormStyle(TFormStyle Value) { form_style_ = Value; }
  int PixelsPerInch() const { return pixels_per_inch_; }
  void SetPixelsPerInch(int Value) { pixels_per_inch_ = Value; }
  bool Scaled() const { return scaled_; }
  void SetScaled(bool Value) { scaled_ = Value; }
  bool Active() const { return active_; }
  TControl* ActiveControl() const { return active_control_; }
  void SetActiveControl(TControl* Value) { active_control_ = Value; }
  int ModalResult() const { return modal_result_; }
  void SetModalResult(int Value) { modal_result_ = Value; }

  // Borderless over the whole screen, or back to the border and place it had.
  void SetFullScreen(bool Value);

  void Notification(TComponent* AComponent, TOperation Operation) override;
  void GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) override;
  TComponent* GetParentComponent() const override { return nullptr; }
  bool HasParent() const override { return false; }
  void Loaded() override;
  TPoint ClientOrigin() const override;
  int ClientWidth() const override;
  int ClientHeight() const override;
  void SetClientSize(int AWidth, int AHeight) override;

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

 protected:
  void WndProc(TMessage& Message) override;
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  QWidget* GetClientWidget() override;
  void ApplyText() override;
  void ApplyColor() override;
  void ApplyVisible() override;
  TPoint WidgetOffset() const override { return TPoint{0, 0}; }
  void UpdateScrollBars() override;
  virtual void WMSysCommand(TMessage& Message);
  virtual void WMClose(TMessage& Message);
  virtual void WMActivate(TMessage& Message);
  virtual bool CloseQuery();
  virtual void DoClose(TCloseAction& Action);
  virtual void DoCreate();
  virtual void DoShow();
  virtual void DoHide();
  // The window styles of the border style and icons.
  void BorderStyles(win::DWORD& Style, win::DWORD& ExStyle) const;
  void UpdateMenuBar();
  void LayoutClient();
  void Destroying() override;
  win::RECT Margins() const;
  bool IsTopLevel() const override { return true; }
  bool PreviewsKeys() const override { return key_preview_; }
  void ControlFocused(TWinControl* Control) override { SetActiveControl(Control); }

 private:
  friend class TMainMenu;
  friend class TMenuItem;
  TFormBorderStyle border_style_ = bsSizeable;
  TBorderIcons border_icons_{biSystemMenu, biMinimize, biMaximize};
  TWindowState window_state_ = wsNormal;
  TPosition position_ = poDesigned;
  bool key_preview_ = false;
  TMainMenu* menu_ = nullptr;
  TFormStyle form_style_ = fsNormal;
  int pixels_per_inch_ = 96;
  bool scaled_ = true;
  bool active_ = false;
  TControl* active_control_ = nullptr;
  int modal_result_ = 0;
  bool created_ = false;
  bool shown_once_ = false;
  QWidget* client_ = nullptr;
  QMenuBar* menu_bar_ = nullptr;
  QScrollBar* hscroll_ = nullptr;
  int pending_client_width_ = -1;
  int pending_client_height_ = -1;
  bool syncing_scroll_ = false;
};

// The form a control lies on (the outermost of its parents, if that is a form; the control
// itself when it is a form without a parent), or null.
TCustomForm* GetParentForm(const TControl* Control);

class TForm : public TCustomForm {
  FW_CLASS(TForm, TCustomForm)
 public:
  explicit TForm(TComponent* AOwner);
  // Creates the form and reads `Description` into it (see LoadFromDescription); OnCreate runs
  // afterwards. The form's own overrides are not yet in force during this base constructor:
  // form classes that override window parameters call LoadFromDescription themselves.
  TForm(TComponent* AOwner, std::string_view Description);
};

using TIdleEvent = TEvent<void(TObject* Sender, bool& Done)>;
using TExceptionEvent = TEvent<void(TObject* Sender, const std::exception& E)>;
// A main-window hook: true when it handled the message (the application then does nothing more).
using TWindowHook = std::function<bool(TMessage& Message)>;

class TApplication : public TComponent {
  FW_CLASS(TApplication, TComponent)
 public:
  explicit TApplication(TComponent* AOwner);
  ~TApplication() override;

  // Makes the window system's application object if there is none yet (argc/argv may be 0).
  void Initialize();
  // Creates a form owned by the application; the first one becomes the main form.
  template <class T>
  void CreateForm(T*& Reference) {
    Reference = new T(this);
    if (!main_form_) main_form_ = Reference;
  }
  TCustomForm* MainForm() const { return main_form_; }

  // The hidden main window.
  win::HWND Handle();
  const std::string& Title() const;
  void SetTitle(const std::string& Value) { title_ = Value; }
  bool Active() const { return active_; }
  bool Terminated() const { return terminated_; }
  void Terminate();
  bool ShowMainForm() const { return show_main_form_; }
  void SetShowMainForm(bool Value) { show_main_form_ = Value; }

  // The message loop: shows the main form, then HandleMessage until Terminate.
  void Run();
  // Processes everything waiting (window-system events, posted messages) without waiting and
  // without idle processing.
  void ProcessMessages();
  // One step of the loop: a message if there is one, otherwise idle processing.
  void HandleMessage();
  // Idle processing as the loop does it on an empty queue (and the wait, when Done).
  void Idle();

  // Main-window hooks, called in registration order; each sees the message before the
  // application handles it.
  int HookMainWindow(TWindowHook Hook);
  void UnhookMainWindow(int HookId);

  // Shows the message of the exception being handled (or hands it to OnException).
  void HandleException(TObject* Sender);
  void HandleException(std::exception_ptr E, TObject* Sender);
  void ShowException(const std::exception& E);
  // The plain message box with the application's title as the default caption.
  int MessageBox(const std::string& Text, const std::string& Caption, win::UINT Flags);

  TIdleEvent OnIdle;
  TExceptionEvent OnException;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;

  // The application's window procedure, after the hooks.
  void WndProc(TMessage& Message);

 private:
  friend class TCustomForm;
  friend struct TApplicationTesting;
  bool ProcessMessage();
  void DoActivate(bool Active);
  static win::LRESULT AppWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);

  struct Hook {
    int Id;
    TWindowHook Fn;
  };
  std::vector<Hook> hooks_;
  int next_hook_id_ = 0;
  TCustomForm* main_form_ = nullptr;
  win::HWND handle_ = nullptr;
  std::string title_;
  bool active_ = false;
  bool terminated_ = false;
  bool show_main_form_ = true;
  bool handling_exception_ = false;
  int idle_count_ = 0;
  int wait_count_ = 0;
  std::function<void()> wait_hook_;  // replaces the wait for the next event when set
  std::unique_ptr<QApplication> qt_app_;
};

// The screen: size and the forms that exist.
class TScreen : public TComponent {
  FW_CLASS(TScreen, TComponent)
 public:
  explicit TScreen(TComponent* AOwner);
  int Width() const;
  int Height() const;
  int FormCount() const { return static_cast<int>(forms_.size()); }
  TCustomForm* Forms(int Index) const { return forms_.at(static_cast<std::size_t>(Index)); }
  TCustomForm* ActiveForm() const;
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor Value) { cursor_ = Value; }

 private:
  friend class TCustomForm;
  std::vector<TCustomForm*> forms_;
  TCursor cursor_ = crDefault;
};

// The form descriptions a program carries with it, found by the name of the unit whose form
// they describe. The framework carries none: each program registers its own before it creates
// its forms. Registering a name again replaces its description; the text is copied.
void RegisterFormDescription(std::string_view UnitName, std::string_view Text);
// The registered description of `UnitName`; empty when there is none.
std::string_view FindFormDescription(std::string_view UnitName);

// The program's application object and screen, made by InitApplication (or on first use of
// GetApplication). They live until FreeApplication.
extern TApplication* Application;
extern TScreen* Screen;
TApplication* GetApplication();
void InitApplication();
void FreeApplication();

}  // namespace fw
