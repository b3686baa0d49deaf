// The COM test program: one apartment for the whole run.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  CoInitialize(nullptr);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
