#pragma once

#include <QString>

namespace veltrane::test {

class EnvironmentGuard;

// The Wine of this test run: the scratch prefix that the test wine_prefix made once for
// every Wine test (prepare-prefix.sh), and the settings under which the program finds it.
class WineEnvironment {
public:
    WineEnvironment();

    // Empty when Wine runs here; otherwise why not, to say in the skip message.
    QString unavailableReason() const { return m_reason; }
    QString prefix() const;
    // The same prefix without its Z: drive, as some users keep theirs.
    QString prefixWithoutZ() const;
    // The Windows stand-in serialiser in the prefix's system folder; empty when MinGW was
    // not there to build it.
    QString windowsSerializer() const;
    // The Windows form of a host path below the prefix's drive_c ("C:\...") or anywhere else
    // ("Z:\..."), written out here rather than asked of the program under test.
    QString windowsForm(const QString& hostPath) const;

    // This process's environment as a user's with Wine: `wine` alone on the search path,
    // the given prefix, and Wine kept quiet and away from any display.
    void use(EnvironmentGuard& environment, const QString& prefix) const;

private:
    QString m_dir;
    QString m_reason;
};

} // namespace veltrane::test

// Skips the running test, saying why, where Wine cannot start.
#define VELTRANE_REQUIRE_WINE(wine)                                                                \
    do {                                                                                           \
        if (!(wine).unavailableReason().isEmpty())                                                 \
            QSKIP(qPrintable(u"Wine cannot start here: "_s + (wine).unavailableReason()));         \
    } while (false)
