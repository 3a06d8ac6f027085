// Pointer input on the bar, the desktop request and the command launcher.
#pragma once

#include "display_state.hpp"

void on_button_press(Panel& panel, int x, int y);
void on_pointer_motion(Panel& panel, int y);
void request_desktop(Panel& panel, int offset);
int spawn_command(const char* command);

// Start-up: finished commands must never linger as defunct children.
void init_launcher();
