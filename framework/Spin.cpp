#include "framework/Spin.h"

#include <QLineEdit>
#include <QToolButton>
#include <QWidget>

#include "framework/ClassBuilder.h"
#include "platform/win/QtWindows.h"

namespace fw {

FW_REGISTER(TSpinEdit, [](TClassBuilder<TSpinEdit>& b) {
  b.Boolean("EditorEnabled", &TSpinEdit::EditorEnabled, &TSpinEdit::SetEditorEnabled).WithDefault(1);
  b.Integer("Increment", &TSpinEdit::Increment, &TSpinEdit::SetIncrement).WithDefault(1);
  b.Integer("MaxValue", &TSpinEdit::MaxValue, &TSpinEdit::SetMaxValue);
  b.Integer("MinValue", &TSpinEdit::MinValue, &TSpinEdit::SetMinValue);
  b.Integer("Value", &TSpinEdit::Value, &TSpinEdit::SetValue);
})

namespace {
constexpr int kButtonWidth = 15;
}

TSpinEdit::TSpinEdit(TComponent* AOwner) : TCustomEdit(AOwner) {
  SetTextField("0");
  UpdateBoundsFields(0, 0, 121, 22);
}

QLineEdit* TSpinEdit::LineEdit() const { return WidgetIfMade() ? line_ : nullptr; }

QWidget* TSpinEdit::CreateWidget(QWidget* ParentWidget) {
  auto* box = new QWidget(ParentWidget);
  line_ = new QLineEdit(box);
  up_ = new QToolButton(box);
  down_ = new QToolButton(box);
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  up_->setAutoRepeat(true);
  down_->setAutoRepeat(true);
  ConnectLineEdit(line_);
  QObject::connect(up_, &QToolButton::clicked, [this] { win::GuardedCall([this] { UpClick(); }); });
  QObject::connect(down_, &QToolButton::clicked, [this] { win::GuardedCall([this] { DownClick(); }); });
  line_->setReadOnly(!editor_enabled_);
  return box;
}

void TSpinEdit::ApplyBounds() {
  TCustomEdit::ApplyBounds();
  LayoutParts();
}

void TSpinEdit::LayoutParts() {
  if (!line_ || !WidgetIfMade()) return;
  int w = Width(), h = Height();
  line_->setGeometry(0, 0, std::max(0, w - kButtonWidth), h);
  up_->setGeometry(w - kButtonWidth, 0, kButtonWidth, h / 2);
  down_->setGeometry(w - kButtonWidth, h / 2, kButtonWidth, h - h / 2);
}

void TSpinEdit::SetEditorEnabled(bool Value) {
  editor_enabled_ = Value;
  if (LineEdit()) line_->setReadOnly(!Value || ReadOnly());
}

int TSpinEdit::CheckValue(int NewValue) const {
  if (max_value_ != min_value_) {
    if (NewValue < min_value_) return min_value_;
    if (NewValue > max_value_) return max_value_;
  }
  return NewValue;
}

int TSpinEdit::Value() const {
  std::int32_t v = 0;
  if (TryStrToInt(Text(), v)) return v;
  return min_value_;
}

void TSpinEdit::SetValue(int NewValue) {
  // While loading, the range may not be read yet.
  SetText(IntToStr(Loading() ? NewValue : CheckValue(NewValue)));
}

void TSpinEdit::UpClick() {
  if (ReadOnly()) return;
  SetValue(Value() + increment_);
}

void TSpinEdit::DownClick() {
  if (ReadOnly()) return;
  SetValue(Value() - increment_);
}

bool TSpinEdit::DoKeyDown(TMessage& Message) {
  if (TCustomEdit::DoKeyDown(Message)) return true;
  if (Message.WParam == win::VK_UP) {
    UpClick();
    return true;
  }
  if (Message.WParam == win::VK_DOWN) {
    DownClick();
    return true;
  }
  return false;
}

}  // namespace fw
