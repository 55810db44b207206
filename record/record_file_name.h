#pragma once
#include <ctime>
#include <string>

namespace vorn::record {

// "%Y-%m-%d-%H-%M-%S.dat" in local time, e.g. "2026-03-01-14-05-09.dat".
std::string DefaultRecordFileName(std::time_t when);

}  // namespace vorn::record
