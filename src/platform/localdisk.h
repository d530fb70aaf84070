// The local disk as the FTP window sees it: the process's current drive and
// directory, the entries of the current directory, and the open handle that
// the remembered login keeps on its file. Paths are UTF-8; relative ones
// are taken from the process's current directory.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ftp.h"

namespace platform {

// A file kept open until this object goes.
class HeldFile {
public:
    virtual ~HeldFile() = default;
};

class LocalDisk {
public:
    virtual ~LocalDisk() = default;

    // Full path of the current directory ("C:\" at a root, no trailing
    // separator elsewhere).
    virtual std::string currentDirectory() = 0;
    virtual bool setCurrentDirectory(std::string_view path) = 0;
    // Makes the drive with this letter current, at that drive's own current
    // directory.
    virtual bool setCurrentDrive(char letter) = 0;

    // Every entry of the current directory in enumeration order, hidden and
    // system ones included, "." and ".." as the system reports them. Times
    // are local times.
    virtual std::vector<DirEntry> list() = 0;

    // Opens a file for reading and writing, sharing both with others; the
    // file stays open while the result lives. nullptr when it cannot be
    // opened.
    virtual std::unique_ptr<HeldFile> holdOpen(std::string_view path) = 0;
    // Creates or replaces a file with these bytes while others (a held
    // handle) may have it open for reading and writing.
    virtual bool writeShared(std::string_view path, std::string_view bytes) = 0;
};

}  // namespace platform
