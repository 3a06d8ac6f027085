// Keeping the records in step with the window manager and the clients.
#pragma once

#include "display_state.hpp"

void sync_client_list(Panel& panel);
void on_focus_in(Panel& panel, Window window);
void on_property_notify(Panel& panel, Window window, Atom atom);
