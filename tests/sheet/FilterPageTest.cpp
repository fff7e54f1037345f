#include <gtest/gtest.h>
TEST(DigestPage, Placeholder) { GTEST_SKIP() << "written next"; }
