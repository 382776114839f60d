#include "download/WorkerEvents.h"
#include <gtest/gtest.h>
TEST(WorkerEvents, Placeholder) { SUCCEED(); }
