#include "driver/command_line.h"

int main(int argc, char** argv) { return lattice_bubble::run_command_line(argc, argv); }
