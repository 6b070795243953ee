#include "sdl/data_folders.h"

#include "media/builtin_tables.h"
#include "media/translation_table.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const kCopiedFolders[3] = {"maps", "objs", "pics"};

bool holdsFiles(const fs::path& folder, const char* extension = nullptr) {
    std::error_code code;
    for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
        if (!it->is_regular_file(code)) continue;
        if (!extension || it->path().extension() == extension) return true;
    }
    return false;
}

// Creates the folder and its subfolders and writes a file into it; "" when that worked, else
// what failed.
std::string tryWriting(const fs::path& folder) {
    std::error_code code;
    for (const char* sub : {"maps", "objs", "pics", "tabs"}) {
        fs::create_directories(folder / sub, code);
        if (code) return code.message();
    }
    const fs::path probe = folder / (".quorbel-probe-" + std::to_string(getpid()));
    {
        std::ofstream file(probe, std::ios::binary | std::ios::trunc);
        if (!file) return std::strerror(errno);
        file << "x";
        file.flush();
        if (!file) return "cannot write a file in it";
    }
    fs::remove(probe, code);
    return std::string();
}

bool tableComplete(const fs::path& path) {
    std::error_code code;
    return fs::is_regular_file(path, code) &&
           fs::file_size(path, code) == uint64_t(kTableFileBytes);
}

} // namespace

std::string userHome(const char* homeVariable) {
    if (homeVariable && homeVariable[0] == '/') return homeVariable;
    if (const passwd* entry = getpwuid(getuid()))
        if (entry->pw_dir && entry->pw_dir[0] == '/') return entry->pw_dir;
    return std::string();
}

std::string userDataFolder(const char* xdgDataHome, const std::string& home) {
    std::string base;
    if (xdgDataHome && xdgDataHome[0] == '/')
        base = xdgDataHome;
    else if (!home.empty())
        base = home + "/.local/share";
    else
        return std::string();
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/quorbel/";
}

DataPlace prepareDataPlace(const std::string& userData, const std::string& installed,
                           const char* runtimeBase) {
    DataPlace place;
    std::string failure = userData.empty() ? "there is no home folder (HOME is not set and the "
                                             "account has none)"
                                           : tryWriting(userData);
    if (failure.empty()) {
        place.hostFolder = userData;
        place.userWritable = true;
        int failed = 0;
        std::string reason;
        for (const char* folder : kCopiedFolders) {
            const fs::path target = fs::path(userData) / folder;
            std::error_code code;
            for (fs::directory_iterator it(fs::path(installed) / folder, code), end;
                 !code && it != end; it.increment(code)) {
                if (!it->is_regular_file(code)) continue;
                const fs::path to = target / it->path().filename();
                std::error_code copyCode;
                if (fs::exists(to, copyCode)) continue;
                if (!fs::copy_file(it->path(), to, copyCode)) {
                    ++failed;
                    reason = copyCode.message();
                    fs::remove(to, copyCode); // no half copies
                }
            }
        }
        if (failed)
            place.messages.push_back("could not copy " + std::to_string(failed) +
                                     " installed data files into " + userData + " (" + reason +
                                     "); the next start tries again");
        return place;
    }

    // Read-only: the user's subfolders that hold files, else the installed ones, linked from a
    // folder of this run's own, whose tabs gets the built-in tables.
    const std::string what =
        userData.empty() ? failure
                         : "cannot write the data folder " + userData + " (" + failure + ")";
    std::vector<std::string> bases;
    if (runtimeBase && runtimeBase[0] == '/') bases.push_back(runtimeBase);
    bases.push_back("/dev/shm");
    bases.push_back("/tmp");
    for (const std::string& base : bases) {
        std::string pattern = base + "/quorbel-run-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data())) {
            place.runFolder = name.data();
            break;
        }
    }
    if (place.runFolder.empty()) {
        place.hostFolder = installed.back() == '/' ? installed : installed + "/";
        place.messages.push_back(what + ": using the installed data read-only from " + installed +
                                 ", without the built-in tables (no folder could be made for "
                                 "them); shots are not saved");
        return place;
    }
    const fs::path run = place.runFolder;
    std::error_code code;
    for (const char* folder : kCopiedFolders) {
        const fs::path own = userData.empty() ? fs::path() : fs::path(userData) / folder;
        const fs::path from = !own.empty() && holdsFiles(own) ? own : fs::path(installed) / folder;
        fs::create_directory_symlink(from, run / folder, code);
    }
    const fs::path ownTabs = userData.empty() ? fs::path() : fs::path(userData) / "tabs";
    bool tablesMade = false;
    if (!ownTabs.empty() && holdsFiles(ownTabs, ".tab")) {
        fs::create_directory_symlink(ownTabs, run / "tabs", code);
    } else {
        fs::create_directory(run / "tabs", code);
        generateBuiltInTables((run / "tabs").string(), true, nullptr, nullptr);
        tablesMade = true;
    }
    place.hostFolder = place.runFolder + "/";
    place.messages.push_back(
        what + ": using the installed data read-only from " + installed +
        (tablesMade ? ", the built-in tables made for this run in " : ", this run's folder ") +
        place.runFolder + " (removed at the end; shots go there too)");
    return place;
}

namespace {
bool builtInTablePresent(const fs::path& folder, int order) {
    std::error_code code;
    // The third is "smoke.tab" once the configuration page has made it again.
    return fs::exists(folder / builtInTableName(order, true), code) ||
           (order == 2 && fs::exists(folder / builtInTableName(order, false), code));
}
} // namespace

int missingBuiltInTables(const std::string& tabsFolder) {
    int missing = 0;
    for (int i = 0; i < kBuiltInTableCount; ++i)
        if (!builtInTablePresent(tabsFolder, i)) ++missing;
    return missing;
}

int writeMissingBuiltInTables(const std::string& tabsFolder, void (*progress)(int, void*),
                              void* context) {
    static void (*const generators[kBuiltInTableCount])(const std::string&) = {
        generateSpaceTable, generateRotateTable, generateSpiralDownTable, generateHurricaneTable,
        generateBigWheelTable};
    const fs::path folder = tabsFolder;
    int failed = 0;
    for (int i = 0; i < kBuiltInTableCount; ++i) {
        const fs::path path = folder / builtInTableName(i, true);
        std::error_code code;
        if (!builtInTablePresent(folder, i)) {
            generators[i](path.string());
            if (!tableComplete(path)) {
                ++failed;
                fs::remove(path, code); // a table cut short by a full disk would be read as one
            }
        }
        if (progress) progress(i + 1, context);
    }
    return failed;
}

void finishDataPlace(DataPlace& place, std::vector<std::string>& messages) {
    if (place.runFolder.empty()) return;
    const fs::path run = place.runFolder;
    std::error_code code;
    for (const char* folder : {"maps", "objs", "pics", "tabs"}) {
        if (fs::is_symlink(run / folder, code))
            fs::remove(run / folder, code);
        else
            fs::remove_all(run / folder, code);
    }
    if (fs::is_empty(run, code))
        fs::remove(run, code);
    else
        messages.push_back("this run's shots and error log are in " + place.runFolder);
    place.runFolder.clear();
}
