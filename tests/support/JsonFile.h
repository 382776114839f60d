#pragma once
// Case tables kept as JSON files beside the tests.

#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/value.h>

#include <fstream>
#include <string>

// The document in the file at path; null, and a failure of the running test, when it cannot be
// read.
inline Json::Value ReadJsonFile(const std::string& path) {
    std::ifstream file(path);
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    if (!Json::parseFromStream(builder, file, &root, &errors)) {
        ADD_FAILURE() << "cannot read " << path << ": " << errors;
        return Json::Value();
    }
    return root;
}
