#include "tomedb/algorithms/Hash_SHA.h"

#include <algorithm>
#include <cstring>

namespace {
inline uint32_t Rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
inline uint32_t LoadBE32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
}  // namespace

void THash_SHA::Init() {
  fDigest = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
  fBuffer.fill(0);
  fBufferUsed = 0;
  fCount = 0;
}

void THash_SHA::Transform(const uint8_t* block) {
  uint32_t w[80];
  for (int i = 0; i < 16; ++i) w[i] = LoadBE32(block + 4 * i);
  for (int i = 16; i < 80; ++i) {
    uint32_t x = w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16];
    w[i] = fRotateSchedule ? Rol(x, 1) : x;
  }
  uint32_t a = fDigest[0], b = fDigest[1], c = fDigest[2], d = fDigest[3], e = fDigest[4];
  for (int i = 0; i < 80; ++i) {
    uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999u;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1u;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDCu;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6u;
    }
    uint32_t t = Rol(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = Rol(b, 30);
    b = a;
    a = t;
  }
  fDigest[0] += a;
  fDigest[1] += b;
  fDigest[2] += c;
  fDigest[3] += d;
  fDigest[4] += e;
}

void THash_SHA::Calc(const void* data, size_t length) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  fCount += length;
  while (length > 0) {
    size_t take = std::min(length, fBuffer.size() - fBufferUsed);
    std::memcpy(fBuffer.data() + fBufferUsed, p, take);
    fBufferUsed += take;
    p += take;
    length -= take;
    if (fBufferUsed == fBuffer.size()) {
      Transform(fBuffer.data());
      fBufferUsed = 0;
    }
  }
}

std::vector<uint8_t> THash_SHA::Done() {
  const uint64_t bits = fCount * 8;
  uint8_t pad[72] = {0x80};
  size_t padLength = (fBufferUsed < 56) ? 56 - fBufferUsed : 120 - fBufferUsed;
  for (int i = 0; i < 8; ++i) pad[padLength + i] = uint8_t(bits >> (56 - 8 * i));
  const uint64_t count = fCount;
  Calc(pad, padLength + 8);
  fCount = count;
  std::vector<uint8_t> out(20);
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 4; ++j) out[4 * i + j] = uint8_t(fDigest[i] >> (24 - 8 * j));
  Init();
  return out;
}
