#include <gtest/gtest.h>

#include "TestPrinters.h"
#include "runtime/Errors.h"
#include "runtime/List.h"
#include "runtime/String.h"

TEST(StringBasics, EmptyResultsShareTheOneEmptyString) {
    String a, b = String("abc").Slice(2, 2), c = String("  ").TrimBlanks(), d = String("x").Lowercase().Slice(1, 1);
    EXPECT_TRUE(a.SameAs(b));
    EXPECT_TRUE(a.SameAs(c));
    EXPECT_TRUE(a.SameAs(d));
    EXPECT_TRUE(a.SameAs(String("") + String("")));
}

TEST(StringBasics, CompareIsByCodeUnitAndLength) {
    EXPECT_LT(String("abc").Compare("abcd"), 0);
    EXPECT_EQ(String("b").Compare("a"), 1);
    EXPECT_EQ(String("a").Compare("z"), 'a' - 'z');
    EXPECT_NE(String("Abc").Compare("abc"), 0);
    // Units compare unsigned: U+FFFF sorts after ASCII.
    EXPECT_GT(String(u"\xFFFF").Compare("a"), 0);
    // Equal text in different objects is equal, as objects too.
    String x("same"), y = String("sa") + "me";
    EXPECT_FALSE(x.SameAs(y));
    EXPECT_EQ(CompareObjects(Ref<Object>(x).Get(), Ref<Object>(y).Get()), 0);
}

TEST(StringSearch, IndexOfAndLastIndexOf) {
    String s("abcabc");
    EXPECT_EQ(s.IndexOf("bc"), 1);
    EXPECT_EQ(s.IndexOf("bc", 2), 4);
    EXPECT_EQ(s.IndexOf("bc", -5), 1);
    EXPECT_EQ(s.IndexOf("bc", 5), -1);
    EXPECT_EQ(s.IndexOf("", 6), 6);
    EXPECT_EQ(s.IndexOf("", 7), -1);
    EXPECT_EQ(s.LastIndexOf("bc"), 4);
    EXPECT_EQ(s.LastIndexOf("bc", 2), 4);  // p <= length - start
    EXPECT_EQ(s.LastIndexOf("bc", 3), 1);
    EXPECT_EQ(s.LastIndexOf("abc", 0), 3);
    EXPECT_EQ(s.LastIndexOf("x"), -1);
    EXPECT_EQ(s.LastIndexOf("abcabcabc"), -1);
    EXPECT_EQ(String("").LastIndexOf("a"), -1);
}

TEST(StringSearch, FindTextIsOneBased) {
    String url("forum.example/thread?id=1&http::x");
    EXPECT_EQ(FindText(url, "http::", 1), 27);
    EXPECT_EQ(FindText("forum.example", "http::", 1), 0);
    EXPECT_EQ(FindText("http::a", "http::", 1), 1);
    EXPECT_EQ(FindText("aXaX", "X", 3), 4);
}

TEST(StringReplace, ReplaceAllCountsNonOverlappingMatchesLeftToRight) {
    EXPECT_EQ(ReplaceText("http://a/b://c", "://", "::"), String("http::a/b::c"));
    EXPECT_EQ(String("aaa").ReplaceAll("aa", "b"), String("ba"));
    EXPECT_EQ(String("abab").ReplaceAll("ab", ""), String(""));
    EXPECT_EQ(String("a.b").ReplaceAll(".", "..."), String("a...b"));
    String unchanged("nothing here");
    EXPECT_TRUE(unchanged.ReplaceAll("://", "::").SameAs(unchanged));
    EXPECT_TRUE(unchanged.ReplaceAll("", "x").SameAs(unchanged));
}

TEST(StringTrim, TrimBlanksRemovesControlsAndKeepsInstanceWhenClean) {
    EXPECT_EQ(String("\t\r\n a b \x01").TrimBlanks(), String("a b"));
    String clean("a b");
    EXPECT_TRUE(clean.TrimBlanks().SameAs(clean));
    EXPECT_EQ(String(" \t\n").TrimBlanks().Length(), 0);
}

TEST(StringSlice, PadsWithSpacesOnEitherSide) {
    EXPECT_EQ(String("abc").Slice(-2, 3), String("  abc"));
    EXPECT_EQ(String("abc").Slice(1, 6), String("bc   "));
    EXPECT_EQ(String("abc").Slice(-3, -1), String("  "));
    EXPECT_EQ(String("abc").Slice(3, 1).Length(), 0);
    EXPECT_EQ(LeftJustify("abc", 5), String("abc  "));
    EXPECT_EQ(RightJustify("abc", 5), String("  abc"));
    EXPECT_EQ(RightJustify("abcdef", 2), String("ef"));
}

TEST(StringClassic, MidLeftRight) {
    EXPECT_EQ(MidText("abcdef", 2, 3), String("bcd"));
    EXPECT_EQ(MidText("abcdef", 0, 3), String("ab"));   // position 0 eats one of the count
    EXPECT_EQ(MidText("abcdef", -1, 3), String("a"));
    EXPECT_EQ(MidText("abcdef", 5, 10), String("ef"));
    EXPECT_EQ(MidText("abcdef", 7, 1), String(""));
    EXPECT_EQ(MidText("abcdef", 3, -1), String("cdef"));
    EXPECT_EQ(MidText("abc", 0, -1), String(" abc"));  // up to the end pads in front
    EXPECT_EQ(MidText("abc", -1, -1), String("  abc"));
    EXPECT_EQ(LeftText("abc", 2), String("ab"));
    EXPECT_EQ(LeftText("abc", 9), String("abc"));
    EXPECT_EQ(LeftText("abc", -1), String(""));
    EXPECT_EQ(RightText("abc", 2), String("bc"));
    EXPECT_EQ(RightText("abc", 0), String(""));
}

TEST(StringNumbers, ParseIntHandlesSignsBasesAndWraps) {
    EXPECT_EQ(ParseInt(""), 0);
    EXPECT_EQ(ParseInt("+"), 0);
    EXPECT_EQ(ParseInt("  \t-"), 0);
    EXPECT_EQ(ParseInt("  -7"), -7);
    EXPECT_EQ(ParseInt("\n+12abc"), 12);
    EXPECT_EQ(ParseInt("$ff"), 255);
    EXPECT_EQ(ParseInt("-$Ff"), -255);
    EXPECT_EQ(ParseInt("%101"), 5);
    EXPECT_EQ(ParseInt("%102"), 2);
    EXPECT_EQ(ParseInt("abc"), 0);
    EXPECT_EQ(ParseInt("2147483647"), 2147483647);
    EXPECT_EQ(ParseInt("2147483648"), INT32_MIN);
    EXPECT_EQ(ParseInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseInt("4294967297"), 1);
    EXPECT_EQ(ParseInt("$100000005"), 5);
    EXPECT_EQ(ParseInt("- 5"), 0);
}

TEST(StringNumbers, FormatAndFixedWidthTexts) {
    EXPECT_EQ(FormatInt(0), String("0"));
    EXPECT_EQ(FormatInt(-5), String("-5"));
    EXPECT_EQ(FormatInt(INT32_MIN), String("-2147483648"));
    EXPECT_EQ(FormatInt(INT32_MAX), String("2147483647"));
    EXPECT_EQ(HexText(255), String("000000FF"));
    EXPECT_EQ(HexText(-1), String("FFFFFFFF"));
    EXPECT_EQ(BinText(5), String("00000000000000000000000000000101"));
    EXPECT_EQ(LongHexText(int64_t{0x12345678} << 32 | 0x9ABCDEF0), String("123456789ABCDEF0"));
    EXPECT_EQ(LongBinText(-1).Length(), 64);
    for (int32_t v : {0, 1, -1, 42, -99999, INT32_MAX, INT32_MIN}) EXPECT_EQ(ParseInt(FormatInt(v)), v);
}

TEST(StringCase, AsciiAndBeyond) {
    EXPECT_EQ(String("Hello World 123").Lowercase(), String("hello world 123"));
    EXPECT_EQ(String("Hello World 123").Uppercase(), String("HELLO WORLD 123"));
    EXPECT_EQ(String(u"\u00C9T\u00C9").Lowercase(), String(u"\u00E9t\u00E9"));
    EXPECT_EQ(String(u"\u00E9t\u00E9").Uppercase(), String(u"\u00C9T\u00C9"));
    EXPECT_EQ(String(u"\u0394\u03A9\u0416").Lowercase(), String(u"\u03B4\u03C9\u0436"));  // Greek, Cyrillic
    EXPECT_EQ(String(u"\u03B4\u03C9\u0436").Uppercase(), String(u"\u0394\u03A9\u0416"));
    EXPECT_EQ(String(u"\u00B5").Uppercase(), String(u"\u039C"));   // micro sign
    EXPECT_EQ(String(u"\u00FF").Uppercase(), String(u"\u0178"));
    EXPECT_EQ(String(u"\u00D7\u00F7").Uppercase(), String(u"\u00D7\u00F7"));  // no case
    EXPECT_EQ(String(u"\u00DF").Uppercase(), String(u"\u00DF"));  // no one-unit upper form
    EXPECT_EQ(String(u"\uFF21").Lowercase(), String(u"\uFF41"));  // full-width letters
}

TEST(StringBytes, EightBitKeepsTheLowByte) {
    EXPECT_EQ(String(u"\u20AC").ToBytes8(), std::string("\xAC"));
    unsigned char high[128];
    for (int i = 0; i < 128; ++i) high[i] = static_cast<unsigned char>(0x80 + i);
    String s = String::FromBytes8(high, 128);
    ASSERT_EQ(s.Length(), 128);
    for (int i = 0; i < 128; ++i) EXPECT_EQ(s[i], 0x80 + i);
    EXPECT_EQ(String::FromCString8(nullptr).Length(), 0);
    EXPECT_EQ(String::FromWide(nullptr).Length(), 0);
    EXPECT_EQ(String(u"a\u0100b").ToWide(), std::u16string(u"a\u0100b"));
}

TEST(StringBytes, Utf8EncodesEachUnitAlone) {
    EXPECT_EQ(String(u"A\u00E9\u20AC").ToUTF8(), std::string("A\xC3\xA9\xE2\x82\xAC"));
    // A surrogate pair becomes two three-byte sequences.
    EXPECT_EQ(String(u"\U0001F600").ToUTF8(), std::string("\xED\xA0\xBD\xED\xB8\x80"));
    EXPECT_EQ(String::FromUTF8("A\xC3\xA9\xF0\x9F\x98\x80"), String(u"A\u00E9\U0001F600"));
    EXPECT_EQ(String::FromUTF8("\xFF" "a\xC3"), String(u"\uFFFDa\uFFFD"));
}

TEST(StringSplit, SeparatorsAndBlankRuns) {
    auto pieces = String(",a,,b,").SplitText(",");
    ASSERT_EQ(pieces.size(), 5u);
    EXPECT_EQ(pieces[1], String("a"));
    EXPECT_EQ(pieces[2].Length(), 0);
    auto words = String("  one\ttwo \r\n three ").SplitText("");
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[2], String("three"));
    EXPECT_TRUE(String(" \t ").SplitText("").empty());
    EXPECT_EQ(String("").SplitText(",").size(), 1u);
    EXPECT_EQ(String::Join(pieces, ","), String(",a,,b,"));
}

TEST(StringObjects, StringsSitInListsAndCompareByText) {
    Ref<TList> list = New<TList>();
    list->AddLast(String("alpha"));
    list->AddLast(String("beta"));
    EXPECT_TRUE(list->Contains(String("al") + "pha"));
    String back;
    ASSERT_TRUE(String::FromObject(list->Last(), back));
    EXPECT_EQ(back, String("beta"));
    EXPECT_FALSE(String::FromObject(Ref<Object>(New<TList>()), back));
    EXPECT_EQ(list->First()->ToString(), String("alpha"));
}

TEST(StringLimits, RefusesLengthsBeyondThirtyTwoBits) {
    EXPECT_THROW(String("x").Slice(-10, INT32_MAX), TRuntimeException);  // refused before allocating
}

TEST(StringLimits, LengthsNearTheLimitRaiseInsteadOfOverflowingTheSize) {
    String x("xy");
    String (*cases[])(const String&) = {
        [](const String& s) { return s.Slice(0, INT32_MAX); },
        [](const String& s) { return s.Slice(1, INT32_MAX); },
        [](const String& s) { return s.Slice(INT32_MIN + 1, 0); },
        [](const String& s) { return LeftJustify(s, INT32_MAX); },
        [](const String& s) { return LeftJustify(s, INT32_MAX - 15); },
        [](const String& s) { return RightJustify(s, INT32_MAX); },
    };
    for (auto make : cases) {
        try {
            make(x);
            ADD_FAILURE() << "no exception";
        } catch (const TRuntimeException& e) {
            EXPECT_EQ(e.error, String("String too long"));
        }
    }
    // A negative width is an empty result, however large.
    EXPECT_TRUE(RightJustify(x, INT32_MIN).IsEmpty());
    EXPECT_TRUE(LeftJustify(x, INT32_MIN).IsEmpty());
    // Around the pooled size classes (16 units each, up to 256).
    for (int32_t n : {15, 16, 17, 255, 256, 257, 4096}) {
        String s = LeftJustify(x, n);
        ASSERT_EQ(s.Length(), n);
        EXPECT_EQ(s[n - 1], n > 2 ? u' ' : u'y');
    }
}
