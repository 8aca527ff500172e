#pragma once
// Field and index definitions: what a dataset's underlying table declares,
// filled by the concrete dataset when it opens. Plain lists of values; names
// are matched without regard to letter case.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/fieldtypes.h"

class TFieldDef {
 public:
  TFieldDef(std::string name, TFieldType dataType, int32_t size, int32_t fieldNo)
      : name_(std::move(name)), dataType_(dataType), size_(size), fieldNo_(fieldNo) {}
  const std::string& Name() const { return name_; }
  TFieldType DataType() const { return dataType_; }
  // The declared size of a text field; 0 for the other types.
  int32_t Size() const { return size_; }
  // The field's number in the record, from 1.
  int32_t FieldNo() const { return fieldNo_; }

 private:
  std::string name_;
  TFieldType dataType_;
  int32_t size_;
  int32_t fieldNo_;
};

class TFieldDefs {
 public:
  // Appends a definition numbered Count() + 1. A name already present is
  // refused ("Duplicate field name '%s'").
  TFieldDef& Add(std::string name, TFieldType dataType, int32_t size = 0);
  void Clear() { items_.clear(); }
  int Count() const { return static_cast<int>(items_.size()); }
  const TFieldDef& operator[](int index) const { return items_.at(static_cast<size_t>(index)); }
  // Position of the definition with this name, or -1.
  int IndexOf(std::string_view name) const;
  const TFieldDef* Find(std::string_view name) const;

 private:
  std::vector<TFieldDef> items_;
};

// Index options; the bit values are those a database file stores.
enum TIndexOption : unsigned { ixPrimary = 1, ixUnique = 2, ixDescending = 4, ixCaseInsensitive = 8 };
using TIndexOptions = unsigned;

class TIndexDef {
 public:
  TIndexDef(std::string name, std::string fields, TIndexOptions options)
      : name_(std::move(name)), fields_(std::move(fields)), options_(options) {}
  const std::string& Name() const { return name_; }
  // The key field names in key order, joined by ",".
  const std::string& Fields() const { return fields_; }
  TIndexOptions Options() const { return options_; }

 private:
  std::string name_;
  std::string fields_;
  TIndexOptions options_;
};

class TIndexDefs {
 public:
  TIndexDef& Add(std::string name, std::string fields, TIndexOptions options);
  void Clear() { items_.clear(); }
  int Count() const { return static_cast<int>(items_.size()); }
  const TIndexDef& operator[](int index) const { return items_.at(static_cast<size_t>(index)); }
  int IndexOf(std::string_view name) const;
  const TIndexDef* Find(std::string_view name) const;

 private:
  std::vector<TIndexDef> items_;
};
