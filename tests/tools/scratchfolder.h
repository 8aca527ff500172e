#pragma once
// An empty folder for one test under the tests' scratch area
// (NUMERION_TEST_TMP, else the system's temporary folder), emptied first.
#include <cstdlib>
#include <filesystem>
#include <string>

inline std::filesystem::path scratchFolder(const std::string& name) {
  const char* base = std::getenv("NUMERION_TEST_TMP");
  std::filesystem::path folder =
      std::filesystem::path(base ? base : std::filesystem::temp_directory_path().string()) / name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}
