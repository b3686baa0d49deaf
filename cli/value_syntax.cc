// The tool's written form of values: a small recursive-descent reader and its inverse.
#include "cli/value_syntax.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "runtime/utf16.h"
#include "server/method_table.h"

namespace corvane::cli {
namespace {

bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A written form without its type character (42& is 42).
std::string WithoutTypeCharacter(std::string form) {
  if (!form.empty() && (form.back() == '&' || form.back() == '%' || form.back() == '#'))
    form.pop_back();
  return form;
}

// The text of a value for joining with &; arrays have none.
String TextOf(const Value& value) {
  const auto* v = std::get_if<Variant>(&value);
  if (v == nullptr) throw SyntaxError("an array cannot be joined with &");
  switch (v->kind()) {
    case VariantKind::kEmpty:
      return String();
    case VariantKind::kString:
      return v->string();
    case VariantKind::kInteger:
    case VariantKind::kLong:
    case VariantKind::kDouble:
      return rt::FromUtf8(WithoutTypeCharacter(WrittenForm(value)));
    default:
      throw SyntaxError("a value of this kind has no text");
  }
}

// A copy of `value`. NOTE: a text is copied on its own before it goes into the new value: when
// memory runs out, the copy of a string inside a nested std::variant's copy constructor brings
// libstdc++ 12 down on the unwinding path instead of throwing std::bad_alloc.
Value CopyOf(const Value& value) {
  if (const auto* v = std::get_if<Variant>(&value);
      v != nullptr && v->kind() == VariantKind::kString) {
    String text = v->string();
    return Variant::OfString(std::move(text));
  }
  return value;
}

class Reader {
 public:
  Reader(std::string_view text, const VariableLookup& variable)
      : text_(text), variable_(variable) {}

  Value ReadAll() {
    Value value = Expression();
    SkipSpace();
    if (pos_ != text_.size()) Fail("unexpected text");
    return value;
  }

 private:
  [[noreturn]] void Fail(const std::string& why) {
    throw SyntaxError(why + " at column " + std::to_string(pos_ + 1) +
                      " of: " + std::string(text_));
  }
  void SkipSpace() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t'))
      ++pos_;
  }
  bool Take(char c) {
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  Value Expression() {
    Value value = Term();
    if (!Take('&')) return value;
    String joined = TextOf(value);
    do
      joined += TextOf(Term());
    while (Take('&'));
    return Variant::OfString(std::move(joined));
  }

  Value Term() {
    SkipSpace();
    if (pos_ >= text_.size()) Fail("a value is missing");
    const char c = text_[pos_];
    if (c == '"') return Variant::OfString(QuotedText());
    if (c == '&' && pos_ + 1 < text_.size() && (text_[pos_ + 1] == 'H' || text_[pos_ + 1] == 'h'))
      return HexNumber();
    if (IsDigit(c) || c == '-' || c == '+' || c == '.') return Number();
    if (!IsNameStart(c)) Fail("unexpected character");
    const size_t start = pos_;
    while (pos_ < text_.size() && IsNameChar(text_[pos_]))
      ++pos_;
    const std::string_view name = text_.substr(start, pos_ - start);
    if (server::EqualsIgnoringCase(name, "Empty")) return Variant();
    if (server::EqualsIgnoringCase(name, "ChrW")) return CodeUnit();
    if (server::EqualsIgnoringCase(name, "Array")) return ArrayOf();
    if (variable_) {
      if (const Value* found = variable_(name)) return CopyOf(*found);
      return Variant();  // a variable never assigned is Empty
    }
    pos_ = start;
    Fail("a bare name");
  }

  String QuotedText() {
    ++pos_;  // the opening quote
    std::string utf8;
    for (;;) {
      if (pos_ >= text_.size()) Fail("the text has no closing quote");
      const char c = text_[pos_++];
      if (c != '"') {
        utf8 += c;
      } else if (pos_ < text_.size() && text_[pos_] == '"') {
        utf8 += '"';
        ++pos_;
      } else {
        return rt::FromUtf8(utf8);
      }
    }
  }

  Value Number() {
    const size_t start = pos_;
    if (text_[pos_] == '-' || text_[pos_] == '+') ++pos_;
    bool fraction = false;
    while (pos_ < text_.size() && (IsDigit(text_[pos_]) || text_[pos_] == '.')) {
      fraction = fraction || text_[pos_] == '.';
      ++pos_;
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      fraction = true;
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '-' || text_[pos_] == '+')) ++pos_;
      while (pos_ < text_.size() && IsDigit(text_[pos_]))
        ++pos_;
    }
    const std::string digits(text_.substr(start, pos_ - start));
    char suffix = 0;
    // A type character follows the digits directly; "42 & x" (with a space) is a join.
    if (pos_ < text_.size() && (text_[pos_] == '&' || text_[pos_] == '%' || text_[pos_] == '#'))
      suffix = text_[pos_++];
    if (pos_ < text_.size() && IsNameChar(text_[pos_])) Fail("not a number");
    errno = 0;
    char* end = nullptr;
    const double number = std::strtod(digits.c_str(), &end);
    if (digits.empty() || end != digits.c_str() + digits.size()) Fail("not a number");
    if (errno == ERANGE && std::isinf(number)) Fail("the number is out of range");
    const bool whole = !fraction && suffix != '#';
    if (suffix == '%' || (whole && suffix == 0 && number >= -32768 && number <= 32767)) {
      if (fraction || number < -32768 || number > 32767) Fail("not an Integer");
      return Variant::OfInteger(static_cast<Integer>(number));
    }
    if (suffix == '&' || (whole && number >= -2147483648.0 && number <= 2147483647.0)) {
      if (fraction || number < -2147483648.0 || number > 2147483647.0) Fail("not a Long");
      return Variant::OfLong(static_cast<Long>(number));
    }
    return Variant::OfDouble(number);
  }

  // &H followed by up to 8 hex digits: an Integer for up to 4 digits, else a Long, the bits
  // taken as two's complement (&H8000 is -32768, &H80000001 is -2147483647); & makes a Long.
  Value HexNumber() {
    pos_ += 2;
    const size_t start = pos_;
    uint32_t bits = 0;
    while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_]))) {
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text_[pos_++])));
      bits = bits * 16 + static_cast<uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
      if (pos_ - start > 8) Fail("more than 8 hex digits");
    }
    if (pos_ == start) Fail("&H needs hex digits");
    const size_t digits = pos_ - start;
    const bool long_suffix = pos_ < text_.size() && text_[pos_] == '&';
    if (long_suffix) ++pos_;
    if (digits <= 4 && !long_suffix)
      return Variant::OfInteger(static_cast<Integer>(static_cast<uint16_t>(bits)));
    return Variant::OfLong(static_cast<Long>(bits));
  }

  // One level of ChrW( or Array(, refused past kMaxNesting: the reader recurses per level.
  class Nested {
   public:
    explicit Nested(Reader& reader) : reader_(reader) {
      if (++reader_.depth_ > kMaxNesting) {
        --reader_.depth_;
        throw NestingTooDeep("ChrW( and Array( nested deeper than " + std::to_string(kMaxNesting) +
                             " levels at column " + std::to_string(reader_.pos_ + 1));
      }
    }
    ~Nested() { --reader_.depth_; }
    Nested(const Nested&) = delete;
    Nested& operator=(const Nested&) = delete;

   private:
    Reader& reader_;
  };

  Value CodeUnit() {
    const Nested level(*this);
    if (!Take('(')) Fail("ChrW needs (code)");
    const Value code = Expression();
    const auto* v = std::get_if<Variant>(&code);
    long unit = 0x10000;
    if (v != nullptr && v->kind() == VariantKind::kInteger) unit = v->integer();
    if (v != nullptr && v->kind() == VariantKind::kLong) unit = v->long_value();
    // As VB's ChrW: -32768..65535, a negative code standing for its unit (ChrW(&HD800)).
    if (v == nullptr || unit < -32768 || unit > 0xFFFF) Fail("ChrW needs a code -32768..65535");
    if (!Take(')')) Fail("ChrW needs a closing parenthesis");
    return Variant::OfString(String(1, static_cast<char16_t>(unit & 0xFFFF)));
  }

  Value ArrayOf() {
    const Nested level(*this);
    if (!Take('(')) Fail("Array needs (elements)");
    std::vector<String> elements;
    if (!Take(')')) {
      do
        elements.push_back(TextOf(Expression()));
      while (Take(','));
      if (!Take(')')) Fail("Array needs a closing parenthesis");
    }
    return StringArray::Of(std::move(elements));
  }

  std::string_view text_;
  const VariableLookup& variable_;
  int depth_ = 0;  // ChrW( and Array( levels open
  size_t pos_ = 0;
};

bool Printable(char32_t c) {
  return c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0);
}

std::string WrittenText(const String& text) {
  std::string out;
  bool open = false;  // inside a quoted run
  auto close = [&] {
    if (open) out += '"';
    open = false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool pair = rt::SurrogatePairAt(text, i);
    const bool lone = !pair && rt::IsSurrogate(c);
    if (lone || !Printable(c)) {
      close();
      if (!out.empty()) out += " & ";
      out += "ChrW(" + std::to_string(static_cast<unsigned>(c)) + ")";
      continue;
    }
    if (!open) {
      if (!out.empty()) out += " & ";
      out += '"';
      open = true;
    }
    const size_t n = pair ? 2 : 1;
    const std::string utf8 = rt::ToUtf8(StringView(text).substr(i, n));
    out += utf8 == "\"" ? "\"\"" : utf8;
    i += n - 1;
  }
  close();
  return out.empty() ? "\"\"" : out;
}

std::string ShortestDouble(double value) {
  char buffer[40];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
    if (std::strtod(buffer, nullptr) == value) break;
  }
  std::string text = buffer;
  if (text.find_first_of(".eEn") == std::string::npos) text += '#';
  return text;
}

std::string Bounds(const StringArray& array) {
  std::string out = "String(";
  for (size_t d = 0; d < array.bounds().size(); ++d) {
    if (d > 0) out += ", ";
    out +=
        std::to_string(array.bounds()[d].lower) + " to " + std::to_string(array.bounds()[d].upper);
  }
  return out + ")";
}

}  // namespace

Value ParseValue(std::string_view text, const VariableLookup& variable) {
  if (!variable) {
    try {
      return Reader(text, variable).ReadAll();
    } catch (const NestingTooDeep&) {
      throw;
    } catch (const SyntaxError&) {
      return Variant::OfString(rt::FromUtf8(text));  // a bare word on the command line
    }
  }
  return Reader(text, variable).ReadAll();
}

std::string WrittenForm(const Value& value) {
  if (const auto* array = std::get_if<StringArray>(&value)) {
    std::string out = "Array(";
    for (size_t i = 0; i < array->elements().size(); ++i)
      out += (i > 0 ? ", " : "") + WrittenText(array->elements()[i]);
    return out + ")";
  }
  const Variant& v = std::get<Variant>(value);
  switch (v.kind()) {
    case VariantKind::kEmpty:
      return "Empty";
    case VariantKind::kNull:
      return "Null";
    case VariantKind::kInteger:
      return std::to_string(v.integer()) + "%";
    case VariantKind::kLong:
      return std::to_string(v.long_value()) + "&";
    case VariantKind::kDouble:
      return ShortestDouble(v.double_value());
    case VariantKind::kString:
      return WrittenText(v.string());
    case VariantKind::kError:
      return "Error " + std::to_string(static_cast<uint32_t>(v.error_code()));
  }
  return "?";
}

std::string Describe(const Value& value) {
  if (const auto* array = std::get_if<StringArray>(&value))
    return array->dimensioned() ? Bounds(*array) + " " + WrittenForm(value)
                                : "String() undimensioned";
  const Variant& v = std::get<Variant>(value);
  if (v.is_empty()) return "Empty";
  constexpr size_t kShown = 64;  // a longer text is shown by its start and its length
  if (v.kind() == VariantKind::kString && v.string().size() > 2 * kShown)
    return "String " + WrittenText(v.string().substr(0, kShown)) + " ... (" +
           std::to_string(v.string().size()) + " characters)";
  return std::string(TypeName(v.kind())) + " " + WithoutTypeCharacter(WrittenForm(value));
}

}  // namespace corvane::cli
