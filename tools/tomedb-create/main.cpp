#include <iostream>

#include "tools/tomedb-create/createdb.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return RunTomeDBCreate(args, std::cout, std::cerr);
}
