// downloader-sign --key FILE --id ID --product P --installer PATH --url URL --version V
//                 --channel C [--expires-days N] [--detail TEXT] [--mirror URL]...
//                 [--out REPLY.json]
//   writes the update-information reply for the installer (size and SHA-256 measured from it)
// downloader-sign --key FILE --id ID --product P REPLY.json
//   signs an existing reply, byte for byte
// Either way the only line on stdout is the X-Update-Signature value "ID SIG", and only after
// the reply has passed the same rules in both modes: the checks a program of product P makes,
// and a dotted numeric version. Nothing is written or printed otherwise.
#include <glib.h>

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "download/DottedVersion.h"
#include "download/SodiumReady.h"
#include "download/UpdateKeys.h"
#include "download/UpdateReplyLimits.h"
#include "net/HttpAddress.h"
#include "tools/publisher/CommandLine.h"
#include "tools/publisher/ReplyBody.h"
#include "tools/publisher/ReplySigner.h"
#include "tools/publisher/SecretKeyFile.h"

namespace {
constexpr char kTool[] = "downloader-sign";
constexpr char kDefaultReplyFile[] = "updateinfo.json";
constexpr int kDefaultExpiresDays = 7;
constexpr int kMaxExpiresDays = kMaxUpdateReplyDays;

// The option values, owned once parsing is over. Raw bytes (FILENAME arguments) rather than
// locale-converted text, so a UTF-8 detail passes whatever the locale; text members are
// checked for UTF-8 instead.
struct SignOptions {
    gchar* key = nullptr;
    gchar* id = nullptr;
    gchar* product = nullptr;
    gchar* installer = nullptr;
    gchar* url = nullptr;
    gchar* version = nullptr;
    gchar* channel = nullptr;
    gchar* detail = nullptr;
    gchar** mirrors = nullptr;
    gchar* out = nullptr;
    gchar* expiresDays = nullptr;

    SignOptions() = default;
    ~SignOptions() {
        for (gchar* text :
             {key, id, product, installer, url, version, channel, detail, out, expiresDays})
            g_free(text);
        g_strfreev(mirrors);
    }
    SignOptions(const SignOptions&) = delete;
    SignOptions& operator=(const SignOptions&) = delete;

    bool AnyReplyMember() const {
        return url || version || channel || detail || mirrors || out || expiresDays;
    }
};

// The days until the reply expires: the default when not given, nothing when not 1 to
// kMaxExpiresDays.
std::optional<std::int64_t> ExpiresDays(const SignOptions& options) {
    if (!options.expiresDays) return kDefaultExpiresDays;
    guint64 days = 0;
    if (!g_ascii_string_to_unsigned(options.expiresDays, 10, 1, kMaxExpiresDays, &days, nullptr))
        return std::nullopt;
    return static_cast<std::int64_t>(days);
}

bool IsUtf8(const char* text) {
    return g_utf8_validate(text, -1, nullptr);
}

// Why the reply members given cannot make a reply the program accepts; empty when they can.
std::string ReplyMembersProblem(const SignOptions& options) {
    if (!options.url || !options.version || !options.channel)
        return "--installer needs --url, --version and --channel";
    if (!IsHttpAddress(options.url)) return "--url is not an http(s) address";
    for (gchar** mirror = options.mirrors; mirror && *mirror; ++mirror)
        if (!IsHttpAddress(*mirror))
            return std::string("--mirror ") + *mirror + " is not an http(s) address";
    // Only dotted numeric versions are ordered, and so protected against a roll-back.
    if (!IsDottedVersion(options.version)) return "--version must be dotted numeric, like 2.4.1";
    if (!IsUtf8(options.channel) || (options.detail && !IsUtf8(options.detail)))
        return "--channel and --detail must be UTF-8 text";
    if (!ExpiresDays(options))
        return "--expires-days must be 1 to " + std::to_string(kMaxExpiresDays);
    return {};
}

std::string BuildReply(const SignOptions& options, std::int64_t now, std::string& body) {
    ReplyFields fields;
    if (std::string failure = MeasureInstaller(options.installer, fields.installer);
        !failure.empty())
        return failure;
    fields.url = options.url;
    fields.version = options.version;
    fields.product = options.product;
    fields.channel = options.channel;
    fields.expires = now + *ExpiresDays(options) * 24 * 60 * 60;
    if (options.detail) fields.detail = options.detail;
    for (gchar** mirror = options.mirrors; mirror && *mirror; ++mirror)
        fields.mirrors.emplace_back(*mirror);
    body = ReplyBody(fields);
    return {};
}

std::string ReadReply(const char* path, std::string& body) {
    gchar* contents = nullptr;
    gsize length = 0;
    GError* error = nullptr;
    const bool read = g_file_get_contents(path, &contents, &length, &error);
    const OwnedText owner(contents);
    const OwnedError errorOwner(error);
    if (!read) return error->message;
    body.assign(contents, length);
    return {};
}

std::string WriteReply(const char* path, const std::string& body) {
    GError* error = nullptr;
    const bool written =
        g_file_set_contents(path, body.data(), static_cast<gssize>(body.size()), &error);
    const OwnedError errorOwner(error);
    return written ? std::string() : error->message;
}
}  // namespace

int main(int argc, char** argv) {
    SignOptions options;
    GOptionEntry entries[] = {
        {"key", 0, 0, G_OPTION_ARG_FILENAME, &options.key, "Secret key file (downloader-keygen)",
         "FILE"},
        {"id", 0, 0, G_OPTION_ARG_FILENAME, &options.id, "ID of that key", "ID"},
        {"product", 0, 0, G_OPTION_ARG_FILENAME, &options.product,
         "Product key of the programs the reply is for", "P"},
        {"installer", 0, 0, G_OPTION_ARG_FILENAME, &options.installer,
         "Write a new reply for this installer file", "PATH"},
        {"url", 0, 0, G_OPTION_ARG_FILENAME, &options.url, "http(s) address of the installer",
         "URL"},
        {"version", 0, 0, G_OPTION_ARG_FILENAME, &options.version,
         "Version of the installer, dotted numeric", "V"},
        {"channel", 0, 0, G_OPTION_ARG_FILENAME, &options.channel, "Channel the reply is for", "C"},
        {"expires-days", 0, 0, G_OPTION_ARG_FILENAME, &options.expiresDays,
         "Days until the reply expires (default 7)", "N"},
        {"detail", 0, 0, G_OPTION_ARG_FILENAME, &options.detail, "Detail text for the page",
         "TEXT"},
        {"mirror", 0, 0, G_OPTION_ARG_FILENAME_ARRAY, &options.mirrors,
         "Further address of the same installer (repeatable)", "URL"},
        {"out", 0, 0, G_OPTION_ARG_FILENAME, &options.out,
         "Where the new reply goes (default updateinfo.json)", "REPLY.json"},
        {nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr}};
    const OptionContext context(g_option_context_new("[REPLY.json]"));
    g_option_context_set_summary(
        context.get(),
        "Signs update information and prints the X-Update-Signature value \"ID SIG\".\n"
        "With --installer it writes a new reply first; with REPLY.json it signs that file as "
        "it is.\nExit status: 0 signed, 1 refused or failed, 2 wrong usage.");
    g_option_context_add_main_entries(context.get(), entries, nullptr);
    GError* error = nullptr;
    const bool parsed = g_option_context_parse(context.get(), &argc, &argv, &error);
    const OwnedError errorOwner(error);
    if (!parsed) return Fail(kTool, error->message, kExitUsage);

    if (!options.key || !options.id || !options.product)
        return Fail(kTool, "give --key, --id and --product", kExitUsage);
    if (!*options.product || !IsUtf8(options.product))
        return Fail(kTool, "--product must be UTF-8 text", kExitUsage);
    if (!IsUpdateKeyId(options.id))
        return Fail(kTool, "the ID must be 1 to 16 of A-Z a-z 0-9 _ -", kExitUsage);
    const bool building = options.installer != nullptr;
    if (building && argc != 1)
        return Fail(kTool, "give either --installer or REPLY.json, not both", kExitUsage);
    if (!building && (argc != 2 || options.AnyReplyMember()))
        return Fail(kTool, "give --installer with the reply's members, or one REPLY.json alone",
                    kExitUsage);
    if (building) {
        if (const std::string problem = ReplyMembersProblem(options); !problem.empty())
            return Fail(kTool, problem, kExitUsage);
    }

    if (!SodiumReady()) return Fail(kTool, "libsodium could not be initialised");
    SecretKey key;
    if (const std::string failure = ReadSecretKeyFile(options.key, key); !failure.empty())
        return Fail(kTool, failure);
    if (key.id != options.id)
        return Fail(kTool, std::string(options.key) + " holds key '" + key.id + "', not '" +
                               options.id + "'");

    const std::int64_t now = std::time(nullptr);
    std::string body;
    const std::string failure =
        building ? BuildReply(options, now, body) : ReadReply(argv[1], body);
    if (!failure.empty()) return Fail(kTool, failure);
    if (body.size() > kMaxUpdateReplyBytes)
        return Fail(kTool, "the reply is larger than the " + std::to_string(kMaxUpdateReplyBytes) +
                               " bytes the program reads");

    const std::string header = FormatSignaturePair(SignReply(key, body));
    if (const std::string rule = RuleBrokenBy(body, header, key, options.product, now);
        !rule.empty())
        return Fail(kTool, "not signed: " + rule);
    if (building) {
        const char* out = options.out ? options.out : kDefaultReplyFile;
        if (const std::string failure = WriteReply(out, body); !failure.empty())
            return Fail(kTool, failure);
        std::fprintf(stderr, "%s: reply written to %s\n", kTool, out);
    }
    std::printf("%s\n", header.c_str());
    return std::fflush(stdout) == 0 ? kExitDone : kExitFailed;
}
