#include "tomedb/algorithms/Hash_CheckSum.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

void THash_CRC32::Calc(const void* data, size_t length) {
  // zlib's crc32 continues a running checksum; feed it in pieces that fit its
  // length type.
  const Bytef* p = static_cast<const Bytef*>(data);
  while (length > 0) {
    uInt take = uInt(std::min<size_t>(length, UINT_MAX));
    fValue = uint32_t(crc32(fValue, p, take));
    p += take;
    length -= take;
  }
}

std::vector<uint8_t> THash_CRC32::Done() {
  std::vector<uint8_t> out = {uint8_t(fValue >> 24), uint8_t(fValue >> 16), uint8_t(fValue >> 8),
                              uint8_t(fValue)};
  Init();
  return out;
}

uint32_t THash_CRC32::Checksum(const void* data, size_t length) {
  THash_CRC32 h;
  h.Calc(data, length);
  return h.Value();
}
