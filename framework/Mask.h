#pragma once
// The masked edit: an edit with an input mask. Without a mask it is a plain edit.
#include <string>

#include "framework/StdCtrls.h"

namespace fw {

class TCustomMaskEdit : public TCustomEdit {
  FW_CLASS(TCustomMaskEdit, TCustomEdit)
 public:
  explicit TCustomMaskEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
  const std::string& EditMask() const { return edit_mask_; }
  void SetEditMask(const std::string& Value);
  bool IsMasked() const { return !edit_mask_.empty(); }
  // The mask's own part, without the two trailing fields (";1;_").
  std::string MaskText() const;

 protected:
  void ApplyText() override;

 private:
  std::string edit_mask_;
};

class TMaskEdit : public TCustomMaskEdit {
  FW_CLASS(TMaskEdit, TCustomMaskEdit)
 public:
  explicit TMaskEdit(TComponent* AOwner) : TCustomMaskEdit(AOwner) {}
};

}  // namespace fw
