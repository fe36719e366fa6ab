#include "framework/Dialogs.h"

#include "framework/Forms.h"

namespace fw {

void ShowMessage(const std::string& Msg) {
  TApplication* app = GetApplication();
  app->MessageBox(Msg, app->Title(), win::MB_OK);
}

}  // namespace fw
