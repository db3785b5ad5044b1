// Ctrl-C, SIGTERM (what timeout, service managers and CI runners send) and
// SIGHUP (a closed terminal) end a run alike: the first asks the run to end
// at its next frame, with the normal shutdown, the summary and every output
// completed. A repeat of the same request changes nothing: timeout sends its
// signal to the program and again to its process group, and SIGTERM and
// SIGHUP always mean the same. Only a second interrupt (Ctrl-C) cuts the
// outputs' finish short, the CSV ending on a whole line, and only a third
// stops at once. While the outputs are being finished after the summary,
// the first signal stops the finish instead.
//
// On Windows the console's events come in their place: Ctrl-C as SIGINT,
// Ctrl-Break as SIGTERM and the console's close as SIGHUP.
#pragma once

namespace probe {

// Call before any other thread starts, so that only the watcher sees the
// signals (POSIX: they are blocked in every other thread).
void catch_interrupt();
// A signal asked the run to end.
bool interrupted();
// 128 plus the first signal's number (129 for SIGHUP, 130 for Ctrl-C, 143
// for SIGTERM); 0 when none came.
int interrupt_status();
// From here on a signal stops the outputs' finish rather than the run.
void begin_finishing();
// The outputs' finish is to stop at the next whole line.
bool finish_stopped();

}  // namespace probe
