#include "pack/cli/cli.h"

int main(int argc, char** argv) { return pack::run_command_line(argc, argv); }
