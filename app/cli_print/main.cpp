// quillon with the print step: the command-line front end over DataControl
// and the device library, for scripts, test stands and schedulers.
#include "cli/runner.h"
#include "cli_print/print_step.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return quillon::cli::runQuillon(args, quillon::cli::stepsWithPrint(), std::cout, std::cerr);
}
