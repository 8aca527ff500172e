#pragma once
// A file path in the tests' scratch folder that is removed when the test ends.

#include <unistd.h>

#include <cstdlib>
#include <string>

class TempFile {
 public:
  explicit TempFile(const std::string& stem) {
    const char* dir = std::getenv("NUMERION_TEST_TMP");
    path_ = std::string(dir && *dir ? dir : "/tmp") + "/" + stem + "-" + std::to_string(::getpid()) + "-" +
            std::to_string(counter_++);
    ::unlink(path_.c_str());
  }
  ~TempFile() { ::unlink(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  std::string path_;
};
