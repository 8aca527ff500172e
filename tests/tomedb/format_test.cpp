// The file layout is checked against byte positions written out here as
// numbers, independently of the named constants the engine uses, so that a
// wrong constant cannot hide behind itself.

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/streams.h"
#include "tomedb/format.h"
#include "tests/database_error_of.h"

namespace {

const std::string kFile = "fixture.dat";

// A database image written byte by byte.
struct Image {
  std::vector<uint8_t> bytes;

  explicit Image(size_t size = 3821) : bytes(size, 0) {
    Text(0, "TomeDB");
    Text(7, "2.0");
  }
  void Put32(size_t at, int32_t v) {
    Grow(at + 4);
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
  }
  void Put8(size_t at, uint8_t v) {
    Grow(at + 1);
    bytes[at] = v;
  }
  void Text(size_t at, const std::string& s) {
    Grow(at + s.size() + 1);
    std::copy(s.begin(), s.end(), bytes.begin() + static_cast<long>(at));
  }
  void Grow(size_t size) {
    if (bytes.size() < size) bytes.resize(size, 0);
  }
  // Appends an empty table header at the end; returns its offset.
  size_t AddTable(const std::string& name) {
    size_t at = bytes.size();
    Grow(at + 4821);
    int32_t count = Get32(2789);
    Put32(2797 + 4 * static_cast<size_t>(count), static_cast<int32_t>(at));
    Put32(2789, count + 1);
    Text(at, name);
    return at;
  }
  void AddField(size_t table, const std::string& name, uint8_t type, int32_t size, uint8_t processMode = 0) {
    int32_t k = Get32(table + 45);
    size_t slot = table + 49 + 43 * static_cast<size_t>(k);
    Text(slot, name);
    Put8(slot + 33, type);
    Put32(slot + 34, size);
    Put8(slot + 38, processMode);
    Put32(table + 45, k + 1);
  }
  void AddIndex(size_t table, const std::string& name, uint8_t options, std::vector<int32_t> keys) {
    int32_t j = Get32(table + 4177);
    size_t slot = table + 4181 + 78 * static_cast<size_t>(j);
    Text(slot, name);
    Put8(slot + 33, options);
    for (size_t i = 0; i < 8; ++i) Put32(slot + 34 + 4 * i, i < keys.size() ? keys[i] : -1);
    Put32(table + 4177, j + 1);
  }
  int32_t Get32(size_t at) const {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | bytes[at + static_cast<size_t>(i)];
    return static_cast<int32_t>(v);
  }
  TMemoryStream Stream() const {
    TMemoryStream s;
    s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    return s;
  }
};

// The message of the EDatabaseError that `f` raises, or "" when it raises none.
std::string HeaderError(const Image& image) {
  TMemoryStream s = image.Stream();
  return ErrorOf([&] { ReadFileHeader(s, kFile); });
}

// Opens the image as the engine would: header, settings, directory, every
// table header. The error's kind comes before its message.
std::string OpenError(const Image& image) {
  TMemoryStream s = image.Stream();
  return KindAndErrorOf([&] {
    ReadFileHeader(s, kFile);
    ReadDataProcessBlock(s, kFile);
    TTableDirectory d = ReadTableDirectory(s, kFile);
    for (int i = 0; i < d.tableCount; ++i) ReadTableHeader(s, d.tableOffsets[static_cast<size_t>(i)], kFile);
  });
}

// `raised` is what KindAndErrorOf gives.
void ExpectDamaged(const std::string& raised, const std::string& detail) {
  EXPECT_EQ(raised.rfind("DamagedFile: Database file 'fixture.dat' is damaged", 0), 0u) << raised;
  EXPECT_NE(raised.find(detail), std::string::npos) << raised;
}

}  // namespace

TEST(FileVersion, AcceptsTwoPointZeroAndLowerRefusesHigherAndOnePointZeroZero) {
  struct Row {
    const char* version;
    const char* error;
  } rows[] = {
      {"2.0", ""},
      {"1.5", ""},
      {"1.0", ""},
      {"0.9", ""},
      {"", ""},
      {"2.1", "Version of database file is too High"},
      {"3.0", "Version of database file is too High"},
      {"2.0a", "Version of database file is too High"},
      {"2.00", "Version of database file is too High"},
      {"1.00", "Version 1.00 is not compatible"},
  };
  for (const Row& row : rows) {
    Image image;
    for (size_t i = 7; i < 12; ++i) image.bytes[i] = 0;
    image.Text(7, row.version);
    EXPECT_EQ(HeaderError(image), row.error) << "version '" << row.version << "'";
  }
  // Five version characters fill the field without a terminator.
  Image full;
  full.Text(7, "1.234");
  full.bytes[12] = 'x';  // the byte after the header is not part of the version
  EXPECT_EQ(HeaderError(full), "");
  TMemoryStream s = full.Stream();
  EXPECT_EQ(ReadFileHeader(s, kFile).version.Text(), "1.234");
}

TEST(FileSignature, OnlyTomeDBFollowedByZeroIsADatabase) {
  const std::string invalid = "Database file 'fixture.dat' is a invalid TomeDB";
  Image wrongLetter;
  wrongLetter.bytes[5] = 'b';
  EXPECT_EQ(HeaderError(wrongLetter), invalid);
  Image noTerminator;
  noTerminator.bytes[6] = 'X';
  EXPECT_EQ(HeaderError(noTerminator), invalid);
  Image shortText;
  shortText.bytes[5] = 0;
  EXPECT_EQ(HeaderError(shortText), invalid);
  Image truncated;
  truncated.bytes.resize(11);
  EXPECT_EQ(HeaderError(truncated), invalid);
  // A bad signature is reported before a bad version.
  Image both;
  both.bytes[0] = 't';
  both.Text(7, "9.9");
  EXPECT_EQ(HeaderError(both), invalid);
}

TEST(FormatStructures, ReadTheBytesAtTheirFixedPositions) {
  Image image;
  image.Put8(2317, 1);
  image.Text(2317 + 2, "ZLIB");
  image.Put8(2317 + 35, 7);  // any non-zero byte is true
  image.Put8(2317 + 36, 3);
  image.Text(2317 + 37, "Twofish");
  image.Put8(2317 + 70, 1);
  image.Text(2317 + 327, "checkvalue=");
  size_t t = image.AddTable("lottery");
  image.Put32(t + 41, 12);  // auto-increment counter
  image.AddField(t, "country", 1, 30);
  image.AddField(t, "id", 14, 0, 1);
  image.AddField(t, "flag", 17, 0);
  image.AddIndex(t, "byname", 0x0A, {0, 1});

  TMemoryStream s = image.Stream();
  TDataProcessBlock dp = ReadDataProcessBlock(s, kFile);
  EXPECT_TRUE(dp.Compressed());
  EXPECT_EQ(dp.compressAlgoName.Text(), "ZLIB");
  EXPECT_TRUE(dp.Encrypted());
  EXPECT_EQ(dp.cipherMode, 3);
  EXPECT_EQ(dp.encryptAlgoName.Text(), "Twofish");
  EXPECT_TRUE(dp.WriteCheck());
  EXPECT_EQ(dp.checkValue.Text(), "checkvalue=");

  TTableDirectory dir = ReadTableDirectory(s, kFile);
  ASSERT_EQ(dir.tableCount, 1);
  EXPECT_EQ(dir.tableOffsets[0], 3821);
  TTableHeader th = ReadTableHeader(s, 3821, kFile);
  EXPECT_EQ(th.tableName.Text(), "lottery");
  EXPECT_EQ(th.autoIncCounter, 12);
  ASSERT_EQ(th.fieldCount, 3);
  EXPECT_EQ(th.fields[0].name.Text(), "country");
  EXPECT_EQ(th.fields[0].fieldType, ftString);
  EXPECT_EQ(th.fields[0].declaredSize, 30);
  EXPECT_FALSE(th.fields[0].AlwaysPlain());
  EXPECT_EQ(th.fields[1].fieldType, ftAutoInc);
  EXPECT_TRUE(th.fields[1].AlwaysPlain());
  ASSERT_EQ(th.indexCount, 1);
  EXPECT_EQ(th.indexes[0].name.Text(), "byname");
  EXPECT_EQ(th.indexes[0].options, tiUnique | tiCaseInsensitive);
  EXPECT_TRUE(HasOptions(th.indexes[0].options, tiCaseInsensitive));
  EXPECT_FALSE(HasOptions(th.indexes[0].options, tiPrimary));
  EXPECT_EQ(th.indexes[0].KeyFields(), (std::vector<int32_t>{0, 1}));

  TRecordLayout layout = ComputeRecordLayout(th, kFile);
  EXPECT_EQ(layout.fieldOffsets, (std::vector<int32_t>{0, 31, 35}));
  EXPECT_EQ(layout.recordSize, 55);
}

TEST(FormatStructures, EncodeGivesBackEveryDecodedByteIncludingUninterpretedOnes) {
  std::mt19937 random(20261208);
  auto noise = [&](size_t n) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(random());
    return v;
  };
  auto roundTrip = [&](size_t size, auto decode, auto encode) {
    std::vector<uint8_t> in = noise(size), out(size, 0xEE);
    encode(decode(in.data()), out.data());
    EXPECT_EQ(in, out) << "structure of " << size << " bytes";
  };
  roundTrip(12, TFileHeader::Decode, [](const TFileHeader& x, uint8_t* p) { x.EncodeTo(p); });
  roundTrip(472, TDataProcessBlock::Decode, [](const TDataProcessBlock& x, uint8_t* p) { x.EncodeTo(p); });
  roundTrip(1032, TTableDirectory::Decode, [](const TTableDirectory& x, uint8_t* p) { x.EncodeTo(p); });
  roundTrip(4821, TTableHeader::Decode, [](const TTableHeader& x, uint8_t* p) { x.EncodeTo(p); });
  roundTrip(43, TFieldSlot::Decode, [](const TFieldSlot& x, uint8_t* p) { x.EncodeTo(p); });
  roundTrip(78, TIndexSlot::Decode, [](const TIndexSlot& x, uint8_t* p) { x.EncodeTo(p); });
  roundTrip(5124, TRecordTabBlock::Decode, [](const TRecordTabBlock& x, uint8_t* p) { x.EncodeTo(p); });
  roundTrip(8196, TIndexTabBlock::Decode, [](const TIndexTabBlock& x, uint8_t* p) { x.EncodeTo(p); });
  roundTrip(5, TRecordTabItem::Decode, [](const TRecordTabItem& x, uint8_t* p) { x.EncodeTo(p); });
  roundTrip(8, TIndexTabItem::Decode, [](const TIndexTabItem& x, uint8_t* p) { x.EncodeTo(p); });
  roundTrip(20, TBlobDescriptor::Decode, [](const TBlobDescriptor& x, uint8_t* p) { x.EncodeTo(p); });
}

TEST(NameArray, ThirtyThreeCharactersAreReadWholeAndLongerNamesRefused) {
  const std::string name33(33, 'n');
  Image image;
  size_t t = image.AddTable(name33);
  image.bytes[t + 33] = 0x55;  // the record tab offset starts right after the name
  TTableHeader th = TTableHeader::Decode(image.bytes.data() + t);
  EXPECT_EQ(th.tableName.Text(), name33);

  TNameArray n;
  n.SetText(name33);
  EXPECT_EQ(n.Text(), name33);
  n.SetText("short");
  EXPECT_EQ(n.Text(), "short");
  EXPECT_EQ(n.bytes[5], 0);
  EXPECT_EQ(n.bytes[32], 0);  // the rest is cleared
  EXPECT_THROW(n.SetText(std::string(34, 'x')), EDatabaseError);
  EXPECT_THROW(n.SetText(std::string("a\0b", 3)), EDatabaseError);
}

TEST(RecordLayout, StoredSizesFollowTheTypeTableAndUnknownCodesAreGeneralError) {
  struct Row {
    int type;
    int32_t declared;
    int32_t stored;
  } rows[] = {{ftString, 10, 11}, {ftSmallint, 0, 2},  {ftInteger, 0, 4},    {ftWord, 0, 2},     {ftBoolean, 0, 2},
              {ftFloat, 0, 8},     {ftCurrency, 0, 8},  {ftDate, 0, 4},       {ftTime, 0, 4},     {ftDateTime, 0, 8},
              {ftAutoInc, 0, 4},   {ftBlob, 0, 20},     {ftMemo, 0, 20},      {ftGraphic, 0, 20}, {ftFmtMemo, 0, 20},
              {ftParadoxOle, 0, 20}, {ftDBaseOle, 0, 20}, {ftTypedBinary, 0, 20}, {ftFixedChar, 0, 1},
              {ftLargeint, 0, 8},  {ftOraBlob, 0, 20},  {ftOraClob, 0, 20},   {ftInteger, 99, 4}};
  for (const Row& r : rows) EXPECT_EQ(FieldStoredSize(r.type, r.declared), r.stored) << "type " << r.type;
  for (int unknown : {0, 8, 12, 13, 22, 24, 26, 29, 32, 35, 200}) {
    EXPECT_EQ(FieldStoredSize(unknown, 4), -1) << unknown;
    TFieldSlot slots[2];
    slots[0].fieldType = ftInteger;
    slots[1].fieldType = static_cast<uint8_t>(unknown);
    EXPECT_EQ(ErrorOf([&] { ComputeRecordLayout(slots, 2, kFile); }), "General error") << unknown;
  }
  EXPECT_EQ(BlobAreaSize(0), 64);
  EXPECT_EQ(BlobAreaSize(63), 64);
  EXPECT_EQ(BlobAreaSize(64), 128);
  EXPECT_EQ(BlobAreaSize(100), 128);
}

TEST(DamagedFile, CountsBeyondTheFixedArraysAreRefusedNamingTheFile) {
  {
    Image image;
    image.AddTable("t");
    image.Put32(2789, 257);
    ExpectDamaged(OpenError(image), "table count 257 is outside 0 to 256");
    image.Put32(2789, -1);
    ExpectDamaged(OpenError(image), "table count -1");
  }
  {
    Image image;
    size_t t = image.AddTable("t");
    image.Put32(t + 45, 97);
    ExpectDamaged(OpenError(image), "field count 97 is outside 0 to 96");
    image.Put32(t + 45, 96);  // the limit itself is fine (unused slots are zero, type 0)
    EXPECT_EQ(OpenError(image), "");
    image.Put32(t + 4177, 9);
    ExpectDamaged(OpenError(image), "index count 9 is outside 0 to 8");
    image.Put32(t + 4177, 8);
    EXPECT_EQ(OpenError(image), "");
  }
  {
    Image image;
    size_t t = image.AddTable("t");
    image.AddField(t, "a", ftInteger, 0);
    image.AddIndex(t, "ix", 0, {0, 1});  // field 1 does not exist
    ExpectDamaged(OpenError(image), "names field number 1");
  }
  {
    Image image;
    size_t t = image.AddTable("t");
    image.AddField(t, "s", ftString, -5);
    ExpectDamaged(OpenError(image), "negative size -5");
  }
  {
    Image image;
    size_t t = image.AddTable("t");
    image.Put32(t + 37, -3);
    ExpectDamaged(OpenError(image), "record total -3 is negative");
  }
  {
    // Records larger than the whole file: refused before any buffer for
    // them is set aside. With no records the same field is only declared.
    Image image;
    size_t t = image.AddTable("t");
    image.AddField(t, "s", ftString, 1'000'000'000);
    EXPECT_EQ(OpenError(image), "");
    image.Put32(t + 37, 1);
    ExpectDamaged(OpenError(image), "records of 1000000001 bytes do not fit");
  }
}

TEST(DamagedFile, OffsetsOutsideTheFileAreRefused) {
  {
    Image image;
    image.AddTable("t");
    image.Put32(2797, 3822);  // header would end one byte past the end
    ExpectDamaged(OpenError(image), "outside the file");
    image.Put32(2797, 100);  // inside the fixed part
    ExpectDamaged(OpenError(image), "outside the file");
    image.Put32(2797, -4);
    ExpectDamaged(OpenError(image), "outside the file");
  }
  {
    Image image;
    image.AddTable("a");
    image.AddTable("b");
    image.Put32(2801, 3821);
    ExpectDamaged(OpenError(image), "tables 0 and 1 share one header");
  }
  {
    Image image;
    size_t t = image.AddTable("t");
    image.Put32(t + 37, 1);  // one record, but the record tab offset is 0
    ExpectDamaged(OpenError(image), "record tab of table 't'");
    image.Put32(t + 33, 1 << 30);
    ExpectDamaged(OpenError(image), "outside the file");
  }
  {
    Image image;
    image.Put8(2317 + 35, 1);
    image.Put8(2317 + 36, 5);
    ExpectDamaged(OpenError(image), "cipher mode 5");
    image.Put8(2317 + 35, 0);  // mode is not read without encryption
    EXPECT_EQ(OpenError(image), "");
  }
  {
    Image image;
    image.bytes.resize(3000);  // ends inside the table directory
    ExpectDamaged(OpenError(image), "table directory");
  }
  {
    TBlobDescriptor blob{4000, 65, 64, 0, 0};
    ExpectDamaged(KindAndErrorOf([&] { blob.Check(kFile, 10000); }), "65 bytes does not fit its area of 64");
    blob = {9990, 20, 64, 0, 0};
    ExpectDamaged(KindAndErrorOf([&] { blob.Check(kFile, 10000); }), "outside the file");
    blob = {4000, 20, 64, 0, 0};
    EXPECT_EQ(ErrorOf([&] { blob.Check(kFile, 10000); }), "");
  }
}

namespace {

// A table of 4-byte records: `total` records, record tab blocks chained at
// the end of the image, each record's data block after the tab blocks.
struct TabFixture {
  Image image;
  std::vector<size_t> blocks;
  size_t indexBlock = 0;

  explicit TabFixture(int32_t total, const std::vector<int32_t>& deleted = {}) {
    size_t t = image.AddTable("t");
    image.AddField(t, "v", ftInteger, 0);
    image.Put32(t + 37, total);
    int32_t blockCount = (total + 1023) / 1024;
    for (int32_t b = 0; b < blockCount; ++b) {
      blocks.push_back(image.bytes.size());
      image.Grow(image.bytes.size() + 5124);
      if (b > 0) image.Put32(blocks[static_cast<size_t>(b - 1)], static_cast<int32_t>(blocks.back()));
    }
    image.Put32(t + 33, static_cast<int32_t>(blocks.empty() ? 0 : blocks[0]));
    for (int32_t n = 0; n < total; ++n) {
      size_t item = blocks[static_cast<size_t>(n / 1024)] + 4 + 5 * static_cast<size_t>(n % 1024);
      image.Put32(item, static_cast<int32_t>(image.bytes.size()));
      image.Put32(image.bytes.size(), n);  // the record data block
      if (std::find(deleted.begin(), deleted.end(), n) != deleted.end()) image.Put8(item + 4, 1);
    }
  }
  // An index tab of one block whose next numbers are `next`.
  void AddIndexTab(const std::vector<int32_t>& next) {
    indexBlock = image.bytes.size();
    image.Grow(indexBlock + 8196);
    for (size_t n = 0; n < next.size(); ++n) {
      image.Put32(indexBlock + 4 + 8 * n, static_cast<int32_t>(n));
      image.Put32(indexBlock + 8 + 8 * n, next[n]);
    }
  }
  TRecordTab ReadTab(TMemoryStream& s) { return ReadRecordTab(s, static_cast<int32_t>(blocks[0]), Total(), 4, kFile); }
  int32_t Total() const { return image.Get32(3821 + 37); }
};

}  // namespace

TEST(RecordTab, ReadsItemsAcrossChainedBlocks) {
  TabFixture f(1025, {3, 1024});
  TMemoryStream s = f.image.Stream();
  TRecordTab tab = f.ReadTab(s);
  ASSERT_EQ(tab.items.size(), 1025u);
  EXPECT_EQ(tab.blockPositions, (std::vector<int32_t>{static_cast<int32_t>(f.blocks[0]), static_cast<int32_t>(f.blocks[1])}));
  EXPECT_TRUE(tab.items[3].Deleted());
  EXPECT_TRUE(tab.items[1024].Deleted());
  EXPECT_FALSE(tab.items[1023].Deleted());
  // Each live item leads to the record holding its own number.
  for (int32_t n : {0, 1, 1023}) EXPECT_EQ(f.image.Get32(static_cast<size_t>(tab.items[static_cast<size_t>(n)].recordDataOffset)), n);
  EXPECT_EQ(RecordTabItemPosition(tab.blockPositions, 1024), static_cast<int64_t>(f.blocks[1]) + 4);
  EXPECT_EQ(RecordTabItemPosition(tab.blockPositions, 1023), static_cast<int64_t>(f.blocks[0]) + 4 + 1023 * 5);
  EXPECT_TRUE(ReadRecordTab(s, 0, 0, 4, kFile).items.empty());
}

TEST(RecordTab, DamagedChainsAreRefused) {
  {
    TabFixture f(1025);
    f.image.Put32(f.blocks[0], static_cast<int32_t>(f.blocks[0]));  // the chain loops to itself
    TMemoryStream s = f.image.Stream();
    ExpectDamaged(KindAndErrorOf([&] { f.ReadTab(s); }), "blocks of the record tab overlap");
  }
  {
    // Distinct blocks that share bytes: each read is inside the file, but
    // the chain holds more items than the file has room for.
    TabFixture f(1025);
    f.image.Put32(f.blocks[0], static_cast<int32_t>(f.blocks[0]) + 100);
    TMemoryStream s = f.image.Stream();
    ExpectDamaged(KindAndErrorOf([&] { f.ReadTab(s); }), "blocks of the record tab overlap");
  }
  {
    // A total near the largest int32: refused before any block is read.
    TabFixture f(3);
    f.image.Put32(3821 + 37, INT32_MAX - 5);
    TMemoryStream s = f.image.Stream();
    ExpectDamaged(KindAndErrorOf([&] { f.ReadTab(s); }), "needs more blocks than the file can hold");
  }
  {
    TabFixture f(1025);
    f.image.Put32(f.blocks[0], 1 << 30);
    TMemoryStream s = f.image.Stream();
    ExpectDamaged(KindAndErrorOf([&] { f.ReadTab(s); }), "block 1 of the record tab");
  }
  {
    TabFixture f(3);
    f.image.Put32(f.blocks[0] + 4 + 5, 1 << 30);  // record 1's data offset
    TMemoryStream s = f.image.Stream();
    ExpectDamaged(KindAndErrorOf([&] { f.ReadTab(s); }), "record 1 at offset");
    f.image.Put8(f.blocks[0] + 4 + 5 + 4, 1);  // deleted records are never read
    TMemoryStream s2 = f.image.Stream();
    EXPECT_EQ(ErrorOf([&] { f.ReadTab(s2); }), "");
  }
}

TEST(IndexTab, WalkFollowsKeyOrderAndSkipsDeletedRecords) {
  TabFixture f(5, {2});
  f.AddIndexTab({-1, 3, 0, 2, 1});  // order from head 4: 4 1 3 2 0
  TMemoryStream s = f.image.Stream();
  TRecordTab tab = f.ReadTab(s);
  TIndexTab index = ReadIndexTab(s, static_cast<int32_t>(f.indexBlock), 5, kFile);
  ASSERT_EQ(index.items.size(), 5u);
  EXPECT_EQ(index.items[3].recordNumber, 3);
  EXPECT_EQ(WalkKeyOrder(index, 4, tab, kFile), (std::vector<int32_t>{4, 1, 3, 0}));
  EXPECT_EQ(WalkKeyOrder(index, 3, tab, kFile), (std::vector<int32_t>{3, 0}));
  EXPECT_TRUE(ReadIndexTab(s, 0, 5, kFile).items.empty());
  EXPECT_TRUE(WalkKeyOrder(TIndexTab{}, 0, tab, kFile).empty());
}

TEST(IndexTab, LoopsAndNumbersOutsideTheTableAreRefused) {
  TabFixture f(3);
  f.AddIndexTab({1, 0, -1});  // 0 -> 1 -> 0 ...
  TMemoryStream s = f.image.Stream();
  TRecordTab tab = f.ReadTab(s);
  TIndexTab index = ReadIndexTab(s, static_cast<int32_t>(f.indexBlock), 3, kFile);
  ExpectDamaged(KindAndErrorOf([&] { WalkKeyOrder(index, 0, tab, kFile); }), "record 0 appears twice");
  index.items[1].nextRecord = 3;
  ExpectDamaged(KindAndErrorOf([&] { WalkKeyOrder(index, 0, tab, kFile); }), "record number 3, outside 0 to 2");
  ExpectDamaged(KindAndErrorOf([&] { WalkKeyOrder(index, -2, tab, kFile); }), "record number -2");
}
