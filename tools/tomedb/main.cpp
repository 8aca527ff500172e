#include <iostream>

#include "tools/tomedb/tomedbtool.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return RunTomeDB(args, std::cout, std::cerr);
}
