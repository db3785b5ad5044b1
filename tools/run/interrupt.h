// Ctrl-C: the first SIGINT asks the run to end at its next frame, with the
// normal shutdown and every output completed; a second one ends the
// process at once.
#pragma once

namespace probe {

// Call before any other thread starts, so that only the watcher sees the
// signal (POSIX: it is blocked in every other thread).
void catch_interrupt();
bool interrupted();

}  // namespace probe
