// The text of a failed call, shared by both callers.
#include "cli/caller.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "corvane/status.h"

namespace corvane::cli {

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char hex[8];
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (c < 0x20 || c == 0x7F) {
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      std::snprintf(hex, sizeof hex, "\\u%04X", next);
      out += hex;
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string InputFileProblem(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status =
      fs::status(fs::u8path(path), error);  // through a link, to what it names
  if (status.type() == fs::file_type::not_found) return "no such file";
  if (error) return error.message();
  if (status.type() == fs::file_type::directory) return "it is a folder";
  if (status.type() != fs::file_type::regular) return "it is not a regular file";
  errno = 0;
  std::ifstream in(fs::u8path(path), std::ios::binary);
  if (!in) return errno != 0 ? std::strerror(errno) : "it cannot be opened";
  return "";
}

std::string FailureText(int32_t status, int32_t error_number, const std::string& description,
                        int arg_error) {
  using namespace server;
  const std::string argument = " in argument " + std::to_string(arg_error + 1);
  if (error_number != 0)
    return "runtime error " + std::to_string(error_number) + ": " + description;
  switch (status) {
    case kTypeMismatch:
      return "type mismatch" + argument;
    case kOverflow:
      return "overflow" + argument;
    case kBadParamCount:
      return "wrong number of arguments";
    case kParamNotOptional:
      return "argument " + std::to_string(arg_error + 1) + " may not be omitted";
    case kMemberNotFound:
    case kUnknownName:
      return "no such method";
    case kNotImplemented:
      return "not implemented";
    default: {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(status));
      return std::string("failed with status ") + hex +
             (description.empty() ? "" : ": " + description);
    }
  }
}

}  // namespace corvane::cli
