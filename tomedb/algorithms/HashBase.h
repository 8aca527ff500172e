#pragma once
// Base of the engine's hash functions and the digest text encoding used for
// the password check value.
//
// A hash object is a plain value owned by its user; one object must not be
// used from two threads at once, separate objects are independent.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class THashBase {
 public:
  virtual ~THashBase() = default;

  // Starts a new message; called by the constructor of every subclass.
  virtual void Init() = 0;
  // Adds `length` bytes of the message.
  virtual void Calc(const void* data, size_t length) = 0;
  // Ends the message and returns the digest. The object must be Init()ed
  // again before it hashes another message.
  virtual std::vector<uint8_t> Done() = 0;
  virtual size_t DigestSize() const = 0;

  // One-shot helpers: Init, Calc over the bytes, Done.
  std::vector<uint8_t> CalcBuffer(const void* data, size_t length);
  std::vector<uint8_t> CalcString(std::string_view text);
};

// Turns digest bytes into text over the alphabet A-Z a-z 0-9 + /. Each group of
// three bytes (missing bytes count as 0) emits its 6-bit groups from the most
// significant one up to the last one that is not zero, so a zero group emits
// nothing; "==" follows when the byte count mod 3 is 1, "=" when it is 2.
// This is deliberately not standard Base64: the stored password check values
// are written this way.
std::string DigestToText(const uint8_t* data, size_t length);
inline std::string DigestToText(const std::vector<uint8_t>& digest) {
  return DigestToText(digest.data(), digest.size());
}
