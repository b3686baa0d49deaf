// `corvane reg` on the embedded store.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>

#include "cli/caller.h"
#include "cli/reg_actions_posix.h"
#include "corvane/code_page.h"
#include "corvane/types.h"
#include "regtool/reg_file.h"
#include "regtool/regedit_view.h"
#include "regtool/store_maintenance.h"

namespace corvane::cli {
namespace {

// The store of this run, installed as the process's registry once opened.
std::shared_ptr<RegistryStore>& ChosenStore() {
  static std::shared_ptr<RegistryStore> store;
  return store;
}

std::string& ChosenPath() {
  static std::string path;
  return path;
}

RegistryStore& Store() {
  std::shared_ptr<RegistryStore>& store = ChosenStore();
  if (!store) {
    store = RegistryStore::Open(ChosenPath());
    registry::InstallRegistry(store);
  }
  return *store;
}

// The store as the classes' registry, opened by their first registry call, so that a call
// or session that never touches the registry (Tarnel's methods) makes no store file. A store
// that cannot be used says why once, and every call answers its result.
class StoreOnFirstUse final : public registry::RegistryApi {
 public:
  Result OpenKey(Long key, const char* subkey, Long* result) override {
    return Open().OpenKey(key, subkey, result);
  }
  Result OpenKeyEx(Long key, const char* subkey, uint32_t options, uint32_t sam,
                   Long* result) override {
    return Open().OpenKeyEx(key, subkey, options, sam, result);
  }
  Result CreateKey(Long key, const char* subkey, Long* result) override {
    return Open().CreateKey(key, subkey, result);
  }
  Result QueryValueEx(Long key, const char* name, uint32_t* reserved, uint32_t* type, uint8_t* data,
                      uint32_t* count) override {
    return Open().QueryValueEx(key, name, reserved, type, data, count);
  }
  Result SetValueEx(Long key, const char* name, uint32_t reserved, uint32_t type,
                    const uint8_t* data, uint32_t count) override {
    return Open().SetValueEx(key, name, reserved, type, data, count);
  }
  Result CloseKey(Long key) override { return Open().CloseKey(key); }
  Result DeleteKey(Long key, const char* subkey) override { return Open().DeleteKey(key, subkey); }
  Result DeleteValue(Long key, const char* name) override { return Open().DeleteValue(key, name); }

 private:
  RegistryStore& Open() {
    std::call_once(opened_, [] { ChosenStore() = RegistryStore::Open(ChosenPath()); });
    return *ChosenStore();
  }
  std::once_flag opened_;
};

std::string Joined(const std::vector<String>& path) {
  String text;
  for (const String& name : path)
    text += (text.empty() ? u"" : u"\\") + name;
  return rt::ToUtf8(text);
}

// Shows one key as regedit's panes show it, indented two spaces per level below the first key
// shown (`top` levels from its root).
void ShowKey(const std::vector<String>& path, const std::vector<registry::StoredValue>& values,
             size_t top) {
  // The indent stops growing at the registry's depth limit: a deeper tree (made before the
  // limit) is shown in time and space that go with its keys, not with their depth squared.
  const size_t depth = path.size() - top;
  const std::string indent(2 * std::min(depth, registry::kMaxDepth), ' ');
  std::printf("%s%s\n", indent.c_str(),
              Printable(depth == 0 ? Joined(path) : rt::ToUtf8(path.back())).c_str());
  size_t width = 9;  // "(Default)"
  bool has_default = false;
  for (const auto& value : values) {
    width = std::max(width, Printable(rt::ToUtf8(value.name)).size());
    has_default = has_default || value.name.empty();
  }
  auto line = [&](const std::string& name, const std::string& type, const std::string& data) {
    std::printf("%s  %-*s  %-13s %s\n", indent.c_str(), static_cast<int>(width), name.c_str(),
                type.c_str(), data.c_str());
  };
  if (!has_default) line("(Default)", "REG_SZ", "(value not set)");
  for (const auto& value : values)
    line(value.name.empty() ? "(Default)" : Printable(rt::ToUtf8(value.name)),
         registry::TypeName(value.type), Printable(registry::ShownData(value)));
}

// Shows the key `path` below `root` and every key below it, as they are walked.
Result ShowTree(RegistryStore& store, Long root, const std::vector<String>& path) {
  const size_t top = path.size() + 1;  // the root's name comes first
  return registry::WalkTree(
      store, root, path,
      [top](const std::vector<String>& spelled, const std::vector<registry::StoredValue>& values) {
        ShowKey(spelled, values, top);
        return Result{0};
      });
}

// "-" stands for standard input (import) and standard output (export).
bool IsStandardStream(const std::string& file) {
  return file == "-";
}
std::string Named(const std::string& file, const char* stream) {
  return IsStandardStream(file) ? stream : file;
}

bool ReadFile(const std::string& file, std::string* bytes) {
  if (IsStandardStream(file)) {
    bytes->assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return !std::cin.bad();
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

int ShowAction(RegistryStore& store, const RegRequest& request) {
  if (!request.key.empty()) {
    Long root = 0;
    std::vector<String> path;
    if (const int usage = KeyArgument(request.key, &root, &path); usage != 0) return usage;
    if (const Result r = ShowTree(store, root, path); r != 0)
      return Failed(r == 2 ? "no key " + request.key : "cannot read " + request.key, r);
    return 0;
  }
  for (const registry::Root& root : registry::kRoots) {
    if (root.kind != registry::RootKind::kKeys) continue;
    if (const Result result = ShowTree(store, root.handle, {}); result != 0)
      return Failed("cannot read the store", result);
  }
  return 0;
}

// What a store's path is, for a command that would open it: "" when it is a file (or missing);
// else why it cannot be a store.
std::string StoreFileProblem(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? "" : std::strerror(errno);
  if (S_ISLNK(st.st_mode)) return "";  // the store refuses it, and says so
  if (S_ISDIR(st.st_mode)) return "it is a folder";
  if (!S_ISREG(st.st_mode)) return "it is not a regular file";
  if (::access(path.c_str(), R_OK) != 0) return std::strerror(errno);
  return "";
}

int ExportAction(RegistryStore& store, const RegRequest& request) {
  Long root = 0;
  std::vector<String> path;
  if (const int usage = KeyArgument(request.key, &root, &path); usage != 0) return usage;
  // Each key of a .reg file names its whole path: keys deeper than the registry allows are left
  // to reg import's [-...], which removes them.
  std::vector<registry::ExportedKey> keys;
  bool too_deep = false;
  const Result r = registry::WalkTree(
      store, root, path,
      [&](const std::vector<String>& spelled, const std::vector<registry::StoredValue>& values) {
        if (spelled.size() > registry::kMaxDepth + 1) {
          too_deep = true;
          return registry::kInvalidParameter;
        }
        keys.push_back({spelled, values});
        return Result{0};
      });
  if (too_deep)
    return Failed("cannot export " + request.key + ": it holds keys deeper than 512 levels", r);
  if (r != 0) return Failed(r == 2 ? "no key " + request.key : "cannot read " + request.key, r);
  std::string bytes, why;
  const auto format =
      request.regedit4 ? registry::RegFormat::kRegedit4 : registry::RegFormat::kVersion5;
  if (!registry::WriteRegFile(format, keys, &bytes, &why)) {
    std::fprintf(stderr, "corvane reg: %s\n", why.c_str());
    return 1;
  }
  if (IsStandardStream(request.file)) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0) {
      std::fprintf(stderr, "corvane reg: cannot write standard output: %s\n", std::strerror(errno));
      return 1;
    }
  } else if (!registry::ReplaceFile(request.file, bytes, &why)) {
    std::fprintf(stderr, "corvane reg: cannot write %s: %s; it is as it was\n",
                 request.file.c_str(), why.c_str());
    return 1;
  }
  // The report goes where the file's bytes do not.
  std::fprintf(IsStandardStream(request.file) ? stderr : stdout, "exported %zu key%s to %s\n",
               keys.size(), keys.size() == 1 ? "" : "s",
               Named(request.file, "standard output").c_str());
  return 0;
}

int ImportAction(RegistryStore& store, const RegRequest& request) {
  const std::string name = Named(request.file, "standard input");
  std::vector<registry::KeyEdit> edits;
  registry::RegFileError error;
  registry::UnmarkedUtf8 unmarked = registry::UnmarkedUtf8::kNone;
  bool parsed = false;
  if (IsStandardStream(request.file)) {
    std::string bytes;
    if (!ReadFile(request.file, &bytes)) {
      std::fprintf(stderr, "corvane reg: cannot read %s\n", name.c_str());
      return 1;
    }
    parsed = registry::ParseRegFile(bytes, &edits, &error, &unmarked);
  } else {
    // A file is read a line at a time, never whole.
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        std::fopen(request.file.c_str(), "rb"), &std::fclose);
    if (!file) {
      std::fprintf(stderr, "corvane reg: cannot read %s\n", name.c_str());
      return 1;
    }
    parsed = registry::ParseRegFile(file.get(), &edits, &error, &unmarked);
  }
  if (unmarked == registry::UnmarkedUtf8::kReadAsUtf8)
    std::fprintf(stderr, "corvane reg: %s has no byte-order mark and is UTF-8: read as UTF-8\n",
                 name.c_str());
  if (unmarked == registry::UnmarkedUtf8::kReadAsAnsi)
    std::fprintf(stderr,
                 "corvane reg: %s is REGEDIT4, so it was read in the ANSI code page %d, though it"
                 " is also UTF-8; to read it as UTF-8, start it with a UTF-8 byte-order mark, or"
                 " save it as Windows Registry Editor Version 5.00\n",
                 name.c_str(), corvane::AnsiCodePage());
  if (!parsed) {
    std::fprintf(stderr, "corvane reg: %s:%d: %s; nothing was imported\n", name.c_str(), error.line,
                 error.message.c_str());
    return 1;
  }
  if (const Result r = registry::ApplyEdits(store, edits); r != 0)
    return Failed("cannot import " + name + "; nothing was imported", r);
  std::printf("imported %zu changes from %s\n", edits.size(), name.c_str());
  return 0;
}

// A copy of the store is a database file, which a stream cannot hold.
int RefuseStream(const RegRequest& request) {
  std::fprintf(stderr,
               "corvane reg: %s takes a file: a store's copy is a database, not a stream;"
               " name a file (for text, reg export KEY -)\n",
               request.action.c_str());
  return 1;
}

int DumpAction(RegistryStore& store, const RegRequest& request) {
  if (const Result r = registry::DumpStore(store, request.file); r != 0)
    return Failed("cannot dump to " + request.file + "; " +
                      (::access(request.file.c_str(), F_OK) == 0 ? request.file + " is as it was"
                                                                 : "nothing was written"),
                  r);
  std::printf("dumped the store to %s\n", request.file.c_str());
  return 0;
}

// The exit status of a restore from `request.file` that failed with `r`: the store is as it
// was, where it was.
int RestoreFailed(const RegRequest& request, Result r) {
  return Failed(
      (r == 1015 ? request.file + " is not a sound store" : "cannot restore from " + request.file) +
          "; the store " + ChosenPath() + " is as it was",
      r);
}

// A store that is damaged is not copied into: its file is set aside whole, and the copy takes
// its place.
int RestoreDamaged(const RegRequest& request) {
  ChosenStore().reset();
  registry::InstallRegistry(nullptr);
  std::string kept;
  if (const Result r = registry::ReplaceDamagedStore(ChosenPath(), request.file, &kept); r != 0)
    return RestoreFailed(request, r);
  std::printf("restored the store %s from %s; the damaged store is kept as %s\n",
              ChosenPath().c_str(), request.file.c_str(), kept.c_str());
  return 0;
}

int RestoreAction(RegistryStore& store, const RegRequest& request) {
  if (!registry::CheckStore(store).problems.empty()) return RestoreDamaged(request);
  if (const Result r = registry::RestoreStore(store, request.file); r != 0)
    return RestoreFailed(request, r);
  std::printf("restored the store %s from %s\n", ChosenPath().c_str(), request.file.c_str());
  return 0;
}

int CheckAction(RegistryStore& store, const RegRequest&) {
  const registry::StoreReport report = registry::CheckStore(store);
  for (const std::string& note : report.notes)
    std::printf("%s\n", Printable(note).c_str());
  for (const std::string& problem : report.problems)
    std::printf("problem: %s\n", problem.c_str());
  std::printf("%s: %lld keys, %lld values\n", report.problems.empty() ? "sound" : "damaged",
              static_cast<long long>(report.keys), static_cast<long long>(report.values));
  return report.problems.empty() ? 0 : 1;
}

}  // namespace

int Failed(const std::string& what, Result result) {
  std::fprintf(stderr, "corvane reg: %s (result %d)\n", what.c_str(), static_cast<int>(result));
  return 1;
}

int KeyArgument(const std::string& text, Long* root, std::vector<String>* path) {
  if (registry::ParseKeyPath(rt::FromUtf8(text), root, path)) return 0;
  std::fprintf(stderr,
               "corvane reg: %s is not a key path (HKEY_CURRENT_USER\\..., HKCU\\..., HKLM\\..., "
               "HKCR\\..., HKU\\..., HKCC\\...)\n",
               text.c_str());
  return 2;
}

int UseStore(const std::string& path, bool for_classes) {
  ChosenPath() = path.empty() ? RegistryStore::DefaultPath() : path;
  if (const std::string problem = StoreFileProblem(ChosenPath()); !problem.empty()) {
    std::fprintf(stderr, "corvane: the registry store %s cannot be used: %s\n",
                 ChosenPath().c_str(), problem.c_str());
    return 1;
  }
  // reg opens the store for its action; the classes at their first registry call.
  if (for_classes) registry::InstallRegistry(std::make_shared<StoreOnFirstUse>());
  return 0;
}

int AfterClasses(int status) {
  const std::shared_ptr<RegistryStore>& store = ChosenStore();
  return store && store->health() != 0 ? 1 : status;
}

int RunReg(const RegRequest& request) {
  // Only the commands that write make a store; the others look at one that is there.
  const bool writes =
      request.action == "import" || request.action == "restore" || request.action == "add";
  struct stat st {};
  const bool there = ::stat(ChosenPath().c_str(), &st) == 0;
  if (!writes && (!there || st.st_size == 0)) {
    // An empty file is no store either (what a failed copy may leave): it is not made one here.
    std::fprintf(stderr, "corvane reg: no store at %s%s\n", ChosenPath().c_str(),
                 there ? " (the file is empty)" : "");
    return 1;
  }
  if ((request.action == "dump" || request.action == "restore") && IsStandardStream(request.file))
    return RefuseStream(request);
  const bool reads_file = request.action == "restore" ||
                          (request.action == "import" && !IsStandardStream(request.file));
  if (reads_file)
    if (const std::string problem = InputFileProblem(request.file); !problem.empty()) {
      std::fprintf(stderr, "corvane reg: cannot read %s: %s\n", request.file.c_str(),
                   problem.c_str());
      return 1;
    }
  RegistryStore& store = Store();
  if (request.action == "restore" && store.health() == 1015) return RestoreDamaged(request);
  if (store.health() != 0) return Failed("the store cannot be used", store.health());
  static const struct {
    const char* name;
    int (*run)(RegistryStore&, const RegRequest&);
  } kActions[] = {{"show", ShowAction},   {"export", ExportAction},   {"import", ImportAction},
                  {"dump", DumpAction},   {"restore", RestoreAction}, {"check", CheckAction},
                  {"query", QueryAction}, {"add", AddAction},         {"delete", DeleteAction}};
  for (const auto& action : kActions)
    if (request.action == action.name) return action.run(store, request);
  std::fprintf(stderr, "corvane reg: unknown action %s\n", request.action.c_str());
  return 2;
}

}  // namespace corvane::cli
