// Where the loader looks for a library named without a path.
#pragma once

namespace win32 {

// Restricts the search for libraries named without a path to the system
// folder, so that nothing in the program's folder (often a downloads folder)
// or in the current directory is taken for a system library. Call once at
// start, before any library is loaded by name; affects the whole process.
// Windows 7 without KB2533623 has no SetDefaultDllDirectories: there only
// the current directory is taken out of the search, and false is returned.
bool restrictDllSearchToSystemFolder();

}  // namespace win32
