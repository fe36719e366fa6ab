#pragma once
// Standard controls: labels, static texts, edits, buttons, check boxes.
//
// Edits raise OnChange whenever their text actually changes, typed by the user or set by the
// program, and only then (setting the text it already has does nothing).
#include <string>

#include "framework/Controls.h"

class QLineEdit;

namespace fw {

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
using enum TAlignment;
enum class TTextLayout { tlTop, tlCenter, tlBottom };
using enum TTextLayout;
enum class TBorderStyle { bsNone = 0, bsSingle = 1 };

class TCustomLabel : public TGraphicControl {
  FW_CLASS(TCustomLabel, TGraphicControl)
 public:
  explicit TCustomLabel(TComponent* AOwner);

  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool Value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout Value);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool Value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool Value);
  bool ShowAccelChar() const { return show_accel_char_; }
  void SetShowAccelChar(bool Value);
  // Fits the size to the caption (when AutoSize).
  void AdjustBounds();

 protected:
  void Paint() override;
  void TextChanged() override { AdjustBounds(); Invalidate(); }
  void FontChanged() override;
  void Loaded() override;
  std::string DisplayText() const;

 private:
  bool auto_size_ = true;
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool word_wrap_ = false;
  bool transparent_ = false;
  bool show_accel_char_ = true;
};

class TLabel : public TCustomLabel {
  FW_CLASS(TLabel, TCustomLabel)
 public:
  explicit TLabel(TComponent* AOwner) : TCustomLabel(AOwner) {}
};

enum class TStaticBorderStyle { sbsNone, sbsSingle, sbsSunken };
using enum TStaticBorderStyle;

// A label with a window of its own.
class TStaticText : public TWinControl {
  FW_CLASS(TStaticText, TWinControl)
 public:
  explicit TStaticText(TComponent* AOwner);
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool Value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  TStaticBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TStaticBorderStyle Value);
  void AdjustBounds();

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void ApplyText() override;
  void ApplyColor() override;
  void TextChanged() override { AdjustBounds(); }
  void FontChanged() override;
  void Loaded() override;

 private:
  bool auto_size_ = true;
  TAlignment alignment_ = taLeftJustify;
  TStaticBorderStyle border_style_ = sbsNone;
};

enum class TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
using enum TEditCharCase;

class TCustomEdit : public TWinControl {
  FW_CLASS(TCustomEdit, TWinControl)
 public:
  explicit TCustomEdit(TComponent* AOwner);

  std::string Text() const override { return GetTextValue(); }
  void SetText(const std::string& Value) override;
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool Value);
  int MaxLength() const { return max_length_; }
  void SetMaxLength(int Value);
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool Value) { auto_size_ = Value; }
  TBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TBorderStyle Value);
  TEditCharCase CharCase() const { return char_case_; }
  void SetCharCase(TEditCharCase Value);
  char PasswordChar() const { return password_char_; }
  void SetPasswordChar(char Value);
  bool Modified() const { return modified_; }
  void SetModified(bool Value) { modified_ = Value; }
  void Clear() { SetText(""); }
  void SelectAll();

  TNotifyEvent OnChange;

  // The text field of the control's widget.
  virtual QLineEdit* LineEdit() const;

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void CreateWnd() override;
  void ApplyText() override;
  void ApplyColor() override;
  void ApplyEnabled() override;
  virtual void Change();
  // The widget's text changed (typing): takes it over and raises the change event.
  void EditTextChanged(const std::string& NewText);
  void ConnectLineEdit(QLineEdit* Edit);

 private:
  bool read_only_ = false;
  int max_length_ = 0;
  bool auto_size_ = true;
  TBorderStyle border_style_ = TBorderStyle::bsSingle;
  TEditCharCase char_case_ = ecNormal;
  char password_char_ = 0;
  bool modified_ = false;
  bool setting_widget_text_ = false;
};

class TEdit : public TCustomEdit {
  FW_CLASS(TEdit, TCustomEdit)
 public:
  explicit TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
};

class TButton : public TWinControl {
  FW_CLASS(TButton, TWinControl)
 public:
  explicit TButton(TComponent* AOwner);
  bool Default() const { return default_; }
  void SetDefault(bool Value) { default_ = Value; }
  bool Cancel() const { return cancel_; }
  void SetCancel(bool Value) { cancel_ = Value; }
  int ModalResult() const { return modal_result_; }
  void SetModalResult(int Value) { modal_result_ = Value; }
  // Pressing the button: the form's modal result, then OnClick.
  void Click() override;

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void ApplyText() override;

 private:
  bool default_ = false;
  bool cancel_ = false;
  int modal_result_ = 0;
};

enum class TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
using enum TCheckBoxState;

class TCustomCheckBox : public TWinControl {
  FW_CLASS(TCustomCheckBox, TWinControl)
 public:
  explicit TCustomCheckBox(TComponent* AOwner);
  bool Checked() const { return state_ == cbChecked; }
  void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
  TCheckBoxState State() const { return state_; }
  // A change of state raises OnClick, whoever made it.
  void SetState(TCheckBoxState Value);
  bool AllowGrayed() const { return allow_grayed_; }
  void SetAllowGrayed(bool Value) { allow_grayed_ = Value; }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value) { alignment_ = Value; }

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void ApplyText() override;
  void ApplyState();

 private:
  TCheckBoxState state_ = cbUnchecked;
  bool allow_grayed_ = false;
  TAlignment alignment_ = taRightJustify;
  bool applying_ = false;
};

class TCheckBox : public TCustomCheckBox {
  FW_CLASS(TCheckBox, TCustomCheckBox)
 public:
  explicit TCheckBox(TComponent* AOwner) : TCustomCheckBox(AOwner) {}
};

}  // namespace fw
