// The names and depths the store can keep. See key_edit.h.
#include "regtool/key_edit.h"

namespace corvane::registry {

const char* KeyPathProblem(const std::vector<String>& path) {
  if (path.size() > kMaxDepth) return "a key deeper than 512 levels";
  for (const String& name : path) {
    if (name.size() > kMaxKeyName) return "a key name longer than 256 characters";
    if (!IsKeepableName(name)) return "a key name holding a NUL character or a lone surrogate";
    if (name.empty() || name.find(u'\\') != String::npos)
      return "a key name empty or holding a backslash";
  }
  return nullptr;
}

const char* ValueNameProblem(StringView name) {
  if (name.size() > kMaxValueName) return "a value name longer than 16383 characters";
  if (!IsKeepableName(name)) return "a value name holding a NUL character or a lone surrogate";
  return nullptr;
}

}  // namespace corvane::registry
