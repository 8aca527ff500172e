#include "tomedb/filter/exprnode.h"

#include <unicode/ustring.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "core/collation.h"
#include "core/errors.h"
#include "core/locale.h"
#include "tomedb/filter/exprparser.h"

namespace {

// What a field node reads when the dataset has no record buffer: every type
// reads as empty, zero or false.
const char kEmptyValue[16] = {};

template <typename T>
T Load(const char* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

// memcpy that accepts the null data of an empty text.
void CopyBytes(char* to, const char* from, size_t count) {
  if (count) std::memcpy(to, from, count);
}

template <typename T>
void Store(char* p, T value) {
  std::memcpy(p, &value, sizeof value);
}

// A double truncated toward zero, saturated to the 64-bit range (NaN gives 0).
int64_t TruncToInt64(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9.2e18) return std::numeric_limits<int64_t>::max();
  if (value <= -9.2e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

// Wrapping 64-bit arithmetic (overflow must not be undefined behaviour).
int64_t WrapAdd(int64_t a, int64_t b) { return int64_t(uint64_t(a) + uint64_t(b)); }
int64_t WrapSub(int64_t a, int64_t b) { return int64_t(uint64_t(a) - uint64_t(b)); }
int64_t WrapMul(int64_t a, int64_t b) { return int64_t(uint64_t(a) * uint64_t(b)); }

bool IsFloatType(TFieldType t) { return t == ftFloat || t == ftCurrency; }

// Milliseconds of a date-time value (a date counts from its midnight).
double MSecsOf(const TExprNode* n) {
  switch (n->DataType) {
    case ftDate: return double(n->Int32()) * MSecsPerDay;
    case ftTime: return double(n->Int32());
    default: return n->Float();
  }
}

// Cuts a text to at most `n` bytes without splitting a UTF-8 character.
std::string_view CutText(std::string_view text, int32_t n) {
  if (n < 0 || size_t(n) >= text.size()) return text;
  size_t cut = size_t(n);
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

// Three-way result of comparing l with r for the relational operators, or
// "unordered" for an ftTime against a date (where =, <, > are all false).
enum Order { Less = -1, Equal = 0, Greater = 1, Unordered = 2 };

Order Sign(int c) { return c < 0 ? Less : c > 0 ? Greater : Equal; }

template <typename T>
Order CompareScalar(T a, T b) {
  if (a < b) return Less;
  if (b < a) return Greater;
  if (a == b) return Equal;
  return Unordered;  // NaN
}

Order CompareValues(const TExprNode* l, const TExprNode* r, TFilterOptions options) {
  const TFieldType lt = l->DataType, rt = r->DataType;
  if (IsTextType(lt) && IsTextType(rt)) {
    std::string_view a = l->Text(), b = r->Text();
    if (!(options & foNoPartialCompare) && r->Kind == enConst && r->PartialLength >= 0) {
      a = CutText(a, r->PartialLength);
      b = CutText(b, r->PartialLength);
    }
    return Sign(CompareText(a, b, (options & foCaseInsensitive) != 0));
  }
  if (IsNumericType(lt) && IsNumericType(rt)) {
    if (IsFloatType(lt) || IsFloatType(rt)) {
      double a = IsFloatType(lt) ? l->Float() : double(l->Integer());
      double b = IsFloatType(rt) ? r->Float() : double(r->Integer());
      return CompareScalar(a, b);
    }
    return CompareScalar(l->Integer(), r->Integer());
  }
  if (IsDateTimeType(lt) && IsDateTimeType(rt)) {
    if ((lt == ftTime) != (rt == ftTime)) return Unordered;
    if (lt == rt && lt != ftDateTime) return CompareScalar(l->Int32(), r->Int32());
    return CompareScalar(MSecsOf(l), MSecsOf(r));
  }
  if (lt == ftBoolean && rt == ftBoolean) return CompareScalar(int(l->Boolean()), int(r->Boolean()));
  return Unordered;
}

bool ApplyComparison(TExprOperator op, Order order) {
  switch (op) {
    case coEQ: return order == Equal;
    case coNE: return order != Equal;
    case coGT: return order == Greater;
    case coLT: return order == Less;
    case coGE: return order != Less;
    case coLE: return order != Greater;
    default: return false;
  }
}

void ToUtf16(std::string_view text, std::u16string& out) {
  out.resize(text.size() + 1);
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) length = 0;
  out.resize(size_t(length));
  // An empty text or pattern takes part as one character of code 0.
  if (out.empty()) out.push_back(u'\0');
}

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

// LIKE: "%" stands for any run of characters, "_" for one. Runs as a set of
// pattern positions over the text (no recursion, time text x pattern): a "%"
// that ends the pattern matches at once, and a used-up text matches a used-up
// pattern. Every "%" may stand for nothing, the last included, so 'ab' LIKE
// 'ab%%' is true: two "%" in a row match any run just as one does. (A
// matcher that stops at a used-up text before letting a "%" that is not the
// pattern's last stand for nothing would say false there; that answer is
// deliberately not kept.)
bool MatchLike(TExprNode* node, std::string_view text, std::string_view pattern, bool caseInsensitive) {
  std::u16string& t = node->LikeText;
  std::u16string& p = node->LikePattern;
  ToUtf16(text, t);
  ToUtf16(pattern, p);
  const size_t pn = p.size();
  std::vector<char>& states = node->LikeStates;
  states.assign(2 * (pn + 1), 0);
  char* current = states.data();
  char* next = states.data() + pn + 1;
  current[0] = 1;
  for (size_t i = 0;; ++i) {
    // Closure: a "%" may stand for nothing.
    bool any = false;
    for (size_t j = 0; j <= pn; ++j) {
      if (!current[j]) continue;
      any = true;
      if (j < pn && p[j] == u'%') {
        if (j + 1 == pn) return true;
        current[j + 1] = 1;
      }
    }
    if (!any) return false;
    if (i == t.size()) return current[pn] != 0;
    std::memset(next, 0, pn + 1);
    const char16_t c = caseInsensitive ? Upper(t[i]) : t[i];
    for (size_t j = 0; j < pn; ++j) {
      if (!current[j]) continue;
      const char16_t pc = p[j];
      if (pc == u'%') next[j] = 1;
      else if (pc == u'_' || (caseInsensitive ? Upper(pc) : pc) == c) next[j + 1] = 1;
    }
    std::swap(current, next);
  }
}

}  // namespace

bool IsTextType(TFieldType t) {
  return t == ftString || t == ftFixedChar || t == ftBlob || t == ftMemo || t == ftGraphic || t == ftFmtMemo;
}
bool IsIntegerType(TFieldType t) { return t == ftSmallint || t == ftWord || t == ftInteger || t == ftAutoInc; }
bool IsNumericType(TFieldType t) { return IsIntegerType(t) || t == ftLargeint || t == ftFloat || t == ftCurrency; }
bool IsDateTimeType(TFieldType t) { return t == ftDate || t == ftTime || t == ftDateTime; }

int32_t ExprValueSize(TFieldType type, int32_t declaredSize) {
  switch (type) {
    case ftString:
    case ftFixedChar: return declaredSize < 0 ? 1 : declaredSize + 1;
    case ftSmallint:
    case ftWord:
    case ftBoolean: return 2;
    case ftInteger:
    case ftDate:
    case ftTime:
    case ftAutoInc: return 4;
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
    case ftLargeint: return 8;
    default:
      if (IsBlobFieldType(type)) return 0;
      DatabaseError(ekGeneral, "General error");
  }
}

// ---- TExprNode ----

void TExprNode::SetDataSize(int32_t size) {
  if (size == DataSize && Buffer && Data == Buffer.get()) return;
  if (size <= 0) {
    Buffer.reset();
    DataSize = 0;
    Data = nullptr;
    TextLimit = 0;
    return;
  }
  Buffer.reset(new char[size_t(size)]());
  DataSize = size;
  Data = Buffer.get();
  TextLimit = size;
}

void TExprNode::PointDataAt(const char* data, int32_t textLimit) {
  Data = data;
  TextLimit = textLimit;
}

std::string_view TExprNode::Text() const {
  if (!Data || TextLimit <= 0) return {};
  return std::string_view(Data, strnlen(Data, size_t(TextLimit)));
}

int64_t TExprNode::Integer() const {
  if (!Data) return 0;
  switch (DataType) {
    case ftSmallint: return Load<int16_t>(Data);
    case ftWord: return Load<uint16_t>(Data);
    case ftLargeint: return Load<int64_t>(Data);
    case ftBoolean: return Load<uint16_t>(Data) != 0;
    case ftFloat:
    case ftCurrency:
    case ftDateTime: return TruncToInt64(Load<double>(Data));
    default: return Load<int32_t>(Data);
  }
}

double TExprNode::Float() const {
  if (!Data) return 0;
  if (IsFloatType(DataType) || DataType == ftDateTime) return Load<double>(Data);
  return double(Integer());
}

int32_t TExprNode::Int32() const { return Data ? Load<int32_t>(Data) : 0; }

// A stored boolean is 16 bits and any value other than 0 is true.
bool TExprNode::Boolean() const { return Data && Load<uint16_t>(Data) != 0; }

void TExprNode::SetText(std::string_view text) {
  SetDataSize(static_cast<int32_t>(text.size() + 1));
  CopyBytes(Buffer.get(), text.data(), text.size());
  Buffer[text.size()] = '\0';
}

// ---- TExprNodes ----

void TExprNodes::Clear() {
  while (fHead) {
    TExprNode* next = fHead->Next;
    delete fHead;
    fHead = next;
  }
  Root = nullptr;
}

TExprNode* TExprNodes::NewNode(TExprNodeKind kind, TExprOperator op, TFieldType dataType, TExprNode* left,
                               TExprNode* right) {
  auto* node = new TExprNode(this);
  node->Next = fHead;
  fHead = node;
  node->Kind = kind;
  node->Operator = op;
  node->DataType = dataType;
  node->Left = left;
  node->Right = right;
  int depth = 0;
  if (left) depth = left->Depth;
  if (right && right->Depth > depth) depth = right->Depth;
  node->Depth = depth + 1;
  return node;
}

TExprNode* TExprNodes::NewConstNode(TFieldType dataType, int32_t declaredSize) {
  const int32_t size = ExprValueSize(dataType, declaredSize);
  TExprNode* node = NewNode(enConst, coNone, dataType, nullptr, nullptr);
  node->SetDataSize(size);
  return node;
}

void TExprNodes::Evaluate(TExprNode* node, TFilterOptions options) {
  switch (node->Kind) {
    case enField: EvaluateField(node); break;
    case enConst: break;
    case enFunc: EvaluateFunction(node, options); break;
    case enOperator: EvaluateOperator(node, options); break;
  }
}

void TExprNodes::EvaluateField(TExprNode* node) {
  if (node->Bound) return;
  const char* data = Parser ? Parser->FieldNodeData(node) : nullptr;
  if (node->IsBlobField) {
    node->PointDataAt(node->BlobData.c_str(), static_cast<int32_t>(node->BlobData.size() + 1));
  } else if (data) {
    node->PointDataAt(data, node->FieldSize);
    node->Bound = true;
  } else {
    node->PointDataAt(kEmptyValue, 1);
  }
}

void TExprNodes::EvaluateFunction(TExprNode* node, TFilterOptions options) {
  for (TExprNode* arg : node->Args) Evaluate(arg, options);
  TExprNode* arg = node->Args.empty() ? nullptr : node->Args[0];
  switch (node->Function) {
    case fnUpper:
    case fnLower: {
      std::string_view text = arg->Text();
      node->SetDataSize(static_cast<int32_t>(text.size() + 1));
      char* out = node->Buffer.get();
      for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (node->Function == fnUpper && c >= 'a' && c <= 'z') c = char(c - 32);
        if (node->Function == fnLower && c >= 'A' && c <= 'Z') c = char(c + 32);
        out[i] = c;
      }
      out[text.size()] = '\0';
      break;
    }
    case fnTrim:
    case fnTrimLeft:
    case fnTrimRight: {
      std::string_view text = arg->Text();
      size_t b = 0, e = text.size();
      if (node->Function != fnTrimRight)
        while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
      if (node->Function != fnTrimLeft)
        while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
      node->SetDataSize(static_cast<int32_t>(text.size() + 1));
      CopyBytes(node->Buffer.get(), text.data() + b, e - b);
      node->Buffer[e - b] = '\0';
      break;
    }
    case fnSubstring: {
      std::string_view text = arg->Text();
      int64_t start = node->Args[1]->Integer();
      int64_t length = node->Args[2]->Integer();
      // Positions and lengths count characters, as LIKE does, so that no
      // UTF-8 character is cut in two. A start before the text counts from
      // its first character.
      if (start < 1) start = 1;
      const auto skipCharacters = [&](size_t from, int64_t count) {
        while (count > 0 && from < text.size()) {
          ++from;
          while (from < text.size() && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) ++from;
          --count;
        }
        return from;
      };
      std::string_view part;
      if (length > 0) {
        const size_t begin = skipCharacters(0, start - 1);
        part = text.substr(begin, skipCharacters(begin, length) - begin);
      }
      node->SetText(part);
      break;
    }
    case fnYear:
    case fnMonth:
    case fnDay: {
      int32_t day = arg->DataType == ftDate ? arg->Int32()
                                            : static_cast<int32_t>(TruncToInt64(std::floor(std::round(arg->Float()) / MSecsPerDay)));
      int y, m, d;
      DecodeDate(day, y, m, d);
      Store<int32_t>(node->Buffer.get(), node->Function == fnYear ? y : node->Function == fnMonth ? m : d);
      break;
    }
    case fnHour:
    case fnMinute:
    case fnSecond: {
      int32_t time;
      if (arg->DataType == ftTime) {
        time = arg->Int32();
      } else {
        double ms = std::round(arg->Float());
        double t = std::fmod(ms, double(MSecsPerDay));
        if (t < 0) t += MSecsPerDay;
        time = std::isfinite(t) ? static_cast<int32_t>(t) : 0;
      }
      int h, mi, s, ms;
      DecodeTime(time, h, mi, s, ms);
      Store<int32_t>(node->Buffer.get(), node->Function == fnHour ? h : node->Function == fnMinute ? mi : s);
      break;
    }
    default: break;  // GETDATE became a constant when it was parsed
  }
}

void TExprNodes::EvaluateOperator(TExprNode* node, TFilterOptions options) {
  TExprNode* l = node->Left;
  TExprNode* r = node->Right;
  char* out = node->Buffer.get();
  switch (node->Operator) {
    case coAND:
    case coOR: {
      Evaluate(l, options);
      bool value = l->Boolean();
      if (value == (node->Operator == coAND)) {
        Evaluate(r, options);
        value = r->Boolean();
      }
      Store<uint16_t>(out, value);
      return;
    }
    case coNOT:
      Evaluate(l, options);
      Store<uint16_t>(out, !l->Boolean());
      return;
    case coEQ:
    case coNE:
    case coGT:
    case coLT:
    case coGE:
    case coLE:
      Evaluate(l, options);
      Evaluate(r, options);
      Store<uint16_t>(out, ApplyComparison(node->Operator, CompareValues(l, r, options)));
      return;
    case coLIKE:
      Evaluate(l, options);
      Evaluate(r, options);
      Store<uint16_t>(out, MatchLike(node, l->Text(), r->Text(), (options & foCaseInsensitive) != 0));
      return;
    case coIN: {
      Evaluate(l, options);
      bool found = false;
      for (TExprNode* item : node->Args) {
        Evaluate(item, options);
        if (CompareValues(l, item, options) == Equal) {
          found = true;
          break;
        }
      }
      Store<uint16_t>(out, found);
      return;
    }
    default: break;
  }

  // Arithmetic.
  Evaluate(l, options);
  Evaluate(r, options);
  const TExprOperator op = node->Operator;
  const TFieldType lt = l->DataType, rt = r->DataType;
  if (IsTextType(lt)) {  // text + text
    std::string_view a = l->Text(), b = r->Text();
    node->SetDataSize(static_cast<int32_t>(a.size() + b.size() + 1));
    CopyBytes(node->Buffer.get(), a.data(), a.size());
    CopyBytes(node->Buffer.get() + a.size(), b.data(), b.size());
    node->Buffer[a.size() + b.size()] = '\0';
    return;
  }
  if (IsDateTimeType(lt) || IsDateTimeType(rt)) {
    const int64_t amount = IsNumericType(rt) ? TruncToInt64(r->Float()) : 0;
    switch (node->DataType) {
      case ftDate:
      case ftTime:  // date or time plus a number
        Store<int32_t>(out, static_cast<int32_t>(WrapAdd(l->Int32(), amount)));
        return;
      case ftInteger:  // date - date, time - time, date or time - number
        Store<int32_t>(out, static_cast<int32_t>(IsNumericType(rt) ? WrapSub(l->Int32(), amount)
                                                                   : WrapSub(l->Int32(), r->Int32())));
        return;
      case ftDateTime:  // date-time plus a number of days
        Store<double>(out, l->Float() + double(amount) * MSecsPerDay);
        return;
      default:  // ftFloat: date-time minus days, or the difference of two moments in milliseconds
        if (IsNumericType(rt)) Store<double>(out, l->Float() - double(amount) * MSecsPerDay);
        else Store<double>(out, MSecsOf(l) - MSecsOf(r));
        return;
    }
  }
  if (node->DataType == ftFloat || node->DataType == ftCurrency) {
    const double a = IsFloatType(lt) ? l->Float() : double(l->Integer());
    const double b = IsFloatType(rt) ? r->Float() : double(r->Integer());
    double v = 0;
    switch (op) {
      case coADD: v = a + b; break;
      case coSUB: v = a - b; break;
      case coMUL: v = a * b; break;
      default: v = a / b; break;
    }
    Store<double>(out, v);
    return;
  }
  const int64_t a = l->Integer(), b = r->Integer();
  int64_t v = op == coADD ? WrapAdd(a, b) : op == coSUB ? WrapSub(a, b) : WrapMul(a, b);
  if (node->DataType == ftLargeint) Store<int64_t>(out, v);
  else Store<int32_t>(out, static_cast<int32_t>(v));
}

// ---- TKeyComparer ----

TKeyComparer::TKeyComparer(TFieldType type, int32_t declaredSize)
    : fTextLimit(IsTextType(type) ? ExprValueSize(type, declaredSize) : 0) {
  ExprValueSize(type, declaredSize);  // refuses types no table stores
  fSought = fNodes.NewNode(enConst, coNone, type, nullptr, nullptr);
  fRecord = fNodes.NewNode(enConst, coNone, type, nullptr, nullptr);
  fCompare = fNodes.NewNode(enOperator, coEQ, ftBoolean, fSought, fRecord);
  fCompare->SetDataSize(2);
}

int TKeyComparer::Compare(const void* sought, const void* record, int32_t partialLength,
                          TFilterOptions options) {
  fSought->PointDataAt(static_cast<const char*>(sought), fTextLimit);
  fRecord->PointDataAt(static_cast<const char*>(record), fTextLimit);
  fSought->PartialLength = fRecord->PartialLength = partialLength;
  fCompare->Operator = coEQ;
  fNodes.Evaluate(fCompare, options);
  if (fCompare->Boolean()) return 0;
  fCompare->Operator = coLT;
  fNodes.Evaluate(fCompare, options);
  return fCompare->Boolean() ? -1 : 1;
}
