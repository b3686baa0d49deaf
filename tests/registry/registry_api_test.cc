// The registry behaviour that the classes rely on, one suite for every RegistryApi backend:
// opening, creating, querying, setting, closing and deleting, with Windows's result codes.
// Each test works under a scratch key of its own and removes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "corvane/key.h"
#include "corvane/registry_api.h"
#include "registry/registry_store.h"
#include "tests/support/failing_registry.h"

namespace corvane::registry {
namespace {

struct Backend {
  const char* name;
  std::function<RegistryApi&()> get;
};

std::ostream& operator<<(std::ostream& out, const Backend& backend) {
  return out << backend.name;
}

const uint8_t* Bytes(const char* text) {
  return reinterpret_cast<const uint8_t*>(text);
}

class RegistryApiTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    scratch_path_ = std::string("Software\\CorvaneTest\\") +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : scratch_path_)
      if (c == '/') c = '_';
    ASSERT_EQ(api().CreateKey(kCurrentUser, scratch_path_.c_str(), &scratch_), kSuccess);
  }
  void TearDown() override {
    api().CloseKey(scratch_);
    DeleteTree(kCurrentUser, scratch_path_);
    api().DeleteKey(kCurrentUser, "Software\\CorvaneTest");
  }
  RegistryApi& api() { return GetParam().get(); }

  // Removes `path` and the subkeys these tests create (two levels).
  void DeleteTree(Long root, const std::string& path) {
    for (const char* child : {"\\a\\b", "\\a", "\\child", "\\Mixed"})
      api().DeleteKey(root, (path + child).c_str());
    api().DeleteKey(root, path.c_str());
  }

  Long Open(const char* subkey, uint32_t sam = kKeyAllAccess) {
    Long key = -1;
    EXPECT_EQ(api().OpenKeyEx(scratch_, subkey, 0, sam, &key), kSuccess) << subkey;
    return key;
  }

  std::string scratch_path_;
  Long scratch_ = 0;
};

TEST_P(RegistryApiTest, OpeningAndCreating) {
  Long key = -1;
  EXPECT_EQ(api().OpenKeyEx(scratch_, "missing", 0, kKeyRead, &key), kFileNotFound);
  EXPECT_EQ(key, 0) << "a failed open leaves 0";
  EXPECT_EQ(api().OpenKey(scratch_, "", &key), kSuccess);
  EXPECT_EQ(key, scratch_) << "RegOpenKeyA with \"\" gives the same handle";
  EXPECT_EQ(api().OpenKey(scratch_, nullptr, &key), kSuccess);
  EXPECT_EQ(key, scratch_);
  EXPECT_EQ(api().OpenKeyEx(scratch_, "", 0, kKeyRead, &key), kSuccess);
  EXPECT_NE(key, scratch_) << "RegOpenKeyExA opens an ordinary key anew";
  api().CloseKey(key);
  EXPECT_EQ(api().OpenKeyEx(kCurrentUser, "", 0, kKeyRead, &key), kSuccess);
  EXPECT_EQ(key, kCurrentUser) << "a root comes back as itself";
  EXPECT_EQ(api().OpenKeyEx(scratch_, "x", 0, kKeyRead, nullptr), kInvalidParameter);
  EXPECT_EQ(api().OpenKeyEx(0, "x", 0, kKeyRead, &key), kInvalidHandle);

  // Creating makes the keys on the way; trailing backslashes are accepted.
  Long deep = 0;
  ASSERT_EQ(api().CreateKey(scratch_, "a\\b", &deep), kSuccess);
  EXPECT_NE(deep, 0);
  api().CloseKey(deep);
  Long again = 0, other = 0;
  EXPECT_EQ(api().OpenKeyEx(scratch_, "a\\b\\", 0, kKeyRead, &again), kSuccess);
  EXPECT_EQ(api().OpenKeyEx(scratch_, "A\\B", 0, kKeyRead, &other), kSuccess) << "any case";
  EXPECT_NE(again, other) << "the same key opened twice gives two handles";
  api().CloseKey(again);
  api().CloseKey(other);
  EXPECT_EQ(api().OpenKeyEx(scratch_, "\\a", 0, kKeyRead, &key), kBadPathname);
}

TEST_P(RegistryApiTest, SettingAndQuerying) {
  // REG_SZ whose count leaves out the terminator: the terminator is stored.
  ASSERT_EQ(api().SetValueEx(scratch_, "text", 0, kRegSz, Bytes("abc"), 3), kSuccess);
  uint8_t buffer[16];
  std::memset(buffer, 'x', sizeof buffer);
  uint32_t type = 0, count = sizeof buffer;
  ASSERT_EQ(api().QueryValueEx(scratch_, "TEXT", nullptr, &type, buffer, &count), kSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), std::string("abc\0", 4));

  // Too small a buffer: 234, the size needed, the type, and the buffer untouched.
  std::memset(buffer, 'x', sizeof buffer);
  type = 0;
  count = 2;
  EXPECT_EQ(api().QueryValueEx(scratch_, "text", nullptr, &type, buffer, &count), kMoreData);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(buffer[0], 'x');
  // No buffer: the size.
  count = 0;
  EXPECT_EQ(api().QueryValueEx(scratch_, "text", nullptr, nullptr, nullptr, &count), kSuccess);
  EXPECT_EQ(count, 4u);
  // Data without a count: 87. A missing value: 2.
  EXPECT_EQ(api().QueryValueEx(scratch_, "text", nullptr, nullptr, buffer, nullptr),
            kInvalidParameter);
  count = sizeof buffer;
  EXPECT_EQ(api().QueryValueEx(scratch_, "none", nullptr, nullptr, buffer, &count), kFileNotFound);

  // DWORD data comes back raw.
  const uint32_t dword = 0x01020304;
  ASSERT_EQ(
      api().SetValueEx(scratch_, "n", 0, kRegDword, reinterpret_cast<const uint8_t*>(&dword), 4),
      kSuccess);
  uint32_t read = 0;
  count = 4;
  EXPECT_EQ(
      api().QueryValueEx(scratch_, "n", nullptr, &type, reinterpret_cast<uint8_t*>(&read), &count),
      kSuccess);
  EXPECT_EQ(type, kRegDword);
  EXPECT_EQ(read, dword);

  // Through a key opened for reading, writes are refused.
  const Long reader = Open("", kKeyRead);
  EXPECT_EQ(api().SetValueEx(reader, "w", 0, kRegSz, Bytes("a"), 2), kAccessDenied);
  api().CloseKey(reader);
  EXPECT_EQ(api().SetValueEx(0, "w", 0, kRegSz, Bytes("a"), 2), kInvalidHandle);
}

TEST_P(RegistryApiTest, TextTerminationOnSetAndQuery) {
  struct Row {
    const char* name;
    std::string bytes;  // what the caller's buffer holds (a zero always follows it)
    uint32_t count;     // the count handed to the set
    uint32_t room;      // the query's buffer size
    Result result;
    std::string read;  // the bytes the query leaves in a buffer of 'x', up to room + 1
    uint32_t read_count;
  };
  const Row rows[] = {
      {"terminator just past the count", "abc", 3, 8, kSuccess, std::string("abc\0x", 5), 4},
      {"not terminated, spare room", "abc", 2, 8, kSuccess, std::string("ab\0x", 4), 2},
      {"not terminated, exact room", "abc", 2, 2, kSuccess, "abx", 2},
      {"count 0: nothing to terminate", "abc", 0, 8, kSuccess, "xx", 0},
      {"zeros inside", std::string("a\0b\0", 4), 4, 8, kSuccess, std::string("a\0b\0x", 5), 4},
      {"too small", "abc", 3, 3, kMoreData, "xxxx", 4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string held = row.bytes + std::string(1, '\0');
    ASSERT_EQ(api().SetValueEx(scratch_, "t", 0, kRegSz, Bytes(held.c_str()), row.count), kSuccess);
    std::string buffer(row.room + 1, 'x');
    uint32_t count = row.room;
    EXPECT_EQ(api().QueryValueEx(scratch_, "t", nullptr, nullptr,
                                 reinterpret_cast<uint8_t*>(buffer.data()), &count),
              row.result);
    EXPECT_EQ(count, row.read_count);
    EXPECT_EQ(buffer.substr(0, row.read.size()), row.read);
  }
}

TEST_P(RegistryApiTest, ClosingAndDeleting) {
  Long child = 0;
  ASSERT_EQ(api().CreateKey(scratch_, "child", &child), kSuccess);
  EXPECT_EQ(api().CloseKey(child), kSuccess);
  EXPECT_EQ(api().CloseKey(child), kInvalidHandle) << "a second close";
  EXPECT_EQ(api().CloseKey(0), kInvalidHandle);
  EXPECT_EQ(api().CloseKey(kCurrentUser), kSuccess) << "a root";

  Long deep = 0;
  ASSERT_EQ(api().CreateKey(scratch_, "a\\b", &deep), kSuccess);
  EXPECT_EQ(api().DeleteKey(scratch_, "a"), kAccessDenied) << "a key with subkeys";
  EXPECT_EQ(api().DeleteKey(scratch_, "missing"), kFileNotFound);
  EXPECT_EQ(api().DeleteKey(scratch_, "a\\b"), kSuccess);
  uint32_t count = 0;
  EXPECT_EQ(api().QueryValueEx(deep, "v", nullptr, nullptr, nullptr, &count), kKeyDeleted)
      << "a handle to a deleted key";
  api().CloseKey(deep);
  EXPECT_EQ(api().DeleteValue(scratch_, "missing"), kFileNotFound);
  ASSERT_EQ(api().SetValueEx(scratch_, "v", 0, kRegSz, Bytes("a"), 2), kSuccess);
  EXPECT_EQ(api().DeleteValue(scratch_, "V"), kSuccess);
}

TEST_P(RegistryApiTest, TheFailingSeamAnswersForTheChosenOperation) {
  FailingRegistry failing(api());
  failing.Fail(Operation::kOpenKeyEx, kAccessDenied);
  Long key = -1;
  EXPECT_EQ(failing.OpenKeyEx(scratch_, "", 0, kKeyRead, &key), kAccessDenied);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(failing.SetValueEx(scratch_, "v", 0, kRegSz, Bytes("a"), 2), kSuccess);
  failing.Heal();
  EXPECT_EQ(failing.OpenKeyEx(scratch_, "", 0, kKeyRead, &key), kSuccess);
  failing.CloseKey(key);
}

// The C++ key class over the backend's wide calls: every type with Unicode names and text,
// listing, deleting, and each failure's result code.
TEST_P(RegistryApiTest, TheKeyClass) {
  InstallRegistryUnowned(&api());
  const std::string path = scratch_path_ + "\\Ключ ☃";
  std::error_code ec, missing, wrong_type, bad_name, fresh;
  Key key = Key::Create(Hive::kCurrentUser, path, ec);
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_FALSE(key.WriteString("Grüße 😀", "text ☃ 世界") || key.WriteDword("d", 0xFFFFFFFF) ||
               key.WriteQword("q", 0x0123456789ABCDEF) || key.WriteBinary("b", {0, 1, 255}) ||
               key.WriteMultiString("m", {"a", "ü"}));
  EXPECT_EQ(key.ReadString("Grüße 😀"), "text ☃ 世界");
  EXPECT_EQ(key.ReadDword("d"), 0xFFFFFFFFu);
  EXPECT_EQ(key.ReadQword("q"), 0x0123456789ABCDEFu);
  EXPECT_EQ(key.ReadBinary("b"), (std::vector<uint8_t>{0, 1, 255}));
  EXPECT_EQ(key.ReadMultiString("m"), (std::vector<std::string>{"a", "ü"}));
  key.CreateSubkey("Ünter\\deeper", ec);
  EXPECT_EQ(key.Subkeys(ec), std::vector<std::string>{"Ünter"});
  std::vector<std::string> values;  // in the platform's order (Wine's is by name)
  for (const Key::Value& value : key.Values(ec))
    values.push_back(value.name + ":" + std::to_string(static_cast<uint32_t>(value.type)));
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, (std::vector<std::string>{"Grüße 😀:1", "b:3", "d:4", "m:7", "q:11"}));
  key.ReadString("absent", &missing);
  key.ReadDword("Grüße 😀", &wrong_type);
  key.ReadString("\xff", &bad_name);
  Key::Open(Hive::kCurrentUser, path + "\\none", fresh);
  Key reader = Key::Open(Hive::kCurrentUser, path, ec, Key::Access::kRead);
  const std::pair<std::error_code, Result> rows[] = {
      {missing, kFileNotFound},
      {wrong_type, kUnsupportedType},
      {bad_name, kNoUnicodeTranslation},
      {fresh, kFileNotFound},
      {reader.WriteDword("d", 1), kAccessDenied},
      {Key().WriteDword("d", 1), kInvalidHandle},
      {key.WriteMultiString("m", {"a", ""}), kInvalidParameter},
      {key.WriteString(std::string("a\0b", 3), "x"), kInvalidParameter},
      {key.DeleteTree(""), kInvalidParameter},
      {key.DeleteValue("d"), kSuccess},
      {key.DeleteValue("d"), kFileNotFound},
      {key.DeleteTree("Ünter"), kSuccess},
      {Key::Open(Hive::kCurrentUser, scratch_path_, ec).DeleteTree("Ключ ☃"), kSuccess},
      {key.WriteDword("d", 1), kKeyDeleted},
  };
  for (size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(rows[i].first, MakeError(rows[i].second))
        << "row " << i << ": " << rows[i].first.message();
  // The codes as the standard's conditions, and success as the one value.
  EXPECT_EQ(missing, std::errc::no_such_file_or_directory);
  EXPECT_EQ(rows[4].first, std::errc::permission_denied);  // a key opened for reading
  EXPECT_EQ(bad_name, std::errc::illegal_byte_sequence);
  EXPECT_EQ(key.WriteMultiString("m", {"a", ""}), std::errc::invalid_argument);
  Key kept = Key::Open(Hive::kCurrentUser, scratch_path_, ec);
  EXPECT_EQ(kept.WriteDword("ok", 1), std::error_code()) << "success is one value";
  FailingRegistry no_wide_calls(api());
  InstallRegistryUnowned(&no_wide_calls);
  Key::Open(Hive::kCurrentUser, "", ec);
  EXPECT_EQ(ec.value(), 50) << "a backend without wide calls";
  EXPECT_FALSE(kept.WriteDword("d", 1)) << "a key stays with the registry it was opened in";
  InstallRegistryUnowned(nullptr);
}

// The store's rules over memory, on every platform.
RegistryApi& MemoryStore() {
  static const std::unique_ptr<RegistryStore> store = RegistryStore::InMemory();
  return *store;
}
#ifdef _WIN32
// The real registry (Wine's under Wine).
RegistryApi& TestBackend() {
  return SystemRegistry();
}
constexpr const char* kTestBackend = "system";
#else
// The embedded store, in a file of the test's own.
RegistryApi& TestBackend() {
  static const std::unique_ptr<RegistryStore> store = [] {
    const std::string path = ::testing::TempDir() + "corvane-registry-api-test.db";
    std::remove(path.c_str());
    return RegistryStore::Open(path);
  }();
  return *store;
}
constexpr const char* kTestBackend = "store";
#endif
INSTANTIATE_TEST_SUITE_P(Backends, RegistryApiTest,
                         ::testing::Values(Backend{kTestBackend, &TestBackend},
                                           Backend{"memory", &MemoryStore}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::registry
