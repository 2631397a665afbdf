// Conversion speed of a generated scenario list of about 20 MB, each direction against one
// plain read and write of the same file in the same run, and peak memory per direction
// measured in a child process of its own.
#include "BenchTiming.h"
#include "serz/BinaryEncoder.h"
#include "serz/Converter.h"
#include "serz/Document.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>
#include <cstdio>
#include <tuple>

using namespace Qt::StringLiterals;
using namespace veltrane::serz;
using namespace veltrane::bench;

namespace {

constexpr int kRepeats = 3;

void localised(Document& d, QByteArrayView name, const QByteArray& english)
{
    d.openContainer(name);
    d.openContainer("Localisation::cUserLocalisedString");
    d.addString("English", english);
    for (const char* language :
         {"French", "Italian", "German", "Spanish", "Dutch", "Polish", "Russian", "Other"})
        d.addString(language, QByteArray());
    d.openContainer("Key");
    d.closeContainer();
    d.closeContainer();
    d.closeContainer();
}

void guid(Document& d, quint64 a, quint64 b)
{
    d.openContainer("ID");
    d.openContainer("cGUID");
    d.openContainer("UUID");
    d.addValue("e", ValueType::SUInt64, a);
    d.addValue("e", ValueType::SUInt64, b);
    d.closeContainer();
    d.addString("DevString", QByteArray::number(a, 16) + "-" + QByteArray::number(b, 16));
    d.closeContainer();
    d.closeContainer();
}

QByteArray generate(qint64 targetBytes)
{
    Document d;
    d.openContainer("cScenarioList", 1);
    quint32 id = 2;
    for (int i = 0; qint64(d.records().size()) * 6 < targetBytes; ++i) {
        const QByteArray n = QByteArray::number(i);
        d.openContainer("cScenarioLoader::cScenario", id++);
        guid(d, 0x9E3779B97F4A7C15ull * quint64(i + 1), quint64(i) << 20 | 0xBEEF);
        localised(d, "DisplayName", "Scenario " + n + ": the morning run");
        localised(d, "Description", "Take the " + n + " service along the valley line.");
        localised(d, "Briefing", "Depart on time and observe all speed restrictions.");
        d.addString("StartLocation", "Platform " + QByteArray::number(i % 12));
        d.addValue("StartTime", ValueType::SInt32, quint32(21600 + 37 * i));
        d.addFloat32("Duration", float(45 + i % 90) + 0.25f);
        d.addValue("Season", ValueType::SInt32, quint32(i % 4));
        d.addValue("Weather", ValueType::SInt32, quint32(i % 3));
        d.addString("Class", i % 2 ? "eFreeRoamScenarioClass" : "eStandardScenarioClass");
        d.addValue("Rating", ValueType::SInt32, quint32(i % 5));
        d.addValue("IsCompleted", ValueType::Bool, i % 2);
        const float position[4] = {float(i) * 1.5f, -3723.5664f, 0.5f, 1.0f};
        d.addArray("Position", ValueType::SFloat32,
                   QByteArrayView(reinterpret_cast<const char*>(position), 16));
        d.openContainer("RequiredSet");
        for (int k = 0; k < 6; ++k) {
            d.openContainer("iBlueprintLibrary::cAbsoluteBlueprintID");
            d.openContainer("BlueprintSetID");
            d.openContainer("iBlueprintLibrary::cBlueprintSetID");
            d.addString("Provider", "RSC");
            d.addString("Product", k % 2 ? "ClassicRoute" : "Stock" + QByteArray::number(k));
            d.closeContainer();
            d.closeContainer();
            d.addString("BlueprintID", "RailVehicles\\Locos\\Class" +
                                           QByteArray::number(k * 10 + i % 9) + "\\Engine.xml");
            d.closeContainer();
        }
        d.closeContainer();
        d.addReference("Route", 1);
        d.addNil();
        d.closeContainer();
    }
    d.closeContainer();
    return BinaryEncoder::encodeCanonical(d);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// One plain read of a file and one write of the given bytes, written the way the converter
// writes its output: a new file through QSaveFile, on disk before it takes the name.
// Rewriting an existing file in place costs a fraction of that and varies from run to run.
void readThenWrite(const QString& from, const QString& to, const QByteArray& bytes)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly) || in.readAll().isEmpty())
        return;
    QSaveFile out(to);
    if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size())
        out.commit();
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Child mode: one conversion, then the peak resident size on standard output.
int measurePeak(const QStringList& args)
{
    const bool toXml = args.value(0) == u"xml"_s;
    const Converter::Outcome outcome = toXml ? Converter::binaryToXml(args.value(1), args.value(2))
                                             : Converter::xmlToBinary(args.value(1), args.value(2));
    std::printf("%ld\n", outcome.ok ? peakRssKb() : -1L);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == u"--peak"_s)
        return measurePeak(args.mid(2));

    QTemporaryDir dir;
    const QString bin = dir.filePath(u"Scenarios.bin"_s);
    const QString xml = dir.filePath(u"Scenarios.xml"_s);
    const QString back = dir.filePath(u"Back.bin"_s);
    const QString copy = dir.filePath(u"Copy"_s);
    const QByteArray binary = generate(20 * 1000 * 1000);
    if (!writeFile(bin, binary)) {
        std::printf("cannot write %s\n", qPrintable(bin));
        return 0;
    }
    bool ok = true;
    const double toXml = bestMs(kRepeats, [&] { ok = ok && Converter::binaryToXml(bin, xml).ok; });
    const double toBin = bestMs(kRepeats, [&] { ok = ok && Converter::xmlToBinary(xml, back).ok; });
    const QByteArray xmlBytes = contents(xml);
    if (!ok || contents(back) != binary)
        std::printf("conversion failed or did not round-trip\n");
    // Two baselines each: a copy of the input file, and reading the input plus writing the
    // output the conversion writes.
    const double binCopy = bestMs(kRepeats, [&] { readThenWrite(bin, copy, binary); });
    const double binIo = bestMs(kRepeats, [&] { readThenWrite(bin, copy, xmlBytes); });
    const double xmlCopy = bestMs(kRepeats, [&] { readThenWrite(xml, copy, xmlBytes); });
    const double xmlIo = bestMs(kRepeats, [&] { readThenWrite(xml, copy, binary); });
    // For comparison only: the output rewritten in place in the page cache, never synced.
    const double binInPlace = bestMs(kRepeats, [&] {
        if (!contents(bin).isEmpty())
            writeFile(copy, xmlBytes);
    });

    const qint64 xmlSize = xmlBytes.size();
    std::printf("binary %.1f MB, XML %.1f MB\n", double(binary.size()) / 1e6,
                double(xmlSize) / 1e6);
    report(u"serz bin to xml vs copy of the input"_s, binCopy, toXml);
    report(u"serz bin to xml vs read input, write output"_s, binIo, toXml, 10);
    report(u"serz bin to xml vs read input, rewrite output in place unsynced"_s, binInPlace, toXml);
    report(u"serz xml to bin vs copy of the input"_s, xmlCopy, toBin);
    report(u"serz xml to bin vs read input, write output"_s, xmlIo, toBin, 10);

    for (const auto& [name, kind, from, to] :
         {std::tuple{"serz bin to xml peak memory", u"xml"_s, bin, xml},
          std::tuple{"serz xml to bin peak memory", u"bin"_s, xml, back}}) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {u"--peak"_s, kind, from, to});
        if (!child.waitForFinished(600000))
            continue;
        const qint64 kib = child.readAllStandardOutput().trimmed().toLongLong();
        if (kib > 0) {
            std::printf("%s: %.2fx XML size (peak %.1f MB)\n", name,
                        double(kib) * 1024 / double(xmlSize), double(kib) * 1024 / 1e6);
        }
    }
    return 0;
}
