// Ctrl-C and SIGTERM (what timeout, service managers and CI runners send)
// end a run alike: the first asks the run to end at its next frame, with
// the normal shutdown, the summary and every output completed; a second
// one during the run ends the process at once. While the outputs are
// being finished after the summary, a signal stops the finish instead,
// the CSV ending on a whole line.
#pragma once

namespace probe {

// Call before any other thread starts, so that only the watcher sees the
// signals (POSIX: they are blocked in every other thread).
void catch_interrupt();
// A signal asked the run to end.
bool interrupted();
// 128 plus the first signal's number (130 for Ctrl-C, 143 for SIGTERM);
// 0 when none came.
int interrupt_status();
// From here on a signal stops the outputs' finish rather than the run.
void begin_finishing();
bool finish_stopped();

}  // namespace probe
