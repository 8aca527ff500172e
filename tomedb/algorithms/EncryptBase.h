#pragma once
// Block-cipher base (TEncrypt) with the five cipher modes, the encryption
// algorithm classes that wrap a cipher for a database file, the encryption
// manager, and the password check value.
//
// Ownership: a TEncAlgo_Base owns its cipher object; the manager owns the
// algorithm object. A cipher object clears its key material when freed.
// Threading: none of these objects is thread-safe. The cipher's feedback
// register is shared state, so the database file serializes every call
// (REQUIRES: the file's critical section is held).

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tomedb/algorithms/DataProcess.h"

// Cipher modes (the mode byte stored in the database file).
enum : uint8_t {
  cmXorFeedback = 0,  // C = E(P xor F), F = C xor F
  cmCBC = 1,
  cmCFB8 = 2,         // 8-bit cipher feedback
  cmOFB8 = 3,         // 8-bit output feedback
  cmECB = 4,
};
inline constexpr uint8_t kMaxCipherMode = cmECB;

// Overwrites memory in a way the optimizer keeps.
void SecureZero(void* data, size_t length);

// A block cipher with its mode state. The key is set by Init (raw key bytes)
// or InitKey (password); both derive the initial vector V = E(FF..FF) and set
// the feedback F = V. Done() resets F to V so that the next buffer is an
// independent message. Encoding before a key raises EEncryptException.
class TEncrypt {
 public:
  virtual ~TEncrypt();
  TEncrypt(const TEncrypt&) = delete;
  TEncrypt& operator=(const TEncrypt&) = delete;

  virtual const char* ClassName() const = 0;

  size_t BlockSize() const { return fBlockSize; }
  size_t MaxKeySize() const { return fMaxKeySize; }

  uint8_t Mode() const { return fMode; }
  // Modes 0 to 4; anything else raises EEncryptException.
  void SetMode(uint8_t Mode);

  // Keys the cipher with the first min(MaxKeySize, Size) bytes of Key.
  void Init(const void* Key, size_t Size);
  // Keys the cipher with the SHA-0 digest of the password's bytes.
  void InitKey(std::string_view Password);
  // Feedback back to the initial vector.
  void Done();

  // Run the cipher in the current mode over `Length` bytes. Source and Dest
  // may be the same buffer (but must not overlap otherwise). Any length is
  // allowed; a final partial block follows the mode's rule.
  void EncodeBuffer(const void* Source, void* Dest, size_t Length);
  void DecodeBuffer(const void* Source, void* Dest, size_t Length);

  // The initial vector V (one block), valid after Init.
  const uint8_t* InitialVector() const { return fIV.data(); }

 protected:
  TEncrypt(size_t BlockSize, size_t MaxKeySize);

  // The cipher's key schedule on 1..MaxKeySize bytes.
  virtual void SetupKey(const uint8_t* Key, size_t Size) = 0;
  // Zeroes the key schedule.
  virtual void ClearKeySchedule() = 0;
  // One block; In and Out may be the same.
  virtual void EncodeBlock(const uint8_t* In, uint8_t* Out) const = 0;
  virtual void DecodeBlock(const uint8_t* In, uint8_t* Out) const = 0;

  // Step 3 of the key setup: IV and feedback to FF, work buffer and key
  // schedule to 0, not initialized. Subclass destructors call it too.
  void Protect();

 private:
  void CheckInitialized() const;

  size_t fBlockSize;
  size_t fMaxKeySize;
  std::array<uint8_t, 16> fIV{};
  std::array<uint8_t, 16> fFeedback{};
  std::array<uint8_t, 16> fBuffer{};
  uint8_t fMode = 0;
  bool fKeySet = false;
  bool fInitialized = false;
};

// An encryption algorithm of a database file. Stream encoding lives here
// (chunked over the buffer operations); the rest is the subclasses'.
class TEncryptAlgo : public TDataProcessAlgo {
 public:
  using TDataProcessAlgo::TDataProcessAlgo;

  // Runs the buffer operation over the stream in chunks of 4096 bytes, read
  // at Source's running position and written at Dest's running position, so
  // Source and Dest may be one stream. Progress: 0 first, round(done / size ×
  // 100) after each chunk, and 0 once more when the operation ends, normally
  // or not. The chaining runs on across chunks.
  void EncodeStream(TStream& Source, TStream& Dest, int64_t Size) override;
  void DecodeStream(TStream& Source, TStream& Dest, int64_t Size) override;

  virtual void SetMode(uint8_t Mode) { (void)Mode; }
  virtual uint8_t GetMode() const { return 0; }
  virtual void InitKey(std::string_view Password) = 0;
  virtual void Done() {}
  virtual void EncodeBuffer(const void* Source, void* Dest, size_t Length) = 0;
  virtual void DecodeBuffer(const void* Source, void* Dest, size_t Length) = 0;

 private:
  void CodeStream(TStream& Source, TStream& Dest, int64_t Size, bool Encode);
};

// An encryption algorithm that runs one owned cipher object.
class TEncAlgo_Base : public TEncryptAlgo {
 public:
  void SetMode(uint8_t Mode) override { fCipher->SetMode(Mode); }
  uint8_t GetMode() const override { return fCipher->Mode(); }
  void InitKey(std::string_view Password) override { fCipher->InitKey(Password); }
  void Done() override { fCipher->Done(); }
  void EncodeBuffer(const void* Source, void* Dest, size_t Length) override {
    fCipher->EncodeBuffer(Source, Dest, Length);
  }
  void DecodeBuffer(const void* Source, void* Dest, size_t Length) override {
    fCipher->DecodeBuffer(Source, Dest, Length);
  }

  TEncrypt& Cipher() const { return *fCipher; }

 protected:
  TEncAlgo_Base(TTomeDBFileIO* Owner, std::unique_ptr<TEncrypt> Cipher)
      : TEncryptAlgo(Owner), fCipher(std::move(Cipher)) {}

 private:
  std::unique_ptr<TEncrypt> fCipher;
};

// The check value stored for a password: the digest text of SHA-0(password).
std::string PasswordCheckValue(std::string_view Password);

// The encryption manager of one database file.
class TEncryptMgr : public TDataProcessMgr {
 public:
  using TDataProcessMgr::TDataProcessMgr;

  int CheckAlgo(std::string_view Name) const override;
  // "Encryption algorithm module '%s' not found" for an unknown name.
  void SelectAlgo(std::string_view Name) override;

  // Forward to the algorithm, then Done.
  void EncodeStream(TStream& Source, TStream& Dest, int64_t Size) override;
  void DecodeStream(TStream& Source, TStream& Dest, int64_t Size) override;

  // Each runs the algorithm, then Done, so every value is its own message.
  // "General error" when no algorithm is selected.
  void EncodeBuffer(const void* Source, void* Dest, size_t Length);
  void DecodeBuffer(const void* Source, void* Dest, size_t Length);

  // The file's mode byte; a value above 4 is refused with a database error.
  void SetMode(uint8_t Mode);
  void InitKey(std::string_view Password);
  void Done();

  // True when the password's check value equals the stored one (exact bytes);
  // the cipher is then keyed with it. A wrong password keys nothing.
  bool CheckPassword(std::string_view Password, std::string_view StoredCheckValue);

  TEncryptAlgo* EncryptAlgo() const { return static_cast<TEncryptAlgo*>(Algo()); }

 private:
  TEncryptAlgo& Require() const { return static_cast<TEncryptAlgo&>(RequireAlgo()); }
};
