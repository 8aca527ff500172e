#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QLabel placeholder("Numerion");
  placeholder.show();
  return application.exec();
}
