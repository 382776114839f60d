#include "base/DebugTrace.h"

#include <string>
#include <string_view>

namespace {
constexpr std::size_t kPieceUnits = 1024;

void SendPiece(std::string_view piece) {
    g_log_structured(DOWNLOADER_LOG_DOMAIN, G_LOG_LEVEL_DEBUG, "MESSAGE", "%.*s",
                     static_cast<int>(piece.size()), piece.data());
}

// Bytes of text that make up at most maxUnits UTF-16 code units. A piece ends only before a
// lead byte, so no character is split; units are counted as Utf16Length counts them.
std::size_t PieceBytes(std::string_view text, std::size_t maxUnits) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) == 0x80) continue;  // continuation byte
        std::size_t charUnits = byte >= 0xF0 ? 2 : 1;
        if (units + charUnits > maxUnits) return i;
        units += charUnits;
    }
    return text.size();
}
}  // namespace

void DebugTrace(const char* format, ...) {
    SendPiece(LocalTimeText("============>%H:%M:%S\t"));
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    std::string_view rest = text;
    while (!rest.empty()) {
        std::size_t n = PieceBytes(rest, kPieceUnits);
        SendPiece(rest.substr(0, n));
        rest.remove_prefix(n);
    }
}
