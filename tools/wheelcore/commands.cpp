#include "wheelcore/commands.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "wheelcore/group.h"
#include "wheelcore/bestknown.h"
#include "wheelcore/search.h"
#include "wheelcore/store.h"
#include "wheelcore/wheel.h"
#include "wheelcore/wheelfile.h"

namespace fs = std::filesystem;

namespace {

constexpr int kExitHolds = 0;
constexpr int kExitFails = 1;
constexpr int kExitUsage = 2;

// Where a command prints: its results, and progress and errors.
struct Console {
  std::ostream& out;
  std::ostream& err;
};

const char* const kUsage = R"(usage: wheelgen <command> [options]

Wheels spread v chosen numbers (positions 1..v) over tickets of --pick numbers.
Formula "t if m" (written TifM, e.g. 4if5): whenever m drawn numbers are among
the chosen ones, some ticket holds at least t of them. Type a (abbreviated) or
k (key: position 1 is on every ticket and counts as drawn).

commands:
  verify FILE [--pick K --type a|k --formula TifM --v V]
      Checks a wheel file exhaustively against its formula. FILE is a wheel file
      with its header, or bare patterns (01-02-03-...) when the options are given.
      Prints one verdict line; exit 0 when the guarantee holds, 1 when it fails,
      2 on bad input.
  search --pick K --type a|k --formula TifM --v V --out FILE
         [--seconds S] [--moves N] [--seed N] [--target N] [--from FILE]
      Finds a small wheel: constructions, a greedy start, then simulated
      annealing for S seconds of processor time (default 10) or N moves. Same
      seed, same moves, same result. Progress goes to stderr; the wheel is written to FILE as a
      wheel file and verified. FILE is checked for writing before the search.
      --group G: search wheels invariant under a permutation group of the
      positions: cyclic[:F], bicyclic[:F], cycles:C[:F], mult:A[:F[:S]], affine:D[:F], psl[:F], pgl[:F], trivial
      (F fixed positions; see group.h). --cover: with --group, a weighted
      set-cover search over all orbits of tickets instead of annealing;
      --by-tickets: with --cover, an orbit costs its tickets instead of one.
      --from FILE: anneal from the wheel in FILE (any wheel of the same
      design, verified first) instead of the constructions; with --cover,
      start the set cover from the orbits of its tickets. --cover-limit N: the
      most ticket-draw pairs the set cover lists (default 150000000, about
      8 bytes each); a larger search is refused with a message.
      --verbose: moves per second.
  import FILE --dir DIR [--pick K --type a|k --formula TifM --v V] [--credit TEXT]
      Verifies a wheel and writes it into the catalogue folder DIR, for every
      wheel of the same design, only where it is smaller than the one held.
      FILE is a wheel file, or a published block list (one ticket per line,
      numbers separated by blanks, '#' comments, the first one kept as the
      credit in the wheel's method) with the options given; for a key wheel
      the blocks may leave out the key (pick - 1 numbers on positions 1..v-1).
      Exit 0 when written, 1 when refused (fails, or not smaller).
  lowerbound --pick K --type a|k --formula TifT --v V
  lowerbound --v V --k K --t T
      Schönheim's lower bound of a covering (t if t), and the exact least size
      where it is known.
  check DIR
      Reads and verifies every wheel file under DIR; exit 1 naming each file
      that is malformed or fails.
  catalogue --dir DIR [--seconds S] [--seed N] [--pick K] [--coverings]
            [--max-v V] [--worst N] [--total-seconds S] [--construct] [--quiet]
            [--best-known FILE]
      Builds or improves the catalogue's wheels: picks 5, 6, 7; v from pick + 1
      to 30; every formula t if m with 2 <= t <= m <= pick; types a and k;
      wherever the wheel has at most 1000 tickets. Each wheel keeps the smallest
      verified one found so far: a file is replaced only by a smaller wheel.
      --seconds: annealing budget per wheel in processor seconds (default 0:
      constructions only);
      --construct: run the covering constructions again for wheels already
      held (unions for t < m always run, they gain from every improvement);
      --coverings: only formulas t if t; --worst N: only the N coverings
      farthest above their lower bound, or with --best-known FILE (the table
      of published sizes) the N designs farthest above the published size,
      counted in tickets over all their wheels; --total-seconds: stop after that long
      (wall-clock).
  report --dir DIR --out FILE [--best-known FILE]
      Writes the wheel report (Markdown): for every covering our ticket count,
      Schönheim's bound and the exact value where known; for every wheel its
      ticket count, method and search budget; with --best-known (the table of
      published sizes, catalogue/best-known-wheels.tsv) also the published size,
      its kind and our ratio to it, with a summary.
  --help
      This text.
)";

struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
  std::string error;
};

Arguments parseArguments(const std::vector<std::string>& words, size_t from) {
  Arguments args;
  const size_t argc = words.size();
  for (size_t i = from; i < argc; ++i) {
    const std::string& word = words[i];
    if (word.rfind("--", 0) == 0 && word.size() > 2) {
      const std::string name = word.substr(2);
      if (name == "coverings" || name == "quiet" || name == "help" || name == "construct" || name == "verbose" || name == "cover" ||
          name == "by-tickets") {
        args.options[name].assign(1, '1');
        continue;
      }
      if (i + 1 >= argc) {
        args.error = "option " + word + " needs a value";
        return args;
      }
      args.options[name] = words[++i];
    } else {
      args.positional.push_back(word);
    }
  }
  return args;
}

bool numberOption(const Arguments& args, const std::string& name, uint64_t& value, std::string& error) {
  const auto found = args.options.find(name);
  if (found == args.options.end()) return true;
  const std::string& text = found->second;
  if (text.empty() || text.size() > 18 || !std::all_of(text.begin(), text.end(), ::isdigit)) {
    error = "--" + name + " needs a whole number, not \"" + text + "\"";
    return false;
  }
  value = std::stoull(text);
  return true;
}

bool secondsOption(const Arguments& args, const std::string& name, double& value, std::string& error) {
  const auto found = args.options.find(name);
  if (found == args.options.end()) return true;
  char* end = nullptr;
  value = std::strtod(found->second.c_str(), &end);
  if (found->second.empty() || *end != '\0' || !(value >= 0) || value > 1e7) {
    error = "--" + name + " needs a number of seconds, not \"" + found->second + "\"";
    return false;
  }
  return true;
}

// Reads --pick, --type, --formula and --v. `given` tells whether any was present.
bool specOptions(const Arguments& args, WheelSpec& spec, bool& given, std::string& error) {
  given = args.options.count("pick") || args.options.count("type") || args.options.count("formula");
  if (!given) return true;
  for (const char* name : {"pick", "type", "formula", "v"})
    if (!args.options.count(name)) {
      error = std::string("--") + name + " is missing";
      return false;
    }
  uint64_t pick = 0, v = 0;
  if (!numberOption(args, "pick", pick, error) || !numberOption(args, "v", v, error)) return false;
  spec.pick = static_cast<int>(std::min<uint64_t>(pick, 1000));
  spec.v = static_cast<int>(std::min<uint64_t>(v, 1000));
  const std::string type = args.options.at("type");
  if (type == "a") spec.type = WheelType::abbreviated;
  else if (type == "k") spec.type = WheelType::key;
  else {
    error = "--type must be a or k, not \"" + type + "\"";
    return false;
  }
  if (!parseFormula(args.options.at("formula"), spec.t, spec.m)) {
    error = "--formula must look like 4if5, not \"" + args.options.at("formula") + "\"";
    return false;
  }
  const std::string problem = checkSpec(spec);
  if (!problem.empty()) {
    error = describeSpec(spec) + ": " + problem;
    return false;
  }
  if (spec.type == WheelType::key && spec.t < 2) {
    error = "a key wheel needs t >= 2 (the key alone already gives 1 if 1)";
    return false;
  }
  return true;
}

int usageError(Console& io, const std::string& message) {
  io.err << "wheelgen: " << message << "\n(wheelgen --help lists the commands)\n";
  return kExitUsage;
}

// A command's one file, read, and the optional wheel options.
struct FileInput {
  std::string path, text;
  WheelSpec spec;
  bool given = false;  // whether the wheel options were given
};

// Reads it; an exit status when the file or the options are wrong.
std::optional<int> readFileInput(const Arguments& args, Console& io, const std::string& command, FileInput& input) {
  if (args.positional.size() != 1) return usageError(io, command + " needs exactly one file");
  input.path = args.positional[0];
  std::string error;
  if (!specOptions(args, input.spec, input.given, error)) return usageError(io, error);
  if (!readTextFile(input.path, input.text)) return usageError(io, input.path + ": cannot be read");
  return std::nullopt;
}

int commandVerify(const Arguments& args, Console& io) {
  FileInput input;
  if (const auto status = readFileInput(args, io, "verify", input)) return *status;
  const std::string& path = input.path;
  const std::string& text = input.text;
  WheelSpec spec = input.spec;
  const bool given = input.given;
  std::string error;
  std::vector<Ticket> tickets;
  if (!text.empty() && text[0] == '#') {
    WheelFile wheel;
    if (!parseWheelFile(text, wheel, error)) return usageError(io, path + ": " + error);
    if (given && (wheel.spec.pick != spec.pick || wheel.spec.type != spec.type || wheel.spec.t != spec.t ||
                  wheel.spec.m != spec.m || wheel.spec.v != spec.v))
      return usageError(io, path + ": its header describes " + describeSpec(wheel.spec) + ", not " + describeSpec(spec));
    spec = wheel.spec;
    tickets = wheel.tickets;
  } else {
    if (!given) return usageError(io, path + ": no header; give --pick, --type, --formula and --v");
    int number = 0;
    for (const std::string& line : textLines(text)) {
      ++number;
      if (line.empty()) continue;
      Ticket ticket;
      if (!parsePattern(line, ticket, error))
        return usageError(io, path + ": line " + std::to_string(number) + ": " + error);
      tickets.push_back(ticket);
    }
  }
  const auto started = std::chrono::steady_clock::now();
  const VerifyResult result = verifyWheel(spec, tickets);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  char timing[64];
  std::snprintf(timing, sizeof timing, " (%.3f s)", seconds);
  io.out << path << ": " << result.message << timing << "\n";
  return result.holds ? kExitHolds : kExitFails;
}

std::string budgetText(double seconds, uint64_t moves) {
  if (moves) return std::to_string(moves) + " moves";
  std::ostringstream text;
  text << seconds << " s cpu";
  return text.str();
}

int commandSearch(const Arguments& args, Console& io) {
  WheelSpec spec;
  bool given = false;
  std::string error;
  if (!specOptions(args, spec, given, error)) return usageError(io, error);
  if (!given) return usageError(io, "search needs --pick, --type, --formula and --v");
  if (!args.options.count("out")) return usageError(io, "search needs --out FILE");
  SearchOptions options;
  uint64_t target = 0;
  if (!numberOption(args, "seed", options.seed, error) || !numberOption(args, "moves", options.moves, error) ||
      !numberOption(args, "target", target, error) || !numberOption(args, "cover-limit", options.coverLimit, error) ||
      !secondsOption(args, "seconds", options.seconds, error))
    return usageError(io, error);
  options.target = target;
  if (args.options.count("cover") && !args.options.count("group")) return usageError(io, "--cover goes with --group");
  for (const char* coverOnly : {"by-tickets", "cover-limit"})
    if (args.options.count(coverOnly) && !args.options.count("cover"))
      return usageError(io, std::string("--") + coverOnly + " goes with --cover");
  options.coverByTickets = args.options.count("by-tickets") > 0;
  options.progress = [&io](const std::string& line) { io.err << "wheelgen: " << line << "\n"; };
  SearchStats stats;
  options.stats = &stats;
  const std::string out = args.options.at("out");
  // Checked before the search, so that hours of search are never lost to a
  // file that cannot be written.
  if (!checkWritable(out, error)) return usageError(io, error);

  const Design design = designOf(spec);
  // A held wheel to anneal from instead of the constructions: the smallest
  // wheels of a group search are often a few tickets from smaller ones
  // that no group leaves invariant.
  Candidate from;
  if (args.options.count("from")) {
    if (args.options.count("group") && !args.options.count("cover"))
      return usageError(io, "--from goes with --group only for --cover");
    const std::string path = args.options.at("from");
    WheelFile held;
    if (!readWheelFile(path, held, error)) return usageError(io, error);
    if (designOf(held.spec) != design)
      return usageError(io, path + " holds " + describeSpec(held.spec) + ", not a wheel of " + describeSpec(spec));
    const VerifyResult result = verifyWheel(held.spec, held.tickets);
    if (!result.holds) return usageError(io, path + ": " + result.message);
    from = {designTickets(held.spec, held.tickets), held.method};
  }
  const auto started = std::chrono::steady_clock::now();
  Candidate found;
  if (!from.tickets.empty() && !args.options.count("group")) {
    found = annealWheel(design, from, options);
  } else if (args.options.count("group")) {
    PermutationGroup group;
    if (!parseGroup(args.options.at("group"), design.v, group, error)) return usageError(io, error);
    if (!groupSearchApplies(design, group, error)) return usageError(io, error);
    options.coverFrom = from.tickets;
    found = args.options.count("cover") ? coverInvariantWheel(design, group, options)
                                        : searchInvariantWheel(design, group, options);
  } else {
    found = searchWheel(design, options, constructedWheels(options.seed));
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (args.options.count("verbose")) {
    char line[160];
    std::snprintf(line, sizeof line, "wheelgen: %llu annealing moves in %.2f s cpu: %.0f moves/s\n",
                  static_cast<unsigned long long>(stats.moves), stats.cpuSeconds, stats.movesPerSecond());
    io.err << line;
  }
  if (found.tickets.empty()) {
    io.err << "wheelgen: no wheel found for " << describeSpec(spec) << "\n";
    return kExitFails;
  }
  WheelFile wheel;
  wheel.spec = spec;
  wheel.tickets = wheelTickets(spec, found.tickets);
  wheel.method = found.method;
  wheel.seed = std::to_string(options.seed);
  wheel.budget = budgetText(options.seconds, options.moves);
  const VerifyResult result = verifyWheel(spec, wheel.tickets);
  if (!result.holds) {
    io.err << "wheelgen: internal error, the wheel found does not verify: " << result.message << "\n";
    return kExitFails;
  }
  if (!writeWheelFile(out, wheel, error)) {
    io.err << "wheelgen: " << error << "\n";
    return kExitUsage;
  }
  char timing[64];
  std::snprintf(timing, sizeof timing, " in %.1f s", seconds);
  io.out << args.options.at("out") << ": " << result.message << " (" << found.method << timing << ")\n";
  return kExitHolds;
}

int commandLowerBound(const Arguments& args, Console& io) {
  WheelSpec spec;
  bool given = false;
  std::string error;
  if (!specOptions(args, spec, given, error)) return usageError(io, error);
  int v, k, t;
  if (given) {
    if (spec.t != spec.m) return usageError(io, "the lower bound is given for coverings, formulas t if t");
    const auto covering = coveringOf(spec);
    if (!covering) {
      io.out << describeSpec(spec) << ": at least 1 ticket\n";
      return kExitHolds;
    }
    v = covering->v, k = covering->k, t = covering->t;
  } else {
    uint64_t vv = 0, kk = 0, tt = 0;
    if (!args.options.count("v") || !args.options.count("k") || !args.options.count("t"))
      return usageError(io, "lowerbound needs --v, --k and --t, or a wheel's --pick, --type, --formula and --v");
    if (!numberOption(args, "v", vv, error) || !numberOption(args, "k", kk, error) || !numberOption(args, "t", tt, error))
      return usageError(io, error);
    if (!(tt >= 1 && tt <= kk && kk <= vv && vv <= 1000)) return usageError(io, "the bound needs 1 <= t <= k <= v <= 1000");
    v = static_cast<int>(vv), k = static_cast<int>(kk), t = static_cast<int>(tt);
  }
  io.out << "C(" << v << "," << k << "," << t << ") >= " << schonheimBound(v, k, t);
  if (const auto exact = knownCoveringSize(v, k, t)) io.out << ", exactly " << *exact;
  io.out << "\n";
  return kExitHolds;
}

int commandCheck(const Arguments& args, Console& io) {
  if (args.positional.size() != 1) return usageError(io, "check needs exactly one folder");
  std::vector<CatalogueEntry> entries;
  std::string error;
  if (!readWheelFolder(args.positional[0], entries, error)) {
    io.err << "wheelgen: " << error << "\n";
    return kExitFails;
  }
  int failures = 0;
  size_t tickets = 0;
  for (const CatalogueEntry& entry : entries) {
    const VerifyResult result = verifyWheel(entry.wheel.spec, entry.wheel.tickets);
    tickets += entry.wheel.tickets.size();
    if (!result.holds) {
      io.err << "wheelgen: " << entry.path << ": " << result.message << "\n";
      ++failures;
    } else if (entry.wheel.tickets.size() > kMaxCatalogueTickets) {
      io.err << "wheelgen: " << entry.path << ": " << entry.wheel.tickets.size() << " tickets, more than "
                << kMaxCatalogueTickets << "\n";
      ++failures;
    }
  }
  io.out << entries.size() << " wheels, " << tickets << " tickets, " << failures << " failing\n";
  return failures ? kExitFails : kExitHolds;
}

int commandImport(const Arguments& args, Console& io) {
  if (!args.options.count("dir")) return usageError(io, "import needs --dir DIR (the catalogue's wheel folder)");
  FileInput input;
  if (const auto status = readFileInput(args, io, "import", input)) return *status;
  const std::string& path = input.path;
  const ImportOutcome outcome = importWheel(input.text, input.given ? &input.spec : nullptr,
                                            args.options.count("credit") ? args.options.at("credit") : "",
                                            args.options.at("dir"));
  switch (outcome.verdict) {
    case ImportVerdict::malformed:
      return usageError(io, path + ": " + outcome.message);
    case ImportVerdict::fails:
    case ImportVerdict::notSmaller:
      io.err << "wheelgen: " << path << ": " << outcome.message << "\n";
      return kExitFails;
    case ImportVerdict::written:
      break;
  }
  io.out << path << ": " << outcome.tickets << " tickets (before: "
            << (outcome.stored.smallestBefore ? std::to_string(outcome.stored.smallestBefore) : std::string("none"))
            << ") written to";
  for (const std::string& name : outcome.stored.written) io.out << " " << name;
  io.out << "\n";
  return kExitHolds;
}

// ---- the catalogue ----

struct Best {
  std::vector<uint64_t> tickets;
  std::string method, seed, budget;
};

// What a wheel folder holds: the smallest wheel of each design, and the size
// of each file. A file that does not verify stops the run rather than being
// overwritten unseen.
struct HeldWheels {
  std::map<Design, Best> best;
  std::map<std::string, size_t> fileSize;
};

bool readHeldWheels(const std::string& dir, HeldWheels& held, Console& io) {
  std::vector<CatalogueEntry> entries;
  std::string error;
  if (!readWheelFolder(dir, entries, error)) {
    io.err << "wheelgen: " << error << "\n";
    return false;
  }
  for (const CatalogueEntry& entry : entries) {
    const WheelSpec& spec = entry.wheel.spec;
    const VerifyResult result = verifyWheel(spec, entry.wheel.tickets);
    if (!result.holds) {
      io.err << "wheelgen: " << entry.path << ": " << result.message << "\n";
      return false;
    }
    held.fileSize[wheelFileName(spec)] = entry.wheel.tickets.size();
    Best& known = held.best[designOf(spec)];
    if (known.tickets.empty() || entry.wheel.tickets.size() < known.tickets.size())
      known = {designTickets(spec, entry.wheel.tickets), entry.wheel.method, entry.wheel.seed, entry.wheel.budget};
  }
  return true;
}

// The designs worst first by `excess` (those it gives no value are left
// out), at most `count`.
std::vector<Design> worstDesigns(const std::vector<Design>& designs, size_t count,
                                 const std::function<std::optional<double>(const Design&)>& excess) {
  std::vector<std::pair<double, Design>> ranked;
  for (const Design& design : designs)
    if (const auto value = excess(design)) ranked.push_back({*value, design});
  std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  std::vector<Design> order;
  for (size_t i = 0; i < ranked.size() && i < count; ++i) order.push_back(ranked[i].second);
  return order;
}

// Writes every wheel of the design that is missing or larger on disk.
bool writeDesignWheels(const std::string& dir, const std::vector<WheelSpec>& specs, const Best& current,
                       HeldWheels& held, int& written, Console& io) {
  for (const WheelSpec& spec : specs) {
    if (current.tickets.empty() || current.tickets.size() > kMaxCatalogueTickets) continue;
    const std::string name = wheelFileName(spec);
    const auto onDisk = held.fileSize.find(name);
    if (onDisk != held.fileSize.end() && onDisk->second <= current.tickets.size()) continue;
    WheelFile wheel;
    wheel.spec = spec;
    wheel.tickets = wheelTickets(spec, current.tickets);
    wheel.method = current.method;
    wheel.seed = current.seed;
    wheel.budget = current.budget;
    const VerifyResult result = verifyWheel(spec, wheel.tickets);
    if (!result.holds) {
      io.err << "wheelgen: internal error: " << describeSpec(spec) << ": " << result.message << "\n";
      return false;
    }
    std::string error;
    if (!writeWheelFile((fs::path(dir) / name).string(), wheel, error)) {
      io.err << "wheelgen: " << error << "\n";
      return false;
    }
    held.fileSize[name] = wheel.tickets.size();
    ++written;
  }
  return true;
}

int commandCatalogue(const Arguments& args, Console& io) {
  if (!args.options.count("dir")) return usageError(io, "catalogue needs --dir DIR");
  const std::string dir = args.options.at("dir");
  double seconds = 0, totalSeconds = 0;
  uint64_t seed = 1, onlyPick = 0, maxV = 30, worst = 0;
  std::string error;
  if (!secondsOption(args, "seconds", seconds, error) || !secondsOption(args, "total-seconds", totalSeconds, error) ||
      !numberOption(args, "seed", seed, error) || !numberOption(args, "pick", onlyPick, error) ||
      !numberOption(args, "max-v", maxV, error) || !numberOption(args, "worst", worst, error))
    return usageError(io, error);
  const bool coveringsOnly = args.options.count("coverings");
  const bool quiet = args.options.count("quiet");
  const auto started = std::chrono::steady_clock::now();
  auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(); };

  std::error_code ec;
  fs::create_directories(dir, ec);
  HeldWheels held;
  if (!readHeldWheels(dir, held, io)) return kExitFails;
  std::map<Design, Best>& best = held.best;

  std::map<Design, std::vector<WheelSpec>> specsOf;
  for (const WheelSpec& spec : catalogueSpecs()) {
    if (onlyPick && spec.pick != static_cast<int>(onlyPick)) continue;
    if (spec.v > static_cast<int>(maxV)) continue;
    if (coveringsOnly && spec.t != spec.m) continue;
    specsOf[designOf(spec)].push_back(spec);
  }
  std::vector<Design> order;
  for (const auto& [design, specs] : specsOf) order.push_back(design);
  BestKnownTable bestKnown;
  if (args.options.count("best-known") && !readBestKnown(args.options.at("best-known"), bestKnown, error)) {
    io.err << "wheelgen: " << error << "\n";
    return kExitFails;
  }
  if (worst && !bestKnown.empty()) {
    // The designs whose wheels lose the players most tickets against the
    // best published size.
    order = worstDesigns(order, worst, [&](const Design& design) -> std::optional<double> {
      const auto record = bestKnownFor(bestKnown, design);
      if (!record || !best.count(design) || best[design].tickets.size() <= record->size) return std::nullopt;
      return static_cast<double>(best[design].tickets.size() - record->size) *
             static_cast<double>(specsOf[design].size());
    });
  } else if (worst) {
    // The coverings farthest above their lower bound.
    order = worstDesigns(order, worst, [&](const Design& design) -> std::optional<double> {
      if (design.t != design.m || !best.count(design)) return std::nullopt;
      const double ratio =
          static_cast<double>(best[design].tickets.size()) / static_cast<double>(designLowerBound(design));
      return ratio > 1.0 ? std::optional<double>(ratio) : std::nullopt;
    });
  }

  const KnownWheels fallback = constructedWheels(seed);
  const KnownWheels known = [&](const Design& design) {
    const auto found = best.find(design);
    if (found != best.end() && !found->second.tickets.empty()) return found->second.tickets;
    return fallback(design);
  };

  std::set<Design> improved;
  int written = 0;
  int cutBelow = INT_MAX;  // the fewest positions of a design improved by the cascade below
  // One design: the constructions, the annealing when `search`, the files
  // written, then the cascade to fewer positions. False when a file cannot
  // be written.
  // Keeps the candidate where it is smaller than the wheel held and holds.
  auto adopt = [&](const Design& design, Best& current, const Candidate& candidate, const std::string& budget) {
    if (candidate.tickets.empty()) return false;
    if (!current.tickets.empty() && candidate.tickets.size() >= current.tickets.size()) return false;
    if (!designHolds(design, candidate.tickets)) {
      io.err << "wheelgen: internal error: " << candidate.method << " gave a wheel that fails for "
             << describeDesign(design) << "\n";
      return false;
    }
    current = {candidate.tickets, candidate.method, std::to_string(seed), budget};
    return true;
  };
  auto visit = [&](const Design& design, bool search) {
    uint64_t bound = designLowerBound(design);
    if (bound > kMaxCatalogueTickets) return true;
    // A proven size cannot be beaten; an upper bound can, so it only ends the
    // search where no lower bound is known to say more.
    if (const auto record = bestKnownFor(bestKnown, design); record && record->exact) bound = std::max(bound, record->size);
    Best& current = best[design];
    const size_t before = current.tickets.size();
    auto consider = [&](const Candidate& candidate, const std::string& budget) {
      adopt(design, current, candidate, budget);
    };
    // Unions are cheap and gain from every smaller wheel improved before them;
    // covering constructions (greedy included) run for new wheels or on request.
    const bool construct =
        !search || current.tickets.empty() || design.t != design.m || args.options.count("construct");
    if (construct && current.tickets.size() != bound) consider(constructWheel(design, known, seed), "none");
    if (const auto longer = best.find(Design{design.v + 1, design.k, design.t, design.m});
        construct && current.tickets.size() != bound && longer != best.end())
      consider(shortenedWheel(design, longer->second.tickets, seed), "none");
    if (search && seconds > 0 && annealingApplies(design) && current.tickets.size() > bound) {
      SearchOptions options;
      options.seed = seed;
      options.seconds = seconds;
      const Candidate start{current.tickets, current.method};
      consider(annealWheel(design, start, options), budgetText(seconds, 0));
    }
    if (current.tickets.size() < before || before == 0) improved.insert(design);
    if (!quiet && current.tickets.size() < before)
      io.err << "wheelgen: " << describeDesign(design) << ": " << before << " -> " << current.tickets.size() << " ("
             << current.method << ")\n";
    if (!writeDesignWheels(dir, specsOf[design], current, held, written, io)) return false;
    // The smaller wheel less its last position may be smaller for the
    // designs of fewer positions, visited before this one.
    for (Design shorter{design.v - 1, design.k, design.t, design.m};
         improved.count(design) && specsOf.count(shorter); --shorter.v) {
      const Candidate cut =
          shortenedWheel(shorter, best[Design{shorter.v + 1, shorter.k, shorter.t, shorter.m}].tickets, seed);
      Best& target = best[shorter];
      const size_t had = target.tickets.size();
      if (!adopt(shorter, target, cut, "none")) break;
      if (!quiet)
        io.err << "wheelgen: " << describeDesign(shorter) << ": " << had << " -> " << target.tickets.size() << " ("
               << cut.method << ")\n";
      improved.insert(shorter);
      cutBelow = std::min(cutBelow, shorter.v);
      if (!writeDesignWheels(dir, specsOf[shorter], target, held, written, io)) return false;
    }
    return true;
  };
  auto timeUp = [&] {
    if (totalSeconds <= 0 || elapsed() <= totalSeconds) return false;
    io.err << "wheelgen: time is up after " << elapsed() << " s\n";
    return true;
  };
  bool stopped = false;
  for (const Design& design : order) {
    if ((stopped = timeUp())) break;
    if (!visit(design, true)) return kExitFails;
  }
  // A design improved by the cascade was visited before the designs built
  // from it: those are built again, constructions only, until none changes.
  while (!stopped && cutBelow != INT_MAX) {
    const int from = std::exchange(cutBelow, INT_MAX);
    for (const Design& design : order) {
      if ((stopped = timeUp())) break;
      if (design.v > from && !visit(design, false)) return kExitFails;
    }
  }
  io.out << "catalogue: " << order.size() << " designs visited, " << improved.size() << " improved, " << written
         << " files written in " << static_cast<int>(elapsed()) << " s\n";
  return kExitHolds;
}

// ---- the report ----

std::string ratioText(double ratio) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", ratio);
  return text;
}

int commandReport(const Arguments& args, Console& io) {
  if (!args.options.count("dir") || !args.options.count("out")) return usageError(io, "report needs --dir DIR --out FILE");
  std::vector<CatalogueEntry> entries;
  std::string error;
  if (!readWheelFolder(args.options.at("dir"), entries, error)) {
    io.err << "wheelgen: " << error << "\n";
    return kExitFails;
  }
  std::map<std::string, const CatalogueEntry*> byName;
  for (const CatalogueEntry& entry : entries) {
    const VerifyResult result = verifyWheel(entry.wheel.spec, entry.wheel.tickets);
    if (!result.holds) {
      io.err << "wheelgen: " << entry.path << ": " << result.message << "\n";
      return kExitFails;
    }
    byName[wheelFileName(entry.wheel.spec)] = &entry;
  }

  std::ostringstream coverings, all, missing, summary;
  struct Mean {
    double sum = 0;
    int count = 0;
    void add(double x) { sum += x, ++count; }
    std::string text() const { return count ? ratioText(sum / count) + " over " + std::to_string(count) : "none"; }
  };
  Mean abbreviated20, abbreviated30, key20, key30, both20, both30;
  int atExact = 0, exactKnown = 0, atBound = 0, coveringCount = 0, missingCount = 0;
  size_t totalTickets = 0;
  coverings << "| pick | type | formula | v | tickets | Schönheim bound | exact | ratio to bound | method | budget |\n"
            << "|---|---|---|---|---|---|---|---|---|---|\n";
  BestKnownTable bestKnown;
  if (args.options.count("best-known") && !readBestKnown(args.options.at("best-known"), bestKnown, error)) {
    io.err << "wheelgen: " << error << "\n";
    return kExitFails;
  }
  // Against the published sizes: per formula group and in all.
  struct Standing {
    int cells = 0, atRecord = 0, above = 0, below = 0;
    uint64_t ours = 0, record = 0;
    void add(uint64_t size, uint64_t best) {
      ++cells, ours += size, record += best;
      if (size == best) ++atRecord;
      else if (size > best) ++above;
      else ++below;
    }
  };
  Standing overall;
  std::map<std::tuple<int, std::string, int, int>, Standing> standings;
  std::vector<std::string> belowExact;
  all << "| pick | type | formula | v | tickets | best known | kind | ratio | method | seed | budget |\n"
      << "|---|---|---|---|---|---|---|---|---|---|---|\n";
  for (const WheelSpec& spec : catalogueSpecs()) {
    const auto found = byName.find(wheelFileName(spec));
    const std::string type = wheelTypeLetter(spec.type);
    if (found == byName.end()) {
      ++missingCount;
      missing << "| " << spec.pick << " | " << type << " | " << formulaText(spec.t, spec.m) << " | " << spec.v << " | ";
      if (const auto bound = wheelLowerBound(spec)) missing << *bound;
      missing << " |\n";
      continue;
    }
    const WheelFile& wheel = found->second->wheel;
    const size_t count = wheel.tickets.size();
    totalTickets += count;
    std::string recordCells = " |  |  | ";
    if (const auto record = bestKnownFor(bestKnown, designOf(spec))) {
      overall.add(count, record->size);
      standings[{spec.pick, type, spec.t, spec.m}].add(count, record->size);
      if (record->exact && count < record->size) belowExact.push_back(describeSpec(spec));
      recordCells = " | " + std::to_string(record->size) + " | " + (record->exact ? "exact" : "upper bound") + " | " +
                    ratioText(static_cast<double>(count) / static_cast<double>(record->size)) + " | ";
    }
    all << "| " << spec.pick << " | " << type << " | " << formulaText(spec.t, spec.m) << " | " << spec.v << " | "
        << count << recordCells << wheel.method << " | " << wheel.seed << " | " << wheel.budget << " |\n";
    if (spec.t != spec.m) continue;
    ++coveringCount;
    const uint64_t bound = *wheelLowerBound(spec);
    std::optional<uint64_t> exact;
    if (const auto covering = coveringOf(spec)) exact = knownCoveringSize(covering->v, covering->k, covering->t);
    else exact = 1;
    const double ratio = static_cast<double>(count) / static_cast<double>(bound);
    if (exact) {
      ++exactKnown;
      if (count == *exact) ++atExact;
    }
    if (count == bound) ++atBound;
    coverings << "| " << spec.pick << " | " << type << " | " << formulaText(spec.t, spec.m) << " | " << spec.v << " | "
              << count << " | " << bound << " | " << (exact ? std::to_string(*exact) : "") << " | " << ratioText(ratio)
              << " | " << wheel.method << " | " << wheel.budget << " |\n";
    Mean& mean30 = spec.type == WheelType::abbreviated ? abbreviated30 : key30;
    Mean& mean20 = spec.type == WheelType::abbreviated ? abbreviated20 : key20;
    mean30.add(ratio), both30.add(ratio);
    if (spec.v <= 20) mean20.add(ratio), both20.add(ratio);
  }

  std::ofstream out(args.options.at("out"), std::ios::trunc);
  out << "# Wheels of the catalogue\n\n"
      << "Generated by `wheelgen report` from `catalogue/wheels/`; do not edit by hand.\n\n"
      << "Every wheel here was verified exhaustively against its formula. The catalogue holds picks 5, 6 and 7, "
      << "v from pick + 1 to 30, every formula t if m with 2 <= t <= m <= pick, abbreviated (a) and key (k), "
      << "wherever the wheel has at most " << kMaxCatalogueTickets << " tickets.\n\n"
      << "## Summary\n\n"
      << "- Wheels: " << entries.size() << ", tickets in all: " << totalTickets << ".\n"
      << "- Coverings (t if t): " << coveringCount << "; at Schönheim's bound: " << atBound << "; at the exact value, "
      << "where it is known: " << atExact << " of " << exactKnown << ".\n"
      << "- Mean ratio of our covering sizes to Schönheim's bound, v <= 20: " << both20.text() << " (abbreviated "
      << abbreviated20.text() << ", key " << key20.text() << ").\n"
      << "- The same for v <= 30: " << both30.text() << " (abbreviated " << abbreviated30.text() << ", key "
      << key30.text() << ").\n"
      << "- A key wheel's covering is the covering of its other v - 1 positions by tickets of pick - 1 "
      << "numbers for t - 1 if t - 1; its bound is that covering's bound. The methods of key wheels name "
      << "the wheel of those other positions, which the key joins on every ticket.\n"
      << "- Budgets are processor seconds of simulated annealing per wheel; \"none\" means a construction "
      << "or the greedy start without search.\n\n";
  out << "## Against the best published sizes\n\n";
  if (bestKnown.empty()) {
    out << "No table of published sizes was given.\n\n";
  } else {
    char percent[32];
    std::snprintf(percent, sizeof percent, "%+.1f%%",
                  overall.record ? 100.0 * (static_cast<double>(overall.ours) / static_cast<double>(overall.record) - 1) : 0.0);
    out << "The table `catalogue/best-known-wheels.tsv` gives the smallest published size of a wheel and whether it "
        << "is proven exact; a key wheel compares with the row of its other positions (pick - 1, t - 1 if m - 1, "
        << "v - 1).\n\n"
        << "- Wheels with a published size: " << overall.cells << "; at it: " << overall.atRecord << "; above: "
        << overall.above << "; below: " << overall.below << ".\n"
        << "- Tickets over those wheels: ours " << overall.ours << ", published " << overall.record << " (" << percent
        << ").\n";
    if (!belowExact.empty()) {
      out << "- Below a proven exact size (impossible; a checker fault):";
      for (const std::string& name : belowExact) out << " " << name << ";";
      out << "\n";
    }
    out << "\n| pick | type | formula | wheels | at the published size | our tickets | published |\n"
        << "|---|---|---|---|---|---|---|\n";
    for (const auto& [key, standing] : standings)
      out << "| " << std::get<0>(key) << " | " << std::get<1>(key) << " | " << formulaText(std::get<2>(key), std::get<3>(key))
          << " | " << standing.cells << " | " << standing.atRecord << " | " << standing.ours << " | " << standing.record
          << " |\n";
    out << "\n";
  }
  out << "## Coverings\n\n" << coverings.str() << "\n"
      << "## Not in the catalogue (more than " << kMaxCatalogueTickets << " tickets, or not yet found)\n\n"
      << missingCount << " wheels.\n\n| pick | type | formula | v | lower bound (coverings) |\n|---|---|---|---|---|\n"
      << missing.str() << "\n"
      << "## Every wheel\n\n" << all.str();
  out.close();
  if (!out) {
    io.err << "wheelgen: " << args.options.at("out") << ": write failed\n";
    return kExitUsage;
  }
  io.out << args.options.at("out") << ": " << entries.size() << " wheels; mean covering ratio v <= 20: "
            << both20.text() << ", v <= 30: " << both30.text() << "\n";
  return kExitHolds;
}

}  // namespace

int runWheelgen(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  Console io{out, err};
  if (words.empty()) return usageError(io, "no command given");
  const std::string& command = words[0];
  if (command == "--help" || command == "-h" || command == "help") {
    io.out << kUsage;
    return kExitHolds;
  }
  const Arguments args = parseArguments(words, 1);
  if (!args.error.empty()) return usageError(io, args.error);
  if (args.options.count("help")) {
    io.out << kUsage;
    return kExitHolds;
  }
  try {
    if (command == "verify") return commandVerify(args, io);
    if (command == "search") return commandSearch(args, io);
    if (command == "lowerbound") return commandLowerBound(args, io);
    if (command == "check") return commandCheck(args, io);
    if (command == "catalogue") return commandCatalogue(args, io);
    if (command == "report") return commandReport(args, io);
    if (command == "import") return commandImport(args, io);
  } catch (const std::exception& error) {
    io.err << "wheelgen: " << error.what() << "\n";
    return kExitUsage;
  }
  return usageError(io, "unknown command \"" + command + "\"");
}
