#include "tests/support/ToolShell.h"

#include <cstdlib>

namespace testtools {

bool RunTool(const std::string& command) { return std::system(command.c_str()) == 0; }

}  // namespace testtools
