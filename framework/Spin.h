#pragma once
// The spin edit: an edit for whole numbers with up and down buttons. Its text is free (a user
// may type a value outside the range); Value reads the text, and the buttons and the Value
// setter keep the number within MinValue..MaxValue when the two differ.
#include "framework/StdCtrls.h"

class QToolButton;

namespace fw {

class TSpinEdit : public TCustomEdit {
  FW_CLASS(TSpinEdit, TCustomEdit)
 public:
  explicit TSpinEdit(TComponent* AOwner);
  int MinValue() const { return min_value_; }
  void SetMinValue(int Value) { min_value_ = Value; }
  int MaxValue() const { return max_value_; }
  void SetMaxValue(int Value) { max_value_ = Value; }
  int Increment() const { return increment_; }
  void SetIncrement(int Value) { increment_ = Value; }
  bool EditorEnabled() const { return editor_enabled_; }
  void SetEditorEnabled(bool Value);
  // The text as a number; MinValue when it is not one.
  int Value() const;
  void SetValue(int Value);
  // The buttons.
  void UpClick();
  void DownClick();
  int CheckValue(int NewValue) const;

  QLineEdit* LineEdit() const override;

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void ApplyBounds() override;
  void LayoutParts();
  bool DoKeyDown(TMessage& Message) override;

 private:
  int min_value_ = 0;
  int max_value_ = 0;
  int increment_ = 1;
  bool editor_enabled_ = true;
  QLineEdit* line_ = nullptr;
  QToolButton* up_ = nullptr;
  QToolButton* down_ = nullptr;
};

}  // namespace fw
