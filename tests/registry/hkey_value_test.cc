// Registry handles as Longs: every predefined root, a key the registry opens, and a handle
// that would not survive the way back.
#include "registry/hkey_value_win32.h"

#include <gtest/gtest.h>

namespace corvane::registry {
namespace {

TEST(HkeyValue, PredefinedRootsAreTheirSignExtendedLongs) {
  struct Row {
    uint32_t value;
    HKEY root;
  };
  const Row rows[] = {{0x80000000u, HKEY_CLASSES_ROOT},     {0x80000001u, HKEY_CURRENT_USER},
                      {0x80000002u, HKEY_LOCAL_MACHINE},    {0x80000003u, HKEY_USERS},
                      {0x80000004u, HKEY_PERFORMANCE_DATA}, {0x80000005u, HKEY_CURRENT_CONFIG},
                      {0x80000006u, HKEY_DYN_DATA}};
  for (const Row& row : rows) {
    const auto as_long = static_cast<int32_t>(row.value);
    SCOPED_TRACE(as_long);
    EXPECT_LT(as_long, 0);
    EXPECT_EQ(HkeyFromLong(as_long), row.root);
    EXPECT_EQ(LongFromHkey(row.root), as_long);
  }
}

TEST(HkeyValue, AnOpenedKeyRoundTripsAndStaysUsable) {
  HKEY opened = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HkeyFromLong(static_cast<int32_t>(0x80000001u)),
                            L"Software\\Corvane\\HkeyValueTest", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &opened, nullptr),
            ERROR_SUCCESS);
  const std::optional<int32_t> as_long = LongFromHkey(opened);
  ASSERT_TRUE(as_long.has_value());
  const HKEY back = HkeyFromLong(*as_long);
  EXPECT_EQ(back, opened);
  const DWORD data = 42;
  EXPECT_EQ(
      RegSetValueExW(back, L"v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data),
      ERROR_SUCCESS);
  DWORD read = 0, size = sizeof read;
  EXPECT_EQ(RegQueryValueExW(opened, L"v", nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(read, data);
  EXPECT_EQ(RegCloseKey(back), ERROR_SUCCESS);
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Corvane\\HkeyValueTest");
}

TEST(HkeyValue, AHandleBeyondALongIsRefused) {
  if (sizeof(HKEY) == 4) GTEST_SKIP() << "every 32-bit handle is a Long";
  const auto beyond = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u));
  EXPECT_EQ(LongFromHkey(beyond), std::nullopt);
}

}  // namespace
}  // namespace corvane::registry
