#pragma once
// vorn-process as a function: arguments (without the program name) in, exit status out.
#include <ostream>
#include <string>
#include <vector>

namespace vorn::tools {

// 0 on success, 2 on bad arguments or input (nothing written to OUTDIR), 1 when the output
// cannot be written.
int RunVornProcess(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vorn::tools
