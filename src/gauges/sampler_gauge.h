// The vorn gauge's callback: sets up, starts and stops sampling.
#pragma once

#include "host/gauge_records.h"

// The point count a parameter string asks for, read as atoi reads it but
// saturating instead of overflowing, and kept within 1 to kMaxPoints.
int32_t parse_point_count(const char* parameters);

void sampler_gauge_callback(GaugeHeader* gauge, int32_t service, uint64_t extra);
