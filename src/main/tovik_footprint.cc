// tovik-footprint: create and preview KiCad footprints.
#include "main/command_line.h"

int main(int argc, char** argv) { return run_command_line(argc, argv); }
