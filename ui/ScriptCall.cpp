#include "ui/ScriptCall.h"

#include <glib.h>

#include "ui/GObjectPtr.h"

namespace {

constexpr char kHex[] = "0123456789abcdef";

// The escape of an ASCII character, or nullptr when it stands for itself.
const char* AsciiEscape(unsigned char c, char (&buffer)[7]) {
    switch (c) {
        case '"':
            return "\\\"";
        case '\\':
            return "\\\\";
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        case '<':
            return "\\u003c";
        case '>':
            return "\\u003e";
        default:
            break;
    }
    if (c >= 0x20 && c != 0x7F) return nullptr;
    buffer[0] = '\\';
    buffer[1] = 'u';
    buffer[2] = '0';
    buffer[3] = '0';
    buffer[4] = kHex[c >> 4];
    buffer[5] = kHex[c & 0xF];
    buffer[6] = '\0';
    return buffer;
}

// Valid UTF-8 without NUL: copied in runs, with the escapes above and U+2028, U+2029 (which
// end a line in older scripts) written as escapes.
void AppendValid(std::string& out, std::string_view text) {
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        char buffer[7];
        const char* escape = nullptr;
        std::size_t width = 1;
        if (c < 0x80) {
            escape = AsciiEscape(c, buffer);
        } else if (c == 0xE2 && i + 2 < text.size() && text[i + 1] == '\x80' &&
                   (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
            escape = text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            width = 3;
        }
        if (!escape) continue;
        out.append(text.data() + run, i - run);
        out += escape;
        i += width - 1;
        run = i + 1;
    }
    out.append(text.data() + run, text.size() - run);
}

}  // namespace

void AppendJsStringLiteral(std::string& out, std::string_view text) {
    out += '"';
    // Checked first, since the window's texts are nearly always valid: make_valid copies.
    if (g_utf8_validate_len(text.data(), text.size(), nullptr)) {
        AppendValid(out, text);
    } else {
        // make_valid turns embedded NULs into U+FFFD too, so the copy ends at its own NUL.
        GCharPtr valid(g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
        AppendValid(out, valid.get());
    }
    out += '"';
}

std::string JsStringLiteral(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    AppendJsStringLiteral(out, text);
    return out;
}

bool IsScriptIdentifier(std::string_view name) {
    if (name.empty()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = g_ascii_isalpha(c) || c == '_' || c == '$';
        if (!letter && !(i > 0 && g_ascii_isdigit(c))) return false;
    }
    return true;
}

unsigned CScriptBatch::IndexOf(std::string_view text) {
    const auto [at, added] =
        m_index.try_emplace(std::string(text), static_cast<unsigned>(m_index.size()));
    if (added) {
        if (!m_texts.empty()) m_texts += ',';
        AppendJsStringLiteral(m_texts, text);
    }
    return at->second;
}

bool CScriptBatch::Add(std::string_view name, const std::vector<std::string>& args) {
    if (m_closed || !IsScriptIdentifier(name)) return false;
    if (!m_indexes.empty()) m_indexes += ',';
    m_indexes += std::to_string(IndexOf(name));
    m_indexes += ',';
    m_indexes += std::to_string(args.size());
    for (const std::string& arg : args) {
        m_indexes += ',';
        m_indexes += std::to_string(IndexOf(arg));
    }
    ++m_calls;
    return true;
}

void CScriptBatch::Close() {
    m_closed = true;
    std::unordered_map<std::string, unsigned>().swap(m_index);
}

std::string CScriptBatch::Script() const {
    std::string script;
    script.reserve(Bytes() + sizeof kCallRunner + 8);
    script += kCallRunner;
    script += "([[";
    script += m_texts;
    script += "],[";
    script += m_indexes;
    script += "]]);";
    return script;
}
