// Two small rules the GTK controls rely on: the edit field's byte limit and
// telling a double-click's second press from a new press.
#include <gtest/gtest.h>

#include <string>

#include "forms/DoubleClick.h"
#include "forms/EditLimit.h"

namespace qinvara::forms {
namespace {

struct LimitCase {
    const char* name;
    std::string current;
    std::string insertion;
    std::size_t max;
    std::string kept;
};

class EditByteLimit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(EditByteLimit, KeepsWholeCharactersThatFit) {
    const auto& c = GetParam();
    EXPECT_EQ(FittingInsertion(c.current, c.insertion, c.max), c.kept);
}

const std::string k16Hanzi = "一二三四五六七八九十一二三四五六";
const std::string k32Latin(32, 'a');

INSTANTIATE_TEST_SUITE_P(
    Texts, EditByteLimit,
    ::testing::Values(LimitCase{"latin_33rd_refused", k32Latin, "b", 32, ""},
                      LimitCase{"latin_32nd_fits", std::string(31, 'a'), "b", 32, "b"},
                      LimitCase{"hanzi_17th_refused", k16Hanzi, "七", 32, ""},
                      LimitCase{"hanzi_is_two_bytes", std::string(30, 'a'), "七八", 32, "七"},
                      LimitCase{"odd_byte_left_for_hanzi", std::string(31, 'a'), "七", 32, ""},
                      // Outside GBK: four bytes in GB18030.
                      LimitCase{"four_byte_character", std::string(28, 'a'), "😀x", 32, "😀"},
                      LimitCase{"four_byte_does_not_fit_three", std::string(29, 'a'), "😀", 32, ""},
                      LimitCase{"paste_cut_to_what_fits", "",
                                "abcdefghijklmnopqrstuvwxyz0123456789", 32,
                                "abcdefghijklmnopqrstuvwxyz012345"},
                      LimitCase{"mixed_paste", "ab", "搜索 query 一二三四五六七八九十", 32,
                                "搜索 query 一二三四五六七八九"},
                      LimitCase{"ideographic_space_two_bytes", std::string(30, 'a'), "\xE3\x80\x80",
                                32, "\xE3\x80\x80"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DoubleClick, OnlyTheSecondPressNearInTimeAndPlaceOnTheSameTargetCounts) {
    int a = 0, b = 0;
    DoubleClickDetector d(400, 5);
    EXPECT_FALSE(d.IsSecondPress(&a, 1000, 10, 10));
    EXPECT_TRUE(d.IsSecondPress(&a, 1200, 12, 9));
    EXPECT_FALSE(d.IsSecondPress(&a, 1300, 12, 9)) << "a third press starts over";
    EXPECT_TRUE(d.IsSecondPress(&a, 1500, 12, 9));
    EXPECT_FALSE(d.IsSecondPress(&a, 3000, 12, 9));
    EXPECT_FALSE(d.IsSecondPress(&a, 3500, 12, 9)) << "too late";
    EXPECT_FALSE(d.IsSecondPress(&b, 3600, 12, 9)) << "another target";
    EXPECT_FALSE(d.IsSecondPress(&b, 3700, 30, 9)) << "too far";
}

}  // namespace
}  // namespace qinvara::forms
