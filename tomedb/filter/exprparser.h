#pragma once
// The filter language's parser: a tokenizer (TSyntaxParserBase), a
// recursive-descent parser that builds a typed expression tree and checks the
// type rules while it builds (TExprParserBase), and the binding to one dataset
// with the function table (TFilterParser).
//
// Every error of the language is an EDatabaseError raised by Parse, with no
// component name; a tree that parsed evaluates without errors of its own.
// A parser belongs to one dataset and is used by one thread at a time.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dataset/fieldtypes.h"
#include "dataset/filteroptions.h"
#include "tomedb/filter/exprnode.h"
#include "tomedb/filter/filterdataset.h"

enum TExprToken : uint8_t {
  etEnd,
  etName,
  etLiteral,  // a bracketed field name
  etNumLiteral,
  etCharLiteral,
  etLParen,
  etRParen,
  etEQ,
  etNE,
  etGE,
  etLE,
  etGT,
  etLT,
  etADD,
  etSUB,
  etMUL,
  etDIV,
  etComma,
  etLIKE,
  etIN,
};

// Deepest nesting of parentheses, function calls and IN lists that Parse takes.
constexpr int kMaxFilterNesting = 256;
// Tallest expression tree that Parse builds (for example 1000 ORs in a row).
constexpr int kMaxFilterTreeDepth = 1024;

class TSyntaxParserBase {
 public:
  TSyntaxParserBase() = default;
  virtual ~TSyntaxParserBase() = default;
  TSyntaxParserBase(const TSyntaxParserBase&) = delete;
  TSyntaxParserBase& operator=(const TSyntaxParserBase&) = delete;

 protected:
  // Skips blanks and at most one comment between two tokens.
  virtual void SkipBlanks();
  // Reads one token at the position into the token kind and text.
  virtual void ScanToken() = 0;

  // Moves to the next token.
  void NextToken();
  char CharAt(size_t position) const { return position < fText.size() ? fText[position] : '\0'; }
  // The current token for messages: its text in single quotes, or "nothing".
  std::string TokenDescription() const;

  std::string fText;
  std::string fTokenString;
  TExprToken fToken = etEnd;
  TExprToken fPrevToken = etEnd;
  size_t fPosition = 0;
  size_t fTokenStart = 0;
};

class TExprParserBase : public TSyntaxParserBase {
 public:
  TExprParserBase();
  ~TExprParserBase() override;

  // Parses `text` into a new tree, freeing the previous one first.
  virtual void Parse(const std::string& text);
  // Evaluates the tree of the last successful Parse and gives its boolean.
  // REQUIRES: a successful Parse (otherwise raises "General error").
  virtual bool Calculate(TFilterOptions options = 0);
  virtual bool IsFunction(std::string_view name) const;

  TExprNodes& Nodes() { return *fNodes; }
  TFilterOptions FilterOptions() const { return fFilterOptions; }

 protected:
  friend class TExprNodes;

  virtual TExprNode* ParseExpression();
  virtual TFieldType GetFieldDataType(const std::string& name) = 0;
  virtual std::string GetFieldValue(const std::string& name) = 0;
  virtual TFieldType GetFuncDataType(const std::string& name) const;
  virtual void CheckTermination();

  // Fills a new field node: type, index, blob flag, text limit.
  virtual void InitFieldNode(TExprNode* node) = 0;
  // The value of a field node for this evaluation: for a blob its text (kept
  // in BlobData), otherwise the address of its bytes in the record buffer
  // (nullptr when the dataset has no buffer).
  virtual const char* FieldNodeData(TExprNode* node) = 0;

  // True when the current token is the name `word` (any case).
  bool TokenIsWord(std::string_view word) const;

 private:
  TExprNode* ParseConjunction();
  TExprNode* ParseNegation();
  TExprNode* ParseComparison();
  TExprNode* ParseSum();
  TExprNode* ParseTerm();
  TExprNode* ParseFactor();
  TExprNode* ParseFunction();
  TExprNode* NewNode(TExprNodeKind kind, TExprOperator op, TFieldType type, TExprNode* left, TExprNode* right);
  TExprNode* NewNumberConstant();
  TExprNode* NewStringConstant();
  void CheckComparison(TExprOperator op, TExprNode* left, TExprNode* right);
  void CheckInItem(TExprNode* left, TExprNode* item);
  TFieldType ArithmeticType(TExprOperator op, TExprNode* left, TExprNode* right);
  void CheckFunction(TExprNode* node);
  [[noreturn]] void TypeMismatch() const;

  TExprNodes* fNodes;
  TFilterOptions fFilterOptions = 0;
  int fNesting = 0;
};

// The parser of one dataset's filter: field names resolve through the
// dataset, and the 13 functions (UPPER ... GETDATE) are known.
// The dataset must outlive the parser.
class TFilterParser : public TExprParserBase {
 public:
  explicit TFilterParser(IFilterDataSet* dataset) : fDataSet(dataset) {}

  // Also refuses a filter whose value is not a boolean.
  void Parse(const std::string& text) override;
  bool IsFunction(std::string_view name) const override;

 protected:
  void ScanToken() override;
  TFieldType GetFieldDataType(const std::string& name) override;
  std::string GetFieldValue(const std::string& name) override;
  void InitFieldNode(TExprNode* node) override;
  const char* FieldNodeData(TExprNode* node) override;

 private:
  IFilterDataSet* fDataSet;
};

// The function number of a name (any case), or fnNone.
TExprFunction FilterFunctionNumber(std::string_view name);

// The engine's own readers of date-time texts (month/day/year, ":" between
// time parts, AM/PM markers); each accepts a text only when nothing is left.
bool ReadFilterDate(std::string_view text, int32_t& dayNumber);
bool ReadFilterTime(std::string_view text, int32_t& msecs);
bool ReadFilterDateTime(std::string_view text, double& msecs);
