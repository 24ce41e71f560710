#include <gtest/gtest.h>

#include <string>

#include "core/readable_text.h"
#include "core/text_string.h"

using qf::core::TextString;

TEST(TextStringGrowth, AppendRoundsCapacityToStepsOf128)
{
    TextString s;
    EXPECT_EQ(s.capacity(), 64u);
    s.append(std::string(100, 'a').c_str());
    EXPECT_EQ(s.capacity(), 128u); // 101 rounded down to 0, plus 128
    s.append(std::string(127, 'b').c_str());
    EXPECT_EQ(s.capacity(), 256u); // 228 rounded down to 128, plus 128
    EXPECT_EQ(s.length(), 227u);
    TextString exact(uint32_t{0});
    exact.append(std::string(255, 'c').c_str()); // needs exactly 256
    EXPECT_EQ(exact.capacity(), 384u);
}

TEST(TextStringGrowth, ConstructorsSetCapacity)
{
    EXPECT_EQ(TextString(uint32_t{10}).capacity(), 11u);
    EXPECT_EQ(TextString("abc").capacity(), 4u);
    TextString a("abcdef");
    TextString b(a);
    EXPECT_EQ(b.capacity(), 7u);
    EXPECT_STREQ(b.c_str(), "abcdef");
    EXPECT_STREQ(TextString(static_cast<const char*>(nullptr)).c_str(), "");
}

TEST(TextStringGrowth, AssignNeverShrinksAndAssignOtherKeepsTwoSpare)
{
    TextString s(std::string(300, 'x').c_str());
    EXPECT_EQ(s.capacity(), 301u);
    // The growth test counts the current length too: 300 + 5 + 1 > 301.
    s.assign("short");
    EXPECT_EQ(s.capacity(), 384u);
    EXPECT_EQ(s, "short");
    s.assign("tiny");
    EXPECT_EQ(s.capacity(), 384u);
    TextString small(uint32_t{1});
    small.assign(TextString("hello"));
    EXPECT_GE(small.capacity(), 7u);
    EXPECT_EQ(small, "hello");
}

TEST(TextStringGrowth, ReserveSetsExactCapacityAndTerminates)
{
    TextString s;
    char* p = s.reserve(1023);
    EXPECT_EQ(s.capacity(), 1024u);
    EXPECT_EQ(p[1023], 0);
    s.reserve(10); // already larger: unchanged
    EXPECT_EQ(s.capacity(), 1024u);
}

TEST(TextStringEdit, AssignFromOwnBufferIsOverlapSafe)
{
    TextString s("hello world");
    s.assign(s.c_str() + 6);
    EXPECT_EQ(s, "world");
    s.assign(s.c_str());
    EXPECT_EQ(s, "world");
    s.assign(static_cast<const char*>(nullptr));
    EXPECT_TRUE(s.empty());
}

TEST(TextStringEdit, AppendSelfDoublesAndNullIsIgnored)
{
    TextString s("ab");
    s.append(s);
    EXPECT_EQ(s, "abab");
    s.append(s.c_str());
    EXPECT_EQ(s, "abababab");
    s.append(static_cast<const char*>(nullptr));
    EXPECT_EQ(s, "abababab");
    EXPECT_EQ(TextString::concat("ab", "cd"), "abcd");
}

TEST(TextStringEdit, TrimsNeverLookBeforeTheStart)
{
    struct Case {
        const char* in;
        char ch;
        const char* left;
        const char* right;
    };
    const Case cases[] = {
        {"", '/', "", ""},
        {"///", '/', "", ""},
        {"//a/b//", '/', "a/b//", "//a/b"},
        {"abc", '/', "abc", "abc"},
    };
    for (const auto& c : cases) {
        TextString l(c.in), r(c.in);
        l.trimLeft(c.ch);
        r.trimRight(c.ch);
        EXPECT_EQ(l, c.left) << c.in;
        EXPECT_EQ(r, c.right) << c.in;
    }
    TextString any(" \t\r\n");
    any.trimRightAny("\r\n\t ");
    EXPECT_TRUE(any.empty());
    TextString line("Pos: 1\r\n");
    line.trimRightAny("\r\n");
    EXPECT_EQ(line, "Pos: 1");
}

TEST(TextStringEdit, EraseRules)
{
    TextString s("abcdef");
    s.erase(10, 2);
    EXPECT_EQ(s, "abcdef");
    s.erase(1, 2);
    EXPECT_EQ(s, "adef");
    s.erase(2, 100);
    EXPECT_EQ(s, "ad");
}

TEST(TextStringSearch, FindRules)
{
    TextString s("abca");
    EXPECT_EQ(s.find('a', 1), 3);
    EXPECT_EQ(s.find('z'), -1);
    EXPECT_EQ(s.find("", 2), 4);
    EXPECT_EQ(s.find("ca", 0), 2);
    EXPECT_EQ(s.find('a', 9), -1);
    EXPECT_EQ(s.find("a", 9), -1);
    EXPECT_EQ(s.findLast('a'), 3);
    EXPECT_EQ(s.findLast('z'), -1);
}

TEST(TextStringSearch, SubstringAndToInt)
{
    EXPECT_TRUE(TextString("abc").substring(5, 10).empty());
    EXPECT_EQ(TextString("abc").substring(5, 10).capacity(), 64u);
    EXPECT_EQ(TextString("abc").substring(1, 100), "bc");
    EXPECT_EQ(TextString("Pos: 12.5s ( 42%)").toInt(13), 42u);
    EXPECT_EQ(TextString("  +17x").toInt(0), 17u);
    EXPECT_EQ(TextString("abc").toInt(3), 0u);
}

TEST(TextStringReplace, ReplaceAllRules)
{
    TextString path("C:\\a\\b");
    EXPECT_EQ(path.replaceAll("\\", "/"), 2);
    EXPECT_EQ(path, "C:/a/b");

    TextString empty;
    EXPECT_EQ(empty.replaceAll("", ""), 0);
    EXPECT_EQ(empty.replaceAll("", "x"), 1);
    EXPECT_EQ(empty, "x");
    EXPECT_EQ(empty.replaceAll("", "y"), 0); // not empty any more

    TextString same("aaa");
    EXPECT_EQ(same.replaceAll("a", "a"), 0);

    // Inserted text is never rescanned.
    TextString grow("aXa");
    EXPECT_EQ(grow.replaceAll("a", "aa"), 2);
    EXPECT_EQ(grow, "aaXaa");

    TextString longer(" -of lavf -lavfopts format=psp");
    EXPECT_EQ(longer.replaceAll(" -of lavf", std::string(200, 'z').c_str()), 1);
    EXPECT_EQ(longer.length(), 200u + 21u);

    // Replacement texts inside the string's own buffer.
    TextString self("abcabc");
    EXPECT_EQ(self.replaceAll(self.c_str() + 3, "x"), 2); // a private copy of "abc" is used
    EXPECT_EQ(self, "xx");
}

TEST(TextStringFormat, FormatGrowsByDoublingAndAppendKeepsText)
{
    TextString s = TextString::formatted("%s", std::string(300, 'q').c_str());
    EXPECT_EQ(s.length(), 300u);
    EXPECT_EQ(s.capacity(), 512u); // 128 -> 256 -> 512
    TextString t("keep:");
    t.appendFormat("%d-%s", 42, std::string(200, 'w').c_str());
    EXPECT_EQ(t.length(), 5u + 3u + 200u);
    EXPECT_TRUE(t.startsWith("keep:42-w"));
    t.format("%u", 7u);
    EXPECT_EQ(t, "7");
}

TEST(TextStringFormat, TooLargeGivesEmptyText)
{
    const std::string huge(0xA00000, 'h');
    TextString s("old");
    s.format("%s", huge.c_str());
    EXPECT_TRUE(s.empty());
    TextString t("old");
    t.appendFormat("%s", huge.c_str());
    EXPECT_TRUE(t.empty());
}

TEST(TextStringFormat, FormatFromOwnBufferIsANoOp)
{
    TextString s("%d");
    s.format(s.c_str(), 5);
    EXPECT_EQ(s, "%d");
    s.appendFormat(s.c_str(), 5);
    EXPECT_EQ(s, "%d");
}

namespace qf::core {
namespace {

// What a name that may not be UTF-8 shows as: strict UTF-8 always, GBK parts
// of a path read as GBK, anything else replaced byte by byte.
TEST(ReadableText, NamesOfAnyBytes)
{
    struct Row {
        const char* bytes;
        bool valid;
        const char* readable;
        const char* printable;
    } rows[] = {
        {"/m/电影 1.avi", true, "/m/电影 1.avi", "/m/电影 1.avi"},
        {"/m/\xc4\xe3\xba\xc3.avi", false, "/m/你好.avi", "/m/你好.avi"},
        {"/电影/\xc4\xe3/\xff.avi", false, "/电影/你/\xEF\xBF\xBD.avi", "/电影/你/\xEF\xBF\xBD.avi"},
        {"a\nb\t\"c\".avi", true, "a\nb\t\"c\".avi",
         "a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD\"c\".avi"},
        {"\xc0\xaf.avi", false, nullptr, nullptr}, // overlong '/': never a separator
        {"\xed\xa0\x80", false, nullptr, nullptr}, // a surrogate
        {"\xf4\x90\x80\x80", false, nullptr, nullptr}, // above U+10FFFF
        {"\xe4\xbd", false, nullptr, nullptr}, // cut off
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes);
        EXPECT_EQ(isValidUtf8(row.bytes), row.valid);
        const std::string readable = readableText(row.bytes);
        EXPECT_TRUE(isValidUtf8(readable)) << readable;
        EXPECT_TRUE(isValidUtf8(printableText(row.bytes)));
        if (row.readable) {
            EXPECT_EQ(readable, row.readable);
            EXPECT_EQ(printableText(row.bytes), row.printable);
        }
    }
    EXPECT_EQ(hexBytes("\xc4\xe3/a"), "c4e32f61");
}

} // namespace
} // namespace qf::core
