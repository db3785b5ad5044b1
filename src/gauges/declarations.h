// The two gauges as declared to the host: headers, element trees and mouse
// areas, all static initialised data in the host's layout.
#pragma once

#include "host/gauge_records.h"

extern GaugeHeader g_vornHeader;
extern GaugeHeader g_displayHeader;

constexpr uint32_t kVornBitmap = 256;
constexpr uint32_t kDisplayBitmap = 512;
