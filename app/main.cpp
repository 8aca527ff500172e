// Numerion: starts the application, creates the main window and runs the
// message loop until the window closes.
#include <QApplication>

#include "Unit1.h"
#include "platform/tomedblogin.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  installEngineHooks();
  TForm1 form;
  form.show();
  return application.exec();
}
