#pragma once
// A form with an input component, for the input tests.
#include <string>

#include "dx/DXClass.h"
#include "dx/DXInput.h"
#include "framework/ClassBuilder.h"
#include "platform/win/WinUser.h"

namespace inputtest {

class TEffectsForm : public dx::TDXForm {
  FW_CLASS(TEffectsForm, dx::TDXForm)
 public:
  TEffectsForm(fw::TComponent* AOwner, const std::string& InputProperties) : TDXForm(AOwner) {
    LoadFromDescription("object EffectsForm: TEffectsForm\n  Left = 50\n  Top = 40\n  ClientHeight = 200\n"
                        "  ClientWidth = 300\n  Caption = 'Effects'\n  object DXInput: TDXInput\n" +
                        InputProperties + "  end\nend\n");
  }
  dx::TDXInput* DXInput = nullptr;
};

// Included by one source of each test program.
FW_REGISTER(TEffectsForm, [](fw::TClassBuilder<TEffectsForm>& b) { b.Field("DXInput", &TEffectsForm::DXInput); })

inline void Front(fw::TCustomForm& f) {
  f.Show();
  win::SetForegroundWindow(f.Handle());
}

}  // namespace inputtest
