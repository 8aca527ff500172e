// numerion-cli: runs one command on the wizard's catalogue (see cli.h).
#include <QCoreApplication>
#include <iostream>

#include "cli.h"

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QStringList arguments = QCoreApplication::arguments();
  arguments.removeFirst();
  return cli::run(arguments, QCoreApplication::applicationDirPath(), std::cout, std::cerr);
}
