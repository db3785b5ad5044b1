// The exported module record.
#pragma once

#include "host/gauge_records.h"

extern "C" TP_EXPORT LinkageRecord Linkage;
