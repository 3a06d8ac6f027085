// Keeping the records in step with the window manager and the clients.
#pragma once

#include "display_state.hpp"

// Reconciles the records with the root's client list and desktop; draws nothing.
void sync_client_list(Panel& panel);
// A sync and a repaint: at once (of the whole bar) outside a burst, else
// once the queue is drained (of what the change moved).
void request_sync(Panel& panel);
// A notice the server sent before it answered the last sync's reads: a
// change of the lists or the desktop, which those reads already saw, or a
// FocusIn older than the focus they read (it would press a button whose
// window has lost the focus since, to a window that sends the bar none).
bool seen_by_sync(const Panel& panel, const XEvent& event);
void on_focus_in(Panel& panel, Window window);
// A FocusIn or FocusOut of a client's window.
void on_focus_change(Panel& panel, const XFocusChangeEvent& event);
void on_property_notify(Panel& panel, Window window, Atom atom);
// The titles and states whose change a burst announced, read together.
void read_due_properties(Panel& panel);
// The window manager's active window changed: the focus is read again (at
// once outside a burst) and the buttons follow it, unless the focus events
// since the last FocusIn say it is still there.
void request_focus_check(Panel& panel);
void check_focus(Panel& panel);
