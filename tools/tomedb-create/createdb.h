#pragma once
// Creating empty database files: the schema (format version, compression,
// encryption, password, tables with their fields and indexes), its text form,
// and the writer that lays the file out.
//
// The engine itself cannot create a database or a table; every database file
// (the catalogue's, the tests' fixtures) starts here. The file holds the
// header, the data-processing block with the password check value, the table
// directory and one empty table header per table: no record tab, no index
// tab, counts and offsets 0. The same schema always gives the same bytes.
//
// All functions are free of shared state; any thread may call them.

#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tomedb/format.h"

// A schema that cannot be turned into a database file. Messages from
// ParseSchema start with "line <n>: ".
class ESchemaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TSchemaField {
  std::string name;
  uint8_t type = ftUnknown;
  int32_t size = 0;         // characters for string types, stored as given otherwise
  uint8_t processMode = 0;  // 0: encrypted/compressed as the database says; 1: always plain
};

struct TSchemaIndex {
  std::string name;
  TTDIndexOptions options = tiNone;
  std::vector<std::string> keyFields;  // field names in key order, 1 to 8
};

struct TSchemaTable {
  std::string name;
  std::vector<TSchemaField> fields;
  std::vector<TSchemaIndex> indexes;
};

struct TDatabaseSchema {
  std::string version = std::string(kCurrentVersionText);
  bool compressed = false;
  std::string compressAlgorithm = "ZLIB";
  std::string encryptAlgorithm;  // empty: not encrypted
  uint8_t cipherMode = 1;
  std::string password;
  bool hasPassword = false;
  bool writeCheck = false;
  std::vector<TSchemaTable> tables;
};

// Parses the schema text documented by SchemaHelpText and validates it.
TDatabaseSchema ParseSchema(std::string_view text);
// Raises ESchemaError for anything a database file cannot hold or that makes
// no sense (duplicate names, unknown key fields, a password without
// encryption, ...).
void ValidateSchema(const TDatabaseSchema& schema);

// The type code for a type name ("String", "ftString", case ignored), or
// ftUnknown.
uint8_t FieldTypeFromName(std::string_view name);
// The canonical name without the "ft" prefix; empty for an unknown code.
std::string FieldTypeName(uint8_t type);

// The complete bytes of the empty database file. Validates first.
std::vector<uint8_t> BuildDatabaseImage(const TDatabaseSchema& schema);
// Writes the file: to a temporary file beside it, flushed, then renamed over
// `fileName`, so that a failure never leaves a half-written database. An
// existing file is refused unless `overwrite`.
void CreateDatabaseFile(const TDatabaseSchema& schema, const std::string& fileName, bool overwrite);

// The --help text, including the schema format.
std::string SchemaHelpText();

// The command: tomedb-create [--force] SCHEMA DATABASE. Returns the exit
// status (0 success, 1 failure, 2 wrong usage).
int RunTomeDBCreate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
