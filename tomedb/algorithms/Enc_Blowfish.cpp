#include "tomedb/algorithms/Enc_Blowfish.h"

#include "core/errors.h"
#include "tomedb/algorithms/Enc_Blowfish_tables.h"

namespace {
inline uint32_t LoadBE32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline void StoreBE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}
}  // namespace

uint32_t TEnc_Blowfish::F(uint32_t x) const {
  return ((fS[0][x >> 24] + fS[1][(x >> 16) & 0xFF]) ^ fS[2][(x >> 8) & 0xFF]) + fS[3][x & 0xFF];
}

void TEnc_Blowfish::EncryptWords(uint32_t& left, uint32_t& right) const {
  uint32_t l = left, r = right;
  for (int i = 0; i < 16; i += 2) {
    l ^= fP[i];
    r ^= F(l);
    r ^= fP[i + 1];
    l ^= F(r);
  }
  l ^= fP[16];
  r ^= fP[17];
  left = r;
  right = l;
}

void TEnc_Blowfish::SetupKey(const uint8_t* Key, size_t Size) {
  if (Size == 0) throw EEncryptException("TEnc_Blowfish: the key is empty");
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 256; ++j) fS[i][j] = kBlowfishInitialS[i][j];
  // The key bytes, cycled, are folded into the 18 subkeys 32 bits at a time.
  size_t k = 0;
  for (int i = 0; i < 18; ++i) {
    uint32_t word = 0;
    for (int b = 0; b < 4; ++b) {
      word = (word << 8) | Key[k];
      k = (k + 1) % Size;
    }
    fP[i] = kBlowfishInitialP[i] ^ word;
  }
  uint32_t l = 0, r = 0;
  for (int i = 0; i < 18; i += 2) {
    EncryptWords(l, r);
    fP[i] = l;
    fP[i + 1] = r;
  }
  for (int s = 0; s < 4; ++s)
    for (int j = 0; j < 256; j += 2) {
      EncryptWords(l, r);
      fS[s][j] = l;
      fS[s][j + 1] = r;
    }
}

void TEnc_Blowfish::ClearKeySchedule() {
  SecureZero(fP.data(), sizeof(fP));
  SecureZero(fS.data(), sizeof(fS));
}

void TEnc_Blowfish::EncodeBlock(const uint8_t* In, uint8_t* Out) const {
  uint32_t l = LoadBE32(In), r = LoadBE32(In + 4);
  EncryptWords(l, r);
  StoreBE32(Out, l);
  StoreBE32(Out + 4, r);
}

void TEnc_Blowfish::DecodeBlock(const uint8_t* In, uint8_t* Out) const {
  uint32_t l = LoadBE32(In), r = LoadBE32(In + 4);
  for (int i = 17; i > 1; i -= 2) {
    l ^= fP[i];
    r ^= F(l);
    r ^= fP[i - 1];
    l ^= F(r);
  }
  l ^= fP[1];
  r ^= fP[0];
  StoreBE32(Out, r);
  StoreBE32(Out + 4, l);
}

const TDataProcessAlgoClass& TEncAlgo_Blowfish::ClassInfo() {
  static const TDataProcessAlgoClass info{
      "TEncAlgo_Blowfish",
      [](TTomeDBFileIO* owner) -> std::unique_ptr<TDataProcessAlgo> { return std::make_unique<TEncAlgo_Blowfish>(owner); }};
  return info;
}
