// Formatting of the display's texts into host buffers: printf's %d and
// %W.Pf, always with a full stop whatever the process locale, cut to the
// buffer's capacity and always zero-terminated.
#pragma once

#include <cstddef>
#include <cstdint>

class TextWriter {
public:
    TextWriter(char* buffer, size_t capacity);
    TextWriter& text(const char* s);
    TextWriter& integer(int32_t value);
    // As printf's %<width>.<precision>f, for precisions up to kMaxPrecision.
    static constexpr int kMaxPrecision = 20;
    TextWriter& fixed(double value, int width, int precision);

private:
    void put(const char* s, size_t n);
    char* buffer_;
    size_t capacity_;
    size_t length_ = 0;
};
