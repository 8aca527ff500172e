// Speed of the filter language on the catalogue's wheel survey query: one
// parse per pass, then one evaluation per record, each record loaded into the
// same filter buffer as a table dataset does.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/collation.h"
#include "tests/tomedb/filter_test_dataset.h"
#include "tomedb/filter/exprparser.h"

namespace {

constexpr int kRecords = 1000000;
const char* const kSurvey = "pick= 6 and  wheeltype='a' and  zoption= 10";

struct Table {
  TestFilterDataSet data;
  std::vector<std::vector<char>> records;
  int32_t recordSize = 0;

  Table() {
    data.Add("pick", ftInteger).Add("wheeltype", ftString, 1).Add("xyoption", ftString, 10).Add("zoption", ftInteger);
    recordSize = data.FilterFieldOffset(3) + 4;
    std::mt19937 random(42);
    records.reserve(kRecords);
    for (int i = 0; i < kRecords; ++i) {
      data.Set<int32_t>("pick", 3 + int(random() % 5));
      data.SetText("wheeltype", random() % 2 ? "a" : "k");
      data.SetText("xyoption", "3if4");
      data.Set<int32_t>("zoption", 7 + int(random() % 30));
      const char* buffer = data.FilterRecordBuffer();
      records.emplace_back(buffer, buffer + recordSize);
    }
  }
  void Load(const std::vector<char>& record) {
    std::memcpy(const_cast<char*>(data.FilterRecordBuffer()), record.data(), record.size());
  }
};

Table& SharedTable() {
  static Table table;
  return table;
}

// One filter pass over a million records: parse, then test every record.
// Argument 0 runs the survey query as the program writes it; argument 1 puts
// the text comparison first, so the collator runs for every record.
void BM_SurveyFilterPass(benchmark::State& state) {
  Table& table = SharedTable();
  TFilterParser parser(&table.data);
  const char* text = state.range(0) == 0 ? kSurvey : "wheeltype='a' and  pick= 6 and  zoption= 10";
  int64_t matches = 0;
  for (auto _ : state) {
    parser.Parse(text);
    for (const auto& record : table.records) {
      table.Load(record);
      matches += parser.Calculate(0);
    }
  }
  benchmark::DoNotOptimize(matches);
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.counters["matches/pass"] = double(matches) / double(state.iterations());
}
BENCHMARK(BM_SurveyFilterPass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Parse and one evaluation, as a find on a fresh filter text costs.
void BM_SurveyParseAndEvaluate(benchmark::State& state) {
  Table& table = SharedTable();
  TFilterParser parser(&table.data);
  table.Load(table.records[0]);
  for (auto _ : state) {
    parser.Parse(kSurvey);
    benchmark::DoNotOptimize(parser.Calculate(0));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SurveyParseAndEvaluate);

}  // namespace

int main(int argc, char** argv) {
  SetCollationLocale(std::string());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
