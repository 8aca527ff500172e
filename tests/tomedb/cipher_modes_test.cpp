// The five cipher modes of the engine's ciphers: round trips, partial final
// blocks, the initial vector, Done, and use before a key.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>

#include "algo_test_util.h"
#include "core/errors.h"
#include "tomedb/algorithms/Enc_Blowfish.h"
#include "tomedb/algorithms/Enc_Gost.h"
#include "tomedb/algorithms/Enc_Twofish.h"

namespace {

struct CipherCase {
  const char* name;
  std::function<std::unique_ptr<TEncrypt>()> make;
};

const CipherCase kCiphers[] = {
    {"Blowfish", [] { return std::make_unique<TEnc_Blowfish>(); }},
    {"Twofish", [] { return std::make_unique<TEnc_Twofish>(); }},
    {"Gost", [] { return std::make_unique<TEnc_Gost>(); }},
};

std::unique_ptr<TEncrypt> Keyed(const CipherCase& c, uint8_t mode, std::string_view password = "secret") {
  auto cipher = c.make();
  cipher->InitKey(password);
  cipher->SetMode(mode);
  return cipher;
}

}  // namespace

TEST(CipherModes, EveryCipherEveryModeRoundTripsLengthsZeroToForty) {
  std::mt19937 rng(20261208);
  for (const auto& c : kCiphers)
    for (uint8_t mode = 0; mode <= kMaxCipherMode; ++mode)
      for (size_t length = 0; length <= 40; ++length) {
        auto plain = algotest::RandomBytes(rng, length);
        auto cipher = Keyed(c, mode);
        std::vector<uint8_t> coded(length), back(length);
        cipher->EncodeBuffer(plain.data(), coded.data(), length);
        cipher->Done();
        cipher->DecodeBuffer(coded.data(), back.data(), length);
        EXPECT_EQ(back, plain) << c.name << " mode " << int(mode) << " length " << length;
        // In place gives the same bytes.
        cipher->Done();
        std::vector<uint8_t> inPlace = plain;
        cipher->EncodeBuffer(inPlace.data(), inPlace.data(), length);
        EXPECT_EQ(inPlace, coded) << c.name << " mode " << int(mode) << " length " << length;
        // Every mode except ECB's plain tail changes every full block it touches.
        if (mode != cmECB && length >= 8) {
          EXPECT_NE(coded, plain) << c.name << " mode " << int(mode);
        }
      }
}

TEST(CipherModes, EcbLeavesAPartialFinalBlockPlain) {
  for (const auto& c : kCiphers) {
    auto cipher = Keyed(c, cmECB);
    const size_t n = cipher->BlockSize();
    // A 4-byte integer field under any of the ciphers stays as it is.
    const uint8_t value[4] = {0x78, 0x56, 0x34, 0x12};
    uint8_t out[4];
    cipher->EncodeBuffer(value, out, 4);
    EXPECT_TRUE(std::equal(value, value + 4, out)) << c.name;
    // Full blocks are encrypted, the tail after them is not.
    std::vector<uint8_t> data(n + 3, 0xA5), coded(n + 3);
    cipher->EncodeBuffer(data.data(), coded.data(), data.size());
    EXPECT_FALSE(std::equal(data.begin(), data.begin() + n, coded.begin())) << c.name;
    EXPECT_TRUE(std::equal(data.begin() + n, data.end(), coded.begin() + n)) << c.name;
  }
}

TEST(CipherModes, ShortValueInModesZeroAndOneIsValueXorEncryptedIV) {
  for (const auto& c : kCiphers)
    for (uint8_t mode : {cmXorFeedback, cmCBC}) {
      auto cipher = Keyed(c, mode);
      const size_t n = cipher->BlockSize();
      // E(V) computed independently: ECB of the initial vector with the same key.
      auto ecb = Keyed(c, cmECB);
      std::vector<uint8_t> ev(n);
      ecb->EncodeBuffer(cipher->InitialVector(), ev.data(), n);
      std::mt19937 rng(7);
      for (size_t k = 1; k < n; ++k) {
        auto value = algotest::RandomBytes(rng, k);
        std::vector<uint8_t> out(k);
        cipher->EncodeBuffer(value.data(), out.data(), k);
        cipher->Done();
        for (size_t i = 0; i < k; ++i) EXPECT_EQ(out[i], value[i] ^ ev[i]) << c.name << " mode " << int(mode);
      }
    }
}

TEST(CipherModes, InitialVectorIsTheEncryptionOfAllOnes) {
  for (const auto& c : kCiphers) {
    auto cipher = Keyed(c, cmECB);
    std::vector<uint8_t> ones(cipher->BlockSize(), 0xFF), out(cipher->BlockSize());
    cipher->EncodeBuffer(ones.data(), out.data(), out.size());
    EXPECT_TRUE(std::equal(out.begin(), out.end(), cipher->InitialVector())) << c.name;
  }
}

TEST(CipherModes, DoneMakesTwoEncodingsEqualAndChainingOtherwiseRunsOn) {
  for (const auto& c : kCiphers)
    for (uint8_t mode = 0; mode < cmECB; ++mode) {
      auto cipher = Keyed(c, mode);
      const std::vector<uint8_t> value(21, 0x3C);
      std::vector<uint8_t> first(21), second(21), third(21);
      cipher->EncodeBuffer(value.data(), first.data(), value.size());
      cipher->EncodeBuffer(value.data(), second.data(), value.size());
      EXPECT_NE(first, second) << c.name << " mode " << int(mode);
      cipher->Done();
      cipher->EncodeBuffer(value.data(), third.data(), value.size());
      EXPECT_EQ(first, third) << c.name << " mode " << int(mode);
    }
}

TEST(CipherModes, KeyComesFromThePasswordDigest) {
  for (const auto& c : kCiphers) {
    auto a = Keyed(c, cmCBC, "alpha");
    auto b = Keyed(c, cmCBC, "alpha");
    auto other = Keyed(c, cmCBC, "Alpha");
    const std::vector<uint8_t> value(16, 1);
    std::vector<uint8_t> x(16), y(16), z(16);
    a->EncodeBuffer(value.data(), x.data(), 16);
    b->EncodeBuffer(value.data(), y.data(), 16);
    other->EncodeBuffer(value.data(), z.data(), 16);
    EXPECT_EQ(x, y) << c.name;
    EXPECT_NE(x, z) << c.name;
  }
}

TEST(CipherModes, UseBeforeAKeyRaisesEncryptException) {
  for (const auto& c : kCiphers) {
    auto cipher = c.make();
    uint8_t buf[8] = {};
    try {
      cipher->EncodeBuffer(buf, buf, sizeof buf);
      FAIL() << c.name;
    } catch (const EEncryptException& e) {
      EXPECT_EQ(std::string(e.what()),
                std::string(cipher->ClassName()) + " is not initialized call Init() or InitKey() before.");
    }
    EXPECT_THROW(cipher->DecodeBuffer(buf, buf, sizeof buf), EEncryptException);
    EXPECT_THROW(cipher->SetMode(5), EEncryptException);
  }
}
