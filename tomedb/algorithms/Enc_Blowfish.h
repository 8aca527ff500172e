#pragma once
// Blowfish (64-bit block, keys of 1 to 56 bytes; each block is two big-endian
// 32-bit halves) and the database encryption algorithm "Blowfish" over it.

#include <array>

#include "tomedb/algorithms/EncryptBase.h"

class TEnc_Blowfish : public TEncrypt {
 public:
  TEnc_Blowfish() : TEncrypt(8, 56) {}
  ~TEnc_Blowfish() override { ClearKeySchedule(); }
  const char* ClassName() const override { return "TEnc_Blowfish"; }

 protected:
  void SetupKey(const uint8_t* Key, size_t Size) override;
  void ClearKeySchedule() override;
  void EncodeBlock(const uint8_t* In, uint8_t* Out) const override;
  void DecodeBlock(const uint8_t* In, uint8_t* Out) const override;

 private:
  uint32_t F(uint32_t x) const;
  void EncryptWords(uint32_t& left, uint32_t& right) const;

  std::array<uint32_t, 18> fP{};
  std::array<std::array<uint32_t, 256>, 4> fS{};
};

class TEncAlgo_Blowfish : public TEncAlgo_Base {
 public:
  explicit TEncAlgo_Blowfish(TTomeDBFileIO* Owner) : TEncAlgo_Base(Owner, std::make_unique<TEnc_Blowfish>()) {}
  static const TDataProcessAlgoClass& ClassInfo();
  const TDataProcessAlgoClass& AlgoClass() const override { return ClassInfo(); }
};
