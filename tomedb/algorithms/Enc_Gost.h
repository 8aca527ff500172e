#pragma once
// GOST 28147-89 (64-bit block, 256-bit key) and the database encryption
// algorithm "Gost" over it. Key and block are read as little-endian 32-bit
// words; a shorter key is padded with zero bytes. The substitution boxes are
// the set of the GOST R 34.11-94 test parameters (RFC 4357); box i replaces
// nibble i of the round's 32-bit sum, counting from the least significant.

#include <array>

#include "tomedb/algorithms/EncryptBase.h"

// The eight 4-bit substitution boxes, exposed for the tests.
extern const uint8_t kGostSBox[8][16];

class TEnc_Gost : public TEncrypt {
 public:
  TEnc_Gost() : TEncrypt(8, 32) {}
  ~TEnc_Gost() override { ClearKeySchedule(); }
  const char* ClassName() const override { return "TEnc_Gost"; }

 protected:
  void SetupKey(const uint8_t* Key, size_t Size) override;
  void ClearKeySchedule() override;
  void EncodeBlock(const uint8_t* In, uint8_t* Out) const override;
  void DecodeBlock(const uint8_t* In, uint8_t* Out) const override;

 private:
  uint32_t F(uint32_t x) const;

  std::array<uint32_t, 8> fKey{};
};

class TEncAlgo_Gost : public TEncAlgo_Base {
 public:
  explicit TEncAlgo_Gost(TTomeDBFileIO* Owner) : TEncAlgo_Base(Owner, std::make_unique<TEnc_Gost>()) {}
  static const TDataProcessAlgoClass& ClassInfo();
  const TDataProcessAlgoClass& AlgoClass() const override { return ClassInfo(); }
};
