// The one judgement of every answer to a range request, case by case: the first request of a
// download and later pieces, with and without a validator, a signed size, an overlap.

#include "net/RangeAnswer.h"

#include <gtest/gtest.h>

#include "net/ContentRange.h"
#include "net/WebPageAnswer.h"

namespace {
using V = AnswerVerdict;
constexpr std::uint64_t kSize = 5000;

struct AnswerCase {
    const char* name;
    RangeAsk ask;
    RangeAnswer answer;
    AnswerContext context;
    AnswerVerdict verdict;
    std::uint64_t to = 0;      // for Take and Restart
    const char* refusal = "";  // for Refuse
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
    *os << c.name;
}

RangeAsk Ask(std::uint64_t start, std::uint64_t end, std::uint64_t overlap,
             std::optional<std::string> ifRange = std::nullopt) {
    RangeAsk ask;
    ask.start = start;
    ask.end = end;
    ask.overlap = overlap;
    ask.ifRange = std::move(ifRange);
    return ask;
}
RangeAnswer Answer(long status, std::optional<std::string> range, std::int64_t length) {
    RangeAnswer answer;
    answer.status = status;
    answer.contentRange = std::move(range);
    answer.contentLength = length;
    return answer;
}
// A piece of bytes 1000-1999, asked with If-Range "v1" and the 64 bytes before it compared.
const RangeAsk kPiece = Ask(1000, 2000, 64, "etag v1");
const AnswerContext kLater{kSize, false, false, false};
const AnswerContext kLaterSigned{kSize, true, false, false};
// A resume from byte 1000 of a file of unknown size, without a validator.
const RangeAsk kResume = Ask(1000, kOpenEnd, 1000);
const AnswerContext kFirst{0, false, true, false};

RangeAnswer Part(const char* range, std::int64_t length, const char* validator = "etag v1") {
    RangeAnswer answer = Answer(206, std::string(range), length);
    if (*validator) answer.validator = validator;
    return answer;
}
RangeAnswer Whole(std::int64_t length, const char* validator = "etag v1") {
    RangeAnswer answer = Answer(200, std::nullopt, length);
    if (*validator) answer.validator = validator;
    return answer;
}
RangeAnswer Status(long status) {
    return Answer(status, std::nullopt, -1);
}
RangeAnswer With(RangeAnswer answer, std::uint64_t bodyBytes, bool ended) {
    answer.bodyBytes = bodyBytes;
    answer.bodyEnded = ended;
    return answer;
}
RangeAnswer Coded(RangeAnswer answer, const char* encoding) {
    answer.contentEncoding = encoding;
    return answer;
}

class EachRangeAnswer : public testing::TestWithParam<AnswerCase> {};
}  // namespace

TEST_P(EachRangeAnswer, IsJudgedOnce) {
    const AnswerCase& c = GetParam();
    const AnswerJudgement judged = JudgeAnswer(c.ask, c.answer, c.context);
    EXPECT_EQ(judged.verdict, c.verdict) << judged.reason;
    if (c.verdict == V::Take || c.verdict == V::Restart) {
        EXPECT_EQ(judged.to, c.to);
    }
    EXPECT_STREQ(judged.refusal, c.refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, EachRangeAnswer,
    testing::Values(
        AnswerCase{"the piece asked for", kPiece, Part("bytes 936-1999/5000", 1064), kLater,
                   V::Take, 2000},
        AnswerCase{"a shorter end is taken", kPiece, Part("bytes 936-1499/5000", 564), kLater,
                   V::Take, 1500},
        AnswerCase{"an end beyond the one asked", kPiece, Part("bytes 936-4999/5000", 4064), kLater,
                   V::Refuse, 0, "another range"},
        AnswerCase{"another start", kPiece, Part("bytes 0-999/5000", 1000), kLater, V::Refuse, 0,
                   "another range"},
        AnswerCase{"only the overlap", kPiece, Part("bytes 936-999/5000", 64), kLater, V::Refuse, 0,
                   "another range"},
        AnswerCase{"a length that contradicts the range", kPiece, Part("bytes 936-1999/5000", 0),
                   kLater, V::Refuse, 0, "length"},
        AnswerCase{"more body than the range", kPiece,
                   With(Part("bytes 936-1999/5000", -1), 1065, false), kLater, V::Refuse, 0,
                   "longer"},
        AnswerCase{"an answer that ends with no byte of its range", kPiece,
                   With(Part("bytes 936-1999/5000", -1), 64, true), kLater, V::Refuse, 0,
                   "no byte"},
        AnswerCase{"a coded body", kPiece, Coded(Part("bytes 936-1999/5000", 1064), "gzip"), kLater,
                   V::Refuse, 0, "coded"},
        AnswerCase{"identity is no coding", kPiece,
                   Coded(Part("bytes 936-1999/5000", 1064), "identity"), kLater, V::Take, 2000},
        AnswerCase{"another total", kPiece, Part("bytes 936-1999/6000", 1064), kLater, V::Changed},
        AnswerCase{"another total, signed", kPiece, Part("bytes 936-1999/6000", 1064), kLaterSigned,
                   V::Contradicts},
        AnswerCase{"206 under another validator after If-Range", kPiece,
                   Part("bytes 936-1999/5000", 1064, "etag v2"), kLater, V::Changed},
        AnswerCase{"206 without a validator: taken on its overlap", kPiece,
                   Part("bytes 936-1999/5000", 1064, ""), kLater, V::Take, 2000},
        AnswerCase{"206 without a validator and nothing to compare", Ask(1000, 2000, 0, "etag v1"),
                   Part("bytes 1000-1999/5000", 1000, ""), kLater, V::Refuse, 0, "no validator"},
        AnswerCase{"the same file whole: Range ignored", kPiece, Whole(5000), kLater,
                   V::IgnoresRange},
        AnswerCase{"another file whole", kPiece, Whole(5000, "etag v2"), kLater, V::Changed},
        AnswerCase{"a whole file of another length", kPiece, Whole(4000), kLater, V::Changed},
        AnswerCase{"a whole file of another length, signed", kPiece, Whole(4000), kLaterSigned,
                   V::Contradicts},
        AnswerCase{"416 to a piece", kPiece, Status(416), kLater, V::Changed},
        AnswerCase{"404", kPiece, Status(404), kLater, V::NotFound},
        AnswerCase{"410", kPiece, Status(410), kLater, V::NotFound},
        AnswerCase{"429", kPiece, Status(429), kLater, V::Busy},
        AnswerCase{"503, signed", kPiece, Status(503), kLaterSigned, V::Busy},
        AnswerCase{"502", kPiece, Status(502), kLater, V::Retry},
        AnswerCase{"408", kPiece, Status(408), kLater, V::Retry},
        AnswerCase{"403", kPiece, Status(403), kLater, V::Refuse, 0, "status"},
        AnswerCase{"304", kPiece, Status(304), kLater, V::Refuse, 0, "status"},
        // The first request of a download.
        AnswerCase{"a fresh download, whole", Ask(0, kOpenEnd, 0, std::nullopt), Whole(5000, ""),
                   kFirst, V::Take, 5000},
        AnswerCase{"a fresh download without a length", Ask(0, kOpenEnd, 0, std::nullopt),
                   Whole(-1, ""), kFirst, V::Take, kOpenEnd},
        AnswerCase{"a resume", kResume, Part("bytes 0-4999/5000", 5000, ""), kFirst, V::Take, 5000},
        AnswerCase{"a resume of unknown total", kResume, Part("bytes 0-4999/*", 5000, ""), kFirst,
                   V::Take, 5000},
        AnswerCase{"a resume answered whole: the file again", Ask(70000, kOpenEnd, 65536),
                   Whole(90000, ""), kFirst, V::Restart, 90000},
        AnswerCase{"a resume answered from byte 0", Ask(70000, kOpenEnd, 65536),
                   Part("bytes 0-89999/90000", 90000, ""), kFirst, V::Restart, 90000},
        AnswerCase{"a resume answered from elsewhere", Ask(70000, kOpenEnd, 65536),
                   Part("bytes 500-89999/90000", 89500, ""), kFirst, V::Refuse, 0, "another range"},
        AnswerCase{"a resume whose file ends before it", Ask(70000, kOpenEnd, 65536), Status(416),
                   kFirst, V::Changed},
        AnswerCase{"416 to a fresh download", Ask(0, kOpenEnd, 0), Status(416), kFirst, V::Refuse,
                   0, "status"},
        AnswerCase{"a resume under the file's new validator",
                   Ask(70000, kOpenEnd, 65536, "etag v1"),
                   Part("bytes 4464-89999/90000", 85536, "etag v2"), kFirst, V::Changed},
        AnswerCase{"a complete partial: only its overlap", Ask(90000, kOpenEnd, 65536),
                   Part("bytes 24464-89999/90000", 65536, ""), kFirst, V::Take, 90000},
        AnswerCase{"holes beyond: from byte 0 is a restart", Ask(0, 4000, 0), Whole(5000, ""),
                   AnswerContext{0, false, true, true}, V::Restart, 5000},
        AnswerCase{"a signed size contradicted", Ask(0, kOpenEnd, 0), Whole(1000000000000000, ""),
                   AnswerContext{kSize, true, true, false}, V::Contradicts},
        AnswerCase{"a coded first answer", Ask(0, kOpenEnd, 0), Coded(Whole(5000, ""), "gzip"),
                   kFirst, V::Refuse, 0, "coded"}));

namespace {
struct SizeClaim {
    long status;
    std::uint64_t offset;  // asked from here (no overlap)
    std::optional<std::string> contentRange;
    std::int64_t contentLength;
    bool contradicts;  // a signed size of 5000
};

void PrintTo(const SizeClaim& c, std::ostream* os) {
    *os << c.status << " at " << c.offset << " " << c.contentRange.value_or("-") << " length "
        << c.contentLength;
}

class SignedSize : public testing::TestWithParam<SizeClaim> {};
}  // namespace

TEST_P(SignedSize, IsContradictedOnlyByAnotherClaim) {
    const SizeClaim& c = GetParam();
    EXPECT_EQ(ContradictsSignedSize(Ask(c.offset, kOpenEnd, 0, std::nullopt),
                                    Answer(c.status, c.contentRange, c.contentLength), 5000),
              c.contradicts);
}

INSTANTIATE_TEST_SUITE_P(
    Claims, SignedSize,
    testing::Values(SizeClaim{200, 0, std::nullopt, 5000, false},
                    SizeClaim{200, 0, std::nullopt, -1, false},  // no claim: the body is bound
                    SizeClaim{200, 0, std::nullopt, 1000000000000000, true},
                    SizeClaim{200, 1000, std::nullopt, 4000, true},  // the whole file is 5000
                    SizeClaim{206, 1000, "bytes 1000-4999/5000", 4000, false},
                    SizeClaim{206, 1000, "bytes 1000-1999/5000", 1000, false},  // a piece
                    SizeClaim{206, 1000, "bytes 1000-4999/*", 4000, false},
                    SizeClaim{206, 1000, "bytes 1000-9999/10000", 9000, true},
                    SizeClaim{206, 1000, "bytes 1000-4999/5000", 9000, true},
                    SizeClaim{416, 5000, "bytes */5000", 0, false},
                    SizeClaim{416, 5000, "bytes */7000", 0, true},
                    SizeClaim{503, 0, std::nullopt, 1000000000000000, false}));

TEST(ContentRange, ReadsItsPartsAndRefusesWhatIsNotOne) {
    const auto big = ParseContentRange("bytes 5000000000-5000000009/5000000010");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->first, 5000000000u);
    EXPECT_EQ(big->last, 5000000009u);
    EXPECT_EQ(big->total, 5000000010u);
    EXPECT_EQ(ParseContentRange("bytes 0-9/*")->total, std::nullopt);
    for (const char* bad : {"bytes -5/10", "bytes 5", "bytes 9-0/10", "bytes 0-10/10",
                            "items 0-9/10", "bytes 0-9/10x", "bytes */10"})
        EXPECT_FALSE(ParseContentRange(bad)) << bad;
    EXPECT_EQ(UnsatisfiedRangeTotal("bytes */5000000010"), 5000000010u);
    EXPECT_FALSE(UnsatisfiedRangeTotal("bytes */10x"));
    EXPECT_FALSE(UnsatisfiedRangeTotal("bytes 0-9/10"));
}

TEST(RangeRequest, AsksForTheFilesBytesAsTheyAre) {
    EXPECT_EQ(RangeRequestHeaders(Ask(1000, 2000, 64, "etag \"v1\"")),
              std::string(
                  "Accept: */*\r\nUser-Agent:  Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
                  "Accept-Encoding: identity\r\nRange: bytes=936-1999\r\nIf-Range: \"v1\"\r\n"));
    const std::string fresh = RangeRequestHeaders(Ask(0, kOpenEnd, 0));
    EXPECT_EQ(fresh.substr(fresh.find("Accept-Encoding")),
              "Accept-Encoding: identity\r\nRange: bytes=0-\r\n");
}

TEST(WebPageAnswer, IsHtmlByItsLabelAndItsFirstBytes) {
    const std::optional<std::string> html = "text/html; charset=utf-8",
                                     binary = "application/x-msdos-program";
    EXPECT_TRUE(IsWebPage(html, "\r\n  <!DOCTYPE html><html>"));
    EXPECT_TRUE(IsWebPage(html, "\xEF\xBB\xBF<HTML lang=zh>"));
    EXPECT_FALSE(IsWebPage(html, "MZ\x90\x00 an installer labelled text/html"));
    EXPECT_FALSE(IsWebPage(binary, "<html>"));
    EXPECT_FALSE(IsWebPage(std::nullopt, "<html>"));
    EXPECT_TRUE(LooksLikeHtml("<!doctype html>"));
    EXPECT_FALSE(LooksLikeHtml("{\"url\": \"<html>\"}"));
}
