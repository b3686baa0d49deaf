// Reading and writing .reg files. See reg_file.h for the formats.
#include "regtool/reg_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

#include "corvane/registry_api.h"
#include "regtool/regedit_view.h"
#include "runtime/ansi.h"

namespace corvane::registry {
namespace {

constexpr char16_t kVersion5Header[] = u"Windows Registry Editor Version 5.00";
constexpr char16_t kRegedit4Header[] = u"REGEDIT4";
constexpr size_t kLineWidth = 80;  // hex data is wrapped as regedit wraps it

// Names of the formats' words ("dword:", "hex(") compare as the registry compares names.
bool SameName(StringView a, StringView b) {
  return a.size() == b.size() && Fold(a) == Fold(b);
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// 1 to 8 hex digits as a number.
bool HexNumber(StringView digits, uint32_t* number) {
  if (digits.empty() || digits.size() > 8) return false;
  *number = 0;
  for (char16_t c : digits) {
    if (HexDigit(c) < 0) return false;
    *number = *number * 16 + static_cast<uint32_t>(HexDigit(c));
  }
  return true;
}

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t';
}

StringView TrimLeft(StringView text) {
  while (!text.empty() && IsSpace(text.front()))
    text.remove_prefix(1);
  return text;
}
StringView TrimRight(StringView text) {
  while (!text.empty() && IsSpace(text.back()))
    text.remove_suffix(1);
  return text;
}

// Whether `bytes` are UTF-8: every sequence well formed (no overlong form, no surrogate,
// nothing past U+10FFFF); `past` is set where one of them is past ASCII.
bool IsUtf8(std::string_view bytes, bool* past) {
  for (size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    const size_t trail = lead >= 0xC2 && lead <= 0xDF   ? 1
                         : lead >= 0xE0 && lead <= 0xEF ? 2
                         : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                        : 0;
    if (trail == 0 || i + trail >= bytes.size()) return false;
    uint32_t code = lead & (0x3F >> trail);
    for (size_t k = 1; k <= trail; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    const uint32_t least = trail == 1 ? 0x80 : trail == 2 ? 0x800 : 0x10000;
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    *past = true;
    i += trail + 1;
  }
  return true;
}

// The bytes of a file as they come: `read` fills up to n bytes and answers how many, 0 at the
// end. Lines are taken one at a time, so that the file is never held whole, in bytes or in text.
class LineSource {
 public:
  using Read = std::function<size_t(char*, size_t)>;
  explicit LineSource(Read read) : read_(std::move(read)) {}

  // The first `n` bytes (fewer in a shorter file), without taking them.
  std::string_view Peek(size_t n) {
    while (buffer_.size() - start_ < n && More()) {
    }
    return std::string_view(buffer_).substr(start_, n);
  }
  void Skip(size_t n) { start_ += std::min(n, buffer_.size() - start_); }
  // Gives back the room of a long line once it is taken (the last line given is then gone).
  void Shrink() {
    if (buffer_.capacity() <= 4 * kChunk) return;
    buffer_.erase(0, start_);
    start_ = 0;
    buffer_.shrink_to_fit();
  }

  // The next line's bytes without its line break ("\n", or "\n\0" in UTF-16), and a last
  // line without one, valid until the next call; false at the end.
  bool Next(bool utf16, std::string_view* line) {
    for (size_t scanned = 0;;) {  // bytes past start_ that hold no line break
      size_t at = std::string::npos;
      if (!utf16) {
        at = buffer_.find('\n', start_ + scanned);
      } else {
        for (size_t i = start_ + scanned / 2 * 2; at == std::string::npos && i + 1 < buffer_.size();
             i += 2)
          if (buffer_[i] == '\n' && buffer_[i + 1] == 0) at = i;
      }
      if (at != std::string::npos) {
        *line = std::string_view(buffer_).substr(start_, at - start_);
        start_ = at + (utf16 ? 2 : 1);
        return true;
      }
      scanned = buffer_.size() - start_;
      if (!More()) break;
    }
    if (start_ == buffer_.size()) return false;
    *line = std::string_view(buffer_).substr(start_);
    start_ = buffer_.size();
    return true;
  }

 private:
  // Reads more, after moving what is not taken yet to the front; false at the end.
  bool More() {
    if (start_ > 0) {
      buffer_.erase(0, start_);
      start_ = 0;
    }
    const size_t had = buffer_.size();
    buffer_.resize(had + kChunk);
    const size_t got = read_(buffer_.data() + had, kChunk);
    buffer_.resize(had + got);
    return got > 0;
  }

  static constexpr size_t kChunk = 1 << 16;
  Read read_;
  std::string buffer_;
  size_t start_ = 0;
};

enum class Encoding { kUtf16, kUtf8, kAnsi };

// The file's encoding, its byte-order mark taken: UTF-16LE after its mark, UTF-8 after its
// mark; without a mark, UTF-8 where `utf8_past_ascii` (as an editor saves a hand-written
// file), except in a REGEDIT4 file, which regedit writes in the ANSI code page; ANSI otherwise.
Encoding EncodingOf(LineSource& source, bool utf8_past_ascii, UnmarkedUtf8* unmarked) {
  if (source.Peek(2) == "\xFF\xFE") {
    source.Skip(2);
    return Encoding::kUtf16;
  }
  if (source.Peek(3) == "\xEF\xBB\xBF") {
    source.Skip(3);
    return Encoding::kUtf8;
  }
  if (utf8_past_ascii)
    *unmarked = source.Peek(8) == "REGEDIT4" ? UnmarkedUtf8::kReadAsAnsi : UnmarkedUtf8::kReadAsUtf8;
  return *unmarked == UnmarkedUtf8::kReadAsUtf8 ? Encoding::kUtf8 : Encoding::kAnsi;
}

class Reader {
 public:
  Reader(LineSource& source, Encoding encoding, std::vector<KeyEdit>* edits)
      : source_(source), encoding_(encoding), edits_(edits) {}

  bool Read(RegFileError* error) {
    try {
      ReadHeader();
      while (Take())
        ReadStatement();
      return true;
    } catch (const RegFileError& e) {
      *error = e;
      edits_->clear();
      return false;
    }
  }

 private:
  [[noreturn]] void Fail(const std::string& message) { throw RegFileError{line_, message}; }

  void ReadHeader() {
    bool any = Take();
    while (any && TrimRight(line_text_).empty())
      any = Take();
    if (!any) {
      line_ = 1;
      Fail("the file is empty");
    }
    const StringView header = TrimRight(line_text_);
    if (header == kVersion5Header) {
      format_ = RegFormat::kVersion5;
    } else if (header == kRegedit4Header) {
      format_ = RegFormat::kRegedit4;
    } else {
      Fail(
          "not a registry file: the first line must be \"Windows Registry Editor Version "
          "5.00\" or \"REGEDIT4\"");
    }
  }

  void ReadStatement() {
    const StringView line = TrimLeft(line_text_);
    if (TrimRight(line).empty() || line[0] == u';') return;
    if (line[0] == u'[') return ReadKey(line);
    if (line[0] == u'@' || line[0] == u'"') return ReadValue(line);
    Fail("a line that is neither a key, a value nor a comment");
  }

  void ReadKey(StringView line) {
    const size_t close = line.rfind(u']');
    if (close == StringView::npos) Fail("a key without its closing ]");
    if (!TrimRight(line.substr(close + 1)).empty() && TrimLeft(line.substr(close + 1))[0] != u';')
      Fail("text after a key's closing ]");
    StringView path = line.substr(1, close - 1);
    KeyEdit edit;
    edit.line = line_;
    edit.kind = KeyEdit::Kind::kCreateKey;
    if (!path.empty() && path[0] == u'-') {
      edit.kind = KeyEdit::Kind::kDeleteTree;
      path.remove_prefix(1);
    }
    std::vector<String> names;
    if (!ParseKeyPath(path, &edit.root, &names)) Fail("an unknown root key");
    if (const char* problem = KeyPathProblem(names)) Fail(problem);
    edit.path = std::move(names);
    if (edit.kind == KeyEdit::Kind::kDeleteTree && edit.path.empty())
      Fail("a root key cannot be removed");
    has_key_ = edit.kind == KeyEdit::Kind::kCreateKey;
    key_ = edit;
    edits_->push_back(std::move(edit));
  }

  // A quoted text starting at line[*pos] (the quote); leaves *pos after the closing quote.
  String Quoted(StringView line, size_t* pos, bool data) {
    String out;
    out.reserve(line.size() - *pos + 1);  // the rest of the line at most, and a terminator
    for (size_t i = *pos + 1; i < line.size(); ++i) {
      const char16_t c = line[i];
      if (c == u'"') {
        *pos = i + 1;
        return out;
      }
      if (c != u'\\') {
        out += c;
        continue;
      }
      if (++i == line.size()) break;
      switch (line[i]) {
        case u'\\':
          out += u'\\';
          break;
        case u'"':
          out += u'"';
          break;
        case u'n':
          if (data) {
            out += u'\n';
            break;
          }
          [[fallthrough]];
        case u'r':
          if (data) {
            out += u'\r';
            break;
          }
          [[fallthrough]];
        case u'0':
          if (data) {
            out += u'\0';
            break;
          }
          [[fallthrough]];
        default:
          Fail("an unknown escape \\" + rt::ToUtf8(StringView(&line[i], 1)));
      }
    }
    Fail("a text without its closing quote");
  }

  void ReadValue(StringView line) {
    if (!has_key_) Fail("a value outside a key");
    KeyEdit edit = key_;
    edit.line = line_;
    size_t pos = 1;
    if (line[0] == u'"') {
      pos = 0;
      edit.value.name = Quoted(line, &pos, false);
      if (const char* problem = ValueNameProblem(edit.value.name)) Fail(problem);
    }
    StringView rest = TrimLeft(line.substr(pos));
    if (rest.empty() || rest[0] != u'=') Fail("a value without =");
    rest = TrimLeft(rest.substr(1));
    if (rest == u"-" || (rest.size() > 1 && rest[0] == u'-' && TrimLeft(rest.substr(1)).empty())) {
      edit.kind = KeyEdit::Kind::kDeleteValue;
    } else {
      edit.kind = KeyEdit::Kind::kSetValue;
      ReadData(rest, &edit.value);
      if (edit.value.data.size() > kMaxData) Fail("data longer than 32 MiB");
    }
    edits_->push_back(std::move(edit));
  }

  // Only spaces or a comment may follow a value's data.
  void End(StringView rest) {
    rest = TrimLeft(rest);
    if (!rest.empty() && rest[0] != u';') Fail("text after a value's data");
  }

  void ReadData(StringView rest, StoredValue* value) {
    if (rest.empty()) Fail("a value without data");
    if (rest[0] == u'"') {
      size_t pos = 0;
      String text = Quoted(rest, &pos, true);
      End(rest.substr(pos));
      String().swap(line_text_);  // the line is read: its room goes before the data is made
      value->type = kRegSz;
      text.push_back(u'\0');
      value->data = Utf16Bytes(text);
      return;
    }
    if (rest.size() >= 6 && SameName(rest.substr(0, 6), u"dword:")) {
      StringView digits = TrimRight(rest.substr(6));
      if (const size_t semi = digits.find(u';'); semi != StringView::npos)
        digits = TrimRight(digits.substr(0, semi));
      uint32_t number = 0;
      if (!HexNumber(digits, &number)) Fail("a dword needs 1 to 8 hex digits");
      value->type = kRegDword;
      value->data = DwordData(static_cast<Long>(number));
      return;
    }
    if (rest.size() >= 4 && SameName(rest.substr(0, 4), u"hex:")) {
      value->type = kRegBinary;
      value->data = HexBytes(rest.substr(4));
      return;
    }
    if (rest.size() >= 4 && SameName(rest.substr(0, 4), u"hex(")) {
      const size_t close = rest.find(u')');
      const StringView digits = rest.substr(4, close == StringView::npos ? 0 : close - 4);
      uint32_t type = 0;
      if (close == StringView::npos || close + 1 >= rest.size() || rest[close + 1] != u':' ||
          !HexNumber(digits, &type))
        Fail("an unknown value type");
      value->type = type;
      value->data = HexBytes(rest.substr(close + 2));
      // REGEDIT4 keeps the text types in ANSI; the store keeps them in UTF-16LE.
      if (format_ == RegFormat::kRegedit4 && IsTextType(type))
        value->data = Utf16Bytes(rt::FromAnsi(value->data));
      return;
    }
    Fail("an unknown value type");
  }

  // Comma-separated bytes of two hex digits, continued on the next line after a backslash.
  std::string HexBytes(StringView rest) {
    std::string bytes;
    for (;;) {
      rest = TrimRight(rest);
      if (const size_t semi = rest.find(u';'); semi != StringView::npos)
        rest = TrimRight(rest.substr(0, semi));
      bool more = !rest.empty() && rest.back() == u'\\';
      if (more) rest.remove_suffix(1);
      size_t i = 0;
      rest = TrimRight(rest);
      bool expect_byte = true;
      while (i < rest.size()) {
        while (i < rest.size() && IsSpace(rest[i]))
          ++i;
        if (i == rest.size()) break;
        if (!expect_byte) {
          if (rest[i] != u',') Fail("hex data needs a comma between bytes");
          ++i;
          expect_byte = true;
          continue;
        }
        const int high = HexDigit(rest[i]);
        const int low = i + 1 < rest.size() ? HexDigit(rest[i + 1]) : -1;
        if (high < 0) Fail("hex data holds a character that is not a hex digit");
        if (low < 0 && i + 1 < rest.size() && rest[i + 1] != u',' && !IsSpace(rest[i + 1]))
          Fail("hex data holds a character that is not a hex digit");
        if (low >= 0) {
          bytes.push_back(static_cast<char>(high * 16 + low));
          i += 2;
        } else {
          bytes.push_back(static_cast<char>(high));
          ++i;
        }
        expect_byte = false;
      }
      // A line that ends in a comma must go on; one that goes on must end in a comma or start.
      if (!more) {
        if (expect_byte && !bytes.empty()) Fail("hex data ends early, after a comma");
        return bytes;
      }
      if (!expect_byte && !bytes.empty()) Fail("hex data needs a comma before the backslash");
      if (!Take()) Fail("hex data ends early, at the end of the file");
      rest = TrimLeft(line_text_);
    }
  }

  // The next line, decoded, as line_text_ and line_; false at the end of the file.
  bool Take() {
    std::string_view bytes;
    String().swap(line_text_);  // a long line's text goes before the next is read
    if (!source_.Next(encoding_ == Encoding::kUtf16, &bytes)) {
      if (encoding_ == Encoding::kUtf16 && odd_) Fail("a UTF-16 file with an odd number of bytes");
      return false;
    }
    ++line_;
    if (encoding_ == Encoding::kUtf16) {
      odd_ = bytes.size() % 2 != 0;
      line_text_ = FromUtf16Bytes(bytes);
    } else {
      line_text_ = encoding_ == Encoding::kUtf8 ? rt::FromUtf8(bytes) : rt::FromAnsi(bytes);
    }
    source_.Shrink();
    if (!line_text_.empty() && line_text_.back() == u'\r') line_text_.pop_back();
    return true;
  }

  LineSource& source_;
  Encoding encoding_;
  String line_text_;  // the current line
  bool odd_ = false;  // a UTF-16 line of an odd number of bytes, which only the last may be
  int line_ = 0;
  RegFormat format_ = RegFormat::kVersion5;
  std::vector<KeyEdit>* edits_;
  bool has_key_ = false;
  KeyEdit key_;  // the key that values belong to
};

// Writing.

std::u16string Escaped(StringView text) {
  String out;
  for (char16_t c : text) {
    if (c == u'\\' || c == u'"') out += u'\\';
    out += c;
  }
  return out;
}

// Whether a REG_SZ's data can be written as "text": whole UTF-16 units, one terminator at the
// end and none before it, no line breaks.
bool WritableAsText(const StoredValue& value) {
  if (value.type != kRegSz || value.data.size() % 2 != 0 || value.data.size() < 2) return false;
  const String text = FromUtf16Bytes(value.data);
  if (text.back() != 0) return false;
  for (size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == 0 || text[i] == u'\n' || text[i] == u'\r') return false;
  return true;
}

class Writer {
 public:
  Writer(RegFormat format) : format_(format) {}

  bool Key(const ExportedKey& key) {
    String path;
    for (const String& name : key.path)
      path += (path.empty() ? u"" : u"\\") + name;
    if (!Writable(path)) return Refuse("the key " + rt::ToUtf8(path));
    Line(u"[" + path + u"]");
    for (const StoredValue& value : key.values) {
      String line = value.name.empty() ? String(u"@=") : u"\"" + Escaped(value.name) + u"\"=";
      if (!Writable(value.name)) return Refuse("the name of value \"" + rt::ToUtf8(value.name) + "\"");
      if (WritableAsText(value)) {
        const String text = FromUtf16Bytes(value.data);
        if (!Writable(text)) return Refuse(value.name);
        line += u"\"" + Escaped(StringView(text).substr(0, text.size() - 1)) + u"\"";
      } else if (value.type == kRegDword && value.data.size() == 4) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x",
                      static_cast<uint32_t>(DwordOfData(value.data)));
        line += rt::FromUtf8(digits);
      } else {
        std::string data = value.data;
        if (format_ == RegFormat::kRegedit4 && IsTextType(value.type)) {
          if (data.size() % 2 != 0) return Refuse(value.name);
          const String text = FromUtf16Bytes(data);
          data = rt::ToAnsi(text);
          if (rt::FromAnsi(data) != text) return Refuse(value.name);
        }
        char type[24];
        if (value.type == kRegBinary)
          std::snprintf(type, sizeof type, "hex:");
        else
          std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.type));
        line += rt::FromUtf8(type);
        for (size_t i = 0; i < data.size(); ++i) {
          char byte[4];
          std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(data[i]));
          line += rt::FromUtf8(byte);
          if (i + 1 == data.size()) break;
          line += u',';
          if (line.size() > kLineWidth - 5) {
            Line(line + u"\\");
            line = u"  ";
          }
        }
      }
      Line(line);
    }
    Line(u"");
    return why_.empty();
  }

  bool Finish(std::string* bytes, std::string* why) {
    if (!why_.empty()) {
      *why = why_;
      return false;
    }
    if (format_ == RegFormat::kVersion5) {
      *bytes = "\xFF\xFE" + Utf16Bytes(text_);
      return true;
    }
    *bytes = rt::ToAnsi(text_);
    if (rt::FromAnsi(*bytes) != text_) {
      *why = "a key or value name cannot be written in the ANSI code page; use Version 5.00";
      return false;
    }
    return true;
  }

  void Line(StringView line) {
    if (text_.empty()) {
      text_ = format_ == RegFormat::kVersion5 ? kVersion5Header : kRegedit4Header;
      text_ += u"\r\n\r\n";
    }
    text_ += line;
    text_ += u"\r\n";
  }

 private:
  // Whether `text` goes into the file's encoding (anything goes into Version 5.00's UTF-16).
  bool Writable(StringView text) const {
    return format_ == RegFormat::kVersion5 || rt::FromAnsi(rt::ToAnsi(text)) == text;
  }
  bool Refuse(const String& name) { return Refuse("the text of value \"" + rt::ToUtf8(name) + "\""); }
  bool Refuse(const std::string& what) {
    why_ = what + " cannot be written in the ANSI code page; use Version 5.00";
    return false;
  }

  RegFormat format_;
  String text_;
  std::string why_;
};

}  // namespace

namespace {

bool Parse(const LineSource::Read& read, bool utf8_past_ascii, std::vector<KeyEdit>* edits,
           RegFileError* error, UnmarkedUtf8* unmarked) {
  edits->clear();
  LineSource source(read);
  UnmarkedUtf8 how = UnmarkedUtf8::kNone;
  const Encoding encoding = EncodingOf(source, utf8_past_ascii, &how);
  if (unmarked != nullptr) *unmarked = how;
  return Reader(source, encoding, edits).Read(error);
}

}  // namespace

bool ParseRegFile(std::string_view bytes, std::vector<KeyEdit>* edits, RegFileError* error,
                  UnmarkedUtf8* unmarked) {
  bool past = false;
  const bool utf8 = IsUtf8(bytes, &past) && past;
  return Parse(
      [&](char* out, size_t n) {
        n = std::min(n, bytes.size());
        std::memcpy(out, bytes.data(), n);
        bytes.remove_prefix(n);
        return n;
      },
      utf8, edits, error, unmarked);
}

bool ParseRegFile(std::FILE* file, std::vector<KeyEdit>* edits, RegFileError* error,
                  UnmarkedUtf8* unmarked) {
  // A first pass tells whether the file is UTF-8 past ASCII; no sequence crosses a line break.
  LineSource first([&](char* out, size_t n) { return std::fread(out, 1, n, file); });
  bool utf8 = true, past = false;
  for (std::string_view line; utf8 && first.Next(false, &line);)
    utf8 = IsUtf8(line, &past);
  if (std::ferror(file) != 0 || std::fseek(file, 0, SEEK_SET) != 0) {
    *error = {0, "the file cannot be read"};
    return false;
  }
  bool failed = false;
  const bool parsed = Parse(
      [&](char* out, size_t n) {
        const size_t got = std::fread(out, 1, n, file);
        failed = failed || std::ferror(file) != 0;
        return got;
      },
      utf8 && past, edits, error, unmarked);
  if (parsed && failed) {
    edits->clear();
    *error = {0, "the file cannot be read"};
    return false;
  }
  return parsed;
}

bool WriteRegFile(RegFormat format, const std::vector<ExportedKey>& keys, std::string* bytes,
                  std::string* why) {
  Writer writer(format);
  if (keys.empty()) writer.Line(u"");
  for (const ExportedKey& key : keys)
    if (!writer.Key(key)) break;
  return writer.Finish(bytes, why);
}

}  // namespace corvane::registry
