#include "base/ResString.h"

#include "base/StringTable.h"

std::string LoadResString(int id) {
    for (const auto& entry : kStringTable)
        if (entry.id == id) return entry.text;
    return {};
}
