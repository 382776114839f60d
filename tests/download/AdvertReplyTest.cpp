// The advertisement's answer read as data: only a JSONP wrapper around an object whose ret is
// 1 gives a fragment; everything else gives nothing, and nothing is ever evaluated.

#include "download/AdvertReply.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {
struct AnswerCase {
    const char* name;
    std::string answer;
    std::optional<std::string> fragment;
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
    *os << c.name;
}

class AdvertAnswer : public testing::TestWithParam<AnswerCase> {};

TEST_P(AdvertAnswer, GivesTheFragmentOnlyForRetOne) {
    EXPECT_EQ(AdvertFragment(GetParam().answer), GetParam().fragment);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AdvertAnswer,
    testing::Values(
        AnswerCase{"string_one", R"(cb({"ret":"1","ad":"<b>x</b>"});)", "<b>x</b>"},
        AnswerCase{"number_one_blanks", " \n jQuery151_2.x( {\"ret\":1,\"ad\":\"a\"} ) ;\r\n", "a"},
        AnswerCase{"ret_zero", R"(cb({"ret":"0","ad":"a"});)", std::nullopt},
        AnswerCase{"ret_true", R"(cb({"ret":true,"ad":"a"});)", std::nullopt},
        AnswerCase{"ad_not_text", R"(cb({"ret":1,"ad":["a"]});)", std::nullopt},
        // Script around or instead of the call is never taken for data.
        AnswerCase{"statement_before", R"(alert(1);cb({"ret":1,"ad":"a"});)", std::nullopt},
        AnswerCase{"statement_after", R"(cb({"ret":1,"ad":"a"});alert(1))", std::nullopt},
        AnswerCase{"expression_argument", R"(cb({"ret":1,"ad":"a"+alert(1)}))", std::nullopt},
        AnswerCase{"call_as_name", R"(alert(1)({"ret":1,"ad":"a"}))", std::nullopt},
        AnswerCase{"no_wrapper", R"({"ret":1,"ad":"a"})", std::nullopt},
        AnswerCase{"single_quotes", R"(cb({'ret':1,'ad':'a'}))", std::nullopt},
        AnswerCase{"deep", "cb(" + std::string(5000, '[') + ")", std::nullopt},
        AnswerCase{"empty", "", std::nullopt}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.name); });

TEST(AdvertUrl, KeepsThePagesOrderAndEscapesValues) {
    EXPECT_EQ(AdvertUrl("velmora", "gen&x=1", "cb1", 42, "127.0.0.1:9"),
              "http://127.0.0.1:9/tools/updateinfo.php?callback=cb1&version=velmora&type=ad"
              "&channel=gen%26x%3D1&_=42");
    EXPECT_EQ(AdvertUrl("v", "c", "cb", 1, "https://www.example:8443").rfind("https://", 0), 0u);
}
}  // namespace
