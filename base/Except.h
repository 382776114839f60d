#pragma once
// The program's own failure record: where a failure was raised and what it was, rendered as
// the log's "Error:[file:function:line] text". Made where a failure is logged; nothing throws
// it.

#include <string>

#include "base/Format.h"

class Except {
  public:
    Except(std::string file, std::string function, int line, const char* format, ...)
        DL_PRINTF(5, 6);

    // "Error:[file:function:line] message\n"; every fetch is also sent to DebugTrace.
    std::string GetText() const;

    const std::string& File() const { return m_file; }
    const std::string& Function() const { return m_function; }
    const std::string& Message() const { return m_message; }
    int Line() const { return m_line; }

  private:
    std::string m_file;
    std::string m_function;
    std::string m_message;
    int m_line;
};
