#pragma once
// Output files are written into a working directory beside OUTDIR and moved into OUTDIR only
// once all of them are complete, so a failed run never leaves partial files there.
#include <string>
#include <vector>

namespace vorn::tools {

class StagingDirectory {
public:
    StagingDirectory() = default;
    // Removes whatever was not committed.
    ~StagingDirectory();
    StagingDirectory(const StagingDirectory&) = delete;
    StagingDirectory& operator=(const StagingDirectory&) = delete;

    // Makes the working directory in OUTDIR's parent. OUTDIR itself need not exist yet.
    bool Create(const std::string& outputDirectory, std::string& error);
    // Where to write the file `name`; it is moved to OUTDIR/name by Commit().
    std::string Add(const std::string& name);
    // Creates OUTDIR if missing and moves every file into it.
    bool Commit(std::string& error);

private:
    void Discard();

    std::string output_;
    std::string staging_;
    std::vector<std::string> names_;
};

// Empty when OUTDIR is missing or a directory; otherwise why it cannot be used.
std::string CheckOutputDirectory(const std::string& outputDirectory);

}  // namespace vorn::tools
