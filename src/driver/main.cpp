#include "driver/run.h"

int main() { return lattice_bubble::run(); }
