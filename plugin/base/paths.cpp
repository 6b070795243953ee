#include "base/paths.h"

namespace {
std::string& storedHostDirectory() {
    static std::string directory;
    return directory;
}
} // namespace

const std::string& hostDirectory() {
    return storedHostDirectory();
}

void setHostDirectory(const std::string& directoryWithSeparator) {
    storedHostDirectory() = directoryWithSeparator;
}

std::string dataFolder(const char* folder) {
    return hostDirectory() + folder + kPathSeparator;
}

std::string dataPath(const char* folder, const char* name) {
    return dataFolder(folder) + name;
}
