// The registry key of the favourites and forbiddens, in memory: the key interface the favourite
// tables are templates over, for tests and the soak.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

struct MemoryKey {
    std::map<std::string, std::vector<uint8_t>> values;
    std::vector<std::string> order;
    bool exists(const char* name) const { return values.count(name) != 0; }
    bool valueNameAt(unsigned index, char* name) const {
        if (index >= order.size()) return false;
        std::snprintf(name, 260, "%s", order[index].c_str());
        return true;
    }
    bool readBinary(void* out, const char* name, size_t capacity, size_t* stored) const {
        auto found = values.find(name);
        if (found == values.end()) return false;
        *stored = found->second.size();
        std::memcpy(out, found->second.data(), std::min(capacity, found->second.size()));
        return true;
    }
    bool writeBinary(const void* data, const char* name, unsigned long count) {
        if (!values.count(name)) order.push_back(name);
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        values[name].assign(bytes, bytes + count);
        return true;
    }
    void erase(const std::string& name) {
        values.erase(name);
        order.erase(std::find(order.begin(), order.end(), name));
    }
};
