// Writes the five built-in tables natively into a folder, from a thread whose random state
// starts at 1 (as the plug-in's first-run dialog does), so a Wine test can compare them with
// the tables the DLL wrote.
#include "media/builtin_tables.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_builtin_tables FOLDER\n");
        return 1;
    }
    generateBuiltInTables(argv[1], true, nullptr, nullptr);
    return 0;
}
