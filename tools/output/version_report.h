// probe-host --version: probe-host's own version, the module file it would
// run and the version that file declares.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace probe {

// The version a module file declares (the FileVersion of its version
// resource on Windows, its ".tp_version" section natively), or nothing
// when it declares none or cannot be read.
std::optional<std::string> module_version(const std::string& path);

// moduleOption: --module as given; empty for the module beside probe-host.
void print_version(std::FILE* out, const std::string& moduleOption);

}  // namespace probe
