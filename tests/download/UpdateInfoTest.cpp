#include "download/UpdateInfo.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace {
const std::string kDigest = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";

struct ParseCase {
    const char* name;
    std::string reply;
    bool parsed;
    std::string url;
    std::string version;
    std::string fileName;
    std::string detail;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

class ParseBranches : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseBranches, SettleAddressFileNameAndDetail) {
    const ParseCase& c = GetParam();
    const UpdateInfo info = ParseUpdateInfo(c.reply, "http://fallback/tools/myvelmora_setup.exe");
    EXPECT_EQ(info.parsed, c.parsed);
    EXPECT_EQ(info.url, c.url);
    EXPECT_EQ(info.version, c.version);
    EXPECT_EQ(InstallerFileName(info), c.fileName);
    EXPECT_EQ(DetailText(info), c.detail);
}

const std::string kFallback = "http://fallback/tools/myvelmora_setup.exe";

INSTANTIATE_TEST_SUITE_P(
    Replies, ParseBranches,
    testing::Values(
        ParseCase{"Empty", "", false, kFallback, "", "/myvelmora_setup.exe", "null\n"},
        ParseCase{"Null", "null", true, "", "", "/myvelmora_setup.exe", "null\n"},
        ParseCase{"NotJson", "<html>busy</html>", false, kFallback, "", "/myvelmora_setup.exe",
                  "null\n"},
        // The page gets what the parser had built before it stopped.
        ParseCase{"Truncated", R"({"url":"http://h/a.exe", oops)", false, kFallback, "",
                  "/myvelmora_setup.exe", "{\"url\":\"http://h/a.exe\"}\n"},
        ParseCase{"MembersByName", R"({"version":"2.0","url":"http://h/a.exe","detail":"d"})", true,
                  "http://h/a.exe", "2.0", "/myvelmora_setup2.0.exe",
                  "{\"detail\":\"d\",\"url\":\"http://h/a.exe\",\"version\":\"2.0\"}\n"},
        ParseCase{"CommentsAllowed", "// current\n{\"url\":\"u\" /* x */, \"version\":\"3\"}", true,
                  "u", "3", "/myvelmora_setup3.exe", "{\"url\":\"u\",\"version\":\"3\"}\n"},
        ParseCase{"MissingUrl", R"({"version":"2.0"})", true, "", "2.0", "/myvelmora_setup2.0.exe",
                  "{\"version\":\"2.0\"}\n"},
        ParseCase{"MissingVersion", R"({"url":"u"})", true, "u", "", "/myvelmora_setup.exe",
                  "{\"url\":\"u\"}\n"},
        ParseCase{"NullMembers", R"({"url":null,"version":null})", true, "", "",
                  "/myvelmora_setup.exe", "{\"url\":null,\"version\":null}\n"},
        // The compact writer escapes non-ASCII text; the page parses it back.
        ParseCase{"ChineseVersion", R"({"url":"u","version":"测试版"})", true, "u", "测试版",
                  "/myvelmora_setup测试版.exe",
                  "{\"url\":\"u\",\"version\":\"\\u6d4b\\u8bd5\\u7248\"}\n"},
        // Members of other types, and roots other than an object, would abort jsoncpp's
        // look-ups: they take the not-parsed branch.
        ParseCase{"NumericUrl", R"({"url":5,"version":"2.0"})", false, kFallback, "",
                  "/myvelmora_setup.exe", "{\"url\":5,\"version\":\"2.0\"}\n"},
        ParseCase{"NumericVersion", R"({"url":"u","version":2.0})", false, kFallback, "",
                  "/myvelmora_setup.exe", "{\"url\":\"u\",\"version\":2.0}\n"},
        ParseCase{"ArrayVersion", R"({"url":"u","version":["2"]})", false, kFallback, "",
                  "/myvelmora_setup.exe", "{\"url\":\"u\",\"version\":[\"2\"]}\n"},
        ParseCase{"ObjectUrl", R"({"url":{"a":1}})", false, kFallback, "", "/myvelmora_setup.exe",
                  "{\"url\":{\"a\":1}}\n"},
        ParseCase{"ArrayRoot", R"([{"url":"u"}])", false, kFallback, "", "/myvelmora_setup.exe",
                  "[{\"url\":\"u\"}]\n"},
        ParseCase{"StringRoot", R"("u")", false, kFallback, "", "/myvelmora_setup.exe", "\"u\"\n"},
        ParseCase{"NumberRoot", "42", false, kFallback, "", "/myvelmora_setup.exe", "42\n"}),
    [](const testing::TestParamInfo<ParseCase>& param) { return std::string(param.param.name); });

TEST(ParseUpdateInfo, NestingBeyondTheReadersLimitIsNotParsedAndDoesNotThrow) {
    const std::string deep = std::string(5000, '[') + std::string(5000, ']');
    UpdateInfo info;
    ASSERT_NO_THROW(info = ParseUpdateInfo(deep, kFallback));
    EXPECT_FALSE(info.parsed);
    EXPECT_EQ(info.url, kFallback);
    EXPECT_EQ(InstallerFileName(info), "/myvelmora_setup.exe");
}

TEST(ParseUpdateInfo, ReplyIsCutAtItsFirstNulBeforeParsing) {
    const std::string reply = std::string(R"({"url":"u"})") + '\0' + "garbage";
    const UpdateInfo info = ParseUpdateInfo(reply, kFallback);
    EXPECT_TRUE(info.parsed);
    EXPECT_EQ(info.url, "u");
}

TEST(ParseUpdateInfo, DefaultAddressIsTheWebHostsInstaller) {
    EXPECT_EQ(g_strDefaultInstallerUrl, "http://" DOWNLOADER_WEB_HOST "/tools/myvelmora_setup.exe");
    EXPECT_EQ(ParseUpdateInfo("").url, g_strDefaultInstallerUrl);
}

TEST(ParseUpdateInfo, CarriesOnlyAWellFormedDigest) {
    auto digestOf = [](const std::string& reply) { return ParseUpdateInfo(reply, kFallback); };
    EXPECT_EQ(digestOf(R"({"url":"u","sha256":")" + kDigest + "\"}").sha256, kDigest);

    std::string upper = kDigest;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(digestOf(R"({"url":"u","sha256":")" + upper + "\"}").sha256, upper);

    EXPECT_EQ(digestOf(R"({"url":"u","sha256":")" + kDigest.substr(1) + "\"}").sha256, "");
    EXPECT_EQ(digestOf(R"({"url":"u","sha256":")" + kDigest + "0\"}").sha256, "");
    EXPECT_EQ(digestOf(R"({"url":"u","sha256":"zz"})").sha256, "");

    // A digest of another type is ignored; it does not spoil the rest of the reply.
    const UpdateInfo numeric = digestOf(R"({"url":"u","sha256":12})");
    EXPECT_TRUE(numeric.parsed);
    EXPECT_EQ(numeric.url, "u");
    EXPECT_EQ(numeric.sha256, "");

    // Without a readable reply there is nothing to check against.
    EXPECT_EQ(digestOf(R"({"url":1,"sha256":")" + kDigest + "\"}").sha256, "");
}

TEST(InstallerFileName, VersionThatCouldLeaveTheFolderIsLeftOutOfTheName) {
    const char* unsafe[] = {
        R"("../../escape")", R"("a/b")",     R"("/abs")",    R"("..\\..\\x")", R"("1\n2")",
        R"("1\u0000x")",     R"("1\u007f")", R"("1\u0085")", R"("\t")",        R"("x\r")",
    };
    for (const char* version : unsafe) {
        SCOPED_TRACE(version);
        const UpdateInfo info =
            ParseUpdateInfo(std::string(R"({"url":"u","version":)") + version + "}", kFallback);
        ASSERT_TRUE(info.parsed);
        EXPECT_FALSE(info.version.empty());  // the page may still show it
        EXPECT_EQ(InstallerFileName(info), "/myvelmora_setup.exe");
    }
}

TEST(InstallerFileName, VersionTooLongForADirectoryEntryIsLeftOutOfTheName) {
    // "myvelmora_setup" + version + ".exe.df" must fit the 255 bytes of one entry.
    EXPECT_TRUE(IsSafeVersionForFileName(std::string(233, 'v')));
    EXPECT_FALSE(IsSafeVersionForFileName(std::string(234, 'v')));
    const UpdateInfo info =
        ParseUpdateInfo(R"({"url":"u","version":")" + std::string(300, 'v') + "\"}", kFallback);
    EXPECT_EQ(InstallerFileName(info), "/myvelmora_setup.exe");
}

TEST(InstallerFileName, OrdinaryVersionsKeepTheirName) {
    for (const std::string version : {"2.0", "1..2", "..", "v 3 (beta)", "10.0.1-rc1"}) {
        SCOPED_TRACE(version);
        EXPECT_TRUE(IsSafeVersionForFileName(version));
        const UpdateInfo info =
            ParseUpdateInfo(R"({"url":"u","version":")" + version + "\"}", kFallback);
        EXPECT_EQ(InstallerFileName(info), "/myvelmora_setup" + version + ".exe");
    }
}

TEST(UpdateInfoUrl, ValuesGoIntoTheQueryUnescaped) {
    EXPECT_EQ(UpdateInfoUrl("velmora", "general", "update.example:81"),
              "http://update.example:81/tools/updateinfo.php"
              "?type=all&detail=1&version=velmora&channel=general");
    EXPECT_EQ(UpdateInfoUrl("velmora", "a b&c=d%20", "h"),
              "http://h/tools/updateinfo.php?type=all&detail=1&version=velmora&channel=a b&c=d%20");
}

TEST(UpdateInfoUrl, UsesTheCompiledInHostByDefault) {
    EXPECT_EQ(g_strUpdateHost, DOWNLOADER_UPDATE_HOST);
    EXPECT_EQ(UpdateInfoUrl("velmora", "general"),
              "http://" DOWNLOADER_UPDATE_HOST
              "/tools/updateinfo.php?type=all&detail=1&version=velmora&channel=general");
}
}  // namespace
