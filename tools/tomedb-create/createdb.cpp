#include "tools/tomedb-create/createdb.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "core/component.h"
#include "core/errors.h"
#include "core/streams.h"
#include "tomedb/algorithms/DataProcess.h"
#include "tomedb/algorithms/EncryptBase.h"

namespace {

struct TypeName {
  const char* name;
  uint8_t code;
};

// Every type a field slot may hold, in code order.
constexpr TypeName kTypeNames[] = {
    {"String", ftString},         {"Smallint", ftSmallint},       {"Integer", ftInteger},
    {"Word", ftWord},             {"Boolean", ftBoolean},         {"Float", ftFloat},
    {"Currency", ftCurrency},     {"Date", ftDate},               {"Time", ftTime},
    {"DateTime", ftDateTime},     {"AutoInc", ftAutoInc},         {"Blob", ftBlob},
    {"Memo", ftMemo},             {"Graphic", ftGraphic},         {"FmtMemo", ftFmtMemo},
    {"ParadoxOle", ftParadoxOle}, {"DBaseOle", ftDBaseOle},       {"TypedBinary", ftTypedBinary},
    {"FixedChar", ftFixedChar},   {"Largeint", ftLargeint},       {"OraBlob", ftOraBlob},
    {"OraClob", ftOraClob},
};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

[[noreturn]] void Fail(const std::string& message) { throw ESchemaError(message); }

// The name as the registry holds it (lookup ignores letter case), or "" when
// no algorithm of that name is registered.
std::string RegisteredName(TAlgoRegistry& registry, const std::string& name) {
  int index = registry.IndexOf(name);
  return index < 0 ? std::string() : registry.Names().at(static_cast<size_t>(index));
}

std::string KnownNames(TAlgoRegistry& registry) {
  std::string list;
  for (const std::string& n : registry.Names()) list += (list.empty() ? "" : ", ") + n;
  return list;
}

// Splits a line into words: blanks separate, double quotes group (with \" and
// \\ inside), '#' at the start of a word begins a comment.
std::vector<std::string> Words(std::string_view line, int lineNumber) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    if (std::isspace(c)) {
      ++i;
      continue;
    }
    if (c == '#') break;
    std::string word;
    if (c == '"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char d = line[i++];
        if (d == '"') {
          closed = true;
          break;
        }
        if (d == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) d = line[i++];
        word.push_back(d);
      }
      if (!closed) Fail("line " + std::to_string(lineNumber) + ": a quoted word has no closing quote");
      if (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
        Fail("line " + std::to_string(lineNumber) + ": a quoted word must be followed by a blank");
    } else {
      while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) word.push_back(line[i++]);
    }
    words.push_back(std::move(word));
  }
  return words;
}

bool ParseInt(const std::string& word, int64_t low, int64_t high, int64_t& value) {
  if (word.empty() || word.size() > 12) return false;
  size_t start = word[0] == '-' ? 1 : 0;
  if (start == word.size()) return false;
  for (size_t i = start; i < word.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(word[i]))) return false;
  value = std::stoll(word);
  return value >= low && value <= high;
}

bool OnOff(const std::string& word, bool& value) {
  std::string w = Lower(word);
  if (w == "on") return value = true, true;
  if (w == "off") return value = false, true;
  return false;
}

void CheckName(const std::string& name, std::string_view what) {
  if (name.empty()) Fail(std::string(what) + " has an empty name");
  if (name.size() > static_cast<size_t>(kMaxNameLength))
    Fail(std::string(what) + " name '" + name + "' is longer than 32 characters");
  for (unsigned char c : name)
    if (c < 32) Fail(std::string(what) + " name '" + name + "' holds a control character");
}

}  // namespace

uint8_t FieldTypeFromName(std::string_view name) {
  std::string n = Lower(name);
  if (n.rfind("ft", 0) == 0) n.erase(0, 2);
  for (const auto& t : kTypeNames)
    if (Lower(t.name) == n) return t.code;
  return ftUnknown;
}

std::string FieldTypeName(uint8_t type) {
  for (const auto& t : kTypeNames)
    if (t.code == type) return t.name;
  return {};
}

// ------------------------------------------------------------------ parse

TDatabaseSchema ParseSchema(std::string_view text) {
  TDatabaseSchema schema;
  TSchemaTable* table = nullptr;
  std::vector<std::string> seenSettings;
  int lineNumber = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = end + 1;
    ++lineNumber;
    const std::string at = "line " + std::to_string(lineNumber) + ": ";
    std::vector<std::string> w = Words(line, lineNumber);
    if (w.empty()) continue;
    const std::string keyword = Lower(w[0]);
    auto need = [&](size_t low, size_t high, const char* form) {
      if (w.size() < low || w.size() > high) Fail(at + "expected: " + form);
    };

    if (keyword == "version" || keyword == "compression" || keyword == "encryption" || keyword == "password" ||
        keyword == "writecheck") {
      if (table) Fail(at + "'" + w[0] + "' is a database setting and belongs before the first table");
      if (std::find(seenSettings.begin(), seenSettings.end(), keyword) != seenSettings.end())
        Fail(at + "'" + w[0] + "' is given twice");
      seenSettings.push_back(keyword);
    }

    if (keyword == "version") {
      need(2, 2, "version TEXT");
      schema.version = w[1];
    } else if (keyword == "compression") {
      need(2, 3, "compression on|off [ALGORITHM]");
      if (!OnOff(w[1], schema.compressed)) Fail(at + "compression must be 'on' or 'off', not '" + w[1] + "'");
      if (w.size() == 3) schema.compressAlgorithm = w[2];
    } else if (keyword == "encryption") {
      need(2, 4, "encryption none|ALGORITHM [mode N]");
      if (Lower(w[1]) == "none") {
        if (w.size() > 2) Fail(at + "'encryption none' takes no mode");
        schema.encryptAlgorithm.clear();
      } else {
        schema.encryptAlgorithm = w[1];
        if (w.size() == 3) Fail(at + "expected: encryption ALGORITHM mode N");
        if (w.size() == 4) {
          int64_t mode = 0;
          if (Lower(w[2]) != "mode") Fail(at + "expected 'mode' after the algorithm, not '" + w[2] + "'");
          if (!ParseInt(w[3], 0, 4, mode)) Fail(at + "the cipher mode must be 0 to 4, not '" + w[3] + "'");
          schema.cipherMode = static_cast<uint8_t>(mode);
        }
      }
    } else if (keyword == "password") {
      need(2, 2, "password TEXT (quote a password holding blanks or '#')");
      schema.password = w[1];
      schema.hasPassword = true;
    } else if (keyword == "writecheck") {
      need(2, 2, "writecheck on|off");
      if (!OnOff(w[1], schema.writeCheck)) Fail(at + "writecheck must be 'on' or 'off', not '" + w[1] + "'");
    } else if (keyword == "table") {
      need(2, 2, "table NAME");
      schema.tables.push_back(TSchemaTable{w[1], {}, {}});
      table = &schema.tables.back();
    } else if (keyword == "field") {
      if (!table) Fail(at + "a field needs a table statement before it");
      need(3, 5, "field NAME TYPE [SIZE] [plain]");
      TSchemaField field;
      field.name = w[1];
      field.type = FieldTypeFromName(w[2]);
      if (field.type == ftUnknown) Fail(at + "unknown field type '" + w[2] + "'");
      size_t next = 3;
      int64_t size = 0;
      bool hasSize = false;
      if (next < w.size() && Lower(w[next]) != "plain") {
        hasSize = true;
        if (!ParseInt(w[next], 0, INT32_MAX, size)) Fail(at + "invalid field size '" + w[next] + "'");
        field.size = static_cast<int32_t>(size);
        ++next;
      }
      if (next < w.size()) {
        if (Lower(w[next]) != "plain") Fail(at + "expected 'plain' or nothing after the size, not '" + w[next] + "'");
        field.processMode = 1;
        ++next;
      }
      if (next != w.size()) Fail(at + "expected: field NAME TYPE [SIZE] [plain]");
      if (IsStringFieldType(field.type) && !hasSize)
        Fail(at + "a " + FieldTypeName(field.type) + " field needs its size (maximum number of characters)");
      table->fields.push_back(field);
    } else if (keyword == "index") {
      if (!table) Fail(at + "an index needs a table statement before it");
      if (w.size() < 3) Fail(at + "expected: index NAME FIELD[,FIELD...] [primary] [unique] [descending] "
                                  "[caseinsensitive]");
      TSchemaIndex index;
      index.name = w[1];
      std::string list = w[2];
      size_t start = 0;
      while (true) {
        size_t comma = list.find(',', start);
        std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (name.empty()) Fail(at + "empty field name in the key list '" + list + "'");
        index.keyFields.push_back(name);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
      for (size_t i = 3; i < w.size(); ++i) {
        std::string option = Lower(w[i]);
        if (option == "primary") index.options |= tiPrimary;
        else if (option == "unique") index.options |= tiUnique;
        else if (option == "descending") index.options |= tiDescending;
        else if (option == "caseinsensitive") index.options |= tiCaseInsensitive;
        else Fail(at + "unknown index option '" + w[i] + "'");
      }
      table->indexes.push_back(index);
    } else {
      Fail(at + "unknown statement '" + w[0] + "'");
    }
  }
  ValidateSchema(schema);
  return schema;
}

// --------------------------------------------------------------- validate

void ValidateSchema(const TDatabaseSchema& schema) {
  if (schema.version.empty() || schema.version.size() > static_cast<size_t>(kVersionSize) ||
      schema.version.find('\0') != std::string::npos)
    Fail("the version text must have 1 to 5 characters, not '" + schema.version + "'");
  switch (JudgeVersion(schema.version)) {
    case TVersionVerdict::NotCompatible:
      Fail("version " + schema.version + " would not open: Version 1.00 is not compatible");
    case TVersionVerdict::TooHigh:
      Fail("version " + schema.version + " would not open: Version of database file is too High");
    case TVersionVerdict::Accepted:
      break;
  }
  if (schema.compressed && RegisteredName(CompressAlgoRegistry(), schema.compressAlgorithm).empty())
    Fail("unknown compression algorithm '" + schema.compressAlgorithm + "' (known: " +
         KnownNames(CompressAlgoRegistry()) + ")");
  if (!schema.encryptAlgorithm.empty()) {
    if (RegisteredName(EncryptAlgoRegistry(), schema.encryptAlgorithm).empty())
      Fail("unknown encryption algorithm '" + schema.encryptAlgorithm + "' (known: " +
           KnownNames(EncryptAlgoRegistry()) + ")");
    if (schema.cipherMode > kDpMaxCipherMode) Fail("the cipher mode must be 0 to 4");
    if (!schema.hasPassword) Fail("an encrypted database needs a password statement");
  } else if (schema.hasPassword) {
    Fail("a password protects nothing without encryption: add an encryption statement or remove the password");
  }
  if (schema.tables.size() > static_cast<size_t>(kMaxTables)) Fail("a database holds at most 256 tables");

  for (size_t i = 0; i < schema.tables.size(); ++i) {
    const TSchemaTable& t = schema.tables[i];
    CheckName(t.name, "a table");
    for (size_t j = 0; j < i; ++j)
      if (SameNameIgnoringCase(schema.tables[j].name, t.name)) Fail("table '" + t.name + "' is defined twice");
    const std::string in = "table '" + t.name + "': ";
    if (t.fields.size() > static_cast<size_t>(kMaxFields)) Fail(in + "a table holds at most 96 fields");
    if (t.indexes.size() > static_cast<size_t>(kMaxIndexes)) Fail(in + "a table holds at most 8 indexes");
    int64_t recordSize = 0;
    for (size_t k = 0; k < t.fields.size(); ++k) {
      const TSchemaField& f = t.fields[k];
      try {
        CheckName(f.name, "a field");
      } catch (const ESchemaError& e) {
        Fail(in + e.what());
      }
      for (size_t j = 0; j < k; ++j)
        if (SameNameIgnoringCase(t.fields[j].name, f.name)) Fail(in + "field '" + f.name + "' is defined twice");
      if (!IsKnownFieldType(f.type)) Fail(in + "field '" + f.name + "' has the unknown type code " + std::to_string(f.type));
      if (f.size < 0) Fail(in + "field '" + f.name + "' has a negative size");
      if (IsStringFieldType(f.type) && f.size < 1)
        Fail(in + "string field '" + f.name + "' needs a size of at least 1 character");
      int32_t stored = FieldStoredSize(f.type, f.size);
      if (stored < 0) Fail(in + "field '" + f.name + "' is too large");
      recordSize += stored;
      if (recordSize > INT32_MAX) Fail(in + "the record is larger than a database file can hold");
    }
    for (size_t x = 0; x < t.indexes.size(); ++x) {
      const TSchemaIndex& ix = t.indexes[x];
      try {
        CheckName(ix.name, "an index");
      } catch (const ESchemaError& e) {
        Fail(in + e.what());
      }
      for (size_t j = 0; j < x; ++j)
        if (SameNameIgnoringCase(t.indexes[j].name, ix.name)) Fail(in + "index '" + ix.name + "' is defined twice");
      if (ix.keyFields.empty() || ix.keyFields.size() > static_cast<size_t>(kMaxIndexFields))
        Fail(in + "index '" + ix.name + "' needs 1 to 8 key fields");
      for (size_t a = 0; a < ix.keyFields.size(); ++a) {
        const std::string& key = ix.keyFields[a];
        bool found = std::any_of(t.fields.begin(), t.fields.end(),
                                 [&](const TSchemaField& f) { return SameNameIgnoringCase(f.name, key); });
        if (!found) Fail(in + "index '" + ix.name + "' names the unknown field '" + key + "'");
        for (size_t b = 0; b < a; ++b)
          if (SameNameIgnoringCase(ix.keyFields[b], key))
            Fail(in + "index '" + ix.name + "' lists field '" + key + "' twice");
      }
    }
  }
}

// ------------------------------------------------------------------ build

std::vector<uint8_t> BuildDatabaseImage(const TDatabaseSchema& schema) {
  ValidateSchema(schema);
  const auto tableCount = static_cast<int32_t>(schema.tables.size());
  std::vector<uint8_t> image(static_cast<size_t>(kFirstStructureOffset) +
                             static_cast<size_t>(tableCount) * kTableHeaderSize);

  TFileHeader header = TFileHeader::Current();
  header.version.SetText(schema.version);
  header.EncodeTo(image.data() + kFileHeaderOffset);

  TDataProcessBlock dp;
  if (schema.compressed) {
    dp.compressFlag = 1;
    dp.compressAlgoName.SetText(RegisteredName(CompressAlgoRegistry(), schema.compressAlgorithm));
  }
  if (!schema.encryptAlgorithm.empty()) {
    dp.encryptFlag = 1;
    dp.cipherMode = schema.cipherMode;
    dp.encryptAlgoName.SetText(RegisteredName(EncryptAlgoRegistry(), schema.encryptAlgorithm));
    // The engine accepts a password whose check value equals this text.
    dp.checkValue.SetText(PasswordCheckValue(schema.password));
  }
  dp.writeCheckFlag = schema.writeCheck ? 1 : 0;
  dp.EncodeTo(image.data() + kDataProcessOffset);

  TTableDirectory directory;
  directory.tableCount = tableCount;
  for (int32_t i = 0; i < tableCount; ++i) {
    const int32_t offset = kFirstStructureOffset + i * kTableHeaderSize;
    directory.tableOffsets[static_cast<size_t>(i)] = offset;

    const TSchemaTable& t = schema.tables[static_cast<size_t>(i)];
    TTableHeader th;  // record tab offset, record total, index tab offsets and heads all 0
    th.tableName.SetText(t.name);
    th.fieldCount = static_cast<int32_t>(t.fields.size());
    for (size_t k = 0; k < t.fields.size(); ++k) {
      TFieldSlot& slot = th.fields[k];
      slot.name.SetText(t.fields[k].name);
      slot.fieldType = t.fields[k].type;
      slot.declaredSize = t.fields[k].size;
      slot.processMode = t.fields[k].processMode;
    }
    th.indexCount = static_cast<int32_t>(t.indexes.size());
    for (size_t j = 0; j < t.indexes.size(); ++j) {
      TIndexSlot& slot = th.indexes[j];
      slot.name.SetText(t.indexes[j].name);
      slot.options = t.indexes[j].options;
      std::vector<int32_t> keys;
      for (const std::string& key : t.indexes[j].keyFields)
        for (size_t k = 0; k < t.fields.size(); ++k)
          if (SameNameIgnoringCase(t.fields[k].name, key)) keys.push_back(static_cast<int32_t>(k));
      slot.SetKeyFields(keys);
    }
    th.EncodeTo(image.data() + offset);
  }
  directory.EncodeTo(image.data() + kTableDirectoryOffset);
  return image;
}

void CreateDatabaseFile(const TDatabaseSchema& schema, const std::string& fileName, bool overwrite) {
  std::vector<uint8_t> image = BuildDatabaseImage(schema);
  if (!overwrite && FileExists(fileName))
    throw ESchemaError("file '" + fileName + "' already exists (use --force to replace it)");
  const std::string temporary = fileName + ".tmp-" + std::to_string(::getpid());
  try {
    TFileStream file(temporary, fmCreate | fmShareExclusive);
    file.WriteBuffer(image.data(), static_cast<int64_t>(image.size()));
    file.Flush();
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  // link() refuses an existing target, so a file that appeared meanwhile is
  // never replaced without --force.
  int result = overwrite ? std::rename(temporary.c_str(), fileName.c_str()) : ::link(temporary.c_str(), fileName.c_str());
  int error = errno;
  if (!overwrite || result != 0) ::unlink(temporary.c_str());
  if (result != 0) {
    if (error == EEXIST) throw ESchemaError("file '" + fileName + "' already exists (use --force to replace it)");
    throw ESchemaError("cannot create file '" + fileName + "': " + std::strerror(error));
  }
}

// ------------------------------------------------------------------- help

std::string SchemaHelpText() {
  std::string types;
  for (const auto& t : kTypeNames) {
    int32_t stored = FieldStoredSize(t.code, 0);
    types += "  " + std::string(t.name) + std::string(14 - std::strlen(t.name), ' ') + "code " +
             std::to_string(t.code) + (t.code < 10 ? ",  " : ", ") +
             (IsStringFieldType(t.code) ? std::string("SIZE + 1 bytes, text of up to SIZE characters")
              : IsBlobFieldType(t.code) ? std::string("20-byte blob descriptor, value in a blob area")
                                        : std::to_string(stored) + " bytes") +
             "\n";
  }
  return R"(Usage: tomedb-create [--force] SCHEMA DATABASE
       tomedb-create --help

Creates the empty database file DATABASE from the schema text in the file
SCHEMA ("-" reads the schema from standard input). The file holds the header,
the data-processing settings (with the password check value), the table
directory and one empty table header per table; records are added through
the engine. The same schema always gives the same bytes. An existing
DATABASE is left alone unless --force is given.

Schema text
  One statement per line. Words are separated by blanks; a word in double
  quotes may hold blanks and '#' (write \" for a quote and \\ for a
  backslash inside quotes). A '#' that starts a word begins a comment that
  runs to the end of the line. Keywords, type names and options ignore
  letter case; names keep theirs.

Database settings (before the first table, each at most once)
  version TEXT                  format version in the header (default 2.0);
                                versions the engine refuses are refused here
  compression on|off [ALGO]     compress blob values (default off); the only
                                algorithm is ZLIB
  encryption none|ALGO [mode N] encrypt stored values with Blowfish, Twofish
                                or Gost (default none) in cipher mode N
                                (default 1): 0 xor-feedback chaining, 1 CBC,
                                2 CFB 8-bit, 3 OFB 8-bit, 4 ECB
  password TEXT                 the database password; its check value is
                                stored. Needed with encryption, refused
                                without it
  writecheck on|off             read each blob value back after writing it
                                and compare checksums (default off)

Tables
  table NAME                    starts a table; field and index statements
                                that follow belong to it
  field NAME TYPE [SIZE] [plain]
                                adds the next field. String and FixedChar
                                need SIZE, the maximum number of characters;
                                other types may give a SIZE, which is stored
                                but not used. "plain" stores the field
                                unencrypted and uncompressed whatever the
                                database settings (ProcessMode 1)
  index NAME FIELD[,FIELD...] [primary] [unique] [descending] [caseinsensitive]
                                adds an index over 1 to 8 fields of the
                                table, in key order (no blanks around commas)

Limits
  Names have 1 to 32 characters and differ (ignoring letter case) from the
  other tables' names, the table's other fields and its other indexes.
  At most 256 tables, 96 fields and 8 indexes per table.

Field types (the "ft" prefix may be written: ftString)
)" + types +
         R"(
Example
  version 2.0
  compression on
  encryption Twofish mode 1
  password "secret words"
  table country
    field country String 30
    field flag Graphic plain
    index countryindex country caseinsensitive
)";
}

// ---------------------------------------------------------------- command

int RunTomeDBCreate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  bool force = false;
  std::vector<std::string> positional;
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      out << SchemaHelpText();
      return 0;
    }
    if (a == "--force") {
      force = true;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      err << "tomedb-create: unknown option '" << a << "'\nTry 'tomedb-create --help'.\n";
      return 2;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) {
    err << "Usage: tomedb-create [--force] SCHEMA DATABASE\nTry 'tomedb-create --help'.\n";
    return 2;
  }
  const std::string& schemaFile = positional[0];
  const std::string& databaseFile = positional[1];
  try {
    std::string text;
    if (schemaFile == "-") {
      std::ostringstream buffer;
      buffer << std::cin.rdbuf();
      text = buffer.str();
    } else {
      std::ifstream in(schemaFile, std::ios::binary);
      if (!in) {
        err << "tomedb-create: cannot read schema file '" << schemaFile << "': " << std::strerror(errno) << "\n";
        return 1;
      }
      std::ostringstream buffer;
      buffer << in.rdbuf();
      text = buffer.str();
    }
    TDatabaseSchema schema;
    try {
      schema = ParseSchema(text);
    } catch (const ESchemaError& e) {
      err << "tomedb-create: " << schemaFile << ": " << e.what() << "\n";
      return 1;
    }
    CreateDatabaseFile(schema, databaseFile, force);
  } catch (const std::exception& e) {
    err << "tomedb-create: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
