#include "tomedb/algorithms/Enc_Gost.h"

#include <cstring>

const uint8_t kGostSBox[8][16] = {
    {4, 10, 9, 2, 13, 8, 0, 14, 6, 11, 1, 12, 7, 15, 5, 3},
    {14, 11, 4, 12, 6, 13, 15, 10, 2, 3, 8, 1, 0, 7, 5, 9},
    {5, 8, 1, 13, 10, 3, 4, 2, 14, 15, 12, 7, 6, 0, 9, 11},
    {7, 13, 10, 1, 0, 8, 9, 15, 14, 4, 6, 12, 11, 2, 5, 3},
    {6, 12, 7, 1, 5, 15, 13, 8, 4, 10, 9, 14, 0, 3, 11, 2},
    {4, 11, 10, 0, 7, 2, 1, 13, 3, 6, 8, 5, 9, 12, 15, 14},
    {13, 11, 4, 1, 3, 15, 5, 9, 0, 10, 14, 7, 6, 8, 2, 12},
    {1, 15, 13, 0, 5, 7, 10, 4, 9, 2, 3, 14, 6, 11, 8, 12},
};

namespace {
inline uint32_t LoadLE32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void StoreLE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
}  // namespace

namespace {
// The substitution of each byte of the sum through its two boxes, already
// placed and rotated left by 11, so a round is four lookups.
struct ByteTables {
  uint32_t t[4][256];
  ByteTables() {
    for (int b = 0; b < 4; ++b)
      for (uint32_t x = 0; x < 256; ++x) {
        const uint32_t y = (uint32_t(kGostSBox[2 * b][x & 0xF]) | (uint32_t(kGostSBox[2 * b + 1][x >> 4]) << 4))
                           << (8 * b);
        t[b][x] = (y << 11) | (y >> 21);
      }
  }
};
const ByteTables& Tables() {
  static const ByteTables tables;
  return tables;
}
}  // namespace

uint32_t TEnc_Gost::F(uint32_t x) const {
  const auto& t = Tables().t;
  return t[0][x & 0xFF] ^ t[1][(x >> 8) & 0xFF] ^ t[2][(x >> 16) & 0xFF] ^ t[3][x >> 24];
}

void TEnc_Gost::SetupKey(const uint8_t* Key, size_t Size) {
  uint8_t key[32] = {};
  std::memcpy(key, Key, Size);
  for (int i = 0; i < 8; ++i) fKey[i] = LoadLE32(key + 4 * i);
  SecureZero(key, sizeof(key));
}

void TEnc_Gost::ClearKeySchedule() { SecureZero(fKey.data(), sizeof(fKey)); }

// Subkey order: K0..K7 three times, then K7..K0 (encryption); decryption runs
// the same rounds with the order reversed.
void TEnc_Gost::EncodeBlock(const uint8_t* In, uint8_t* Out) const {
  uint32_t n1 = LoadLE32(In), n2 = LoadLE32(In + 4);
  for (int round = 0; round < 32; ++round) {
    const uint32_t k = round < 24 ? fKey[round % 8] : fKey[7 - round % 8];
    const uint32_t t = n2 ^ F(n1 + k);
    n2 = n1;
    n1 = t;
  }
  StoreLE32(Out, n2);
  StoreLE32(Out + 4, n1);
}

void TEnc_Gost::DecodeBlock(const uint8_t* In, uint8_t* Out) const {
  uint32_t n1 = LoadLE32(In), n2 = LoadLE32(In + 4);
  for (int round = 0; round < 32; ++round) {
    const uint32_t k = round < 8 ? fKey[round] : fKey[7 - round % 8];
    const uint32_t t = n2 ^ F(n1 + k);
    n2 = n1;
    n1 = t;
  }
  StoreLE32(Out, n2);
  StoreLE32(Out + 4, n1);
}

const TDataProcessAlgoClass& TEncAlgo_Gost::ClassInfo() {
  static const TDataProcessAlgoClass info{
      "TEncAlgo_Gost",
      [](TTomeDBFileIO* owner) -> std::unique_ptr<TDataProcessAlgo> { return std::make_unique<TEncAlgo_Gost>(owner); }};
  return info;
}
