// The ANSI code page: the one in which the classes turn characters into bytes (character codes,
// every registry call) and back.
//
// On Windows it is the system's ANSI code page. Natively, a process has one, chosen at its first
// use: the one that SetAnsiCodePage named, else the one that the environment variable
// CORVANE_CODEPAGE names, else the one that Windows would give a program under the process's
// locale (LC_ALL, LC_CTYPE or LANG, as Wine derives it): 1251 for ru_RU, 932 for ja_JP, 1253
// for el_GR, 1252 for C and en_US. A locale whose Windows counterpart has no ANSI code page
// (Hindi, Georgian, Armenian and others) gets 1252.
#pragma once

#include "corvane/export.h"

namespace corvane {

// The ANSI code page in use, chosen now if it has not been.
// Throws std::invalid_argument where CORVANE_CODEPAGE names no supported code page.
CORVANE_API int AnsiCodePage();

#if !defined(_WIN32)
// Chooses the ANSI code page for this process: 874, 932, 936, 949, 950 or 1250 to 1258.
// Call it before the first use; naming the code page already in use again is harmless.
// Throws std::invalid_argument for another number, std::logic_error once another code page is
// in use.
CORVANE_API void SetAnsiCodePage(int code_page);
#endif

}  // namespace corvane
