#pragma once
// The expression tree of a filter: TExprNode (one node), TExprNodes (owner of
// every node of one parse, and the evaluator), and TKeyComparer (the index
// search's key comparison, built from the same nodes).
//
// Every node keeps its value in the binary form a field has in a record buffer:
// zero-terminated 8-bit (UTF-8) text, little-endian integers, IEEE doubles,
// day numbers, milliseconds. Constant buffers are filled when the tree is
// built; operators and functions write their result into their own buffer on
// each evaluation, so a tree is evaluated by one thread at a time.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/fieldtypes.h"
#include "dataset/filteroptions.h"

class TExprNodes;
class TExprParserBase;

enum TExprNodeKind : uint8_t { enField = 0, enConst = 1, enFunc = 2, enOperator = 3 };

// Operator codes of operator nodes.
enum TExprOperator : uint8_t {
  coNone = 0,
  coEQ = 3,
  coNE = 4,
  coGT = 5,
  coLT = 6,
  coGE = 7,
  coLE = 8,
  coNOT = 9,
  coAND = 10,
  coOR = 11,
  coADD = 12,
  coSUB = 13,
  coMUL = 14,
  coDIV = 15,
  coLIKE = 17,
  coIN = 18,
};

// Function numbers of function nodes.
enum TExprFunction : uint8_t {
  fnNone = 0,
  fnUpper = 1,
  fnLower = 2,
  fnSubstring = 3,
  fnTrim = 4,
  fnTrimLeft = 5,
  fnTrimRight = 6,
  fnYear = 7,
  fnMonth = 8,
  fnDay = 9,
  fnHour = 10,
  fnMinute = 11,
  fnSecond = 12,
  fnGetDate = 13,
};

// Groups of the type rules.
bool IsTextType(TFieldType type);
bool IsIntegerType(TFieldType type);
bool IsNumericType(TFieldType type);
bool IsDateTimeType(TFieldType type);

// Bytes of a value of `type` in a node buffer (`declaredSize` is a string's
// declared length); raises "General error" for a type no table stores.
int32_t ExprValueSize(TFieldType type, int32_t declaredSize);

class TExprNode {
 public:
  explicit TExprNode(TExprNodes* owner) : Owner(owner) {}
  TExprNode(const TExprNode&) = delete;
  TExprNode& operator=(const TExprNode&) = delete;

  // Resizes the node's own buffer: the same size does nothing, 0 or less frees
  // it, anything else gives a new zero-filled buffer. Data then points at it.
  void SetDataSize(int32_t size);
  // Makes the node's value the bytes at `data` (not owned); text is read up to
  // its zero byte but never more than `textLimit` bytes.
  void PointDataAt(const char* data, int32_t textLimit);
  // The node's value read as text, integer, double or boolean (no conversion
  // between groups; the type rules guarantee the group).
  std::string_view Text() const;
  int64_t Integer() const;
  double Float() const;
  int32_t Int32() const;
  bool Boolean() const;
  // Writes a text into the node's own buffer (resized to its length + 1).
  void SetText(std::string_view text);

  TExprNodes* Owner;
  TExprNode* Next = nullptr;
  TExprNodeKind Kind = enConst;
  TExprOperator Operator = coNone;
  TExprFunction Function = fnNone;
  std::string Name;
  const char* Data = nullptr;
  int32_t DataSize = 0;
  TExprNode* Left = nullptr;
  TExprNode* Right = nullptr;
  TFieldType DataType = ftUnknown;
  std::vector<TExprNode*> Args;
  bool IsBlobField = false;
  int32_t FieldIndex = -1;
  std::string BlobData;
  int32_t PartialLength = -1;

  // Bookkeeping of this implementation.
  int32_t TextLimit = 0;     // most bytes Text() reads from Data
  int32_t FieldSize = 0;     // a field node's bytes in the record buffer
  bool Bound = false;        // a field node's Data points into the record buffer
  int32_t Depth = 1;         // height of the subtree below and including this node
  std::unique_ptr<char[]> Buffer;
  std::u16string LikeText, LikePattern;  // reused by LIKE
  std::vector<char> LikeStates;
};

// Owns every node of one parse (a chain; new nodes go to its head) and
// evaluates trees built of them. A TExprNodes made without a parser may hold
// only constant, function and operator nodes.
class TExprNodes {
 public:
  explicit TExprNodes(TExprParserBase* parser = nullptr) : Parser(parser) {}
  ~TExprNodes() { Clear(); }
  TExprNodes(const TExprNodes&) = delete;
  TExprNodes& operator=(const TExprNodes&) = delete;

  // Frees every node of the chain and forgets the root.
  void Clear();
  TExprNode* NewNode(TExprNodeKind kind, TExprOperator op, TFieldType dataType, TExprNode* left,
                     TExprNode* right);
  // A constant of `dataType` with a zero-filled buffer of its value size.
  TExprNode* NewConstNode(TFieldType dataType, int32_t declaredSize = 0);

  // Evaluates `node` and what it needs below it; the value is left in its buffer.
  void Evaluate(TExprNode* node, TFilterOptions options);

  TExprParserBase* const Parser;
  TExprNode* Root = nullptr;

 private:
  void EvaluateField(TExprNode* node);
  void EvaluateFunction(TExprNode* node, TFilterOptions options);
  void EvaluateOperator(TExprNode* node, TFilterOptions options);

  TExprNode* fHead = nullptr;
};

// Compares one key field's values in the order the filter language gives
// them: 0 when the sought value equals the record's, -1 when it sorts before,
// 1 after. Text compares by collation (without case under foCaseInsensitive),
// and with a partial length n >= 0 and no foNoPartialCompare only the first n
// bytes of each text count. The pointers must stay valid for one Compare;
// REQUIRES: `type` is a type a table stores, not a blob type.
class TKeyComparer {
 public:
  // `declaredSize`: a string field's declared length (its values are read up
  // to their zero byte, never beyond declaredSize + 1 bytes).
  TKeyComparer(TFieldType type, int32_t declaredSize);
  int Compare(const void* sought, const void* record, int32_t partialLength, TFilterOptions options);

 private:
  TExprNodes fNodes;
  TExprNode* fSought;
  TExprNode* fRecord;
  TExprNode* fCompare;
  int32_t fTextLimit;
};
