#include <gtest/gtest.h>
#include "menu/settings.h"
TEST(Settings, BlockIs164Bytes) { EXPECT_EQ(sizeof(tdx::SettingsBlock), 164u); }
