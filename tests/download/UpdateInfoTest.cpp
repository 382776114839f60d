#include "download/UpdateInfo.h"

#include <gtest/gtest.h>

#include <glib.h>
#include <json/value.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/JsonFile.h"

namespace {
const std::string kDigest = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
const std::string kFallback = "http://fallback/tools/myvelmora_setup.exe";

// One reply of the shared set (tools/demo/update-replies.json) and what it must give.
struct ReplyCase {
    std::string name;
    std::string body;
    bool parsed = false;
    std::string url;
    std::string version;
    std::string fileName;
    std::optional<std::string> detail;
};

void PrintTo(const ReplyCase& c, std::ostream* os) {
    *os << c.name;
}

std::string BodyOf(const Json::Value& entry) {
    if (entry.isMember("body_base64")) {
        const std::string encoded = entry["body_base64"].asString();
        gsize size = 0;
        guchar* bytes = g_base64_decode(encoded.c_str(), &size);
        std::string body(reinterpret_cast<const char*>(bytes), size);
        g_free(bytes);
        return body;
    }
    if (entry.isMember("repeat")) {
        std::string body;
        for (const Json::Value& piece : entry["repeat"])
            for (int i = 0; i < piece[1].asInt(); ++i) body += piece[0].asString();
        return body;
    }
    return entry["body"].asString();
}

std::vector<ReplyCase> SharedReplies() {
    const Json::Value root = ReadJsonFile(DOWNLOADER_UPDATE_REPLIES);
    std::vector<ReplyCase> cases;
    for (const Json::Value& entry : root["replies"]) {
        ReplyCase c;
        c.name = entry["name"].asString();
        std::replace(c.name.begin(), c.name.end(), '-', '_');
        c.body = BodyOf(entry);
        c.parsed = entry["parsed"].asBool();
        c.url = entry["url"].asString() == "$fallback" ? kFallback : entry["url"].asString();
        c.version = entry["version"].asString();
        c.fileName = entry["file"].asString();
        if (entry.isMember("detail")) c.detail = entry["detail"].asString();
        cases.push_back(std::move(c));
    }
    return cases;
}

class SharedReply : public testing::TestWithParam<ReplyCase> {};

TEST_P(SharedReply, SettlesAddressFileNameAndDetail) {
    const ReplyCase& c = GetParam();
    UpdateInfo info;
    ASSERT_NO_THROW(info = ParseUpdateInfo(c.body, kFallback));
    EXPECT_EQ(info.parsed, c.parsed);
    EXPECT_EQ(info.url, c.url);
    EXPECT_EQ(info.version, c.version);
    EXPECT_EQ(InstallerFileName(info), c.fileName);
    if (c.detail) {
        EXPECT_EQ(DetailText(info), *c.detail);
    }
}

INSTANTIATE_TEST_SUITE_P(Replies, SharedReply, testing::ValuesIn(SharedReplies()),
                         [](const testing::TestParamInfo<ReplyCase>& info) {
                             return info.param.name;
                         });

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
