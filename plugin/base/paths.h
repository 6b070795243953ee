// Where the plug-in finds its data: the folder of the host program's executable, with the
// subfolders maps, tabs, pics and objs.
#pragma once
#include <string>
#include <vector>

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// The host folder including its trailing separator. The Windows layer sets it from
// GetModuleFileNameA(NULL); tests set it to a folder of their own.
const std::string& hostDirectory();
void setHostDirectory(const std::string& directoryWithSeparator);

// hostDirectory() + folder + separator (+ name).
std::string dataFolder(const char* folder);
std::string dataPath(const char* folder, const char* name);

// The names (without folder) of the regular files in folder whose names end in extension
// (".map", ".tab", ...), in the order the system lists them. Matching of the extension follows
// the system: case-insensitive on Windows, case-sensitive elsewhere. A missing folder gives an
// empty list.
std::vector<std::string> listFiles(const std::string& folder, const char* extension);

// True when a file of that name exists.
bool fileExists(const std::string& path);
