// The native module's counterpart of the DLL's version resource: the
// version text in an ELF section of its own, ".tp_version", which
// probe-host --version reads (as does `readelf -p .tp_version`). Built
// into the Linux module only; it adds no symbol to the module's exports.
#include "tp_version.h"

[[gnu::used, gnu::section(".tp_version")]] static const char kVersionText[] = TP_VERSION_TEXT;
