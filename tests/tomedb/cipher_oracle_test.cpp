// Cross-check of the three ciphers and their modes against independent
// implementations (Crypto++ and libgcrypt, test-only dependencies found with
// pkg-config). Keys come from random passwords through the engine's own key
// setup; the oracle gets the same 20 digest bytes, padded as each cipher
// prescribes. The engine's initial vector V = E(FF..FF) is computed with the
// oracle. Where a library has the mode (ECB, CBC over full blocks, 8-bit CFB)
// its mode is used; modes 0 and 3 and the partial-block rules have no library
// counterpart and are written here once, over the oracle's single-block
// cipher.

#include <gtest/gtest.h>

#if defined(NUMERION_HAVE_CRYPTOPP) || defined(NUMERION_HAVE_GCRYPT)

#include <functional>
#include <memory>
#include <random>
#include <string>

#include "algo_test_util.h"
#include "tomedb/algorithms/Enc_Blowfish.h"
#include "tomedb/algorithms/Enc_Gost.h"
#include "tomedb/algorithms/Enc_Twofish.h"
#include "tomedb/algorithms/Hash_SHA.h"

#ifdef NUMERION_HAVE_CRYPTOPP
#include <cryptopp/blowfish.h>
#include <cryptopp/gost.h>
#include <cryptopp/modes.h>
#include <cryptopp/twofish.h>
#endif
#ifdef NUMERION_HAVE_GCRYPT
#include <gcrypt.h>
#endif

using Bytes = std::vector<uint8_t>;

namespace {

// One independent implementation of one cipher, keyed with its key bytes.
struct Oracle {
  std::string name;
  size_t blockSize;
  std::function<std::unique_ptr<TEncrypt>()> engine;
  // Key bytes the oracle receives for the engine's 20-byte digest.
  std::function<Bytes(const Bytes& digest)> oracleKey;
  std::function<void(const Bytes& key, const uint8_t* in, uint8_t* out)> block;
  // Library modes; empty when the library has none. Full blocks only for CBC.
  std::function<Bytes(const Bytes& key, const Bytes& iv, const Bytes& data)> cbc;
  std::function<Bytes(const Bytes& key, const Bytes& iv, const Bytes& data)> cfb8;
};

Bytes PadKey(const Bytes& digest, size_t size) {
  Bytes key = digest;
  key.resize(size, 0);
  return key;
}

#ifdef NUMERION_HAVE_CRYPTOPP
template <class Cipher>
Oracle CryptoppOracle(std::string name, std::function<std::unique_ptr<TEncrypt>()> engine, size_t keySize) {
  Oracle o;
  o.name = "Crypto++ " + name;
  o.blockSize = Cipher::BLOCKSIZE;
  o.engine = std::move(engine);
  o.oracleKey = [keySize](const Bytes& d) { return PadKey(d, keySize); };
  o.block = [](const Bytes& key, const uint8_t* in, uint8_t* out) {
    typename Cipher::Encryption e(key.data(), key.size());
    e.ProcessBlock(in, out);
  };
  o.cbc = [](const Bytes& key, const Bytes& iv, const Bytes& data) {
    typename CryptoPP::CBC_Mode<Cipher>::Encryption e(key.data(), key.size(), iv.data());
    Bytes out(data.size());
    if (!data.empty()) e.ProcessData(out.data(), data.data(), data.size());
    return out;
  };
  o.cfb8 = [](const Bytes& key, const Bytes& iv, const Bytes& data) {
    typename CryptoPP::CFB_Mode<Cipher>::Encryption e;
    e.SetKey(key.data(), key.size(),
             CryptoPP::MakeParameters(CryptoPP::Name::FeedbackSize(), 1)(
                 CryptoPP::Name::IV(), CryptoPP::ConstByteArrayParameter(iv.data(), iv.size())));
    Bytes out(data.size());
    if (!data.empty()) e.ProcessData(out.data(), data.data(), data.size());
    return out;
  };
  return o;
}
#endif

#ifdef NUMERION_HAVE_GCRYPT
void GcryptInit() {
  static bool done = [] {
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
  }();
  (void)done;
}

Bytes GcryptRun(int algo, int mode, const Bytes& key, const Bytes* iv, const Bytes& data) {
  GcryptInit();
  gcry_cipher_hd_t h;
  EXPECT_EQ(gcry_cipher_open(&h, algo, mode, 0), 0u);
  if (algo == GCRY_CIPHER_GOST28147) {
    // The GOST R 34.11-94 test parameter set.
    const gcry_error_t sbox = gcry_cipher_set_sbox(h, "1.2.643.2.2.30.0");
    EXPECT_EQ(sbox, 0u);
  }
  EXPECT_EQ(gcry_cipher_setkey(h, key.data(), key.size()), 0u);
  if (iv) {
    EXPECT_EQ(gcry_cipher_setiv(h, iv->data(), iv->size()), 0u);
  }
  Bytes out(data.size());
  if (!data.empty()) {
    EXPECT_EQ(gcry_cipher_encrypt(h, out.data(), out.size(), data.data(), data.size()), 0u);
  }
  gcry_cipher_close(h);
  return out;
}

Oracle GcryptOracle(std::string name, int algo, size_t blockSize, std::function<std::unique_ptr<TEncrypt>()> engine,
                    size_t keySize) {
  Oracle o;
  o.name = "libgcrypt " + name;
  o.blockSize = blockSize;
  o.engine = std::move(engine);
  o.oracleKey = [keySize](const Bytes& d) { return PadKey(d, keySize); };
  o.block = [algo, blockSize](const Bytes& key, const uint8_t* in, uint8_t* out) {
    Bytes r = GcryptRun(algo, GCRY_CIPHER_MODE_ECB, key, nullptr, Bytes(in, in + blockSize));
    std::copy(r.begin(), r.end(), out);
  };
  o.cbc = [algo](const Bytes& key, const Bytes& iv, const Bytes& data) {
    return GcryptRun(algo, GCRY_CIPHER_MODE_CBC, key, &iv, data);
  };
  o.cfb8 = [algo](const Bytes& key, const Bytes& iv, const Bytes& data) {
    return GcryptRun(algo, GCRY_CIPHER_MODE_CFB8, key, &iv, data);
  };
  return o;
}
#endif

std::vector<Oracle> Oracles() {
  std::vector<Oracle> list;
  auto blowfish = [] { return std::make_unique<TEnc_Blowfish>(); };
  auto twofish = [] { return std::make_unique<TEnc_Twofish>(); };
  auto gost = [] { return std::make_unique<TEnc_Gost>(); };
#ifdef NUMERION_HAVE_CRYPTOPP
  list.push_back(CryptoppOracle<CryptoPP::Blowfish>("Blowfish", blowfish, 20));
  list.push_back(CryptoppOracle<CryptoPP::Twofish>("Twofish", twofish, 24));  // 20 bytes pad to 24
  list.push_back(CryptoppOracle<CryptoPP::GOST>("GOST", gost, 32));           // 20 bytes + 12 zero bytes
#endif
#ifdef NUMERION_HAVE_GCRYPT
  list.push_back(GcryptOracle("Blowfish", GCRY_CIPHER_BLOWFISH, 8, blowfish, 20));
  list.push_back(GcryptOracle("GOST", GCRY_CIPHER_GOST28147, 8, gost, 32));
  // libgcrypt refuses 24-byte Twofish keys: no Twofish-192 oracle there.
#endif
  return list;
}

// Expected output of the engine's mode over `data`, with the oracle for the
// single blocks and the library's own CBC and CFB-8 where it has them.
Bytes Expected(const Oracle& o, const Bytes& key, uint8_t mode, const Bytes& data) {
  const size_t n = o.blockSize;
  const size_t full = data.size() / n * n;
  auto E = [&](const Bytes& in) {
    Bytes out(n);
    o.block(key, in.data(), out.data());
    return out;
  };
  const Bytes V = E(Bytes(n, 0xFF));
  Bytes out(data.size());
  switch (mode) {
    case cmXorFeedback: {  // C = E(P xor F), F = C xor F; tail: T = E(F), out = in xor T
      Bytes F = V;
      size_t pos = 0;
      for (; pos < full; pos += n) {
        Bytes x(n);
        for (size_t i = 0; i < n; ++i) x[i] = data[pos + i] ^ F[i];
        Bytes c = E(x);
        for (size_t i = 0; i < n; ++i) {
          out[pos + i] = c[i];
          F[i] ^= c[i];
        }
      }
      Bytes T = E(F);
      for (size_t i = 0; pos + i < data.size(); ++i) out[pos + i] = data[pos + i] ^ T[i];
      return out;
    }
    case cmCBC: {  // library CBC over full blocks; tail: in xor E(last C, or V)
      Bytes head = o.cbc(key, V, Bytes(data.begin(), data.begin() + full));
      std::copy(head.begin(), head.end(), out.begin());
      Bytes F = full ? Bytes(head.end() - n, head.end()) : V;
      Bytes T = E(F);
      for (size_t i = full; i < data.size(); ++i) out[i] = data[i] ^ T[i - full];
      return out;
    }
    case cmCFB8:
      return o.cfb8(key, V, data);
    case cmOFB8: {  // T = E(F); out = in xor T[0]; F shifts in T[0]
      Bytes F = V;
      for (size_t i = 0; i < data.size(); ++i) {
        Bytes T = E(F);
        out[i] = data[i] ^ T[0];
        F.erase(F.begin());
        F.push_back(T[0]);
      }
      return out;
    }
    default: {  // ECB: full blocks, the tail stays plain
      out = data;
      for (size_t pos = 0; pos < full; pos += n) o.block(key, data.data() + pos, out.data() + pos);
      return out;
    }
  }
}

}  // namespace

TEST(CipherOracle, EveryModeMatchesAnIndependentImplementation) {
  std::mt19937 rng(4242);
  std::uniform_int_distribution<size_t> lengthOf(0, 80);
  for (const Oracle& o : Oracles())
    for (int trial = 0; trial < 12; ++trial) {
      const Bytes passwordBytes = algotest::RandomBytes(rng, 1 + trial);
      const std::string password(passwordBytes.begin(), passwordBytes.end());
      const Bytes key = o.oracleKey(THash_SHA().CalcString(password));
      for (uint8_t mode = 0; mode <= kMaxCipherMode; ++mode) {
        // A few lengths around the block size plus random ones.
        for (size_t length : {size_t(0), size_t(1), o.blockSize - 1, o.blockSize, o.blockSize + 3, lengthOf(rng)}) {
          const Bytes plain = algotest::RandomBytes(rng, length);
          auto cipher = o.engine();
          cipher->InitKey(password);
          cipher->SetMode(mode);
          Bytes coded(length);
          cipher->EncodeBuffer(plain.data(), coded.data(), length);
          ASSERT_EQ(algotest::ToHex(coded), algotest::ToHex(Expected(o, key, mode, plain)))
              << o.name << " mode " << int(mode) << " length " << length;
          cipher->Done();
          Bytes back(length);
          cipher->DecodeBuffer(coded.data(), back.data(), length);
          ASSERT_EQ(back, plain) << o.name << " mode " << int(mode) << " length " << length;
        }
      }
    }
}

TEST(CipherOracle, RawKeysOfEveryAcceptedSize) {
  // Single blocks with random raw keys of the sizes both sides accept.
  std::mt19937 rng(99);
  for (const Oracle& o : Oracles()) {
    std::vector<size_t> sizes;
    if (o.name.find("Blowfish") != std::string::npos) sizes = {8, 16, 20, 32, 56};
    else if (o.name.find("Twofish") != std::string::npos) sizes = {16, 24, 32};
    else sizes = {32};
    for (size_t size : sizes)
      for (int trial = 0; trial < 8; ++trial) {
        const Bytes key = algotest::RandomBytes(rng, size);
        const Bytes block = algotest::RandomBytes(rng, o.blockSize);
        auto cipher = o.engine();
        cipher->Init(key.data(), key.size());
        cipher->SetMode(cmECB);
        Bytes mine(o.blockSize), theirs(o.blockSize);
        cipher->EncodeBuffer(block.data(), mine.data(), block.size());
        o.block(key, block.data(), theirs.data());
        ASSERT_EQ(algotest::ToHex(mine), algotest::ToHex(theirs)) << o.name << " key size " << size;
      }
  }
}

#endif
