#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/streams.h"
#include "core/temp_file.h"
#include "tomedb/algorithms/EncryptBase.h"
#include "tomedb/format.h"
#include "tools/tomedb-create/createdb.h"

namespace {

const char* kCatalogueLikeSchema = R"(# two tables, settings first
version 2.0
compression on zlib
writecheck on

table country
  field country String 30
  field flag Graphic plain      # pictures stay plain
  index countryindex country caseinsensitive

table "lottery"
  field id ftAutoInc
  field country string 30
  field lotteryname String 40
  field "from" Smallint
  field match Integer 7 plain
  field drawn DateTime
  index loterynameindex country,lotteryname primary unique
  index byid id descending
)";

std::string SchemaError(const std::string& text) {
  try {
    ParseSchema(text);
  } catch (const ESchemaError& e) {
    return e.what();
  }
  return "";
}

int32_t Int32At(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24);
}

}  // namespace

TEST(CreateDatabase, FileReadsBackStructureByStructure) {
  TempFile file("created");
  CreateDatabaseFile(ParseSchema(kCatalogueLikeSchema), file.path(), false);

  TFileStream s(file.path(), fmOpenRead | fmShareDenyWrite);
  EXPECT_EQ(s.Size(), 3821 + 2 * 4821);
  TFileHeader header = ReadFileHeader(s, file.path());
  EXPECT_EQ(header.version.Text(), "2.0");

  TDataProcessBlock dp = ReadDataProcessBlock(s, file.path());
  EXPECT_TRUE(dp.Compressed());
  EXPECT_EQ(dp.compressAlgoName.Text(), "ZLIB");
  EXPECT_FALSE(dp.Encrypted());
  EXPECT_TRUE(dp.WriteCheck());
  EXPECT_EQ(dp.checkValue.Text(), "");

  TTableDirectory dir = ReadTableDirectory(s, file.path());
  ASSERT_EQ(dir.tableCount, 2);

  TTableHeader country = ReadTableHeader(s, dir.tableOffsets[0], file.path());
  EXPECT_EQ(country.tableName.Text(), "country");
  ASSERT_EQ(country.fieldCount, 2);
  EXPECT_EQ(country.fields[0].name.Text(), "country");
  EXPECT_EQ(country.fields[0].fieldType, ftString);
  EXPECT_EQ(country.fields[0].declaredSize, 30);
  EXPECT_EQ(country.fields[0].processMode, 0);
  EXPECT_EQ(country.fields[1].fieldType, ftGraphic);
  EXPECT_EQ(country.fields[1].processMode, 1);
  ASSERT_EQ(country.indexCount, 1);
  EXPECT_EQ(country.indexes[0].name.Text(), "countryindex");
  EXPECT_EQ(country.indexes[0].options, tiCaseInsensitive);
  EXPECT_EQ(country.indexes[0].KeyFields(), std::vector<int32_t>{0});

  TTableHeader lottery = ReadTableHeader(s, dir.tableOffsets[1], file.path());
  EXPECT_EQ(lottery.tableName.Text(), "lottery");
  ASSERT_EQ(lottery.fieldCount, 6);
  const uint8_t types[] = {ftAutoInc, ftString, ftString, ftSmallint, ftInteger, ftDateTime};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(lottery.fields[k].fieldType, types[k]) << k;
  EXPECT_EQ(lottery.fields[3].name.Text(), "from");
  EXPECT_EQ(lottery.fields[4].declaredSize, 7);
  EXPECT_EQ(lottery.fields[4].processMode, 1);
  ASSERT_EQ(lottery.indexCount, 2);
  EXPECT_EQ(lottery.indexes[0].options, tiPrimary | tiUnique);
  EXPECT_EQ(lottery.indexes[0].KeyFields(), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(lottery.indexes[1].options, tiDescending);
  EXPECT_EQ(lottery.indexes[1].KeyFields(), std::vector<int32_t>{0});
  EXPECT_EQ(ComputeRecordLayout(lottery, file.path()).recordSize, 4 + 31 + 41 + 2 + 4 + 8);

  // Empty: no records, no tabs, every head 0.
  for (const TTableHeader* t : {&country, &lottery}) {
    EXPECT_EQ(t->recordTabOffset, 0);
    EXPECT_EQ(t->recordTotal, 0);
    EXPECT_EQ(t->autoIncCounter, 0);
    for (int j = 0; j < t->indexCount; ++j) {
      EXPECT_EQ(t->indexes[j].indexTabOffset, 0);
      EXPECT_EQ(t->indexes[j].headRecord, 0);
    }
  }
  EXPECT_TRUE(ReadRecordTab(s, lottery.recordTabOffset, lottery.recordTotal, 90, file.path()).items.empty());
}

TEST(CreateDatabase, BytesSitWhereTheLayoutPutsThem) {
  std::vector<uint8_t> b = BuildDatabaseImage(ParseSchema(kCatalogueLikeSchema));
  const uint8_t head[12] = {'T', 'o', 'm', 'e', 'D', 'B', 0, '2', '.', '0', 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 12), std::vector<uint8_t>(head, head + 12));
  EXPECT_EQ(b[2317], 1);                                          // compression flag
  EXPECT_EQ(std::string(b.begin() + 2319, b.begin() + 2323), "ZLIB");  // name, as registered
  EXPECT_EQ(b[2323], 0);
  EXPECT_EQ(b[2317 + 35], 0);  // not encrypted
  EXPECT_EQ(b[2317 + 70], 1);  // write check
  EXPECT_EQ(Int32At(b, 2789), 2);
  EXPECT_EQ(Int32At(b, 2797), 3821);
  EXPECT_EQ(Int32At(b, 2801), 3821 + 4821);
  EXPECT_EQ(Int32At(b, 2805), 0);  // unused directory entries
  const size_t lottery = 3821 + 4821;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[lottery])), "lottery");
  EXPECT_EQ(Int32At(b, lottery + 45), 6);
  EXPECT_EQ(b[lottery + 49 + 33], ftAutoInc);
  EXPECT_EQ(b[lottery + 49 + 43 + 33], ftString);
  EXPECT_EQ(Int32At(b, lottery + 49 + 43 + 34), 30);
  EXPECT_EQ(Int32At(b, lottery + 4177), 2);
  EXPECT_EQ(b[lottery + 4181 + 33], 0x03);  // primary + unique
  EXPECT_EQ(Int32At(b, lottery + 4181 + 34), 1);
  EXPECT_EQ(Int32At(b, lottery + 4181 + 38), 2);
  EXPECT_EQ(Int32At(b, lottery + 4181 + 42), -1);  // the key list ends here
  // The same schema gives the same bytes.
  EXPECT_EQ(BuildDatabaseImage(ParseSchema(kCatalogueLikeSchema)), b);
}

TEST(CreateDatabase, LimitsHoldAtTheEdgeAndFailOneStepPast) {
  auto tableWithFields = [](int fields, int indexes) {
    std::string s = "table t\n";
    for (int k = 0; k < fields; ++k) s += "field f" + std::to_string(k) + " Integer\n";
    for (int j = 0; j < indexes; ++j) s += "index i" + std::to_string(j) + " f0\n";
    return s;
  };
  EXPECT_EQ(SchemaError(tableWithFields(96, 8)), "");
  EXPECT_NE(SchemaError(tableWithFields(97, 0)).find("at most 96 fields"), std::string::npos);
  EXPECT_NE(SchemaError(tableWithFields(1, 9)).find("at most 8 indexes"), std::string::npos);

  std::string tables;
  for (int i = 0; i < 256; ++i) tables += "table t" + std::to_string(i) + "\n";
  TDatabaseSchema many = ParseSchema(tables);
  EXPECT_EQ(BuildDatabaseImage(many).size(), 3821u + 256u * 4821u);
  EXPECT_NE(SchemaError(tables + "table extra\n").find("at most 256 tables"), std::string::npos);

  const std::string name32(32, 'x');
  EXPECT_EQ(SchemaError("table " + name32 + "\nfield " + name32 + " Integer\n"), "");
  EXPECT_NE(SchemaError("table " + name32 + "y\n").find("longer than 32 characters"), std::string::npos);
  EXPECT_EQ(SchemaError("table t\nfield a Integer\nindex k a,a,a,a,a,a,a,a\n").find("twice") != std::string::npos, true);
  std::string nineKeys = "table t\n";
  for (int k = 0; k < 9; ++k) nineKeys += "field f" + std::to_string(k) + " Integer\n";
  EXPECT_EQ(SchemaError(nineKeys + "index k f0,f1,f2,f3,f4,f5,f6,f7\n"), "");
  EXPECT_NE(SchemaError(nineKeys + "index k f0,f1,f2,f3,f4,f5,f6,f7,f8\n").find("1 to 8 key fields"),
            std::string::npos);
}

TEST(CreateDatabase, BadSchemasAreRefusedWithTheLineAndTheReason) {
  struct Row {
    const char* schema;
    const char* message;
  } rows[] = {
      {"tables x\n", "line 1: unknown statement 'tables'"},
      {"\n\ntable t\nfield a Strng 3\n", "line 4: unknown field type 'Strng'"},
      {"table t\nfield a String\n", "line 2: a String field needs its size"},
      {"table t\nfield a String plain\n", "line 2: a String field needs its size"},
      {"table t\nfield a String 0\n", "needs a size of at least 1"},
      {"table t\nfield a String -4\n", "line 2: invalid field size '-4'"},
      {"table t\nfield a Integer 4 plian\n", "line 2: expected 'plain'"},
      {"field a Integer\n", "line 1: a field needs a table statement before it"},
      {"table t\nversion 2.0\n", "line 2: 'version' is a database setting and belongs before the first table"},
      {"compression on\ncompression off\n", "line 2: 'compression' is given twice"},
      {"compression maybe\n", "compression must be 'on' or 'off'"},
      {"compression on lzma\n", "unknown compression algorithm 'lzma'"},
      {"version 2.1\n", "version 2.1 would not open: Version of database file is too High"},
      {"version 1.00\n", "Version 1.00 is not compatible"},
      {"version 1.2345\n", "1 to 5 characters"},
      {"encryption Rot13 mode 1\npassword x\n", "unknown encryption algorithm 'Rot13'"},
      {"encryption Gost mode 5\n", "line 1: the cipher mode must be 0 to 4, not '5'"},
      {"encryption Gost 1\n", "line 1: expected: encryption ALGORITHM mode N"},
      {"encryption Blowfish\n", "needs a password"},
      {"password secret\n", "a password protects nothing without encryption"},
      {"password \"open\n", "line 1: a quoted word has no closing quote"},
      {"table a\ntable A\n", "table 'A' is defined twice"},
      {"table t\nfield a Integer\nfield A Word\n", "field 'A' is defined twice"},
      {"table t\nfield a Integer\nindex i a\nindex I a\n", "index 'I' is defined twice"},
      {"table t\nfield a Integer\nindex i b\n", "index 'i' names the unknown field 'b'"},
      {"table t\nfield a Integer\nindex i a,\n", "line 3: empty field name"},
      {"table t\nfield a Integer\nindex i a sorted\n", "line 3: unknown index option 'sorted'"},
      {"table t\nindex i\n", "line 2: expected: index NAME"},
  };
  for (const Row& row : rows) {
    std::string error = SchemaError(row.schema);
    EXPECT_NE(error.find(row.message), std::string::npos) << "schema:\n" << row.schema << "error: " << error;
  }
}

TEST(CreateDatabase, QuotedWordsCommentsAndLetterCase) {
  TDatabaseSchema s = ParseSchema(
      "TABLE \"two words\"  # comment\r\n"
      "  Field \"say \\\"hi\\\"\" FTSTRING 5 PLAIN\r\n"
      "  field hash#tag Integer\n"
      "  INDEX ix \"say \\\"hi\\\"\" Unique CaseInsensitive\n");
  ASSERT_EQ(s.tables.size(), 1u);
  EXPECT_EQ(s.tables[0].name, "two words");
  ASSERT_EQ(s.tables[0].fields.size(), 2u);
  EXPECT_EQ(s.tables[0].fields[0].name, "say \"hi\"");
  EXPECT_EQ(s.tables[0].fields[0].type, ftString);
  EXPECT_EQ(s.tables[0].fields[0].processMode, 1);
  EXPECT_EQ(s.tables[0].fields[1].name, "hash#tag");  // '#' inside a word is no comment
  EXPECT_EQ(s.tables[0].indexes[0].options, tiUnique | tiCaseInsensitive);
  EXPECT_EQ(FieldTypeFromName("ftOraClob"), ftOraClob);
  EXPECT_EQ(FieldTypeFromName("BCD"), ftUnknown);  // not a type a field slot may hold
  EXPECT_EQ(FieldTypeName(ftLargeint), "Largeint");
}

namespace {

// The digest text encoding written out independently of the engine: per group
// of three bytes, the 6-bit groups up to the last non-zero one, then "==" or
// "=" for a final group of one or two bytes.
std::string DigestText(const std::vector<uint8_t>& bytes) {
  const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t v = 0;
    for (size_t k = 0; k < 3; ++k) v = v << 8 | (i + k < bytes.size() ? bytes[i + k] : 0);
    int last = -1;
    for (int g = 0; g < 4; ++g)
      if ((v >> (18 - 6 * g)) & 63) last = g;
    for (int g = 0; g <= last; ++g) out += alphabet[(v >> (18 - 6 * g)) & 63];
  }
  if (bytes.size() % 3 == 1) out += "==";
  if (bytes.size() % 3 == 2) out += "=";
  return out;
}

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

}  // namespace

TEST(CreateDatabase, EncryptedDatabaseStoresAlgorithmModeAndPasswordCheckValue) {
  TDatabaseSchema s = ParseSchema("encryption twofish mode 3\npassword abc\ntable t\n");
  std::vector<uint8_t> image = BuildDatabaseImage(s);
  TMemoryStream stream;
  stream.WriteBuffer(image.data(), static_cast<int64_t>(image.size()));
  TDataProcessBlock dp = ReadDataProcessBlock(stream, "enc.dat");
  EXPECT_EQ(image[2317 + 35], 1);
  EXPECT_EQ(image[2317 + 36], 3);
  EXPECT_EQ(dp.encryptAlgoName.Text(), "Twofish");  // as registered, whatever the schema's letter case
  EXPECT_FALSE(dp.Compressed());
  // SHA-0("abc") from the published known-answer vector.
  const std::string expected = DigestText(FromHex("0164b8a914cd2a5e74c4f7ff082c4d97f1edf880"));
  EXPECT_EQ(dp.checkValue.Text(), expected);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image[2317 + 327])), expected);

  // The engine's password check accepts the stored value for this password only.
  TEncryptMgr manager(nullptr);
  manager.SelectAlgo(dp.encryptAlgoName.Text());
  manager.SetMode(dp.cipherMode);
  EXPECT_FALSE(manager.CheckPassword("abd", dp.checkValue.Text()));
  EXPECT_TRUE(manager.CheckPassword("abc", dp.checkValue.Text()));

  // An empty password is a password too: its value is the text of SHA-0 of no bytes.
  TDatabaseSchema empty = ParseSchema("encryption Gost mode 0\npassword \"\"\n");
  std::vector<uint8_t> emptyImage = BuildDatabaseImage(empty);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&emptyImage[2317 + 327])),
            DigestText(FromHex("f96cea198ad1dd5617ac084a3d92c6107708c0ef")));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&emptyImage[2317 + 37])), "Gost");
}

TEST(TomeDBCreateCommand, CreatesRefusesToOverwriteAndReportsErrors) {
  TempFile schema("schema"), database("db");
  {
    TFileStream f(schema.path(), fmCreate);
    std::string text = "table t\nfield a Integer\n";
    f.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  }
  std::ostringstream out, err;
  EXPECT_EQ(RunTomeDBCreate({schema.path(), database.path()}, out, err), 0) << err.str();
  EXPECT_TRUE(FileExists(database.path()));

  // A second run keeps the existing file; --force replaces it.
  {
    TFileStream f(database.path(), fmOpenReadWrite);
    f.SetPosition(100);
    f.WriteBuffer("mark", 4);
  }
  err.str("");
  EXPECT_EQ(RunTomeDBCreate({schema.path(), database.path()}, out, err), 1);
  EXPECT_NE(err.str().find("already exists"), std::string::npos) << err.str();
  TMemoryStream kept;
  kept.LoadFromFile(database.path());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(kept.Memory()) + 100, 4), "mark");
  EXPECT_EQ(RunTomeDBCreate({"--force", schema.path(), database.path()}, out, err), 0) << err.str();
  TMemoryStream replaced;
  replaced.LoadFromFile(database.path());
  EXPECT_EQ(replaced.Memory()[100], 0);
  EXPECT_EQ(replaced.Size(), 3821 + 4821);

  TempFile missing("nothing");
  err.str("");
  EXPECT_EQ(RunTomeDBCreate({missing.path(), database.path() + "2"}, out, err), 1);
  EXPECT_NE(err.str().find("cannot read schema file"), std::string::npos) << err.str();

  TempFile bad("bad");
  {
    TFileStream f(bad.path(), fmCreate);
    f.WriteBuffer("table t\nfield x Nope\n", 21);
  }
  err.str("");
  TempFile never("never");
  EXPECT_EQ(RunTomeDBCreate({bad.path(), never.path()}, out, err), 1);
  EXPECT_NE(err.str().find("line 2: unknown field type 'Nope'"), std::string::npos) << err.str();
  EXPECT_FALSE(FileExists(never.path()));

  EXPECT_EQ(RunTomeDBCreate({schema.path()}, out, err), 2);
  EXPECT_EQ(RunTomeDBCreate({"--frobnicate", schema.path(), never.path()}, out, err), 2);
  std::ostringstream help;
  EXPECT_EQ(RunTomeDBCreate({"--help"}, help, err), 0);
  EXPECT_NE(help.str().find("field NAME TYPE [SIZE] [plain]"), std::string::npos);
  EXPECT_NE(help.str().find("OraClob"), std::string::npos);
}
