#include <gtest/gtest.h>
TEST(AccountComboBox, Placeholder) { GTEST_SKIP() << "written next"; }
