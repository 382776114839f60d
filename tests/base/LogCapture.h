#pragma once
// Records what the program writes to its GLib log domain, so tests can see the pieces that
// DebugTrace and TRACE send. GLib takes one writer per process; it is installed on first use
// and passes other domains, and this domain while nobody captures, to GLib's default writer.

#include <string>
#include <vector>

struct LogRecord {
    std::string message;
    std::string codeFile;  // empty when the record carries none
    std::string codeLine;
};

class CLogCapture {
  public:
    CLogCapture();  // starts capturing with an empty record list
    ~CLogCapture();
    CLogCapture(const CLogCapture&) = delete;
    CLogCapture& operator=(const CLogCapture&) = delete;

    std::vector<LogRecord> Records() const;
    std::vector<std::string> Messages() const;
};
