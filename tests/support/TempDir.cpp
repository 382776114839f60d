#include "tests/support/TempDir.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

TempDir::TempDir() {
    gchar* dir = g_dir_make_tmp("downloader-test-XXXXXX", nullptr);
    if (!dir) throw std::runtime_error("cannot make a temporary folder");
    m_path = dir;
    g_free(dir);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool FileExists(const std::string& path) {
    return std::filesystem::exists(path);
}
