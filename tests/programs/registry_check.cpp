// registry_check.exe: runs RegistryKey operations against one key of the registry and prints
// one line per operation, for the Wine tests of the registry store.
//
//   registry_check.exe ROOT PATH OPERATION...
//
// ROOT is HKLM or HKCU (RegistryKey::open of PATH under that root) or QUORBEL (openQuorbelKey
// with PATH as the sub-key, "-" for the settings key itself). The first line tells whether the
// key opened ("open ok=1"). The operations, each with its arguments:
//
//   exists NAME                    exists name="NAME" result=0|1
//   readDword NAME                 readDword name="NAME" result=N
//   writeDword NAME N              writeDword name="NAME" ok=0|1
//   getDword NAME DEFAULT          getDword name="NAME" result=N
//   readString NAME                readString name="NAME" ok=0|1 text="..."
//   writeString NAME TEXT          writeString name="NAME" ok=0|1
//   getString NAME DEFAULT         getString name="NAME" ok=0|1 text="..."
//   readBinary NAME CAPACITY       readBinary name="NAME" ok=0|1 stored=N data=HEX
//   guard=intact|broken writeBinary NAME HEX           writeBinary name="NAME" ok=0|1 valueNameAt
//   INDEX              valueNameAt index=I ok=0|1 name="..." walk                           walk
//   count=N names="A,B,..." (valueNameAt from 0 until it fails) deleteValue NAME deleteValue
//   name="NAME" ok=0|1
//
// readBinary reads into a buffer of CAPACITY bytes followed by guard bytes; data shows the
// CAPACITY bytes, guard whether the bytes after them are untouched. Texts are printed with \\,
// \" and \xHH escapes. Exit code 0, or 2 for a bad command line.
#include "win32/keymng.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
constexpr size_t kGuardBytes = 64;
constexpr unsigned char kGuardByte = 0xA5;

std::string quoted(const char* text) {
    std::string out = "\"";
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
        if (*c == '\\' || *c == '"') {
            out += '\\';
            out += static_cast<char>(*c);
        } else if (*c < 0x20 || *c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", *c);
            out += hex;
        } else {
            out += static_cast<char>(*c);
        }
    }
    return out + "\"";
}

std::string hexOf(const unsigned char* data, size_t size) {
    std::string out;
    char digits[3];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", data[i]);
        out += digits;
    }
    return out;
}

bool parseHex(const char* text, std::vector<unsigned char>& out) {
    const size_t length = std::strlen(text);
    if (length % 2) return false;
    for (size_t i = 0; i < length; i += 2) {
        char pair[3] = {text[i], text[i + 1], 0};
        char* end = nullptr;
        const long value = std::strtol(pair, &end, 16);
        if (*end) return false;
        out.push_back(static_cast<unsigned char>(value));
    }
    return true;
}

int usage(const char* reason) {
    std::printf("usage error=%s\n", quoted(reason).c_str());
    std::fflush(stdout);
    return 2;
}

// Runs the operation at args[i] and moves i past its arguments; false on a bad command line.
bool runOperation(RegistryKey& key, char** args, int count, int& i) {
    const std::string op = args[i];
    auto need = [&](int n) { return i + n < count; };
    if (op == "walk") {
        char name[260];
        std::string names;
        DWORD index = 0;
        while (key.valueNameAt(index, name)) {
            if (index) names += ",";
            names += name;
            ++index;
        }
        std::printf("walk count=%lu names=%s\n", static_cast<unsigned long>(index),
                    quoted(names.c_str()).c_str());
        i += 1;
        return true;
    }
    if (!need(1)) return false;
    const char* name = args[i + 1];
    const std::string q = quoted(name);
    if (op == "exists") {
        std::printf("exists name=%s result=%d\n", q.c_str(), key.exists(name) ? 1 : 0);
        i += 2;
    } else if (op == "readDword") {
        std::printf("readDword name=%s result=%ld\n", q.c_str(),
                    static_cast<long>(key.readDword(name)));
        i += 2;
    } else if (op == "readString") {
        // Filled beforehand, so that a destination left unset shows.
        char text[257];
        std::memset(text, 'x', 256);
        text[256] = '\0';
        const bool ok = key.readString(text, name, 256);
        std::printf("readString name=%s ok=%d text=%s\n", q.c_str(), ok ? 1 : 0,
                    quoted(text).c_str());
        i += 2;
    } else if (op == "deleteValue") {
        std::printf("deleteValue name=%s ok=%d\n", q.c_str(), key.deleteValue(name) ? 1 : 0);
        i += 2;
    } else if (op == "valueNameAt") {
        char found[260];
        std::strcpy(found, "");
        const bool ok = key.valueNameAt(static_cast<DWORD>(std::strtoul(name, nullptr, 10)), found);
        std::printf("valueNameAt index=%s ok=%d name=%s\n", name, ok ? 1 : 0,
                    quoted(ok ? found : "").c_str());
        i += 2;
    } else {
        if (!need(2)) return false;
        const char* argument = args[i + 2];
        if (op == "writeDword") {
            std::printf(
                "writeDword name=%s ok=%d\n", q.c_str(),
                key.writeDword(static_cast<int32_t>(std::strtol(argument, nullptr, 0)), name) ? 1
                                                                                              : 0);
        } else if (op == "getDword") {
            std::printf("getDword name=%s result=%ld\n", q.c_str(),
                        static_cast<long>(key.getDword(
                            static_cast<int32_t>(std::strtol(argument, nullptr, 0)), name)));
        } else if (op == "writeString") {
            std::printf("writeString name=%s ok=%d\n", q.c_str(),
                        key.writeString(argument, name) ? 1 : 0);
        } else if (op == "getString") {
            char text[257];
            std::memset(text, 'x', 256);
            text[256] = '\0';
            const bool ok = key.getString(text, argument, name, 256);
            std::printf("getString name=%s ok=%d text=%s\n", q.c_str(), ok ? 1 : 0,
                        quoted(text).c_str());
        } else if (op == "readBinary") {
            const size_t capacity = std::strtoul(argument, nullptr, 10);
            std::vector<unsigned char> buffer(capacity + kGuardBytes, kGuardByte);
            size_t stored = 0;
            const bool ok = key.readBinary(buffer.data(), name, capacity, &stored);
            bool intact = true;
            for (size_t at = capacity; at < buffer.size(); ++at)
                if (buffer[at] != kGuardByte) intact = false;
            std::printf("readBinary name=%s ok=%d stored=%lu data=%s guard=%s\n", q.c_str(),
                        ok ? 1 : 0, static_cast<unsigned long>(stored),
                        hexOf(buffer.data(), capacity).c_str(), intact ? "intact" : "broken");
        } else if (op == "writeBinary") {
            std::vector<unsigned char> data;
            if (!parseHex(argument, data)) return false;
            std::printf("writeBinary name=%s ok=%d\n", q.c_str(),
                        key.writeBinary(data.data(), name, static_cast<DWORD>(data.size())) ? 1
                                                                                            : 0);
        } else {
            return false;
        }
        i += 3;
    }
    return true;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage("ROOT PATH OPERATION...");
    const std::string root = argv[1];
    const char* path = argv[2];
    RegistryKey key;
    bool opened;
    if (root == "HKLM")
        opened = key.open(HKEY_LOCAL_MACHINE, path);
    else if (root == "HKCU")
        opened = key.open(HKEY_CURRENT_USER, path);
    else if (root == "QUORBEL")
        opened = openQuorbelKey(key, std::strcmp(path, "-") == 0 ? nullptr : path);
    else
        return usage("ROOT is HKLM, HKCU or QUORBEL");
    std::printf("open ok=%d\n", opened ? 1 : 0);
    for (int i = 3; i < argc;) {
        if (!runOperation(key, argv, argc, i)) {
            std::fflush(stdout);
            return usage((std::string("bad operation at ") + argv[i]).c_str());
        }
    }
    std::fflush(stdout);
    return 0;
}
