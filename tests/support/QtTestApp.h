#pragma once
// Window-system support for tests: the application object over an offscreen Qt, message boxes
// recorded instead of shown, virtual timers, and saving a widget's picture.
#include <string>
#include <vector>

#include "framework/Forms.h"
#include "platform/win/WinUser.h"

class QWidget;

namespace testsupport {

// Makes the application object once per test program (Qt cannot be made twice).
fw::TApplication* EnsureApplication();

// Records every message box shown while it lives, answering OK.
class MessageBoxRecorder {
 public:
  struct Box {
    std::string Text;
    std::string Caption;
    win::UINT Type;
  };
  MessageBoxRecorder();
  ~MessageBoxRecorder();
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;
  std::vector<Box> Boxes;
};

// Directory for pictures tests save ($FLOATBENCH_OUT_DIR, made if missing; "." without it).
std::string OutDir();
// Renders the widget (and its children) and saves it as PNG; returns the path, "" on failure.
std::string SaveWidgetPng(QWidget* widget, const std::string& fileName);

}  // namespace testsupport
