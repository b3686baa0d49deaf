// The two text formats of registry files that Windows and Wine's regedit read and write:
// "Windows Registry Editor Version 5.00" (UTF-16LE with a byte-order mark) and REGEDIT4 (the
// ANSI code page).
//
//   [HKEY_CURRENT_USER\Software\Demo]      a key (made when missing); [-...] removes a tree
//   @="default value"                      the default value; "name"="text" a REG_SZ, with
//                                          \\ and \" escaped (\n, \r and \0 are also read)
//   "Count"=dword:0000002a                 a REG_DWORD of four bytes
//   "Blob"=hex:01,02,03                    REG_BINARY; hex(N): any type N, continued over
//     ...,\                                lines ending in a backslash
//   "Old"=-                                removes the value
//   ; a comment
//
// In Version 5.00 files the hex data of text types is UTF-16LE; in REGEDIT4 it is ANSI.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "regtool/key_edit.h"

namespace corvane::registry {

enum class RegFormat { kRegedit4, kVersion5 };

struct RegFileError {
  int line = 0;  // 1-based line of the file where reading stopped
  std::string message;
};

// How a file without a byte-order mark whose bytes are UTF-8 past ASCII was read: as UTF-8, or
// (a REGEDIT4 file, which regedit writes in the ANSI code page) in the code page all the same.
enum class UnmarkedUtf8 { kNone, kReadAsUtf8, kReadAsAnsi };

// Reads a whole .reg file (its bytes, in either format and encoding) into the changes it
// describes, in file order. False, with `error` set and `edits` empty, when any line is
// malformed: a file is applied whole or not at all. `unmarked`, where given, tells how a file
// without a byte-order mark that is UTF-8 was read.
bool ParseRegFile(std::string_view bytes, std::vector<KeyEdit>* edits, RegFileError* error,
                  UnmarkedUtf8* unmarked = nullptr);
// The same, read from an open file that can seek, a line at a time: the file is never held
// whole, so that a file of any size takes the memory of its longest line and of its changes.
bool ParseRegFile(std::FILE* file, std::vector<KeyEdit>* edits, RegFileError* error,
                  UnmarkedUtf8* unmarked = nullptr);

// One key of an export: its path as created, root name first, and its values.
struct ExportedKey {
  std::vector<String> path;
  std::vector<StoredValue> values;
};

// The bytes of a .reg file holding `keys` in `format`. False, with `why`, when a name or text
// cannot be written in the format's code page (REGEDIT4 keeps only what ANSI can).
bool WriteRegFile(RegFormat format, const std::vector<ExportedKey>& keys, std::string* bytes,
                  std::string* why);

}  // namespace corvane::registry
