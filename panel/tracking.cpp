#include "tracking.hpp"

// Stubs until list tracking lands.
void sync_client_list(Panel&) {}
void on_focus_in(Panel&, Window) {}
void on_property_notify(Panel&, Window, Atom) {}
