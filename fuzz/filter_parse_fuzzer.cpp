// libFuzzer target: any text given to the filter parser either parses into a
// tree that evaluates, or raises a database error; nothing crashes, hangs or
// reads outside its buffers. The first byte chooses the filter options and
// the decimal separator, the rest is the filter text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/collation.h"
#include "core/locale.h"
#include "tests/tomedb/filter_test_dataset.h"
#include "tomedb/filter/exprparser.h"

namespace {

TestFilterDataSet& DataSet() {
  static TestFilterDataSet* data = [] {
    auto* d = new TestFilterDataSet;
    d->Add("pick", ftInteger).Add("wheeltype", ftString, 1).Add("name", ftString, 40).Add("small", ftSmallint);
    d->Add("word", ftWord).Add("big", ftLargeint).Add("f", ftFloat).Add("money", ftCurrency);
    d->Add("flag", ftBoolean).Add("d", ftDate).Add("t", ftTime).Add("dt", ftDateTime).Add("memo", ftMemo);
    d->Add("my field", ftAutoInc).Add("picture", ftGraphic);
    d->SetText("wheeltype", "a");
    d->SetText("name", "O'Brien");
    d->SetText("memo", "a memo text");
    d->Set<int32_t>("pick", 6);
    d->Set<int32_t>("d", 731946);
    d->Set<int32_t>("t", 36000000);
    d->Set<double>("dt", 731946.0 * 86400000 + 1);
    return d;
  }();
  return *data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  static bool init = [] {
    SetCollationLocale(std::string());
    return true;
  }();
  (void)init;
  if (size == 0) return 0;
  TLocaleSettings settings;
  settings.DecimalSeparator = (bytes[0] & 4) ? ',' : '.';
  SetLocaleSettings(settings);
  const TFilterOptions options = bytes[0] & 3;
  const std::string text(reinterpret_cast<const char*>(bytes + 1), size - 1);
  TFilterParser parser(&DataSet());
  try {
    parser.Parse(text);
  } catch (const EDatabaseError&) {
    return 0;
  }
  parser.Calculate(options);
  parser.Calculate(options);
  return 0;
}
