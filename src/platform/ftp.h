// The one FTP connection of the process. Names and paths are UTF-8 here; a
// server name is relative to the server's current directory, a local name
// to the process's current directory.
//
// On the wire names are bytes in the connection's encoding: UTF-8 when the
// server accepted "OPTS UTF8 ON" after the login, else the system's ANSI
// code page. An entry of the current directory's last listing is sent as
// the bytes the server gave for it; any other name is encoded. A call with
// a name that does not fit (see fits()) fails with nothing sent or written.
//
// Every call runs on the user-interface thread and returns when the server
// has answered, or with its failure result when no byte crossed the step's
// connections for 30 s, or when the step's window was closed or the program
// is ending (the connection is then closed). Closes of other windows wait
// for the step. Every operation but open() fails (false, "" or no entries)
// while no connection is open.
//
// The connection opens in the mode asked for. When an active-mode data
// connection cannot be made (the server refuses PORT/EPRT, answers 425, or
// cannot be reached on the data connection) before any data byte came, the
// connection logs in again in passive mode, goes back to the directory it
// was in, repeats the step once, and stays passive from then on.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ui {
class Form;
}

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
    // The server's bytes for the name do not decode in the connection's
    // encoding: `name` shows them with U+FFFD, and no call takes it.
    bool undecodable = false;
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

    // Binary transfers. Done when the data is complete, no 4xx/5xx final
    // reply came, and the server confirmed it: a 2xx final reply, or a size
    // it reports for the file (SIZE, or the listing of that one file) equal
    // to the bytes moved. A reported size that disagrees, or a control
    // connection that broke while the reply was read, fails it. get()
    // replaces an existing local file only when done.
    virtual bool get(std::string_view remote, std::string_view local) = 0;
    virtual bool put(std::string_view local, std::string_view remote) = 0;
    virtual bool removeFile(std::string_view name) = 0;
    virtual bool rename(std::string_view from, std::string_view to) = 0;
    virtual bool createDirectory(std::string_view name) = 0;
    virtual bool removeDirectory(std::string_view name) = 0;

    // Whether `name` (or a path) can go to the server: an entry of the last
    // listing whose bytes decoded, or a text the connection's encoding
    // holds without CR, LF, NUL or U+FFFD. Asks the server nothing.
    virtual bool fits(std::string_view name) {
        (void)name;
        return true;
    }

    // The window whose close ends a step under way (nullptr: none; only the
    // end of the program does). Not owned.
    virtual void setStepWindow(ui::Form* window) { (void)window; }

    // Called on the calling thread a few times a second while get() or
    // put() moves data: bytes moved so far and the file's size (0 when the
    // server does not tell it). An empty function stops the calls.
    using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;
    virtual void setProgress(Progress progress) { (void)progress; }
};

}  // namespace platform
