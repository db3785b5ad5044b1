// Compiler and platform glue shared by the module and its hosts: export
// markers and record packing. Everything host-facing is built on these, so
// the same sources compile with MSVC, MinGW-w64 and g++ on Linux.
#pragma once

#include <cstddef>
#include <cstdint>

// Marks the module's exported data; declare as extern "C" TP_EXPORT.
#if defined(_WIN32)
#define TP_EXPORT __declspec(dllexport)
#else
#define TP_EXPORT __attribute__((visibility("default")))
#endif

// Pins a field of a host-facing record at its published byte offset.
#define TP_PIN_OFFSET(type, field, offset) \
    static_assert(offsetof(type, field) == (offset), #type "." #field " must sit at " #offset)
#define TP_PIN_SIZE(type, size) static_assert(sizeof(type) == (size), #type " must be " #size " bytes")
