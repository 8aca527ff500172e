#pragma once
// An in-memory dataset for the filter parser's tests, benchmark and fuzzer:
// named fields laid out one after another in a single record buffer, plus
// blob texts kept beside it. Field names match without regard to case.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/errors.h"
#include "tomedb/filter/exprnode.h"
#include "tomedb/filter/filterdataset.h"

class TestFilterDataSet : public IFilterDataSet {
 public:
  // Adds a field; `declaredSize` is a string's length limit.
  TestFilterDataSet& Add(const std::string& name, TFieldType type, int32_t declaredSize = 20) {
    Field f;
    f.name = name;
    f.info.DataType = type;
    f.info.Index = static_cast<int32_t>(fields_.size());
    f.info.IsBlob = IsBlobFieldType(type);
    f.info.DataSize = f.info.IsBlob ? 0 : ExprValueSize(type, declaredSize);
    f.offset = static_cast<int32_t>(record_.size());
    record_.resize(record_.size() + size_t(f.info.DataSize));
    fields_.push_back(f);
    blobs_.emplace_back();
    return *this;
  }

  TFilterField FilterFieldByName(const std::string& name) override { return Find(name).info; }
  std::string FilterFieldText(int32_t index) override {
    ++textFetches;
    const Field& f = fields_.at(size_t(index));
    if (f.info.IsBlob) return blobs_[size_t(index)];
    return std::string(record_.data() + f.offset, strnlen(record_.data() + f.offset, size_t(f.info.DataSize)));
  }
  const char* FilterRecordBuffer() override { return noBuffer ? nullptr : record_.data(); }
  int32_t FilterFieldOffset(int32_t index) override { return fields_.at(size_t(index)).offset; }

  // Writes values into the record buffer (texts are cut to the field).
  void SetText(const std::string& name, const std::string& value) {
    Field& f = Find(name);
    if (f.info.IsBlob) {
      blobs_[size_t(f.info.Index)] = value;
      return;
    }
    char* p = record_.data() + f.offset;
    std::memset(p, 0, size_t(f.info.DataSize));
    std::memcpy(p, value.data(), std::min(value.size(), size_t(f.info.DataSize - 1)));
  }
  template <typename T>
  void Set(const std::string& name, T value) {
    Field& f = Find(name);
    std::memcpy(record_.data() + f.offset, &value, sizeof value);
  }

  bool noBuffer = false;
  int textFetches = 0;

 private:
  struct Field {
    std::string name;
    TFilterField info;
    int32_t offset = 0;
  };
  Field& Find(const std::string& name) {
    for (Field& f : fields_) {
      if (f.name.size() != name.size()) continue;
      bool same = true;
      for (size_t i = 0; i < name.size() && same; ++i)
        same = std::tolower(static_cast<unsigned char>(f.name[i])) == std::tolower(static_cast<unsigned char>(name[i]));
      if (same) return f;
    }
    DatabaseErrorFmt(ekNotFound, "Field '%s' not found", {name}, "TestTable");
  }

  std::vector<Field> fields_;
  std::vector<char> record_;
  std::vector<std::string> blobs_;
};
