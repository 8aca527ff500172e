#pragma once
// Helpers shared by the algorithm tests: hex text <-> bytes, seeded random bytes.

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace algotest {

inline std::vector<uint8_t> FromHex(std::string_view hex) {
  std::vector<uint8_t> out;
  int high = -1;
  for (char c : hex) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else continue;  // blanks between groups
    if (high < 0) {
      high = v;
    } else {
      out.push_back(uint8_t(high * 16 + v));
      high = -1;
    }
  }
  return out;
}

inline std::string ToHex(const uint8_t* data, size_t length) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < length; ++i) {
    out.push_back(kDigits[data[i] >> 4]);
    out.push_back(kDigits[data[i] & 0xF]);
  }
  return out;
}
inline std::string ToHex(const std::vector<uint8_t>& bytes) { return ToHex(bytes.data(), bytes.size()); }

inline std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t length) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<uint8_t> out(length);
  for (auto& b : out) b = uint8_t(byte(rng));
  return out;
}

}  // namespace algotest
