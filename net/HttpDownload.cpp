// CHttp::DownHttpFile: the resumable download of one file through its partial file.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>

#include "app/DebugTrace.h"
#include "app/DiagLog.h"
#include "app/DownloaderApp.h"
#include "app/Except.h"
#include "download/WorkerEvents.h"
#include "net/Http.h"
#include "net/InternetException.h"
#include "net/PartialFile.h"
#include "net/ResumeAnswer.h"
#include "net/Sha256.h"
#include "net/SpeedClock.h"

namespace {
constexpr std::size_t kBlockBytes = 4096;
constexpr char kFunction[] = "CHttp::DownHttpFile";

// The low 32 bits, as the events carry them.
std::uint32_t Low32(std::uint64_t value) {
    return static_cast<std::uint32_t>(value);
}

std::string FileInUseText(const std::string& destination) {
    return "写文件" + destination + "错误！\n文件正在使用中，请先关闭程序！";
}
}  // namespace

int CHttp::DownHttpFile(const WindowHandle& hwnd, const std::string& url,
                        const std::string& destination, const std::string& expectedSha256) {
    auto parts = SplitHttpUrl(url);
    if (!parts) {
        m_strError = "下载链接有错！";
        return 0;
    }
    if (!expectedSha256.empty() && !IsSha256Hex(expectedSha256)) {
        m_strError = "文件校验值有错！";
        return 0;
    }
    std::string headers = kDownloadHeaders;
    const std::string partialPath = destination + ".df";
    CPartialFile partial;
    try {
        if (!partial.Open(partialPath)) {
            m_strError = FileInUseText(destination);
            return 0;
        }
        std::uint64_t offset = partial.Length();
        if (offset > 0)
            headers = Format("%sRange: bytes=%llu-\r\n", headers.c_str(),
                             static_cast<unsigned long long>(offset));
        // The digest covers the bytes already there once, then each block as it is written.
        std::optional<CSha256> sha;
        if (!expectedSha256.empty()) {
            sha.emplace();
            partial.FeedExisting(*sha);
        }

        OpenRequest(*parts, HttpVerb::Get);
        m_pHttpFile->AddRequestHeaders(headers);
        if (!m_pHttpFile->SendRequest())
            throw Except(__FILE__, kFunction, __LINE__, "连接服务器失败！");

        long status = m_pHttpFile->QueryInfoStatusCode();
        if (std::to_string(status) == "404") {
            std::string message = url + ":file not exist！";
            throw Except(__FILE__, kFunction, __LINE__, "%s", message.c_str());
        }
        const auto contentRange = m_pHttpFile->ResponseHeader("Content-Range");
        ResumeAction action = DecideResume(status, offset, contentRange);
        if (action == ResumeAction::Refuse) {
            std::string message = url + ":server answered " + std::to_string(status);
            throw Except(__FILE__, kFunction, __LINE__, "%s", message.c_str());
        }
        if (action == ResumeAction::Restart) {
            partial.Restart();
            offset = 0;
            if (sha) sha.emplace();
        }
        std::int64_t announced = m_pHttpFile->ContentLength();
        m_nTotalSize =
            action == ResumeAction::AlreadyComplete
                ? offset
                : offset + static_cast<std::uint64_t>(std::max<std::int64_t>(announced, 0));
        // A part that stops short of the whole file must not make the file look complete.
        if (status == 206 && contentRange)
            if (auto total = ContentRangeTotal(*contentRange))
                m_nTotalSize = std::max(m_nTotalSize, *total);
        PostMessage(hwnd, WM_UPDATE_FILESIZE, 0,
                    static_cast<LPARAM>(static_cast<std::int32_t>(Low32(m_nTotalSize))));

        std::uint64_t received = 0;
        std::uint64_t present = offset;
        long last = 0;
        bool bodyEnded = action == ResumeAction::AlreadyComplete;
        if (!bodyEnded) {
            CSpeedClock clock;
            while (TheApp().m_bQuit.load(std::memory_order_relaxed) == 0 && m_bStop == 0) {
                // Each block is received straight into the partial file's write buffer.
                char* block = partial.NextBlock(kBlockBytes);
                last = static_cast<long>(m_pHttpFile->Read(block, kBlockBytes));
                if (last <= 0) break;
                partial.CommitBlock(static_cast<std::size_t>(last));
                received += static_cast<std::uint64_t>(last);
                present += static_cast<std::uint64_t>(last);
                if (sha) sha->Update(block, static_cast<std::size_t>(last));
                PostProgress(Low32(present), Low32(m_nTotalSize), hwnd);
                if (auto speed = clock.AverageKiBPerSecond(received))
                    PostMessage(hwnd, WM_UPDATE_SPEED, 0, static_cast<LPARAM>(*speed));
            }
            bodyEnded = last <= 0 && m_pHttpFile->BodyComplete();
        }
        partial.Flush();

        bool complete =
            m_bStop == 0 && last <= 0 && bodyEnded && present > 0 && present >= m_nTotalSize;
        if (!complete) {
            partial.Close();
            return 0;
        }
        if (sha && !SameDigest(sha->HexDigest(), expectedSha256)) {
            // Bytes that do not make the expected file are worth nothing for a resume.
            std::remove(partialPath.c_str());
            std::string message = url + ":sha256 mismatch";
            throw Except(__FILE__, kFunction, __LINE__, "%s", message.c_str());
        }
        // Moved while still locked, so no second writer can slip in before the move.
        if (std::rename(partialPath.c_str(), destination.c_str()) != 0) {
            std::string message = FileInUseText(destination);
            throw Except(__FILE__, kFunction, __LINE__, "%s", message.c_str());
        }
        partial.Close();
        PostMessage(hwnd, WM_UPDATE_PROGRESS, 0, 100);
        return 1;
    } catch (const Except& e) {
        m_strError = e.GetText();
        DiagLog(TheApp().AppParams.Get("Log").c_str(), "%s", m_strError.c_str());
    } catch (const CInternetException&) {
        // Transfer failures leave no text: the partial file is resumed by the next attempt.
    } catch (const std::exception& e) {
        TRACE("Exception: %s\n", e.what());
        m_strError = e.what();
    }
    TRACE("-------->start CHttp::DownHttpFile Close\n");
    partial.Close();
    Clean();
    return 0;
}
