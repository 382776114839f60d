// Feeds arbitrary service replies to the update-information parser and checks what the rest
// of the program relies on: no crash or abort on any input, and a file name that always stays
// a single entry inside the temporary folder, whatever "version" says.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "download/UpdateInfo.h"

namespace {
void Require(bool condition) {
    if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    const UpdateInfo info = ParseUpdateInfo(reply, "http://default.invalid/setup.exe");

    const std::string name = InstallerFileName(info);
    Require(name.rfind("/myvelmora_setup", 0) == 0);
    Require(name.size() >= 4 && name.compare(name.size() - 4, 4, ".exe") == 0);
    Require(name.find('/', 1) == std::string::npos);
    Require(name.find('\0') == std::string::npos);
    Require(name != "/." && name != "/..");
    if (!info.parsed) Require(info.url == "http://default.invalid/setup.exe");
    if (!info.sha256.empty()) Require(info.sha256.size() == 64);

    const std::string detail = DetailText(info);
    Require(!detail.empty() && detail.back() == '\n');
    return 0;
}
