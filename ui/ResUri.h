#pragma once
// What a res: address asks the window for. The page refers to its parts as res:/TYPE/#ID
// (the id travels in the fragment, so the whole address is read, not just its path), and the
// page's window.external reads parameters through res:///bridge/GetAppParams?name=NAME.

#include <string>

struct ResUri {
    enum class Kind { Invalid, Resource, AppParam };
    Kind kind = Kind::Invalid;
    std::string resourcePath;  // Resource: the path in the resource bundle, "/res/TYPE/ID"
    std::string contentType;   // Resource: the type the page sees
    std::string paramName;     // AppParam: the parameter's name, decoded (may be empty)
};

ResUri ParseResUri(const std::string& uri);
