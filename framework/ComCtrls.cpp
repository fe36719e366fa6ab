#include "framework/ComCtrls.h"

#include <QSlider>
#include <QTabBar>
#include <QWidget>

#include <algorithm>

#include "framework/ClassBuilder.h"
#include "platform/win/QtWindows.h"

namespace fw {

namespace {
// Height of the row of tabs above the pages.
constexpr int kTabHeight = 20;
}  // namespace

// ---------------------------------------------------------------------------------------------
// TTabSheet

FW_REGISTER(TTabSheet, [](TClassBuilder<TTabSheet>& b) {
  b.String("Caption", &TTabSheet::Caption, &TTabSheet::SetCaption);
  b.Integer("ImageIndex", &TTabSheet::ImageIndex, &TTabSheet::SetImageIndex).WithDefault(-1);
  b.Integer("PageIndex", &TTabSheet::PageIndex, &TTabSheet::SetPageIndex).StoredIf([](const TPersistent&) { return false; });
  b.Boolean("TabVisible", &TTabSheet::TabVisible, &TTabSheet::SetTabVisible).WithDefault(1);
})

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner) {
  SetVisibleField(false);
  SetColorField(clBtnFace);
}

TTabSheet::~TTabSheet() {
  if (page_control_) page_control_->RemovePage(this);
}

void TTabSheet::SetParentComponent(TComponent* Value) {
  if (auto* pc = dynamic_cast<TPageControl*>(Value)) SetPageControl(pc);
  else TWinControl::SetParentComponent(Value);
}

void TTabSheet::SetPageControl(TPageControl* Value) {
  if (page_control_ == Value) return;
  if (page_control_) page_control_->RemovePage(this);
  page_control_ = Value;
  SetParent(Value);
  if (Value) Value->InsertPage(this);
}

int TTabSheet::PageIndex() const {
  if (!page_control_) return -1;
  auto& v = page_control_->pages_;
  return static_cast<int>(std::find(v.begin(), v.end(), this) - v.begin());
}

void TTabSheet::SetPageIndex(int Value) {
  if (!page_control_) return;
  auto& v = page_control_->pages_;
  Value = std::clamp(Value, 0, static_cast<int>(v.size()) - 1);
  v.erase(std::find(v.begin(), v.end(), this));
  v.insert(v.begin() + Value, this);
  page_control_->UpdateTabs();
}

void TTabSheet::SetTabVisible(bool Value) {
  if (tab_visible_ == Value) return;
  tab_visible_ = Value;
  if (page_control_) page_control_->UpdateTabs();
}

void TTabSheet::TextChanged() {
  if (page_control_) page_control_->UpdateTabs();
}

void TTabSheet::ApplyColor() {
  if (QWidget* w = WidgetIfMade()) {
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, ToQColor(Color()));
    w->setPalette(pal);
  }
}

// ---------------------------------------------------------------------------------------------
// TPageControl

FW_REGISTER(TPageControl, [](TClassBuilder<TPageControl>& b) {
  b.Component("ActivePage", &TPageControl::ActivePage, &TPageControl::SetActivePage);
  b.Boolean("MultiLine", &TPageControl::MultiLine, &TPageControl::SetMultiLine).WithDefault(0);
  b.Event("OnChange", &TPageControl::OnChange);
  b.Event("OnChanging", &TPageControl::OnChanging);
})

TPageControl::TPageControl(TComponent* AOwner) : TWinControl(AOwner) {
  SetTabStop(true);
  SetColorField(clBtnFace);
  UpdateBoundsFields(0, 0, 289, 193);
}

TPageControl::~TPageControl() {
  for (TTabSheet* p : pages_) p->page_control_ = nullptr;
  pages_.clear();
  active_ = nullptr;
}

QWidget* TPageControl::CreateWidget(QWidget* ParentWidget) {
  auto* w = new QWidget(ParentWidget);
  // The row beside the tabs is the control's own face, not what lies behind it.
  w->setAutoFillBackground(true);
  QPalette pal = w->palette();
  pal.setColor(QPalette::Window, ToQColor(Color()));
  w->setPalette(pal);
  tabs_ = new QTabBar(w);
  tabs_->setExpanding(false);
  tabs_->setDrawBase(true);
  QObject::connect(tabs_, &QTabBar::currentChanged, [this](int tab) {
    if (updating_tabs_ || tab < 0) return;
    int page = tabs_->tabData(tab).toInt();
    win::GuardedCall([&] { SelectPage(page); });
  });
  making_tabs_ = true;
  UpdateTabs();
  making_tabs_ = false;
  return w;
}

void TPageControl::ApplyFont() {
  TWinControl::ApplyFont();
  if (WidgetIfMade() && tabs_) tabs_->setFont(Font()->ToQFont());
}

TRect TPageControl::DisplayRect() const { return Rect(4, kTabHeight + 4, Width() - 4, Height() - 4); }

void TPageControl::AlignControls(TControl* AControl, TRect& R) {
  TRect d = DisplayRect();
  for (TTabSheet* p : pages_) p->SetBounds(d.left, d.top, d.right - d.left, d.bottom - d.top);
  if (WidgetIfMade() && tabs_) tabs_->setGeometry(0, 0, Width(), kTabHeight + 2);
  TWinControl::AlignControls(AControl, R);
}

void TPageControl::InsertPage(TTabSheet* Page) {
  if (std::find(pages_.begin(), pages_.end(), Page) != pages_.end()) return;
  pages_.push_back(Page);
  Page->FreeNotification(this);
  TRect d = DisplayRect();
  Page->SetBounds(d.left, d.top, d.right - d.left, d.bottom - d.top);
  UpdateTabs();
  if (!active_ && !Loading()) SetActivePage(Page);
}

void TPageControl::RemovePage(TTabSheet* Page) {
  auto it = std::find(pages_.begin(), pages_.end(), Page);
  if (it == pages_.end()) return;
  pages_.erase(it);
  Page->page_control_ = nullptr;
  if (active_ == Page) {
    active_ = nullptr;
    if (!pages_.empty()) SetActivePage(pages_.front());
  }
  UpdateTabs();
}

void TPageControl::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove)
    if (auto* p = dynamic_cast<TTabSheet*>(AComponent)) RemovePage(p);
}

void TPageControl::GetChildren(const std::function<void(TComponent*)>& Proc, TComponent*) {
  for (TTabSheet* p : pages_) Proc(p);
}

void TPageControl::Loaded() {
  TWinControl::Loaded();
  if (!active_ && !pages_.empty()) SetActivePage(pages_.front());
  ShowActive();
}

void TPageControl::SetActivePage(TTabSheet* Value) {
  if (Value && Value->page_control_ != this) return;
  active_ = Value;
  ShowActive();
  UpdateTabs();
}

int TPageControl::ActivePageIndex() const {
  auto it = std::find(pages_.begin(), pages_.end(), active_);
  return it == pages_.end() ? -1 : static_cast<int>(it - pages_.begin());
}

void TPageControl::SetActivePageIndex(int Value) {
  SetActivePage(Value >= 0 && Value < PageCount() ? pages_[static_cast<std::size_t>(Value)] : nullptr);
}

void TPageControl::SelectPage(int Index) {
  if (Index < 0 || Index >= PageCount() || pages_[static_cast<std::size_t>(Index)] == active_) return;
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  if (!allow) {
    UpdateTabs();
    return;
  }
  SetActivePage(pages_[static_cast<std::size_t>(Index)]);
  if (OnChange) OnChange(this);
}

void TPageControl::SetMultiLine(bool Value) {
  multi_line_ = Value;
  UpdateTabs();
}

void TPageControl::ShowActive() {
  if (Loading()) return;
  for (TTabSheet* p : pages_) p->SetVisible(p == active_);
  if (active_) active_->BringToFront();
}

void TPageControl::UpdateTabs() {
  if (!tabs_ || (!WidgetIfMade() && !making_tabs_)) return;  // the bar goes with the widget
  updating_tabs_ = true;
  while (tabs_->count() > 0) tabs_->removeTab(0);
  int current = -1;
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    TTabSheet* p = pages_[i];
    if (!p->TabVisible()) continue;
    int t = tabs_->addTab(QString::fromStdString(p->Caption()));
    tabs_->setTabData(t, static_cast<int>(i));
    if (p == active_) current = t;
  }
  if (current >= 0) tabs_->setCurrentIndex(current);
  tabs_->setGeometry(0, 0, Width(), kTabHeight + 2);
  updating_tabs_ = false;
}

// ---------------------------------------------------------------------------------------------
// TTrackBar

FW_REGISTER(TTrackBar, [](TClassBuilder<TTrackBar>& b) {
  b.Integer("Frequency", &TTrackBar::Frequency, &TTrackBar::SetFrequency).WithDefault(1);
  b.Integer("LineSize", &TTrackBar::LineSize, &TTrackBar::SetLineSize).WithDefault(1);
  b.Integer("Max", &TTrackBar::Max, &TTrackBar::SetMax).WithDefault(10);
  b.Integer("Min", &TTrackBar::Min, &TTrackBar::SetMin).WithDefault(0);
  b.Enum("Orientation", {"trHorizontal", "trVertical"}, &TTrackBar::Orientation, &TTrackBar::SetOrientation)
      .WithDefault(0);
  b.Integer("PageSize", &TTrackBar::PageSize, &TTrackBar::SetPageSize).WithDefault(2);
  b.Integer("Position", &TTrackBar::Position, &TTrackBar::SetPosition).WithDefault(0);
  b.Enum("TickMarks", {"tmBottomRight", "tmTopLeft", "tmBoth"}, &TTrackBar::TickMarks, &TTrackBar::SetTickMarks)
      .WithDefault(0);
  b.Enum("TickStyle", {"tsNone", "tsAuto", "tsManual"}, &TTrackBar::TickStyle, &TTrackBar::SetTickStyle)
      .WithDefault(1);
  b.Event("OnChange", &TTrackBar::OnChange);
})

TTrackBar::TTrackBar(TComponent* AOwner) : TWinControl(AOwner) {
  SetTabStop(true);
  SetColorField(clBtnFace);
  UpdateBoundsFields(0, 0, 150, 45);
}

QWidget* TTrackBar::CreateWidget(QWidget* ParentWidget) {
  auto* s = new QSlider(orientation_ == trHorizontal ? Qt::Horizontal : Qt::Vertical, ParentWidget);
  QObject::connect(s, &QSlider::valueChanged, [this](int v) {
    if (applying_) return;
    win::GuardedCall([&] { SetPosition(v); });
  });
  applying_ = true;
  s->setRange(min_, max_);
  s->setValue(position_);
  applying_ = false;
  return s;
}

void TTrackBar::ApplyRange() {
  auto* s = qobject_cast<QSlider*>(WidgetIfMade());
  if (!s) return;
  applying_ = true;
  s->setOrientation(orientation_ == trHorizontal ? Qt::Horizontal : Qt::Vertical);
  s->setRange(min_, max_);
  s->setValue(position_);
  s->setTickInterval(frequency_);
  s->setSingleStep(line_size_);
  s->setPageStep(page_size_);
  s->setTickPosition(tick_style_ == tsNone ? QSlider::NoTicks
                     : tick_marks_ == tmBoth ? QSlider::TicksBothSides
                     : tick_marks_ == tmTopLeft ? QSlider::TicksAbove
                                                : QSlider::TicksBelow);
  applying_ = false;
}

void TTrackBar::SetMin(int Value) {
  min_ = Value;
  if (max_ < min_) max_ = min_;
  if (!Loading()) SetPosition(position_);
  ApplyRange();
}

void TTrackBar::SetMax(int Value) {
  max_ = Value;
  if (min_ > max_) min_ = max_;
  if (!Loading()) SetPosition(position_);
  ApplyRange();
}

void TTrackBar::SetPosition(int Value) {
  if (!Loading()) Value = std::clamp(Value, min_, max_);
  if (position_ == Value) return;
  position_ = Value;
  ApplyRange();
  if (!Loading() && OnChange) OnChange(this);
}

void TTrackBar::SetFrequency(int Value) {
  frequency_ = Value;
  ApplyRange();
}

void TTrackBar::SetOrientation(TTrackBarOrientation Value) {
  orientation_ = Value;
  ApplyRange();
}

}  // namespace fw
