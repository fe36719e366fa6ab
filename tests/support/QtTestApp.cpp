#include "tests/support/QtTestApp.h"
#include "platform/win/WinUserTesting.h"

#include <QPixmap>
#include <QWidget>

#include <cstdlib>
#include <filesystem>

namespace testsupport {

fw::TApplication* EnsureApplication() {
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  fw::InitApplication();
  return fw::Application;
}

MessageBoxRecorder::MessageBoxRecorder() {
  win::SetMessageBoxHook([this](const std::string& text, const std::string& caption, win::UINT type) {
    Boxes.push_back({text, caption, type});
    return win::IDOK;
  });
}

MessageBoxRecorder::~MessageBoxRecorder() { win::SetMessageBoxHook(nullptr); }

std::string OutDir() {
  const char* d = std::getenv("FLOATBENCH_OUT_DIR");
  std::string dir = d && *d ? d : ".";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

std::string SaveWidgetPng(QWidget* widget, const std::string& fileName) {
  if (!widget) return {};
  QPixmap pm = widget->grab();
  std::string path = OutDir() + "/" + fileName;
  return pm.save(QString::fromStdString(path), "PNG") ? path : std::string();
}

}  // namespace testsupport
