/* The launcher image that Tarnwick carries and brands. It reads the game name
 * and the list address that were stamped into its own version resource and
 * shows them: in a message box, or on standard output when run with /print. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <wchar.h>

/* Looks up one string of the first translation's table; an empty text when absent. */
static const wchar_t* VersionString(const void* block, const wchar_t* key)
{
    struct { WORD language, codePage; } *translation = NULL;
    UINT length = 0;
    if (!VerQueryValueW(block, L"\\VarFileInfo\\Translation", (void**)&translation, &length) ||
        length < sizeof *translation)
        return L"";
    wchar_t path[128];
    swprintf(path, sizeof path / sizeof path[0], L"\\StringFileInfo\\%04x%04x\\%ls",
             translation->language, translation->codePage, key);
    wchar_t* value = NULL;
    if (!VerQueryValueW(block, path, (void**)&value, &length) || length == 0)
        return L"";
    return value;
}

/* With the GUI subsystem there is no console unless the caller redirected
 * output or started us from one. */
static void Print(const wchar_t* text)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == NULL || out == INVALID_HANDLE_VALUE) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS))
            return;
        out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
        if (out == INVALID_HANDLE_VALUE)
            return;
    }
    char utf8[4096];
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL);
    if (size > 1) {
        DWORD written = 0;
        WriteFile(out, utf8, (DWORD)(size - 1), &written, NULL);
    }
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show)
{
    (void)instance;
    (void)previous;
    (void)show;
    wchar_t self[MAX_PATH];
    if (GetModuleFileNameW(NULL, self, MAX_PATH) == 0)
        return 1;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(self, &handle);
    void* block = size ? HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size) : NULL;
    if (block == NULL || !GetFileVersionInfoW(self, 0, size, block))
        return 1;

    wchar_t message[1024];
    swprintf(message, sizeof message / sizeof message[0], L"GameName: %ls\nServerList: %ls\n",
             VersionString(block, L"GameName"), VersionString(block, L"ServerList"));
    if (wcsstr(commandLine, L"/print") != NULL)
        Print(message);
    else
        MessageBoxW(NULL, message, VersionString(block, L"GameName"), MB_OK | MB_ICONINFORMATION);
    HeapFree(GetProcessHeap(), 0, block);
    return 0;
}
