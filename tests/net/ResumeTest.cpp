// How a download continues a partial file, case by case from resume-cases.json: what is on
// disk before, what each server answers, and what must be on disk after each call. Every way a
// download can be cut short leaves a partial file from which a later call finishes the same
// file, and a partial is continued only with bytes of the file it came from.

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "download/WorkerEvents.h"
#include "net/Http.h"
#include "net/ResumeRecord.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/CaseName.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/JsonFile.h"
#include "tests/support/LocalHttpServer.h"

namespace {
using Files = std::map<std::string, std::string>;

// Lets files of this process grow to at most bytes while it lives.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

  private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

// One case of the table, run as the unsigned program does or, with the digest and size of the
// served file in every target, as the signed one does.
struct ResumeCase {
    std::string name;
    Json::Value entry;
    bool signedRun = false;
    std::shared_ptr<const Files> files;
};

void PrintTo(const ResumeCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<ResumeCase> TableCases() {
    const Json::Value root = ReadJsonFile(DOWNLOADER_RESUME_CASES);
    auto files = std::make_shared<Files>();
    for (const std::string& name : root["files"].getMemberNames()) {
        const Json::Value& file = root["files"][name];
        (*files)[name] = PseudoRandomBytes(file["bytes"].asUInt64(), file["seed"].asUInt());
    }
    std::vector<ResumeCase> cases;
    for (const Json::Value& entry : root["cases"]) {
        cases.push_back({entry["name"].asString(), entry, false, files});
        if (entry["alsoSigned"].asBool())
            cases.push_back({entry["name"].asString() + " signed", entry, true, files});
    }
    return cases;
}

// The bytes a content of the table stands for.
std::string Content(const Json::Value& content, const Files& files) {
    if (content.isArray()) {
        std::string joined;
        for (const Json::Value& piece : content) joined += Content(piece, files);
        return joined;
    }
    if (content.isString()) return files.at(content.asString());
    if (content.isMember("repeat"))
        return std::string(content["bytes"].asUInt64(), content["repeat"].asString().at(0));
    const std::string& file = files.at(content["file"].asString());
    return file.substr(content["from"].asUInt64(),
                       content.isMember("bytes") ? content["bytes"].asUInt64() : std::string::npos);
}

using Routes = std::function<void(LocalHttpServer&, httplib::Server&)>;

Routes RoutesOf(const Json::Value& server, const Files& files) {
    if (server.isMember("status")) {
        httplib::Headers headers;
        for (const std::string& name : server["headers"].getMemberNames())
            headers.emplace(name, server["headers"][name].asString());
        return [status = server["status"].asInt(), body = Content(server["body"], files), headers](
                   LocalHttpServer&, httplib::Server& s) {
            ServeFixed(s, "/f", status, body, headers);
        };
    }
    ServedFile file{.content = files.at(server["file"].asString()),
                    .honourRange = server.get("honourRange", true).asBool(),
                    .etag = server["etag"].asString(),
                    .honourIfRange = server.get("honourIfRange", true).asBool()};
    if (server.isMember("closeAfter")) file.closeAfter = server["closeAfter"].asUInt64();
    if (server.isMember("stallAfter")) file.stallAfter = server["stallAfter"].asUInt64();
    return [file](LocalHttpServer& owner, httplib::Server& s) { ServeFile(owner, s, "/f", file); };
}

// What a call is told it fetches.
DownloadTarget TargetOf(const Json::Value& call, const std::string& serverUrl, bool signedRun,
                        const Files& files) {
    const Json::Value& given = call["target"];
    DownloadTarget target{given.get("url", serverUrl).asString(), "", 0};
    std::string digestOf = given["sha256"].asString(), sizeOf = given["size"].asString();
    if (signedRun) digestOf = sizeOf = call["server"]["file"].asString();
    if (!digestOf.empty()) target.sha256 = DigestOf(files.at(digestOf));
    if (!sizeOf.empty()) target.size = files.at(sizeOf).size();
    return target;
}

// The record beside the partial, made for target unless it names another file; host is the
// server its validator is recorded for.
ResumeRecord RecordOf(const Json::Value& given, DownloadTarget target, std::uint64_t partialSize,
                      const std::string& host, const Files& files) {
    if (given.isMember("sha256")) target.sha256 = DigestOf(files.at(given["sha256"].asString()));
    if (given.isMember("size")) target.size = files.at(given["size"].asString()).size();
    ResumeRecord record = ResumeRecord::For(target);
    record.synced = given.isMember("synced") ? given["synced"].asUInt64() : partialSize;
    if (given.isMember("validator")) record.validators[host] = given["validator"].asString();
    return record;
}

// The partial file, and its record, that a case starts from; port: the first server's.
void PutPartial(const Json::Value& entry, const std::string& partial, const DownloadTarget& target,
                int port, const Files& files) {
    if (!entry.isMember("partial")) return;
    const std::string before = Content(entry["partial"], files);
    WriteFile(partial, before);
    if (!entry.isMember("record")) return;
    const std::string host = "127.0.0.1:" + std::to_string(port);
    const ResumeRecord record = RecordOf(entry["record"], target, before.size(), host, files);
    ASSERT_TRUE(SaveResumeRecord(ResumeRecordPath(partial), record).Ok());
}

// Runs one call, cut short on the client's side as the table says.
int RunCall(CHttp& http, const Json::Value& cut, ITransferSink* sink, const std::string& url,
            const std::string& destination, const DownloadTarget& target, std::atomic<int>& quit) {
    if (cut.isMember("stallSeconds"))
        http.SetTransferLimits(
            {.connectTimeoutSeconds = 60, .stallSeconds = cut["stallSeconds"].asInt()});
    std::optional<FileSizeLimit> limit;
    if (cut.isMember("fileSizeLimit")) limit.emplace(cut["fileSizeLimit"].asUInt64());
    std::thread raiser;
    if (cut.isMember("quitAfterMs"))
        raiser =
            std::thread([&quit, after = std::chrono::milliseconds(cut["quitAfterMs"].asInt())] {
                std::this_thread::sleep_for(after);
                quit = 1;
            });
    const int result = http.DownHttpFile(sink, url, destination, target);
    if (raiser.joinable()) {
        raiser.join();
        quit = 0;
    }
    return result;
}

void ExpectOnDisk(const std::string& path, const Json::Value& content, const Files& files) {
    EXPECT_EQ(FileExists(path), !content.isNull()) << path;
    if (!content.isNull()) {
        EXPECT_TRUE(ReadFile(path) == Content(content, files)) << path;
    }
}

class Resume : public NetTest {};
class EachResumeCase : public NetTest, public testing::WithParamInterface<ResumeCase> {};
}  // namespace

TEST_P(EachResumeCase, LeavesOnDiskWhatTheTableSays) {
    const ResumeCase& c = GetParam();
    const Files& files = *c.files;
    const std::string destination = Path("setup.exe"), partial = destination + ".df";
    int number = 0;
    for (const Json::Value& call : c.entry["calls"]) {
        SCOPED_TRACE("call " + std::to_string(++number));
        LocalHttpServer server(RoutesOf(call["server"], files));
        const DownloadTarget target = TargetOf(call, server.Url("/f"), c.signedRun, files);
        if (number == 1) {
            ASSERT_NO_FATAL_FAILURE(PutPartial(c.entry, partial, target, server.Port(), files));
        }
        const Json::Value& expect = call["expect"];
        EventRecorder events;
        CHttp http = NewHttp();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(RunCall(http, call["cut"], &events.Sink(), server.Url("/f"), destination, target,
                          m_quit),
                  expect["result"].asInt())
            << http.LastError();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        ExpectOnDisk(destination, expect["destination"], files);
        ExpectOnDisk(partial, expect["partial"], files);
        if (expect.isMember("ranges")) {
            std::vector<std::string> ranges;
            for (const Json::Value& range : expect["ranges"]) ranges.push_back(range.asString());
            EXPECT_EQ(server.Ranges(), ranges);
        }
        if (expect.isMember("error")) {
            EXPECT_EQ(!http.LastError().empty(), expect["error"].asBool()) << http.LastError();
        }
        if (expect.isMember("sizeEvent")) {
            const auto sizes = events.Of<UpdateFileSize>();
            ASSERT_FALSE(sizes.empty());
            EXPECT_EQ(sizes[0].totalBytes, expect["sizeEvent"].asUInt64());
        }
        if (expect.isMember("recordSynced")) {
            // The record goes with the finished file, naming the server's copy.
            const auto kept = LoadResumeRecord(ResumeRecordPath(destination));
            ASSERT_TRUE(kept);
            EXPECT_EQ(kept->synced, expect["recordSynced"].asUInt64());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, EachResumeCase, testing::ValuesIn(TableCases()), NameOfCase());

namespace {
const std::string kFile = PseudoRandomBytes(400000, 777);
}  // namespace

TEST_F(Resume, ASecondTransferOfTheSameDestinationIsKeptOut) {
    LocalHttpServer server([](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, "/f", {.content = kFile, .stallAfter = 10000});
    });
    const std::string destination = Path("setup.exe");
    std::atomic<int> firstResult{-1};
    EventRecorder firstEvents;
    std::thread first([&] {
        CHttp http = NewHttp();
        firstResult = http.DownHttpFile(&firstEvents.Sink(), server.Url("/f"), destination);
    });
    // The first one holds the partial file before it sends its request.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (server.RequestCount() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    EventRecorder events;
    CHttp second = NewHttp();
    EXPECT_EQ(second.DownHttpFile(&events.Sink(), server.Url("/f"), destination), 0);
    EXPECT_EQ(second.LastError(),
              "写文件" + destination + "错误！\n文件正在使用中，请先关闭程序！");
    EXPECT_TRUE(events.Pump().empty());
    EXPECT_EQ(server.RequestCount(), 1u);  // the second one sent nothing

    // The first one stops once it has what the server sends before stalling.
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        firstEvents.Pump();
        const auto progress = firstEvents.Of<UpdateProgress>();
        if (!progress.empty() && progress.back().bytesDone == 10000) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_quit = 1;
    first.join();
    EXPECT_EQ(firstResult, 0);
    EXPECT_TRUE(ReadFile(destination + ".df") == kFile.substr(0, 10000));
}
