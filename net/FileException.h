#pragma once
// A failure to read or write a local file, with the system's description of the cause.

#include <cstring>
#include <stdexcept>
#include <string>

class CFileException : public std::runtime_error {
  public:
    CFileException(const std::string& path, int error)
        : std::runtime_error(path + ": " + std::strerror(error)) {}
};
