#pragma once
// The Secure Hash Standard as first published (THash_SHA, the engine's key
// and password hash) and its revision with the rotated message schedule
// (THash_SHA1). The two share one compression routine; keeping both lets the
// first be checked against independent implementations of the second.

#include <array>
#include <cstdint>

#include "tomedb/algorithms/HashBase.h"

class THash_SHA : public THashBase {
 public:
  THash_SHA() { Init(); }
  void Init() override;
  void Calc(const void* data, size_t length) override;
  std::vector<uint8_t> Done() override;
  size_t DigestSize() const override { return 20; }

 protected:
  // True in the revised standard: each schedule word is rotated left by one.
  explicit THash_SHA(bool rotateSchedule) : fRotateSchedule(rotateSchedule) { Init(); }

 private:
  void Transform(const uint8_t* block);

  bool fRotateSchedule = false;
  std::array<uint32_t, 5> fDigest{};
  std::array<uint8_t, 64> fBuffer{};
  size_t fBufferUsed = 0;
  uint64_t fCount = 0;  // message length in bytes
};

class THash_SHA1 : public THash_SHA {
 public:
  THash_SHA1() : THash_SHA(true) {}
};
