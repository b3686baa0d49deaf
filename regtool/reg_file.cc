// Reading and writing .reg files. See reg_file.h for the formats.
#include "regtool/reg_file.h"

#include <cstdio>

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

// Bytes that are UTF-8 and not plain ASCII: every sequence well formed (no overlong form, no
// surrogate, nothing past U+10FFFF), at least one of them past ASCII.
bool IsUtf8PastAscii(std::string_view bytes) {
  bool past = false;
  for (size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    const size_t trail = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2
                       : lead >= 0xF0 && lead <= 0xF4                   ? 3
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
    past = true;
    i += trail + 1;
  }
  return past;
}

// The file's text: UTF-16LE after its byte-order mark, UTF-8 after its mark; without a mark,
// UTF-8 where the bytes are UTF-8 past ASCII (as an editor saves a hand-written file), except
// in a REGEDIT4 file, which regedit writes in the ANSI code page; ANSI otherwise.
bool Decode(std::string_view bytes, String* text, bool* as_utf8) {
  *as_utf8 = false;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    bytes.remove_prefix(2);
    if (bytes.size() % 2 != 0) return false;
    *text = FromUtf16Bytes(bytes);
    return true;
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    *text = rt::FromUtf8(bytes.substr(3));
    return true;
  }
  if (bytes.substr(0, 8) != "REGEDIT4" && IsUtf8PastAscii(bytes)) {
    *text = rt::FromUtf8(bytes);
    *as_utf8 = true;
    return true;
  }
  *text = rt::FromAnsi(bytes);
  return true;
}

class Reader {
 public:
  Reader(StringView text, std::vector<KeyEdit>* edits) : edits_(edits) {
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find(u'\n', start);
      if (end == StringView::npos) end = text.size();
      StringView line = text.substr(start, end - start);
      if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
      lines_.push_back(line);
      start = end + 1;
    }
    if (lines_.size() > 1 && lines_.back().empty()) lines_.pop_back();  // the final line break
  }

  bool Read(RegFileError* error) {
    try {
      ReadHeader();
      while (next_ < lines_.size())
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
    while (next_ < lines_.size() && TrimRight(lines_[next_]).empty())
      ++next_;
    line_ = static_cast<int>(next_) + 1;
    if (next_ == lines_.size()) {
      line_ = 1;
      Fail("the file is empty");
    }
    const StringView header = TrimRight(lines_[next_++]);
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
    line_ = static_cast<int>(next_) + 1;
    const StringView line = TrimLeft(lines_[next_++]);
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
      const String text = Quoted(rest, &pos, true);
      End(rest.substr(pos));
      value->type = kRegSz;
      value->data = Utf16Bytes(text) + std::string(2, '\0');
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
      if (next_ == lines_.size()) Fail("hex data ends early, at the end of the file");
      line_ = static_cast<int>(next_) + 1;
      rest = TrimLeft(lines_[next_++]);
    }
  }

  std::vector<StringView> lines_;
  size_t next_ = 0;
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
    Line(u"[" + path + u"]");
    for (const StoredValue& value : key.values) {
      String line = value.name.empty() ? String(u"@=") : u"\"" + Escaped(value.name) + u"\"=";
      if (WritableAsText(value)) {
        const String text = FromUtf16Bytes(value.data);
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
  bool Refuse(const String& name) {
    why_ = "the text of value \"" + rt::ToUtf8(name) +
           "\" cannot be written in the ANSI code page; use Version 5.00";
    return false;
  }

  RegFormat format_;
  String text_;
  std::string why_;
};

}  // namespace

bool ParseRegFile(std::string_view bytes, std::vector<KeyEdit>* edits, RegFileError* error,
                  bool* read_as_utf8) {
  edits->clear();
  String text;
  bool as_utf8 = false;
  const bool decoded = Decode(bytes, &text, &as_utf8);
  if (read_as_utf8 != nullptr) *read_as_utf8 = as_utf8;
  if (!decoded) {
    *error = {1, "a UTF-16 file with an odd number of bytes"};
    return false;
  }
  return Reader(text, edits).Read(error);
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
