// The tool's calls and shell: statement recognition, argument binding to variables, and the
// report of a call.
#include "cli/session.h"

#include <algorithm>
#include <cctype>

namespace corvane::cli {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

std::string Folded(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool IsName(std::string_view text) {
  if (text.empty() || !(std::isalpha(static_cast<unsigned char>(text[0])) || text[0] == '_'))
    return false;
  for (char c : text)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return !server::EqualsIgnoringCase(text, "Empty");
}

// The length of the leading dotted name ("Corvane.Tarnel.Encrypt").
size_t DottedNameLength(std::string_view text) {
  size_t i = 0;
  while (i < text.size() &&
         (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_' || text[i] == '.'))
    ++i;
  return i;
}

// Splits a list at the commas that are outside quotes and parentheses.
std::vector<std::string_view> SplitArguments(std::string_view text) {
  std::vector<std::string_view> parts;
  if (Trim(text).empty()) return parts;
  int depth = 0;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (c == ',' && depth == 0) {
      parts.push_back(Trim(text.substr(start, i - start)));
      start = i + 1;
    }
  }
  parts.push_back(Trim(text.substr(start)));
  return parts;
}

const char kHelp[] =
    "statements, one per line:\n"
    "  name = value                    assign (\"text\", 42, 42&, 1.5, Empty, ChrW(n),\n"
    "                                  Array(\"a\", \"b\"), a & b, another variable)\n"
    "  Class.Method arg, arg           call; a variable argument receives the write-back\n"
    "  name = Class.Method(arg, arg)   call and keep the result\n"
    "  print value, value              show values with their kinds\n"
    "  vars                            show every variable\n"
    "  help CLASS                      list a class's methods with their parameters\n"
    "  exit                            leave\n"
    "classes: Tarnel, Registry, Declares\n";

const char* const kStatements[] = {"print", "vars", "help", "exit"};

// The number of single-letter edits from `a` to `b`, case aside.
size_t Distance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j)
    row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
      const size_t next = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = row[j];
      row[j] = next;
    }
  }
  return row[b.size()];
}

const char* TypeText(server::ParamType type) {
  switch (type) {
    case server::ParamType::kString:
      return "String";
    case server::ParamType::kLong:
      return "Long";
    case server::ParamType::kInteger:
      return "Integer";
    case server::ParamType::kVariant:
      return "Variant";
    case server::ParamType::kStringArray:
      return "String()";
  }
  return "Variant";
}

const char* ResultText(server::ResultType type) {
  switch (type) {
    case server::ResultType::kNone:
      return "";
    case server::ResultType::kVariant:
      return " As Variant";
    case server::ResultType::kString:
      return " As String";
    case server::ResultType::kLong:
      return " As Long";
    case server::ResultType::kInteger:
      return " As Integer";
  }
  return "";
}

}  // namespace

const server::ClassInfo* FindClassNamed(std::string_view name) {
  for (const server::ClassInfo& cls : server::Classes())
    if (server::EqualsIgnoringCase(name, cls.name) || server::EqualsIgnoringCase(name, cls.prog_id))
      return &cls;
  return nullptr;
}

std::string Suggestion(std::string_view name, const std::vector<std::string>& candidates) {
  // Long inputs are nobody's spelling of a short name; they are not compared at all.
  if (name.empty() || name.size() > 64) return "";
  const std::string* best = nullptr;
  size_t best_distance = std::max<size_t>(1, name.size() / 3) + 1;
  for (const std::string& candidate : candidates)
    if (const size_t d = Distance(name, candidate); d < best_distance) {
      best = &candidate;
      best_distance = d;
    }
  return best == nullptr ? "" : " (did you mean " + *best + "?)";
}

std::vector<std::string> ClassNames() {
  std::vector<std::string> names;
  for (const server::ClassInfo& cls : server::Classes()) {
    names.emplace_back(cls.name);
    names.emplace_back(cls.prog_id);
  }
  return names;
}

std::vector<std::string> MethodNames(const server::ClassInfo& cls) {
  std::vector<std::string> names;
  for (const server::MethodInfo& method : cls.methods)
    names.emplace_back(method.name);
  return names;
}

bool CallAndShow(Caller& caller, const server::ClassInfo& cls, const server::MethodInfo& method,
                 const std::vector<Value*>& args, const std::vector<std::string>& labels,
                 std::FILE* out, std::FILE* err, Value* result) {
  const CallOutcome outcome = caller.Call(cls, method.name, args);
  const std::string target = std::string(cls.prog_id) + "." + method.name;
  if (outcome.ok) {
    if (method.result == server::ResultType::kNone)
      std::fprintf(out, "%s: done\n", target.c_str());
    else
      std::fprintf(out, "%s = %s\n", target.c_str(), Describe(outcome.result).c_str());
    if (result != nullptr) *result = outcome.result;
  } else {
    std::fflush(out);  // what came before stays before, when both streams go to one place
    std::fprintf(err, "%s failed: %s\n", target.c_str(), outcome.error.c_str());
  }
  // What the method left in its ByRef parameters, on success and failure alike.
  for (size_t i = 0; i < method.params.size() && i < args.size(); ++i) {
    if (method.params[i].direction != server::Direction::kByRef) continue;
    std::string label = method.params[i].name;
    if (i < labels.size() && !labels[i].empty()) label += " (" + labels[i] + ")";
    std::fprintf(out, "  ByRef %s: %s\n", label.c_str(), Describe(*args[i]).c_str());
  }
  return outcome.ok;
}

void Shell::WarnIfNeverSet(std::string_view name) {
  const std::string key = Folded(name);
  if (variables_.count(key) != 0 || !warned_.insert(key).second) return;
  std::vector<std::string> set;
  for (const auto& [known, value] : variables_)
    set.push_back(spelled_[known]);
  std::fprintf(
      Err(), "line %d: %s has not been set, so it is Empty here (a text needs quotes: \"%s\")%s\n",
      line_, Printable(name).c_str(), Printable(name).c_str(), Suggestion(name, set).c_str());
}

Value Shell::Evaluate(std::string_view text) {
  return ParseValue(text, [this](std::string_view name) -> const Value* {
    const auto found = variables_.find(Folded(name));
    if (found == variables_.end()) WarnIfNeverSet(name);
    return found == variables_.end() ? nullptr : &found->second;
  });
}

bool Shell::Call(std::string_view target, std::string_view arguments,
                 const std::string* assign_to) {
  const size_t dot = target.rfind('.');
  const server::ClassInfo* cls = FindClassNamed(target.substr(0, dot));
  if (cls == nullptr) {
    std::fprintf(Err(), "line %d: no class called %s%s\n", line_,
                 Printable(target.substr(0, dot)).c_str(),
                 Suggestion(target.substr(0, dot), ClassNames()).c_str());
    return false;
  }
  const server::MethodInfo* method = server::FindMethod(*cls, target.substr(dot + 1));
  if (method == nullptr) {
    std::fprintf(Err(), "line %d: %s has no method %s%s\n", line_, cls->prog_id,
                 Printable(target.substr(dot + 1)).c_str(),
                 Suggestion(target.substr(dot + 1), MethodNames(*cls)).c_str());
    return false;
  }
  arguments = Trim(arguments);
  if (arguments.size() >= 2 && arguments.front() == '(' && arguments.back() == ')')
    arguments = arguments.substr(1, arguments.size() - 2);
  // Variables are passed themselves; anything else as a temporary.
  std::vector<Value> temporaries;
  const std::vector<std::string_view> parts = SplitArguments(arguments);
  temporaries.reserve(parts.size());
  std::vector<Value*> args;
  std::vector<std::string> labels;
  for (std::string_view part : parts) {
    if (IsName(part) && !server::EqualsIgnoringCase(part, "ChrW") &&
        !server::EqualsIgnoringCase(part, "Array")) {
      const std::string key = Folded(part);
      WarnIfNeverSet(part);
      spelled_.try_emplace(key, part);
      args.push_back(&variables_[key]);  // a new variable starts Empty
      labels.push_back(spelled_[key]);
      continue;
    }
    temporaries.push_back(part.empty() ? Value(Variant::Missing()) : Evaluate(part));
    args.push_back(&temporaries.back());
    labels.emplace_back();
  }
  Value result;
  const bool ok = CallAndShow(caller_, *cls, *method, args, labels, out_, err_, &result);
  if (ok && assign_to != nullptr) {
    const std::string key = Folded(*assign_to);
    spelled_.try_emplace(key, *assign_to);
    variables_[key] = std::move(result);
  }
  return ok;
}

bool Shell::Run(const std::string& raw, bool* leave) {
  ++line_;
  const std::string_view line = Trim(raw);
  if (line.empty() || line[0] == '\'' || line[0] == '#') return true;
  if (line == "_" || (line.size() > 1 && line.back() == '_' &&
                      (line[line.size() - 2] == ' ' || line[line.size() - 2] == '\t'))) {
    std::fprintf(Err(),
                 "line %d: a line continuation (\" _\") is not taken: write the statement"
                 " on one line\n",
                 line_);
    return false;
  }
  try {
    const size_t head = DottedNameLength(line);
    const std::string_view word = line.substr(0, head);
    const std::string_view rest = Trim(line.substr(head));
    if (server::EqualsIgnoringCase(word, "exit") || server::EqualsIgnoringCase(word, "quit")) {
      *leave = true;
      return true;
    }
    if (server::EqualsIgnoringCase(word, "help")) return Help(rest);
    if (server::EqualsIgnoringCase(word, "vars")) {
      for (const auto& [key, value] : variables_)
        std::fprintf(out_, "%s = %s\n", spelled_[key].c_str(), Describe(value).c_str());
      return true;
    }
    if (server::EqualsIgnoringCase(word, "print")) {
      for (std::string_view part : SplitArguments(rest))
        std::fprintf(out_, "%s\n", Describe(Evaluate(part)).c_str());
      return true;
    }
    if (IsName(word) && !rest.empty() && rest[0] == '=') {
      const std::string name(word);
      const std::string_view value = Trim(rest.substr(1));
      const size_t call_head = DottedNameLength(value);
      if (value.substr(0, call_head).find('.') != std::string_view::npos &&
          !std::isdigit(static_cast<unsigned char>(value[0])) && value[0] != '.')
        return Call(value.substr(0, call_head), value.substr(call_head), &name);
      Value evaluated = Evaluate(value);
      const std::string key = Folded(name);
      spelled_.try_emplace(key, name);
      variables_[key] = std::move(evaluated);
      return true;
    }
    if (word.find('.') != std::string_view::npos) return Call(word, rest, nullptr);
    std::vector<std::string> words(std::begin(kStatements), std::end(kStatements));
    const std::vector<std::string> classes = ClassNames();
    words.insert(words.end(), classes.begin(), classes.end());
    const std::string suggestion = Suggestion(word, words);
    std::fprintf(Err(), "line %d: not a statement: %s%s\n", line_, Printable(line).c_str(),
                 suggestion.empty() ? " (try help)" : suggestion.c_str());
  } catch (const SyntaxError& error) {
    std::fprintf(Err(), "line %d: %s\n", line_, Printable(error.what()).c_str());
  } catch (const std::bad_alloc&) {
    std::fprintf(Err(), "line %d: Out of memory (runtime error 7)\n", line_);
  }
  return false;
}

// `help`: the statements; `help CLASS`: the class's methods with their parameters.
bool Shell::Help(std::string_view class_name) {
  if (class_name.empty()) {
    std::fputs(kHelp, out_);
    return true;
  }
  const server::ClassInfo* cls = FindClassNamed(class_name);
  if (cls == nullptr) {
    std::fprintf(Err(), "line %d: no class called %s%s\n", line_, Printable(class_name).c_str(),
                 Suggestion(class_name, ClassNames()).c_str());
    return false;
  }
  std::fprintf(out_, "%s\n", cls->prog_id);
  for (const server::MethodInfo& method : cls->methods) {
    std::string params;
    for (const server::ParamInfo& param : method.params)
      params += std::string(params.empty() ? "" : ", ") +
                (param.direction == server::Direction::kByRef ? "ByRef " : "ByVal ") + param.name +
                " As " + TypeText(param.type);
    std::fprintf(out_, "  %s(%s)%s\n", method.name, params.c_str(), ResultText(method.result));
  }
  return true;
}

std::vector<std::string> Shell::Completions(std::string_view prefix) const {
  std::vector<std::string> all(std::begin(kStatements), std::end(kStatements));
  for (const server::ClassInfo& cls : server::Classes()) {
    for (const char* name : {cls.name, cls.prog_id}) {
      all.emplace_back(name);
      for (const server::MethodInfo& method : cls.methods)
        all.push_back(std::string(name) + "." + method.name);
    }
  }
  for (const auto& [key, spelled] : spelled_)
    all.push_back(spelled);
  std::vector<std::string> matches;
  for (std::string& candidate : all)
    if (candidate.size() >= prefix.size() &&
        server::EqualsIgnoringCase(std::string_view(candidate).substr(0, prefix.size()), prefix))
      matches.push_back(std::move(candidate));
  std::sort(matches.begin(), matches.end());
  matches.erase(std::unique(matches.begin(), matches.end()), matches.end());
  return matches;
}

int Shell::RunAll(std::FILE* in) {
  int failures = 0;
  std::string line;
  bool leave = false;
  for (int c; !leave && (c = std::fgetc(in)) != EOF;) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    failures += Run(line, &leave) ? 0 : 1;
    line.clear();
  }
  if (!leave && !line.empty()) failures += Run(line, &leave) ? 0 : 1;
  std::fflush(out_);
  return failures;
}

}  // namespace corvane::cli
