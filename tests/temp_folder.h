// A fresh folder under the build tree for one test, removed afterwards; it is also the host
// folder the plug-in's data paths resolve against.
#pragma once
#include "base/paths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

class HostFolder {
  public:
    // The folder is named after the running test too, since ctest runs tests side by side.
    explicit HostFolder(const std::string& name)
        : path(std::string(QUORBEL_BINARY_DIR) + "/tmp-" + name + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/") {
        std::system(("rm -rf '" + path + "' && mkdir -p '" + path + "'").c_str());
        setHostDirectory(path);
    }
    ~HostFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string sub(const std::string& folder) const {
        std::system(("mkdir -p '" + path + folder + "'").c_str());
        return path + folder + "/";
    }
    const std::string path;
};
