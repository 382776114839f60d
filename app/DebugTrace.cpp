#include "app/DebugTrace.h"

#include <string>
#include <string_view>

namespace {
constexpr std::size_t kPieceUnits = 1024;

void SendPiece(std::string_view piece) {
    g_log_structured(DOWNLOADER_LOG_DOMAIN, G_LOG_LEVEL_DEBUG, "MESSAGE", "%.*s",
                     static_cast<int>(piece.size()), piece.data());
}

// Bytes of text that make up at most maxUnits UTF-16 code units, never splitting a character.
std::size_t PieceBytes(std::string_view text, std::size_t maxUnits) {
    std::size_t units = 0, i = 0;
    while (i < text.size()) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        std::size_t charUnits = len == 4 ? 2 : 1;
        if (units + charUnits > maxUnits) break;
        units += charUnits;
        i += len;
    }
    return i < text.size() ? i : text.size();
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
