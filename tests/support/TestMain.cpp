// Shared main for the test programs: GoogleTest, plus a place for pictures the tests save.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
