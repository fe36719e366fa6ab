#include "tests/support/ProgramForms.h"

#include "app/Main.h"
#include "app/Unit3.h"
#include "app/Unit4.h"
#include "framework/FormsTesting.h"
#include "platform/win/WinUserTesting.h"

namespace testsupport {

void MakeProgramForms(bool Scene) {
  fw::InitApplication();
  fw::Application->Initialize();
  fw::Application->SetTitle("FloatBench");
  app::RegisterForms();
  app::ResetModelState();
  win::SetVirtualTimers(true);
  fw::Application->CreateForm(app::Form1);
  fw::Application->CreateForm(app::Form3);
  if (Scene) fw::Application->CreateForm(app::form4);
}

void FreeProgramForms() {
  if (app::form4) app::form4->Free();
  app::Form3->Free();
  app::Form1->Free();
  app::form4 = nullptr;
  app::Form3 = nullptr;
  app::Form1 = nullptr;
  fw::TApplicationTesting::SetMainForm(*fw::Application, nullptr);
  fw::Application->OnIdle = nullptr;
}

}  // namespace testsupport
