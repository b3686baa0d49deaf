// The .reg reader on arbitrary bytes: it never crashes; a refusal names a line of the file and
// hands back no changes; what it accepts the store can keep, and written out again it reads
// back as the same values.
#include <algorithm>

#include "fuzz/fuzz_input.h"
#include "regtool/reg_file.h"
#include "regtool/regedit_view.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvane;
  using namespace corvane::registry;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<KeyEdit> edits;
  RegFileError error;
  if (!ParseRegFile(bytes, &edits, &error)) {
    const long lines = 1 + std::count(bytes.begin(), bytes.end(), '\n');
    if (!edits.empty()) fuzz::Violated("a refused file handed back changes");
    if (error.line < 1 || error.line > lines) fuzz::Violated("a refusal names no line of the file");
    return 0;
  }
  // What is accepted the store can keep: names without NUL or a lone surrogate, within the
  // registry's limits.
  for (const KeyEdit& edit : edits) {
    if (edit.path.size() > kMaxDepth) fuzz::Violated("a key deeper than the limit was accepted");
    for (const String& name : edit.path)
      if (name.size() > kMaxKeyName || !IsKeepableName(name))
        fuzz::Violated("a key name the store cannot keep was accepted");
    if (edit.value.name.size() > kMaxValueName || !IsKeepableName(edit.value.name) ||
        edit.value.data.size() > kMaxData)
      fuzz::Violated("a value the store cannot keep was accepted");
  }
  // Every value set, written as Version 5.00 and read again, is the same value.
  std::vector<ExportedKey> keys;
  std::vector<StoredValue> expected;
  for (const KeyEdit& edit : edits) {
    if (edit.kind != KeyEdit::Kind::kSetValue) continue;
    ExportedKey key;
    key.path.push_back(RootName(edit.root));
    key.path.insert(key.path.end(), edit.path.begin(), edit.path.end());
    key.values.push_back(edit.value);
    expected.push_back(edit.value);
    keys.push_back(std::move(key));
  }
  std::string written, why;
  if (!WriteRegFile(RegFormat::kVersion5, keys, &written, &why)) fuzz::Violated(why.c_str());
  std::vector<KeyEdit> again;
  if (!ParseRegFile(written, &again, &error)) fuzz::Violated("a written file is refused");
  std::vector<StoredValue> read;
  for (const KeyEdit& edit : again)
    if (edit.kind == KeyEdit::Kind::kSetValue) read.push_back(edit.value);
  if (read != expected) fuzz::Violated("values written and read again differ");
  return 0;
}
