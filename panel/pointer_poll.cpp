#include "pointer_poll.hpp"

// Stubs until the pointer poll lands.
int install_pointer_poll() { return -1; }
void arm_poll_timer() {}
void run_pointer_check(Panel*) {}
