// Where quorbel keeps the user's settings and data, and what it does when it cannot write
// them: it never writes into the current folder, and a data folder that cannot be written
// gives way to the installed data, read as it is, with the built-in tables made for the run.
#pragma once
#include <string>
#include <vector>

// The user's home: HOME when it is absolute, else the home of the user's account entry, else
// "" (none).
std::string userHome(const char* homeVariable);

// $XDG_DATA_HOME/quorbel/ (absolute only), else HOME/.local/share/quorbel/; "" without either.
std::string userDataFolder(const char* xdgDataHome, const std::string& home);

// The data the core reads for this run.
struct DataPlace {
    std::string hostFolder;    // the core's host folder (with a trailing '/')
    bool userWritable = false; // hostFolder is the user's data folder, written freely
    std::string runFolder;     // a folder made for this run (finishDataPlace removes it), or ""
    std::vector<std::string> messages; // what the user is told, one line each
};

// Prepares the user's data folder: its subfolders, and the installed palettes, letter objects
// and pictures it lacks (the user's own files win). When it cannot be written (or there is
// none), the run reads the installed data read-only instead, and the user's own subfolders
// where they hold files, through a folder made for this run under runtimeBase (else /dev/shm,
// else /tmp) whose tabs holds the five built-in tables, generated now. The messages say what
// failed and what the run uses.
DataPlace prepareDataPlace(const std::string& userData, const std::string& installed,
                           const char* runtimeBase);

// How many of the five built-in tables the tabs folder lacks.
int missingBuiltInTables(const std::string& tabsFolder);

// The first start's tables in a writable data folder: each of the five built-in tables the
// tabs folder lacks is generated (the user's files are never replaced), with progress(1..5).
// Returns how many of those asked for could not be written.
int writeMissingBuiltInTables(const std::string& tabsFolder, void (*progress)(int, void*),
                              void* context);

// The end of the run: the folder made for it is removed with its tables; files the run left
// there (shots, the error log) are kept, and a message says where.
void finishDataPlace(DataPlace& place, std::vector<std::string>& messages);
