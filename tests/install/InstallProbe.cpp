// The install engine as a program of its own, for tests that end it from outside: it runs one
// install on the folders it is given, answers every question Yes, and kills itself with
// SIGKILL when the install lets the window breathe for the Nth time.
//   install-probe <package folder> <game folder> <route|scenario|assets> [N]
// Without N it runs to the end and prints how often the window could breathe.
#include "install/InstallOperation.h"
#include "util/AppState.h"
#include "util/UserInterface.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace veltrane;

namespace {

class ProbeUserInterface : public UserInterface {
public:
    explicit ProbeUserInterface(long killAt) : m_killAt(killAt) {}

    void showMessage(const QString& text, Icon) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool askYesNo(const QString& text) override
    {
        std::fprintf(stderr, "question: %s\n", qPrintable(text));
        return true;
    }
    void showReport(const QString&) override {}
    void processEvents() override
    {
        if (++m_pumps == m_killAt)
            ::kill(::getpid(), SIGKILL);
    }
    void setBusy(bool) override {}
    void showProgress(qint64, qint64) override {}
    bool closeRequested() const override { return false; }

    long pumps() const { return m_pumps; }

private:
    long m_killAt;
    long m_pumps = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 4)
        return 2;
    const QString kindName = arguments[3];
    const PackageKind kind = kindName == QLatin1String("route")      ? PackageKind::Route
                             : kindName == QLatin1String("scenario") ? PackageKind::Scenario
                                                                     : PackageKind::Assets;
    ProbeUserInterface ui(arguments.size() > 4 ? arguments[4].toLong() : 0);
    AppState state;
    InstallRequest request = InstallRequest::forFolder(HostPath::fromHost(arguments[1]), kind);
    request.setGame(arguments[2]);
    const auto outcome = InstallOperation(state, ui, std::move(request)).run();
    std::printf("%ld\n", ui.pumps());
    return outcome == InstallOperation::Outcome::Completed ? 0 : 1;
}
