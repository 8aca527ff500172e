#pragma once
// The tomedb command: inspects and scripts database files through the engine.
//
//   tomedb tables FILE [--password P]
//   tomedb schema FILE TABLE [--password P]
//   tomedb dump FILE TABLE [--index NAME] [--filter EXPR] [--password P] [--format csv|tsv]
//   tomedb append FILE TABLE [--password P] VALUE...
//
// Errors print the engine's message on the error stream and give a non-zero
// exit status. Runs on the calling thread; no shared state.

#include <iosfwd>
#include <string>
#include <vector>

// Text of one value in CSV (RFC 4180: quoted when it holds a comma, a quote
// or a line break, quotes doubled) or TSV (tab, line breaks and backslash
// written as \t, \n, \r and \\).
std::string CsvField(const std::string& value);
std::string TsvField(const std::string& value);

// Runs the command with its arguments (without the program name). Returns
// the exit status: 0 success, 1 failure, 2 wrong usage.
int RunTomeDB(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
