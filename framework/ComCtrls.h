#pragma once
// Common controls: the page control with its tab sheets, and the track bar.
#include <string>
#include <vector>

#include "framework/Controls.h"

class QTabBar;
class QSlider;

namespace fw {

class TPageControl;

// One page of a page control; its bounds are the page control's display area.
class TTabSheet : public TWinControl {
  FW_CLASS(TTabSheet, TWinControl)
 public:
  explicit TTabSheet(TComponent* AOwner);
  ~TTabSheet() override;
  TPageControl* PageControl() const { return page_control_; }
  void SetPageControl(TPageControl* Value);
  int PageIndex() const;
  void SetPageIndex(int Value);
  bool TabVisible() const { return tab_visible_; }
  void SetTabVisible(bool Value);
  int ImageIndex() const { return image_index_; }
  void SetImageIndex(int Value) { image_index_ = Value; }
  void SetParentComponent(TComponent* Value) override;

 protected:
  void TextChanged() override;
  void ApplyColor() override;

 private:
  friend class TPageControl;
  TPageControl* page_control_ = nullptr;
  bool tab_visible_ = true;
  int image_index_ = -1;
};

using TTabChangingEvent = TEvent<void(TObject* Sender, bool& AllowChange)>;

class TPageControl : public TWinControl {
  FW_CLASS(TPageControl, TWinControl)
 public:
  explicit TPageControl(TComponent* AOwner);
  ~TPageControl() override;
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* Pages(int Index) const { return pages_.at(static_cast<std::size_t>(Index)); }
  TTabSheet* ActivePage() const { return active_; }
  void SetActivePage(TTabSheet* Value);
  int ActivePageIndex() const;
  void SetActivePageIndex(int Value);
  bool MultiLine() const { return multi_line_; }
  void SetMultiLine(bool Value);
  // The area the pages take, in the page control's client coordinates.
  TRect DisplayRect() const;
  // Chooses a page as a click on its tab would: OnChanging may refuse, OnChange follows.
  void SelectPage(int Index);

  TNotifyEvent OnChange;
  TTabChangingEvent OnChanging;

  void GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Loaded() override;

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void AlignControls(TControl* AControl, TRect& Rect) override;
  void ApplyFont() override;

 private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* Page);
  void RemovePage(TTabSheet* Page);
  void UpdateTabs();
  void ShowActive();
  std::vector<TTabSheet*> pages_;
  TTabSheet* active_ = nullptr;
  bool multi_line_ = false;
  QTabBar* tabs_ = nullptr;
  bool updating_tabs_ = false;
  bool making_tabs_ = false;
};

enum class TTrackBarOrientation { trHorizontal, trVertical };
using enum TTrackBarOrientation;
enum class TTickMark { tmBottomRight, tmTopLeft, tmBoth };
using enum TTickMark;
enum class TTickStyle { tsNone, tsAuto, tsManual };
using enum TTickStyle;

class TTrackBar : public TWinControl {
  FW_CLASS(TTrackBar, TWinControl)
 public:
  explicit TTrackBar(TComponent* AOwner);
  int Min() const { return min_; }
  void SetMin(int Value);
  int Max() const { return max_; }
  void SetMax(int Value);
  int Position() const { return position_; }
  // Kept within Min..Max; a change raises OnChange.
  void SetPosition(int Value);
  int Frequency() const { return frequency_; }
  void SetFrequency(int Value);
  int PageSize() const { return page_size_; }
  void SetPageSize(int Value) { page_size_ = Value; }
  int LineSize() const { return line_size_; }
  void SetLineSize(int Value) { line_size_ = Value; }
  TTrackBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TTrackBarOrientation Value);
  TTickMark TickMarks() const { return tick_marks_; }
  void SetTickMarks(TTickMark Value) { tick_marks_ = Value; ApplyRange(); }
  TTickStyle TickStyle() const { return tick_style_; }
  void SetTickStyle(TTickStyle Value) { tick_style_ = Value; ApplyRange(); }

  TNotifyEvent OnChange;

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void ApplyRange();

 private:
  int min_ = 0;
  int max_ = 10;
  int position_ = 0;
  int frequency_ = 1;
  int page_size_ = 2;
  int line_size_ = 1;
  TTrackBarOrientation orientation_ = trHorizontal;
  TTickMark tick_marks_ = tmBottomRight;
  TTickStyle tick_style_ = tsAuto;
  bool applying_ = false;
};

}  // namespace fw
