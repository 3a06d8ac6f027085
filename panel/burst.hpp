// The work a burst of events leaves behind, done once the queue is drained.
#pragma once

#include "display_state.hpp"

// From here on, handlers note their work in panel.due instead of doing it.
void start_gathering(Panel& panel);

// The work noted since the last call: the sync, the titles, then the paint.
void finish_burst(Panel& panel);
