// Renders the parameter form and the modelling window offscreen and saves them as PNG files:
//   form_screenshot [directory]   (default: $FLOATBENCH_OUT_DIR, else the current directory)
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "app/Main.h"
#include "app/Unit3.h"
#include "framework/Forms.h"

namespace {

bool Save(fw::TCustomForm* form, const std::string& path) {
  QWidget* w = form ? form->WidgetIfMade() : nullptr;
  if (!w) return false;
  return w->grab().save(QString::fromStdString(path), "PNG");
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("DISPLAY") || !std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::string dir = argc > 1 ? argv[1] : (std::getenv("FLOATBENCH_OUT_DIR") ? std::getenv("FLOATBENCH_OUT_DIR") : ".");
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  try {
    fw::InitApplication();
    app::RegisterForms();
    fw::Application->CreateForm(app::Form1);
    fw::Application->CreateForm(app::Form3);
    app::Form1->SetWindowState(fw::wsNormal);
    app::Form1->Show();
    app::Form3->Show();
    fw::Application->ProcessMessages();
    bool ok = Save(app::Form1, dir + "/main_form.png") && Save(app::Form3, dir + "/modelling_window.png");
    std::printf("%s %s/main_form.png %s/modelling_window.png\n", ok ? "saved" : "could not save", dir.c_str(),
                dir.c_str());
    fw::FreeApplication();
    return ok ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "form_screenshot: %s\n", e.what());
    return 2;
  }
}
