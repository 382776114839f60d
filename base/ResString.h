#pragma once
#include <string>

// The string resource id; the empty string when there is none.
std::string LoadResString(int id);
