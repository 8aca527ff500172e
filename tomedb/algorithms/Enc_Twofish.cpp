#include "tomedb/algorithms/Enc_Twofish.h"

#include <cstring>

namespace {

inline uint32_t Rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
inline uint32_t Ror(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
inline uint32_t LoadLE32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void StoreLE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

// The fixed permutations q0 and q1, built from their four 4-bit tables.
struct QTables {
  uint8_t q[2][256];
  QTables() {
    static constexpr uint8_t t[2][4][16] = {
        {{8, 1, 7, 13, 6, 15, 3, 2, 0, 11, 5, 9, 14, 12, 10, 4},
         {14, 12, 11, 8, 1, 2, 3, 5, 15, 4, 10, 6, 7, 0, 9, 13},
         {11, 10, 5, 14, 6, 13, 9, 0, 12, 8, 15, 3, 2, 4, 7, 1},
         {13, 7, 15, 4, 1, 2, 6, 14, 9, 11, 3, 0, 8, 5, 12, 10}},
        {{2, 8, 11, 13, 15, 7, 6, 14, 3, 1, 9, 4, 0, 10, 12, 5},
         {1, 14, 2, 11, 4, 12, 3, 7, 6, 13, 10, 5, 15, 9, 0, 8},
         {4, 12, 7, 5, 1, 6, 9, 10, 0, 14, 13, 8, 2, 11, 3, 15},
         {11, 9, 5, 1, 12, 3, 13, 14, 6, 4, 7, 15, 2, 0, 8, 10}}};
    auto ror4 = [](unsigned v) { return ((v >> 1) | (v << 3)) & 0xF; };
    for (int n = 0; n < 2; ++n)
      for (unsigned x = 0; x < 256; ++x) {
        unsigned a0 = x >> 4, b0 = x & 0xF;
        unsigned a1 = a0 ^ b0, b1 = (a0 ^ ror4(b0) ^ (8 * a0)) & 0xF;
        unsigned a2 = t[n][0][a1], b2 = t[n][1][b1];
        unsigned a3 = a2 ^ b2, b3 = (a2 ^ ror4(b2) ^ (8 * a2)) & 0xF;
        unsigned a4 = t[n][2][a3], b4 = t[n][3][b3];
        q[n][x] = uint8_t((b4 << 4) | a4);
      }
  }
};
const QTables& Q() {
  static const QTables tables;
  return tables;
}

// Multiplication in GF(2^8) modulo the given primitive polynomial.
uint8_t GfMul(uint8_t a, uint8_t b, unsigned poly) {
  unsigned r = 0, x = a;
  while (b) {
    if (b & 1) r ^= x;
    x <<= 1;
    if (x & 0x100) x ^= poly;
    b >>= 1;
  }
  return uint8_t(r);
}

constexpr unsigned kMdsPoly = 0x169;  // x^8 + x^6 + x^5 + x^3 + 1
constexpr unsigned kRsPoly = 0x14D;   // x^8 + x^6 + x^3 + x^2 + 1

constexpr uint8_t kMds[4][4] = {
    {0x01, 0xEF, 0x5B, 0x5B}, {0x5B, 0xEF, 0xEF, 0x01}, {0xEF, 0x5B, 0x01, 0xEF}, {0xEF, 0x01, 0xEF, 0x5B}};
constexpr uint8_t kRs[4][8] = {{0x01, 0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E},
                               {0xA4, 0x56, 0x82, 0xF3, 0x1E, 0xC6, 0x68, 0xE5},
                               {0x02, 0xA1, 0xFC, 0xC1, 0x47, 0xAE, 0x3D, 0x19},
                               {0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E, 0x03}};

// Column `col` of the MDS matrix times the byte v, as a little-endian word.
uint32_t MdsColumn(int col, uint8_t v) {
  uint32_t r = 0;
  for (int row = 0; row < 4; ++row) r |= uint32_t(GfMul(kMds[row][col], v, kMdsPoly)) << (8 * row);
  return r;
}

// The q-permutation chain of byte position i for the key words L[0..k-1],
// applied to byte x (the function h of the cipher's definition before its
// MDS step).
uint8_t HByte(int i, uint8_t x, const uint32_t* L, int k) {
  const auto& q = Q().q;
  auto byteOf = [](uint32_t w, int n) { return uint8_t(w >> (8 * n)); };
  // Which permutation each stage uses, per byte position (stage for k=4,
  // stage for k>=3, then the two stages every key length has, then the last).
  static constexpr int q4[4] = {1, 0, 0, 1};
  static constexpr int q3[4] = {1, 1, 0, 0};
  static constexpr int qa[4] = {0, 1, 0, 1};
  static constexpr int qb[4] = {0, 0, 1, 1};
  static constexpr int qc[4] = {1, 0, 1, 0};
  uint8_t y = x;
  if (k == 4) y = q[q4[i]][y] ^ byteOf(L[3], i);
  if (k >= 3) y = q[q3[i]][y] ^ byteOf(L[2], i);
  y = q[qa[i]][y] ^ byteOf(L[1], i);
  y = q[qb[i]][y] ^ byteOf(L[0], i);
  return q[qc[i]][y];
}

uint32_t H(uint32_t X, const uint32_t* L, int k) {
  uint32_t r = 0;
  for (int i = 0; i < 4; ++i) r ^= MdsColumn(i, HByte(i, uint8_t(X >> (8 * i)), L, k));
  return r;
}

}  // namespace

void TEnc_Twofish::SetupKey(const uint8_t* Key, size_t Size) {
  uint8_t key[32] = {};
  std::memcpy(key, Key, Size);
  const size_t padded = Size <= 16 ? 16 : Size <= 24 ? 24 : 32;
  const int k = static_cast<int>(padded / 8);

  uint32_t even[4] = {}, odd[4] = {}, s[4] = {};
  for (int i = 0; i < k; ++i) {
    even[i] = LoadLE32(key + 8 * i);
    odd[i] = LoadLE32(key + 8 * i + 4);
    // S_i = RS · (8 key bytes); the S words are used in reverse order.
    uint32_t word = 0;
    for (int row = 0; row < 4; ++row) {
      uint8_t acc = 0;
      for (int col = 0; col < 8; ++col) acc ^= GfMul(kRs[row][col], key[8 * i + col], kRsPoly);
      word |= uint32_t(acc) << (8 * row);
    }
    s[k - 1 - i] = word;
  }

  constexpr uint32_t rho = 0x01010101u;
  for (uint32_t i = 0; i < 20; ++i) {
    uint32_t a = H(2 * i * rho, even, k);
    uint32_t b = Rol(H((2 * i + 1) * rho, odd, k), 8);
    fK[2 * i] = a + b;
    fK[2 * i + 1] = Rol(a + 2 * b, 9);
  }
  // g(X) = h(X, S): precompute the four byte lanes with the MDS columns.
  for (int lane = 0; lane < 4; ++lane)
    for (unsigned x = 0; x < 256; ++x) fSBox[lane][x] = MdsColumn(lane, HByte(lane, uint8_t(x), s, k));

  SecureZero(key, sizeof(key));
  SecureZero(even, sizeof(even));
  SecureZero(odd, sizeof(odd));
  SecureZero(s, sizeof(s));
}

void TEnc_Twofish::ClearKeySchedule() {
  SecureZero(fK.data(), sizeof(fK));
  SecureZero(fSBox.data(), sizeof(fSBox));
}

uint32_t TEnc_Twofish::G(uint32_t x) const {
  return fSBox[0][x & 0xFF] ^ fSBox[1][(x >> 8) & 0xFF] ^ fSBox[2][(x >> 16) & 0xFF] ^ fSBox[3][x >> 24];
}

void TEnc_Twofish::EncodeBlock(const uint8_t* In, uint8_t* Out) const {
  uint32_t r[4];
  for (int i = 0; i < 4; ++i) r[i] = LoadLE32(In + 4 * i) ^ fK[i];
  for (int round = 0; round < 16; ++round) {
    uint32_t t0 = G(r[0]);
    uint32_t t1 = G(Rol(r[1], 8));
    uint32_t f0 = t0 + t1 + fK[2 * round + 8];
    uint32_t f1 = t0 + 2 * t1 + fK[2 * round + 9];
    uint32_t n2 = Ror(r[2] ^ f0, 1);
    uint32_t n3 = Rol(r[3], 1) ^ f1;
    r[2] = r[0];
    r[3] = r[1];
    r[0] = n2;
    r[1] = n3;
  }
  // Undo the last swap and whiten.
  for (int i = 0; i < 4; ++i) StoreLE32(Out + 4 * i, r[(i + 2) % 4] ^ fK[i + 4]);
}

void TEnc_Twofish::DecodeBlock(const uint8_t* In, uint8_t* Out) const {
  uint32_t r[4];
  for (int i = 0; i < 4; ++i) r[(i + 2) % 4] = LoadLE32(In + 4 * i) ^ fK[i + 4];
  for (int round = 15; round >= 0; --round) {
    // r[0], r[1] hold the values produced by this round; r[2], r[3] its inputs.
    uint32_t t0 = G(r[2]);
    uint32_t t1 = G(Rol(r[3], 8));
    uint32_t f0 = t0 + t1 + fK[2 * round + 8];
    uint32_t f1 = t0 + 2 * t1 + fK[2 * round + 9];
    uint32_t p2 = Rol(r[0], 1) ^ f0;
    uint32_t p3 = Ror(r[1] ^ f1, 1);
    r[0] = r[2];
    r[1] = r[3];
    r[2] = p2;
    r[3] = p3;
  }
  for (int i = 0; i < 4; ++i) StoreLE32(Out + 4 * i, r[i] ^ fK[i]);
}

const TDataProcessAlgoClass& TEncAlgo_Twofish::ClassInfo() {
  static const TDataProcessAlgoClass info{
      "TEncAlgo_Twofish",
      [](TTomeDBFileIO* owner) -> std::unique_ptr<TDataProcessAlgo> { return std::make_unique<TEncAlgo_Twofish>(owner); }};
  return info;
}
