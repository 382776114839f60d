#include "tools/publisher/ReplyBody.h"

#include <json/value.h>
#include <json/writer.h>

std::string ReplyBody(const ReplyFields& fields) {
    Json::Value root(Json::objectValue);
    root["url"] = fields.url;
    root["version"] = fields.version;
    root["product"] = fields.product;
    root["channel"] = fields.channel;
    root["sha256"] = fields.installer.sha256;
    root["size"] = Json::Value(static_cast<Json::UInt64>(fields.installer.size));
    root["expires"] = Json::Value(static_cast<Json::Int64>(fields.expires));
    if (!fields.detail.empty()) root["detail"] = fields.detail;
    if (!fields.mirrors.empty()) {
        Json::Value& mirrors = root["mirrors"] = Json::Value(Json::arrayValue);
        for (const std::string& mirror : fields.mirrors) mirrors.append(mirror);
    }
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "  ";
    writer["emitUTF8"] = true;
    return Json::writeString(writer, root) + "\n";
}
