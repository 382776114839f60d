// A program that links the bundle but never names it still finds the entries by path, as the
// window does for its icons.

#include <gio/gio.h>
#include <gtest/gtest.h>

TEST(GlobalRegistration, EntriesAreFoundByPathAlone) {
    for (const char* path : {"/res/HTML/106", "/res/ICON/16", "/res/ICON/48"}) {
        GBytes* bytes = g_resources_lookup_data(path, G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
        ASSERT_NE(bytes, nullptr) << path;
        EXPECT_GT(g_bytes_get_size(bytes), 0u);
        g_bytes_unref(bytes);
    }
}
