#pragma once
// Opens the database held in `bytes` as a read-only memory database and
// reads every table: every record in the stored order and in every key
// order, every field, blob values included. A damaged file may fail with a
// database error (EDatabaseError) at any point, which ends the reading of
// that table; anything else escapes to the caller. Shared by the fuzzer and
// the tests that replay its findings.

#include <cstdint>
#include <string>
#include <vector>

#include "core/errors.h"
#include "tomedb/fileio.h"
#include "tomedb/tableio.h"

// How much of a database file was read.
struct TWholeDatabaseRead {
  int tables = 0;        // tables that opened
  int64_t records = 0;   // record reads, over all orders
  int64_t blobBytes = 0;  // decoded blob bytes
  int errors = 0;        // database errors met
};

inline TWholeDatabaseRead ReadWholeDatabase(const uint8_t* bytes, size_t size, const std::string& password = "") {
  TWholeDatabaseRead read;
  TMemoryStream stream;
  if (size > 0) stream.WriteBuffer(bytes, static_cast<int64_t>(size));
  const uint32_t handle = RegisterMemoryDatabase(&stream);
  try {
    TTomeDBFileIO io(nullptr, mtMemory);
    io.Open(MemoryDatabaseName(handle), mtMemory, true, false);
    // As the database does: an encrypted file whose password does not match
    // is not read at all ("Access denied").
    if (!io.SetPassword(password)) {
      UnregisterMemoryDatabase(handle);
      ++read.errors;
      return read;
    }
    std::vector<std::string> names;
    io.GetTableNames(names);
    for (const std::string& name : names) {
      TTomeTableIO table(&io);
      table.SetTableName(name);
      try {
        table.Open();
        ++read.tables;
        TFieldBuffers buffers;
        for (int k = 0; k < table.FieldDefs().Count(); ++k)
          buffers.AddOwned(table.FieldDefs().Items(k)->FieldType(), table.FieldStoredSizeOf(k));
        for (int list = 0; list < table.ListCount(); ++list) {
          const TRecordList& records = table.RecordListOf(list);
          for (int32_t p = 0; p < static_cast<int32_t>(records.size()); ++p) {
            table.ReadRecord(buffers, records, p);
            ++read.records;
            for (int k = 0; k < buffers.Count(); ++k)
              if (TMemoryStream* blob = buffers.Items(k).BlobStream) read.blobBytes += blob->Size();
          }
        }
      } catch (const EDatabaseError&) {
        ++read.errors;
      }
      table.Close();
    }
  } catch (const EDatabaseError&) {
    ++read.errors;
  }
  UnregisterMemoryDatabase(handle);
  return read;
}
