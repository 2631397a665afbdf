/* A stand-in for the game's serialiser as Windows programs meet it: a Windows program that
 * honours the two command forms, run by Wine. It takes the command as Windows gives it (its
 * command line, Windows paths, its current folder), turns the two paths back into host paths
 * and hands the conversion to the Linux stand-in (tools/serz-substitute), so that both write
 * the same files; its error output comes through, and its exit status becomes this program's.
 *
 * Wine starts a host program from a Windows one but cannot wait for it nor read its exit
 * status, so the host program runs under /bin/sh, which writes the status into a file that
 * this program waits for.
 *
 * VELTRANE_SUBSTITUTE_LOG (a host path) receives, before the Linux stand-in's own lines,
 * "windows folder: " and "windows argument: " lines. VELTRANE_SUBSTITUTE_FAIL=hang (or
 * "xml:hang", "bin:hang") makes this Windows program itself never end; the other modes are
 * the Linux stand-in's. */

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#ifndef VELTRANE_UNIX_SERZ
#error "VELTRANE_UNIX_SERZ must name the Linux stand-in"
#endif

typedef char*(CDECL* UnixFileName)(LPCWSTR);
typedef WCHAR*(CDECL* DosFileName)(LPCSTR);

static UnixFileName toUnix;
static DosFileName toDos;

static int fail(const char* what)
{
    fprintf(stderr, "serz (Windows stand-in): %s\n", what);
    return 3;
}

static char* utf8(const WCHAR* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    char* bytes = malloc((size_t)size);
    if (bytes)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, size, NULL, NULL);
    return bytes;
}

static WCHAR* wide(const char* bytes)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, bytes, -1, NULL, 0);
    WCHAR* text = malloc(sizeof(WCHAR) * (size_t)size);
    if (text)
        MultiByteToWideChar(CP_UTF8, 0, bytes, -1, text, size);
    return text;
}

/* The host path of a Windows path, relative ones taken from the current folder. */
static char* hostPath(const WCHAR* windowsPath)
{
    WCHAR full[4096];
    const DWORD length = GetFullPathNameW(windowsPath, 4096, full, NULL);
    if (length == 0 || length >= 4096)
        return NULL;
    return toUnix(full);
}

static void logLine(FILE* log, const char* label, const WCHAR* text)
{
    char* bytes = utf8(text);
    if (bytes)
        fprintf(log, "%s%s\n", label, bytes);
    free(bytes);
}

static void logWindowsSide(const WCHAR* input, const WCHAR* output)
{
    const char* log = getenv("VELTRANE_SUBSTITUTE_LOG");
    if (!log || !*log)
        return;
    WCHAR* logPath = toDos(log);
    FILE* file = logPath ? _wfopen(logPath, L"ab") : NULL;
    if (file) {
        WCHAR folder[4096];
        if (GetCurrentDirectoryW(4096, folder) > 0)
            logLine(file, "windows folder: ", folder);
        logLine(file, "windows argument: ", input);
        logLine(file, "windows argument: ", output);
        fclose(file);
    }
    if (logPath)
        HeapFree(GetProcessHeap(), 0, logPath);
}

static int hangs(const WCHAR* kind)
{
    const char* setting = getenv("VELTRANE_SUBSTITUTE_FAIL");
    if (!setting)
        return 0;
    char prefixed[16];
    snprintf(prefixed, sizeof prefixed, "%ls:hang", kind);
    return strcmp(setting, "hang") == 0 || _stricmp(setting, prefixed) == 0;
}

/* "0\n" and the like, once the shell has written it whole. */
static int readStatus(const WCHAR* path, int* status)
{
    FILE* file = _wfopen(path, L"rb");
    if (!file)
        return 0;
    char text[32] = {0};
    const size_t got = fread(text, 1, sizeof text - 1, file);
    fclose(file);
    if (got == 0 || text[got - 1] != '\n')
        return 0;
    *status = atoi(text);
    return 1;
}

int wmain(int argc, WCHAR** argv)
{
    if (argc != 3 || wcslen(argv[2]) < 5 || argv[2][3] != L':') {
        fprintf(stderr, "usage: serz IN xml:OUT | serz IN bin:OUT\n");
        return 2;
    }
    WCHAR kind[4] = {argv[2][0], argv[2][1], argv[2][2], 0};
    if (_wcsicmp(kind, L"xml") != 0 && _wcsicmp(kind, L"bin") != 0) {
        fprintf(stderr, "unknown output kind\n");
        return 2;
    }
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    toUnix = (UnixFileName)(void*)GetProcAddress(kernel, "wine_get_unix_file_name");
    toDos = (DosFileName)(void*)GetProcAddress(kernel, "wine_get_dos_file_name");
    if (!toUnix || !toDos)
        return fail("this stand-in runs under Wine only");

    logWindowsSide(argv[1], argv[2]);
    if (hangs(kind)) {
        for (;;)
            Sleep(INFINITE);
    }

    char* input = hostPath(argv[1]);
    char* output = hostPath(argv[2] + 4);
    WCHAR* shell = toDos("/bin/sh");
    WCHAR temp[MAX_PATH];
    WCHAR statusFile[MAX_PATH + 16];
    if (!input || !output || !shell)
        return fail("a path has no host form");
    if (GetTempPathW(MAX_PATH, temp) == 0 || GetTempFileNameW(temp, L"szs", 0, temp) == 0)
        return fail("no temporary file");
    swprintf(statusFile, MAX_PATH + 16, L"%ls.status", temp);
    char* status = hostPath(statusFile);
    if (!status)
        return fail("the temporary folder has no host form");

    WCHAR* serz = wide(VELTRANE_UNIX_SERZ);
    WCHAR* inputText = wide(input);
    WCHAR* outputText = wide(output);
    WCHAR* statusText = wide(status);
    if (!serz || !inputText || !outputText || !statusText)
        return fail("out of memory");
    /* $0 is the Linux stand-in; its output goes where errors go, as it would on Windows. */
    const WCHAR* script = L"\\\"$0\\\" \\\"$1\\\" \\\"$2\\\" >&2; echo $? > \\\"$3\\\"";
    const size_t size = wcslen(script) + wcslen(serz) + wcslen(inputText) +
                        wcslen(outputText) + wcslen(statusText) + 64;
    WCHAR* command = malloc(sizeof(WCHAR) * size);
    if (!command)
        return fail("out of memory");
    swprintf(command, size, L"sh -c \"%ls\" \"%ls\" \"%ls\" \"%ls:%ls\" \"%ls\"", script, serz,
             inputText, kind, outputText, statusText);

    STARTUPINFOW startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    if (!CreateProcessW(shell, command, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process))
        return fail("the Linux stand-in could not be started");
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    int code = 0;
    while (!readStatus(statusFile, &code))
        Sleep(20);
    DeleteFileW(statusFile);
    DeleteFileW(temp);
    return code;
}
