// The wizard's queries on the shipped catalogue, timed in one process, best
// of several runs each: opening the database with its four tables, the two
// survey queries of page 3, the ticket query of the first and of the last
// wheel in "pickindex" order (First + SetFilter + FindFirst/FindNext, reading
// every pattern found), and a dump of the whole wheels table (First/Next,
// every field as text). The same ticket query then runs through SQLite on
// the same rows in memory, without and with an index. A second part builds
// synthetic wheels tables of growing size and times the ticket query of one
// 500-row wheel with range finds on and off, with the records each one read.
//
//   wizard_bench [DATA.DAT] [--runs N] [--rows N]
//
// DATA.DAT defaults to the catalogue the build made; --rows sets the largest
// synthetic table (1,000,000; 0 skips that part).
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "tomedb/TomeDB.h"
#include "tomedb/tableio.h"
#include "tools/tomedb-create/createdb.h"

#ifndef NUMERION_CATALOGUE_FILE
#define NUMERION_CATALOGUE_FILE "data.dat"
#endif

namespace {

const char* const kPassword = "qivort";
int gRuns = 5;

// The best wall time of `runs` calls, in milliseconds.
double BestOf(const std::function<void()>& body, int runs = gRuns) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    body();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

struct TWheelKey {
  int pick = 0;
  std::string wheeltype, xyoption;
  int zoption = 0;
};

std::string Quoted(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out;
}

std::string TicketFilter(const TWheelKey& key) {
  return "pick=" + std::to_string(key.pick) + " and  wheeltype='" + Quoted(key.wheeltype) + "' and  xyoption='" +
         Quoted(key.xyoption) + "' and zoption=" + std::to_string(key.zoption);
}

TWheelKey KeyOfCurrent(TTomeTable& wheels) {
  return {wheels.FieldByName("pick").AsInteger(), wheels.FieldByName("wheeltype").AsString(),
          wheels.FieldByName("xyoption").AsString(), wheels.FieldByName("zoption").AsInteger()};
}

// The ticket query as the wizard runs it; the number of patterns read.
int TicketQuery(TTomeTable& wheels, const TWheelKey& key) {
  wheels.First();
  wheels.SetFilter(TicketFilter(key));
  int rows = 0;
  for (bool found = wheels.FindFirst(); found; found = wheels.FindNext())
    rows += wheels.FieldByName("digitalstring").AsString().empty() ? 0 : 1;
  return rows;
}

int SurveyQuery(TTomeTable& survey, int pick, const std::string& wheeltype, int zoption) {
  survey.First();
  survey.SetFilter("pick= " + std::to_string(pick) + " and  wheeltype='" + wheeltype +
                   "' and  zoption= " + std::to_string(zoption));
  int rows = 0;
  for (bool found = survey.FindFirst(); found; found = survey.FindNext()) {
    rows += survey.FieldByName("xyoption").AsString().empty() ? 0 : 1;
    (void)survey.FieldByName("ticket").AsInteger();
  }
  return rows;
}

struct TCatalogue {
  TTomeTable country, lottery, wheels, survey;
  explicit TCatalogue(const std::string& path) {
    struct {
      TTomeTable* table;
      const char* name;
      const char* index;
    } bindings[] = {{&country, "country", "countryindex"},
                    {&lottery, "lottery", "loterynameindex"},
                    {&wheels, "wheels", "pickindex"},
                    {&survey, "wheelssurvey", ""}};
    for (auto& b : bindings) {
      b.table->SetDatabaseName(path);
      b.table->SetPassword(kPassword);
      b.table->SetTableName(b.name);
      b.table->SetIndexName(b.index);
      b.table->Open();
    }
  }
};

// ------------------------------------------------------------------ SQLite

struct TSqlite {
  sqlite3* db = nullptr;
  TSqlite() {
    if (sqlite3_open(":memory:", &db) != SQLITE_OK) std::abort();
    Exec("create table wheels(pick integer, wheeltype text, xyoption text, zoption integer, digitalstring text)");
  }
  ~TSqlite() { sqlite3_close(db); }
  void Exec(const char* sql) const {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
      std::fprintf(stderr, "sqlite: %s\n", message ? message : "?");
      std::abort();
    }
  }
  int Ticket(const TWheelKey& key) const {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db,
                       "select digitalstring from wheels where pick=? and wheeltype=? and xyoption=? and zoption=?",
                       -1, &statement, nullptr);
    sqlite3_bind_int(statement, 1, key.pick);
    sqlite3_bind_text(statement, 2, key.wheeltype.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(statement, 3, key.xyoption.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(statement, 4, key.zoption);
    int rows = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) rows += sqlite3_column_text(statement, 0) ? 1 : 0;
    sqlite3_finalize(statement);
    return rows;
  }
};

// ------------------------------------------------------- synthetic tables

// Row i of a synthetic wheels table: wheels of 500 rows each, in key order.
TWheelKey SyntheticKey(int64_t i) {
  const int64_t wheel = i / 500;
  return {static_cast<int>(3 + wheel % 7), wheel % 2 ? "k" : "a",
          std::to_string(2 + wheel % 5) + "if" + std::to_string(3 + wheel % 5), static_cast<int>(wheel / 70)};
}

// A disk file with a wheels table of `rows` records (unencrypted). Building
// a million rows takes a minute or more, so the file is kept in /tmp and
// reused by later runs.
void BuildSynthetic(const std::string& path, int64_t rows) {
  if (std::filesystem::exists(path)) return;
  TDatabaseSchema schema;
  TSchemaTable wheels;
  wheels.name = "wheels";
  wheels.fields = {{"pick", ftInteger, 0, 0}, {"wheeltype", ftString, 1, 0}, {"xyoption", ftString, 10, 0},
                   {"zoption", ftInteger, 0, 0}, {"digitalstring", ftString, 26, 0}};
  wheels.indexes = {{"pickindex", tiNone, {"pick", "wheeltype", "xyoption", "zoption", "digitalstring"}}};
  schema.tables = {wheels};
  const std::string partial = path + ".part";
  CreateDatabaseFile(schema, partial, true);
  {
    TTomeDBFileIO io(nullptr);
    io.Open(partial, mtDisk, false, true);
    TTomeTableIO table(&io);
    table.SetTableName("wheels");
    table.Open();
    TFieldBuffers buffers;
    auto* pick = buffers.AddOwned(ftInteger, 4);
    auto* type = buffers.AddOwned(ftString, 2);
    auto* formula = buffers.AddOwned(ftString, 11);
    auto* zoption = buffers.AddOwned(ftInteger, 4);
    auto* pattern = buffers.AddOwned(ftString, 27);
    // Keys sort as the rows come: sort the rows by key first.
    std::vector<std::pair<TWheelKey, int64_t>> keys;
    for (int64_t i = 0; i < rows; ++i) keys.emplace_back(SyntheticKey(i), i);
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
      return std::tie(a.first.pick, a.first.wheeltype, a.first.xyoption, a.first.zoption) <
             std::tie(b.first.pick, b.first.wheeltype, b.first.xyoption, b.first.zoption);
    });
    for (const auto& [key, i] : keys) {
      std::memcpy(pick->Buffer, &key.pick, 4);
      std::memset(type->Buffer, 0, 2);
      std::memcpy(type->Buffer, key.wheeltype.data(), key.wheeltype.size());
      std::memset(formula->Buffer, 0, 11);
      std::memcpy(formula->Buffer, key.xyoption.data(), key.xyoption.size());
      std::memcpy(zoption->Buffer, &key.zoption, 4);
      char text[27] = {};
      std::snprintf(text, sizeof text, "%02d-%02d-%02d-%08lld", 1 + static_cast<int>(i % 7), 2 + static_cast<int>(i % 11),
                    3 + static_cast<int>(i % 13), static_cast<long long>(i));
      std::memcpy(pattern->Buffer, text, 27);
      table.AppendRecord(buffers);
    }
    table.Close();
    io.Flush();
    io.Close();
  }
  std::filesystem::rename(partial, path);
}

void SyntheticRun(int64_t rows) {
  const std::string path = "/tmp/numerion-wizard-bench-" + std::to_string(rows) + ".dat";
  BuildSynthetic(path, rows);
  {
    TTomeTable wheels;
    wheels.SetDatabaseName(path);
    wheels.SetTableName("wheels");
    wheels.SetIndexName("pickindex");
    const double openMs = BestOf([&] {
      if (wheels.Active()) wheels.Close();
      wheels.Open();
    }, 1);
    const TWheelKey key = SyntheticKey(rows - 1);
    int matches = 0;
    const int64_t reads0 = wheels.TableIO()->RecordReadCount(), fields0 = wheels.TableIO()->FieldReadCount();
    const double rangeMs = BestOf([&] { matches = TicketQuery(wheels, key); });
    const int64_t reads1 = wheels.TableIO()->RecordReadCount(), fields1 = wheels.TableIO()->FieldReadCount();
    wheels.SetRangeFinds(false);
    int scanMatches = 0;
    const double scanMs = BestOf([&] { scanMatches = TicketQuery(wheels, key); }, std::min(gRuns, 2));
    const int64_t reads2 = wheels.TableIO()->RecordReadCount();
    const int runsOn = gRuns, runsOff = std::min(gRuns, 2);
    std::printf("%9lld rows (opened in %7.1f ms): %d matches; range find %8.3f ms "
                "(%lld record reads, %lld key field reads per query);\n%52s full scan %8.1f ms (%lld record reads)%s\n",
                static_cast<long long>(rows), openMs, matches, rangeMs,
                static_cast<long long>((reads1 - reads0) / runsOn), static_cast<long long>((fields1 - fields0) / runsOn),
                "", scanMs, static_cast<long long>((reads2 - reads1) / runsOff),
                scanMatches == matches ? "" : "  MISMATCH");
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = NUMERION_CATALOGUE_FILE;
  int64_t maxRows = 1000000;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) gRuns = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--rows" && i + 1 < argc) maxRows = std::atoll(argv[++i]);
    else path = arg;
  }
  if (!std::filesystem::exists(path)) {
    std::fprintf(stderr, "wizard_bench: no catalogue at %s\n", path.c_str());
    return 1;
  }
  try {
    std::printf("catalogue %s, best of %d\n", path.c_str(), gRuns);
    const double openMs = BestOf([&] { TCatalogue catalogue(path); });
    TCatalogue catalogue(path);
    TTomeTable& wheels = catalogue.wheels;
    wheels.First();
    const TWheelKey first = KeyOfCurrent(wheels);
    wheels.Last();
    const TWheelKey last = KeyOfCurrent(wheels);

    int surveyRows = 0;
    const double surveyMs = BestOf([&] {
      surveyRows = SurveyQuery(catalogue.survey, last.pick, "a", last.zoption) +
                   SurveyQuery(catalogue.survey, last.pick, "k", last.zoption);
    });
    int firstRows = 0, lastRows = 0;
    const double firstMs = BestOf([&] { firstRows = TicketQuery(wheels, first); });
    const double lastMs = BestOf([&] { lastRows = TicketQuery(wheels, last); });
    int dumped = 0;
    TSqlite sqlite;
    sqlite.Exec("begin");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(sqlite.db, "insert into wheels values(?,?,?,?,?)", -1, &insert, nullptr);
    const double dumpMs = BestOf([&] {
      wheels.SetFilter("");
      dumped = 0;
      std::string line;
      for (wheels.First(); !wheels.Eof(); wheels.Next()) {
        line.clear();
        for (int k = 0; k < wheels.FieldCount(); ++k) line += wheels.Fields()[k].AsString() + ",";
        ++dumped;
      }
    });
    for (wheels.First(); !wheels.Eof(); wheels.Next()) {
      sqlite3_reset(insert);
      sqlite3_bind_int(insert, 1, wheels.FieldByName("pick").AsInteger());
      sqlite3_bind_text(insert, 2, wheels.FieldByName("wheeltype").AsString().c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 3, wheels.FieldByName("xyoption").AsString().c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(insert, 4, wheels.FieldByName("zoption").AsInteger());
      sqlite3_bind_text(insert, 5, wheels.FieldByName("digitalstring").AsString().c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(insert);
    }
    sqlite3_finalize(insert);
    sqlite.Exec("commit");
    int sqlRows = 0;
    const double sqlScanMs = BestOf([&] { sqlRows = sqlite.Ticket(last); });
    sqlite.Exec("create index pickindex on wheels(pick, wheeltype, xyoption, zoption, digitalstring)");
    const double sqlIndexMs = BestOf([&] { sqlRows = sqlite.Ticket(last); });

    std::printf("open with four tables              %9.3f ms\n", openMs);
    std::printf("survey query (page 3, both types)  %9.3f ms  %d rows\n", surveyMs, surveyRows);
    std::printf("ticket query, first wheel          %9.3f ms  %d rows (%s)\n", firstMs, firstRows,
                TicketFilter(first).c_str());
    std::printf("ticket query, last wheel           %9.3f ms  %d rows (%s)\n", lastMs, lastRows,
                TicketFilter(last).c_str());
    std::printf("full dump of wheels                %9.3f ms  %d rows\n", dumpMs, dumped);
    std::printf("SQLite, last wheel, no index       %9.3f ms  %d rows\n", sqlScanMs, sqlRows);
    std::printf("SQLite, last wheel, with an index  %9.3f ms\n", sqlIndexMs);
    std::printf("last-wheel ticket query / SQLite without index: %.3f; / SQLite with index: %.2f\n",
                lastMs / sqlScanMs, lastMs / sqlIndexMs);
    if (maxRows > 0) {
      std::printf("\nsynthetic wheels tables, ticket query of the last 500-row wheel:\n");
      for (int64_t rows = 10000; rows < maxRows; rows *= 10) SyntheticRun(rows);
      SyntheticRun(maxRows);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "wizard_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
