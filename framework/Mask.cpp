#include "framework/Mask.h"

#include <QLineEdit>

#include "framework/ClassBuilder.h"

namespace fw {

FW_REGISTER(TCustomMaskEdit, [](TClassBuilder<TCustomMaskEdit>& b) {
  b.String("EditMask", &TCustomMaskEdit::EditMask, &TCustomMaskEdit::SetEditMask);
})
FW_REGISTER(TMaskEdit, nullptr)

void TCustomMaskEdit::SetEditMask(const std::string& Value) {
  if (edit_mask_ == Value) return;
  edit_mask_ = Value;
  ApplyText();
}

std::string TCustomMaskEdit::MaskText() const {
  std::string m = edit_mask_;
  // "mask;save literals;blank" - the last two fields are optional.
  for (int i = 0; i < 2; ++i) {
    auto p = m.find_last_of(';');
    if (p == std::string::npos || (p > 0 && m[p - 1] == '\\')) break;
    m = m.substr(0, p);
  }
  return m;
}

void TCustomMaskEdit::ApplyText() {
  TCustomEdit::ApplyText();
  QLineEdit* e = LineEdit();
  if (!e) return;
  // The common mask characters have the same meaning for the Qt field ('0' digit, '9' optional
  // digit, 'L'/'l' letters, 'A'/'a' letters or digits, literals escaped with '\').
  QString want = IsMasked() ? QString::fromStdString(MaskText()) : QString();
  if (e->inputMask() != want) e->setInputMask(want);
}

}  // namespace fw
