// The ANSI code pages of the native library: the platform's tables unpacked, the conversions,
// and the choice of the process's code page.
#include "runtime/code_page.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "corvane/code_page.h"
#include "runtime/ansi.h"

namespace corvane::rt {
namespace {

#include "runtime/code_page_tables.inc"

}  // namespace

CodePage::CodePage(const CodePageData& data)
    : number_(data.number),
      double_byte_(data.lead_count > 0),
      default_char_(data.default_char),
      exact_(0x10000),
      best_fit_(0x10000) {
  for (size_t k = 0; k < data.lead_count; ++k)
    lead_row_[data.leads[k]] = static_cast<uint16_t>(k + 1);
  // Every byte's character, then every pair's, from the runs.
  std::vector<char16_t> text;
  text.reserve(256 * (data.lead_count + 1));
  for (size_t i = 0; i < data.text_size;) {
    const uint16_t head = data.text[i++];
    if (head & 0x8000) {
      const char16_t start = data.text[i++];
      const uint16_t step = (head & 0x4000) ? 1 : 0;
      for (uint16_t k = 0; k < (head & 0x3FFF); ++k)
        text.push_back(static_cast<char16_t>(start + k * step));
    } else {
      text.insert(text.end(), data.text + i, data.text + i + head);
      i += head;
    }
  }
  std::copy_n(text.begin(), 256, single_.begin());
  pairs_.assign(text.begin() + 256, text.end());

  // The codes: the table read backwards (the first byte, then the first pair, that reads as a
  // unit), then the platform's own choices where they differ, best fit among them.
  std::fill(best_fit_.begin(), best_fit_.end(), data.default_byte);
  std::vector<bool> found(0x10000);
  auto take = [&](char16_t unit, uint16_t code) {
    if (!found[unit]) found[unit] = true, best_fit_[unit] = code;
  };
  for (unsigned b = 0; b < 256; ++b)
    if (!lead_row_[b]) take(single_[b], static_cast<uint16_t>(b));
  for (size_t k = 0; k < data.lead_count; ++k)
    for (unsigned t = 0; t < 256; ++t)
      take(pairs_[k * 256 + t], static_cast<uint16_t>(data.leads[k] << 8 | t));
  for (size_t k = 0; k < data.bytes_size; ++k)
    best_fit_[data.bytes[k] >> 16] = static_cast<uint16_t>(data.bytes[k]);
  // Without best fit, a code stands for a unit only where it reads back as that unit.
  for (unsigned unit = 0; unit < 0x10000; ++unit) {
    const uint16_t code = best_fit_[unit];
    const uint16_t row = code > 0xFF ? lead_row_[code >> 8] : 0;
    const long back = code <= 0xFF ? single_[code] : row ? pairs_[(row - 1) * 256 + (code & 0xFF)] : -1;
    exact_[unit] = back == unit ? code : data.default_byte;
  }
}

// A single-byte code page reads and writes by table, a byte for a unit; the loops over a
// double-byte one write into room made for the longest result, then cut it.
String CodePage::Read(std::string_view bytes) const {
  return double_byte_ ? ReadPairs(bytes, false) : ReadSingle(bytes);
}

String CodePage::ReadAsSystem(std::string_view bytes) const {
  return double_byte_ ? ReadPairs(bytes, true) : ReadSingle(bytes);
}

String CodePage::ReadSingle(std::string_view bytes) const {
  String text(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) text[i] = single_[static_cast<Byte>(bytes[i])];
  return text;
}

String CodePage::ReadPairs(std::string_view bytes, bool as_system) const {
  String text(bytes.size(), u'\0');
  size_t made = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<Byte>(bytes[i]);
    const uint16_t row = lead_row_[b];
    if (row == 0) {
      text[made++] = single_[b];
    } else if (i + 1 < bytes.size() && (as_system || bytes[i + 1] != 0)) {
      text[made++] = pairs_[(row - 1) * 256 + static_cast<Byte>(bytes[++i])];
    } else {
      text[made++] = as_system ? single_[b] : default_char_;
    }
  }
  text.resize(made);
  return text;
}

std::string CodePage::Write(StringView text) const { return WriteBy(exact_, text); }

std::string CodePage::WriteAsSystem(StringView text) const { return WriteBy(best_fit_, text); }

std::string CodePage::WriteBy(const std::vector<uint16_t>& codes, StringView text) const {
  std::string bytes(double_byte_ ? 2 * text.size() : text.size(), '\0');
  size_t made = 0;
  if (!double_byte_) {
    for (size_t i = 0; i < text.size(); ++i) bytes[i] = static_cast<char>(codes[text[i]]);
    return bytes;
  }
  for (char16_t unit : text) {
    const uint16_t code = codes[unit];
    if (code > 0xFF) bytes[made++] = static_cast<char>(code >> 8);
    bytes[made++] = static_cast<char>(code);
  }
  bytes.resize(made);
  return bytes;
}

const CodePage* FindCodePage(int number) {
  static std::mutex mutex;
  static std::map<int, std::unique_ptr<CodePage>> unpacked;
  for (const CodePageData& data : kCodePages) {
    if (data.number != number) continue;
    const std::lock_guard lock(mutex);
    auto& page = unpacked[number];
    if (!page) page = std::make_unique<CodePage>(data);
    return page.get();
  }
  return nullptr;
}

const char* SupportedCodePages() {
  return "874, 932, 936, 949, 950 and 1250 to 1258";
}

int CodePageOfLocale(std::string_view name) {
  // What Wine gives a program under each POSIX locale, measured for every locale that Debian
  // supports; every other language gets 1252, as do the locales whose Windows counterpart has no
  // ANSI code page. A territory or a modifier is named where it decides.
  static constexpr struct {
    const char* locale;
    int code_page;
  } kLocales[] = {
      {"zh_HK", 950}, {"zh_MO", 950}, {"zh_TW", 950}, {"zh", 936}, {"ja", 932}, {"ko", 949},
      {"th", 874}, {"sr@latin", 1250}, {"uz@cyrillic", 1251}, {"cs", 1250}, {"hr", 1250},
      {"hu", 1250}, {"pl", 1250}, {"ro", 1250}, {"sk", 1250}, {"sl", 1250}, {"sq", 1250},
      {"tk", 1250}, {"be", 1251}, {"bg", 1251}, {"ky", 1251}, {"mk", 1251}, {"mn", 1251},
      {"ru", 1251}, {"sah", 1251}, {"tg", 1251}, {"tt", 1251}, {"uk", 1251}, {"el", 1253},
      {"tr", 1254}, {"he", 1255}, {"ar", 1256}, {"ckb", 1256}, {"fa", 1256}, {"ug", 1256},
      {"ur", 1256}, {"et", 1257}, {"lt", 1257}, {"lv", 1257}, {"vi", 1258},
  };
  // language[_TERRITORY][.codeset][@modifier]
  const size_t at = name.find('@');
  const std::string_view modifier = at == std::string_view::npos ? "" : name.substr(at);
  const std::string_view base = name.substr(0, std::min(name.find('.'), at));
  const std::string_view language = base.substr(0, base.find('_'));
  const std::string candidates[] = {std::string(base), std::string(language) + std::string(modifier),
                                    std::string(language)};
  for (const std::string& candidate : candidates)
    for (const auto& entry : kLocales)
      if (candidate == entry.locale) return entry.code_page;
  return 1252;
}

namespace {

std::mutex choice_mutex;
std::atomic<const CodePage*> active{nullptr};

[[noreturn]] void Unsupported(const std::string& what) {
  throw std::invalid_argument(what + " is not a supported ANSI code page; the supported code pages are " +
                              SupportedCodePages());
}

const CodePage& Choose(int requested) {
  const std::lock_guard lock(choice_mutex);
  if (const CodePage* page = active.load()) return *page;
  if (requested == 0) {
    if (const char* value = std::getenv("CORVANE_CODEPAGE"); value != nullptr && *value != '\0') {
      const std::string text(value, std::min<size_t>(std::string_view(value).size(), 40));
      char* end = nullptr;
      const long number = std::strtol(value, &end, 10);
      if (*end != '\0' || number <= 0 || number > 65535 || FindCodePage(static_cast<int>(number)) == nullptr)
        Unsupported("CORVANE_CODEPAGE=" + text);
      requested = static_cast<int>(number);
    } else {
      const char* locale = nullptr;
      for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"})
        if (const char* v = std::getenv(variable); locale == nullptr && v != nullptr && *v != '\0') locale = v;
      requested = CodePageOfLocale(locale == nullptr ? "C" : locale);
    }
  }
  const CodePage* page = FindCodePage(requested);
  active.store(page);
  return *page;
}

}  // namespace

const CodePage& ActiveCodePage() {
  if (const CodePage* page = active.load(std::memory_order_acquire)) return *page;
  return Choose(0);
}

std::string ToAnsi(StringView text) { return ActiveCodePage().Write(text); }
String FromAnsi(std::string_view bytes) { return ActiveCodePage().Read(bytes); }
std::string ToAnsiAsSystem(StringView text) { return ActiveCodePage().WriteAsSystem(text); }
String FromAnsiAsSystem(std::string_view bytes) { return ActiveCodePage().ReadAsSystem(bytes); }

}  // namespace corvane::rt

namespace corvane {

int AnsiCodePage() { return rt::ActiveCodePage().number(); }

void SetAnsiCodePage(int code_page) {
  if (rt::FindCodePage(code_page) == nullptr) rt::Unsupported("code page " + std::to_string(code_page));
  const rt::CodePage& page = rt::Choose(code_page);
  if (page.number() != code_page)
    throw std::logic_error("the ANSI code page is already in use as " + std::to_string(page.number()) +
                           "; SetAnsiCodePage comes before the first use");
}

}  // namespace corvane
