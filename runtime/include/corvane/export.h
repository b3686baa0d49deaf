// CORVANE_API marks what the shared library exports. The library is built with every other
// symbol hidden, so a declaration without the mark stays inside it.
#pragma once

#if defined(_WIN32)
#define CORVANE_API
#else
#define CORVANE_API __attribute__((visibility("default")))
#endif
