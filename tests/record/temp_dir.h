#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

// A fresh directory per test, removed with everything in it afterwards.
struct TempDir {
    TempDir() {
        std::string pattern = testing::TempDir() + "vorn-record-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
        path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string File(const std::string& name) const { return (path / name).string(); }
    std::filesystem::path path;
};
