// Field objects: typed access to every field type, conversions, ranges,
// null values and the states in which a field may be written.

#include <gtest/gtest.h>

#include <functional>

#include "tests/dataset/fixedlocale.h"
#include "tests/dataset/memorydataset.h"
#include "tests/database_error_of.h"

namespace {

TDateTime MakeDate(int y, int m, int d) {
  int32_t day = 0;
  TryEncodeDate(y, m, d, day);
  return StoredDateToDateTime(day);
}

class FieldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ds = std::make_unique<TMemoryDataSet>(std::vector<TMemoryDataSet::Column>{
        {"text", ftString, 5},
        {"fixed", ftFixedChar, 3},
        {"small", ftSmallint},
        {"int", ftInteger},
        {"word", ftWord},
        {"flag", ftBoolean},
        {"real", ftFloat},
        {"money", ftCurrency},
        {"day", ftDate},
        {"clock", ftTime},
        {"stamp", ftDateTime},
        {"auto", ftAutoInc},
        {"big", ftLargeint},
        {"notes", ftMemo},
        {"picture", ftGraphic},
        {"data", ftBlob},
    });
    ds->AddRow({Variant("hello"), Variant("abc"), Variant(-7), Variant(123456), Variant(65535), Variant(true),
                Variant(2.5), Variant(19.99), Variant::FromDateTime(MakeDate(2004, 12, 31)),
                Variant::FromDateTime(0.5), Variant::FromDateTime(MakeDate(2004, 12, 31) + 0.25), Variant(1),
                Variant(static_cast<int64_t>(1) << 40), Variant("memo text"), Variant(), Variant()});
    ds->Open();
  }
  TField& F(const char* name) { return ds->FieldByName(name); }
  FixedLocale locale;
  std::unique_ptr<TMemoryDataSet> ds;
};

TEST_F(FieldTest, EveryTypeHasItsFieldClass) {
  EXPECT_NE(dynamic_cast<TStringField*>(&F("text")), nullptr);
  EXPECT_NE(dynamic_cast<TStringField*>(&F("fixed")), nullptr);
  EXPECT_NE(dynamic_cast<TSmallintField*>(&F("small")), nullptr);
  EXPECT_NE(dynamic_cast<TIntegerField*>(&F("int")), nullptr);
  EXPECT_NE(dynamic_cast<TWordField*>(&F("word")), nullptr);
  EXPECT_NE(dynamic_cast<TBooleanField*>(&F("flag")), nullptr);
  EXPECT_NE(dynamic_cast<TFloatField*>(&F("real")), nullptr);
  EXPECT_NE(dynamic_cast<TCurrencyField*>(&F("money")), nullptr);
  EXPECT_NE(dynamic_cast<TDateField*>(&F("day")), nullptr);
  EXPECT_NE(dynamic_cast<TTimeField*>(&F("clock")), nullptr);
  EXPECT_NE(dynamic_cast<TDateTimeField*>(&F("stamp")), nullptr);
  EXPECT_NE(dynamic_cast<TAutoIncField*>(&F("auto")), nullptr);
  EXPECT_NE(dynamic_cast<TLargeintField*>(&F("big")), nullptr);
  EXPECT_NE(dynamic_cast<TMemoField*>(&F("notes")), nullptr);
  EXPECT_NE(dynamic_cast<TGraphicField*>(&F("picture")), nullptr);
  EXPECT_NE(dynamic_cast<TBlobField*>(&F("data")), nullptr);
  EXPECT_TRUE(F("notes").IsBlob());
  // Native sizes are the stored sizes of a record.
  EXPECT_EQ(F("text").DataSize(), 6);
  EXPECT_EQ(F("small").DataSize(), 2);
  EXPECT_EQ(F("flag").DataSize(), 2);
  EXPECT_EQ(F("day").DataSize(), 4);
  EXPECT_EQ(F("stamp").DataSize(), 8);
  EXPECT_EQ(F("big").DataSize(), 8);
  // Types no record can hold have no field class.
  EXPECT_EQ(CreateFieldOfType(ftBCD, 0), nullptr);
  EXPECT_EQ(CreateFieldOfType(ftWideString, 10), nullptr);
  EXPECT_EQ(CreateFieldOfType(ftGuid, 0), nullptr);
}

TEST_F(FieldTest, ReadsEveryTypeAsTextAndAsItsOwnType) {
  EXPECT_EQ(F("text").AsString(), "hello");
  EXPECT_EQ(F("fixed").AsString(), "abc");
  EXPECT_EQ(F("small").AsInteger(), -7);
  EXPECT_EQ(F("small").AsString(), "-7");
  EXPECT_EQ(F("int").AsInteger(), 123456);
  EXPECT_EQ(F("word").AsInteger(), 65535);
  EXPECT_TRUE(F("flag").AsBoolean());
  EXPECT_EQ(F("flag").AsString(), "True");
  EXPECT_DOUBLE_EQ(F("real").AsFloat(), 2.5);
  EXPECT_EQ(F("real").AsString(), "2.5");
  EXPECT_EQ(F("real").AsInteger(), 3);  // rounded
  EXPECT_EQ(F("money").AsString(), "19.99");
  EXPECT_EQ(F("day").AsDateTime(), MakeDate(2004, 12, 31));
  EXPECT_EQ(F("day").AsString(), "12/31/2004");
  EXPECT_DOUBLE_EQ(F("clock").AsDateTime(), 0.5);
  EXPECT_EQ(F("clock").AsString(), "12:00:00");
  EXPECT_DOUBLE_EQ(F("stamp").AsDateTime(), MakeDate(2004, 12, 31) + 0.25);
  EXPECT_EQ(F("stamp").AsString(), "12/31/2004 6:00:00");
  EXPECT_EQ(F("big").AsLargeint(), int64_t{1} << 40);
  EXPECT_EQ(F("big").AsString(), "1099511627776");
  EXPECT_EQ(F("notes").AsString(), "memo text");
  EXPECT_TRUE(F("picture").IsNull());
}

TEST_F(FieldTest, NumbersAndDatesFollowTheLocale) {
  TLocaleSettings settings = LocaleSettings();
  settings.DecimalSeparator = ',';
  settings.DateOrder = "YMD";
  settings.DateSeparator = '-';
  settings.TwentyFourHourTime = false;
  SetLocaleSettings(settings);
  EXPECT_EQ(F("real").AsString(), "2,5");
  EXPECT_EQ(F("stamp").AsString(), "2004-12-31 6:00:00 AM");
  EXPECT_EQ(F("clock").AsString(), "12:00:00 PM");
  ds->Edit();
  F("real").SetAsString("0,75");
  F("day").SetAsString("2001-02-03");
  EXPECT_EQ(ErrorOf([&] { F("real").SetAsString("0.75"); }), "'0.75' is not a valid floating point value");
  ds->Post();
  EXPECT_EQ(ds->StoredValue(0, 6), Variant(0.75));
  EXPECT_EQ(ds->StoredValue(0, 8), Variant::FromDateTime(MakeDate(2001, 2, 3)));
}

TEST_F(FieldTest, VariantValuesKeepTheirKind) {
  EXPECT_EQ(F("text").Value(), Variant("hello"));
  EXPECT_EQ(F("int").Value(), Variant(123456));
  EXPECT_EQ(F("big").Value(), Variant(int64_t{1} << 40));
  EXPECT_EQ(F("flag").Value(), Variant(true));
  EXPECT_EQ(F("real").Value(), Variant(2.5));
  EXPECT_EQ(F("day").Value(), Variant::FromDateTime(MakeDate(2004, 12, 31)));
  EXPECT_TRUE(F("picture").Value().IsNull());

  ds->Edit();
  F("int").SetValue(Variant("77"));
  F("real").SetValue(Variant(4));
  F("day").SetValue(Variant("1/2/2003"));
  F("text").SetValue(Variant());
  EXPECT_EQ(ErrorOf([&] { F("int").SetValue(Variant(std::vector<Variant>{Variant(1)})); }),
            "Memory1: Cannot access field 'int' as type Array");
  ds->Post();
  EXPECT_EQ(F("int").AsInteger(), 77);
  EXPECT_DOUBLE_EQ(F("real").AsFloat(), 4);
  EXPECT_EQ(F("day").AsDateTime(), MakeDate(2003, 1, 2));
  EXPECT_EQ(F("text").AsString(), "");
}

TEST_F(FieldTest, WritesThroughEditAndPost) {
  ds->Edit();
  F("small").SetAsString("-32768");
  F("word").SetAsInteger(0);
  F("flag").SetAsString("false");
  F("real").SetAsString("-0.125");
  F("clock").SetAsString("6:30 PM");
  F("stamp").SetAsDateTime(MakeDate(1999, 1, 1) + 0.5);
  F("big").SetAsString("-9223372036854775808");
  F("notes").SetAsString("longer memo text");
  F("int").SetAsFloat(41.6);
  ds->Post();
  EXPECT_EQ(ds->StoredValue(0, 2), Variant(-32768));
  EXPECT_EQ(ds->StoredValue(0, 4), Variant(0));
  EXPECT_EQ(ds->StoredValue(0, 5), Variant(false));
  EXPECT_EQ(ds->StoredValue(0, 6), Variant(-0.125));
  EXPECT_EQ(ds->StoredValue(0, 9), Variant::FromDateTime(18.5 / 24));
  EXPECT_EQ(ds->StoredValue(0, 10), Variant::FromDateTime(MakeDate(1999, 1, 1) + 0.5));
  EXPECT_EQ(ds->StoredValue(0, 12), Variant(std::numeric_limits<int64_t>::min()));
  EXPECT_EQ(ds->StoredValue(0, 13), Variant("longer memo text"));
  EXPECT_EQ(ds->StoredValue(0, 3), Variant(42));
}

TEST_F(FieldTest, TextIsCutToTheSizeOnACharacterBoundary) {
  ds->Edit();
  F("text").SetAsString("abcdefgh");
  EXPECT_EQ(F("text").AsString(), "abcde");
  // "ü" is two bytes: four letters and half of it do not fit in 5 bytes.
  F("text").SetAsString("abcd\xC3\xBC");
  EXPECT_EQ(F("text").AsString(), "abcd");
  F("text").SetAsString("ab\xE2\x82\xAC" "c");  // a 3-byte euro sign fits whole
  EXPECT_EQ(F("text").AsString(), "ab\xE2\x82\xAC");
  F("text").SetAsString("\xE2\x82\xAC\xE2\x82\xAC");
  EXPECT_EQ(F("text").AsString(), "\xE2\x82\xAC");
  F("fixed").SetAsInteger(12345);  // as text, cut like any text
  EXPECT_EQ(F("fixed").AsString(), "123");
  ds->Cancel();
  EXPECT_EQ(F("text").AsString(), "hello");
}

TEST_F(FieldTest, ValuesOutsideTheTypeAreRefused) {
  ds->Edit();
  EXPECT_EQ(ErrorOf([&] { F("small").SetAsInteger(40000); }),
            "Memory1: 40000 is not a valid value for field 'small'. The allowed range is -32768 to 32767");
  EXPECT_EQ(ErrorOf([&] { F("word").SetAsInteger(-1); }),
            "Memory1: -1 is not a valid value for field 'word'. The allowed range is 0 to 65535");
  EXPECT_EQ(ErrorOf([&] { F("int").SetAsString("3000000000"); }),
            "Memory1: 3000000000 is not a valid value for field 'int'. The allowed range is -2147483648 to "
            "2147483647");
  EXPECT_EQ(ErrorOf([&] { F("int").SetAsString("12a"); }), "'12a' is not a valid integer value");
  EXPECT_EQ(ErrorOf([&] { F("flag").SetAsString("maybe"); }),
            "Memory1: 'maybe' is not a valid boolean value for field 'flag'");
  EXPECT_EQ(ErrorOf([&] { F("day").SetAsString("12/31/2004 10:00"); }), "'12/31/2004 10:00' is not a valid date");
  EXPECT_EQ(ErrorOf([&] { F("stamp").SetAsDateTime(1e12); }),
            "Memory1: 1000000000000 is not a valid date and time for field 'stamp'");
  EXPECT_EQ(ErrorOf([&] { F("flag").AsDateTime(); }), "Memory1: Cannot access field 'flag' as type DateTime");
  EXPECT_EQ(ErrorOf([&] { F("day").AsInteger(); }), "Memory1: Cannot access field 'day' as type Integer");
  EXPECT_EQ(ErrorOf([&] { F("big").SetAsLargeint(0); F("big").SetAsFloat(1e19); }),
            "Memory1: " + FloatToText(1e19) +
                " is not a valid value for field 'big'. The allowed range is -9223372036854775808 to "
                "9223372036854775807");
  // The rejected writes left the values alone.
  EXPECT_EQ(F("small").AsInteger(), -7);
  EXPECT_EQ(F("word").AsInteger(), 65535);
  EXPECT_EQ(F("day").AsDateTime(), MakeDate(2004, 12, 31));
  ds->Cancel();
}

TEST_F(FieldTest, TextFieldsConvertTheirText) {
  ds->Edit();
  F("text").SetAsString("42");
  EXPECT_EQ(F("text").AsInteger(), 42);
  EXPECT_DOUBLE_EQ(F("text").AsFloat(), 42);
  F("text").SetAsBoolean(true);
  EXPECT_EQ(F("text").AsString(), "True");
  EXPECT_TRUE(F("text").AsBoolean());
  F("text").SetAsString("x");
  EXPECT_EQ(ErrorOf([&] { F("text").AsInteger(); }), "'x' is not a valid integer value");
  EXPECT_EQ(ErrorOf([&] { F("text").AsBoolean(); }), "Memory1: 'x' is not a valid boolean value for field 'text'");
  ds->Cancel();
}

TEST_F(FieldTest, WritingOutsideEditStatesIsRefused) {
  EXPECT_EQ(ErrorOf([&] { F("int").SetAsInteger(1); }), "Memory1: Dataset not in edit or insert mode");
  EXPECT_EQ(ErrorOf([&] { F("notes").SetAsString("x"); }), "Memory1: Dataset not in edit or insert mode");
  EXPECT_EQ(ErrorOf([&] { F("int").Clear(); }), "Memory1: Dataset not in edit or insert mode");
  EXPECT_EQ(F("int").AsInteger(), 123456);
  ds->Close();
  EXPECT_EQ(ds->FieldCount(), 0);
}

TEST(Field, AFieldWithoutADataSetSaysSo) {
  TIntegerField field;
  field.SetFieldName("lonely");
  EXPECT_EQ(ErrorOf([&] { field.AsInteger(); }), "Field 'lonely' has no dataset");
}

class CalcFieldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ds = std::make_unique<TMemoryDataSet>(
        std::vector<TMemoryDataSet::Column>{{"n", ftInteger}, {"label", ftString, 8}});
    for (int i = 1; i <= 3; ++i) ds->AddRow({Variant(i), Variant(std::string("r").append(std::to_string(i)))});
    n = &ds->AddField(std::make_unique<TIntegerField>());
    n->SetFieldName("n");
    auto doubled = std::make_unique<TIntegerField>();
    doubled->SetFieldName("doubled");
    doubled->SetFieldKind(fkCalculated);
    twice = &ds->AddField(std::move(doubled));
    auto text = std::make_unique<TStringField>(12);
    text->SetFieldName("shout");
    text->SetFieldKind(fkCalculated);
    shout = &ds->AddField(std::move(text));
    ds->OnCalcFields = [this](TDataSet& d) {
      ++calculations;
      EXPECT_EQ(d.State(), dsCalcFields);
      twice->SetAsInteger(n->AsInteger() * 2);
      // shout stays unset: a calculated field without a value is null.
    };
    ds->Open();
  }
  std::unique_ptr<TMemoryDataSet> ds;
  TField* n = nullptr;
  TField* twice = nullptr;
  TField* shout = nullptr;
  int calculations = 0;
};

TEST_F(CalcFieldTest, ComputedForEveryFetchedRecord) {
  EXPECT_EQ(ds->CalcFieldsSize(), (4 + 1) + (13 + 1));
  EXPECT_EQ(twice->Offset(), 0);
  EXPECT_EQ(shout->Offset(), 5);
  EXPECT_EQ(twice->FieldNo(), 0);
  EXPECT_EQ(twice->AsInteger(), 2);
  ds->Next();
  EXPECT_EQ(twice->AsInteger(), 4);
  EXPECT_TRUE(shout->IsNull());
  EXPECT_EQ(shout->AsString(), "");
  EXPECT_FALSE(twice->IsNull());
}

TEST_F(CalcFieldTest, RecomputedWhenADataFieldChanges) {
  ds->Edit();
  int before = calculations;
  n->SetAsInteger(10);
  EXPECT_EQ(calculations, before + 1);
  EXPECT_EQ(twice->AsInteger(), 20);
  // Writing a calculated field directly does not recompute.
  twice->SetAsInteger(5);
  EXPECT_EQ(calculations, before + 1);
  EXPECT_EQ(twice->AsInteger(), 5);
  ds->SetAutoCalcFields(false);
  n->SetAsInteger(11);
  EXPECT_EQ(calculations, before + 1);
  ds->Post();
  EXPECT_EQ(twice->AsInteger(), 22);  // the refetch after the post computes anew
}

TEST_F(CalcFieldTest, OnlyCalculatedFieldsMayBeWrittenWhileCalculating) {
  ds->OnCalcFields = [this](TDataSet&) { n->SetAsInteger(0); };
  EXPECT_EQ(ErrorOf([&] { ds->Next(); }), "Memory1: Field 'n' cannot be modified");
  EXPECT_EQ(ds->State(), dsBrowse);  // the calc-fields state was left
}

}  // namespace
