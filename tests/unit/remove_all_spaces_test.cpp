// RemoveAllSpaces walks a query as double-byte text; SearchUrl and the home
// addresses are built from the build's host names.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "hosts.h"
#include "search/RemoveAllSpaces.h"
#include "search/SearchAddresses.h"
#include "text/CodePage.h"

namespace qinvara {
namespace {

// Bytes shown as hex, so that a failure names the byte that went wrong.
std::string Hex(std::string_view bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 0xF];
    }
    return out;
}

struct CleanCase {
    const char* name;
    std::string in;
    std::string out;
};

void PrintTo(const CleanCase& c, std::ostream* os) { *os << c.name; }

class RemoveAllSpacesTest : public ::testing::TestWithParam<CleanCase> {};

TEST_P(RemoveAllSpacesTest, WalksTheBytes) {
    const CleanCase& c = GetParam();
    const Text input(c.in);
    ASSERT_EQ(input.size(), c.in.size()) << "a case must not hold a NUL byte";
    const Text cleaned = RemoveAllSpaces(input);
    EXPECT_EQ(Hex(cleaned.view()), Hex(c.out));
    EXPECT_EQ(Hex(input.view()), Hex(c.in)) << "the argument is left untouched";
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, RemoveAllSpacesTest,
    ::testing::Values(
        // Single bytes: only the space goes.
        CleanCase{"empty", "", ""}, CleanCase{"letters", "abc", "abc"},
        CleanCase{"one_space", " ", ""}, CleanCase{"spaces_only", "    ", ""},
        CleanCase{"three_words_glued", "one two  three ", "onetwothree"},
        CleanCase{"leading_and_trailing", "  q  ", "q"}, CleanCase{"tab_kept", "a\tb", "a\tb"},
        CleanCase{"cr_lf_kept", "a\r\nb", "a\r\nb"},
        CleanCase{"other_controls_kept", "\x01\x1F\x7F", "\x01\x1F\x7F"},
        CleanCase{"url_characters_kept", "&#%+?=", "&#%+?="},
        // Pairs: a lead byte takes the next byte whatever it is.
        CleanCase{"two_chinese", "\xD6\xD0\xCE\xC4", "\xD6\xD0\xCE\xC4"},
        CleanCase{"ideographic_space", "\xA1\xA1", ""},
        CleanCase{"ideographic_spaces_only", "\xA1\xA1\xA1\xA1\xA1\xA1", ""},
        CleanCase{"mixed_spaces_only", " \xA1\xA1 \xA1\xA1", ""},
        CleanCase{"chinese_ascii_space", "\xD6\xD0 \xCE\xC4", "\xD6\xD0\xCE\xC4"},
        CleanCase{"chinese_ideographic_space", "\xD6\xD0\xA1\xA1\xCE\xC4", "\xD6\xD0\xCE\xC4"},
        CleanCase{"other_a1_pairs_kept", "\xA1\xA2\xA2\xA1", "\xA1\xA2\xA2\xA1"},
        CleanCase{"trail_a1_then_ideographic_space", "\xB0\xA1\xA1\xA1", "\xB0\xA1"},
        CleanCase{"trail_a1_never_starts_a_pair", "\xB0\xA1\xA1\xA1\xA1\xA1", "\xB0\xA1"},
        CleanCase{"trail_space_kept_whole", "\x81\x20", "\x81\x20"},
        CleanCase{"a1_with_trail_space_kept", "\xA1\x20", "\xA1\x20"},
        CleanCase{"trail_ascii_letter_kept",
                  "\x81"
                  "A",
                  "\x81"
                  "A"},
        CleanCase{"lowest_lead", "\x80\x80", "\x80\x80"},
        CleanCase{"highest_lead", "\xFF\xFF", "\xFF\xFF"},
        CleanCase{"four_byte_character", "\x81\x30\x81\x30 ", "\x81\x30\x81\x30"},
        CleanCase{"ascii_before_ideographic_space",
                  "A\xA1\xA1"
                  "B",
                  "AB"},
        // A lead byte at the very end has no partner and is dropped.
        CleanCase{"lone_lead", "\xD6", ""}, CleanCase{"lead_at_end", "ab\xD6", "ab"},
        CleanCase{"lone_a1_at_end", "\xA1\xA1\xA1", ""},
        CleanCase{"pair_then_lead_at_end", "\xD6\xD0\xCE", "\xD6\xD0"},
        CleanCase{"trail_a1_then_lead_at_end", "\xB0\xA1\xA1", "\xB0\xA1"},
        CleanCase{"space_then_lead_at_end", " \xFF", ""}),
    [](const ::testing::TestParamInfo<CleanCase>& info) { return std::string(info.param.name); });

TEST(RemoveAllSpacesMissing, AMissingTextIsEmpty) {
    EXPECT_TRUE(RemoveAllSpaces(Text(static_cast<const char*>(nullptr))).empty());
    EXPECT_TRUE(RemoveAllSpaces(Text()).empty());
}

TEST(RemoveAllSpacesCodePage, TypedSpacesOfBothKindsGo) {
    // What a person types arrives as UTF-8 and becomes the code page first.
    EXPECT_EQ(RemoveAllSpaces(FromUtf8("中 文")), FromUtf8("中文"));
    EXPECT_EQ(RemoveAllSpaces(FromUtf8("中\u3000文")), FromUtf8("中文"));
    EXPECT_EQ(RemoveAllSpaces(FromUtf8("\u3000 \u3000")), Text(""));
    // A character outside GBK is four bytes in GB18030 and survives whole.
    EXPECT_EQ(RemoveAllSpaces(FromUtf8("\U0001F600 x")), FromUtf8("\U0001F600x"));
}

// ---- addresses ----

std::string Mirror() { return MirrorHost; }

TEST(HomePageAddresses, AreTheMirrorsHomePagesThenTheEmptyAddress) {
    const auto& homes = HomePageAddresses();
    EXPECT_EQ(homes[0].view(), "https://" + Mirror() + "/webhp?hl=zh-CN");
    EXPECT_EQ(homes[1].view(), "https://" + Mirror() + "/webhp?hl=en");
    EXPECT_EQ(homes[2].view(), "https://" + Mirror() + "/");
    EXPECT_EQ(homes[3].view(), "http://" + Mirror() + "/");
    EXPECT_TRUE(homes[4].empty());
    EXPECT_FALSE(Mirror().empty());
}

struct QueryCase {
    const char* name;
    std::string query;
};

void PrintTo(const QueryCase& c, std::ostream* os) { *os << c.name; }

class SearchUrlTest : public ::testing::TestWithParam<QueryCase> {};

TEST_P(SearchUrlTest, CarriesTheQueryUnchangedAfterTheHomePage) {
    const Text query(GetParam().query);
    const std::string url(SearchUrl(query).view());
    const std::string home(HomePageAddresses()[0].view());
    const std::string head = home + "#hl=zh-CN&q=";
    const std::string tail = std::string("=?") + SiteHost;

    // The request names the first home page; everything else is fragment.
    ASSERT_GE(url.size(), head.size() + tail.size());
    EXPECT_EQ(url.substr(0, head.size()), head);
    EXPECT_EQ(url.substr(url.size() - tail.size()), tail);
    EXPECT_EQ(Hex(url.substr(head.size(), url.size() - head.size() - tail.size())),
              Hex(query.view()))
        << "the query goes in byte for byte, unescaped";
}

TEST_P(SearchUrlTest, NeverEqualsAHomePage) {
    const Text url = SearchUrl(Text(GetParam().query));
    for (const Text& home : HomePageAddresses()) EXPECT_FALSE(url == home) << home.c_str();
}

INSTANTIATE_TEST_SUITE_P(
    Queries, SearchUrlTest,
    ::testing::Values(QueryCase{"latin", "onetwothree"}, QueryCase{"ampersand", "a&b"},
                      QueryCase{"hash", "a#b"}, QueryCase{"percent", "100%25"},
                      QueryCase{"plus", "c++"}, QueryCase{"question_mark", "why?"},
                      QueryCase{"equals", "a=b"}, QueryCase{"tab", "a\tb"},
                      QueryCase{"gbk", "\xD6\xD0\xCE\xC4"},
                      QueryCase{"four_byte", "\x81\x30\x81\x30"}, QueryCase{"empty", ""}),
    [](const ::testing::TestParamInfo<QueryCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qinvara
