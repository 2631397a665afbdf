// The scenario branch's own work against the plain file work it cannot avoid, measured in
// the same run:
//   text work: the list read, 100 keys' records removed, the new record put in and the list
//              written, against one plain read and write of the same file;
//   stock check: 10,000 required blueprints, all present, against a bare loop of the same
//              existence tests.
#include "BenchTiming.h"
#include "BenchUserInterface.h"
#include "install/ScenarioInstaller.h"
#include "journal/FileChanges.h"
#include "journal/TextFileWriter.h"
#include "lists/ScenarioListSplice.h"
#include "stock/EngineContext.h"
#include "util/AppState.h"
#include "util/TextFile.h"
#include "util/WorkReport.h"

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

// Shown for comparison only, without a goal.
void compare(const char* name, double baseline, double measured)
{
    std::printf("%s: %.2fx (baseline %.1f ms, measured %.1f ms)\n", name, measured / baseline,
                baseline, measured);
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

    bench::BenchUserInterface ui;

    FileChanges files;
    const QString input = folder + u"/Scenarios.xml"_s;
    const QString output = folder + u"/copy.xml"_s;
    static_cast<void>(writeTextFile(files, ui, HostPath::fromProgramPath(input), list));
    const qint64 size = QFileInfo(input).size();

    // The reading and writing the step cannot do without: the list decoded and encoded
    // once, the new file written safely. A bare copy of the bytes is shown as well.
    const double bareCopy = bench::bestMs(5, [&] {
        QFile in(input);
        (void)in.open(QIODevice::ReadOnly);
        const QByteArray bytes = in.readAll();
        QFile out(output);
        (void)out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        out.write(bytes);
    });
    const auto [baseline, measured] = bench::bestCpuMsInTurn(
        5,
        [&] {
            QString text;
            readTextFile(ui, HostPath::fromProgramPath(input), text);
            static_cast<void>(writeTextFile(files, ui, HostPath::fromProgramPath(output), text));
        },
        [&] {
            QString text;
            readTextFile(ui, HostPath::fromProgramPath(input), text);
            // As the install edits it: records of other scenarios would be kept for a question.
            const auto edited = ScenarioListSplice::edit(text, keys, record, {});
            if (!edited.ok())
                std::fprintf(stderr, "problem: %s\n", qPrintable(edited.problem));
            if (!edited.kept.isEmpty())
                std::fprintf(stderr, "%d records kept\n", int(edited.kept.size()));
            static_cast<void>(
                writeTextFile(files, ui, HostPath::fromProgramPath(output), edited.text));
        });
    std::printf("scenario list: %d records, %d keys, %.1f MB\n", kRecords, kKeys, size / 1e6);
    bench::report(u"scenario text work"_s, baseline, measured, 3);
    compare("scenario text work against a bare copy of the bytes", bareCopy, measured);
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

    bench::BenchUserInterface ui;
    FileChanges files;
    AppState state;
    state.GamePath = game;
    WorkReport report;
    const HostPath work = HostPath::fromProgramPath(folder);
    EngineContext context{state, ui, files, HostPath::fromProgramPath(game), work, work, report};
    ScenarioInstaller installer(context);

    const double plainStat = bench::bestMs(5, [&] {
        int present = 0;
        for (const QString& path : paths)
            present += QFileInfo::exists(QString(path).replace(u'\\', u'/'));
        if (present != kLines)
            std::fprintf(stderr, "only %d present\n", present);
    });
    const double existenceTests = bench::bestMs(5, [&] {
        int present = 0;
        for (const QString& path : paths)
            present += fileExists(HostPath::fromProgramPath(path));
        if (present != kLines)
            std::fprintf(stderr, "only %d present\n", present);
    });
    const double measured = bench::bestMs(5, [&] {
        if (!installer.checkRequiredStock(lines).isEmpty())
            std::fprintf(stderr, "something was reported missing\n");
    });
    bench::report(u"required-stock check"_s, existenceTests, measured, 1.5);
    compare("required-stock check against a bare stat loop", plainStat, measured);
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
