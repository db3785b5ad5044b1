// The private copies of module files that Module loads, in the temporary
// folder, named terrain_probe-<process>-<load> with the module's extension:
// the process's id in the name tells whose a copy is, so a program can
// clear away what a process that ended without its cleanup (killed, or
// crashed in a module) left there.
#pragma once

#include <filesystem>
#include <string>

namespace hostsim {

// Where the next private copy of the module at modulePath goes.
std::filesystem::path private_copy_path(const std::string& modulePath);
// Removes the copies of processes that no longer run; the number removed.
int remove_abandoned_copies();
// Removes this process's own copies, for an exit that skips the unloads.
// A copy the system still holds open (Windows) stays, for the next
// remove_abandoned_copies.
void remove_own_copies();

}  // namespace hostsim
