#include "tests/base/LogCapture.h"

#include <glib.h>

#include <mutex>
#include <string_view>

#include "base/DebugTrace.h"

namespace {
std::mutex g_mutex;
bool g_capturing = false;
std::vector<LogRecord> g_records;

std::string FieldText(const GLogField& field) {
    const char* text = static_cast<const char*>(field.value);
    return field.length < 0 ? std::string(text) : std::string(text, std::size_t(field.length));
}

GLogWriterOutput Writer(GLogLevelFlags level, const GLogField* fields, gsize count, gpointer data) {
    LogRecord record;
    bool ours = false;
    for (gsize i = 0; i < count; ++i) {
        std::string_view key = fields[i].key;
        if (key == "GLIB_DOMAIN")
            ours = FieldText(fields[i]) == DOWNLOADER_LOG_DOMAIN;
        else if (key == "MESSAGE")
            record.message = FieldText(fields[i]);
        else if (key == "CODE_FILE")
            record.codeFile = FieldText(fields[i]);
        else if (key == "CODE_LINE")
            record.codeLine = FieldText(fields[i]);
    }
    {
        std::lock_guard lock(g_mutex);
        if (ours && g_capturing) {
            g_records.push_back(std::move(record));
            return G_LOG_WRITER_HANDLED;
        }
    }
    return g_log_writer_default(level, fields, count, data);
}
}  // namespace

CLogCapture::CLogCapture() {
    static std::once_flag installed;
    std::call_once(installed, [] { g_log_set_writer_func(Writer, nullptr, nullptr); });
    std::lock_guard lock(g_mutex);
    g_records.clear();
    g_capturing = true;
}

CLogCapture::~CLogCapture() {
    std::lock_guard lock(g_mutex);
    g_capturing = false;
}

std::vector<LogRecord> CLogCapture::Records() const {
    std::lock_guard lock(g_mutex);
    return g_records;
}

std::vector<std::string> CLogCapture::Messages() const {
    std::vector<std::string> messages;
    for (const auto& record : Records()) messages.push_back(record.message);
    return messages;
}
