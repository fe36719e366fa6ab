// FloatBench: the program's entry. The parameter form is created first and so becomes the main
// form; the modelling window and the full-screen model are created hidden; the message loop
// runs until "Вийти" or until the main form is closed.
#include "app/Main.h"
#include "app/Unit3.h"
#include "app/Unit4.h"

int main() {
  fw::InitApplication();
  fw::Application->Initialize();
  fw::Application->SetTitle("FloatBench");
  app::RegisterForms();
  fw::Application->CreateForm(app::Form1);
  fw::Application->CreateForm(app::Form3);
  fw::Application->CreateForm(app::form4);
  fw::Application->Run();
  fw::FreeApplication();
  return 0;
}
