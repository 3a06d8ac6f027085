// Stub until the switcher lands.
int main() { return 0; }
