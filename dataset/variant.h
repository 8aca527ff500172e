#pragma once
// Variant: a field value of any kind, as FieldByName(...).Value() gives it and
// as key values are handed to a dataset. It is Null (no value), a boolean, a
// 32- or 64-bit integer, a double, a date-time, a text (UTF-8) or an array of
// variants. A plain value type; copies are independent.

#include <cstdint>
#include <string>
#include <vector>

#include "dataset/datetime.h"

enum TVariantKind { vkNull, vkBoolean, vkInteger, vkLargeint, vkFloat, vkDateTime, vkString, vkArray };

class Variant {
 public:
  Variant() = default;  // Null
  Variant(bool value) : kind_(vkBoolean), integer_(value ? 1 : 0) {}
  Variant(int32_t value) : kind_(vkInteger), integer_(value) {}
  Variant(int64_t value) : kind_(vkLargeint), integer_(value) {}
  Variant(double value) : kind_(vkFloat), float_(value) {}
  Variant(std::string value) : kind_(vkString), text_(std::move(value)) {}
  Variant(const char* value) : kind_(vkString), text_(value) {}
  Variant(std::vector<Variant> items) : kind_(vkArray), items_(std::move(items)) {}
  static Variant FromDateTime(TDateTime value);

  TVariantKind Kind() const { return kind_; }
  bool IsNull() const { return kind_ == vkNull; }
  bool IsArray() const { return kind_ == vkArray; }

  // Typed access. A value of another kind is converted where the conversion
  // is lossless or textual (an integer as text, a numeric text as number);
  // otherwise, and for Null, the call raises a database error naming both
  // kinds. AsString of Null is the empty text.
  bool AsBoolean() const;
  int32_t AsInteger() const;
  int64_t AsLargeint() const;
  double AsFloat() const;
  TDateTime AsDateTime() const;
  std::string AsString() const;
  const std::vector<Variant>& Items() const { return items_; }

  // Same kind and same value; Null equals only Null.
  bool operator==(const Variant& other) const;

 private:
  TVariantKind kind_ = vkNull;
  int64_t integer_ = 0;  // boolean, integer, largeint
  double float_ = 0;     // float, date-time
  std::string text_;
  std::vector<Variant> items_;
};

// The name of a variant kind in messages ("Integer", "String", ...).
const char* VariantKindName(TVariantKind kind);
