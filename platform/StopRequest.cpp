#include "StopRequest.h"

#include <QtGlobal> // Q_OS_WIN
#include <atomic>
#include <csignal>
#include <signal.h>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace veltrane {

namespace {

std::atomic<bool> stopRequested{false};

#ifdef Q_OS_WIN
BOOL WINAPI onConsoleEvent(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    // The second one is left to the system, which ends the program.
    return stopRequested.exchange(true) ? FALSE : TRUE;
}
#else
void onSignal(int)
{
    stopRequested.store(true);
}
#endif

} // namespace

void StopRequest::watch()
{
#ifdef Q_OS_WIN
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Waits go on where they were; the second request meets the default handler again and
    // ends the program as it would have without us.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

bool StopRequest::requested()
{
    return stopRequested.load();
}

} // namespace veltrane
