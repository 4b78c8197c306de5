// veska-cli: translate, fix or compose a text from the command line.
#include <string>
#include <vector>

#include "main/cli/CliMain.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return veska::cli::runCli(arguments);
}
