// The tool's JSON output.
#include "cli/json_output.h"

#include <cmath>
#include <cstdio>

namespace corvane::cli {
namespace {

void Escape(std::string& out, char16_t unit) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(unit));
  out += buffer;
}

std::string Number(double value) {
  if (!std::isfinite(value)) return "null";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

}  // namespace

std::string JsonString(StringView text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool high = c >= 0xD800 && c <= 0xDBFF;
    const bool paired =
        high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    if (c == u'"' || c == u'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF && !paired)) {
      Escape(out, c);
    } else {
      out += rt::ToUtf8(text.substr(i, paired ? 2 : 1));
      i += paired ? 1 : 0;
    }
  }
  return out + "\"";
}

std::string JsonString(std::string_view utf8) {
  return JsonString(rt::FromUtf8(utf8));
}

std::string JsonValue(const Value& value) {
  if (const auto* array = std::get_if<StringArray>(&value)) {
    std::string bounds, elements;
    for (const StringArray::Bound& bound : array->bounds())
      bounds += (bounds.empty() ? "[" : ", [") + std::to_string(bound.lower) + ", " +
                std::to_string(bound.upper) + "]";
    for (const String& element : array->elements())
      elements += (elements.empty() ? "" : ", ") + JsonString(element);
    return "{\"type\": \"String()\", \"bounds\": [" + bounds + "], \"value\": [" + elements + "]}";
  }
  const Variant& v = std::get<Variant>(value);
  std::string shown;
  switch (v.kind()) {
    case VariantKind::kEmpty:
    case VariantKind::kNull:
      shown = "null";
      break;
    case VariantKind::kInteger:
      shown = std::to_string(v.integer());
      break;
    case VariantKind::kLong:
      shown = std::to_string(v.long_value());
      break;
    case VariantKind::kDouble:
      shown = Number(v.double_value());
      break;
    case VariantKind::kString:
      shown = JsonString(StringView(v.string()));
      break;
    case VariantKind::kError:
      shown = std::to_string(v.error_code());
      break;
  }
  return std::string("{\"type\": \"") + TypeName(v.kind()) + "\", \"value\": " + shown + "}";
}

bool CallAndReportJson(Caller& caller, const server::ClassInfo& cls,
                       const server::MethodInfo& method, const std::vector<Value*>& args,
                       std::FILE* out) {
  const CallOutcome outcome = caller.Call(cls, method.name, args);
  const bool has_result = outcome.ok && method.result != server::ResultType::kNone;
  std::string byref;
  for (size_t i = 0; i < method.params.size() && i < args.size(); ++i) {
    if (method.params[i].direction != server::Direction::kByRef) continue;
    byref += (byref.empty() ? "" : ", ") + std::string("{\"name\": ") +
             JsonString(std::string_view(method.params[i].name)) +
             ", \"value\": " + JsonValue(*args[i]) + "}";
  }
  const std::string call = std::string(cls.prog_id) + "." + method.name;
  std::fprintf(out, "{\"call\": %s, \"ok\": %s, \"result\": %s, \"error\": %s, \"byref\": [%s]}\n",
               JsonString(std::string_view(call)).c_str(), outcome.ok ? "true" : "false",
               has_result ? JsonValue(outcome.result).c_str() : "null",
               outcome.ok ? "null" : JsonString(std::string_view(outcome.error)).c_str(),
               byref.c_str());
  return outcome.ok;
}

}  // namespace corvane::cli
