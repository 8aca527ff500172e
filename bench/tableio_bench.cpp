// Speed of the table I/O layer on disk files: opening a table of 200,000
// records with two indexes (reading the record tab and walking both index
// chains), and appending 100,000 records under a three-field index (each
// insert position found by a binary search whose comparisons read the
// compared fields from the file). Both plain and encrypted (Blowfish, CBC).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/streams.h"
#include "tomedb/fileio.h"
#include "tomedb/tableio.h"

namespace {

constexpr int kOpenRecords = 200000;
constexpr int kAppendRecords = 100000;
const char* const kPassword = "bench";

struct TFieldShape {
  const char* name;
  TFieldType type;
  int32_t size;
};

// Writes an empty database file with one table laid out from the format's
// structures: fields, and indexes given as lists of field numbers.
void CreateDatabase(const std::string& path, bool encrypted, const std::vector<TFieldShape>& fields,
                    const std::vector<std::vector<int32_t>>& indexes) {
  std::vector<uint8_t> image(kFirstStructureOffset + kTableHeaderSize, 0);
  TFileHeader::Current().EncodeTo(image.data());
  TDataProcessBlock dp;
  if (encrypted) {
    dp.encryptFlag = 1;
    dp.cipherMode = 1;
    dp.encryptAlgoName.SetText("Blowfish");
    dp.checkValue.SetText(PasswordCheckValue(kPassword));
  }
  dp.EncodeTo(image.data() + kDataProcessOffset);
  TTableDirectory directory;
  directory.tableCount = 1;
  directory.tableOffsets[0] = kFirstStructureOffset;
  directory.EncodeTo(image.data() + kTableDirectoryOffset);
  TTableHeader header;
  header.tableName.SetText("t");
  header.fieldCount = static_cast<int32_t>(fields.size());
  for (size_t k = 0; k < fields.size(); ++k) {
    header.fields[k].name.SetText(fields[k].name);
    header.fields[k].fieldType = fields[k].type;
    header.fields[k].declaredSize = fields[k].size;
  }
  header.indexCount = static_cast<int32_t>(indexes.size());
  for (size_t j = 0; j < indexes.size(); ++j) {
    header.indexes[j].name.SetText("index" + std::to_string(j));
    header.indexes[j].SetKeyFields(indexes[j]);
  }
  header.EncodeTo(image.data() + kFirstStructureOffset);
  TFileStream file(path, fmCreate);
  file.WriteBuffer(image.data(), static_cast<int64_t>(image.size()));
}

std::string BenchPath(const std::string& stem) {
  return "/tmp/numerion-bench-" + stem + "-" + std::to_string(::getpid()) + ".dat";
}

struct TSession {
  TSession(const std::string& path, bool encrypted) : io(nullptr) {
    io.Open(path, mtDisk, false, false);
    if (encrypted && !io.SetPassword(kPassword)) std::abort();
    table = std::make_unique<TTomeTableIO>(&io);
    table->SetTableName("t");
    table->Open();
  }
  TTomeDBFileIO io;
  std::unique_ptr<TTomeTableIO> table;
};

// Appends `count` records (an integer, a string and a date-like integer from
// a fixed random sequence) to the table of `session`.
void AppendRecords(TTomeTableIO& table, int count, uint32_t seed) {
  std::mt19937 random(seed);
  TFieldBuffers buffers;
  int32_t a = 0, c = 0;
  char text[21] = {};
  buffers.Add(&a, ftInteger, 4);
  buffers.Add(text, ftString, 21);
  buffers.Add(&c, ftInteger, 4);
  for (int i = 0; i < count; ++i) {
    a = static_cast<int32_t>(random() % 50);
    std::snprintf(text, sizeof text, "name%08u", static_cast<unsigned>(random() % 1000000));
    c = static_cast<int32_t>(random());
    table.AppendRecord(buffers);
  }
}

// The 200,000-record files, made once per process for each setting.
const std::string& OpenBenchFile(bool encrypted) {
  static std::map<bool, std::string> made;
  auto it = made.find(encrypted);
  if (it != made.end()) return it->second;
  const std::string path = BenchPath(encrypted ? "open-enc" : "open");
  CreateDatabase(path, encrypted, {{"a", ftInteger, 0}, {"b", ftString, 20}, {"c", ftInteger, 0}}, {{0}, {1}});
  {
    TSession session(path, encrypted);
    AppendRecords(*session.table, kOpenRecords, 1);
  }
  return made.emplace(encrypted, path).first->second;
}

void BM_OpenTable200k(benchmark::State& state) {
  const bool encrypted = state.range(0) != 0;
  const std::string& path = OpenBenchFile(encrypted);
  for (auto _ : state) {
    TSession session(path, encrypted);
    if (session.table->RecordListOf(2).size() != static_cast<size_t>(kOpenRecords)) state.SkipWithError("lost records");
    benchmark::DoNotOptimize(session.table->RecordListOf(1).data());
  }
  state.SetLabel(encrypted ? "Blowfish CBC" : "plain");
}
BENCHMARK(BM_OpenTable200k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_Append100kThreeFieldIndex(benchmark::State& state) {
  const bool encrypted = state.range(0) != 0;
  const std::string path = BenchPath(encrypted ? "append-enc" : "append");
  for (auto _ : state) {
    state.PauseTiming();
    CreateDatabase(path, encrypted, {{"a", ftInteger, 0}, {"b", ftString, 20}, {"c", ftInteger, 0}}, {{0, 1, 2}});
    state.ResumeTiming();
    TSession session(path, encrypted);
    AppendRecords(*session.table, kAppendRecords, 2);
    session.io.Flush();
  }
  ::unlink(path.c_str());
  state.SetItemsProcessed(state.iterations() * kAppendRecords);
  state.SetLabel(encrypted ? "Blowfish CBC" : "plain");
}
BENCHMARK(BM_Append100kThreeFieldIndex)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// Removes the 200,000-record files when the program ends.
struct TCleanup {
  ~TCleanup() {
    ::unlink(BenchPath("open").c_str());
    ::unlink(BenchPath("open-enc").c_str());
  }
} cleanup;

}  // namespace

BENCHMARK_MAIN();
