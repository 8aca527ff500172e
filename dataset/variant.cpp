#include "dataset/variant.h"

#include <cmath>
#include <limits>

#include "core/errors.h"
#include "dataset/fieldtext.h"

namespace {

[[noreturn]] void ConvertError(TVariantKind from, TVariantKind to) {
  DatabaseErrorFmt(ekInvalidValue, "Could not convert variant of type (%s) into type (%s)",
                   {VariantKindName(from), VariantKindName(to)});
}

bool FitsInt32(int64_t value) {
  return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}

}  // namespace

const char* VariantKindName(TVariantKind kind) {
  switch (kind) {
    case vkNull: return "Null";
    case vkBoolean: return "Boolean";
    case vkInteger: return "Integer";
    case vkLargeint: return "Int64";
    case vkFloat: return "Double";
    case vkDateTime: return "Date";
    case vkString: return "String";
    case vkArray: return "Array";
  }
  return "Unknown";
}

Variant Variant::FromDateTime(TDateTime value) {
  Variant v;
  v.kind_ = vkDateTime;
  v.float_ = value;
  return v;
}

bool Variant::AsBoolean() const {
  switch (kind_) {
    case vkBoolean:
    case vkInteger:
    case vkLargeint: return integer_ != 0;
    case vkString: {
      bool value;
      if (TryTextToBoolean(text_, value)) return value;
      break;
    }
    default: break;
  }
  ConvertError(kind_, vkBoolean);
}

int64_t Variant::AsLargeint() const {
  switch (kind_) {
    case vkBoolean:
    case vkInteger:
    case vkLargeint: return integer_;
    case vkFloat:
    case vkDateTime:
      if (std::isfinite(float_) && std::fabs(float_) < 9.2e18) return std::llround(float_);
      break;
    case vkString: {
      int64_t value;
      if (TryTextToInteger(text_, value)) return value;
      break;
    }
    default: break;
  }
  ConvertError(kind_, vkLargeint);
}

int32_t Variant::AsInteger() const {
  if (kind_ != vkNull && kind_ != vkArray) {
    int64_t value = AsLargeint();
    if (FitsInt32(value)) return static_cast<int32_t>(value);
  }
  ConvertError(kind_, vkInteger);
}

double Variant::AsFloat() const {
  switch (kind_) {
    case vkBoolean:
    case vkInteger:
    case vkLargeint: return static_cast<double>(integer_);
    case vkFloat:
    case vkDateTime: return float_;
    case vkString: {
      double value;
      if (TryTextToFloat(text_, value)) return value;
      break;
    }
    default: break;
  }
  ConvertError(kind_, vkFloat);
}

TDateTime Variant::AsDateTime() const {
  switch (kind_) {
    case vkInteger:
    case vkLargeint: return static_cast<double>(integer_);
    case vkFloat:
    case vkDateTime: return float_;
    case vkString: {
      TDateTime value;
      if (TryTextToDateTimeValue(text_, value)) return value;
      break;
    }
    default: break;
  }
  ConvertError(kind_, vkDateTime);
}

std::string Variant::AsString() const {
  switch (kind_) {
    case vkNull: return {};
    case vkBoolean: return BooleanToText(integer_ != 0);
    case vkInteger:
    case vkLargeint: return IntegerToText(integer_);
    case vkFloat: return FloatToText(float_);
    case vkDateTime: return DateTimeValueToText(float_);
    case vkString: return text_;
    case vkArray: break;
  }
  ConvertError(kind_, vkString);
}

bool Variant::operator==(const Variant& other) const {
  if (kind_ != other.kind_) return false;
  switch (kind_) {
    case vkNull: return true;
    case vkBoolean:
    case vkInteger:
    case vkLargeint: return integer_ == other.integer_;
    case vkFloat:
    case vkDateTime: return float_ == other.float_;
    case vkString: return text_ == other.text_;
    case vkArray: return items_ == other.items_;
  }
  return false;
}
