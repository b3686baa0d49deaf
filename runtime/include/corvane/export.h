// CORVANE_API marks what the shared library exports. The library is built with every other
// symbol hidden, so a declaration without the mark stays inside it.
#pragma once

// The public headers need C++20 or newer; the consumer chooses its own standard.
#if defined(_MSVC_LANG)
#if _MSVC_LANG < 202002L
#error "Corvane's headers need C++20 or newer (/std:c++20)"
#endif
#elif __cplusplus < 202002L
#error "Corvane's headers need C++20 or newer (-std=c++20)"
#endif

#if defined(_WIN32)
#define CORVANE_API
#else
#define CORVANE_API __attribute__((visibility("default")))
#endif
