// The variant makers' text work against reading and writing the same blueprint once, and
// the growth of a ChildName walk with the size of the document.

#include "BenchTiming.h"
#include "BenchUserInterface.h"
#include "journal/FileChanges.h"
#include "journal/TextFileWriter.h"
#include "stock/BlueprintText.h"
#include "stock/CodeTemplate.h"
#include "stock/RequirementLine.h"
#include "util/TaggedText.h"
#include "util/TextFile.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::bench;

namespace {

QString childEntry(const QString& name, int id)
{
    // The size and shape of an entry as the serialiser writes it.
    return u"\t\t\t\t<cEntityContainerBlueprint-sChild d:id=\""_s + QString::number(id) +
           u"\">\r\n\t\t\t\t\t<ChildName d:type=\"cDeltaString\">"_s + name +
           u"</ChildName>\r\n"
           u"\t\t\t\t\t<BlueprintID>\r\n\t\t\t\t\t\t<iBlueprintLibrary-cAbsoluteBlueprintID>\r\n"
           u"\t\t\t\t\t\t\t<BlueprintSetID>\r\n\t\t\t\t\t\t\t\t<iBlueprintLibrary-cBlueprintSetID>"
           u"\r\n"
           u"\t\t\t\t\t\t\t\t\t<Provider d:type=\"cDeltaString\">Kuju</Provider>\r\n"
           u"\t\t\t\t\t\t\t\t\t<Product d:type=\"cDeltaString\">RailSimulator</Product>\r\n"
           u"\t\t\t\t\t\t\t\t</iBlueprintLibrary-cBlueprintSetID>\r\n\t\t\t\t\t\t\t</"
           u"BlueprintSetID>\r\n"
           u"\t\t\t\t\t\t\t<BlueprintID d:type=\"cDeltaString\">RailVehicles\\Passengers\\"
           u"Figure.xml</BlueprintID>\r\n"
           u"\t\t\t\t\t\t</iBlueprintLibrary-cAbsoluteBlueprintID>\r\n\t\t\t\t\t</BlueprintID>\r\n"
           u"\t\t\t\t\t<Matrix><cHcRMatrix4x4><Element>"
           u"<e d:type=\"sFloat32\">1.0000000</e><e d:type=\"sFloat32\">0.0000000</e>"
           u"<e d:type=\"sFloat32\">0.0000000</e><e d:type=\"sFloat32\">1.2500000</e>"
           u"</Element></cHcRMatrix4x4></Matrix>\r\n"
           u"\t\t\t\t</cEntityContainerBlueprint-sChild>\r\n"_s;
}

QString childName(int i)
{
    static const QStringList names = {
        u"Driver1"_s,  u"Driver2"_s,    u"Fireman"_s,   u"Passenger"_s, u"PassengerB"_s,
        u"Coupling"_s, u"FrontBogie"_s, u"RearBogie"_s, u"Lamp"_s,      u"Smoke"_s};
    return names[i % names.size()] + QString::number(i / names.size());
}

QString blueprint(int children)
{
    QString xml =
        u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
        u"<cBlueprintLoader xmlns:d=\"http://www.kuju.com/TnT/2003/Delta\" d:version=\"1.0\">\r\n"
        u"\t<Blueprint>\r\n\t\t<cEngineSimBlueprint>\r\n"
        u"\t\t\t<Name d:type=\"cDeltaString\">Class 08 Shunter</Name>\r\n"
        u"\t\t\t<DisplayName>\r\n\t\t\t\t<Localisation-cUserLocalisedString>\r\n"
        u"\t\t\t\t\t<English d:type=\"cDeltaString\">Class 08</English>\r\n"
        u"\t\t\t\t\t<French d:type=\"cDeltaString\"></French>\r\n"
        u"\t\t\t\t\t<Italian d:type=\"cDeltaString\"></Italian>\r\n"
        u"\t\t\t\t\t<German d:type=\"cDeltaString\"></German>\r\n"
        u"\t\t\t\t\t<Spanish d:type=\"cDeltaString\"></Spanish>\r\n"
        u"\t\t\t\t</Localisation-cUserLocalisedString>\r\n\t\t\t</DisplayName>\r\n"
        u"\t\t\t<Children>\r\n"_s;
    for (int i = 0; i < children; ++i)
        xml += childEntry(childName(i), 1000 + i);
    xml += u"\t\t\t</Children>\r\n\t\t</cEngineSimBlueprint>\r\n\t</Blueprint>\r\n"
           u"</cBlueprintLoader>\r\n"_s;
    return xml;
}

const QString kCodeTemplate =
    u"\t<cEntityContainerBlueprint-sChild d:id=\"1\">\r\n"
    u"\t\t\t\t\t<ChildName d:type=\"cDeltaString\">Headlamp</ChildName>\r\n"
    u"\t\t\t\t\t<Data>444444 555555 666666 777777 111111 222222 333333</Data>\r\n"
    u"\t\t\t\t</cEntityContainerBlueprint-sChild>\r\n\t\t\t"_s;

// The crew maker's edits, in its order, for one suffix.
void crewText(QString& doc, const QString& suffix)
{
    QStringList names;
    BlueprintText::childNames(doc, names);
    if (BlueprintText::removesAllChildren(suffix)) {
        BlueprintText::removeChildrenElement(doc);
    } else {
        for (const QString& key : BlueprintText::removalKeys(suffix)) {
            for (const QString& name : std::as_const(names)) {
                if (name.contains(key, Qt::CaseInsensitive))
                    BlueprintText::removeChildEntry(doc, name);
            }
        }
    }
    BlueprintText::setDisplayName(doc, BlueprintText::displayName(doc) + suffix);
}

void numberText(QString& doc, const QString& suffix, const QString& line)
{
    const RequirementLine parsed(line);
    BlueprintText::insertChildren(doc, CodeTemplate::fill(kCodeTemplate, parsed));
    BlueprintText::setDisplayName(doc, BlueprintText::displayName(doc) + suffix);
}

void makerBenchmarks(const QString& folder)
{
    BenchUserInterface ui;
    FileChanges files;
    const QString base = folder + u"/Base.xml"_s;
    const QString out = folder + u"/Variant.xml"_s;
    if (!writeTextFile(files, ui, HostPath::fromProgramPath(base), blueprint(100)))
        return;
    const int runs = int(envNumber("VELTRANE_BENCH_RUNS", 300));

    const auto readAndWrite = [&] {
        QString doc;
        readTextFile(ui, HostPath::fromProgramPath(base), doc);
        static_cast<void>(writeTextFile(files, ui, HostPath::fromProgramPath(out), doc));
    };
    for (const QString& suffix : {u"_MT"_s, u"_ND"_s, u"_DF"_s, u"_Dead"_s}) {
        const auto [baseline, measured] = bestCpuMsInTurn(runs, readAndWrite, [&] {
            QString doc;
            readTextFile(ui, HostPath::fromProgramPath(base), doc);
            crewText(doc, suffix);
            static_cast<void>(writeTextFile(files, ui, HostPath::fromProgramPath(out), doc));
        });
        report(u"crew_variant_text"_s + suffix + u"_100_children"_s, baseline, measured, 3);
    }
    const QString line = u"Kuju\\Loco_4567.bin,1,2,A1,A2,A3,B1,B2,B3,x,y,z"_s;
    const auto [baseline, measured] = bestCpuMsInTurn(runs, readAndWrite, [&] {
        QString doc;
        readTextFile(ui, HostPath::fromProgramPath(base), doc);
        numberText(doc, u"_4567"_s, line);
        static_cast<void>(writeTextFile(files, ui, HostPath::fromProgramPath(out), doc));
    });
    report(u"number_variant_text_100_children"_s, baseline, measured, 3);
}

void walkBenchmark()
{
    const qsizetype megabyte = 1024 * 1024;
    const int largest = int(envNumber("VELTRANE_BENCH_WALK_MB", 10));
    // Whole entries only, so that every document and piece ends between two elements.
    QString oneMb;
    for (int i = 0; oneMb.size() < megabyte; ++i)
        oneMb += childEntry(childName(i), i);

    const auto walk = [](const QString& doc) {
        qint32 position = 1;
        QString value;
        qsizetype count = 0;
        for (;;) {
            TaggedText::readValue(doc, position, u"ChildName"_s, value);
            if (position == 0)
                break;
            ++count;
        }
        return count;
    };

    // Each size against the same number of megabytes walked as separate 1 MB documents:
    // the same bytes and the same cold memory, so only a cost that grows faster than the
    // document shows.
    QList<int> sizes = {1, 2, 4, 8};
    if (!sizes.contains(largest))
        sizes.append(largest);
    std::sort(sizes.begin(), sizes.end());
    double separateAtLargest = 0;
    double wholeAtLargest = 0;
    for (int mb : sizes) {
        if (mb > largest)
            break;
        const QString doc = oneMb.repeated(mb);
        QList<QString> pieces;
        for (int i = 0; i < mb; ++i)
            pieces.append(QString(oneMb.constData(), oneMb.size())); // a copy of its own
        qsizetype elements = 0;
        const double whole = bestCpuMs(5, [&] { elements = walk(doc); });
        const double separate = bestCpuMs(5, [&] {
            for (const QString& piece : std::as_const(pieces))
                walk(piece);
        });
        std::printf("getdetail_walk %2d MB: %8.2f ms, %5.2f ms/MB (%lld elements); as %d x 1 MB: "
                    "%5.2f ms/MB\n",
                    mb, whole, whole / mb, static_cast<long long>(elements), mb, separate / mb);
        separateAtLargest = separate;
        wholeAtLargest = whole;
    }
    report(u"getdetail_walk_%1MB_against_%1x1MB"_s.arg(largest), separateAtLargest, wholeAtLargest,
           1.5);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("# thread processor time, best of several runs\n");
    QTemporaryDir dir;
    makerBenchmarks(dir.path());
    walkBenchmark();
    return 0;
}
