// Text conversions under the host's rules.
#include "orvel/host/core/SysUtils.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Variant.h"
#include "tests/support/locale/CommaLocale.h"

#include <gtest/gtest.h>

using namespace orvel;

TEST(SysUtils, StrToIntAcceptsWhatTheHostAccepts) {
    EXPECT_EQ(StrToInt(" 5"), 5);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(StrToInt("+17"), 17);
    EXPECT_EQ(StrToInt("$1F"), 31);
    for (const char* bad : {"", " ", "5 ", "5x", "2147483648", "--1", "1.5"})
        EXPECT_THROW(StrToInt(bad), EConvertError) << "'" << bad << "'";
    try {
        StrToInt("1,,2");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'1,,2' is not a valid integer value");
    }
    EXPECT_EQ(IntToStr(-30), "-30");
}

TEST(SysUtils, FloatsUnderTheFormatSettings) {
    TFormatSettings comma;
    comma.DecimalSeparator = ',';
    EXPECT_DOUBLE_EQ(StrToFloat("2,5", comma), 2.5);
    EXPECT_THROW(StrToFloat("2.5", comma), EConvertError);
    EXPECT_EQ(FloatToStr(2.5, comma), "2,5");
    EXPECT_EQ(FloatToStr(1.0 / 3.0), "0.333333333333333");
    EXPECT_THROW(StrToFloat("nan"), EConvertError);
    EXPECT_THROW(StrToFloat("0x10"), EConvertError);
}

// The explorer calls setlocale(LC_ALL, ""): a user in a decimal-comma locale must still get '.'
// numbers from every conversion that does not ask for another separator.
TEST(SysUtils, NumberTextsIgnoreADecimalCommaLocale) {
    ORVEL_REQUIRE_COMMA_LOCALE(locale);
    EXPECT_EQ(FloatToStr(2.5), "2.5");
    EXPECT_EQ(FloatToStr(-1234567.125), "-1234567.125");
    EXPECT_EQ(FloatToStr(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FloatToStr(1e21), "1e+21");
    EXPECT_EQ(FloatToStr(0.0001), "0.0001");
    EXPECT_EQ(FloatToStr(1e-5), "1e-05");
    double d = 0;
    EXPECT_TRUE(TryStrToFloat("2.5", d));
    EXPECT_DOUBLE_EQ(d, 2.5);
    EXPECT_DOUBLE_EQ(StrToFloat(" -7.25e2 "), -725.0);
    EXPECT_DOUBLE_EQ(StrToFloat("+.5"), 0.5);
    EXPECT_DOUBLE_EQ(StrToFloat("5."), 5.0);
    EXPECT_THROW(StrToFloat("2,5"), EConvertError);
    for (const char* bad : {"+", "+-1", "++1", "1e", "1e400", "inf", "1.5.2"})
        EXPECT_FALSE(TryStrToFloat(bad, d)) << "'" << bad << "'";
    TFormatSettings comma;
    comma.DecimalSeparator = ',';
    EXPECT_EQ(FloatToStr(2.5, comma), "2,5");
    EXPECT_DOUBLE_EQ(StrToFloat("2,5", comma), 2.5);

    EXPECT_EQ(Format("%g of %s", {0.5, std::string("x")}), "0.5 of x");
    EXPECT_EQ(Variant(2.5).AsString(), "2.5");
    EXPECT_DOUBLE_EQ(Variant("2.5").AsDouble(), 2.5);
    EXPECT_EQ(VarCompareValue(Variant("10.5"), Variant(9.5)), TVariantRelationship::vrGreaterThan);
    EXPECT_TRUE(VarSameValue(Variant("2.5"), Variant(2.5)));
}

TEST(SysUtils, DatesAreDaysSince18991230) {
    EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_DOUBLE_EQ(EncodeDate(2000, 1, 1), 36526);
    int y, m, d;
    DecodeDate(36526.75, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20000101);
    DecodeDate(-1, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 18991229);
    EXPECT_DOUBLE_EQ(StrToDateTime("2000-01-01 18:00:00"), 36526.75);
    TFormatSettings dmy;
    dmy.DateOrder = TDateOrder::doDMY;
    dmy.DateSeparator = '.';
    EXPECT_DOUBLE_EQ(StrToDateTime("01.02.2000", dmy), EncodeDate(2000, 2, 1));
    EXPECT_EQ(DateTimeToStr(EncodeDate(2000, 2, 1), dmy), "01.02.2000");
    EXPECT_THROW(StrToDateTime("2000-02-30"), EConvertError);
    EXPECT_THROW(StrToDateTime("yesterday"), EConvertError);
    // Days outside the years 1 to 9999 have no calendar date: a clear error, not an overflow.
    EXPECT_THROW(DateTimeToStr(2.2e16), EConvertError);
    EXPECT_THROW(DecodeDate(-1e300, y, m, d), EConvertError);
    EXPECT_EQ(DateToStr(EncodeDate(9999, 12, 31)), "9999-12-31");
}

TEST(SysUtils, TrimAndCase) {
    EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
    EXPECT_TRUE(SameText("Name", "NAME"));
    EXPECT_FALSE(SameText("Name", "Names"));
    EXPECT_LT(CompareText("abc", "ABD"), 0);
}

TEST(SysUtils, StringTableAndFormat) {
    EXPECT_EQ(LoadStr(SArrayError), "Array error");
    EXPECT_EQ(LoadStr(SCannotSpecifyFields),
              "Cannot specify fields while DataSource isn't correct");
    EXPECT_EQ(LoadStr(SViewSmallIcons), "S&mall Icons");
    EXPECT_EQ(LoadStr(12345), "");
    EXPECT_EQ(Format(LoadStr(SCantSetAsChild), {std::string("Root")}),
              "Can't set 'Root'-node as child");
    EXPECT_EQ(Format("%d%% of %s", {7LL, std::string("x")}), "7% of x");
    EXPECT_THROW(Format("%s and %s", {std::string("one")}), EConvertError);
    try {
        RaiseRes<ETreeViewError>(SWrongRootExpression, {std::string("1;'a")});
        FAIL();
    } catch (const ETreeViewError& e) {
        EXPECT_STREQ(e.what(), "Wrong root expression has been specified: '1;'a'");
    }
}
