#pragma once
// Field objects: one per field of an open dataset, giving typed access to the
// field's value in the dataset's current record buffer.
//
// A field reads and writes its value in its native form (the stored form of a
// record: a zero-terminated text of Size() + 1 bytes, little-endian integers,
// a 16-bit boolean, doubles, a day number for ftDate, milliseconds for ftTime
// and ftDateTime) through its dataset's GetFieldData and SetFieldData; the
// field classes convert between that form and the typed accessors. Blob fields
// go through the dataset's ReadBlob and WriteBlob instead.
//
// A field without a value (the dataset has no current buffer, or a calculated
// field not yet set) is null: AsString gives "", the numbers 0, AsBoolean
// false and Value() a Null variant. Writing requires the dataset to be in a
// state that accepts values (edit, insert, set-key, filter, new-value; the
// calc-fields state for calculated fields only).
//
// Fields belong to their dataset (TFields owns them) and are used on the
// dataset's thread.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/datetime.h"
#include "dataset/fieldtypes.h"
#include "dataset/variant.h"

class TDataSet;

enum TFieldKind { fkData, fkCalculated };

// The name of a field type in messages ("String", "Integer", ...).
const char* FieldTypeName(TFieldType type);

class TField {
 public:
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;
  virtual ~TField() = default;

  const std::string& FieldName() const { return fieldName_; }
  // REQUIRES: the dataset is closed.
  void SetFieldName(std::string name);
  TFieldType DataType() const { return dataType_; }
  // The declared size (characters of a text field); 0 for fixed-size types.
  int32_t Size() const { return size_; }
  // REQUIRES: the dataset is closed.
  void SetSize(int32_t size);
  TFieldKind FieldKind() const { return fieldKind_; }
  // REQUIRES: the dataset is closed.
  void SetFieldKind(TFieldKind kind);
  bool Calculated() const { return fieldKind_ == fkCalculated; }
  // The field's number in the record, from 1, for a bound data field; 0 for
  // a calculated field and for a field not bound to an open dataset.
  int32_t FieldNo() const { return fieldNo_; }
  // Position in the dataset's field list.
  int Index() const { return index_; }
  TDataSet* DataSet() const { return dataSet_; }
  // Start of a calculated field (its null-flag byte) inside the calculated
  // area of a record buffer; 0 for data fields.
  int32_t Offset() const { return offset_; }
  // Bytes of the native form; 0 for blob fields, whose value lives elsewhere.
  virtual int32_t DataSize() const = 0;
  virtual bool IsBlob() const { return false; }

  virtual bool IsNull() const;
  void Clear() { SetData(nullptr); }

  virtual std::string AsString() const = 0;
  virtual void SetAsString(std::string_view value) = 0;
  virtual int32_t AsInteger() const;
  virtual void SetAsInteger(int32_t value);
  virtual int64_t AsLargeint() const;
  virtual void SetAsLargeint(int64_t value);
  virtual double AsFloat() const;
  virtual void SetAsFloat(double value);
  virtual bool AsBoolean() const;
  virtual void SetAsBoolean(bool value);
  virtual TDateTime AsDateTime() const;
  virtual void SetAsDateTime(TDateTime value);
  Variant Value() const { return IsNull() ? Variant() : GetAsVariant(); }
  // A Null variant clears the field; an array is refused.
  void SetValue(const Variant& value);

  // The native form, through the dataset. `buffer` must hold DataSize()
  // bytes. GetData gives false (and leaves the buffer alone) when the field
  // has no value; SetData with nullptr clears the field.
  bool GetData(void* buffer) const;
  void SetData(const void* buffer);

 protected:
  TField(TFieldType type, int32_t size);

  virtual Variant GetAsVariant() const = 0;

  [[noreturn]] void AccessError(const char* typeName) const;
  [[noreturn]] void RangeError(std::string_view value, std::string_view low, std::string_view high) const;
  // The dataset's name, for messages raised on its behalf.
  std::string DataSetName() const;

 private:
  friend class TDataSet;
  friend class TFields;

  std::string fieldName_;
  TFieldType dataType_;
  int32_t size_;
  TFieldKind fieldKind_ = fkData;
  int32_t fieldNo_ = 0;
  int index_ = -1;
  int32_t offset_ = 0;
  TDataSet* dataSet_ = nullptr;
};

// ftString and ftFixedChar: text of at most Size() bytes of UTF-8. Writing a
// longer text cuts it at the last whole character that fits.
class TStringField : public TField {
 public:
  explicit TStringField(int32_t size = 20, TFieldType type = ftString);
  int32_t DataSize() const override { return Size() + 1; }
  std::string AsString() const override;
  void SetAsString(std::string_view value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override;
  int64_t AsLargeint() const override;
  void SetAsLargeint(int64_t value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime value) override;

 protected:
  Variant GetAsVariant() const override;
};

// ftInteger (32 bits) and the narrower or special integer types below it.
// Writing a value outside the type's range raises instead of wrapping.
class TIntegerField : public TField {
 public:
  TIntegerField() : TIntegerField(ftInteger) {}
  int32_t DataSize() const override;
  int64_t MinValue() const;
  int64_t MaxValue() const;

 protected:
  explicit TIntegerField(TFieldType type) : TField(type, 0) {}

 public:
  std::string AsString() const override;
  void SetAsString(std::string_view value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;

 protected:
  Variant GetAsVariant() const override;
};

class TSmallintField : public TIntegerField {
 public:
  TSmallintField() : TIntegerField(ftSmallint) {}
};

class TWordField : public TIntegerField {
 public:
  TWordField() : TIntegerField(ftWord) {}
};

class TAutoIncField : public TIntegerField {
 public:
  TAutoIncField() : TIntegerField(ftAutoInc) {}
};

class TLargeintField : public TField {
 public:
  TLargeintField() : TField(ftLargeint, 0) {}
  int32_t DataSize() const override { return 8; }
  std::string AsString() const override;
  void SetAsString(std::string_view value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override;
  int64_t AsLargeint() const override;
  void SetAsLargeint(int64_t value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;

 protected:
  Variant GetAsVariant() const override;
};

// A 16-bit value: 0 false, anything else true; written as 0 or 1.
class TBooleanField : public TField {
 public:
  TBooleanField() : TField(ftBoolean, 0) {}
  int32_t DataSize() const override { return 2; }
  std::string AsString() const override;
  void SetAsString(std::string_view value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;

 protected:
  Variant GetAsVariant() const override;
};

class TFloatField : public TField {
 public:
  TFloatField() : TFloatField(ftFloat) {}
  int32_t DataSize() const override { return 8; }

 protected:
  explicit TFloatField(TFieldType type) : TField(type, 0) {}

 public:
  std::string AsString() const override;
  void SetAsString(std::string_view value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override;
  int64_t AsLargeint() const override;
  void SetAsLargeint(int64_t value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;

 protected:
  Variant GetAsVariant() const override;
};

class TCurrencyField : public TFloatField {
 public:
  TCurrencyField() : TFloatField(ftCurrency) {}
};

// ftDateTime: milliseconds since 0001-01-01 as a double. TDateField and
// TTimeField store a day number and milliseconds since midnight in 4 bytes.
// All three convert to and from TDateTime as datetime.h describes.
class TDateTimeField : public TField {
 public:
  TDateTimeField() : TDateTimeField(ftDateTime) {}
  int32_t DataSize() const override;

 protected:
  explicit TDateTimeField(TFieldType type) : TField(type, 0) {}

 public:
  std::string AsString() const override;
  void SetAsString(std::string_view value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime value) override;

 protected:
  Variant GetAsVariant() const override;
};

class TDateField : public TDateTimeField {
 public:
  TDateField() : TDateTimeField(ftDate) {}
};

class TTimeField : public TDateTimeField {
 public:
  TTimeField() : TDateTimeField(ftTime) {}
};

// The blob types: the value is a byte string kept outside the record and
// reached through the dataset's ReadBlob and WriteBlob. An empty blob is null.
class TBlobField : public TField {
 public:
  explicit TBlobField(TFieldType type = ftBlob) : TField(type, 0) {}
  int32_t DataSize() const override { return 0; }
  bool IsBlob() const override { return true; }
  bool IsNull() const override;
  std::string AsString() const override;
  void SetAsString(std::string_view value) override;

 protected:
  Variant GetAsVariant() const override;
};

class TMemoField : public TBlobField {
 public:
  explicit TMemoField(TFieldType type = ftMemo) : TBlobField(type) {}
};

class TGraphicField : public TBlobField {
 public:
  TGraphicField() : TBlobField(ftGraphic) {}
};

// The field class for a type that a record can hold: ftString, ftFixedChar,
// the integer types, ftBoolean, ftFloat, ftCurrency, ftDate, ftTime,
// ftDateTime, ftLargeint and the blob types. Any other type gives nullptr.
std::unique_ptr<TField> CreateFieldOfType(TFieldType type, int32_t size);

// The dataset's field objects, in order. Owns them.
class TFields {
 public:
  explicit TFields(TDataSet& dataSet) : dataSet_(dataSet) {}
  TFields(const TFields&) = delete;
  TFields& operator=(const TFields&) = delete;

  int Count() const { return static_cast<int>(fields_.size()); }
  TField& operator[](int index) const { return *fields_.at(static_cast<size_t>(index)); }
  // Case-insensitive; nullptr when no field has the name.
  TField* FindField(std::string_view name) const;
  // Raises "Field '%s' not found" with the dataset's name when missing.
  TField& FieldByName(std::string_view name) const;
  // The data field with this number (from 1), or nullptr.
  TField* FieldByNumber(int32_t fieldNo) const;

  // Takes ownership; raises when another field has the same name.
  TField& Add(std::unique_ptr<TField> field);
  void Clear();

 private:
  TDataSet& dataSet_;
  std::vector<std::unique_ptr<TField>> fields_;
};
