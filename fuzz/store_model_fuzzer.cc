// The registry store against a model of the registry's rules: random sequences of the eight
// calls (create, open with read or full access, set, query with any buffer size, delete value,
// delete key, close) and of the wide tree delete, on names that differ only in case, paths with stray backslashes, closed,
// stale and unknown handles. Every result code and every output must be what the model says,
// from the store over its SQLite file and from the store over memory alike.
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "registry/registry_store.h"
#include "runtime/ansi.h"
#include "regtool/store_maintenance.h"

namespace corvane::fuzz {
namespace {

using namespace corvane::registry;

// The model: keys as a tree of folded names, values by folded name, handles by value.
struct Value {
  uint32_t type;
  std::string data;
};
struct Node {
  bool alive = true;
  size_t depth = 0;  // levels below the root
  std::map<std::string, int> children;  // by folded name
  std::map<std::string, Value> values;  // by folded name
};
struct ModelHandle {
  int node;
  bool writable;
};

class Model {
 public:
  Model() : nodes_(2) {}  // 0: HKEY_CURRENT_USER, 1: HKEY_LOCAL_MACHINE

  // The node and access a handle names, or the result code that refuses it.
  Result Resolve(Long h, int* node, bool* writable) const {
    if (h == kCurrentUser || h == kLocalMachine) {
      *node = h == kCurrentUser ? 0 : 1;
      *writable = true;
      return kSuccess;
    }
    const auto found = handles.find(h);
    if (found == handles.end()) return kInvalidHandle;
    if (!nodes_[found->second.node].alive) return kKeyDeleted;
    *node = found->second.node;
    *writable = found->second.writable;
    return kSuccess;
  }

  // The folded components of a path; 161 for a leading backslash, 87 for a component longer
  // than a key name may be. A value's name is folded the same way (as one component, with
  // `key` false: the key names' limit is not its own).
  static Result Parse(const std::string& path, std::vector<std::string>* parts, bool key = true) {
    if (!path.empty() && path[0] == '\\') return kBadPathname;
    std::string part;
    for (char c : path + "\\") {
      if (c != '\\') {
        part += Fold(c);
      } else if (!part.empty()) {
        if (key && part.size() > kMaxKeyName) return kInvalidParameter;
        parts->push_back(part);
        part.clear();
      }
    }
    return kSuccess;
  }

  // -1 when a component is missing; creates it when asked.
  int Walk(int node, const std::vector<std::string>& parts, bool create) {
    for (const std::string& part : parts) {
      auto found = nodes_[node].children.find(part);
      if (found == nodes_[node].children.end()) {
        if (!create) return -1;
        nodes_.emplace_back();
        nodes_.back().depth = nodes_[node].depth + 1;
        found = nodes_[node].children.emplace(part, static_cast<int>(nodes_.size()) - 1).first;
      }
      node = found->second;
    }
    return node;
  }

  // Removes `node` from `parent`, and every key below it with it.
  void Remove(int parent, int node) {
    nodes_[node].alive = false;
    while (!nodes_[node].children.empty())
      Remove(node, nodes_[node].children.begin()->second);
    for (auto it = nodes_[parent].children.begin(); it != nodes_[parent].children.end(); ++it)
      if (it->second == node) {
        nodes_[parent].children.erase(it);
        return;
      }
  }
  int ParentOf(int node) const {
    for (size_t p = 0; p < nodes_.size(); ++p)
      for (const auto& [name, child] : nodes_[p].children)
        if (child == node) return static_cast<int>(p);
    return -1;
  }

  Node& node(int id) { return nodes_[id]; }
  std::map<Long, ModelHandle> handles;

 private:
  // Folding as the registry folds ANSI letters of code page 1252 (the alphabet used here).
  static char Fold(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 32);
    if (u == 0x9A || u == 0x9C || u == 0x9E) return static_cast<char>(u - 16);  // Š Œ Ž
    if (u == 0xFF) return '\x9F';                                              // Ÿ
    return c;
  }
  std::vector<Node> nodes_;
};

// Names that differ only in case, and names at the key name's limit and past it.
std::string Name(FuzzInput& in) {
  static const std::string kNames[] = {"a",  "A",    "b",    "\xE9", "\xC9", "ab", "AB", "\x8E",
                                       "\x9E", "\x8C\xFF", "\x9C\x9F", std::string(256, 'k'),
                                       std::string(257, 'k')};
  return kNames[in.Byte() % 16 == 0 ? in.Int(11, 12) : in.Int(0, 10)];
}

std::string Path(FuzzInput& in) {
  std::string path;
  // Now and then a path near the tree's depth limit.
  if (in.Byte() == 0xA5)
    for (int i = in.Int(static_cast<int>(kMaxDepth) - 3, static_cast<int>(kMaxDepth) + 1); i > 0; --i)
      path += "d\\";
  if (in.Byte() % 8 == 0) path += '\\';
  for (int i = in.Int(0, 3); i > 0; --i) {
    path += Name(in);
    path += in.Byte() % 8 == 0 ? "\\\\" : "\\";
  }
  if (!path.empty() && in.Byte() % 2 == 0) path.pop_back();
  return path;
}

void Expect(bool ok, const char* what) {
  if (!ok) Violated(what);
}
// CORVANE_FUZZ_TRACE=1 shows every call of a replayed input.
const bool g_trace = std::getenv("CORVANE_FUZZ_TRACE") != nullptr;

void ExpectCode(Result got, Result want, const char* what) {
  if (g_trace) std::fprintf(stderr, "%.14s: %d\n", what, static_cast<int>(got));
  if (got != want)
    std::fprintf(stderr, "store %d, model %d\n", static_cast<int>(got), static_cast<int>(want));
  Expect(got == want, what);
}

// Runs one input: a sequence of calls, each compared with the model.
void Run(RegistryStore& store, FuzzInput& in) {
  Model model;
  std::vector<Long> open;    // handles open in both
  std::vector<Long> closed;  // handles that were closed
  auto pick = [&]() -> Long {
    switch (in.Int(0, 5)) {
      case 0:
        return kCurrentUser;
      case 1:
        return kLocalMachine;
      case 2:
        return closed.empty() ? 0x12345 : closed[in.Int(0, static_cast<int>(closed.size()) - 1)];
      case 3:
        return 0x12345;
      default:
        return open.empty() ? kCurrentUser : open[in.Int(0, static_cast<int>(open.size()) - 1)];
    }
  };
  for (int step = in.Int(1, 40); step > 0; --step) {
    const Long h = pick();
    if (g_trace) std::fprintf(stderr, "handle %x ", static_cast<unsigned>(h));
    int node = 0;
    bool writable = false;
    const Result resolved = model.Resolve(h, &node, &writable);
    switch (in.Int(0, 6)) {
      case 0:    // CreateKey
      case 1: {  // OpenKeyEx
        const bool create = in.Bool();
        const uint32_t sam = in.Bool() ? kKeyRead : kKeyAllAccess;
        const std::string path = Path(in);
        Long result = -7;
        const Result got = create ? store.CreateKey(h, path.c_str(), &result)
                                  : store.OpenKeyEx(h, path.c_str(), 0, sam, &result);
        std::vector<std::string> parts;
        Result want = resolved;
        int target = -1;
        bool root_itself = false;
        if (want == kSuccess) {
          if (path.empty() && (h == kCurrentUser || h == kLocalMachine)) {
            root_itself = true;
          } else if ((want = Model::Parse(path, &parts)) == kSuccess) {
            if (create && model.node(node).depth + parts.size() > kMaxDepth) {
              want = kInvalidParameter;  // deeper than a tree may be
            } else {
              target = model.Walk(node, parts, create);
              if (target < 0) want = kFileNotFound;
            }
          }
        }
        ExpectCode(got, want, "create/open: the result code differs from the model");
        if (got != kSuccess) {
          Expect(result == 0, "create/open: a failure left a handle");
        } else if (root_itself) {
          Expect(result == h, "create/open of a root with no path must give the root");
        } else {
          Expect(result > 0 && model.handles.count(result) == 0, "a new handle is not fresh");
          model.handles[result] = {target, create || sam == kKeyAllAccess};
          open.push_back(result);
        }
        break;
      }
      case 2: {  // SetValueEx
        const std::string name = Name(in);
        const uint32_t type = std::array<uint32_t, 3>{kRegBinary, kRegDword, kRegSz}[in.Int(0, 2)];
        // The data, then one byte more that the count leaves out: a text's terminator, or not.
        std::string data(in.Int(0, 8), '\0');
        for (char& c : data)
          c = static_cast<char>(in.Bool() ? 0 : in.Byte());
        const std::string given = data + static_cast<char>(in.Bool() ? 0 : 'x');
        const Result got = store.SetValueEx(h, name.c_str(), 0, type,
                                            reinterpret_cast<const uint8_t*>(given.data()),
                                            static_cast<uint32_t>(data.size()));
        // A text whose last counted byte is not 0 takes in a terminator just past the count.
        if (type == kRegSz && !data.empty() && data.back() != 0 && given.back() == 0) data += '\0';
        Result want = resolved;
        if (want == kSuccess && !writable) want = kAccessDenied;
        ExpectCode(got, want, "set: the result code differs from the model");
        if (want == kSuccess) {
          std::vector<std::string> folded;
          Model::Parse(name, &folded, false);
          model.node(node).values[folded[0]] = {type, data};
        }
        break;
      }
      case 3: {  // QueryValueEx
        const std::string name = Name(in);
        uint8_t buffer[16];
        std::memset(buffer, 0xEE, sizeof buffer);
        uint32_t room = static_cast<uint32_t>(in.Int(0, 10)), count = room, type = 99;
        const Result got = store.QueryValueEx(h, name.c_str(), nullptr, &type, buffer, &count);
        Result want = resolved;
        const Value* value = nullptr;
        if (want == kSuccess) {
          std::vector<std::string> folded;
          Model::Parse(name, &folded, false);
          const auto found = model.node(node).values.find(folded[0]);
          if (found == model.node(node).values.end()) {
            want = kFileNotFound;
          } else {
            value = &found->second;
            if (room < value->data.size()) want = kMoreData;
          }
        }
        ExpectCode(got, want, "query: the result code differs from the model");
        if (value != nullptr) {
          Expect(type == value->type, "query: the type differs");
          Expect(count == value->data.size(), "query: the size differs");
          if (got == kSuccess) {
            Expect(std::memcmp(buffer, value->data.data(), value->data.size()) == 0,
                   "query: the data differs");
            // Text without its terminator gets one where the buffer has room; nothing else is
            // written past the data.
            const size_t size = value->data.size();
            const bool ends_open = value->type == kRegSz && size > 0 && value->data.back() != 0;
            if (room > size)
              Expect(buffer[size] == (ends_open ? 0 : 0xEE), "query: past the data is wrong");
          }
          else
            Expect(buffer[0] == 0xEE, "query: a buffer that is too small was written");
        }
        break;
      }
      case 4: {  // DeleteValue
        const std::string name = Name(in);
        const Result got = store.DeleteValue(h, name.c_str());
        Result want = resolved;
        if (want == kSuccess && !writable) want = kAccessDenied;
        if (want == kSuccess) {
          std::vector<std::string> folded;
          Model::Parse(name, &folded, false);
          want = model.node(node).values.erase(folded[0]) == 1 ? kSuccess : kFileNotFound;
        }
        ExpectCode(got, want, "delete value: the result code differs from the model");
        break;
      }
      case 5: {  // DeleteKey, or DeleteTreeW: the key with everything below it
        const std::string path = Path(in);
        const bool tree = in.Bool();
        const Result got = tree ? store.DeleteTreeW(h, rt::FromAnsiAsSystem(path))
                                : store.DeleteKey(h, path.c_str());
        Result want = tree && path.empty() ? kInvalidParameter : resolved;
        std::vector<std::string> parts;
        int target = -1;
        if (want == kSuccess) want = Model::Parse(path, &parts);
        if (want == kSuccess) {
          target = model.Walk(node, parts, false);
          if (target < 0)
            want = kFileNotFound;
          else if (target == node && (h == kCurrentUser || h == kLocalMachine))
            want = kAccessDenied;
          else if (!model.node(target).children.empty() && !tree)
            want = kAccessDenied;
        }
        ExpectCode(got, want, "delete key: the result code differs from the model");
        if (want == kSuccess) model.Remove(model.ParentOf(target), target);
        break;
      }
      default: {  // CloseKey
        const Result got = store.CloseKey(h);
        Result want = kInvalidHandle;
        if (h == kCurrentUser || h == kLocalMachine) want = kSuccess;
        if (model.handles.erase(h) == 1) {
          want = kSuccess;
          std::erase(open, h);
          closed.push_back(h);
        }
        ExpectCode(got, want, "close: the result code differs from the model");
      }
    }
  }
  for (Long h : open)
    store.CloseKey(h);
  Expect(store.open_handles() == 0, "handles are left open");
}

// Empties both roots, keys and values, for the next input.
void Clear(RegistryStore& store) {
  std::vector<KeyEdit> edits;
  for (Long root : {kCurrentUser, kLocalMachine}) {
    std::vector<String> subkeys;
    std::vector<StoredValue> values;
    ListKey(store, root, {}, nullptr, &subkeys, &values);
    for (const String& name : subkeys)
      edits.push_back({KeyEdit::Kind::kDeleteTree, root, {name}, {}});
    for (const StoredValue& value : values)
      edits.push_back({KeyEdit::Kind::kDeleteValue, root, {}, value});
  }
  if (ApplyEdits(store, edits) != kSuccess) Violated("the store cannot be cleared");
}

}  // namespace
}  // namespace corvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvane;
  static std::unique_ptr<registry::RegistryStore> store = [] {
    const std::string path = fuzz::ScratchStorePath("model");
    return registry::RegistryStore::Open(path);
  }();
  fuzz::Clear(*store);
  fuzz::FuzzInput in(data, size);
  fuzz::Run(*store, in);
  // The same rules over memory: the same sequence, held to the same model.
  const std::unique_ptr<registry::RegistryStore> memory = registry::RegistryStore::InMemory();
  fuzz::FuzzInput again(data, size);
  fuzz::Run(*memory, again);
  return 0;
}
