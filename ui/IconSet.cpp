#include "ui/IconSet.h"

#include <cstdlib>
#include <string>

CIconSet::CIconSet() {
    for (int size : {16, 32, 48}) {
        const std::string path = "/res/ICON/" + std::to_string(size);
        if (GdkPixbuf* icon = gdk_pixbuf_new_from_resource(path.c_str(), nullptr))
            m_icons.emplace_back(icon);
    }
}

GList* CIconSet::NewList() const {
    GList* list = nullptr;
    for (const auto& icon : m_icons) list = g_list_append(list, icon.get());
    return list;
}

GdkPixbuf* CIconSet::Nearest(int size) const {
    GdkPixbuf* best = nullptr;
    int bestDistance = 0;
    for (const auto& icon : m_icons) {
        const int distance = std::abs(gdk_pixbuf_get_width(icon.get()) - size);
        if (!best || distance < bestDistance) {
            best = icon.get();
            bestDistance = distance;
        }
    }
    return best;
}
