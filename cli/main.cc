// corvane: the command-line host of the component.
//
//   corvane call PROGID METHOD [ARG...]   one call, its result and every ByRef write-back
//   corvane shell [FILE]                  statements one per line, with variables
//   corvane reg show|export|import|dump|restore|check ...   the registry store
//   corvane reg query|add|delete KEY [--value NAME] ...      one key or value, as reg.exe
//
// Exit status: 0 success, 1 a call or statement failed, 2 a bad command line (or a
// CORVANE_CODEPAGE that names no supported code page).
#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/json_output.h"
#include "cli/reg_command.h"
#include "cli/session.h"
#include "corvane/code_page.h"
#include "corvane/version.h"
#include "registry/vocabulary.h"
#include "server/method_table.h"

namespace {

using namespace corvane::cli;

int Usage(const CLI::App& app, const std::string& why) {
  std::fprintf(stderr, "corvane: %s\n%s", why.c_str(), app.help().c_str());
  return 2;
}

int RunCall(const std::string& class_name, const std::string& method_name,
            const std::vector<std::string>& texts, bool json) {
  const corvane::server::ClassInfo* cls = FindClassNamed(class_name);
  if (cls == nullptr) {
    const std::string suggestion = Suggestion(class_name, ClassNames());
    std::fprintf(stderr, "corvane: no class called %s%s\n", Printable(class_name).c_str(),
                 suggestion.empty() ? " (Corvane.Tarnel, Corvane.Registry, Corvane.Declares)"
                                    : suggestion.c_str());
    return 2;
  }
  const corvane::server::MethodInfo* method = corvane::server::FindMethod(*cls, method_name);
  if (method == nullptr) {
    std::fprintf(stderr, "corvane: %s has no method %s%s (corvane shell: help %s lists them)\n",
                 cls->prog_id, Printable(method_name).c_str(),
                 Suggestion(method_name, MethodNames(*cls)).c_str(), cls->name);
    return 2;
  }
  std::vector<Value> values;
  values.reserve(texts.size());
  std::vector<Value*> args;
  try {
    for (const std::string& text : texts) {
      values.push_back(ParseValue(text));
      // A root's name (HKCU, HKEY_CURRENT_USER, in any case) where a handle is expected is
      // that root's handle, as reg takes it.
      const size_t i = values.size() - 1;
      const auto* word = std::get_if<corvane::Variant>(&values.back());
      if (i < method->params.size() &&
          method->params[i].type == corvane::server::ParamType::kLong && word != nullptr &&
          word->kind() == corvane::VariantKind::kString)
        if (const auto* root = corvane::registry::RootByAnyName(word->string()))
          values.back() = corvane::Variant::OfLong(root->handle);
      args.push_back(&values.back());
    }
  } catch (const SyntaxError& error) {
    std::fprintf(stderr, "corvane: argument %zu: %s\n", values.size() + 1, error.what());
    return 2;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "corvane: argument %zu: Out of memory (runtime error 7)\n",
                 values.size() + 1);
    return 1;
  }
  std::string why;
  const std::unique_ptr<Caller> caller = MakeCaller(why);
  if (!caller) {
    std::fprintf(stderr, "corvane: %s\n", why.c_str());
    return 1;
  }
  const bool ok = json ? CallAndReportJson(*caller, *cls, *method, args, stdout)
                       : CallAndShow(*caller, *cls, *method, args, {}, stdout, stderr);
  return ok ? 0 : 1;
}

int RunShell(const std::string& file) {
  std::string why;
  const std::unique_ptr<Caller> caller = MakeCaller(why);
  if (!caller) {
    std::fprintf(stderr, "corvane: %s\n", why.c_str());
    return 1;
  }
  Shell shell(*caller, stdout, stderr);
  const bool standard = file.empty() || file == "-";  // - is standard input, as for reg import
  if (file.empty() && InteractiveInput()) return RunInteractive(shell) == 0 ? 0 : 1;
  const std::string problem = standard ? "" : InputFileProblem(file);
  std::FILE* in = standard ? stdin : problem.empty() ? std::fopen(file.c_str(), "rb") : nullptr;
  if (in == nullptr) {
    std::fprintf(stderr, "corvane: cannot read %s: %s\n", file.c_str(),
                 problem.empty() ? "it cannot be opened" : problem.c_str());
    return 1;
  }
  const int failures = shell.RunAll(in);
  if (in != stdin) std::fclose(in);
  return failures == 0 ? 0 : 1;
}

// `corvane reg` and its actions, which fill `reg`.
CLI::App* AddRegCommand(CLI::App& app, RegRequest& reg) {
#ifdef _WIN32
  // The Windows registry has tools of its own; this build's reg only says so.
  (void)reg;
  CLI::App* reg_app = app.add_subcommand("reg", "on Windows: use reg.exe or regedit");
  reg_app->allow_extras()->fallthrough(false);
  return reg_app;
#else
  CLI::App* reg_app =
      app.add_subcommand("reg", "query, add, delete, show, export, import, dump, restore, check");
  reg_app->require_subcommand(1);
  CLI::App* show = reg_app->add_subcommand("show", "show a key as a tree of subkeys and values");
  show->add_option("KEY", reg.key, "the key (default: every root)");
  CLI::App* exp = reg_app->add_subcommand("export", "write a key and its subkeys to a .reg file");
  exp->add_option("KEY", reg.key, "the key")->required();
  exp->add_option("FILE", reg.file, "the .reg file, or - for standard output")->required();
  exp->add_flag("--regedit4", reg.regedit4, "write REGEDIT4 (ANSI) instead of Version 5.00");
  CLI::App* imp = reg_app->add_subcommand("import", "apply a .reg file, all of it or nothing");
  imp->add_option("FILE", reg.file, "the .reg file, or - for standard input")->required();
  CLI::App* dump = reg_app->add_subcommand("dump", "copy the whole store to a file");
  dump->add_option("FILE", reg.file, "the copy")->required();
  CLI::App* restore = reg_app->add_subcommand("restore", "replace the store with a dumped copy");
  restore->add_option("FILE", reg.file, "the copy")->required();
  reg_app->add_subcommand("check", "check the store's integrity and invariants");
  CLI::App* query =
      reg_app->add_subcommand("query", "show a key's values and subkeys, or one value");
  CLI::App* add = reg_app->add_subcommand("add", "create a key, or set one value");
  CLI::App* del = reg_app->add_subcommand("delete", "delete a key with all below it, or one value");
  for (CLI::App* one : {query, add, del}) {
    one->add_option("KEY", reg.key, "the key")->required();
    one->add_option("--value", reg.value, "the value's name (\"\" for the key's default value)");
  }
  add->add_option("--type", reg.type,
                  "REG_SZ (the default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, "
                  "REG_BINARY or REG_NONE");
  add->add_option("--data", reg.data,
                  "the data: text (REG_MULTI_SZ's texts separated by \\0), a number (decimal or "
                  "0x hex), or hex digits");
  query->add_flag("--json", reg.json, "one JSON object: key, values (name, type, data), subkeys");
  return reg_app;
#endif
}

// What `corvane call` was asked.
struct CallRequest {
  std::string class_name, method_name;
  std::vector<std::string> args;
  bool json = false;
};

CLI::App* AddCallCommand(CLI::App& app, CallRequest& request) {
  CLI::App* call = app.add_subcommand("call", "call a method and show its result and write-backs");
  call->add_option("PROGID", request.class_name,
                   "Corvane.Tarnel, Corvane.Registry or Corvane.Declares")
      ->required();
  call->add_option("METHOD", request.method_name, "the method's name")->required();
  call->add_option("ARG", request.args,
                   "arguments: \"text\" 42 42& 1.5 Empty ChrW(7) Array(\"a\",\"b\"), or a bare "
                   "word as text");
  call->add_flag("--json", request.json, "print one JSON object (before or after PROGID)");
  call->positionals_at_end();
  return call;
}

// The tool's own options among a call's arguments, which CLI11 leaves there once PROGID is
// read: --json and --store FILE are taken, any other --word is refused, and -- ends the
// options (what follows is arguments, a quoted "--word" is always one). 0, or 2 after saying why.
int TakeCallOptions(CallRequest& request, std::string* store) {
  std::vector<std::string> args;
  bool options = true;
  for (size_t i = 0; i < request.args.size(); ++i) {
    const std::string& arg = request.args[i];
    if (!options || arg.rfind("--", 0) != 0) {
      args.push_back(arg);
    } else if (arg == "--") {
      options = false;
    } else if (arg == "--json") {
      request.json = true;
    } else if (arg == "--store" && i + 1 < request.args.size()) {
      *store = request.args[++i];
    } else {
      std::fprintf(stderr,
                   "corvane: %s is not an option of call (--json, --store FILE); a text that "
                   "starts with -- is written in quotes: '\"%s\"'\n",
                   Printable(arg).c_str(), Printable(arg).c_str());
      return 2;
    }
  }
  request.args = std::move(args);
  return 0;
}

// The ANSI code page is chosen before anything converts with it; a CORVANE_CODEPAGE that names
// none is a bad command line (2).
int ChooseCodePage() {
  try {
    corvane::AnsiCodePage();
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "corvane: %s\n", e.what());
    return 2;
  }
  return 0;
}

// The tool's --json, given before the subcommand: for call and reg query. 0, or 2 after saying
// that the command prints no JSON.
int TakeJson(bool json, bool call, CallRequest& request, RegRequest& reg) {
  if (!json) return 0;
  if (call) {
    request.json = true;
  } else if (reg.action == "query") {
    reg.json = true;
  } else {
    std::fprintf(stderr, "corvane: --json is for call and reg query\n");
    return 2;
  }
  return 0;
}

// --store in every subcommand's own options (and its help), beside the tool's.
void AddStoreEverywhere(CLI::App& app, std::string& store) {
  for (CLI::App* sub : app.get_subcommands({})) {
    sub->add_option("--store", store, "the registry store file to use (Linux)");
    AddStoreEverywhere(*sub, store);
  }
}

// The tool's version, and the library's it runs with where that differs.
std::string VersionLine() {
  return std::string("corvane ") + CORVANE_VERSION +
         (std::string(corvane::LibraryVersion()) == CORVANE_VERSION
              ? ""
              : std::string(" (library ") + corvane::LibraryVersion() + ")");
}

}  // namespace

int main(int argc, char** argv) {
#ifdef SIGXFSZ
  // A file past the size limit is a write that fails (and is said), not a killed tool.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  std::vector<std::string> arguments = Utf8Arguments(argc, argv);

  CLI::App app{"corvane: calls the Corvane classes and looks into the registry store", "corvane"};
  app.require_subcommand(1);
  app.fallthrough();  // the tool's own options (--store) also after a subcommand
  app.set_version_flag("--version", VersionLine(), "print the version and exit");
  std::string store;
  app.add_option("--store", store, "the registry store file to use (Linux)");
  bool json = false;
  app.add_flag("--json", json, "print JSON, for call and reg query (also after the subcommand)");
  CallRequest call_request;
  CLI::App* call = AddCallCommand(app, call_request);
  std::string script;
  CLI::App* shell = app.add_subcommand("shell", "run statements one per line (see 'help')");
  shell->add_option("FILE", script, "a file of statements (default: the terminal or stdin)");
  RegRequest reg;
  CLI::App* reg_app = AddRegCommand(app, reg);
  AddStoreEverywhere(app, store);

  try {
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend() - 1);
    app.parse(reversed);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return Usage(app, e.what());
  }

  if (const int usage = ChooseCodePage(); usage != 0) return usage;
  // Out of memory anywhere is said, and ends the command with 1; a write under way is rolled
  // back, so the store stays as it was.
  for (CLI::App* sub : reg_app->get_subcommands())
    reg.action = sub->get_name();
  if (const int usage = TakeJson(json, call->parsed(), call_request, reg); usage != 0) return usage;
  if (call->parsed())
    if (const int usage = TakeCallOptions(call_request, &store); usage != 0) return usage;
  try {
    const bool for_classes = call->parsed() || shell->parsed();
    if (const int status = UseStore(store, for_classes); status != 0) return status;
    if (call->parsed())
      return AfterClasses(RunCall(call_request.class_name, call_request.method_name,
                                  call_request.args, call_request.json));
    if (shell->parsed()) return AfterClasses(RunShell(script));
    return RunReg(reg);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "corvane: out of memory; nothing more was done\n");
    return 1;
  }
}
