#include "cli.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <exception>
#include <stdexcept>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/usercatalogue.h"
#include "numbers/selection.h"
#include "output/drawcheck.h"
#include "output/formats.h"
#include "output/ticketoutput.h"
#include "tomedb/TomeDB.h"
#include "wheelcore/winreport.h"
#include "wheels/tablecatalogue.h"
#include "wheels/ticketbuild.h"
#include "wheels/wheelentry.h"

namespace cli {
namespace {

// Input that cannot be used: exit status 2.
struct BadInput : std::runtime_error {
  explicit BadInput(const QString& why) : std::runtime_error(why.toStdString()) {}
};

std::ostream& operator<<(std::ostream& out, const QString& text) { return out << text.toStdString(); }

const char kUsage[] =
    "Usage: numerion-cli [--catalogue FILE] COMMAND [OPTIONS]\n"
    "The lotteries, wheels and tickets of the Numerion catalogue.\n"
    "\n"
    "Commands:\n"
    "  countries      the countries of the catalogue\n"
    "  lotteries      the lotteries of one country\n"
    "  wheels         the wheels offered for a count of chosen numbers\n"
    "  tickets        the tickets of a wheel over chosen numbers\n"
    "  report         a wheel's win table and its chances per draw\n"
    "  check          the hits of the tickets of a ticket file in a draw\n"
    "\n"
    "numerion-cli COMMAND --help tells more of each. Without --catalogue the\n"
    "catalogue data.dat is found as the wizard finds it.\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 bad input.\n";

const char kSelectionHelp[] =
    "  --country C        the country, as the wizard lists it\n"
    "  --lottery L        the lottery's name\n"
    "  --numbers N,N,...  the chosen numbers in the order chosen; the first\n"
    "                     is the key of a key wheel\n"
    "  --wheel FORMULA    a formula page 3 offers for them, such as 4if5\n"
    "  --type a|k         abbreviated (a, the default) or key (k) wheels\n";

struct Command {
  const char* name;
  QStringList options;  // the options taking a value
  const char* help;
};

const std::vector<Command>& commands() {
  static const std::vector<Command> list = {
      {"countries", {}, "Usage: numerion-cli countries\nThe countries of the catalogue, one per line, as page 1 lists them.\n"},
      {"lotteries",
       {"country"},
       "Usage: numerion-cli lotteries --country C\n"
       "The lotteries of country C, one per line: name, From and Match, separated\n"
       "by tabs.\n"},
      {"wheels",
       {"country", "lottery", "count", "type"},
       "Usage: numerion-cli wheels --country C --lottery L --count N [--type a|k]\n"
       "The wheel entries page 3 offers for N chosen numbers, one per line.\n"},
      {"tickets",
       {"country", "lottery", "numbers", "wheel", "type", "format", "out"},
       nullptr},
      {"report", {"country", "lottery", "numbers", "wheel", "type", "format"}, nullptr},
      {"check",
       {"tickets", "draw", "country", "lottery"},
       "Usage: numerion-cli check --tickets FILE --draw N,N,... [--country C --lottery L]\n"
       "The hits of every ticket of FILE (one ticket per line, in any of the\n"
       "eight formats, as the wizard saves them) in the draw: one line per\n"
       "ticket with its number, the ticket and its hits, then a line that sums\n"
       "them up. The draw must hold as many numbers as a ticket, each once;\n"
       "with a lottery, each from 1 to its From, else from 1 to 100.\n"},
  };
  return list;
}

QString helpOf(const Command& command) {
  const QString name = QString::fromLatin1(command.name);
  if (name == QLatin1String("tickets"))
    return QStringLiteral(
               "Usage: numerion-cli tickets --country C --lottery L --numbers N,N,... --wheel FORMULA\n"
               "                            [--type a|k] [--format 1..8] [--out FILE]\n"
               "The tickets of the wheel over the chosen numbers exactly as the wizard\n"
               "builds them, one per line.\n") +
           QString::fromLatin1(kSelectionHelp) +
           QStringLiteral(
               "  --format 1..8      the wizard's output formats: 1 \"1 2 3\", 2 \"01 02 03\",\n"
               "                     3 \"1-2-3\", 4 \"01-02-03\", 5 \"1,2,3\", 6 \"01,02,03\",\n"
               "                     7 \"1, 2, 3\", 8 \"01, 02, 03\" (default 1)\n"
               "  --out FILE         write the tickets to FILE as the wizard saves them\n");
  if (name == QLatin1String("report"))
    return QStringLiteral(
               "Usage: numerion-cli report --country C --lottery L --numbers N,N,... --wheel FORMULA\n"
               "                           [--type a|k] [--format text|tsv]\n"
               "The wheel's win table: for h of the drawn numbers among the chosen ones,\n"
               "in how many of the ways they can lie the best ticket holds exactly j;\n"
               "the tickets with at least j at worst and on average; and the chance per\n"
               "draw of each prize level beside as many random tickets. A key wheel's\n"
               "tables are given with the key drawn and not drawn.\n") +
           QString::fromLatin1(kSelectionHelp) +
           QStringLiteral(
               "  --format text|tsv  for reading (default) or tab-separated lines: one line\n"
               "                     per (h, j) as drawn_among_chosen, best_hits, ways, then\n"
               "                     the ticket counts and the chance lines\n");
  return QString::fromLatin1(command.help);
}

struct Arguments {
  const Command* command = nullptr;
  QMap<QString, QString> values;
  bool help = false;
  QString catalogueFile;
};

Arguments parse(const QStringList& arguments) {
  Arguments parsed;
  QStringList rest;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
      parsed.help = true;
      continue;
    }
    if (!argument.startsWith(QLatin1String("--"))) {
      if (parsed.command != nullptr) throw BadInput(QStringLiteral("unexpected argument \"%1\"").arg(argument));
      for (const Command& command : commands())
        if (argument == QLatin1String(command.name)) parsed.command = &command;
      if (parsed.command == nullptr)
        throw BadInput(QStringLiteral("unknown command \"%1\" (see numerion-cli --help)").arg(argument));
      continue;
    }
    QString name = argument.mid(2), value;
    const qsizetype equals = name.indexOf(QLatin1Char('='));
    if (equals >= 0) {
      value = name.mid(equals + 1);
      name = name.left(equals);
    } else {
      if (i + 1 >= arguments.size()) throw BadInput(QStringLiteral("--%1 needs a value").arg(name));
      value = arguments[++i];
    }
    if (name == QLatin1String("catalogue"))
      parsed.catalogueFile = value;
    else
      rest << name << value;
  }
  if (parsed.command == nullptr) {
    if (parsed.help) return parsed;
    throw BadInput(QStringLiteral("no command given (see numerion-cli --help)"));
  }
  for (qsizetype i = 0; i < rest.size(); i += 2) {
    if (!parsed.command->options.contains(rest[i]))
      throw BadInput(QStringLiteral("%1 takes no option --%2 (see numerion-cli %1 --help)")
                         .arg(QLatin1String(parsed.command->name), rest[i]));
    if (parsed.values.contains(rest[i])) throw BadInput(QStringLiteral("--%1 is given twice").arg(rest[i]));
    parsed.values[rest[i]] = rest[i + 1];
  }
  return parsed;
}

QString required(const Arguments& arguments, const char* name) {
  const QString key = QString::fromLatin1(name);
  if (!arguments.values.contains(key))
    throw BadInput(QStringLiteral("%1 needs --%2").arg(QLatin1String(arguments.command->name), key));
  return arguments.values[key];
}

int wholeNumber(const QString& text, const QString& what) {
  bool ok = false;
  const int value = text.toInt(&ok);
  if (!ok || trimText(text) != text || text.startsWith(QLatin1Char('+')))
    throw BadInput(QStringLiteral("%1 \"%2\" is not a whole number").arg(what, text));
  return value;
}

// The catalogue's database and its four tables, open for the life of the
// object, in a session of their own: a wizard in the same process (the
// tests) keeps its database of the same name in the default session.
class Catalogue {
 public:
  explicit Catalogue(const QString& file) : wheelCatalogue(&wheels, &survey) {
    session.SetSessionName("numerion-cli");
    database.SetName("catalogue");
    database.SetSessionName("numerion-cli");
    for (TTomeTable* table : {&country, &lottery, &wheels, &survey}) table->SetSessionName("numerion-cli");
    catalogue::openTables(database, country, lottery, wheels, survey, file);
  }
  ~Catalogue() {
    try {
      database.Close();
    } catch (const std::exception&) {
      // Only read from; nothing to lose.
    }
  }

  QStringList countries() {
    QStringList names;
    country.First();
    const int count = country.RecordCount();
    for (int i = 0; i < count; ++i, country.Next())
      names << QString::fromStdString(country.FieldByName("country").AsString());
    return names;
  }

  struct Lottery {
    QString name;
    int from = 0;
    int match = 0;
  };
  std::vector<Lottery> lotteries(const QString& countryName) {
    std::vector<Lottery> found;
    lottery.SetFilter(lotteriesOfCountryFilter(countryName).toStdString());
    for (bool more = lottery.FindFirst(); more; more = lottery.FindNext()) {
      // As the wizard's list: exactly the country asked for.
      if (QString::fromStdString(lottery.FieldByName("country").AsString()) != trimText(countryName)) continue;
      found.push_back({QString::fromStdString(lottery.FieldByName("lotteryname").AsString()),
                       lottery.FieldByName("from").AsInteger(), lottery.FieldByName("match").AsInteger()});
    }
    return found;
  }

  TTomeSession session;
  TTomeDatabase database;
  TTomeTable country, lottery, wheels, survey;
  TableWheelCatalogue wheelCatalogue;
};

QString catalogueFile(const Arguments& arguments, const QString& programFolder, std::ostream& err) {
  if (!arguments.catalogueFile.isEmpty()) {
    if (!QFileInfo(arguments.catalogueFile).isFile())
      throw BadInput(QStringLiteral("there is no catalogue file \"%1\"").arg(arguments.catalogueFile));
    return arguments.catalogueFile;
  }
  QString warning;
  const QString file = catalogue::catalogueToOpen(catalogue::catalogueFiles(programFolder), warning);
  if (!warning.isEmpty()) err << "numerion-cli: " << warning << "\n";
  return file;
}

Catalogue::Lottery findLottery(Catalogue& catalogue, const QString& country, const QString& name) {
  if (!catalogue.countries().contains(trimText(country)))
    throw BadInput(QStringLiteral("unknown country \"%1\" (numerion-cli countries lists them)").arg(country));
  for (const Catalogue::Lottery& lottery : catalogue.lotteries(country))
    if (lottery.name == name) {
      if (lottery.from < 1 || lottery.from > 100 || lottery.match < 1 || lottery.match >= lottery.from)
        throw BadInput(QStringLiteral("the lottery \"%1\" draws %2 from %3, which the wizard cannot play")
                           .arg(name)
                           .arg(lottery.match)
                           .arg(lottery.from));
      return lottery;
    }
  throw BadInput(QStringLiteral("unknown lottery \"%1\" in %2 (numerion-cli lotteries --country \"%2\" lists them)")
                     .arg(name, country));
}

QString wheelType(const Arguments& arguments) {
  const QString type = arguments.values.value(QStringLiteral("type"), QStringLiteral("a"));
  if (type != QLatin1String("a") && type != QLatin1String("k"))
    throw BadInput(QStringLiteral("--type is a (abbreviated) or k (key), not \"%1\"").arg(type));
  return type;
}

// The chosen numbers as the board writes them, checked as the board and
// page 2 check them.
QStringList chosenNumbers(const QString& text, const Catalogue::Lottery& lottery) {
  QStringList chosen;
  QSet<int> seen;
  for (const QString& token : text.split(QLatin1Char(','))) {
    const int number = wholeNumber(trimText(token), QStringLiteral("the number"));
    if (number < 1 || number > lottery.from)
      throw BadInput(QStringLiteral("the number %1 is outside 1 to %2 of %3").arg(number).arg(lottery.from).arg(lottery.name));
    if (seen.contains(number)) throw BadInput(QStringLiteral("the number %1 is chosen twice").arg(number));
    seen.insert(number);
    chosen << boardText(number);
  }
  if (chosen.size() < lottery.match + 1)
    throw BadInput(QStringLiteral("%1 numbers are too few: %2 puts %3 numbers on a ticket, so a wheel needs at least %4")
                       .arg(chosen.size())
                       .arg(lottery.name)
                       .arg(lottery.match)
                       .arg(lottery.match + 1));
  return chosen;
}

// The wheel entry the wizard would build from: the first offered entry of
// the formula.
WheelChoice offeredWheel(Catalogue& catalogue, const Catalogue::Lottery& lottery, const QString& type, int count,
                         const QString& formula) {
  QStringList offered;
  for (const WheelSurveyRow& row : catalogue.wheelCatalogue.surveyEntries(lottery.match, type, count)) {
    if (row.xyoption == formula) return {lottery.match, type, formula, count, row.ticket};
    offered << row.xyoption;
  }
  const QString kind = type == QLatin1String("a") ? QStringLiteral("abbreviated") : QStringLiteral("key");
  if (offered.isEmpty())
    throw BadInput(QStringLiteral("no %1 wheel is offered for %2 chosen numbers in %3").arg(kind).arg(count).arg(lottery.name));
  throw BadInput(QStringLiteral("the %1 wheel \"%2\" is not offered for %3 chosen numbers in %4; offered: %5")
                     .arg(kind, formula)
                     .arg(count)
                     .arg(lottery.name, offered.join(QStringLiteral(", "))));
}

struct Selection {
  Catalogue::Lottery lottery;
  QString type;
  QStringList chosen;
  WheelChoice wheel;
};

Selection selectionOf(Catalogue& catalogue, const Arguments& arguments) {
  Selection s;
  s.lottery = findLottery(catalogue, required(arguments, "country"), required(arguments, "lottery"));
  s.type = wheelType(arguments);
  s.chosen = chosenNumbers(required(arguments, "numbers"), s.lottery);
  s.wheel = offeredWheel(catalogue, s.lottery, s.type, static_cast<int>(s.chosen.size()), required(arguments, "wheel"));
  return s;
}

int countries(Catalogue& catalogue, std::ostream& out) {
  for (const QString& name : catalogue.countries()) out << name << "\n";
  return kOk;
}

int lotteries(Catalogue& catalogue, const Arguments& arguments, std::ostream& out) {
  const QString country = required(arguments, "country");
  if (!catalogue.countries().contains(trimText(country)))
    throw BadInput(QStringLiteral("unknown country \"%1\" (numerion-cli countries lists them)").arg(country));
  for (const Catalogue::Lottery& lottery : catalogue.lotteries(country))
    out << lottery.name << "\t" << lottery.from << "\t" << lottery.match << "\n";
  return kOk;
}

int wheels(Catalogue& catalogue, const Arguments& arguments, std::ostream& out) {
  const Catalogue::Lottery lottery = findLottery(catalogue, required(arguments, "country"), required(arguments, "lottery"));
  const QString type = wheelType(arguments);
  const int count = wholeNumber(required(arguments, "count"), QStringLiteral("--count"));
  if (count < lottery.match + 1 || count > lottery.from)
    throw BadInput(QStringLiteral("--count must lie from %1 to %2 for %3, not %4")
                       .arg(lottery.match + 1)
                       .arg(lottery.from)
                       .arg(lottery.name)
                       .arg(count));
  for (const WheelSurveyRow& row : catalogue.wheelCatalogue.surveyEntries(lottery.match, type, count))
    out << wheelEntryText(row.xyoption, QString::number(row.ticket)) << "\n";
  return kOk;
}

std::vector<BuiltTicket> built(Catalogue& catalogue, const Selection& s, const TicketFormat& format) {
  try {
    return buildWheelTickets(catalogue.wheelCatalogue, s.wheel, s.chosen, format.separator, format.zeropad);
  } catch (const TicketBuildError& error) {
    throw std::runtime_error(error.what());
  }
}

int tickets(Catalogue& catalogue, const Arguments& arguments, std::ostream& out, std::ostream& err) {
  const Selection s = selectionOf(catalogue, arguments);
  const QString formatText = arguments.values.value(QStringLiteral("format"), QStringLiteral("1"));
  bool ok = false;
  const std::optional<TicketFormat> format = ticketFormat(formatText.toInt(&ok));
  if (!ok || !format) throw BadInput(QStringLiteral("--format is a number from 1 to 8, not \"%1\"").arg(formatText));
  QStringList texts;
  for (const BuiltTicket& ticket : built(catalogue, s, *format)) texts << ticket.text;
  if (arguments.values.contains(QStringLiteral("out"))) {
    const QString failure = saveTicketFile(arguments.values[QStringLiteral("out")], texts);
    if (!failure.isEmpty()) {
      err << "numerion-cli: " << failure << "\n";
      return kFailure;
    }
    return kOk;
  }
  for (const QString& text : texts) out << text << "\n";
  return kOk;
}

int report(Catalogue& catalogue, const Arguments& arguments, std::ostream& out) {
  const Selection s = selectionOf(catalogue, arguments);
  const QString style = arguments.values.value(QStringLiteral("format"), QStringLiteral("text"));
  if (style != QLatin1String("text") && style != QLatin1String("tsv"))
    throw BadInput(QStringLiteral("--format is text or tsv, not \"%1\"").arg(style));
  const int v = static_cast<int>(s.chosen.size());
  std::vector<uint64_t> masks;
  for (const BuiltTicket& ticket : built(catalogue, s, *ticketFormat(1))) {
    uint64_t mask = 0;
    for (int position : ticket.positions) mask |= uint64_t{1} << (position - 1);
    masks.push_back(mask);
  }
  const std::string problem = wheelReportProblem(s.lottery.from, v, s.lottery.match, masks, s.type == QLatin1String("k"));
  if (!problem.empty()) throw std::runtime_error("the wheel cannot be counted: " + problem);
  const std::optional<WheelReport> result =
      computeWheelReport(s.lottery.from, v, s.lottery.match, masks, s.type == QLatin1String("k"));
  out << (style == QLatin1String("tsv") ? reportTsv(*result) : reportText(*result));
  return kOk;
}

int check(const Arguments& arguments, const QString& programFolder, std::ostream& out, std::ostream& err) {
  const QString path = required(arguments, "tickets");
  const QString drawText = required(arguments, "draw");
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    err << "numerion-cli: the ticket file \"" << path << "\" cannot be read: " << file.errorString() << "\n";
    return kFailure;
  }
  QList<QString> texts;
  QList<QList<int>> tickets;
  int line = 0;
  for (const QByteArray& raw : file.readAll().split('\n')) {
    ++line;
    const QString text = trimText(QString::fromUtf8(raw));
    if (text.isEmpty()) continue;
    const std::optional<QList<int>> numbers = ticketNumbers(text);
    if (!numbers) throw BadInput(QStringLiteral("line %1 of \"%2\" is not a ticket: \"%3\"").arg(line).arg(path, text));
    if (!tickets.isEmpty() && numbers->size() != tickets.first().size())
      throw BadInput(QStringLiteral("line %1 of \"%2\" holds %3 numbers, the tickets before it %4")
                         .arg(line)
                         .arg(path)
                         .arg(numbers->size())
                         .arg(tickets.first().size()));
    texts << text;
    tickets << *numbers;
  }
  if (tickets.isEmpty()) throw BadInput(QStringLiteral("\"%1\" holds no tickets").arg(path));
  int from = 100;
  if (arguments.values.contains(QStringLiteral("country")) || arguments.values.contains(QStringLiteral("lottery"))) {
    Catalogue catalogue(catalogueFile(arguments, programFolder, err));
    from = findLottery(catalogue, required(arguments, "country"), required(arguments, "lottery")).from;
  }
  QList<int> draw;
  const QString problem = drawProblem(drawText, static_cast<int>(tickets.first().size()), from, draw);
  if (!problem.isEmpty()) throw BadInput(QStringLiteral("the draw \"%1\": %2").arg(drawText, problem));
  QList<int> hits;
  for (qsizetype i = 0; i < tickets.size(); ++i) {
    hits << hitsOf(tickets[i], draw);
    out << (i + 1) << "\t" << texts[i] << "\t" << hitsText(hits.last()) << "\n";
  }
  out << hitsSummary(hits) << "\n";
  return kOk;
}

}  // namespace

int run(const QStringList& arguments, const QString& programFolder, std::ostream& out, std::ostream& err) {
  try {
    const Arguments parsed = parse(arguments);
    if (parsed.help) {
      out << (parsed.command != nullptr ? helpOf(*parsed.command) : QString::fromLatin1(kUsage));
      return kOk;
    }
    const QString name = QString::fromLatin1(parsed.command->name);
    if (name == QLatin1String("check")) return check(parsed, programFolder, out, err);
    Catalogue catalogue(catalogueFile(parsed, programFolder, err));
    if (name == QLatin1String("countries")) return countries(catalogue, out);
    if (name == QLatin1String("lotteries")) return lotteries(catalogue, parsed, out);
    if (name == QLatin1String("wheels")) return wheels(catalogue, parsed, out);
    if (name == QLatin1String("tickets")) return tickets(catalogue, parsed, out, err);
    return report(catalogue, parsed, out);
  } catch (const BadInput& error) {
    err << "numerion-cli: " << error.what() << "\n";
    return kBadInput;
  } catch (const std::exception& error) {
    err << "numerion-cli: " << error.what() << "\n";
    return kFailure;
  }
}

}  // namespace cli
