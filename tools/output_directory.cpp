#include "tools/output_directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vorn::tools {

namespace {

std::string ParentOf(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

std::string CheckOutputDirectory(const std::string& outputDirectory) {
    struct stat info {};
    if (::stat(outputDirectory.c_str(), &info) != 0) {
        if (errno == ENOENT) return {};
        return "\"" + outputDirectory + "\": " + std::strerror(errno);
    }
    if (!S_ISDIR(info.st_mode)) return "\"" + outputDirectory + "\" is not a directory";
    return {};
}

StagingDirectory::~StagingDirectory() {
    Discard();
}

bool StagingDirectory::Create(const std::string& outputDirectory, std::string& error) {
    output_ = outputDirectory;
    std::string pattern = ParentOf(outputDirectory) + "/.vorn-process-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        error = "cannot create a working directory beside \"" + outputDirectory +
                "\": " + std::strerror(errno);
        return false;
    }
    staging_ = pattern;
    return true;
}

std::string StagingDirectory::Add(const std::string& name) {
    names_.push_back(name);
    return staging_ + "/" + name;
}

bool StagingDirectory::Commit(std::string& error) {
    if (::mkdir(output_.c_str(), 0777) != 0 && errno != EEXIST) {
        error = "cannot create \"" + output_ + "\": " + std::strerror(errno);
        return false;
    }
    for (const std::string& name : names_) {
        const std::string from = staging_ + "/" + name;
        const std::string to = output_ + "/" + name;
        if (std::rename(from.c_str(), to.c_str()) != 0) {
            error = "cannot move \"" + from + "\" to \"" + to + "\": " + std::strerror(errno);
            return false;
        }
    }
    names_.clear();
    ::rmdir(staging_.c_str());
    staging_.clear();
    return true;
}

void StagingDirectory::Discard() {
    if (staging_.empty()) return;
    for (const std::string& name : names_) ::unlink((staging_ + "/" + name).c_str());
    ::rmdir(staging_.c_str());
    staging_.clear();
}

}  // namespace vorn::tools
