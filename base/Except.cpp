#include "base/Except.h"

#include <utility>

#include "base/DebugTrace.h"

Except::Except(std::string file, std::string function, int line, const char* format, ...)
    : m_file(std::move(file)), m_function(std::move(function)), m_line(line) {
    va_list args;
    va_start(args, format);
    m_message = FormatV(format, args);
    va_end(args);
}

std::string Except::GetText() const {
    std::string text = Format("Error:[%s:%s:%d] %s\n", m_file.c_str(), m_function.c_str(), m_line,
                              m_message.c_str());
    DebugTrace("%s", text.c_str());
    return text;
}
