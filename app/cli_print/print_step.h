// The `print` step of quillon: the data sheet of the current scan or the
// selected memory item as a PDF file, drawn by the window program's page
// painter. It needs the Qt layer, so it lives beside the Qt-free steps.
#ifndef QUILLON_APP_CLI_PRINT_PRINT_STEP_H
#define QUILLON_APP_CLI_PRINT_PRINT_STEP_H

#include "cli/command_line.h"

#include <vector>

namespace quillon::cli {

// Every step of the program: `stepTable()` and `print`.
const std::vector<StepSpec> &stepsWithPrint();

} // namespace quillon::cli

#endif
