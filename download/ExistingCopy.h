#pragma once
// The existing-file check of a worker run: is the installer already complete on disk?

#include <cstdint>
#include <optional>
#include <string>

#include "download/UpdateInfo.h"

class CHttp;

// The size of a complete copy at path, or nothing when the installer must be downloaded.
// When info carries a size (a signed reply), only a copy of exactly that size and digest is
// complete, without asking the server, and any other copy is deleted. Otherwise, when info
// carries a digest, only a copy with that digest is complete, and a copy with another digest is
// deleted so that it can never be started. Without one, a copy is complete when the server
// still vouches for it (CHttp::ConfirmCopy); otherwise it is fetched again.
std::optional<std::uint64_t> FindCompleteCopy(CHttp& http, const UpdateInfo& info,
                                              const std::string& path);
