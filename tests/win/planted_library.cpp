// A library the DLL search test plants under a system library's name in the
// folder of a program it starts. Should the program ever load it, it writes
// its own path into the file KORVAN_PLANTED_LOG names and ends the program
// (exit code 86) there and then, so no crash report is left waiting.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t log[MAX_PATH], path[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(L"KORVAN_PLANTED_LOG", log, MAX_PATH);
    const DWORD len = GetModuleFileNameW(self, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        HANDLE f = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(f, path, len * sizeof(wchar_t), &written, nullptr);
            CloseHandle(f);
        }
    }
    TerminateProcess(GetCurrentProcess(), 86);
    return FALSE;
}
