#pragma once
// The wheel source files of the catalogue (catalogue/wheels/): one file per
// wheel, text that reads well in a diff. The layout is documented in
// catalogue/wheels/README.md:
//
//   # pick: 6
//   # type: a
//   # formula: 4if5
//   # v: 14
//   # tickets: 12
//   # method: annealing
//   # seed: 3
//   # budget: 20 s
//   01-02-03-04-05-06
//   ...
//
// Reading is strict: a malformed line is an error naming the file and line,
// never a skipped ticket. Reading does not verify the guarantee; callers run
// verifyWheel on the result.

#include <string>
#include <vector>

#include "wheelcore/wheel.h"

struct WheelFile {
  WheelSpec spec;
  std::vector<Ticket> tickets;
  // How the wheel was found: "construction", "greedy", "annealing", ...
  std::string method;
  std::string seed;    // as written; empty when the method used no randomness
  std::string budget;  // the search budget that produced it, as written
};

// A ticket pattern as the catalogue stores it: positions joined by "-", each of
// one or two decimal digits. Returns false (and why) on an empty token, a token
// that is not a number of one or two digits, or an empty text.
bool parsePattern(const std::string& text, Ticket& ticket, std::string& error);
// Two-digit positions joined by "-": 01-02-03-04-05-06.
std::string formatPattern(const Ticket& ticket);

// Parses the text of a wheel file. On failure returns false and sets `error`
// to a message that names the line ("line 12: ...").
bool parseWheelFile(const std::string& text, WheelFile& wheel, std::string& error);
std::string formatWheelFile(const WheelFile& wheel);

// The file's place under the wheels folder: "pick6/a/4if5-of-14.txt".
std::string wheelFileName(const WheelSpec& spec);

// The lines of a text without their line ends (LF or CRLF).
std::vector<std::string> textLines(const std::string& text);
// The whole of a file; false when it cannot be read.
bool readTextFile(const std::string& path, std::string& text);

// Reads one file; errors are prefixed with the path.
bool readWheelFile(const std::string& path, WheelFile& wheel, std::string& error);
// Whether `path` can be written (its folder is made when missing): checked
// before a long search, so that its result is never lost at the end.
bool checkWritable(const std::string& path, std::string& error);
// Writes through a temporary file and a rename, so a crash never leaves half a wheel.
bool writeWheelFile(const std::string& path, const WheelFile& wheel, std::string& error);

// Every wheel file under `folder` (recursively, files ending ".txt"), in the
// catalogue's order: by pick, type ("a" before "k"), v, then ticket count
// ascending (the order in which the survey lists them), then formula.
// Also checks that each file lies at the path wheelFileName gives for its
// header and that no wheel appears twice. Stops at the first bad file.
struct CatalogueEntry {
  std::string path;
  WheelFile wheel;
};
bool readWheelFolder(const std::string& folder, std::vector<CatalogueEntry>& entries,
                     std::string& error);
