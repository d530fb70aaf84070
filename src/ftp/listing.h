// The rules of the FTP window's two lists, apart from the window: which
// entries show, in which order, with which texts, and the path arithmetic
// of moving up on the server.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ftp.h"

namespace ftp {

// Item values (and images) of list entries.
inline constexpr int kUpEntry = 0;
inline constexpr int kDirectory = 1;
inline constexpr int kFile = 2;

// One row of a list: title, item value (also the image index) and the two
// other columns.
struct Row {
    std::string title;
    int value = kFile;
    std::string size;   // column 1: decimal bytes, files only
    std::string time;   // column 2: empty for the up entry
    bool operator==(const Row&) const = default;
};

// "2010年6月2日12时20分7秒", "2010年6月2日12时20分", "2010年6月2日12时",
// "2010年6月2日": the time part stops at the last non-zero field.
std::string timeText(const platform::DateTime& t);

// Rows of the server list for directory `dir` (as the server reports it):
// the up entry unless `dir` is "/", then the directories not starting with
// "." in server order, then every file in server order.
std::vector<Row> remoteRows(const std::vector<platform::DirEntry>& entries, std::string_view dir);

// Rows of the local list: ".." as the up entry and the other directories
// ("." skipped) in enumeration order, then every file.
std::vector<Row> localRows(const std::vector<platform::DirEntry>& entries);

// Where the server's up entry leads from `dir`: /a/b -> /a, /a -> /,
// /a/b/ -> /a/b. nullopt when `dir` holds no "/".
std::optional<std::string> remoteParent(std::string_view dir);

// Whether a name from the server may become a local file name in the
// current directory: not empty, not "." or "..", no "/", "\", ":" or
// control character, and not a device name (CON, PRN, AUX, NUL, CONIN$,
// CONOUT$, COM0-9, LPT0-9, COM¹-³, LPT¹-³, also with an extension or
// trailing blanks and dots).
bool isPlainFileName(std::string_view name);

// The port box read as a number: its leading numeric part truncated toward
// zero ("2121abc" -> 2121, "21.9" -> 21, "" -> 0).
int parsePort(std::string_view text);

}  // namespace ftp
