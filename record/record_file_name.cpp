#include "record/record_file_name.h"

namespace vorn::record {

std::string DefaultRecordFileName(std::time_t when) {
    std::tm local{};
    char name[64];
    // Times the calendar cannot hold still get a usable name.
    if (::localtime_r(&when, &local) == nullptr ||
        std::strftime(name, sizeof name, "%Y-%m-%d-%H-%M-%S.dat", &local) == 0) {
        return "recording.dat";
    }
    return name;
}

}  // namespace vorn::record
