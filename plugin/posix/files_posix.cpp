#include "base/paths.h"

#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

std::vector<std::string> listFiles(const std::string& folder, const char* extension) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    const size_t extLength = std::strlen(extension);
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() < extLength ||
            name.compare(name.size() - extLength, extLength, extension) != 0)
            continue;
        struct stat info;
        if (stat((folder + name).c_str(), &info) == 0 && S_ISREG(info.st_mode))
            names.push_back(name);
    }
    closedir(dir);
    return names;
}

bool fileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}
