#pragma once
// Controls: the visual components of a form. TControl has bounds, colour, font, cursor, caption
// and mouse events; TWinControl adds a window handle whose window procedure receives the
// platform's messages, child controls and keyboard events; TGraphicControl draws on its
// parent's surface without a window of its own; TCustomControl is a windowed control that paints
// itself.
//
// Messages reach a control through `WindowProc`, a replaceable method (an interceptor saves it,
// installs its own and calls the saved one to pass a message on). Its default is `WndProc`,
// which turns messages into the controls' events; what no handler takes goes to
// `DefaultHandler`, the window's own processing in the window system.
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Colors.h"
#include "framework/Fonts.h"
#include "framework/Graphics.h"
#include "framework/Sets.h"
#include "framework/Types.h"
#include "platform/win/WinTypes.h"

class QWidget;
class QPainter;
class QObject;
class QColor;

namespace fw {

class TWinControl;

// A message as the window procedure sees it; Result is the answer.
struct TMessage {
  win::UINT Msg = 0;
  win::WPARAM WParam = 0;
  win::LPARAM LParam = 0;
  win::LRESULT Result = 0;
};
using TWndMethod = std::function<void(TMessage& Message)>;

// The framework's own messages (not the window system's), sent with Perform.
inline constexpr win::UINT CM_BASE = 0xB000;
inline constexpr win::UINT CM_ACTIVATE = CM_BASE + 0;
inline constexpr win::UINT CM_DEACTIVATE = CM_BASE + 1;
inline constexpr win::UINT CM_ENABLEDCHANGED = CM_BASE + 5;
inline constexpr win::UINT CM_COLORCHANGED = CM_BASE + 6;
inline constexpr win::UINT CM_FONTCHANGED = CM_BASE + 7;
inline constexpr win::UINT CM_CURSORCHANGED = CM_BASE + 8;
inline constexpr win::UINT CM_PARENTFONTCHANGED = CM_BASE + 10;
inline constexpr win::UINT CM_PARENTCOLORCHANGED = CM_BASE + 11;
inline constexpr win::UINT CM_TEXTCHANGED = CM_BASE + 18;
inline constexpr win::UINT CM_VISIBLECHANGED = CM_BASE + 22;
inline constexpr win::UINT CM_MOUSEENTER = CM_BASE + 19;
inline constexpr win::UINT CM_MOUSELEAVE = CM_BASE + 20;
inline constexpr win::UINT CM_SHOWINGCHANGED = CM_BASE + 28;
// Sent to the window that shows a main menu when the menu's items change.
inline constexpr win::UINT CM_MENUCHANGED = CM_BASE + 45;

enum class TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using enum TShiftStateItem;
using TShiftState = TSet<TShiftStateItem>;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
using enum TMouseButton;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
using enum TAlign;

// Cursors: the standard ones are negative numbers.
using TCursor = std::int32_t;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crNone = -1;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crSizeNESW = -6;
inline constexpr TCursor crSizeNS = -7;
inline constexpr TCursor crSizeNWSE = -8;
inline constexpr TCursor crSizeWE = -9;
inline constexpr TCursor crUpArrow = -10;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crAppStart = -19;
inline constexpr TCursor crHelp = -20;
inline constexpr TCursor crHandPoint = -21;
inline constexpr TCursor crSizeAll = -22;
// "crHandPoint" for crHandPoint; IdentToCursor accepts the names without regard to case.
bool CursorToIdent(TCursor Cursor, std::string& Ident);
bool IdentToCursor(const std::string& Ident, TCursor& Cursor);
// The platform cursor shown for a framework cursor (null for crNone).
win::HCURSOR CursorHandle(TCursor Cursor);

using TMouseEvent = TEvent<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = TEvent<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = TEvent<void(TObject* Sender, std::uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = TEvent<void(TObject* Sender, char& Key)>;
using TContextPopupEvent = TEvent<void(TObject* Sender, TPoint MousePos, bool& Handled)>;

// The shift state of a key message (from the keyboard table) and of a mouse message.
TShiftState KeysToShiftState(win::WPARAM Keys);
TShiftState KeyDataToShiftState(win::LPARAM KeyData);

class TControl : public TComponent {
  FW_CLASS(TControl, TComponent)
 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  TWndMethod WindowProc;
  // Sends a message through WindowProc and returns its result.
  win::LRESULT Perform(win::UINT Msg, win::WPARAM WParam, win::LPARAM LParam);

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* AParent);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int Value) { SetBounds(Value, top_, width_, height_); }
  void SetTop(int Value) { SetBounds(left_, Value, width_, height_); }
  void SetWidth(int Value) { SetBounds(left_, top_, Value, height_); }
  void SetHeight(int Value) { SetBounds(left_, top_, width_, Value); }
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& R) { SetBounds(R.left, R.top, R.right - R.left, R.bottom - R.top); }
  virtual int ClientWidth() const { return width_; }
  virtual int ClientHeight() const { return height_; }
  void SetClientWidth(int Value) { SetClientSize(Value, ClientHeight()); }
  void SetClientHeight(int Value) { SetClientSize(ClientWidth(), Value); }
  virtual void SetClientSize(int AWidth, int AHeight);
  TRect ClientRect() const { return Rect(0, 0, ClientWidth(), ClientHeight()); }
  // The top left of the client area in the parent's client coordinates.
  virtual TPoint ClientOrigin() const;
  TPoint ClientToScreen(const TPoint& Point) const;
  TPoint ScreenToClient(const TPoint& Point) const;

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and every parent up to a shown form visible too.
  bool Showing() const;
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool Value);

  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  bool ParentColor() const { return parent_color_; }
  void SetParentColor(bool Value);
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* Value) { font_->Assign(Value); }
  bool ParentFont() const { return parent_font_; }
  void SetParentFont(bool Value);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor Value);
  TAlign Align() const { return align_; }
  void SetAlign(TAlign Value);

  // Caption and Text are one text; controls publish the name they use.
  const std::string& Caption() const { return text_; }
  void SetCaption(const std::string& Value) { SetText(Value); }
  const std::string& GetTextValue() const { return text_; }
  virtual std::string Text() const { return text_; }
  virtual void SetText(const std::string& Value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& Value) { hint_ = Value; }
  bool ShowHint() const { return show_hint_; }
  void SetShowHint(bool Value) { show_hint_ = Value; }

  // The control's Qt widget (made on first use, once it has a parent with a widget; forms make
  // their own). Null while it cannot be made yet.
  QWidget* Widget();
  QWidget* WidgetIfMade() const;
  void Invalidate();
  void Repaint() { Invalidate(); }
  void Update() { Invalidate(); }
  void BringToFront();
  void SendToBack();

  // Raises the click event, as a mouse click or the keyboard would.
  virtual void Click();
  virtual void DblClick();

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TContextPopupEvent OnContextPopup;
  TNotifyEvent OnResize;

  void SetParentComponent(TComponent* Value) override;
  TComponent* GetParentComponent() const override;
  bool HasParent() const override { return true; }
  void Loaded() override;

 protected:
  virtual void WndProc(TMessage& Message);
  // The window system's processing for a message no handler took.
  virtual void DefaultHandler(TMessage& Message);

  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void DoContextPopup(const TPoint& MousePos, bool& Handled);
  virtual void Resize();
  virtual void TextChanged() {}
  virtual void FontChanged();
  virtual void ColorChanged();
  virtual void VisibleChanging() {}

  // Makes the Qt widget; the base makes a plain one that paints through Paint of graphic
  // controls. Called once the parent's client widget exists.
  virtual QWidget* CreateWidget(QWidget* ParentWidget);
  // Puts the control's state (bounds, visibility, font, colour, text) onto its widget.
  virtual void UpdateWidget();
  virtual void ApplyBounds();
  virtual void ApplyFont();
  virtual void ApplyColor();
  virtual void ApplyText() {}
  virtual void ApplyCursor();
  virtual void ApplyVisible();
  virtual void ApplyEnabled();
  // For controls that make their widget themselves (windowed controls, forms).
  void SetWidgetPointer(QWidget* W);
  void ReleaseWidget();
  bool Loading() const { return ComponentState().Contains(csLoading) || ComponentState().Contains(csReading); }
  // A top-level window (a form) makes its widget without a parent; other controls wait for
  // theirs.
  virtual bool IsTopLevel() const { return false; }
  // The position of the control's widget in its parent's client widget (the parent's scrolling
  // is applied here).
  virtual TPoint WidgetOffset() const;

  // Bounds set without going through the window system (kept in step by windowed controls).
  void UpdateBoundsFields(int ALeft, int ATop, int AWidth, int AHeight);

  bool mouse_down_ = false;
  // Mouse clicks raise Click (controls with a click of their own, like buttons, clear it).
  bool click_events_ = true;
  void SetVisibleField(bool Value) { visible_ = Value; }
  void SetColorField(TColor Value) { color_ = Value; }
  void SetParentFontField(bool Value) { parent_font_ = Value; }
  void SetParentColorField(bool Value) { parent_color_ = Value; }
  void SetTextField(const std::string& Value) { text_ = Value; }

 private:
  friend class TWinControl;
  void ParentFontChanged();
  void ParentColorChanged();
  void MakeWidget();

  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clWindow;
  bool parent_color_ = false;
  std::unique_ptr<TFont> font_;
  bool parent_font_ = true;
  bool applying_parent_ = false;
  TCursor cursor_ = crDefault;
  TAlign align_ = alNone;
  std::string text_;
  std::string hint_;
  bool show_hint_ = false;
  // The widget, forgotten by itself when Qt deletes it with its parent.
  struct WidgetRef;
  std::unique_ptr<WidgetRef> widget_;
  bool making_widget_ = false;
};

// Parameters of a window about to be made; descendants adjust them in CreateParams.
struct TCreateParams {
  std::string Caption;
  win::DWORD Style = 0;
  win::DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  win::HWND WndParent = nullptr;
};

class TWinControl : public TControl {
  FW_CLASS(TWinControl, TControl)
 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  // The window handle, made on first use (its parent's first).
  win::HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  void HandleNeeded() { Handle(); }
  // Destroys the window (WM_DESTROY goes through WindowProc); made again on next use.
  void DestroyHandle();
  void RecreateWnd();

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int Index) const { return controls_.at(static_cast<std::size_t>(Index)); }
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  TControl* ControlAtPos(const TPoint& Pos, bool AllowDisabled) const;
  // The client widget children are put on.
  QWidget* ClientWidget();

  int TabOrder() const { return tab_order_; }
  void SetTabOrder(int Value) { tab_order_ = Value; }
  bool TabStop() const { return tab_stop_; }
  void SetTabStop(bool Value) { tab_stop_ = Value; }
  virtual bool CanFocus() const;
  bool Focused() const;
  virtual void SetFocus();

  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  int ClientWidth() const override;
  int ClientHeight() const override;
  // Lays out the children with an Align other than alNone.
  void Realign();

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;

  void GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) override;

  // The window procedure every framework window starts with: finds the control and calls its
  // WindowProc; exceptions go to the application's default handler.
  static win::LRESULT MainWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);
  // The control whose window this is (null for other windows).
  static TWinControl* FindControl(win::HWND hwnd);

 protected:
  void WndProc(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;
  virtual void CreateParams(TCreateParams& Params);
  // Makes the window over the widget; the widget must exist.
  virtual void CreateWnd();
  virtual void DestroyWnd();
  // Key handling: the form's key preview first, then the control's own events. True when
  // the key was taken (Key set to 0).
  virtual bool DoKeyDown(TMessage& Message);
  virtual bool DoKeyUp(TMessage& Message);
  bool DoKey(TMessage& Message, void (TWinControl::*Handler)(std::uint16_t&, TShiftState));
  virtual void KeyDown(std::uint16_t& Key, TShiftState Shift);
  virtual void KeyUp(std::uint16_t& Key, TShiftState Shift);
  virtual void KeyPress(char& Key);
  virtual void DoEnter();
  virtual void DoExit();
  virtual void WMPaint(TMessage& Message);
  virtual void WMWindowPosChanged(TMessage& Message);
  virtual void AlignControls(TControl* AControl, TRect& Rect);
  // The outermost control this one lies on, itself when it has no parent. A top-level one (a
  // form) previews the keys of the controls on it when PreviewsKeys says so, and hears in
  // ControlFocused which of them is given the focus.
  TWinControl* TopLevelControl();
  virtual bool PreviewsKeys() const { return false; }
  virtual void ControlFocused(TWinControl*) {}

  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void ApplyBounds() override;
  void ApplyVisible() override;
  void ApplyEnabled() override;
  void ApplyCursor() override;
  // The window's client widget when it is not the widget itself (forms, panels with frames).
  virtual QWidget* GetClientWidget() { return WidgetIfMade(); }
  // Makes the widgets and windows of children that are waiting for this one.
  void CreateChildWidgets();
  void ChildBoundsChanged(TControl* Child);

  win::WNDPROC DefWndProc = nullptr;
  bool window_pos_from_system_ = false;

 private:
  friend class TControl;
  std::vector<TControl*> controls_;
  win::HWND handle_ = nullptr;
  int tab_order_ = -1;
  bool tab_stop_ = false;
  bool aligning_ = false;
  bool destroying_handle_ = false;
};

// The canvas of a control that paints itself: it draws on the control's window while the
// window system has it painting (Paint of TGraphicControl and TCustomControl) and refuses to
// draw otherwise. Before each Paint it takes the control's font and, as the brush, its colour.
// Lines and rectangles follow the device context's rules (right and bottom exclusive, a line
// stops before its end point); text is drawn in the font's colour over the brush, unless the
// brush is clear.
class TControlCanvas : public TCanvas {
  FW_CLASS(TControlCanvas, TCanvas)
 public:
  explicit TControlCanvas(TControl* AControl);
  ~TControlCanvas() override;

  TControl* Control() const { return control_; }
  TFont* Font() const { return font_.get(); }
  // Whether the window is being painted (drawing calls draw only then).
  bool Painting() const { return painter_ != nullptr; }

  void FillRect(const TRect& Rect) override;
  void Rectangle(int X1, int Y1, int X2, int Y2) override;
  void MoveTo(int X, int Y) override;
  void LineTo(int X, int Y) override;
  TColor Pixel(int X, int Y) override;
  void SetPixel(int X, int Y, TColor Color) override;

  // Text with its top left at (X, Y); TextRect clips it to Rect and fills Rect with the brush.
  void TextOut(int X, int Y, const std::string& Text);
  void TextRect(const TRect& Rect, int X, int Y, const std::string& Text);
  int TextWidth(const std::string& Text) const;
  int TextHeight(const std::string& Text) const;

 private:
  friend class TGraphicControl;
  friend class TCustomControl;
  friend QPainter* ControlPainter(TControlCanvas& Canvas);
  // Runs Paint with the canvas over the control's painting window.
  void PaintWith(QWidget* Widget, const std::function<void()>& Paint);
  QPainter& Active();

  TControl* control_;
  std::unique_ptr<TFont> font_;
  QPainter* painter_ = nullptr;
  TPoint pen_pos_{0, 0};
};

// The painter behind a painting control canvas, for the framework's own controls that draw
// what the canvas does not offer (bevels, shapes, word-wrapped captions); null when not painting.
QPainter* ControlPainter(TControlCanvas& Canvas);

// A control without a window: it paints on its own widget, its mouse messages come through
// its parent's windows' translation.
class TGraphicControl : public TControl {
  FW_CLASS(TGraphicControl, TControl)
 public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;

 protected:
  // Draws the control; the canvas draws on the control while the call runs.
  virtual void Paint() {}
  TControlCanvas* Canvas() const { return canvas_.get(); }
  void WndProc(TMessage& Message) override;

 private:
  std::unique_ptr<TControlCanvas> canvas_;
};

// A windowed control that paints itself (Paint on WM_PAINT).
class TCustomControl : public TWinControl {
  FW_CLASS(TCustomControl, TWinControl)
 public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;

 protected:
  virtual void Paint() {}
  TControlCanvas* Canvas() const { return canvas_.get(); }
  void WMPaint(TMessage& Message) override;

 private:
  std::unique_ptr<TControlCanvas> canvas_;
};

// Helpers shared by the control units.
QColor ToQColor(TColor Color);

// Exceptions that escape a control's window procedure go to this handler with the control as
// sender: the application's default handler, which the application object installs when it is
// initialized. Without one they go on to the window system's handler (win::GuardedCall).
using TControlExceptionHandler = std::function<void(std::exception_ptr E, TObject* Sender)>;
void SetControlExceptionHandler(TControlExceptionHandler Handler);

}  // namespace fw
