#include "base/DiagLog.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "base/UniqueFd.h"

namespace {
std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\n') out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

void WriteAll(int fd, const std::string& bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n <= 0) return;  // a failed write is not reported
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}
}  // namespace

void DiagLog(const char* path, const char* format, ...) {
    UniqueFd fd(::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
    if (!fd) return;
    // One writer at a time: a second concurrent writer loses its entry.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return;

    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);

    std::string entry;
    struct stat st {};
    if (::fstat(fd.get(), &st) == 0 && st.st_size == 0) entry = "\xEF\xBB\xBF";
    entry += LocalTimeText("%Y.%m.%d %H:%M:%S") + "\t" + WithCrLf(text) + "\r\n";
    WriteAll(fd.get(), entry);
}
