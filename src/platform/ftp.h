// The one FTP connection of the process. Names and paths are UTF-8 and are
// sent as they are; a server name is relative to the server's current
// directory, a local name to the process's current directory.
//
// Every call runs on the user-interface thread and returns when the server
// has answered, or with its failure result when the step made no progress
// for 30 s or the user closed a window meanwhile (the connection is then
// closed). Every operation but open() fails (false, "" or no entries)
// while no connection is open.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr std::uint32_t kAttrDirectory = 16;

// A calendar time as a listing reports it (no time-zone conversion here).
struct DateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool operator==(const DateTime&) const = default;
};

// One entry of a directory listing, local or remote.
struct DirEntry {
    std::string name;
    std::uint32_t attributes = 0;   // kAttrDirectory for directories
    std::uint64_t size = 0;         // the whole size, 2 GiB and more included
    DateTime time;                  // last write
};

class Ftp {
public:
    virtual ~Ftp() = default;

    // Closes any open connection first, then connects and logs in. Absent
    // account and password mean an anonymous login; port 0 is the FTP
    // default port; a port outside 0..65535 fails. Active mode unless
    // `passive`. True when the server accepted the login.
    virtual bool open(std::string_view server, const std::optional<std::string>& account,
                      const std::optional<std::string>& password, int port, bool passive) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual std::string currentDirectory() = 0;
    virtual bool setCurrentDirectory(std::string_view path) = 0;

    // The entries of the current directory that match `pattern`; a pattern
    // ending in "*.*" is sent ending in "*". Fresh from the server, never
    // from a cache. Empty on failure.
    virtual std::vector<DirEntry> list(std::string_view pattern) = 0;

    // Binary transfers, true only when the server confirmed the transfer and
    // the sizes agree. get() replaces an existing local file only then.
    virtual bool get(std::string_view remote, std::string_view local) = 0;
    virtual bool put(std::string_view local, std::string_view remote) = 0;
    virtual bool removeFile(std::string_view name) = 0;
    virtual bool rename(std::string_view from, std::string_view to) = 0;
    virtual bool createDirectory(std::string_view name) = 0;
    virtual bool removeDirectory(std::string_view name) = 0;
};

}  // namespace platform
