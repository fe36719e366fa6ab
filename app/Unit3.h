#pragma once
// The modelling window: air, liquid, the body picture and the protrusion field.
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"

namespace app {

class TForm3 : public fw::TForm {
  FW_CLASS(TForm3, fw::TForm)
 public:
  explicit TForm3(fw::TComponent* AOwner);

  fw::TShape* Shape1 = nullptr;  // the liquid
  fw::TShape* Shape2 = nullptr;  // the air
  fw::TImage* Image1 = nullptr;  // the body
  fw::TLabel* Label1 = nullptr;
  fw::TEdit* Edit1 = nullptr;    // the protrusion
  fw::TCheckBox* CheckBox1 = nullptr;

  // A right click on the liquid: a body reaching below the window starts sinking again.
  void Shape1ContextPopup(fw::TObject* Sender, fw::TPoint MousePos, bool& Handled);
};

extern TForm3* Form3;

}  // namespace app
