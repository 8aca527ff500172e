#pragma once
// Twofish (128-bit block; keys of up to 16 bytes are padded with zero bytes to
// 16, of 17 to 24 bytes to 24, longer ones to 32) and the database encryption
// algorithm "Twofish" over it. The engine's 20-byte key makes it Twofish-192.

#include <array>

#include "tomedb/algorithms/EncryptBase.h"

class TEnc_Twofish : public TEncrypt {
 public:
  TEnc_Twofish() : TEncrypt(16, 32) {}
  ~TEnc_Twofish() override { ClearKeySchedule(); }
  const char* ClassName() const override { return "TEnc_Twofish"; }

 protected:
  void SetupKey(const uint8_t* Key, size_t Size) override;
  void ClearKeySchedule() override;
  void EncodeBlock(const uint8_t* In, uint8_t* Out) const override;
  void DecodeBlock(const uint8_t* In, uint8_t* Out) const override;

 private:
  uint32_t G(uint32_t x) const;

  std::array<uint32_t, 40> fK{};                     // round subkeys
  std::array<std::array<uint32_t, 256>, 4> fSBox{};  // key-dependent S-boxes combined with the MDS matrix
};

class TEncAlgo_Twofish : public TEncAlgo_Base {
 public:
  explicit TEncAlgo_Twofish(TTomeDBFileIO* Owner) : TEncAlgo_Base(Owner, std::make_unique<TEnc_Twofish>()) {}
  static const TDataProcessAlgoClass& ClassInfo();
  const TDataProcessAlgoClass& AlgoClass() const override { return ClassInfo(); }
};
