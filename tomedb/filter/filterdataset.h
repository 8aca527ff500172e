#pragma once
// IFilterDataSet: everything the filter parser asks of the dataset it serves.
//
// The parser never sees files, field objects or dataset states; it needs only
// these answers, so the table dataset implements this interface and tests use
// a small in-memory double. Names are matched without regard to letter case.
//
// Field nodes read their values in place: on the first evaluation after a
// parse the evaluator asks for FilterRecordBuffer() once and keeps
// buffer + FilterFieldOffset(index) for every later record, so a dataset must
// load every record of one filter pass into the same buffer. Blob fields are
// the exception: their text is fetched through FilterFieldText() on every
// evaluation.

#include <cstdint>
#include <string>

#include "dataset/fieldtypes.h"

// What the parser needs to know of one field.
struct TFilterField {
  TFieldType DataType = ftUnknown;
  int32_t Index = -1;       // position in the dataset's field list (0-based)
  bool IsBlob = false;      // the value lives outside the record buffer
  int32_t DataSize = 0;     // bytes of the value in a record buffer (a string's declared size + 1)
};

class IFilterDataSet {
 public:
  // The field of that name. REQUIRES nothing; raises the dataset's
  // "Field '%s' not found" (with the dataset's name) when there is none.
  virtual TFilterField FilterFieldByName(const std::string& name) = 0;
  // The field's current value as text (a blob field's whole text).
  virtual std::string FilterFieldText(int32_t fieldIndex) = 0;
  // The record buffer of the dataset's present state, or nullptr when there
  // is none (every field then reads as empty).
  virtual const char* FilterRecordBuffer() = 0;
  // The byte offset of a field's value inside a record buffer.
  virtual int32_t FilterFieldOffset(int32_t fieldIndex) = 0;

 protected:
  ~IFilterDataSet() = default;
};
