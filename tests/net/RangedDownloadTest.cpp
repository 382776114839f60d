// A download in parallel ranges against a local server that serves byte ranges slowly, per
// connection, with one fault at a time: every case must end with the server's file intact.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdio>

#include "net/ExtentsNote.h"
#include "net/ResumeRecord.h"
#include "tests/net/NetTestSupport.h"
#include "tests/net/RangeTestSupport.h"
#include "tests/support/CaseName.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/LocalHttpServer.h"

extern char** environ;

namespace {
constexpr std::uint64_t kOverlap = 64 << 10;

// What the server does wrong, by the index of the request it does it to.
struct RangeFault {
    const char* name;
    int dropRequest = -1;  // this answer breaks off after 100 KiB
    int busyRequest = -1;  // this one gets only 503
    int switchAfter = 0;   // from this request on the file is kNewFile (another ETag)
    bool ignoreRangeAfterFirst = false;
    bool corrupt = false;                // each body has one byte flipped 1000 bytes in
    std::chrono::milliseconds pause{4};  // between pieces of 16 KiB
    std::size_t burstBytes = 0;  // the first answer sends these at once, looking fast at first
};

struct Served {
    std::atomic<int> requests{0}, active{0}, mostActive{0}, whole{0};
};

void ServeRanges(httplib::Server& server, const RangeFault& fault, Served& seen) {
    server.Get("/f", [&fault, &seen](const httplib::Request& req, httplib::Response& res) {
        const int n = seen.requests++;
        const bool changed = fault.switchAfter && n >= fault.switchAfter;
        const std::string& content = changed ? kNewFile : kFile;
        const std::string etag = changed ? "\"new\"" : "\"old\"";
        res.set_header("ETag", etag);
        if (n == fault.busyRequest) return void(res.status = 503);
        std::size_t from = 0, to = 0;
        char dash = 0;
        const int fields =
            std::sscanf(req.get_header_value("Range").c_str(), "bytes=%zu%c%zu", &from, &dash, &to);
        const bool ranged =
            fields >= 2 && dash == '-' &&
            (!req.has_header("If-Range") || req.get_header_value("If-Range") == etag) &&
            !(fault.ignoreRangeAfterFirst && n > 0);
        std::size_t first = 0, last = content.size() - 1;
        if (ranged) {
            first = from;
            if (fields == 3) last = std::min(last, to);
            res.status = 206;
            res.set_header("Content-Range", "bytes " + std::to_string(first) + "-" +
                                                std::to_string(last) + "/" +
                                                std::to_string(content.size()));
        } else {
            ++seen.whole;
        }
        seen.mostActive = std::max(seen.mostActive.load(), ++seen.active);
        const bool drop = n == fault.dropRequest;
        res.set_content_provider(
            last + 1 - first, "application/octet-stream",
            [&, first, drop, n](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                constexpr std::size_t kDropAt = 100 << 10, kPiece = 16 << 10;
                if (drop && offset >= kDropAt) return false;
                if (n > 0 || offset >= fault.burstBytes) std::this_thread::sleep_for(fault.pause);
                std::string piece = content.substr(
                    first + offset, drop ? std::min(kPiece, kDropAt - offset) : kPiece);
                if (fault.corrupt && offset == 0 && piece.size() > 1000) piece[1000] ^= 1;
                return sink.write(piece.data(), piece.size());
            },
            [&seen](bool) { --seen.active; });
    });
}

void PrintTo(const RangeFault& c, std::ostream* os) {
    *os << c.name;
}

std::vector<RangeFault> Faults() {
    return {{.name = "none"},
            {.name = "one range's connection dropped", .dropRequest = 2},
            {.name = "a busy answer", .busyRequest = 1},
            {.name = "the file replaced while ranges run", .switchAfter = 3},
            {.name = "Range ignored from the second request", .ignoreRangeAfterFirst = true},
            {.name = "a first answer that starts with a burst",
             .pause = std::chrono::milliseconds(10),
             .burstBytes = 384 << 10}};
}

class RangedDownload : public NetTest {};
class EachRangeFault : public NetTest, public testing::WithParamInterface<RangeFault> {};

// Every Range header asked for, as first byte -> last byte (open: the file's last).
std::vector<std::pair<std::uint64_t, std::string>> Asked(const LocalHttpServer& server) {
    std::vector<std::pair<std::uint64_t, std::string>> asked;
    for (const std::string& range : server.Ranges())
        asked.emplace_back(std::stoull(range.substr(6)), range);
    return asked;
}
}  // namespace

TEST_P(EachRangeFault, EndsWithTheServersFileIntact) {
    const RangeFault& fault = GetParam();
    Served seen;
    LocalHttpServer server(
        [&](LocalHttpServer&, httplib::Server& s) { ServeRanges(s, fault, seen); });
    const std::string destination = Path("setup.exe");
    EventRecorder events;
    CHttp http = NewHttp();
    http.SetRangeSettings(kQuick);
    http.SetRetrySettings(kQuickRetries);
    ASSERT_EQ(http.DownHttpFile(&events.Sink(), server.Url("/f"), destination), 1)
        << http.LastError() << ReadFile(Path("log"));
    EXPECT_TRUE(ReadFile(destination) == (fault.switchAfter ? kNewFile : kFile));
    EXPECT_FALSE(FileExists(destination + ".df.extents"));
    const auto asked = Asked(server);
    EXPECT_EQ(asked.front().second, "bytes=0-");
    // A changed file starts once more from the first byte; otherwise nothing is asked twice.
    EXPECT_EQ(std::count_if(asked.begin(), asked.end(), [](auto& a) { return a.first == 0; }),
              fault.switchAfter ? 2 : 1);
    if (fault.ignoreRangeAfterFirst) {
        EXPECT_EQ(seen.whole, seen.requests - 1);
    }
    if (fault.busyRequest < 0 && !fault.ignoreRangeAfterFirst) {
        EXPECT_GE(server.ConnectionCount(), 4u);  // separate connections, not streams of one
        for (const SeenRequest& request : server.Requests())
            if (request.range != "bytes=0-") {
                EXPECT_NE(request.Header("If-Range"), "");
            }
    }
    // The window's one stream: the size once and first, progress that never goes back while
    // the file is the same, completion last.
    const auto all = events.Pump();
    EXPECT_EQ(all.front(), WorkerEvent(UpdateFileSize{kFile.size()}));
    EXPECT_EQ(all.back(), WorkerEvent(UpdateProgress{0, 100}));
    if (!fault.switchAfter) {
        const auto progress = events.Of<UpdateProgress>();
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end() - 1,
                                   [](auto& a, auto& b) { return a.bytesDone < b.bytesDone; }));
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, EachRangeFault, testing::ValuesIn(Faults()), NameOfCase());

// Signed, ranges come from the main address and a mirror at once; the mirror's bytes are
// wrong, so the digest fails and its extents are fetched again from the main address.
TEST_F(RangedDownload, AMirrorsWrongBytesAreFetchedAgainFromTheMainAddress) {
    Served mainSeen, mirrorSeen;
    // The mirror answers before the main address's first range reaches its pieces.
    const RangeFault honest{.name = "main", .pause = std::chrono::milliseconds(20)};
    const RangeFault spoiled{
        .name = "mirror", .corrupt = true, .pause = std::chrono::milliseconds(1)};
    LocalHttpServer main(
        [&](LocalHttpServer&, httplib::Server& s) { ServeRanges(s, honest, mainSeen); });
    LocalHttpServer mirror(
        [&](LocalHttpServer&, httplib::Server& s) { ServeRanges(s, spoiled, mirrorSeen); });
    const DownloadTarget target{main.Url("/f"), DigestOf(kFile), kFile.size(), {mirror.Url("/f")}};
    CHttp http = NewHttp();
    http.SetRangeSettings(kQuick);
    http.SetRetrySettings(kQuickRetries);
    ASSERT_EQ(http.DownHttpFile(nullptr, main.Url("/f"), Path("setup.exe"), target), 1)
        << http.LastError();
    EXPECT_TRUE(ReadFile(Path("setup.exe")) == kFile);
    ASSERT_GT(mirrorSeen.requests, 0);
    // What the mirror wrote was asked of the main address afterwards.
    const auto askedOfMain = Asked(main);
    const auto askedOfMirror = Asked(mirror);
    EXPECT_TRUE(std::any_of(askedOfMirror.begin(), askedOfMirror.end(), [&](auto& m) {
        return std::any_of(askedOfMain.begin(), askedOfMain.end(),
                           [&](auto& a) { return a.first == m.first; });
    }));
}

// A process killed while four ranges run leaves a partial with holes. The next start asks for
// each piece not done and nothing done; an older program, which reads only the record, cuts the
// partial back to its done prefix and goes on from there. Either way the file ends intact.
TEST_F(RangedDownload, AKillWhileFourRangesRunIsResumedRangeByRange) {
    Served seen;
    const RangeFault slow{.name = "slow", .pause = std::chrono::milliseconds(250)};
    LocalHttpServer server(
        [&](LocalHttpServer&, httplib::Server& s) { ServeRanges(s, slow, seen); });
    const std::string destination = Path("setup.exe"), partial = destination + ".df";
    const std::string url = server.Url("/f");
    const char* argv[] = {RANGE_DOWNLOAD_CHILD, url.c_str(), destination.c_str(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    // Until a checkpoint has noted holes and the record beside them.
    const auto noted = [&] {
        const auto note = LoadExtentsNote(ExtentsNotePath(partial));
        const auto record = LoadResumeRecord(ResumeRecordPath(partial));
        return seen.mostActive >= 4 && note && record && note->synced == record->synced &&
               record->synced > 0 && note->done.size() > 1;
    };
    while (!noted() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    const auto note = LoadExtentsNote(ExtentsNotePath(partial));
    const auto record = LoadResumeRecord(ResumeRecordPath(partial));
    ASSERT_TRUE(note && record && !note->done.empty());
    EXPECT_EQ(note->done.front().start, 0u);
    EXPECT_EQ(record->synced, note->done.front().end);  // the record's synced: the done prefix
    ASSERT_GT(note->done.size(), 1u) << "no hole to resume";
    // The older program's copy: the partial and its record, without the note it does not know.
    const std::string olderDestination = Path("older.exe");
    WriteFile(olderDestination + ".df", ReadFile(partial));
    ASSERT_TRUE(SaveResumeRecord(ResumeRecordPath(olderDestination + ".df"), *record).Ok());
    // A copy whose note was edited so that an extent ends inside a hole: the note fails its
    // check, so the partial is cut back to the record's prefix and no byte of the hole is kept.
    const std::string editedDestination = Path("edited.exe");
    WriteFile(editedDestination + ".df", ReadFile(partial));
    ASSERT_TRUE(SaveResumeRecord(ResumeRecordPath(editedDestination + ".df"), *record).Ok());
    std::string editedNote = ReadFile(ExtentsNotePath(partial));
    const std::string end = " " + std::to_string(note->done[1].end) + " ";
    editedNote.replace(editedNote.find(end), end.size(),
                       " " + std::to_string(note->done[1].end + 1000) + " ");
    WriteFile(ExtentsNotePath(editedDestination + ".df"), editedNote);

    const std::size_t before = server.RequestCount();
    CHttp http = NewHttp();
    http.SetRangeSettings(kQuick);
    http.SetRetrySettings(kQuickRetries);
    ASSERT_EQ(http.DownHttpFile(nullptr, url, destination), 1) << http.LastError();
    EXPECT_TRUE(ReadFile(destination) == kFile);
    // A range's own bytes begin after the 64 KiB before it, asked again to compare, when
    // those are done.
    const auto inNote = [&](std::uint64_t at) {
        return std::any_of(note->done.begin(), note->done.end(), [&](const DoneExtent& done) {
            return at >= done.start && at < done.end;
        });
    };
    std::vector<std::uint64_t> starts;
    for (const auto& [first, range] : Asked(server))
        starts.push_back(inNote(first) ? first + kOverlap : first);
    starts.erase(starts.begin(), starts.begin() + static_cast<std::ptrdiff_t>(before));
    for (std::size_t i = 0; i + 1 < note->done.size(); ++i)  // each hole is asked for
        EXPECT_NE(std::count(starts.begin(), starts.end(), note->done[i].end), 0) << i;
    for (const std::uint64_t start : starts)  // and nothing done
        for (const DoneExtent& done : note->done)
            EXPECT_FALSE(start >= done.start && start < done.end) << start;

    const std::size_t older = server.RequestCount();
    ASSERT_EQ(http.DownHttpFile(nullptr, url, olderDestination), 1) << http.LastError();
    EXPECT_TRUE(ReadFile(olderDestination) == kFile);
    EXPECT_EQ(server.Ranges().at(older),
              "bytes=" + std::to_string(record->synced - std::min(record->synced, kOverlap)) + "-");
    const std::size_t edited = server.RequestCount();
    ASSERT_EQ(http.DownHttpFile(nullptr, url, editedDestination), 1) << http.LastError();
    EXPECT_TRUE(ReadFile(editedDestination) == kFile);
    EXPECT_EQ(server.Ranges().at(edited), server.Ranges().at(older));
}

// Closing the window ends every range within a poll, and what arrived stays for a resume.
TEST_F(RangedDownload, QuitEndsEveryRangeAtOnce) {
    Served seen;
    const RangeFault slow{.name = "slow", .pause = std::chrono::milliseconds(250)};
    LocalHttpServer server(
        [&](LocalHttpServer&, httplib::Server& s) { ServeRanges(s, slow, seen); });
    std::chrono::steady_clock::time_point raised;
    std::thread quitter([&] {
        for (int waited = 0; seen.mostActive < 4 && waited < 2000; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        raised = std::chrono::steady_clock::now();
        m_quit = 1;
    });
    CHttp http = NewHttp();
    http.SetRangeSettings(kQuick);
    http.SetRetrySettings(kQuickRetries);
    EXPECT_EQ(http.DownHttpFile(nullptr, server.Url("/f"), Path("setup.exe")), 0);
    const auto returned = std::chrono::steady_clock::now();
    quitter.join();
    EXPECT_LT(returned - raised, std::chrono::milliseconds(500));  // a poll, then the record
    EXPECT_TRUE(FileExists(Path("setup.exe.df")) && !FileExists(Path("setup.exe")));
    EXPECT_TRUE(LoadResumeRecord(ResumeRecordPath(Path("setup.exe.df"))));
}
