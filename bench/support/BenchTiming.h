#pragma once

#include <QString>
#include <functional>
#include <utility>

namespace veltrane::bench {

// Wall time of one run, in milliseconds.
double timeMs(const std::function<void()>& work);
// The best of several runs: the least disturbed by the rest of the machine.
double bestMs(int runs, const std::function<void()>& work);

// Processor time of this thread (user and system) for one run, in milliseconds: work done
// in this process, without the time other processes take the processor away. Wall time
// where the system has no thread clock.
double cpuMs(const std::function<void()>& work);
double bestCpuMs(int runs, const std::function<void()>& work);

// The best processor times of two kinds of work run in turn, so that both meet the same
// conditions of the machine (disk flushes, other processes), each on a heap that has given
// its free memory back: {baseline, measured}.
std::pair<double, double> bestCpuMsInTurn(int runs, const std::function<void()>& baseline,
                                          const std::function<void()>& measured);

// Hands the heap's free memory back to the system, so that the next run meets memory as a
// program that does the work once does: every large buffer faulted in afresh. Untimed.
void releaseFreeMemory();

// Prints "name: <ratio>x (baseline <ms> ms, measured <ms> ms, goal <= <goal>x)", without
// the goal when there is none (0).
void report(const QString& name, double baselineMs, double measuredMs, double goal = 0);

// The process's peak resident memory so far, in KiB (0 where the system does not say).
long peakRssKb();

// A size or count from the environment, for quick runs; fallback when unset or not a
// positive number.
qint64 envNumber(const char* name, qint64 fallback);

} // namespace veltrane::bench
