#include "BenchTiming.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <limits>

#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <time.h>
#endif

namespace veltrane::bench {

double timeMs(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

double bestMs(int runs, const std::function<void()>& work)
{
    double best = std::numeric_limits<double>::max();
    for (int i = 0; i < std::max(runs, 1); ++i)
        best = std::min(best, timeMs(work));
    return best;
}

double cpuMs(const std::function<void()>& work)
{
#if defined(Q_OS_UNIX) && defined(CLOCK_THREAD_CPUTIME_ID)
    timespec start{};
    timespec end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    work();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return double(end.tv_sec - start.tv_sec) * 1e3 + double(end.tv_nsec - start.tv_nsec) / 1e6;
#else
    return timeMs(work);
#endif
}

double bestCpuMs(int runs, const std::function<void()>& work)
{
    double best = std::numeric_limits<double>::max();
    for (int i = 0; i < std::max(runs, 1); ++i)
        best = std::min(best, cpuMs(work));
    return best;
}

std::pair<double, double> bestCpuMsInTurn(int runs, const std::function<void()>& baseline,
                                          const std::function<void()>& measured)
{
    double bestBaseline = std::numeric_limits<double>::max();
    double bestMeasured = std::numeric_limits<double>::max();
    for (int i = 0; i < std::max(runs, 1); ++i) {
        releaseFreeMemory();
        bestBaseline = std::min(bestBaseline, cpuMs(baseline));
        releaseFreeMemory();
        bestMeasured = std::min(bestMeasured, cpuMs(measured));
    }
    return {bestBaseline, bestMeasured};
}

void releaseFreeMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

void report(const QString& name, double baselineMs, double measuredMs, double goal)
{
    const double ratio = baselineMs > 0 ? measuredMs / baselineMs : 0;
    if (goal <= 0) {
        std::printf("%s: %.2fx (baseline %.3f ms, measured %.3f ms)\n", qPrintable(name), ratio,
                    baselineMs, measuredMs);
    } else {
        std::printf("%s: %.2fx (baseline %.3f ms, measured %.3f ms, goal <= %gx)%s\n",
                    qPrintable(name), ratio, baselineMs, measuredMs, goal,
                    ratio > goal ? "  MISSED" : "");
    }
    std::fflush(stdout);
}

long peakRssKb()
{
#ifdef Q_OS_LINUX
    // The process's own memory: getrusage keeps the figure of the program a child was
    // started from across exec.
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
#endif
#ifdef Q_OS_UNIX
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0)
        return usage.ru_maxrss;
#endif
    return 0;
}

qint64 envNumber(const char* name, qint64 fallback)
{
    bool ok = false;
    const qint64 value = qEnvironmentVariable(name).toLongLong(&ok);
    return ok && value > 0 ? value : fallback;
}

} // namespace veltrane::bench
