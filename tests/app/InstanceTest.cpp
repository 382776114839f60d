// The single-instance rule inside one process: flock locks belong to the open file, so
// separate application objects stand in for separate processes here.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "app/DownloaderApp.h"
#include "platform/SingleInstance.h"
#include "tests/support/TempDir.h"

namespace {
class FindRunningInstanceTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // GLib reads the runtime folder once, on first use.
        static TempDir runtime;
        ::setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    }
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
};
}  // namespace

TEST_F(FindRunningInstanceTest, FirstStartTakesTheMarkerAndRuns) {
    CDownloaderApp first;
    EXPECT_FALSE(first.FindRunningInstance(name));
    EXPECT_TRUE(CFileLock::IsHeldElsewhere(InstanceMarkerPath(name)));
    EXPECT_FALSE(first.FindRunningInstance(name));  // asking again changes nothing
}

TEST_F(FindRunningInstanceTest, RefusedOnlyWhileMarkerAndWindowTagAreBothHeld) {
    CDownloaderApp first;
    ASSERT_FALSE(first.FindRunningInstance(name));

    EXPECT_FALSE(CDownloaderApp().FindRunningInstance(name)) << "marker without a window";
    {
        CWindowTag window;
        window.Set(name);
        ASSERT_TRUE(window.IsSet());
        EXPECT_TRUE(CDownloaderApp().FindRunningInstance(name));
        EXPECT_TRUE(CDownloaderApp().FindRunningInstance(name));  // the probe took nothing
        EXPECT_TRUE(window.IsSet());
        window.Remove();
        EXPECT_FALSE(CDownloaderApp().FindRunningInstance(name)) << "window destroyed";
    }
}

TEST_F(FindRunningInstanceTest, WindowTagWithoutMarkerDoesNotRefuse) {
    CWindowTag window;
    window.Set(name);
    CDownloaderApp start;
    EXPECT_FALSE(start.FindRunningInstance(name));
}

TEST_F(FindRunningInstanceTest, AnotherNameIsAnotherInstance) {
    CDownloaderApp first;
    ASSERT_FALSE(first.FindRunningInstance(name));
    CWindowTag window;
    window.Set(name);
    EXPECT_FALSE(CDownloaderApp().FindRunningInstance(name + "-copy"));
}

TEST_F(FindRunningInstanceTest, SecondWindowCannotTakeAHeldTag) {
    CWindowTag first, second;
    first.Set(name);
    second.Set(name);
    EXPECT_TRUE(first.IsSet());
    EXPECT_FALSE(second.IsSet());
    first.Remove();
    second.Set(name);
    EXPECT_TRUE(second.IsSet());
}

TEST_F(FindRunningInstanceTest, MissingRuntimeFolderCountsAsNoOtherInstance) {
    CDownloaderApp start;
    EXPECT_FALSE(start.FindRunningInstance("no-such-folder/" + name));
}
