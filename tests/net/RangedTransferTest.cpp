// The transfer loop against hostile and broken servers. The first answer is honest and slow
// enough for the download to split; the later requests meet the fault. Whatever the server does,
// the download ends in bounded time and requests, and nothing whose bytes differ from the
// server's file is kept; each refusal leaves one line in the log.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>

#include "tests/net/NetTestSupport.h"
#include "tests/net/RangeTestSupport.h"
#include "tests/support/CaseName.h"
#include "tests/support/LocalHttpServer.h"

namespace {

struct Asked {
    std::size_t first = 0, last = 0;  // the bytes asked for (last: the file's, when open)
    int n = 0;                        // which request of the run
};

// A 206 of content's bytes [first, last] under etag, sent 16 KiB every pause.
void SendPart(httplib::Response& res, const std::string& content, Asked part,
              const std::string& etag,
              std::chrono::milliseconds pause = std::chrono::milliseconds(4)) {
    res.status = 206;
    if (!etag.empty()) res.set_header("ETag", etag);
    res.set_header("Content-Range", "bytes " + std::to_string(part.first) + "-" +
                                        std::to_string(part.last) + "/" +
                                        std::to_string(content.size()));
    res.set_content_provider(
        part.last + 1 - part.first, "application/octet-stream",
        [&content, part, pause](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            std::this_thread::sleep_for(pause);
            const std::string piece = content.substr(
                part.first + offset,
                std::min<std::size_t>(16 << 10, part.last + 1 - part.first - offset));
            return sink.write(piece.data(), piece.size());
        });
}

void Honest(httplib::Response& res, Asked part) {
    SendPart(res, kFile, part, "\"v\"");
}

// How the server answers each request.
using Answer = std::function<void(httplib::Response&, Asked)>;

enum class Ending {
    Intact,        // the server's file, complete
    NothingWrong,  // no file, or the server's
};

struct HostileCase {
    const char* name;
    Answer answer;
    Ending ending;
    int maxRequests;
    int maxSeconds;
    const char* logged = "";  // once in the log
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

Answer Pieces(std::function<void(httplib::Response&, Asked)> piece) {
    return [piece](httplib::Response& res, Asked asked) {
        if (asked.n == 0) return Honest(res, asked);
        piece(res, asked);
    };
}

std::vector<HostileCase> Cases() {
    using std::chrono::milliseconds;
    return {
        {"pieces of no bytes", Pieces([](httplib::Response& res, Asked a) {
             res.status = 206;
             res.set_header("ETag", "\"v\"");
             res.set_header("Content-Range", "bytes " + std::to_string(a.first) + "-" +
                                                 std::to_string(a.last) + "/1048576");
             res.set_content("", "application/octet-stream");
         }),
         Ending::Intact, 200, 60, "answered 0 bytes for bytes"},
        {"a new validator for every answer, pieces whole",
         [](httplib::Response& res, Asked a) {
             const std::string etag = "\"e" + std::to_string(a.n) + "\"";
             if (a.first == 0) return SendPart(res, kFile, a, etag);
             res.set_header("ETag", etag + "x");
             res.set_content(kFile, "application/octet-stream");
         },
         Ending::NothingWrong, 40, 30},
        {"pieces of another file without a validator",
         Pieces([](httplib::Response& res, Asked a) { SendPart(res, kNewFile, a, ""); }),
         Ending::NothingWrong, 200, 30, "answer without its validator"},
        {"coded pieces", Pieces([](httplib::Response& res, Asked a) {
             SendPart(res, kFile, a, "\"v\"");
             res.set_header("Content-Encoding", "gzip");
         }),
         Ending::Intact, 200, 30, "coded answer refused"},
        {"one slow range",
         [](httplib::Response& res, Asked a) {
             // 1 KiB every 750 ms, just above the rate floor: 128 KiB would take 96 s.
             if (a.n != 2) return Honest(res, a);
             res.status = 206;
             res.set_header("ETag", "\"v\"");
             res.set_header("Content-Range", "bytes " + std::to_string(a.first) + "-" +
                                                 std::to_string(a.last) + "/1048576");
             res.set_content_provider(
                 a.last + 1 - a.first, "application/octet-stream",
                 [a](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                     std::this_thread::sleep_for(milliseconds(750));
                     return sink.write(kFile.data() + a.first + offset,
                                       std::min<std::size_t>(1024, a.last + 1 - a.first - offset));
                 });
         },
         Ending::Intact, 200, 10},
        {"junk after the asked bytes", Pieces([](httplib::Response& res, Asked a) {
             res.status = 206;
             res.set_header("ETag", "\"v\"");
             res.set_header("Content-Range", "bytes " + std::to_string(a.first) + "-" +
                                                 std::to_string(a.last) + "/1048576");
             res.set_chunked_content_provider(
                 "application/octet-stream", [a](std::size_t sent, httplib::DataSink& sink) {
                     const std::size_t size = a.last + 1 - a.first;
                     if (sent >= size) std::this_thread::sleep_for(milliseconds(200));
                     const std::string piece =
                         sent < size ? kFile.substr(a.first + sent,
                                                    std::min<std::size_t>(16 << 10, size - sent))
                                     : std::string(100, 'j');
                     return sink.write(piece.data(), piece.size());
                 });
         }),
         Ending::Intact, 200, 30, "sent more than bytes"},
        {"one byte per answer", Pieces([](httplib::Response& res, Asked a) {
             SendPart(res, kFile, {a.first, a.first, a.n}, "\"v\"");
         }),
         Ending::NothingWrong, 40, 30},
    };
}

class EachHostileServer : public NetTest, public testing::WithParamInterface<HostileCase> {};

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}
}  // namespace

TEST_P(EachHostileServer, EndsSoundlyInBoundedTimeAndRequests) {
    const HostileCase& c = GetParam();
    std::atomic<int> requests{0}, fromStart{0};
    LocalHttpServer server([&](LocalHttpServer&, httplib::Server& s) {
        s.Get("/f", [&](const httplib::Request& req, httplib::Response& res) {
            Asked asked{0, kFile.size() - 1, requests++};
            char dash = 0;
            std::sscanf(req.get_header_value("Range").c_str(), "bytes=%zu%c%zu", &asked.first,
                        &dash, &asked.last);
            asked.last = std::min(asked.last, kFile.size() - 1);
            if (asked.first == 0) ++fromStart;
            c.answer(res, asked);
        });
    });
    CHttp http = NewHttp();
    http.SetRangeSettings(kQuick);
    http.SetRetrySettings(kQuickRetries);
    const auto started = std::chrono::steady_clock::now();
    const int result = http.DownHttpFile(nullptr, server.Url("/f"), Path("setup.exe"));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(c.maxSeconds));
    EXPECT_LE(requests, c.maxRequests);
    // The file is started again from its first byte at most three times.
    EXPECT_LE(fromStart, 4);
    const bool kept = FileExists(Path("setup.exe"));
    EXPECT_TRUE(c.ending != Ending::Intact || result == 1) << http.LastError();
    EXPECT_TRUE(!kept || ReadFile(Path("setup.exe")) == kFile);
    if (*c.logged) {
        EXPECT_EQ(Occurrences(ReadFile(Path("log")), c.logged), 1u) << ReadFile(Path("log"));
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, EachHostileServer, testing::ValuesIn(Cases()), NameOfCase());
