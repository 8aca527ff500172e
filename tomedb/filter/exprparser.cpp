#include "tomedb/filter/exprparser.h"

#include <cstring>
#include <limits>

#include "core/errors.h"
#include "core/locale.h"

namespace {

// Longest string constant kept; further characters are read and dropped.
constexpr size_t kMaxStringConstant = 256;

bool IsBlank(char c) { return c >= 1 && c <= 32; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsHighByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = char(x - 32);
    if (y >= 'a' && y <= 'z') y = char(y - 32);
    if (x != y) return false;
  }
  return true;
}

const char* const kFunctionNames[] = {"UPPER", "LOWER", "SUBSTRING", "TRIM", "TRIMLEFT", "TRIMRIGHT", "YEAR",
                                      "MONTH", "DAY",   "HOUR",      "MINUTE", "SECOND", "GETDATE"};

// ---- The engine's own date-time readers ----

struct Reader {
  std::string_view text;
  size_t pos = 0;

  void SkipBlanks() {
    while (pos < text.size() && static_cast<unsigned char>(text[pos]) <= 32) ++pos;
  }
  bool AtEnd() const { return pos >= text.size(); }
  bool Take(char c) {
    SkipBlanks();
    if (pos < text.size() && text[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  // Digits until the value has reached 1000 (at most 9999 then); leading
  // zeros do not count towards it, so '02005' is 2005. `digits` counts every
  // digit read.
  bool Number(int& value, int& digits) {
    SkipBlanks();
    value = 0;
    digits = 0;
    while (pos < text.size() && IsDigit(text[pos]) && value < 1000) {
      value = value * 10 + (text[pos] - '0');
      ++digits;
      ++pos;
    }
    return digits > 0;
  }
  bool Word(std::string_view word) {
    SkipBlanks();
    if (word.empty() || text.size() - pos < word.size() || !SameWord(text.substr(pos, word.size()), word))
      return false;
    pos += word.size();
    return true;
  }
  // 1 for an AM marker, 2 for PM, 0 for none.
  int Marker() {
    const TLocaleSettings& s = LocaleSettings();
    if (Word(s.TimeAMString) || Word("AM")) return 1;
    if (Word(s.TimePMString) || Word("PM")) return 2;
    return 0;
  }

  bool Date(int32_t& dayNumber) {
    int month, day, year, digits;
    if (!Number(month, digits) || !Take('/') || !Number(day, digits) || !Take('/') || !Number(year, digits))
      return false;
    if (digits <= 2) year = ExpandTwoDigitYear(year);
    return TryEncodeDate(year, month, day, dayNumber);
  }

  bool Time(int32_t& msecs) {
    int marker = Marker();
    int hour, minute = 0, second = 0, msec = 0, digits;
    if (!Number(hour, digits)) return false;
    if (Take(':')) {
      if (!Number(minute, digits)) return false;
      if (Take(':')) {
        if (!Number(second, digits)) return false;
        if (Take(LocaleSettings().DecimalSeparator) && !Number(msec, digits)) return false;
      }
    }
    if (marker == 0) marker = Marker();
    if (marker != 0) {
      if (hour < 1 || hour > 12) return false;
      if (hour == 12) hour = 0;
      if (marker == 2) hour += 12;
    }
    SkipBlanks();
    return TryEncodeTime(hour, minute, second, msec, msecs);
  }
};

}  // namespace

bool ReadFilterDate(std::string_view text, int32_t& dayNumber) {
  Reader r{text};
  if (!r.Date(dayNumber)) return false;
  r.SkipBlanks();
  return r.AtEnd();
}

bool ReadFilterTime(std::string_view text, int32_t& msecs) {
  Reader r{text};
  return r.Time(msecs) && r.AtEnd();
}

bool ReadFilterDateTime(std::string_view text, double& msecs) {
  Reader r{text};
  int32_t day = 0, time = 0;
  if (r.Date(day)) {
    r.SkipBlanks();
    if (r.AtEnd() || (r.Time(time) && r.AtEnd())) {
      msecs = double(day) * MSecsPerDay + time;
      return true;
    }
  }
  r.pos = 0;
  if (r.Time(time) && r.AtEnd()) {
    msecs = time;
    return true;
  }
  return false;
}

TExprFunction FilterFunctionNumber(std::string_view name) {
  for (size_t i = 0; i < std::size(kFunctionNames); ++i)
    if (SameWord(name, kFunctionNames[i])) return static_cast<TExprFunction>(i + 1);
  return fnNone;
}

namespace {

bool IsStringConstant(const TExprNode* n) { return n->Kind == enConst && n->DataType == ftString; }

bool ReadsAsDateTime(const TExprNode* n) {
  double ms;
  std::string_view text = n->Text();
  return ReadFilterDateTime(text, ms) || TryTextToDateTime(text, ms);
}

// Turns a string constant into a constant of the date-time type `type`; the
// locale's conversion error passes on when neither reader takes the text.
void ConvertToDateTime(TExprNodes& nodes, TExprNode* n, TFieldType type) {
  const std::string text(n->Text());
  n->PartialLength = -1;
  n->DataType = type;
  n->SetDataSize(ExprValueSize(type, 0));
  char* out = n->Buffer.get();
  if (type == ftDate) {
    int32_t day;
    if (!ReadFilterDate(text, day)) day = TextToDate(text);
    std::memcpy(out, &day, sizeof day);
  } else if (type == ftTime) {
    int32_t ms;
    if (!ReadFilterTime(text, ms)) ms = TextToTime(text);
    std::memcpy(out, &ms, sizeof ms);
  } else {
    double ms;
    if (!ReadFilterDateTime(text, ms)) ms = TextToDateTime(text);
    std::memcpy(out, &ms, sizeof ms);
  }
  (void)nodes;
}

int NumericRank(TFieldType t) {
  switch (t) {
    case ftSmallint: return 1;
    case ftWord: return 2;
    case ftInteger:
    case ftAutoInc: return 3;
    case ftLargeint: return 4;
    case ftFloat: return 5;
    case ftCurrency: return 6;
    default: return 0;
  }
}

}  // namespace

// ---- TSyntaxParserBase ----

void TSyntaxParserBase::NextToken() {
  fPrevToken = fToken;
  fTokenString.clear();
  SkipBlanks();
  fTokenStart = fPosition;
  ScanToken();
}

void TSyntaxParserBase::SkipBlanks() {
  while (IsBlank(CharAt(fPosition))) ++fPosition;
  if (CharAt(fPosition) == '/' && CharAt(fPosition + 1) == '*') {
    // A comment runs to the first "*"; it has to be the one of "*/".
    fPosition += 2;
    while (CharAt(fPosition) != '\0' && CharAt(fPosition) != '*') ++fPosition;
    if (CharAt(fPosition) == '*' && CharAt(fPosition + 1) == '/') {
      fPosition += 2;
    } else {
      const char c = CharAt(fPosition);
      DatabaseErrorFmt(ekFilterSyntax, "Invalid filter expression character: '%s'", {std::string_view(&c, c ? 1 : 0)});
    }
  }
  while (IsBlank(CharAt(fPosition))) ++fPosition;
}

std::string TSyntaxParserBase::TokenDescription() const {
  if (fToken == etEnd) return "nothing";
  return "'" + fTokenString + "'";
}

// ---- TExprParserBase ----

TExprParserBase::TExprParserBase() : fNodes(new TExprNodes(this)) {}

TExprParserBase::~TExprParserBase() { delete fNodes; }

bool TExprParserBase::IsFunction(std::string_view) const { return false; }

TFieldType TExprParserBase::GetFuncDataType(const std::string& name) const {
  TExprFunction f = FilterFunctionNumber(name);
  if (f >= fnYear && f <= fnSecond) return ftInteger;
  if (f == fnGetDate) return ftDateTime;
  return ftUnknown;
}

bool TExprParserBase::TokenIsWord(std::string_view word) const {
  return fToken == etName && SameWord(fTokenString, word);
}

void TExprParserBase::TypeMismatch() const { DatabaseError(ekFilterSyntax, "Type mismatch in expression"); }

void TExprParserBase::Parse(const std::string& text) {
  fNodes->Clear();
  fText = text;
  fPosition = 0;
  fTokenStart = 0;
  fToken = fPrevToken = etEnd;
  fNesting = 0;
  NextToken();
  TExprNode* root = ParseExpression();
  CheckTermination();
  fNodes->Root = root;
}

void TExprParserBase::CheckTermination() {
  if (fToken != etEnd) DatabaseError(ekFilterSyntax, "Filter expression incorrectly terminated");
}

bool TExprParserBase::Calculate(TFilterOptions options) {
  if (!fNodes->Root) DatabaseError(ekGeneral, "General error");
  fFilterOptions = options;
  fNodes->Evaluate(fNodes->Root, options);
  return fNodes->Root->Boolean();
}

TExprNode* TExprParserBase::NewNode(TExprNodeKind kind, TExprOperator op, TFieldType type, TExprNode* left,
                                    TExprNode* right) {
  TExprNode* node = fNodes->NewNode(kind, op, type, left, right);
  if (node->Depth > kMaxFilterTreeDepth)
    DatabaseErrorFmt(ekFilterSyntax, "Filter expression is nested more than %s levels deep",
                     {std::to_string(kMaxFilterTreeDepth)});
  if (!IsTextType(type) && type != ftUnknown) node->SetDataSize(ExprValueSize(type, 0));
  return node;
}

TExprNode* TExprParserBase::ParseExpression() {
  if (++fNesting > kMaxFilterNesting)
    DatabaseErrorFmt(ekFilterSyntax, "Filter expression is nested more than %s levels deep",
                     {std::to_string(kMaxFilterNesting)});
  TExprNode* left = ParseConjunction();
  while (TokenIsWord("OR")) {
    NextToken();
    TExprNode* right = ParseConjunction();
    if (left->DataType != ftBoolean || right->DataType != ftBoolean) TypeMismatch();
    left = NewNode(enOperator, coOR, ftBoolean, left, right);
  }
  --fNesting;
  return left;
}

TExprNode* TExprParserBase::ParseConjunction() {
  TExprNode* left = ParseNegation();
  while (TokenIsWord("AND")) {
    NextToken();
    TExprNode* right = ParseNegation();
    if (left->DataType != ftBoolean || right->DataType != ftBoolean) TypeMismatch();
    left = NewNode(enOperator, coAND, ftBoolean, left, right);
  }
  return left;
}

TExprNode* TExprParserBase::ParseNegation() {
  if (!TokenIsWord("NOT")) return ParseComparison();
  NextToken();
  TExprNode* operand = ParseComparison();
  if (operand->DataType != ftBoolean) TypeMismatch();
  return NewNode(enOperator, coNOT, ftBoolean, operand, nullptr);
}

TExprNode* TExprParserBase::ParseComparison() {
  TExprNode* left = ParseSum();
  TExprOperator op = coNone;
  switch (fToken) {
    case etEQ: op = coEQ; break;
    case etNE: op = coNE; break;
    case etGE: op = coGE; break;
    case etLE: op = coLE; break;
    case etGT: op = coGT; break;
    case etLT: op = coLT; break;
    case etLIKE: {
      NextToken();
      TExprNode* right = ParseSum();
      if (!IsTextType(left->DataType) || !IsTextType(right->DataType)) TypeMismatch();
      return NewNode(enOperator, coLIKE, ftBoolean, left, right);
    }
    case etIN: {
      NextToken();
      if (fToken != etLParen) DatabaseErrorFmt(ekFilterSyntax, "'(' expected but %s found", {TokenDescription()});
      NextToken();
      if (fToken == etRParen) DatabaseError(ekFilterSyntax, "IN predicate list may not be empty");
      TExprNode* node = NewNode(enOperator, coIN, ftBoolean, left, nullptr);
      for (;;) {
        TExprNode* item = ParseExpression();
        CheckInItem(left, item);
        node->Args.push_back(item);
        if (item->Depth >= node->Depth) node->Depth = item->Depth + 1;
        if (fToken == etComma) {
          NextToken();
        } else if (fToken == etRParen) {
          break;
        } else if (fToken == etEnd) {
          DatabaseErrorFmt(ekFilterSyntax, "')' expected but %s found", {TokenDescription()});
        } else {
          DatabaseErrorFmt(ekFilterSyntax, "')' or ',' expected but %s found", {TokenDescription()});
        }
      }
      if (node->Depth > kMaxFilterTreeDepth)
        DatabaseErrorFmt(ekFilterSyntax, "Filter expression is nested more than %s levels deep",
                         {std::to_string(kMaxFilterTreeDepth)});
      NextToken();
      return node;
    }
    default: return left;
  }
  NextToken();
  TExprNode* right = ParseSum();
  CheckComparison(op, left, right);
  return NewNode(enOperator, op, ftBoolean, left, right);
}

void TExprParserBase::CheckComparison(TExprOperator op, TExprNode* left, TExprNode* right) {
  const TFieldType lt = left->DataType, rt = right->DataType;
  if (IsNumericType(lt)) {
    if (!IsNumericType(rt)) TypeMismatch();
  } else if (IsDateTimeType(lt)) {
    if (IsDateTimeType(rt)) return;
    if (!IsStringConstant(right) || !ReadsAsDateTime(right)) TypeMismatch();
    ConvertToDateTime(*fNodes, right, lt);
  } else if (IsTextType(lt)) {
    if (IsDateTimeType(rt)) {
      if (!IsStringConstant(left) || !ReadsAsDateTime(left)) TypeMismatch();
      ConvertToDateTime(*fNodes, left, rt);
    } else if (!IsTextType(rt)) {
      TypeMismatch();
    }
  } else if (lt == ftBoolean) {
    if (rt != ftBoolean || (op != coEQ && op != coNE)) TypeMismatch();
  } else {
    TypeMismatch();
  }
}

void TExprParserBase::CheckInItem(TExprNode* left, TExprNode* item) {
  const TFieldType lt = left->DataType, it = item->DataType;
  if (IsNumericType(lt)) {
    if (!IsNumericType(it)) TypeMismatch();
  } else if (IsTextType(lt)) {
    if (!IsTextType(it)) TypeMismatch();
  } else if (IsDateTimeType(lt)) {
    if (IsDateTimeType(it)) return;
    if (!IsStringConstant(item) || !ReadsAsDateTime(item)) TypeMismatch();
    ConvertToDateTime(*fNodes, item, lt);
  } else if (lt == ftBoolean) {
    if (it != ftBoolean) TypeMismatch();
  } else {
    TypeMismatch();
  }
}

TFieldType TExprParserBase::ArithmeticType(TExprOperator op, TExprNode* left, TExprNode* right) {
  const TFieldType lt = left->DataType, rt = right->DataType;
  if (IsNumericType(lt) && IsNumericType(rt)) {
    if (op == coDIV) return ftFloat;
    TFieldType t = NumericRank(rt) > NumericRank(lt) ? rt : lt;
    if (t == ftSmallint || t == ftWord || t == ftAutoInc) t = ftInteger;
    return t;
  }
  if (IsTextType(lt)) {
    if (op == coADD && IsTextType(rt)) return ftString;
    if (op == coSUB && IsDateTimeType(rt) && IsStringConstant(left) && ReadsAsDateTime(left)) {
      ConvertToDateTime(*fNodes, left, ftDateTime);
      return ftFloat;
    }
    TypeMismatch();
  }
  if (IsDateTimeType(lt)) {
    if (op == coSUB) {
      if (IsStringConstant(right) && ReadsAsDateTime(right)) ConvertToDateTime(*fNodes, right, lt);
      const TFieldType r = right->DataType;
      if (lt == ftDate && (r == ftDate || IsNumericType(r))) return ftInteger;
      if (lt == ftTime && (r == ftTime || IsNumericType(r))) return ftInteger;
      if (IsDateTimeType(r) || IsNumericType(r)) return ftFloat;
      TypeMismatch();
    }
    if (op == coADD && IsNumericType(rt)) return lt;
  }
  TypeMismatch();
}

TExprNode* TExprParserBase::ParseSum() {
  TExprNode* left = ParseTerm();
  while (fToken == etADD || fToken == etSUB) {
    const TExprOperator op = fToken == etADD ? coADD : coSUB;
    NextToken();
    TExprNode* right = ParseTerm();
    left = NewNode(enOperator, op, ArithmeticType(op, left, right), left, right);
  }
  return left;
}

TExprNode* TExprParserBase::ParseTerm() {
  TExprNode* left = ParseFactor();
  while (fToken == etMUL || fToken == etDIV) {
    const TExprOperator op = fToken == etMUL ? coMUL : coDIV;
    NextToken();
    TExprNode* right = ParseFactor();
    left = NewNode(enOperator, op, ArithmeticType(op, left, right), left, right);
  }
  return left;
}

TExprNode* TExprParserBase::ParseFactor() {
  switch (fToken) {
    case etName: {
      if (IsFunction(fTokenString)) {
        size_t p = fPosition;
        while (IsBlank(CharAt(p))) ++p;
        if (CharAt(p) == '(') return ParseFunction();
      }
      if (TokenIsWord("TRUE") || TokenIsWord("FALSE")) {
        TExprNode* node = fNodes->NewConstNode(ftBoolean);
        node->Buffer[0] = TokenIsWord("TRUE") ? 1 : 0;
        NextToken();
        return node;
      }
      [[fallthrough]];
    }
    case etLiteral: {
      TExprNode* node = NewNode(enField, coNone, ftUnknown, nullptr, nullptr);
      node->Name = fTokenString;
      InitFieldNode(node);
      NextToken();
      return node;
    }
    case etNumLiteral: {
      TExprNode* node = NewNumberConstant();
      NextToken();
      return node;
    }
    case etCharLiteral: {
      TExprNode* node = NewStringConstant();
      NextToken();
      return node;
    }
    case etLParen: {
      NextToken();
      TExprNode* node = ParseExpression();
      if (fToken != etRParen) DatabaseErrorFmt(ekFilterSyntax, "')' expected but %s found", {TokenDescription()});
      NextToken();
      return node;
    }
    default: DatabaseErrorFmt(ekFilterSyntax, "Expression expected but %s found", {TokenDescription()});
  }
}

TExprNode* TExprParserBase::NewNumberConstant() {
  const std::string& text = fTokenString;
  // A whole 32-bit integer stays an integer; everything else reads as a float.
  bool integer = !text.empty() && text.size() <= 11;
  int64_t value = 0;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) integer = false;
  for (; integer && i < text.size(); ++i) {
    if (!IsDigit(text[i])) integer = false;
    else value = value * 10 + (text[i] - '0');
  }
  if (text[0] == '-') value = -value;
  if (integer && value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max()) {
    TExprNode* node = fNodes->NewConstNode(ftInteger);
    const int32_t v = static_cast<int32_t>(value);
    std::memcpy(node->Buffer.get(), &v, sizeof v);
    return node;
  }
  const double v = TextToFloat(text);
  TExprNode* node = fNodes->NewConstNode(ftFloat);
  std::memcpy(node->Buffer.get(), &v, sizeof v);
  return node;
}

TExprNode* TExprParserBase::NewStringConstant() {
  TExprNode* node = fNodes->NewNode(enConst, coNone, ftString, nullptr, nullptr);
  node->SetText(fTokenString);
  const size_t star = fTokenString.find('*');
  node->PartialLength = star == std::string::npos ? -1 : static_cast<int32_t>(star);
  return node;
}

TExprNode* TExprParserBase::ParseFunction() {
  TExprNode* node = NewNode(enFunc, coNone, GetFuncDataType(fTokenString), nullptr, nullptr);
  node->Name = fTokenString;
  node->Function = FilterFunctionNumber(fTokenString);
  NextToken();  // the "("
  NextToken();
  if (fToken == etRParen) {
    NextToken();
  } else {
    for (;;) {
      TExprNode* arg = ParseExpression();
      node->Args.push_back(arg);
      if (arg->Depth >= node->Depth) node->Depth = arg->Depth + 1;
      if (fToken == etComma) {
        NextToken();
      } else if (fToken == etRParen) {
        NextToken();
        break;
      } else {
        DatabaseErrorFmt(ekFilterSyntax, "')' or ',' expected but %s found", {TokenDescription()});
      }
    }
    if (node->Depth > kMaxFilterTreeDepth)
      DatabaseErrorFmt(ekFilterSyntax, "Filter expression is nested more than %s levels deep",
                       {std::to_string(kMaxFilterTreeDepth)});
  }
  CheckFunction(node);
  return node;
}

void TExprParserBase::CheckFunction(TExprNode* node) {
  const auto& args = node->Args;
  switch (node->Function) {
    case fnSubstring:
      if (args.size() != 3 || !IsTextType(args[0]->DataType)) TypeMismatch();
      for (int i = 1; i <= 2; ++i)
        if (args[i]->Kind != enConst || !IsIntegerType(args[i]->DataType)) TypeMismatch();
      node->DataType = ftString;
      break;
    case fnYear:
    case fnMonth:
    case fnDay:
      if (args.size() != 1 || (args[0]->DataType != ftDate && args[0]->DataType != ftDateTime)) TypeMismatch();
      node->DataType = ftInteger;
      node->SetDataSize(4);
      break;
    case fnHour:
    case fnMinute:
    case fnSecond:
      if (args.size() != 1 || (args[0]->DataType != ftTime && args[0]->DataType != ftDateTime)) TypeMismatch();
      node->DataType = ftInteger;
      node->SetDataSize(4);
      break;
    case fnGetDate: {
      if (!args.empty()) TypeMismatch();
      // The moment of parsing, fixed for every record of this pass.
      node->Kind = enConst;
      node->DataType = ftDateTime;
      node->SetDataSize(8);
      const double now = LocalNow().AsMSecs();
      std::memcpy(node->Buffer.get(), &now, sizeof now);
      break;
    }
    default:  // UPPER, LOWER, TRIM, TRIMLEFT, TRIMRIGHT
      if (args.size() != 1 || !IsTextType(args[0]->DataType)) TypeMismatch();
      node->DataType = ftString;
      break;
  }
}

// ---- TFilterParser ----

bool TFilterParser::IsFunction(std::string_view name) const { return FilterFunctionNumber(name) != fnNone; }

void TFilterParser::Parse(const std::string& text) {
  TExprParserBase::Parse(text);
  // A filter decides acceptance: a value that is no boolean would be read by
  // its first byte, which is never what the writer meant.
  if (Nodes().Root->DataType != ftBoolean) {
    Nodes().Root = nullptr;
    DatabaseError(ekFilterSyntax, "Type mismatch in expression");
  }
}

void TFilterParser::ScanToken() {
  const char c = CharAt(fPosition);
  const size_t start = fPosition;
  auto single = [&](TExprToken kind, size_t length) {
    fToken = kind;
    fTokenString.assign(fText, start, length);
    fPosition = start + length;
  };
  if (c == '\0') {
    fToken = etEnd;
    return;
  }
  switch (c) {
    case '\'': {
      size_t p = start + 1;
      for (;;) {
        const char d = CharAt(p);
        if (d == '\0') DatabaseError(ekFilterSyntax, "Unterminated string constant");
        if (d == '\'') {
          if (CharAt(p + 1) != '\'') break;
          ++p;  // a doubled quote stands for one
        }
        if (fTokenString.size() < kMaxStringConstant) fTokenString.push_back(d);
        ++p;
      }
      // Never leave half of a UTF-8 character at the cut.
      if (fTokenString.size() == kMaxStringConstant) {
        size_t cut = fTokenString.size();
        size_t lead = cut;
        while (lead > 0 && (static_cast<unsigned char>(fTokenString[lead - 1]) & 0xC0) == 0x80) --lead;
        if (lead > 0 && static_cast<unsigned char>(fTokenString[lead - 1]) >= 0xC0) {
          const unsigned char b = static_cast<unsigned char>(fTokenString[lead - 1]);
          const size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
          if (cut - (lead - 1) < need) fTokenString.resize(lead - 1);
        }
      }
      fToken = etCharLiteral;
      fPosition = p + 1;
      return;
    }
    case '(': single(etLParen, 1); return;
    case ')': single(etRParen, 1); return;
    case '*': single(etMUL, 1); return;
    case '+': single(etADD, 1); return;
    case ',': single(etComma, 1); return;
    case '/': single(etDIV, 1); return;
    case '=': single(etEQ, 1); return;
    case '<':
      if (CharAt(start + 1) == '=') single(etLE, 2);
      else if (CharAt(start + 1) == '>') single(etNE, 2);
      else single(etLT, 1);
      return;
    case '>':
      if (CharAt(start + 1) == '=') single(etGE, 2);
      else single(etGT, 1);
      return;
    case '[': {
      const size_t close = fText.find(']', start + 1);
      const size_t end = fText.find('\0', start + 1);
      if (close == std::string::npos || (end != std::string::npos && end < close))
        DatabaseError(ekFilterSyntax, "Unterminated field name");
      fToken = etLiteral;
      fTokenString.assign(fText, start + 1, close - start - 1);
      fPosition = close + 1;
      return;
    }
    default: break;
  }
  if (c == '-' && (fPrevToken == etName || fPrevToken == etLiteral || fPrevToken == etNumLiteral ||
                   fPrevToken == etCharLiteral || fPrevToken == etRParen)) {
    single(etSUB, 1);
    return;
  }
  if (c == '-' || IsDigit(c)) {
    const char separator = LocaleSettings().DecimalSeparator;
    size_t p = start + 1;
    for (;;) {
      const char d = CharAt(p);
      const char before = CharAt(p - 1);
      if (IsDigit(d) || d == 'E' || d == 'e' || (d == separator && d != '\0') ||
          ((d == '+' || d == '-') && (before == 'E' || before == 'e')))
        ++p;
      else
        break;
    }
    // "1, 2" under a comma separator: the comma ends the number.
    if (separator == ',' && p - start > 1 && CharAt(p - 1) == ',' && IsBlank(CharAt(p))) --p;
    fToken = etNumLiteral;
    fTokenString.assign(fText, start, p - start);
    fPosition = p;
    return;
  }
  if (IsLetter(c) || c == '_' || (static_cast<unsigned char>(c) >= 0x81 && static_cast<unsigned char>(c) <= 0xFE)) {
    size_t p = start + 1;
    for (;;) {
      const char d = CharAt(p);
      if (IsLetter(d) || IsDigit(d) || d == '_' || d == '.' || d == '[' || d == ']' || IsHighByte(d)) ++p;
      else break;
    }
    fTokenString.assign(fText, start, p - start);
    fPosition = p;
    if (SameWord(fTokenString, "LIKE")) fToken = etLIKE;
    else if (SameWord(fTokenString, "IN")) fToken = etIN;
    else fToken = etName;
    return;
  }
  DatabaseErrorFmt(ekFilterSyntax, "Invalid filter expression character: '%s'", {std::string_view(&fText[start], 1)});
}

TFieldType TFilterParser::GetFieldDataType(const std::string& name) {
  return fDataSet->FilterFieldByName(name).DataType;
}

std::string TFilterParser::GetFieldValue(const std::string& name) {
  return fDataSet->FilterFieldText(fDataSet->FilterFieldByName(name).Index);
}

void TFilterParser::InitFieldNode(TExprNode* node) {
  const TFilterField field = fDataSet->FilterFieldByName(node->Name);
  node->DataType = field.DataType;
  node->FieldIndex = field.Index;
  node->IsBlobField = field.IsBlob;
  node->FieldSize = field.DataSize;
  if (!field.IsBlob) ExprValueSize(field.DataType, 0);  // refuses types no table stores
}

const char* TFilterParser::FieldNodeData(TExprNode* node) {
  if (node->IsBlobField) {
    node->BlobData = fDataSet->FilterFieldText(node->FieldIndex);
    return node->BlobData.c_str();
  }
  const char* buffer = fDataSet->FilterRecordBuffer();
  return buffer ? buffer + fDataSet->FilterFieldOffset(node->FieldIndex) : nullptr;
}
