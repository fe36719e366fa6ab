#pragma once
// More controls: panels, shapes, pictures, and the window timer.
#include <memory>
#include <string>

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/StdCtrls.h"

namespace fw {

enum class TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
using enum TBevelCut;

class TCustomPanel : public TCustomControl {
  FW_CLASS(TCustomPanel, TCustomControl)
 public:
  explicit TCustomPanel(TComponent* AOwner);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  TBevelCut BevelInner() const { return bevel_inner_; }
  void SetBevelInner(TBevelCut Value);
  TBevelCut BevelOuter() const { return bevel_outer_; }
  void SetBevelOuter(TBevelCut Value);
  int BevelWidth() const { return bevel_width_; }
  void SetBevelWidth(int Value);
  int BorderWidth() const { return border_width_; }
  void SetBorderWidth(int Value);
  TBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TBorderStyle Value);

 protected:
  void Paint() override;
  void TextChanged() override { Invalidate(); }
  void ApplyColor() override { Invalidate(); }

 private:
  TAlignment alignment_ = taCenter;
  TBevelCut bevel_inner_ = bvNone;
  TBevelCut bevel_outer_ = bvRaised;
  int bevel_width_ = 1;
  int border_width_ = 0;
  TBorderStyle border_style_ = TBorderStyle::bsNone;
};

class TPanel : public TCustomPanel {
  FW_CLASS(TPanel, TCustomPanel)
 public:
  explicit TPanel(TComponent* AOwner) : TCustomPanel(AOwner) {}
};

enum class TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };
using enum TShapeType;

class TShape : public TGraphicControl {
  FW_CLASS(TShape, TGraphicControl)
 public:
  explicit TShape(TComponent* AOwner);
  ~TShape() override;
  TBrush* Brush() const { return brush_.get(); }
  TPen* Pen() const { return pen_.get(); }
  TShapeType Shape() const { return shape_; }
  void SetShape(TShapeType Value);

 protected:
  void Paint() override;

 private:
  std::unique_ptr<TBrush> brush_;
  std::unique_ptr<TPen> pen_;
  TShapeType shape_ = stRectangle;
};

// Shows its picture's graphic: at its own size in the top left corner, centred, or stretched
// over the whole control.
class TImage : public TGraphicControl {
  FW_CLASS(TImage, TGraphicControl)
 public:
  explicit TImage(TComponent* AOwner);
  ~TImage() override;
  TPicture* Picture() const { return picture_.get(); }
  void SetPicture(TPicture* Value) { picture_->Assign(Value); }
  bool Stretch() const { return stretch_; }
  void SetStretch(bool Value);
  bool Center() const { return center_; }
  void SetCenter(bool Value);
  bool Proportional() const { return proportional_; }
  void SetProportional(bool Value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool Value);
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool Value);
  // Where the graphic goes in the control.
  TRect DestRect() const;

 protected:
  void Paint() override;

 private:
  friend struct TImageTesting;
  // The control's pixels as drawn (0x00RRGGBB, rows top first).
  std::vector<std::uint32_t> RenderPixels();
  void PictureChanged();
  std::unique_ptr<TPicture> picture_;
  bool stretch_ = false;
  bool center_ = false;
  bool proportional_ = false;
  bool transparent_ = false;
  bool auto_size_ = false;
};

// A window timer: OnTimer every Interval milliseconds while Enabled (and Interval is not 0).
// Ticks are WM_TIMER messages of a hidden window of its own.
class TTimer : public TComponent {
  FW_CLASS(TTimer, TComponent)
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned Value);
  // Whether the platform timer runs now.
  bool Running() const;
  // The hidden window that receives the ticks.
  win::HWND Handle() const { return handle_; }
  void Loaded() override;

  TNotifyEvent OnTimer;

 protected:
  virtual void Timer();

 private:
  void UpdateTimer();
  static win::LRESULT TimerWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);
  bool enabled_ = true;
  unsigned interval_ = 1000;
  win::HWND handle_ = nullptr;
};

}  // namespace fw
