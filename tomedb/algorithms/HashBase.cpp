#include "tomedb/algorithms/HashBase.h"

std::vector<uint8_t> THashBase::CalcBuffer(const void* data, size_t length) {
  Init();
  Calc(data, length);
  return Done();
}

std::vector<uint8_t> THashBase::CalcString(std::string_view text) {
  return CalcBuffer(text.data(), text.size());
}

std::string DigestToText(const uint8_t* data, size_t length) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((length + 2) / 3 * 4 + 2);
  for (size_t i = 0; i < length; i += 3) {
    uint32_t group = uint32_t(data[i]) << 16;
    if (i + 1 < length) group |= uint32_t(data[i + 1]) << 8;
    if (i + 2 < length) group |= uint32_t(data[i + 2]);
    // Number of sextets up to and including the last non-zero one.
    int count = 4;
    while (count > 0 && ((group >> (6 * (4 - count))) & 0x3F) == 0) --count;
    for (int s = 0; s < count; ++s) out.push_back(kAlphabet[(group >> (18 - 6 * s)) & 0x3F]);
  }
  if (length % 3 == 1) out += "==";
  else if (length % 3 == 2) out += "=";
  return out;
}
