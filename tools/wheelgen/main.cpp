// wheelgen: verifies wheels, searches for small ones, keeps the catalogue's wheel
// sources (catalogue/wheels/) and writes their report (docs/wheels.md).
// Run "wheelgen --help" for the commands.

#include <iostream>
#include <string>
#include <vector>

#include "wheelcore/commands.h"

int main(int argc, char** argv) {
  return runWheelgen(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
