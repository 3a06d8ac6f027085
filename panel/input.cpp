#include "input.hpp"

// Stubs until pointer input lands.
void on_button_press(Panel&, int, int) {}
void on_pointer_motion(Panel&, int) {}
void request_desktop(Panel&, int) {}
int spawn_command(const char*) { return 0; }
void init_launcher() {}
