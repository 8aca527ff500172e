#include "tools/tomedb/tomedbtool.h"

#include <ostream>
#include <string_view>

#include "tomedb/TomeDB.h"
#include "tools/tomedb-create/createdb.h"

namespace {

constexpr const char* kUsage =
    "Usage: tomedb tables FILE [--password P]\n"
    "       tomedb schema FILE TABLE [--password P]\n"
    "       tomedb dump FILE TABLE [--index NAME] [--filter EXPR] [--password P] [--format csv|tsv]\n"
    "       tomedb append FILE TABLE [--password P] VALUE...\n"
    "       tomedb check FILE [--password P]\n";

constexpr const char* kHelp =
    "\n"
    "Inspects and scripts database files through the engine.\n"
    "\n"
    "  tables   the names of the file's tables, one per line, in file order\n"
    "  schema   the table's fields (name, type, size) and indexes (key fields,\n"
    "           options), in the schema language of tomedb-create\n"
    "  dump     a header line of field names, then one line per record in the\n"
    "           order of --index (stored order without it), fields in field\n"
    "           order; with --filter only the records the filter finds\n"
    "           (CSV by default, or TSV)\n"
    "  append   one record, values in field order (integers in decimal, dates\n"
    "           and times as the locale writes them); fields left out keep the\n"
    "           values of a new record\n"
    "  check    walks the file's table directory and every table's record tab,\n"
    "           index orders (against the records' keys) and records with their\n"
    "           blob values, and prints each problem found; changes nothing\n"
    "           (exit status 1 when there is a problem)\n"
    "\n"
    "A file protected by a password needs --password. Errors are printed with\n"
    "the engine's message; the exit status is then 1 (2 for wrong usage).\n";

struct TOptions {
  std::vector<std::string> positional;
  std::string password;
  bool hasPassword = false;
  std::string index;
  bool hasIndex = false;
  std::string filter;
  bool hasFilter = false;
  std::string format = "csv";
};

// A word of the schema language: quoted when it holds a blank, a quote, a
// backslash or starts with '#'.
std::string SchemaWord(const std::string& word) {
  bool plain = !word.empty() && word[0] != '#';
  for (char c : word)
    if (static_cast<unsigned char>(c) <= 32 || c == '"' || c == '\\') plain = false;
  if (plain) return word;
  std::string quoted = "\"";
  for (char c : word) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string HexText(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text = "0x";
  for (unsigned char c : bytes) {
    text += digits[c >> 4];
    text += digits[c & 15];
  }
  return text;
}

// The value of a field as the dump writes it: text for text-like fields,
// hexadecimal bytes for binary blobs.
std::string ValueText(TField& field) {
  if (field.IsBlob() && field.DataType() != ftMemo && field.DataType() != ftFmtMemo) {
    std::string bytes = field.AsString();
    return bytes.empty() ? std::string() : HexText(bytes);
  }
  return field.AsString();
}

void OpenTable(TTomeTable& table, const TOptions& options, const std::string& file, const std::string& name) {
  table.SetDatabaseName(file);
  if (options.hasPassword) table.SetPassword(options.password);
  table.SetTableName(name);
  table.SetReadOnly(true);
  table.Open();
}

int Tables(const TOptions& options, std::ostream& out) {
  TTomeDatabase database;
  database.SetDatabaseName(options.positional[1]);
  database.SetReadOnly(true);
  database.Open();
  // The table names need no password; one that is given must still be right.
  if (options.hasPassword) {
    database.SetPassword(options.password);
    database.CheckAccess();
  }
  for (int i = 0; i < database.TableDefs().Count(); ++i) out << database.TableDefs().Items(i)->Name() << "\n";
  return 0;
}

// One problem of a table, as check prints it.
void Problem(std::ostream& out, int& problems, const std::string& table, const std::string& text) {
  out << "table '" << table << "': " << text << "\n";
  ++problems;
}

// Called while `error` is handled. A file that another user holds or that
// refuses the password could not be checked: that ends the check with the
// error instead of counting it as a problem of the file's content.
void RethrowUnlessAboutTheFile(const EDatabaseError& error) {
  if (error.Kind() == ekLocked || error.Kind() == ekAccessDenied) throw;
}

// Every key order of `io` in order against its records' keys, no duplicate
// in a unique index, and every record (blob values included) readable.
void CheckTable(TTomeTableIO& io, std::ostream& out, int& problems) {
  const std::string& name = io.TableName();
  if (io.TornRecord() >= 0)
    Problem(out, problems, name,
            "record " + std::to_string(io.TornRecord()) +
                " is an append that stopped part-way; it is left out, and the next write removes it");
  if (io.RelinkCount() > 0)
    Problem(out, problems, name,
            std::to_string(io.RelinkCount()) +
                " record(s) missing from a key order (a write stopped part-way); the next write links them");
  TFieldBuffers buffers;
  for (int k = 0; k < io.FieldDefs().Count(); ++k)
    buffers.AddOwned(io.FieldDefs().Items(k)->FieldType(), io.FieldStoredSizeOf(k));
  const TRecordList& records = io.RecordListOf(0);
  for (int32_t p = 0; p < static_cast<int32_t>(records.size()); ++p) {
    try {
      io.ReadRecord(buffers, records, p);
      for (int k = 0; k < buffers.Count(); ++k)
        if (TMemoryStream* blob = buffers.Items(k).BlobStream) blob->Size();
    } catch (const EDatabaseError& e) {
      RethrowUnlessAboutTheFile(e);
      Problem(out, problems, name, "record " + std::to_string(records[static_cast<size_t>(p)].RecordNo) + ": " + e.what());
    }
  }
  for (int j = 0; j < io.IndexDefs().Count(); ++j) {
    const TTomeIndexDef* index = io.IndexDefs().Items(j);
    const bool unique = (index->Options() & tiUnique) || (index->Options() & tiPrimary);
    const TRecordList& order = io.RecordListOf(j + 1);
    for (size_t p = 1; p < order.size(); ++p) {
      try {
        // The later record's key sought in a list of the earlier one alone.
        io.ReadRecord(buffers, order, static_cast<int32_t>(p));
        int32_t position = -1;
        const int code = io.Search(buffers, TRecordList{order[p - 1]}, false, 0, j, position);
        const std::string pair =
            "records " + std::to_string(order[p - 1].RecordNo) + " and " + std::to_string(order[p].RecordNo);
        if (code < 0) Problem(out, problems, name, "index '" + index->Name() + "': " + pair + " are out of key order");
        if (code == 0 && unique)
          Problem(out, problems, name, "index '" + index->Name() + "': " + pair + " have the same unique key");
      } catch (const EDatabaseError& e) {
        RethrowUnlessAboutTheFile(e);
        Problem(out, problems, name, "index '" + index->Name() + "': " + e.what());
      }
    }
  }
}

int Check(const TOptions& options, std::ostream& out) {
  const std::string& file = options.positional[1];
  std::vector<std::string> names;
  {
    TTomeDatabase database;
    database.SetDatabaseName(file);
    database.SetReadOnly(true);
    database.Open();
    if (options.hasPassword) database.SetPassword(options.password);
    database.CheckAccess();
    for (int i = 0; i < database.TableDefs().Count(); ++i) names.push_back(database.TableDefs().Items(i)->Name());
  }
  int problems = 0;
  for (const std::string& name : names) {
    TTomeTable table;
    try {
      OpenTable(table, options, file, name);
      CheckTable(*table.TableIO(), out, problems);
    } catch (const EDatabaseError& e) {
      RethrowUnlessAboutTheFile(e);
      Problem(out, problems, name, e.what());
    }
  }
  if (problems == 0) out << file << ": " << names.size() << " tables, no problems found\n";
  return problems == 0 ? 0 : 1;
}

int Schema(const TOptions& options, std::ostream& out) {
  TTomeTable table;
  OpenTable(table, options, options.positional[1], options.positional[2]);
  TTomeTableIO& io = *table.TableIO();
  out << "table " << SchemaWord(io.TableName()) << "\n";
  for (int k = 0; k < io.FieldDefs().Count(); ++k) {
    const TTomeFieldDef* field = io.FieldDefs().Items(k);
    out << "  field " << SchemaWord(field->Name()) << " " << FieldTypeName(field->FieldType());
    const bool text = field->FieldType() == ftString || field->FieldType() == ftFixedChar;
    if (text || field->FieldSize() != 0) out << " " << field->FieldSize();
    if (field->ProcessMode() != 0) out << " plain";
    out << "\n";
  }
  for (int j = 0; j < io.IndexDefs().Count(); ++j) {
    const TTomeIndexDef* index = io.IndexDefs().Items(j);
    out << "  index " << SchemaWord(index->Name()) << " ";
    bool first = true;
    for (int32_t fieldIndex : index->FieldIndexes()) {
      if (!first) out << ",";
      first = false;
      out << SchemaWord(io.FieldDefs().Items(fieldIndex)->Name());
    }
    const TTDIndexOptions flags = index->Options();
    if (flags & tiPrimary) out << " primary";
    if (flags & tiUnique) out << " unique";
    if (flags & tiDescending) out << " descending";
    if (flags & tiCaseInsensitive) out << " caseinsensitive";
    out << "\n";
  }
  return 0;
}

int Dump(const TOptions& options, std::ostream& out, std::ostream& err) {
  TTomeTable table;
  table.SetDatabaseName(options.positional[1]);
  if (options.hasPassword) table.SetPassword(options.password);
  table.SetTableName(options.positional[2]);
  table.SetIndexName(options.index);
  table.SetReadOnly(true);
  table.Open();
  // The engine falls back to another order for an unknown index name; a
  // person asking for an order by name wants to hear about a typo.
  if (options.hasIndex && table.IndexDefs().IndexOf(options.index) < 0) {
    err << "tomedb: table '" << table.TableName() << "' has no index '" << options.index << "'\n";
    return 1;
  }
  const bool tsv = options.format == "tsv";
  auto field = [&](const std::string& value) { return tsv ? TsvField(value) : CsvField(value); };
  const char separator = tsv ? '\t' : ',';
  for (int i = 0; i < table.FieldCount(); ++i) out << (i ? std::string(1, separator) : "") << field(table.Fields()[i].FieldName());
  out << "\n";
  auto row = [&] {
    for (int i = 0; i < table.FieldCount(); ++i)
      out << (i ? std::string(1, separator) : "") << field(ValueText(table.Fields()[i]));
    out << "\n";
  };
  if (options.hasFilter) {
    table.SetFilter(options.filter);
    for (bool found = table.FindFirst(); found; found = table.FindNext()) row();
  } else {
    for (table.First(); !table.Eof(); table.Next()) row();
  }
  return 0;
}

int Append(const TOptions& options) {
  TTomeTable table;
  table.SetDatabaseName(options.positional[1]);
  if (options.hasPassword) table.SetPassword(options.password);
  table.SetTableName(options.positional[2]);
  table.Open();
  std::vector<Variant> values;
  for (size_t i = 3; i < options.positional.size(); ++i) values.emplace_back(options.positional[i]);
  table.AppendRecord(values);
  table.Database()->FileIO()->Flush();
  return 0;
}

}  // namespace

std::string CsvField(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string TsvField(const std::string& value) {
  std::string text;
  for (char c : value) {
    switch (c) {
      case '\t': text += "\\t"; break;
      case '\n': text += "\\n"; break;
      case '\r': text += "\\r"; break;
      case '\\': text += "\\\\"; break;
      default: text += c;
    }
  }
  return text;
}

int RunTomeDB(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TOptions options;
  bool valuesOnly = false;  // after "--" every word is a value
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (valuesOnly || a.size() < 2 || a[0] != '-' || (a[1] != '-' && a != "-h")) {
      // A single "-" or a negative number is a value.
      options.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      valuesOnly = true;
      continue;
    }
    if (a == "--help" || a == "-h") {
      out << kUsage << kHelp;
      return 0;
    }
    std::string name = a;
    std::string value;
    bool hasValue = false;
    if (size_t eq = a.find('='); eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      hasValue = true;
    }
    if (name != "--password" && name != "--index" && name != "--filter" && name != "--format") {
      err << "tomedb: unknown option '" << a << "'\n" << kUsage;
      return 2;
    }
    if (!hasValue) {
      if (i + 1 >= args.size()) {
        err << "tomedb: option '" << name << "' needs a value\n" << kUsage;
        return 2;
      }
      value = args[++i];
    }
    if (name == "--password") {
      options.password = value;
      options.hasPassword = true;
    } else if (name == "--index") {
      options.index = value;
      options.hasIndex = true;
    } else if (name == "--filter") {
      options.filter = value;
      options.hasFilter = true;
    } else {
      if (value != "csv" && value != "tsv") {
        err << "tomedb: unknown format '" << value << "' (csv or tsv)\n";
        return 2;
      }
      options.format = value;
    }
  }
  const std::vector<std::string>& p = options.positional;
  if (p.empty()) {
    err << kUsage;
    return 2;
  }
  const std::string& command = p[0];
  const bool known = command == "tables" || command == "schema" || command == "dump" || command == "append" ||
                     command == "check";
  if (!known) {
    err << "tomedb: unknown command '" << command << "'\n" << kUsage;
    return 2;
  }
  const bool arityOk = ((command == "tables" || command == "check") && p.size() == 2) ||
                       (command == "schema" && p.size() == 3) ||
                       (command == "dump" && p.size() == 3) || (command == "append" && p.size() >= 3);
  const bool optionsOk = (command == "dump" || (!options.hasIndex && !options.hasFilter)) &&
                         (command == "dump" || options.format == "csv");
  if (!arityOk || !optionsOk) {
    err << "tomedb: wrong arguments for '" << command << "'\n" << kUsage;
    return 2;
  }
  try {
    if (command == "tables") return Tables(options, out);
    if (command == "schema") return Schema(options, out);
    if (command == "dump") return Dump(options, out, err);
    if (command == "check") return Check(options, out);
    return Append(options);
  } catch (const EAbort&) {
    return 1;
  } catch (const std::exception& error) {
    err << "tomedb: " << error.what() << "\n";
    return 1;
  }
}
