// The display gauge: shows one probe point at a time and steps through them.
#pragma once

#include "host/gauge_records.h"

constexpr uint32_t kIndexTextLength = 15;
constexpr uint32_t kPositionTextLength = 130;
constexpr uint32_t kElevationTextLength = 100;

void display_gauge_callback(GaugeHeader* gauge, int32_t service, uint64_t extra);
double index_text_callback(TextElement* element);
double position_text_callback(TextElement* element);
double elevation_text_callback(TextElement* element);
int32_t next_point_handler(const PixelPoint* point, uint32_t flags);
int32_t previous_point_handler(const PixelPoint* point, uint32_t flags);
