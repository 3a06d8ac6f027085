// The once-a-second pointer poll of `panel` (absent from panel-lite).
// The SIGALRM handler only writes a byte to a pipe; the event loop waits on
// the pipe's read end and runs the check itself, outside any X call.
#pragma once

#include "display_state.hpp"

// Installs the handler and arms the first one-second timer; returns the
// read end of the wake-up pipe for the loop to wait on (-1 on failure).
int install_pointer_poll();
void arm_poll_timer();

// Called by the loop when the pipe is readable: drains it, queries the
// pointer, collapses or expands the bar, arms the next timer.
void run_pointer_check(Panel* panel);
