// The hash routine and CRC-32 against Crypto++ on random messages. There is no
// library SHA-0; its revision shares the routine (schedule, rounds, padding,
// byte order) and differs by the one rotation, so agreement here covers all
// of SHA-0 except that rotation, which its own known answers cover.

#include <gtest/gtest.h>

#ifdef NUMERION_HAVE_CRYPTOPP

#include <cryptopp/crc.h>
#include <cryptopp/sha.h>

#include <random>

#include "algo_test_util.h"
#include "tomedb/algorithms/Hash_CheckSum.h"
#include "tomedb/algorithms/Hash_SHA.h"

TEST(HashOracle, Sha1RoutineAndCrc32MatchCryptopp) {
  std::mt19937 rng(1234);
  for (size_t length = 0; length < 300; length += 1 + length / 8) {
    const auto message = algotest::RandomBytes(rng, length);

    CryptoPP::SHA1 sha1;
    uint8_t expected[20];
    sha1.CalculateDigest(expected, message.data(), message.size());
    THash_SHA1 mine;
    EXPECT_EQ(algotest::ToHex(mine.CalcBuffer(message.data(), message.size())), algotest::ToHex(expected, 20))
        << length;

    CryptoPP::CRC32 crc;
    uint8_t crcBytes[4];
    crc.CalculateDigest(crcBytes, message.data(), message.size());
    // Crypto++ writes the CRC least significant byte first.
    const uint32_t theirs = uint32_t(crcBytes[0]) | (uint32_t(crcBytes[1]) << 8) | (uint32_t(crcBytes[2]) << 16) |
                            (uint32_t(crcBytes[3]) << 24);
    EXPECT_EQ(THash_CRC32::Checksum(message.data(), message.size()), theirs) << length;
  }
}

#endif
