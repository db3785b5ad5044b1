// Each point keeps the positions written for it and not yet answered, in a
// ring; the rings share one block, widened when a point has more positions
// waiting than the rings hold, so a hundred thousand points cost a few
// entries each.
#include "elevation_age.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace probe {
namespace {

constexpr int kExactBelow = 1024;  // microseconds counted one by one
constexpr int kSubBuckets = 1024;  // buckets per power of two above that

int top_bit(uint64_t v) {
    int bit = 0;
    while (v >>= 1) ++bit;
    return bit;
}

size_t bucket_of(uint64_t us) {
    if (us < kExactBelow) return static_cast<size_t>(us);
    int shift = top_bit(us) - 10;
    return static_cast<size_t>(kExactBelow + shift * kSubBuckets + static_cast<int>((us >> shift) - kSubBuckets));
}

// The middle of a bucket, in microseconds.
double bucket_middle(size_t bucket) {
    if (bucket < static_cast<size_t>(kExactBelow)) return static_cast<double>(bucket);
    int shift = static_cast<int>((bucket - kExactBelow) / kSubBuckets);
    double low = static_cast<double>((static_cast<uint64_t>((bucket - kExactBelow) % kSubBuckets) + kSubBuckets) << shift);
    return low + (std::ldexp(1.0, shift) - 1) / 2;
}

}  // namespace

void AgeHistogram::add(uint64_t us) {
    size_t b = bucket_of(us);
    if (b >= buckets_.size()) buckets_.resize(b + 1);
    ++buckets_[b];
    ++count_;
    max_ = std::max(max_, us);
}

double AgeHistogram::percentile_ms(double share) const {
    if (count_ == 0) return 0;
    uint64_t rank = std::max<uint64_t>(1, static_cast<uint64_t>(std::ceil(share * static_cast<double>(count_))));
    uint64_t seen = 0;
    for (size_t b = 0; b < buckets_.size(); ++b)
        if ((seen += buckets_[b]) >= rank) return std::min(bucket_middle(b), static_cast<double>(max_)) / 1000.0;
    return max_ms();
}

AgeCheck age_check(const AgeFigures& f) {
    AgeCheck check;
    if (f.beyond == 0) {
        check.message = f.answered ? std::string("every position answered within ") + kAgeBound
                                   : "no position answered while sampling ran: not measured";
        return check;
    }
    char text[240];
    std::snprintf(text, sizeof text, "%llu of %llu positions answered later than %s (%llu never answered)",
                  static_cast<unsigned long long>(f.beyond),
                  static_cast<unsigned long long>(f.answered + f.unanswered), kAgeBound,
                  static_cast<unsigned long long>(f.unanswered));
    check.passed = false;
    check.message = text;
    return check;
}

void ElevationAge::grow_to(size_t points) {
    if (points <= rings_.size()) return;
    rings_.resize(points);
    entries_.resize(points * capacity_);
}

// Doubles every ring, each keeping its entries in order from the start.
void ElevationAge::widen() {
    uint32_t wider = capacity_ * 2;
    std::vector<Entry> moved(rings_.size() * wider);
    for (size_t p = 0; p < rings_.size(); ++p) {
        for (uint32_t i = 0; i < rings_[p].size; ++i) moved[p * wider + i] = at(p, i);
        rings_[p].head = 0;
    }
    entries_.swap(moved);
    capacity_ = wider;
}

void ElevationAge::make_room(size_t point) {
    Ring& ring = rings_[point];
    if (ring.size < capacity_) return;
    const Entry& oldest = at(point, 0);
    if (idle_since(oldest)) {
        ++notMeasured_;
    } else if (past_bound(oldest)) {
        ++beyond_;
        ++unanswered_;
    } else {
        widen();
        return;
    }
    if (static_cast<int>(point) == readingPoint_ && covered_ > 0) --covered_;
    ring.head = (ring.head + 1) % capacity_;
    --ring.size;
}

void ElevationAge::written(int point, double seconds) {
    if (point < 0 || (table_ >= 0 && point >= table_)) return;
    if (point == lastWritten_) return;  // another part of the same position
    lastWritten_ = point;
    size_t p = static_cast<size_t>(point);
    grow_to(p + 1);
    make_room(p);
    Ring& ring = rings_[p];
    entries_[p * capacity_ + (ring.head + ring.size) % capacity_] = {seconds, cyclesBegun_};
    ++ring.size;
}

void ElevationAge::table_built(int points) { table_ = points; }

void ElevationAge::cycle_begins() {
    ++cyclesBegun_;
    cycleSampled_ = false;
    readingPoint_ = -1;
}

void ElevationAge::reading(int point) {
    cycleSampled_ = true;
    if (point == lastWritten_) lastWritten_ = -1;
    size_t p = static_cast<size_t>(point);
    readingPoint_ = point;
    covered_ = p < rings_.size() ? rings_[p].size : 0;
}

void ElevationAge::answer(const Entry& e, double seconds) {
    if (idle_since(e)) {
        ++notMeasured_;
        return;
    }
    double us = std::max(0.0, (seconds - e.seconds) * 1e6);
    ages_.add(static_cast<uint64_t>(std::llround(us)));
    // The cycle publishing this is the one under way: cyclesBegun_ - 1.
    if (cyclesBegun_ - 1 > e.cycle) ++beyond_;
}

void ElevationAge::published(int point, double seconds) {
    if (point != readingPoint_) return;
    size_t p = static_cast<size_t>(point);
    for (uint32_t i = 0; i < covered_; ++i) {
        answer(at(p, 0), seconds);
        Ring& ring = rings_[p];
        ring.head = (ring.head + 1) % capacity_;
        --ring.size;
    }
    readingPoint_ = -1;
    covered_ = 0;
}

void ElevationAge::cycle_ends() {
    if (!cycleSampled_ && cyclesBegun_ > 0) lastIdle_ = static_cast<int64_t>(cyclesBegun_ - 1);
    ++cyclesEnded_;
    readingPoint_ = -1;
}

AgeFigures ElevationAge::figures() const {
    AgeFigures f;
    f.beyond = beyond_;
    f.unanswered = unanswered_;
    f.notMeasured = notMeasured_;
    size_t points = table_ >= 0 ? std::min(rings_.size(), static_cast<size_t>(table_)) : rings_.size();
    for (size_t p = 0; p < points; ++p)
        for (uint32_t i = 0; i < rings_[p].size; ++i) {
            const Entry& e = at(p, i);
            if (!idle_since(e) && past_bound(e)) ++f.beyond, ++f.unanswered;
            else ++f.notMeasured;
        }
    f.answered = ages_.count();
    f.medianMs = ages_.percentile_ms(0.5);
    f.p99Ms = ages_.percentile_ms(0.99);
    f.maxMs = ages_.max_ms();
    return f;
}

}  // namespace probe
