// makecatalogue SOURCEFOLDER OUTPUT: builds the catalogue database.
#include <chrono>
#include <exception>
#include <iostream>

#include "makecatalogue/makecatalogue.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: makecatalogue SOURCEFOLDER OUTPUT\n";
    return 2;
  }
  try {
    const auto start = std::chrono::steady_clock::now();
    const TCatalogueCounts counts = BuildCatalogue(argv[1], argv[2]);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    std::cout << argv[2] << ": " << counts.countries << " countries, " << counts.lotteries << " lotteries, "
              << counts.wheels << " wheels (" << counts.tickets << " tickets) in " << ms.count() << " ms\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "makecatalogue: " << e.what() << "\n";
    return 1;
  }
}
