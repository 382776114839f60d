#include "ui/MenuText.h"

std::string MnemonicToGtk(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool hasNext = i + 1 < text.size();
        if (c == '_') {
            out += "__";
        } else if (c == '&' && hasNext && text[i + 1] == '&') {
            out += '&';
            ++i;
        } else if (c == '&' && hasNext) {
            out += '_';
        } else {
            out += c;
        }
    }
    return out;
}
