#include "makecatalogue/makecatalogue.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "tomedb/tableio.h"
#include "wheelcore/wheel.h"
#include "wheelcore/wheelfile.h"

namespace {

TSchemaField Field(const std::string& name, uint8_t type, int32_t size = 0) {
  TSchemaField field;
  field.name = name;
  field.type = type;
  field.size = size;
  return field;
}

TSchemaIndex Index(const std::string& name, TTDIndexOptions options, std::vector<std::string> keys) {
  TSchemaIndex index;
  index.name = name;
  index.options = options;
  index.keyFields = std::move(keys);
  return index;
}

// The sizes of the wheel tables' strings: a type letter, a formula such as
// "12if12", and a ticket of up to 7 two-digit positions with dashes.
constexpr int32_t kWheelTypeSize = 2;
constexpr int32_t kFormulaSize = 10;
constexpr int32_t kPatternSize = 40;

std::string Where(const std::string& file, int line) { return file + ":" + std::to_string(line) + ": "; }

// Splits a line at every '|'.
std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t bar = line.find('|', start);
    fields.push_back(line.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return fields;
}

struct TSourceLine {
  int number = 0;
  std::vector<std::string> fields;
};

// The record lines of a source file: comments and blank lines skipped, a
// carriage return refused (the sources are LF only).
std::vector<TSourceLine> ReadSource(const std::string& path, const std::string& displayName) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ECatalogueError(displayName + ": cannot be read");
  std::vector<TSourceLine> lines;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') throw ECatalogueError(Where(displayName, number) + "CR line ending");
    if (line.empty() || line[0] == '#') continue;
    lines.push_back({number, SplitFields(line)});
  }
  return lines;
}

// A plain decimal integer: digits only, no leading zero, within int32.
int32_t ParseInteger(const std::string& text, const std::string& where, const std::string& fieldName) {
  bool ok = !text.empty() && text.size() <= 10 && (text == "0" || text[0] != '0');
  for (char c : text) ok = ok && c >= '0' && c <= '9';
  if (ok) {
    const long long value = std::stoll(text);
    if (value <= INT32_MAX) return static_cast<int32_t>(value);
  }
  throw ECatalogueError(where + "field " + fieldName + ": '" + text + "' is not a plain decimal integer");
}

// Owned value buffers for every field of an open table.
class TRecordBuffers {
 public:
  explicit TRecordBuffers(TTomeTableIO& table) : table_(table) {
    for (int k = 0; k < table.FieldDefs().Count(); ++k)
      buffers_.AddOwned(table.FieldDefs().Items(k)->FieldType(), table.FieldStoredSizeOf(k));
  }
  void SetInt(int field, int32_t value) { PutInt32LE(static_cast<uint8_t*>(buffers_.Items(field).Buffer), value); }
  // The text must fit the field (checked by the caller, with the source line).
  void SetText(int field, const std::string& text) {
    TFieldBufferItem& item = buffers_.Items(field);
    std::memset(item.Buffer, 0, static_cast<size_t>(item.BufferSize));
    std::memcpy(item.Buffer, text.data(), text.size());
  }
  void Append() { table_.AppendRecord(buffers_); }

 private:
  TTomeTableIO& table_;
  TFieldBuffers buffers_;
};

void CheckText(const std::string& text, const TSchemaField& field, const std::string& where) {
  if (text.size() > static_cast<size_t>(field.size))
    throw ECatalogueError(where + "field " + field.name + ": longer than " + std::to_string(field.size) + " bytes");
  if (text.find('\0') != std::string::npos) throw ECatalogueError(where + "field " + field.name + ": holds a NUL");
  if (!text.empty() && (text.front() == ' ' || text.back() == ' '))
    throw ECatalogueError(where + "field " + field.name + ": blanks at an end");
}

const TSchemaTable& TableOf(const TDatabaseSchema& schema, const std::string& name) {
  for (const TSchemaTable& table : schema.tables)
    if (table.name == name) return table;
  throw ECatalogueError("no table " + name);
}

struct TOpenCatalogueTable {
  TOpenCatalogueTable(TTomeDBFileIO* io, const std::string& name) : table(io) {
    table.SetTableName(name);
    table.Open();
  }
  ~TOpenCatalogueTable() { table.Close(); }
  TTomeTableIO table;
};

void AppendCountries(TTomeDBFileIO* io, const TSchemaTable& schema, const std::string& folder,
                     TCatalogueCounts& counts) {
  const std::vector<TSourceLine> lines = ReadSource(folder + "/countries.txt", "countries.txt");
  TOpenCatalogueTable open(io, "country");
  TRecordBuffers record(open.table);
  for (const TSourceLine& line : lines) {
    const std::string where = Where("countries.txt", line.number);
    if (line.fields.size() != 2)
      throw ECatalogueError(where + "expected 2 fields (name|flag), found " + std::to_string(line.fields.size()));
    if (line.fields[0].empty()) throw ECatalogueError(where + "empty country name");
    CheckText(line.fields[0], schema.fields[0], where);
    record.SetText(0, line.fields[0]);
    try {
      record.Append();
    } catch (const std::exception& e) {
      throw ECatalogueError(where + e.what());
    }
    ++counts.countries;
  }
}

void AppendLotteries(TTomeDBFileIO* io, const TSchemaTable& schema, const std::string& folder,
                     TCatalogueCounts& counts) {
  const std::vector<TSourceLine> lines = ReadSource(folder + "/lotteries.txt", "lotteries.txt");
  TOpenCatalogueTable open(io, "lottery");
  TRecordBuffers record(open.table);
  for (const TSourceLine& line : lines) {
    const std::string where = Where("lotteries.txt", line.number);
    if (line.fields.size() != schema.fields.size())
      throw ECatalogueError(where + "expected " + std::to_string(schema.fields.size()) + " fields, found " +
                            std::to_string(line.fields.size()));
    for (size_t k = 0; k < schema.fields.size(); ++k) {
      const TSchemaField& field = schema.fields[k];
      if (field.type == ftInteger) {
        record.SetInt(static_cast<int>(k), ParseInteger(line.fields[k], where, field.name));
      } else {
        CheckText(line.fields[k], field, where);
        record.SetText(static_cast<int>(k), line.fields[k]);
      }
    }
    if (line.fields[0].empty() || line.fields[1].empty())
      throw ECatalogueError(where + "empty country or lottery name");
    record.Append();
    ++counts.lotteries;
  }
}

void AppendWheels(TTomeDBFileIO* io, const std::string& folder, TCatalogueCounts& counts) {
  const std::string wheelFolder = folder + "/wheels";
  if (!std::filesystem::is_directory(wheelFolder)) return;
  std::vector<CatalogueEntry> entries;
  std::string error;
  if (!readWheelFolder(wheelFolder, entries, error)) throw ECatalogueError(error);

  TOpenCatalogueTable wheels(io, "wheels");
  TOpenCatalogueTable survey(io, "wheelssurvey");
  TRecordBuffers ticketRecord(wheels.table);
  TRecordBuffers surveyRecord(survey.table);
  for (const CatalogueEntry& entry : entries) {
    const WheelSpec& spec = entry.wheel.spec;
    const VerifyResult result = verifyWheel(spec, entry.wheel.tickets);
    if (!result.holds) throw ECatalogueError(entry.path + ": the wheel does not hold: " + result.message);
    const std::string type = spec.type == WheelType::key ? "k" : "a";
    const std::string formula = formulaText(spec.t, spec.m);
    if (static_cast<int32_t>(formula.size()) > kFormulaSize)
      throw ECatalogueError(entry.path + ": formula " + formula + " is too long");
    for (const Ticket& ticket : entry.wheel.tickets) {
      const std::string pattern = formatPattern(ticket);
      if (static_cast<int32_t>(pattern.size()) > kPatternSize)
        throw ECatalogueError(entry.path + ": ticket " + pattern + " is too long");
      ticketRecord.SetInt(0, spec.pick);
      ticketRecord.SetText(1, type);
      ticketRecord.SetText(2, formula);
      ticketRecord.SetInt(3, spec.v);
      ticketRecord.SetText(4, pattern);
      ticketRecord.Append();
      ++counts.tickets;
    }
    surveyRecord.SetInt(0, spec.pick);
    surveyRecord.SetText(1, type);
    surveyRecord.SetText(2, formula);
    surveyRecord.SetInt(3, spec.v);
    surveyRecord.SetInt(4, static_cast<int32_t>(entry.wheel.tickets.size()));
    surveyRecord.Append();
    ++counts.wheels;
  }
}

}  // namespace

TDatabaseSchema CatalogueSchema() {
  TDatabaseSchema schema;
  schema.compressed = true;
  schema.compressAlgorithm = "ZLIB";
  schema.encryptAlgorithm = "Blowfish";
  schema.cipherMode = 1;
  schema.password = kCataloguePassword;
  schema.hasPassword = true;

  TSchemaTable country;
  country.name = "country";
  country.fields = {Field("country", ftString, 40)};
  country.indexes = {Index("countryindex", static_cast<TTDIndexOptions>(tiPrimary | tiUnique), {"country"})};

  TSchemaTable lottery;
  lottery.name = "lottery";
  lottery.fields = {Field("country", ftString, 40), Field("lotteryname", ftString, 60), Field("from", ftInteger),
                    Field("bouns", ftInteger), Field("extrafrom", ftInteger), Field("match", ftInteger),
                    Field("extrapick", ftInteger)};
  for (int n = 8; n <= 18; ++n) lottery.fields.push_back(Field("spare" + std::to_string(n), ftInteger));
  lottery.fields.push_back(Field("region", ftString, 40));
  lottery.fields.push_back(Field("extraname", ftString, 30));
  for (int n = 21; n <= 23; ++n) lottery.fields.push_back(Field("spare" + std::to_string(n), ftString, 40));
  // Not unique: the new lottery dialog refuses duplicates with its own exact
  // comparison (see catalogue/README.md).
  lottery.indexes = {Index("loterynameindex", tiNone, {"country", "lotteryname"})};

  TSchemaTable wheels;
  wheels.name = "wheels";
  wheels.fields = {Field("pick", ftInteger), Field("wheeltype", ftString, kWheelTypeSize),
                   Field("xyoption", ftString, kFormulaSize), Field("zoption", ftInteger),
                   Field("digitalstring", ftString, kPatternSize)};
  wheels.indexes = {Index("pickindex", tiNone, {"pick", "wheeltype", "xyoption", "zoption", "digitalstring"})};

  // Stored order only: each wheel's entries from the fewest tickets to the most.
  TSchemaTable survey;
  survey.name = "wheelssurvey";
  survey.fields = {Field("pick", ftInteger), Field("wheeltype", ftString, kWheelTypeSize),
                   Field("xyoption", ftString, kFormulaSize), Field("zoption", ftInteger), Field("ticket", ftInteger)};

  schema.tables = {country, lottery, wheels, survey};
  return schema;
}

TCatalogueCounts BuildCatalogue(const std::string& sourceFolder, const std::string& outputFile) {
  const TDatabaseSchema schema = CatalogueSchema();
  const std::string partial = outputFile + ".part";
  TCatalogueCounts counts;
  try {
    CreateDatabaseFile(schema, partial, true);
    {
      TTomeDBFileIO io(nullptr);
      io.Open(partial, mtDisk, false, true);
      if (!io.SetPassword(kCataloguePassword)) throw ECatalogueError("the new file refuses its password");
      AppendCountries(&io, TableOf(schema, "country"), sourceFolder, counts);
      AppendLotteries(&io, TableOf(schema, "lottery"), sourceFolder, counts);
      AppendWheels(&io, sourceFolder, counts);
      io.Flush();
      io.Close();
    }
    std::filesystem::rename(partial, outputFile);
  } catch (const ECatalogueError&) {
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
    throw;
  } catch (const std::exception& e) {
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
    throw ECatalogueError(e.what());
  }
  return counts;
}
