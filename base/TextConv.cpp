#include "base/TextConv.h"

#include <glib.h>

namespace {
// bytes holds no NUL, so the result is an ordinary terminated string.
std::string ValidUtf8(std::string_view bytes) {
    if (bytes.empty()) return {};
    gchar* valid = g_utf8_make_valid(bytes.data(), static_cast<gssize>(bytes.size()));
    std::string out(valid);
    g_free(valid);
    return out;
}
}  // namespace

std::string WideToNarrow(std::string_view text) {
    return ValidUtf8(text.substr(0, text.find('\0')));
}

std::string NarrowToWide(std::string_view bytes) {
    // Convert the runs between NULs, so that the NULs themselves survive.
    std::string out;
    out.reserve(bytes.size());
    std::size_t start = 0;
    while (start <= bytes.size()) {
        std::size_t nul = bytes.find('\0', start);
        std::string_view piece = bytes.substr(
            start, nul == std::string_view::npos ? std::string_view::npos : nul - start);
        out += ValidUtf8(piece);
        if (nul == std::string_view::npos) break;
        out.push_back('\0');
        start = nul + 1;
    }
    return out;
}

std::size_t Utf16Length(std::string_view text) {
    std::size_t units = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) == 0x80) continue;  // continuation byte
        units += (c >= 0xF0) ? 2 : 1;      // four-byte sequences are surrogate pairs
    }
    return units;
}
