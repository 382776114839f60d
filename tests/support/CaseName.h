#pragma once
// Test names made from the case tables' readable names: gtest accepts letters, digits and '_'.

#include <gtest/gtest.h>

#include <cctype>
#include <string>

inline std::string CaseName(std::string text) {
    for (char& c : text)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return text;
}

// For INSTANTIATE_TEST_SUITE_P over cases that have a `name`.
struct NameOfCase {
    template <class Case>
    std::string operator()(const testing::TestParamInfo<Case>& info) const {
        return CaseName(info.param.name);
    }
};
