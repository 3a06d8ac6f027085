// The work a burst of events leaves behind, done once the queue is drained.
#pragma once

#include "display_state.hpp"

// From here on, handlers note their work in panel.due instead of doing it.
void start_gathering(Panel& panel);

// The screen or its monitors changed: the bar is placed again once the
// notices have stopped coming for a while (one change sends several, and a
// monitor being set up a burst of them).
void note_screen_change(Panel& panel);

// A window manager sets its lists once for each window it takes in or
// lets go, a few milliseconds apart. A change that comes right after a
// sync is such a run: while its sync is due, waits for more events until
// they pause for a moment (within a bound), so that one sync serves them
// all. Returns whether more came.
bool more_of_the_change(const Panel& panel);

// The work noted since the last call: the placement (once it has fallen
// due), the sync, the titles and states, then the paint.
void finish_burst(Panel& panel);
