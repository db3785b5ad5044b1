// The bar is redrawn in place with a carriage return.
#include "progress_bar.h"

#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#define tp_isatty _isatty
#define tp_fileno _fileno
#else
#include <unistd.h>
#define tp_isatty isatty
#define tp_fileno fileno
#endif

namespace probe {
namespace {

constexpr int kWidth = 30;

}  // namespace

bool ProgressBar::wanted() { return tp_isatty(tp_fileno(stderr)) != 0; }

void ProgressBar::show(uint64_t done, uint64_t total) {
    if (total == 0) return;
    double share = done >= total ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
    int filled = static_cast<int>(share * kWidth);
    std::fprintf(stderr, "\r%s [%-*.*s] %3.0f%% (%llu of %llu rows)", label_.c_str(), kWidth, filled,
                 "##############################", share * 100.0, static_cast<unsigned long long>(done),
                 static_cast<unsigned long long>(total));
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::close(uint64_t done) {
    if (!drawn_) return;
    show(done, done);
    std::fputs("\n", stderr);
}

}  // namespace probe
