#include "ui/ScriptCall.h"

#include <glib.h>

#include "base/Format.h"
#include "ui/GObjectPtr.h"

namespace {

void AppendEscapedCodePoint(std::string& out, gunichar c) {
    switch (c) {
        case '\'':
            out += "\\'";
            return;
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        case '<':
            out += "\\x3c";
            return;
        case '>':
            out += "\\x3e";
            return;
        case 0x2028:
            out += "\\u2028";
            return;
        case 0x2029:
            out += "\\u2029";
            return;
        default:
            break;
    }
    if (c < 0x20 || c == 0x7F) {
        out += Format("\\x%02x", static_cast<unsigned>(c));
        return;
    }
    char utf8[6];
    out.append(utf8, static_cast<std::size_t>(g_unichar_to_utf8(c, utf8)));
}

}  // namespace

std::string JsStringLiteral(std::string_view text) {
    GCharPtr valid(g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
    std::string out;
    out.reserve(text.size() + 2);
    out += '\'';
    // make_valid turns embedded NULs into U+FFFD too, so the copy ends at its own NUL.
    const char* p = valid.get();
    const char* end = p + std::char_traits<char>::length(p);
    while (p < end) {
        AppendEscapedCodePoint(out, g_utf8_get_char(p));
        p = g_utf8_next_char(p);
    }
    out += '\'';
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

std::string ScriptCallText(std::string_view name, const std::vector<std::string>& args) {
    if (!IsScriptIdentifier(name)) return {};
    std::string call;
    call += "if (typeof ";
    call += name;
    call += " === 'function') { try { ";
    call += name;
    call += '(';
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i) call += ", ";
        call += JsStringLiteral(args[i]);
    }
    call += "); } catch (e) {} }\n";
    return call;
}
