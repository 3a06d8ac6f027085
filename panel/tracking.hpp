// Keeping the records in step with the window manager and the clients.
#pragma once

#include "display_state.hpp"

#include <optional>
#include <vector>

// Reconciles the records with the root's client list and desktop; draws nothing.
void sync_client_list(Panel& panel);
void on_focus_in(Panel& panel, Window window);
void on_property_notify(Panel& panel, Window window, Atom atom);

// One whole format-32 property in one request. nullopt when no data came
// back (no such property, or the window is gone); an empty list when it
// exists with another type, or with items that are not 32-bit ones.
std::optional<std::vector<long>> read_format32(Window window, Atom property, Atom required_type);
