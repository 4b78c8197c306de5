// veska-sim: plays a scenario file on the simulated desktop (see docs/scenarios.md).
#include <iostream>
#include <string>
#include <vector>

#include "main/scenario/SimCommand.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return veska::scenario::runCommand(args, std::cout, std::cerr);
}
