#include "framework/StdCtrls.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include "framework/ClassBuilder.h"
#include "framework/Forms.h"
#include "platform/win/QtWindows.h"

namespace fw {

namespace {

const std::vector<std::string> kAlignments = {"taLeftJustify", "taRightJustify", "taCenter"};

Qt::Alignment HorzAlign(TAlignment a) {
  switch (a) {
    case taRightJustify: return Qt::AlignRight;
    case taCenter: return Qt::AlignHCenter;
    default: return Qt::AlignLeft;
  }
}

// "&File" shows "File" (with the accelerator underlined on the platform; here plain), "&&" one '&'.
std::string StripAccel(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&') {
      if (i + 1 < s.size() && s[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += s[i];
  }
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TCustomLabel

FW_REGISTER(TCustomLabel, [](TClassBuilder<TCustomLabel>& b) {
  b.String("Caption", &TCustomLabel::Caption, &TCustomLabel::SetCaption);
  b.Enum("Alignment", kAlignments, &TCustomLabel::Alignment, &TCustomLabel::SetAlignment).WithDefault(0);
  b.Boolean("AutoSize", &TCustomLabel::AutoSize, &TCustomLabel::SetAutoSize).WithDefault(1);
  b.Enum("Layout", {"tlTop", "tlCenter", "tlBottom"}, &TCustomLabel::Layout, &TCustomLabel::SetLayout).WithDefault(0);
  b.Boolean("ShowAccelChar", &TCustomLabel::ShowAccelChar, &TCustomLabel::SetShowAccelChar).WithDefault(1);
  b.Boolean("Transparent", &TCustomLabel::Transparent, &TCustomLabel::SetTransparent).WithDefault(0);
  b.Boolean("WordWrap", &TCustomLabel::WordWrap, &TCustomLabel::SetWordWrap).WithDefault(0);
})
FW_REGISTER(TLabel, nullptr)

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetParentColorField(true);
  UpdateBoundsFields(0, 0, 65, 17);
}

std::string TCustomLabel::DisplayText() const {
  return show_accel_char_ ? StripAccel(Caption()) : Caption();
}

void TCustomLabel::AdjustBounds() {
  if (!auto_size_ || Loading() || word_wrap_) return;
  QFontMetrics fm(Font()->ToQFont());
  std::string t = DisplayText();
  int w = t.empty() ? 0 : fm.horizontalAdvance(QString::fromStdString(t));
  int h = fm.height();
  int l = Left();
  if (alignment_ == taRightJustify) l = Left() + Width() - w;
  else if (alignment_ == taCenter) l = Left() + (Width() - w) / 2;
  SetBounds(l, Top(), w, h);
}

void TCustomLabel::SetAutoSize(bool Value) {
  if (auto_size_ == Value) return;
  auto_size_ = Value;
  AdjustBounds();
}
void TCustomLabel::SetAlignment(TAlignment Value) {
  alignment_ = Value;
  Invalidate();
}
void TCustomLabel::SetLayout(TTextLayout Value) {
  layout_ = Value;
  Invalidate();
}
void TCustomLabel::SetWordWrap(bool Value) {
  word_wrap_ = Value;
  AdjustBounds();
  Invalidate();
}
void TCustomLabel::SetTransparent(bool Value) {
  transparent_ = Value;
  Invalidate();
}
void TCustomLabel::SetShowAccelChar(bool Value) {
  show_accel_char_ = Value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::FontChanged() {
  TGraphicControl::FontChanged();
  AdjustBounds();
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TCustomLabel::Paint() {
  QPainter* p = ControlPainter(*Canvas());
  if (!p) return;
  QRect r(0, 0, Width(), Height());
  if (!transparent_) p->fillRect(r, ToQColor(Color()));
  p->setFont(Font()->ToQFont());
  p->setPen(ToQColor(Enabled() ? Font()->Color() : clGrayText));
  Qt::Alignment v = layout_ == tlCenter ? Qt::AlignVCenter : layout_ == tlBottom ? Qt::AlignBottom : Qt::AlignTop;
  int flags = static_cast<int>(HorzAlign(alignment_) | v);
  if (word_wrap_) flags |= Qt::TextWordWrap;
  p->drawText(r, flags, QString::fromStdString(DisplayText()));
}

// ---------------------------------------------------------------------------------------------
// TStaticText

FW_REGISTER(TStaticText, [](TClassBuilder<TStaticText>& b) {
  b.String("Caption", &TStaticText::Caption, &TStaticText::SetCaption);
  b.Enum("Alignment", kAlignments, &TStaticText::Alignment, &TStaticText::SetAlignment).WithDefault(0);
  b.Boolean("AutoSize", &TStaticText::AutoSize, &TStaticText::SetAutoSize).WithDefault(1);
  b.Enum("BorderStyle", {"sbsNone", "sbsSingle", "sbsSunken"}, &TStaticText::BorderStyle,
         &TStaticText::SetBorderStyle)
      .WithDefault(0);
})

TStaticText::TStaticText(TComponent* AOwner) : TWinControl(AOwner) {
  SetParentColorField(true);
  UpdateBoundsFields(0, 0, 65, 17);
}

QWidget* TStaticText::CreateWidget(QWidget* ParentWidget) {
  auto* l = new QLabel(ParentWidget);
  l->setAutoFillBackground(true);
  return l;
}

void TStaticText::ApplyText() {
  if (auto* l = qobject_cast<QLabel*>(WidgetIfMade())) {
    l->setText(QString::fromStdString(StripAccel(Caption())));
    l->setAlignment(HorzAlign(alignment_) | Qt::AlignTop);
    l->setFrameStyle(border_style_ == sbsNone ? QFrame::NoFrame
                     : border_style_ == sbsSingle ? (QFrame::Box | QFrame::Plain)
                                                  : (QFrame::Panel | QFrame::Sunken));
  }
}

void TStaticText::ApplyColor() {
  if (QWidget* w = WidgetIfMade()) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, ToQColor(Color()));
    w->setPalette(pal);
  }
}

void TStaticText::AdjustBounds() {
  if (!auto_size_ || Loading()) return;
  QFontMetrics fm(Font()->ToQFont());
  std::string t = StripAccel(Caption());
  int frame = border_style_ == sbsNone ? 0 : 2;
  SetBounds(Left(), Top(), (t.empty() ? 0 : fm.horizontalAdvance(QString::fromStdString(t))) + 2 * frame,
            fm.height() + 2 * frame);
}

void TStaticText::SetAutoSize(bool Value) {
  auto_size_ = Value;
  AdjustBounds();
}
void TStaticText::SetAlignment(TAlignment Value) {
  alignment_ = Value;
  ApplyText();
}
void TStaticText::SetBorderStyle(TStaticBorderStyle Value) {
  border_style_ = Value;
  ApplyText();
  AdjustBounds();
}
void TStaticText::FontChanged() {
  TWinControl::FontChanged();
  AdjustBounds();
}
void TStaticText::Loaded() {
  TWinControl::Loaded();
  AdjustBounds();
}

// ---------------------------------------------------------------------------------------------
// TCustomEdit

FW_REGISTER(TCustomEdit, [](TClassBuilder<TCustomEdit>& b) {
  b.String("Text", &TCustomEdit::Text, &TCustomEdit::SetText);
  b.Boolean("AutoSize", &TCustomEdit::AutoSize, &TCustomEdit::SetAutoSize).WithDefault(1);
  b.Enum("BorderStyle", {"bsNone", "bsSingle"}, &TCustomEdit::BorderStyle, &TCustomEdit::SetBorderStyle).WithDefault(1);
  b.Enum("CharCase", {"ecNormal", "ecUpperCase", "ecLowerCase"}, &TCustomEdit::CharCase, &TCustomEdit::SetCharCase)
      .WithDefault(0);
  b.Integer("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength).WithDefault(0);
  b.Integer("PasswordChar", &TCustomEdit::PasswordChar, &TCustomEdit::SetPasswordChar).WithDefault(0);
  b.Boolean("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly).WithDefault(0);
  b.Event("OnChange", &TCustomEdit::OnChange);
})
FW_REGISTER(TEdit, nullptr)

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
  SetColorField(clWindow);
  SetTabStop(true);
  UpdateBoundsFields(0, 0, 121, 21);
}

QLineEdit* TCustomEdit::LineEdit() const { return qobject_cast<QLineEdit*>(WidgetIfMade()); }

QWidget* TCustomEdit::CreateWidget(QWidget* ParentWidget) {
  auto* e = new QLineEdit(ParentWidget);
  ConnectLineEdit(e);
  return e;
}

void TCustomEdit::ConnectLineEdit(QLineEdit* e) {
  QObject::connect(e, &QLineEdit::textChanged, [this](const QString& t) {
    if (setting_widget_text_) return;
    win::GuardedCall([&] { EditTextChanged(t.toStdString()); });
  });
}

void TCustomEdit::CreateWnd() {
  TWinControl::CreateWnd();
  QLineEdit* e = LineEdit();
  if (HandleAllocated() && e && e != WidgetIfMade()) win::AddEventSource(Handle(), e);
}

void TCustomEdit::EditTextChanged(const std::string& NewText) {
  std::string t = NewText;
  if (char_case_ == ecUpperCase) t = AnsiUpperCase(t);
  else if (char_case_ == ecLowerCase) t = AnsiLowerCase(t);
  if (t == GetTextValue()) return;
  SetTextField(t);
  if (t != NewText) ApplyText();
  modified_ = true;
  Change();
}

void TCustomEdit::SetText(const std::string& Value) {
  if (Value == GetTextValue()) return;
  SetTextField(Value);
  ApplyText();
  if (!Loading()) Change();
}

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

void TCustomEdit::ApplyText() {
  QLineEdit* e = LineEdit();
  if (!e) return;
  QString q = QString::fromStdString(GetTextValue());
  if (e->text() != q) {
    setting_widget_text_ = true;
    e->setText(q);
    setting_widget_text_ = false;
  }
  e->setReadOnly(read_only_);
  e->setMaxLength(max_length_ > 0 ? max_length_ : 32767);
  e->setFrame(border_style_ != TBorderStyle::bsNone);
  e->setEchoMode(password_char_ ? QLineEdit::Password : QLineEdit::Normal);
}

void TCustomEdit::ApplyColor() {
  QLineEdit* e = LineEdit();
  if (!e) return;
  QPalette pal = e->palette();
  pal.setColor(QPalette::Base, ToQColor(Color()));
  e->setPalette(pal);
}

void TCustomEdit::ApplyEnabled() {
  TWinControl::ApplyEnabled();
  if (QLineEdit* e = LineEdit()) e->setEnabled(Enabled());
}

void TCustomEdit::SetReadOnly(bool Value) {
  read_only_ = Value;
  ApplyText();
}
void TCustomEdit::SetMaxLength(int Value) {
  max_length_ = std::max(0, Value);
  ApplyText();
}
void TCustomEdit::SetBorderStyle(TBorderStyle Value) {
  border_style_ = Value;
  ApplyText();
}
void TCustomEdit::SetCharCase(TEditCharCase Value) {
  if (char_case_ == Value) return;
  char_case_ = Value;
  if (Value == ecUpperCase) SetText(AnsiUpperCase(GetTextValue()));
  else if (Value == ecLowerCase) SetText(AnsiLowerCase(GetTextValue()));
}
void TCustomEdit::SetPasswordChar(char Value) {
  password_char_ = Value;
  ApplyText();
}
void TCustomEdit::SelectAll() {
  if (QLineEdit* e = LineEdit()) e->selectAll();
}

// ---------------------------------------------------------------------------------------------
// TButton

FW_REGISTER(TButton, [](TClassBuilder<TButton>& b) {
  b.String("Caption", &TButton::Caption, &TButton::SetCaption);
  b.Boolean("Cancel", &TButton::Cancel, &TButton::SetCancel).WithDefault(0);
  b.Boolean("Default", &TButton::Default, &TButton::SetDefault).WithDefault(0);
  b.Integer("ModalResult", &TButton::ModalResult, &TButton::SetModalResult).WithDefault(0);
})

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
  click_events_ = false;
  SetTabStop(true);
  SetColorField(clBtnFace);
  UpdateBoundsFields(0, 0, 75, 25);
}

QWidget* TButton::CreateWidget(QWidget* ParentWidget) {
  auto* b = new QPushButton(ParentWidget);
  QObject::connect(b, &QPushButton::clicked, [this] { win::GuardedCall([this] { Click(); }); });
  return b;
}

void TButton::ApplyText() {
  if (auto* b = qobject_cast<QPushButton*>(WidgetIfMade())) b->setText(QString::fromStdString(Caption()));
}

void TButton::Click() {
  if (TCustomForm* f = GetParentForm(this)) f->SetModalResult(modal_result_);
  TWinControl::Click();
}

// ---------------------------------------------------------------------------------------------
// TCustomCheckBox

FW_REGISTER(TCustomCheckBox, [](TClassBuilder<TCustomCheckBox>& b) {
  b.String("Caption", &TCustomCheckBox::Caption, &TCustomCheckBox::SetCaption);
  b.Enum("Alignment", kAlignments, &TCustomCheckBox::Alignment, &TCustomCheckBox::SetAlignment).WithDefault(1);
  b.Boolean("AllowGrayed", &TCustomCheckBox::AllowGrayed, &TCustomCheckBox::SetAllowGrayed).WithDefault(0);
  b.Boolean("Checked", &TCustomCheckBox::Checked, &TCustomCheckBox::SetChecked).WithDefault(0);
  b.Enum("State", {"cbUnchecked", "cbChecked", "cbGrayed"}, &TCustomCheckBox::State, &TCustomCheckBox::SetState)
      .WithDefault(0);
})
FW_REGISTER(TCheckBox, nullptr)

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TWinControl(AOwner) {
  click_events_ = false;
  SetTabStop(true);
  SetColorField(clBtnFace);
  UpdateBoundsFields(0, 0, 97, 17);
}

QWidget* TCustomCheckBox::CreateWidget(QWidget* ParentWidget) {
  auto* c = new QCheckBox(ParentWidget);
  QObject::connect(c, &QCheckBox::stateChanged, [this](int s) {
    if (applying_) return;
    TCheckBoxState st = s == Qt::Checked ? cbChecked : s == Qt::PartiallyChecked ? cbGrayed : cbUnchecked;
    win::GuardedCall([&] { SetState(st); });
  });
  return c;
}

void TCustomCheckBox::ApplyText() {
  if (auto* c = qobject_cast<QCheckBox*>(WidgetIfMade())) c->setText(QString::fromStdString(StripAccel(Caption())));
  ApplyState();
}

void TCustomCheckBox::ApplyState() {
  auto* c = qobject_cast<QCheckBox*>(WidgetIfMade());
  if (!c) return;
  applying_ = true;
  c->setTristate(allow_grayed_);
  c->setCheckState(state_ == cbChecked ? Qt::Checked : state_ == cbGrayed ? Qt::PartiallyChecked : Qt::Unchecked);
  applying_ = false;
}

void TCustomCheckBox::SetState(TCheckBoxState Value) {
  if (state_ == Value) return;
  state_ = Value;
  ApplyState();
  if (!Loading()) Click();
}

}  // namespace fw
