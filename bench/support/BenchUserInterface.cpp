#include "BenchUserInterface.h"

#include <QCoreApplication>
#include <cstdio>

namespace veltrane::bench {

void BenchUserInterface::showMessage(const QString& text, Icon)
{
    // A message in a benchmark means the measured work failed; say so.
    ++messages;
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
}

bool BenchUserInterface::askYesNo(const QString&)
{
    return true;
}

void BenchUserInterface::showReport(const QString&) {}

void BenchUserInterface::processEvents()
{
    QCoreApplication::processEvents();
}

} // namespace veltrane::bench
