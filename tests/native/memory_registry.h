// An in-memory registry for the native tests. Key paths and value names are
// case-insensitive (ASCII), as in the real one; a key exists when it was
// created or holds values. It records every set and counts open keys, so a
// test can see what was written in which order and that every key was
// closed again. Its stored bytes are the data as put: a raw read returns
// them unchanged, a raw write stores them unchanged.
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/registry.h"

struct MemoryRegistry : platform::Registry {
    struct Write {
        std::string key, name;
        platform::RegistryType type;
        std::string data;
    };

    static std::string fold(std::string_view s) {
        std::string out(s);
        std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
        return out;
    }

    // --- test side ---
    void createKey(std::string_view path) { keys[fold(path)]; }
    void put(std::string_view path, std::string_view name, platform::RegistryType type, std::string_view data) {
        keys[fold(path)][fold(name)] = {type, std::string(data)};
    }
    // A string value with its terminating zero, as Windows stores it.
    void putText(std::string_view path, std::string_view name, std::string_view text) {
        put(path, name, platform::RegistryType::String, std::string(text) + '\0');
    }
    void putDword(std::string_view path, std::string_view name, std::uint32_t v) {
        std::string d(4, '\0');
        for (int i = 0; i < 4; ++i) d[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        put(path, name, platform::RegistryType::Dword, d);
    }
    const platform::RegistryValue* get(std::string_view path, std::string_view name) const {
        auto k = keys.find(fold(path));
        if (k == keys.end()) return nullptr;
        auto v = k->second.find(fold(name));
        return v == k->second.end() ? nullptr : &v->second;
    }

    std::map<std::string, std::map<std::string, platform::RegistryValue>> keys;
    std::set<std::string> readOnly;    // keys (folded) that do not open for writing
    std::string failSetOf;             // a value name whose writes (set, setRaw, remove) fail
    std::string failReadOf;            // a value name that exists but cannot be read raw
    std::vector<Write> writes;
    std::vector<std::string> opened;   // every path opened, in order
    int openKeys = 0;

    // --- the interface ---
    std::optional<Key> open(platform::RegistryRoot, std::string_view path, platform::RegistryAccess access) override {
        const std::string p = fold(path);
        if (!keys.count(p)) return std::nullopt;
        if (access == platform::RegistryAccess::ReadWrite && readOnly.count(p)) return std::nullopt;
        opened.push_back(p);
        handles[++lastHandle] = p;
        ++openKeys;
        return lastHandle;
    }
    std::optional<platform::RegistryValue> query(Key key, std::string_view name) override {
        auto h = handles.find(key);
        if (h == handles.end()) return std::nullopt;
        auto& values = keys[h->second];
        auto v = values.find(fold(name));
        if (v == values.end()) return std::nullopt;
        return v->second;
    }
    bool set(Key key, std::string_view name, platform::RegistryType type, std::string_view data) override {
        auto h = handles.find(key);
        if (h == handles.end() || (!failSetOf.empty() && fold(name) == fold(failSetOf))) return false;
        writes.push_back({h->second, std::string(name), type, std::string(data)});
        keys[h->second][fold(name)] = {type, std::string(data)};
        return true;
    }
    void close(Key key) override {
        if (handles.erase(key)) --openKeys;
    }
    platform::RawRead queryRaw(Key key, std::string_view name) override {
        using O = platform::RawRead::Outcome;
        auto h = handles.find(key);
        if (h == handles.end() || (!failReadOf.empty() && fold(name) == fold(failReadOf))) return {O::Failed, {}};
        auto& values = keys[h->second];
        auto v = values.find(fold(name));
        if (v == values.end()) return {O::Absent, {}};
        return {O::Found, {static_cast<std::uint32_t>(v->second.type), v->second.data}};
    }
    bool setRaw(Key key, std::string_view name, const platform::RawValue& value) override {
        return set(key, name, static_cast<platform::RegistryType>(value.type), value.bytes);
    }
    bool remove(Key key, std::string_view name) override {
        auto h = handles.find(key);
        if (h == handles.end() || (!failSetOf.empty() && fold(name) == fold(failSetOf))) return false;
        keys[h->second].erase(fold(name));
        removed.push_back(std::string(name));
        return true;
    }
    std::vector<std::string> removed;   // value names deleted, in order

private:
    std::map<Key, std::string> handles;
    Key lastHandle = 0;
};
