// Files checked before a run starts, so that a bad path fails at once
// rather than after the run: the module (and which build it is for) and
// every output path, and no output the same file as an input or another
// output.
#pragma once

#include <string>

#include <vector>

#include "errors.h"
#include "options.h"

namespace probe {

// Throws FileError saying what is wrong with the module file.
void check_module_file(const std::string& path);
// hostsim's load error, told in terms of the user's file rather than the
// private copy the host loads.
std::string load_error_for(const std::string& message, const std::string& path);
// Throws FileError when the file cannot be written; leaves no file behind
// that was not there.
void check_output_path(const std::string& option, const std::string& path);
// Throws UsageError naming both options when an output is the same file as
// an input or another output, however each is spelt (links, "./x",
// relative or absolute). A file not there yet is compared by its resolved
// directory and name. Empty paths are left out.
void check_files_distinct(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs);

}  // namespace probe
