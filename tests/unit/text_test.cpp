#include "text/Text.h"

#include <gtest/gtest.h>

#include "text/Bytes.h"
#include "text/CodePage.h"

namespace qinvara {
namespace {

TEST(Text, MissingTextIsEmptyAndEqualsEmpty) {
    Text missing(static_cast<const char*>(nullptr));
    EXPECT_TRUE(missing.empty());
    EXPECT_EQ(missing, Text(""));
    EXPECT_EQ(Text(), Text(""));
}

TEST(Text, ComparisonIsByteForByteAndCaseSensitive) {
    EXPECT_EQ(Text("abc"), Text("abc"));
    EXPECT_FALSE(Text("abc") == Text("ABC"));
    EXPECT_FALSE(Text("abc") == Text("abcd"));
    EXPECT_FALSE(Text("\xB0\xA1") == Text("\xB0\xA2"));
}

TEST(Text, EndsAtTheFirstNul) {
    Text t(std::string_view("1\0junk", 6));
    EXPECT_EQ(t, Text("1"));
    EXPECT_EQ(t.size(), 1u);
}

TEST(Text, ConcatenationJoinsInOrderWithoutSeparator) {
    EXPECT_EQ(Text("https://") + Text("a.b") + Text("/x?q=") + Text("&#%"),
              Text("https://a.b/x?q=&#%"));
    EXPECT_EQ(Text() + Text(), Text(""));
}

struct CodePageCase {
    const char* name;
    std::string_view native;
    std::string_view utf8;
};

class CodePageRoundTrip : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(CodePageRoundTrip, ConvertsBothWays) {
    const auto& c = GetParam();
    EXPECT_EQ(ToUtf8(Text(c.native)), c.utf8);
    EXPECT_EQ(FromUtf8(c.utf8), Text(c.native));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CodePageRoundTrip,
    ::testing::Values(CodePageCase{"ascii", "Qinvara 1.0", "Qinvara 1.0"},
                      CodePageCase{"gbk_hanzi", "\xCB\xD1\xCB\xF7", "搜索"},
                      CodePageCase{"ideographic_space", "\xA1\xA1", "\xE3\x80\x80"},
                      CodePageCase{"fullwidth_one", "\xA3\xB1", "１"},
                      // Not in GBK: GB18030 keeps it with a four-byte code.
                      CodePageCase{"emoji_four_bytes", "\x94\x39\xFC\x36", "😀"},
                      CodePageCase{"empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CodePage, InvalidBytesShowAsReplacementAndNothingIsCutOff) {
    // "é" in UTF-8 read as GB18030: 0xC3 0xA9 happens to be valid; a lone 0xFF is not.
    std::string shown =
        ToUtf8(Text("a\xFF"
                    "b"));
    EXPECT_EQ(shown,
              "a\xEF\xBF\xBD"
              "b");
    // A lead byte at the very end.
    EXPECT_EQ(ToUtf8(Text("x\x81")), "x\xEF\xBF\xBD");
    // Invalid UTF-8 from the toolkit still gives a text with the rest kept.
    Text back = FromUtf8("a\xC3(b");
    EXPECT_EQ(back.view().front(), 'a');
    EXPECT_EQ(back.view().back(), 'b');
}

TEST(Bytes, AppendKeepsNulBytesAndGrows) {
    Bytes b;
    EXPECT_TRUE(b.empty());
    std::string chunk("a\0b", 3);
    for (int i = 0; i < 5000; ++i) ASSERT_TRUE(b.Append(chunk.data(), chunk.size()));
    EXPECT_EQ(b.size(), 15000u);
    EXPECT_EQ(b.view().substr(0, 6), std::string_view("a\0ba\0b", 6));
}

}  // namespace
}  // namespace qinvara
