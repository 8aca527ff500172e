#pragma once
// Test databases for the file and table I/O tests: files made from a schema
// text by the creation library, raw byte access to them, and owned value
// buffers for every field of an open table.

#include <cstdint>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "core/temp_file.h"
#include "tomedb/tableio.h"
#include "tools/tomedb-create/createdb.h"

// A database file made from `schemaText`, removed when the test ends.
class TTestDatabase {
 public:
  explicit TTestDatabase(const std::string& schemaText, const std::string& stem = "tableio") : file_(stem) {
    CreateDatabaseFile(ParseSchema(schemaText), file_.path(), false);
  }
  const std::string& path() const { return file_.path(); }

  std::unique_ptr<TTomeDBFileIO> OpenFile(bool readOnly = false, bool exclusive = false) const {
    auto io = std::make_unique<TTomeDBFileIO>(nullptr);
    io->Open(file_.path(), mtDisk, readOnly, exclusive);
    return io;
  }

  std::vector<uint8_t> Bytes() const {
    std::ifstream in(file_.path(), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  // Changes bytes of the file behind the engine's back.
  void Patch(int64_t offset, const void* bytes, size_t length) const {
    std::fstream io(file_.path(), std::ios::binary | std::ios::in | std::ios::out);
    io.seekp(offset);
    io.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(length));
  }
  // Turns on encryption in the data-processing block with the check value
  // of `password` (the file must not hold records yet).
  void Encrypt(const std::string& algorithm, uint8_t mode, const std::string& password) const {
    const uint8_t on = 1;
    Patch(kDataProcessOffset + kDpEncryptFlag, &on, 1);
    Patch(kDataProcessOffset + kDpCipherMode, &mode, 1);
    TNameArray name;
    name.SetText(algorithm);
    Patch(kDataProcessOffset + kDpEncryptName, name.bytes.data(), kNameSize);
    TFixedText<kDpCheckValueSize> check;
    check.SetText(PasswordCheckValue(password));
    Patch(kDataProcessOffset + kDpCheckValue, check.bytes.data(), kDpCheckValueSize);
  }
  void PatchInt32(int64_t offset, int32_t value) const {
    uint8_t bytes[4];
    PutInt32LE(bytes, value);
    Patch(offset, bytes, 4);
  }

 private:
  TempFile file_;
};

inline int32_t Int32At(const std::vector<uint8_t>& bytes, int64_t offset) {
  return GetInt32LE(bytes.data() + offset);
}

// An open file object and one open table on it.
struct TOpenTable {
  TOpenTable(const TTestDatabase& db, const std::string& tableName, bool readOnly = false)
      : io(db.OpenFile(readOnly)), table(std::make_unique<TTomeTableIO>(io.get())) {
    table->SetTableName(tableName);
    table->Open();
  }
  std::unique_ptr<TTomeDBFileIO> io;
  std::unique_ptr<TTomeTableIO> table;
};

// Owned buffers for every field of an open table, all active.
class TRecordValues {
 public:
  explicit TRecordValues(TTomeTableIO& table) : table_(table) {
    for (int k = 0; k < table.FieldDefs().Count(); ++k)
      buffers.AddOwned(table.FieldDefs().Items(k)->FieldType(), table.FieldStoredSizeOf(k));
  }

  TRecordValues& SetInt(int field, int32_t value) {
    PutInt32LE(static_cast<uint8_t*>(buffers.Items(field).Buffer), value);
    return *this;
  }
  TRecordValues& SetText(int field, const std::string& text) {
    TFieldBufferItem& item = buffers.Items(field);
    std::memset(item.Buffer, 0, static_cast<size_t>(item.BufferSize));
    std::memcpy(item.Buffer, text.data(), std::min(text.size(), static_cast<size_t>(item.BufferSize)));
    return *this;
  }
  TRecordValues& SetBlob(int field, const std::string& bytes) {
    TMemoryStream* stream = buffers.Items(field).BlobStream;
    stream->SetSize(0);
    stream->SetPosition(0);
    if (!bytes.empty()) stream->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    return *this;
  }
  // Only the listed fields take part in the next read or modify.
  TRecordValues& OnlyActive(std::initializer_list<int> fields) {
    for (int k = 0; k < buffers.Count(); ++k) buffers.Items(k).Active = false;
    for (int k : fields) buffers.Items(k).Active = true;
    return *this;
  }

  int32_t Int(int field) const { return GetInt32LE(static_cast<const uint8_t*>(buffers.Items(field).Buffer)); }
  std::string Text(int field) const {
    const TFieldBufferItem& item = buffers.Items(field);
    const char* text = static_cast<const char*>(item.Buffer);
    return std::string(text, strnlen(text, static_cast<size_t>(item.BufferSize)));
  }
  std::string Blob(int field) const {
    TMemoryStream* stream = buffers.Items(field).BlobStream;
    std::string bytes(static_cast<size_t>(stream->Size()), '\0');
    stream->SetPosition(0);
    if (!bytes.empty()) stream->ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    return bytes;
  }

  void Append() { table_.AppendRecord(buffers); }
  void Read(int listNo, int32_t position) { table_.ReadRecord(buffers, table_.RecordListOf(listNo), position); }

  TFieldBuffers buffers;

 private:
  TTomeTableIO& table_;
};

// The record numbers of a list, in list order.
inline std::vector<int32_t> RecordNumbers(const TRecordList& list) {
  std::vector<int32_t> numbers;
  for (const TRecordEntry& e : list) numbers.push_back(e.RecordNo);
  return numbers;
}
