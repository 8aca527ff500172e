#include "dataset/fields.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "core/errors.h"
#include "dataset/dataset.h"
#include "dataset/fielddefs.h"
#include "dataset/fieldtext.h"

namespace {

template <typename T>
T ReadNative(const TField& field, bool& hasValue) {
  T value{};
  hasValue = field.GetData(&value);
  return hasValue ? value : T{};
}

template <typename T>
void WriteNative(TField& field, T value) {
  field.SetData(&value);
}

bool FitsInt32(int64_t value) {
  return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}

// Length of the longest prefix of `text` of at most `limit` bytes that ends on
// a UTF-8 character boundary.
size_t Utf8Prefix(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t end = limit;
  // Step back over continuation bytes (10xxxxxx) to the start of the
  // character that the limit cuts.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return end;
}

}  // namespace

const char* FieldTypeName(TFieldType type) {
  switch (type) {
    case ftUnknown: return "Unknown";
    case ftString: return "String";
    case ftSmallint: return "SmallInt";
    case ftInteger: return "Integer";
    case ftWord: return "Word";
    case ftBoolean: return "Boolean";
    case ftFloat: return "Float";
    case ftCurrency: return "Currency";
    case ftBCD: return "BCD";
    case ftDate: return "Date";
    case ftTime: return "Time";
    case ftDateTime: return "DateTime";
    case ftBytes: return "Bytes";
    case ftVarBytes: return "VarBytes";
    case ftAutoInc: return "AutoInc";
    case ftBlob: return "Blob";
    case ftMemo: return "Memo";
    case ftGraphic: return "Graphic";
    case ftFmtMemo: return "FmtMemo";
    case ftParadoxOle: return "ParadoxOle";
    case ftDBaseOle: return "DBaseOle";
    case ftTypedBinary: return "TypedBinary";
    case ftCursor: return "Cursor";
    case ftFixedChar: return "FixedChar";
    case ftWideString: return "WideString";
    case ftLargeint: return "LargeInt";
    case ftADT: return "ADT";
    case ftArray: return "Array";
    case ftReference: return "Reference";
    case ftDataSet: return "DataSet";
    case ftOraBlob: return "OraBlob";
    case ftOraClob: return "OraClob";
    case ftVariant: return "Variant";
    case ftInterface: return "Interface";
    case ftIDispatch: return "IDispatch";
    case ftGuid: return "Guid";
  }
  return "Unknown";
}

// --- TField ---

TField::TField(TFieldType type, int32_t size) : dataType_(type), size_(size) {}

void TField::SetFieldName(std::string name) {
  if (dataSet_ && dataSet_->State() != dsInactive)
    DatabaseError(ekInvalidState, "Cannot perform this operation on an open dataset", dataSet_->Name());
  if (dataSet_) {
    TField* other = dataSet_->FindField(name);
    if (other && other != this) DatabaseErrorFmt(ekInvalidValue, "Duplicate field name '%s'", {name}, dataSet_->Name());
  }
  fieldName_ = std::move(name);
}

void TField::SetSize(int32_t size) {
  if (dataSet_ && dataSet_->State() != dsInactive)
    DatabaseError(ekInvalidState, "Cannot perform this operation on an open dataset", dataSet_->Name());
  if (size < 0) DatabaseErrorFmt(ekInvalidValue, "Invalid field size %s", {std::to_string(size)}, DataSetName());
  size_ = size;
}

void TField::SetFieldKind(TFieldKind kind) {
  if (dataSet_ && dataSet_->State() != dsInactive)
    DatabaseError(ekInvalidState, "Cannot perform this operation on an open dataset", dataSet_->Name());
  fieldKind_ = kind;
}

std::string TField::DataSetName() const { return dataSet_ ? dataSet_->Name() : std::string(); }

bool TField::IsNull() const {
  std::vector<uint8_t> scratch(static_cast<size_t>(DataSize()) + 1);
  return !GetData(scratch.data());
}

bool TField::GetData(void* buffer) const {
  if (!dataSet_) DatabaseErrorFmt(ekInvalidState, "Field '%s' has no dataset", {fieldName_});
  return dataSet_->GetFieldData(*this, buffer);
}

void TField::SetData(const void* buffer) {
  if (!dataSet_) DatabaseErrorFmt(ekInvalidState, "Field '%s' has no dataset", {fieldName_});
  switch (dataSet_->State()) {
    case dsEdit:
    case dsInsert:
    case dsSetKey:
    case dsFilter:
    case dsNewValue: break;
    case dsCalcFields:
      if (Calculated()) break;
      DatabaseErrorFmt(ekReadOnly, "Field '%s' cannot be modified", {fieldName_}, dataSet_->Name());
    default: DatabaseError(ekInvalidState, "Dataset not in edit or insert mode", dataSet_->Name());
  }
  dataSet_->SetFieldData(*this, buffer);
}

void TField::AccessError(const char* typeName) const {
  DatabaseErrorFmt(ekInvalidValue, "Cannot access field '%s' as type %s", {fieldName_, typeName}, DataSetName());
}

void TField::RangeError(std::string_view value, std::string_view low, std::string_view high) const {
  DatabaseErrorFmt(ekInvalidValue, "%s is not a valid value for field '%s'. The allowed range is %s to %s",
                   {value, fieldName_, low, high}, DataSetName());
}

int32_t TField::AsInteger() const { AccessError("Integer"); }
void TField::SetAsInteger(int32_t) { AccessError("Integer"); }
int64_t TField::AsLargeint() const { return AsInteger(); }
void TField::SetAsLargeint(int64_t value) {
  if (!FitsInt32(value)) AccessError("LargeInt");
  SetAsInteger(static_cast<int32_t>(value));
}
double TField::AsFloat() const { AccessError("Float"); }
void TField::SetAsFloat(double) { AccessError("Float"); }
bool TField::AsBoolean() const { AccessError("Boolean"); }
void TField::SetAsBoolean(bool) { AccessError("Boolean"); }
TDateTime TField::AsDateTime() const { AccessError("DateTime"); }
void TField::SetAsDateTime(TDateTime) { AccessError("DateTime"); }

void TField::SetValue(const Variant& value) {
  switch (value.Kind()) {
    case vkNull: Clear(); return;
    case vkBoolean: SetAsBoolean(value.AsBoolean()); return;
    case vkInteger: SetAsInteger(value.AsInteger()); return;
    case vkLargeint: SetAsLargeint(value.AsLargeint()); return;
    case vkFloat: SetAsFloat(value.AsFloat()); return;
    case vkDateTime: SetAsDateTime(value.AsDateTime()); return;
    case vkString: SetAsString(value.AsString()); return;
    case vkArray: break;
  }
  AccessError("Array");
}

// --- TStringField ---

TStringField::TStringField(int32_t size, TFieldType type) : TField(type, size) {}

std::string TStringField::AsString() const {
  std::vector<char> buffer(static_cast<size_t>(DataSize()), '\0');
  if (!GetData(buffer.data())) return {};
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

void TStringField::SetAsString(std::string_view value) {
  std::vector<char> buffer(static_cast<size_t>(DataSize()), '\0');
  // A text stops at its first zero byte, as the stored form does.
  value = value.substr(0, std::min(value.size(), value.find('\0')));
  size_t length = Utf8Prefix(value, static_cast<size_t>(Size()));
  std::memcpy(buffer.data(), value.data(), length);
  SetData(buffer.data());
}

int32_t TStringField::AsInteger() const {
  int64_t value = AsLargeint();
  if (!FitsInt32(value)) throw EConvertError(FormatMessage("'%s' is not a valid integer value", {AsString()}));
  return static_cast<int32_t>(value);
}

void TStringField::SetAsInteger(int32_t value) { SetAsString(IntegerToText(value)); }

int64_t TStringField::AsLargeint() const {
  std::string text = AsString();
  return text.empty() ? 0 : TextToInteger(text);
}

void TStringField::SetAsLargeint(int64_t value) { SetAsString(IntegerToText(value)); }

double TStringField::AsFloat() const {
  std::string text = AsString();
  return text.empty() ? 0 : TextToFloat(text);
}

void TStringField::SetAsFloat(double value) { SetAsString(FloatToText(value)); }

bool TStringField::AsBoolean() const {
  std::string text = AsString();
  bool value = false;
  if (!text.empty() && !TryTextToBoolean(text, value))
    DatabaseErrorFmt(ekInvalidValue, "'%s' is not a valid boolean value for field '%s'", {text, FieldName()},
                     DataSetName());
  return value;
}

void TStringField::SetAsBoolean(bool value) { SetAsString(BooleanToText(value)); }

TDateTime TStringField::AsDateTime() const {
  std::string text = AsString();
  return text.empty() ? 0 : TextToDateTimeValue(text);
}

void TStringField::SetAsDateTime(TDateTime value) { SetAsString(DateTimeValueToText(value)); }

Variant TStringField::GetAsVariant() const { return Variant(AsString()); }

// --- TIntegerField and its kin ---

int32_t TIntegerField::DataSize() const { return DataType() == ftSmallint || DataType() == ftWord ? 2 : 4; }

int64_t TIntegerField::MinValue() const {
  switch (DataType()) {
    case ftSmallint: return std::numeric_limits<int16_t>::min();
    case ftWord: return 0;
    default: return std::numeric_limits<int32_t>::min();
  }
}

int64_t TIntegerField::MaxValue() const {
  switch (DataType()) {
    case ftSmallint: return std::numeric_limits<int16_t>::max();
    case ftWord: return std::numeric_limits<uint16_t>::max();
    default: return std::numeric_limits<int32_t>::max();
  }
}

int32_t TIntegerField::AsInteger() const {
  bool hasValue;
  switch (DataType()) {
    case ftSmallint: return ReadNative<int16_t>(*this, hasValue);
    case ftWord: return ReadNative<uint16_t>(*this, hasValue);
    default: return ReadNative<int32_t>(*this, hasValue);
  }
}

void TIntegerField::SetAsInteger(int32_t value) {
  if (value < MinValue() || value > MaxValue())
    RangeError(IntegerToText(value), IntegerToText(MinValue()), IntegerToText(MaxValue()));
  switch (DataType()) {
    case ftSmallint: WriteNative(*this, static_cast<int16_t>(value)); break;
    case ftWord: WriteNative(*this, static_cast<uint16_t>(value)); break;
    default: WriteNative(*this, value); break;
  }
}

std::string TIntegerField::AsString() const { return IsNull() ? std::string() : IntegerToText(AsInteger()); }

void TIntegerField::SetAsString(std::string_view value) {
  if (value.empty()) {
    Clear();
    return;
  }
  int64_t number = TextToInteger(value);
  if (number < MinValue() || number > MaxValue())
    RangeError(IntegerToText(number), IntegerToText(MinValue()), IntegerToText(MaxValue()));
  SetAsInteger(static_cast<int32_t>(number));
}

double TIntegerField::AsFloat() const { return AsInteger(); }

void TIntegerField::SetAsFloat(double value) {
  double rounded = std::round(value);
  if (!std::isfinite(rounded) || rounded < static_cast<double>(MinValue()) || rounded > static_cast<double>(MaxValue()))
    RangeError(FloatToText(value), IntegerToText(MinValue()), IntegerToText(MaxValue()));
  SetAsInteger(static_cast<int32_t>(rounded));
}

Variant TIntegerField::GetAsVariant() const { return Variant(AsInteger()); }

// --- TLargeintField ---

int64_t TLargeintField::AsLargeint() const {
  bool hasValue;
  return ReadNative<int64_t>(*this, hasValue);
}

void TLargeintField::SetAsLargeint(int64_t value) { WriteNative(*this, value); }

int32_t TLargeintField::AsInteger() const {
  int64_t value = AsLargeint();
  if (!FitsInt32(value)) throw EConvertError(FormatMessage("'%s' is not a valid integer value", {IntegerToText(value)}));
  return static_cast<int32_t>(value);
}

void TLargeintField::SetAsInteger(int32_t value) { SetAsLargeint(value); }

std::string TLargeintField::AsString() const { return IsNull() ? std::string() : IntegerToText(AsLargeint()); }

void TLargeintField::SetAsString(std::string_view value) {
  if (value.empty()) Clear();
  else SetAsLargeint(TextToInteger(value));
}

double TLargeintField::AsFloat() const { return static_cast<double>(AsLargeint()); }

void TLargeintField::SetAsFloat(double value) {
  double rounded = std::round(value);
  // 2^63 is the first double beyond the range.
  if (!std::isfinite(rounded) || rounded < -9223372036854775808.0 || rounded >= 9223372036854775808.0)
    RangeError(FloatToText(value), IntegerToText(std::numeric_limits<int64_t>::min()),
               IntegerToText(std::numeric_limits<int64_t>::max()));
  SetAsLargeint(static_cast<int64_t>(rounded));
}

Variant TLargeintField::GetAsVariant() const { return Variant(AsLargeint()); }

// --- TBooleanField ---

bool TBooleanField::AsBoolean() const {
  bool hasValue;
  return ReadNative<uint16_t>(*this, hasValue) != 0;
}

void TBooleanField::SetAsBoolean(bool value) { WriteNative<uint16_t>(*this, value ? 1 : 0); }

std::string TBooleanField::AsString() const { return IsNull() ? std::string() : BooleanToText(AsBoolean()); }

void TBooleanField::SetAsString(std::string_view value) {
  if (value.empty()) {
    Clear();
    return;
  }
  bool flag;
  if (!TryTextToBoolean(value, flag))
    DatabaseErrorFmt(ekInvalidValue, "'%s' is not a valid boolean value for field '%s'", {value, FieldName()},
                     DataSetName());
  SetAsBoolean(flag);
}

Variant TBooleanField::GetAsVariant() const { return Variant(AsBoolean()); }

// --- TFloatField ---

double TFloatField::AsFloat() const {
  bool hasValue;
  return ReadNative<double>(*this, hasValue);
}

void TFloatField::SetAsFloat(double value) { WriteNative(*this, value); }

int64_t TFloatField::AsLargeint() const {
  double value = std::round(AsFloat());
  if (!std::isfinite(value) || value < -9223372036854775808.0 || value >= 9223372036854775808.0)
    throw EConvertError(FormatMessage("'%s' is not a valid integer value", {FloatToText(AsFloat())}));
  return static_cast<int64_t>(value);
}

void TFloatField::SetAsLargeint(int64_t value) { SetAsFloat(static_cast<double>(value)); }

int32_t TFloatField::AsInteger() const {
  int64_t value = AsLargeint();
  if (!FitsInt32(value)) throw EConvertError(FormatMessage("'%s' is not a valid integer value", {FloatToText(AsFloat())}));
  return static_cast<int32_t>(value);
}

void TFloatField::SetAsInteger(int32_t value) { SetAsFloat(value); }

std::string TFloatField::AsString() const { return IsNull() ? std::string() : FloatToText(AsFloat()); }

void TFloatField::SetAsString(std::string_view value) {
  if (value.empty()) Clear();
  else SetAsFloat(TextToFloat(value));
}

Variant TFloatField::GetAsVariant() const { return Variant(AsFloat()); }

// --- TDateTimeField, TDateField, TTimeField ---

int32_t TDateTimeField::DataSize() const { return DataType() == ftDateTime ? 8 : 4; }

TDateTime TDateTimeField::AsDateTime() const {
  bool hasValue;
  switch (DataType()) {
    case ftDate: {
      int32_t day = ReadNative<int32_t>(*this, hasValue);
      return hasValue ? StoredDateToDateTime(day) : 0;
    }
    case ftTime: {
      int32_t msecs = ReadNative<int32_t>(*this, hasValue);
      return hasValue ? StoredTimeToDateTime(msecs) : 0;
    }
    default: {
      double msecs = ReadNative<double>(*this, hasValue);
      return hasValue ? StoredDateTimeToDateTime(msecs) : 0;
    }
  }
}

void TDateTimeField::SetAsDateTime(TDateTime value) {
  TTimeStamp stamp;
  if (!TryDateTimeToTimeStamp(value, stamp))
    DatabaseErrorFmt(ekInvalidValue, "%s is not a valid date and time for field '%s'",
                     {FloatToText(value), FieldName()}, DataSetName());
  switch (DataType()) {
    case ftDate: WriteNative(*this, DateTimeToStoredDate(value)); break;
    case ftTime: WriteNative(*this, DateTimeToStoredTime(value)); break;
    default: WriteNative(*this, DateTimeToStoredDateTime(value)); break;
  }
}

double TDateTimeField::AsFloat() const { return AsDateTime(); }

void TDateTimeField::SetAsFloat(double value) { SetAsDateTime(value); }

std::string TDateTimeField::AsString() const {
  if (IsNull()) return {};
  TDateTime value = AsDateTime();
  switch (DataType()) {
    case ftDate: return DateValueToText(value);
    case ftTime: return TimeValueToText(value);
    default: return DateTimeValueToText(value);
  }
}

void TDateTimeField::SetAsString(std::string_view value) {
  if (value.empty()) {
    Clear();
    return;
  }
  switch (DataType()) {
    case ftDate: SetAsDateTime(TextToDateValue(value)); break;
    case ftTime: SetAsDateTime(TextToTimeValue(value)); break;
    default: SetAsDateTime(TextToDateTimeValue(value)); break;
  }
}

Variant TDateTimeField::GetAsVariant() const { return Variant::FromDateTime(AsDateTime()); }

// --- TBlobField ---

bool TBlobField::IsNull() const { return AsString().empty(); }

std::string TBlobField::AsString() const {
  if (!DataSet()) DatabaseErrorFmt(ekInvalidState, "Field '%s' has no dataset", {FieldName()});
  return DataSet()->ReadBlob(*this);
}

void TBlobField::SetAsString(std::string_view value) {
  if (!DataSet()) DatabaseErrorFmt(ekInvalidState, "Field '%s' has no dataset", {FieldName()});
  switch (DataSet()->State()) {
    case dsEdit:
    case dsInsert:
    case dsNewValue:
    case dsFilter:  // a key value written into the buffer a search compares with
      break;
    default: DatabaseError(ekInvalidState, "Dataset not in edit or insert mode", DataSet()->Name());
  }
  DataSet()->WriteBlob(*this, value);
}

Variant TBlobField::GetAsVariant() const { return Variant(AsString()); }

// --- Factory and field list ---

std::unique_ptr<TField> CreateFieldOfType(TFieldType type, int32_t size) {
  switch (type) {
    case ftString:
    case ftFixedChar: return std::make_unique<TStringField>(size, type);
    case ftSmallint: return std::make_unique<TSmallintField>();
    case ftInteger: return std::make_unique<TIntegerField>();
    case ftWord: return std::make_unique<TWordField>();
    case ftAutoInc: return std::make_unique<TAutoIncField>();
    case ftLargeint: return std::make_unique<TLargeintField>();
    case ftBoolean: return std::make_unique<TBooleanField>();
    case ftFloat: return std::make_unique<TFloatField>();
    case ftCurrency: return std::make_unique<TCurrencyField>();
    case ftDate: return std::make_unique<TDateField>();
    case ftTime: return std::make_unique<TTimeField>();
    case ftDateTime: return std::make_unique<TDateTimeField>();
    case ftMemo:
    case ftFmtMemo:
    case ftOraClob: return std::make_unique<TMemoField>(type);
    case ftGraphic: return std::make_unique<TGraphicField>();
    case ftBlob:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob: return std::make_unique<TBlobField>(type);
    default: return nullptr;
  }
}

TField* TFields::FindField(std::string_view name) const {
  for (const auto& field : fields_)
    if (SameNameIgnoringCase(field->FieldName(), name)) return field.get();
  return nullptr;
}

TField& TFields::FieldByName(std::string_view name) const {
  TField* field = FindField(name);
  if (!field) DatabaseErrorFmt(ekNotFound, "Field '%s' not found", {name}, dataSet_.Name());
  return *field;
}

TField* TFields::FieldByNumber(int32_t fieldNo) const {
  if (fieldNo <= 0) return nullptr;
  for (const auto& field : fields_)
    if (field->FieldNo() == fieldNo) return field.get();
  return nullptr;
}

TField& TFields::Add(std::unique_ptr<TField> field) {
  if (!field) DatabaseError(ekInvalidValue, "No field to add", dataSet_.Name());
  if (!field->FieldName().empty() && FindField(field->FieldName()))
    DatabaseErrorFmt(ekInvalidValue, "Duplicate field name '%s'", {field->FieldName()}, dataSet_.Name());
  field->dataSet_ = &dataSet_;
  field->index_ = Count();
  fields_.push_back(std::move(field));
  return *fields_.back();
}

void TFields::Clear() { fields_.clear(); }
