// The catalogue's texts without widgets: the lottery queries with their
// quoting and blanks, and the reading of From and Match values.
#include <gtest/gtest.h>

#include <stdexcept>

#include "catalogue/catalogue.h"

namespace {

TEST(CatalogueQueries, LotteryFiltersKeepTheirBlanksAndDoubleEveryQuote) {
  EXPECT_EQ(lotteriesOfCountryFilter("Spain"), "country='Spain'");
  // Every character of code 32 or less goes from both ends, none inside.
  EXPECT_EQ(lotteriesOfCountryFilter(QString(" \t\x01New Zealand \r\n")), "country='New Zealand'");
  EXPECT_EQ(lotteriesOfCountryFilter("   "), "country=''");
  EXPECT_EQ(lotteriesOfCountryFilter("Côte d'Ivoire"), "country='Côte d''Ivoire'");
  // The exists query takes both texts as typed.
  EXPECT_EQ(lotteryExistsFilter(" Spain", "Bonoloto "), "country=' Spain' and  lotteryname='Bonoloto '");
  EXPECT_EQ(lotteryExistsFilter("Italy", "Lotto d'Italia"), "country='Italy' and  lotteryname='Lotto d''Italia'");
  EXPECT_EQ(lotteryExistsFilter("'", "''"), "country='''' and  lotteryname=''''''");
}

TEST(CatalogueNumbers, FromAndMatchAreDecimalIntegers) {
  EXPECT_EQ(integerValue("49"), 49);
  EXPECT_EQ(integerValue(" 7\t"), 7);
  EXPECT_EQ(integerValue("+5"), 5);
  EXPECT_EQ(integerValue("-3"), -3);
  EXPECT_EQ(integerValue("007"), 7);
  EXPECT_EQ(integerValue("2147483647"), 2147483647);
  for (const char* text : {"", " ", "+", "4 9", "0x10", "1e2", "12a", "٤٩", "2147483648"}) {
    try {
      integerValue(QString::fromUtf8(text));
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const std::invalid_argument& error) {
      EXPECT_EQ(std::string(error.what()), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

}  // namespace
