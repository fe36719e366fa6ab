// FloatBench: the program's entry.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget main;
  main.setWindowTitle("FloatBench");
  main.resize(800, 600);
  main.showMaximized();
  return app.exec();
}
