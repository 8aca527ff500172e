// The algorithm registries and the compression and encryption managers.

#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/streams.h"
#include "tomedb/algorithms/Compress_Zlib.h"
#include "tomedb/algorithms/Enc_Blowfish.h"
#include "tomedb/algorithms/Enc_Gost.h"
#include "tomedb/algorithms/Enc_Twofish.h"
#include "tomedb/algorithms/Hash_SHA.h"
#include "tests/database_error_of.h"

TEST(AlgorithmRegistry, BuiltInNamesResolveIgnoringCase) {
  TEncryptMgr enc(nullptr);
  EXPECT_EQ(enc.CheckAlgo("Blowfish"), 0);
  EXPECT_EQ(enc.CheckAlgo("TWOFISH"), 1);
  EXPECT_EQ(enc.CheckAlgo("gost"), 2);
  EXPECT_EQ(enc.CheckAlgo("DES"), -1);
  TCompressMgr comp(nullptr);
  EXPECT_EQ(comp.CheckAlgo("zlib"), 0);
  EXPECT_EQ(comp.CheckAlgo("Blowfish"), -1);
}

TEST(AlgorithmRegistry, RegisteringAgainReplacesTheNameAndNewClassesAppend) {
  TAlgoRegistry registry;
  registry.Register("One", TEncAlgo_Blowfish::ClassInfo());
  registry.Register("Two", TEncAlgo_Gost::ClassInfo());
  registry.Register("Uno", TEncAlgo_Blowfish::ClassInfo());
  EXPECT_EQ(registry.Names(), (std::vector<std::string>{"Uno", "Two"}));
  EXPECT_EQ(registry.IndexOf("one"), -1);
  EXPECT_EQ(registry.Find("UNO"), &TEncAlgo_Blowfish::ClassInfo());
}

TEST(EncryptMgr, SelectingTheSameNameKeepsTheObjectAndItsSettings) {
  TEncryptMgr mgr(nullptr);
  mgr.SelectAlgo("Blowfish");
  TDataProcessAlgo* first = mgr.Algo();
  mgr.SetMode(cmCFB8);
  mgr.SelectAlgo("BLOWFISH");
  EXPECT_EQ(mgr.Algo(), first);
  EXPECT_EQ(mgr.EncryptAlgo()->GetMode(), cmCFB8);
  mgr.SelectAlgo("Twofish");
  EXPECT_EQ(&mgr.Algo()->AlgoClass(), &TEncAlgo_Twofish::ClassInfo());
  EXPECT_EQ(mgr.EncryptAlgo()->GetMode(), 0);
}

TEST(EncryptMgr, ErrorsAreDatabaseErrorsWithTheirMessages) {
  TEncryptMgr enc(nullptr);
  EXPECT_EQ(ErrorOf([&] { enc.SelectAlgo("Rot13"); }), "Encryption algorithm module 'Rot13' not found");
  uint8_t buf[4] = {};
  EXPECT_EQ(ErrorOf([&] { enc.EncodeBuffer(buf, buf, 4); }), "General error");
  EXPECT_EQ(ErrorOf([&] { enc.DecodeBuffer(buf, buf, 4); }), "General error");
  EXPECT_EQ(ErrorOf([&] { enc.InitKey("x"); }), "General error");
  TCompressMgr comp(nullptr);
  EXPECT_EQ(ErrorOf([&] { comp.SelectAlgo("LZW"); }), "Compression algorithm module 'LZW' not found");
  EXPECT_EQ(ErrorOf([&] { comp.CompressBuffer(buf, 4); }), "General error");
  // A mode byte outside 0-4 from a damaged file is refused, not run.
  enc.SelectAlgo("Gost");
  EXPECT_EQ(ErrorOf([&] { enc.SetMode(9); }), "Cipher mode 9 is not supported");
  // Selected but not keyed: the cipher's own exception.
  EXPECT_THROW(enc.EncodeBuffer(buf, buf, 4), EEncryptException);
}

TEST(EncryptMgr, EveryBufferIsItsOwnMessage) {
  TEncryptMgr mgr(nullptr);
  mgr.SelectAlgo("Twofish");
  mgr.SetMode(cmCBC);
  mgr.InitKey("pw");
  const std::vector<uint8_t> value(40, 0x11);
  std::vector<uint8_t> a(40), b(40), back(40);
  mgr.EncodeBuffer(value.data(), a.data(), 40);
  mgr.EncodeBuffer(value.data(), b.data(), 40);
  EXPECT_EQ(a, b);
  mgr.DecodeBuffer(a.data(), back.data(), 40);
  EXPECT_EQ(back, value);
}

TEST(PasswordCheck, AcceptsOnlyTheExactPasswordAndThenKeys) {
  const std::string stored = PasswordCheckValue("Lotto#1");
  TEncryptMgr mgr(nullptr);
  mgr.SelectAlgo("Blowfish");
  uint8_t buf[8] = {};
  EXPECT_FALSE(mgr.CheckPassword("lotto#1", stored));
  EXPECT_FALSE(mgr.CheckPassword("Lotto#1 ", stored));
  EXPECT_THROW(mgr.EncodeBuffer(buf, buf, 8), EEncryptException);  // nothing keyed
  EXPECT_TRUE(mgr.CheckPassword("Lotto#1", stored));
  EXPECT_NO_THROW(mgr.EncodeBuffer(buf, buf, 8));
  // The empty password has a check value too: the text of SHA-0 of no bytes.
  EXPECT_EQ(PasswordCheckValue(""), DigestToText(THash_SHA().CalcString("")));
  EXPECT_LE(stored.size(), 28u);
}

TEST(EncryptMgr, StreamsChainAcrossChunksAndReportProgress) {
  // 10000 bytes: two full 4096-byte chunks and a partial one. The chaining
  // runs on across chunks, so the stream equals one buffer of the same bytes.
  std::vector<uint8_t> value(10000);
  for (size_t i = 0; i < value.size(); ++i) value[i] = uint8_t(i * 7 + 3);
  for (uint8_t mode = 0; mode <= kMaxCipherMode; ++mode) {
    TEncryptMgr mgr(nullptr);
    mgr.SelectAlgo("Gost");
    mgr.SetMode(mode);
    mgr.InitKey("stream");
    std::vector<uint8_t> expected(value.size());
    mgr.EncodeBuffer(value.data(), expected.data(), value.size());

    std::vector<int> progress;
    mgr.OnEncodeProgress = [&](TDataProcessAlgo*, int p) { progress.push_back(p); };
    TMemoryStream source, coded;
    source.WriteBuffer(value.data(), int64_t(value.size()));
    mgr.EncodeStream(source, coded, -1);
    ASSERT_EQ(coded.Size(), int64_t(value.size()));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), coded.Memory())) << int(mode);
    EXPECT_EQ(progress, (std::vector<int>{0, 41, 82, 100, 0})) << int(mode);

    // Decoding in place, one stream as source and destination; the manager's
    // Done between the two operations makes the decode start from V.
    coded.Seek(0, soBeginning);
    mgr.DecodeStream(coded, coded, coded.Size());
    EXPECT_EQ(coded.Size(), int64_t(value.size()));
    EXPECT_TRUE(std::equal(value.begin(), value.end(), coded.Memory())) << int(mode);
  }
}

TEST(EncryptMgr, StreamFailureStillEndsProgressAndResetsFeedback) {
  TEncryptMgr mgr(nullptr);
  mgr.SelectAlgo("Blowfish");
  std::vector<int> progress;
  mgr.OnDecodeProgress = [&](TDataProcessAlgo*, int p) { progress.push_back(p); };
  TMemoryStream source, dest;
  source.WriteBuffer("12345678", 8);
  EXPECT_THROW(mgr.DecodeStream(source, dest, -1), EEncryptException);  // no key yet
  EXPECT_EQ(progress, (std::vector<int>{0, 0}));
}
