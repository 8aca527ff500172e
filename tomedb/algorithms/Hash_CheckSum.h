#pragma once
// CRC-32 as in IEEE 802.3 (reflected polynomial 0xEDB88320, initial value and
// final complement 0xFFFFFFFF), used by the blob write check. The digest is
// the 32-bit value written most significant byte first.

#include "tomedb/algorithms/HashBase.h"

class THash_CRC32 : public THashBase {
 public:
  THash_CRC32() { Init(); }
  void Init() override { fValue = 0; }
  void Calc(const void* data, size_t length) override;
  std::vector<uint8_t> Done() override;
  size_t DigestSize() const override { return 4; }

  // The checksum of what was added since Init().
  uint32_t Value() const { return fValue; }

  static uint32_t Checksum(const void* data, size_t length);

 private:
  uint32_t fValue = 0;
};
