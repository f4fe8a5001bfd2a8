#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "update/BytesToText.h"

namespace qinvara {
namespace {

Bytes BytesOf(const std::string& content) {
    Bytes bytes;
    EXPECT_TRUE(bytes.Append(content.data(), content.size()));
    return bytes;
}

struct TextCase {
    const char* name;
    std::string body;
    std::string text;
};
void PrintTo(const TextCase& row, std::ostream* out) { *out << row.name; }

class BytesToTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(BytesToTextTest, KeepsTheBytesBeforeTheFirstNul) {
    const Text text = BytesToText(BytesOf(GetParam().body));
    EXPECT_EQ(std::string(text.view()), GetParam().text);
    // The text ends where its bytes end.
    EXPECT_EQ(text.c_str()[text.size()], '\0');
}

INSTANTIATE_TEST_SUITE_P(
    BytesToText, BytesToTextTest,
    ::testing::Values(
        TextCase{"Empty", "", ""},
        TextCase{"LeadingNul",
                 std::string("\0"
                             "1",
                             2),
                 ""},
        TextCase{"OneThenNulThenMore", std::string("1\0junk", 6), "1"},
        TextCase{"OneAlone", "1", "1"},
        TextCase{"ByteOrderMarkKept",
                 "\xef\xbb\xbf"
                 "1",
                 "\xef\xbb\xbf"
                 "1"},
        TextCase{"LineEndsKept", "1\r\n", "1\r\n"}, TextCase{"BlanksKept", " 1 ", " 1 "},
        TextCase{"GbkBytesUnconverted", "\xb8\xfc\xd0\xc2\xa3\xb1", "\xb8\xfc\xd0\xc2\xa3\xb1"},
        TextCase{"Utf8BytesUnconverted", "\xe6\x9b\xb4\xe6\x96\xb0", "\xe6\x9b\xb4\xe6\x96\xb0"},
        TextCase{"TrailingNulDropped", std::string("notes\0", 6), "notes"}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

TEST(BytesToText, NothingFetchedIsTheEmptyText) { EXPECT_TRUE(BytesToText(Bytes()) == Text("")); }

}  // namespace
}  // namespace qinvara
