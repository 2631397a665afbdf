// The scenario branch's own work against the plain file work it cannot avoid, measured in
// the same run:
//   text work: the list read, 100 keys' records removed, the new record put in and the list
//              written, against one plain read and write of the same file;
//   stock check: 10,000 required blueprints, all present, against a bare loop of the same
//              existence tests.
#include "install/ScenarioInstaller.h"
#include "install/ScenarioListSplice.h"
#include "platform/EngineContext.h"
#include "platform/Shell.h"
#include "util/AppState.h"
#include "util/MyFile.h"
#include "util/UserInterface.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;
using namespace veltrane;

namespace {

class QuietUserInterface : public UserInterface {
public:
    void showMessage(const QString& text, Icon) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool askYesNo(const QString&) override { return false; }
    void showReport(const QString&) override {}
    void processEvents() override {}
    void setBusy(bool) override {}
    void showProgress(qint64, qint64) override {}
    bool closeRequested() const override { return false; }
};

// The best of a few runs, in milliseconds: the least disturbed by the rest of the machine.
double bestOf(int runs, const std::function<void()>& work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

// goal 0: shown for comparison only.
void report(const char* name, double baseline, double measured, double goal)
{
    std::printf("%s: %.2fx (baseline %.1f ms, measured %.1f ms", name, measured / baseline,
                baseline, measured);
    if (goal > 0)
        std::printf(", goal <= %.2gx", goal);
    std::printf(")\n");
}

QString guid(int n)
{
    return u"%1-4c21-9a0e-5d8b-7c6a%2"_s.arg(n, 8, 16, QLatin1Char('0'))
        .arg(n, 8, 10, QLatin1Char('0'));
}

QString scenarioRecord(int n)
{
    QString languages;
    for (const char* language : {"English", "French", "Italian", "German", "Spanish"})
        languages += u"\t\t\t\t\t<%1 d:type=\"cDeltaString\">Scenario %2</%1>\r\n"_s.arg(
            QLatin1String(language), QString::number(n));
    return u"\t\t<cScenarioProperties d:id=\"%1\">\r\n\t\t\t<ID>\r\n\t\t\t\t<cGUID>\r\n"
           u"\t\t\t\t\t<DevString d:type=\"cDeltaString\">%2</DevString>\r\n"
           u"\t\t\t\t</cGUID>\r\n\t\t\t</ID>\r\n\t\t\t<DisplayName>\r\n"
           u"\t\t\t\t<Localisation-cUserLocalisedString>\r\n%3"
           u"\t\t\t\t</Localisation-cUserLocalisedString>\r\n\t\t\t</DisplayName>\r\n"
           u"\t\t\t<StartLocation d:type=\"cDeltaString\">Valley Junction</StartLocation>\r\n"
           u"\t\t\t<DurationMins d:type=\"sInt32\">60</DurationMins>\r\n"
           u"\t\t</cScenarioProperties>\r\n"_s.arg(QString::number(n), guid(n), languages);
}

void textWork(const QString& folder)
{
    constexpr int kRecords = 10000;
    constexpr int kKeys = 100;
    QString list = u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<cScenarioList>\r\n"
                   u"\t<Record>\r\n"_s;
    for (int n = 0; n < kRecords; ++n)
        list += scenarioRecord(n);
    list += u"\t</Record>\r\n</cScenarioList>\r\n"_s;
    // Half of the keys find a record, spread over the list; the others find nothing.
    QStringList keys;
    for (int k = 0; k < kKeys; ++k)
        keys.append(k % 2 == 0 ? guid(k * (kRecords / kKeys)) : guid(kRecords + k));
    const QString record = scenarioRecord(kRecords + 1000);

    QuietUserInterface ui;
    const QString input = folder + u"/Scenarios.xml"_s;
    const QString output = folder + u"/copy.xml"_s;
    MyFile::WriteUniFile(ui, input, list);
    const qint64 size = QFileInfo(input).size();

    // The reading and writing the step cannot do without: the list decoded and encoded
    // once, the new file written safely. A bare copy of the bytes is shown as well.
    const double bareCopy = bestOf(5, [&] {
        QFile in(input);
        (void)in.open(QIODevice::ReadOnly);
        const QByteArray bytes = in.readAll();
        QFile out(output);
        (void)out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        out.write(bytes);
    });
    const double baseline = bestOf(5, [&] {
        QString text;
        MyFile::ReadUniFile(ui, input, text);
        MyFile::WriteUniFile(ui, output, text);
    });
    const double measured = bestOf(5, [&] {
        QString text;
        MyFile::ReadUniFile(ui, input, text);
        const auto removed = ScenarioListSplice::removeRecords(text, keys);
        const auto inserted = ScenarioListSplice::insertRecord(removed.text, record);
        if (!inserted.ok())
            std::fprintf(stderr, "problem: %s\n", qPrintable(inserted.problem));
        MyFile::WriteUniFile(ui, output, inserted.text);
    });
    std::printf("scenario list: %d records, %d keys, %.1f MB\n", kRecords, kKeys, size / 1e6);
    report("scenario text work", baseline, measured, 3);
    report("scenario text work against a bare copy of the bytes", bareCopy, measured, 0);
}

void stockCheck(const QString& folder)
{
    constexpr int kLines = 10000;
    const QString game = folder + u"/Rail Simulator"_s;
    QStringList lines;
    QStringList paths;
    for (int n = 0; n < kLines; ++n) {
        const QString relative = u"Kuju\\Pack%1\\RailVehicles\\Stock%2.bin"_s.arg(n % 100).arg(n);
        const QString host = game + u"/Assets/"_s + QString(relative).replace(u'\\', u'/');
        QDir().mkpath(QFileInfo(host).path());
        QFile file(host);
        (void)file.open(QIODevice::WriteOnly);
        lines.append(QString(relative).replace(u".bin"_s, u".xml"_s) + u",0,0,,,,,,,,,"_s);
        paths.append(game + u"\\Assets\\"_s + relative);
    }

    QuietUserInterface ui;
    AppState state;
    state.GamePath = game;
    Shell shell(ui, {});
    EngineContext context{state, ui, shell, folder};
    ScenarioInstaller installer(context);

    const double plainStat = bestOf(5, [&] {
        int present = 0;
        for (const QString& path : paths)
            present += QFileInfo::exists(QString(path).replace(u'\\', u'/'));
        if (present != kLines)
            std::fprintf(stderr, "only %d present\n", present);
    });
    const double existenceTests = bestOf(5, [&] {
        int present = 0;
        for (const QString& path : paths)
            present += MyFile::FileExists(path);
        if (present != kLines)
            std::fprintf(stderr, "only %d present\n", present);
    });
    const double measured = bestOf(5, [&] {
        if (!installer.checkRequiredStock(lines).isEmpty())
            std::fprintf(stderr, "something was reported missing\n");
    });
    report("required-stock check", existenceTests, measured, 1.5);
    report("required-stock check against a bare stat loop", plainStat, measured, 0);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    textWork(dir.path());
    stockCheck(dir.path());
    return 0;
}
