// The compression frame of blob values and the compression manager.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "algo_test_util.h"
#include "core/errors.h"
#include "core/streams.h"
#include "tomedb/algorithms/Compress_Zlib.h"

#ifdef NUMERION_HAVE_CRYPTOPP
#include <cryptopp/filters.h>
#include <cryptopp/zlib.h>
#endif

using Bytes = std::vector<uint8_t>;

namespace {

int32_t FrameLength(const Bytes& frame) {
  return static_cast<int32_t>(uint32_t(frame[0]) | (uint32_t(frame[1]) << 8) | (uint32_t(frame[2]) << 16) |
                              (uint32_t(frame[3]) << 24));
}

std::string LargeText() {
  std::string text;
  for (int i = 0; text.size() < 200000; ++i)
    text += "Ticket " + std::to_string(i) + ": 03-11-17-24-38-45 guaranteed 4 if 5 of 14\n";
  return text;
}

}  // namespace

TEST(CompressionFrame, IncompressibleValueIsStoredWithNegativeLength) {
  std::mt19937 rng(10);
  const Bytes value = algotest::RandomBytes(rng, 10);
  TCompAlgo_Zlib zlib(nullptr);
  const Bytes frame = zlib.CompressBuffer(value.data(), value.size());
  ASSERT_EQ(frame.size(), 14u);
  EXPECT_EQ(FrameLength(frame), -10);
  EXPECT_EQ(Bytes(frame.begin() + 4, frame.end()), value);
  EXPECT_EQ(zlib.DecompressBuffer(frame.data(), frame.size()), value);
}

TEST(CompressionFrame, EmptyValueGivesEmptyFrameBothWays) {
  TCompAlgo_Zlib zlib(nullptr);
  EXPECT_TRUE(zlib.CompressBuffer(nullptr, 0).empty());
  EXPECT_TRUE(zlib.DecompressBuffer(nullptr, 0).empty());
}

TEST(CompressionFrame, LargeTextShrinksAndRoundTripsAtEveryLevel) {
  const std::string text = LargeText();
  const auto* data = reinterpret_cast<const uint8_t*>(text.data());
  TCompAlgo_Zlib zlib(nullptr);
  for (int level = 0; level <= 5; ++level) {
    zlib.SetLevel(uint8_t(level));
    const Bytes frame = zlib.CompressBuffer(data, text.size());
    if (level != 4 && level != 5) {
      EXPECT_EQ(FrameLength(frame), int32_t(text.size())) << level;
      EXPECT_LT(frame.size(), text.size() / 4) << level;
    } else {
      // Levels 4 and above map to zlib's level 0 (stored blocks): no gain, so
      // the frame falls back to the plain value.
      EXPECT_EQ(FrameLength(frame), -int32_t(text.size())) << level;
    }
    const Bytes back = zlib.DecompressBuffer(frame.data(), frame.size());
    EXPECT_EQ(std::string(back.begin(), back.end()), text) << level;
  }
  EXPECT_EQ(TCompAlgo_Zlib::ZlibLevel(0), 9);
  EXPECT_EQ(TCompAlgo_Zlib::ZlibLevel(1), -1);
  EXPECT_EQ(TCompAlgo_Zlib::ZlibLevel(2), 1);
  EXPECT_EQ(TCompAlgo_Zlib::ZlibLevel(3), 1);
  EXPECT_EQ(TCompAlgo_Zlib::ZlibLevel(7), 0);
}

TEST(CompressionFrame, FixedZlibStreamsDecode) {
  TCompAlgo_Zlib zlib(nullptr);
  // zlib stream of "abc" at the default level (Python zlib.compress, quoted in
  // a public Swift zlib test); its trailer is Adler-32("abc") = 024D0127.
  Bytes frame = {3, 0, 0, 0};
  const Bytes abc = algotest::FromHex("789C4B4C4A0600024D0127");
  frame.insert(frame.end(), abc.begin(), abc.end());
  EXPECT_EQ(zlib.DecompressBuffer(frame.data(), frame.size()), (Bytes{'a', 'b', 'c'}));
  // A frame with length 0 and the zlib stream of no bytes (git mailing list,
  // 2007: "78 9c 03 00 00 00 00 01").
  Bytes empty = {0, 0, 0, 0};
  const Bytes z = algotest::FromHex("789C030000000001");
  empty.insert(empty.end(), z.begin(), z.end());
  EXPECT_TRUE(zlib.DecompressBuffer(empty.data(), empty.size()).empty());
}

TEST(CompressionFrame, DamagedFramesAreRefusedWithAMessage) {
  const std::string text = LargeText();
  TCompAlgo_Zlib zlib(nullptr);
  Bytes frame = zlib.CompressBuffer(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  auto refuses = [&](Bytes damaged) {
    try {
      zlib.DecompressBuffer(damaged.data(), damaged.size());
    } catch (const EDatabaseError& e) {
      return e.Kind() == ekDamagedFile && std::string(e.what()) == "Compressed value is damaged";
    }
    return false;
  };
  EXPECT_TRUE(refuses(Bytes(frame.begin(), frame.begin() + 2)));             // shorter than the length
  EXPECT_TRUE(refuses(Bytes(frame.begin(), frame.begin() + frame.size() / 2)));  // truncated stream
  Bytes longer = frame;
  longer[3] = 0x7F;  // claims far more bytes than the stream holds
  EXPECT_TRUE(refuses(longer));
  Bytes garbage = frame;
  for (size_t i = 4; i < garbage.size(); ++i) garbage[i] ^= 0x5A;
  EXPECT_TRUE(refuses(garbage));
}

TEST(CompressionFrame, ProgressIsReportedInPercent) {
  const std::string text = LargeText();
  TCompressMgr mgr(nullptr);
  mgr.SelectAlgo("ZLIB");
  std::vector<int> encode, decode;
  mgr.OnEncodeProgress = [&](TDataProcessAlgo*, int p) { encode.push_back(p); };
  mgr.OnDecodeProgress = [&](TDataProcessAlgo*, int p) { decode.push_back(p); };
  Bytes frame = mgr.CompressBuffer(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  mgr.DecompressBuffer(frame.data(), frame.size());
  ASSERT_FALSE(encode.empty());
  ASSERT_FALSE(decode.empty());
  EXPECT_TRUE(std::is_sorted(encode.begin(), encode.end()));
  EXPECT_TRUE(std::is_sorted(decode.begin(), decode.end()));
  EXPECT_EQ(encode.back(), 100);
  EXPECT_EQ(decode.back(), 100);
}

TEST(CompressionFrame, StreamsThroughTheManager) {
  const std::string text = LargeText();
  TCompressMgr mgr(nullptr);
  mgr.SelectAlgo("zlib");
  TMemoryStream source, packed, unpacked;
  source.WriteBuffer(text.data(), int64_t(text.size()));
  mgr.EncodeStream(source, packed, -1);
  packed.Seek(0, soBeginning);
  mgr.DecodeStream(packed, unpacked, packed.Size());
  ASSERT_EQ(unpacked.Size(), int64_t(text.size()));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(unpacked.Memory()), text.size()), text);
  // One stream as source and destination: the frame replaces the value.
  mgr.EncodeStream(source, source, -1);
  EXPECT_EQ(source.Size(), packed.Size());
  mgr.DecodeStream(source, source, -1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(source.Memory()), size_t(source.Size())), text);
}

#ifdef NUMERION_HAVE_CRYPTOPP
TEST(CompressionFrame, ZlibStreamInteroperatesWithAnIndependentDeflate) {
  // Crypto++ has its own deflate and inflate: engine stream -> Crypto++
  // inflate, Crypto++ deflate -> engine frame.
  const std::string text = LargeText();
  TCompAlgo_Zlib zlib(nullptr);
  const Bytes frame = zlib.CompressBuffer(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  std::string inflated;
  CryptoPP::StringSource(frame.data() + 4, frame.size() - 4, true,
                         new CryptoPP::ZlibDecompressor(new CryptoPP::StringSink(inflated)));
  EXPECT_EQ(inflated, text);

  std::string deflated;
  CryptoPP::StringSource(text, true, new CryptoPP::ZlibCompressor(new CryptoPP::StringSink(deflated)));
  Bytes theirs(4);
  theirs[0] = uint8_t(text.size());
  theirs[1] = uint8_t(text.size() >> 8);
  theirs[2] = uint8_t(text.size() >> 16);
  theirs[3] = uint8_t(text.size() >> 24);
  theirs.insert(theirs.end(), deflated.begin(), deflated.end());
  const Bytes back = zlib.DecompressBuffer(theirs.data(), theirs.size());
  EXPECT_EQ(std::string(back.begin(), back.end()), text);
}
#endif
