#include "base/file_lists.h"

#include "base/guard.h"
#include "base/paths.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int listNumberedFiles(const char* source, const char* folder, const char* extension,
                      char (*names)[256], int max, const char* wanted, int* selected) {
    names[0][0] = '\0';
    std::vector<std::string> found;
    guarded(source, __LINE__, [&] { found = listFiles(dataFolder(folder), extension); });
    int count = 0;
    for (const std::string& name : found) {
        if (count == max) break;
        ++count;
        std::snprintf(names[count], sizeof names[count], "%s", name.c_str());
        if (std::strcmp(names[count], wanted) == 0) *selected = count;
    }
    return count;
}
