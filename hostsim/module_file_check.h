// A native module file checked before the system maps it: the dynamic
// loader trusts the headers and maps what they name, so a file cut short
// faults (SIGBUS) at the first touch of a page past its end instead of
// failing the load. A Windows DLL needs no such check: LoadLibrary refuses
// a cut or foreign file itself.
#pragma once

#include <string>

namespace hostsim {

// What makes the file at path not a whole module for this build, in words
// for its user ("it is cut short: ..."); "" when nothing does. Reads the
// headers only.
std::string incomplete_module_reason(const std::string& path);
// Throws LoadError naming the file and the reason when it is not whole.
void refuse_incomplete_module(const std::string& path);

}  // namespace hostsim
