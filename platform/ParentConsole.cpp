#include "ParentConsole.h"

#include <QtGlobal> // Q_OS_WIN

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace veltrane {

void ParentConsole::attach()
{
#ifdef Q_OS_WIN
    const auto leadsSomewhere = [](DWORD which) {
        const HANDLE handle = GetStdHandle(which);
        return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
               GetFileType(handle) != FILE_TYPE_UNKNOWN;
    };
    const bool outputLeads = leadsSomewhere(STD_OUTPUT_HANDLE);
    const bool errorLeads = leadsSomewhere(STD_ERROR_HANDLE);
    if ((outputLeads && errorLeads) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    FILE* reopened = nullptr;
    if (!outputLeads)
        freopen_s(&reopened, "CONOUT$", "w", stdout);
    if (!errorLeads)
        freopen_s(&reopened, "CONOUT$", "w", stderr);
#endif
}

bool ParentConsole::isTerminal(std::FILE* stream)
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stream)) != 0;
#else
    return ::isatty(fileno(stream)) != 0;
#endif
}

} // namespace veltrane
