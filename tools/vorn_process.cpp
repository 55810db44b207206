// vorn-process: a recording of the window, processed offline as the live display would have.
#include <iostream>
#include <string>
#include <vector>

#include "tools/process_run.h"

int main(int argc, char* argv[]) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return vorn::tools::RunVornProcess(args, std::cout, std::cerr);
}
