// veltrane-serz: the two command forms of the game's serialiser,
//   veltrane-serz [--float-mode=exact|serz] IN.bin xml:OUT.xml
//   veltrane-serz [--float-mode=exact|serz] IN.xml bin:OUT.bin

#include "serz/Converter.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

using namespace Qt::StringLiterals;
namespace Converter = veltrane::serz::Converter;
using veltrane::serz::FloatMode;

namespace {

void printLine(QString line)
{
    // One message, one line, whatever a path or name holds.
    for (QChar& c : line) {
        if (c.unicode() < 0x20)
            c = u' ';
    }
    std::fprintf(stderr, "veltrane-serz: %s\n", line.toLocal8Bit().constData());
}

int usage()
{
    printLine(u"usage: veltrane-serz [--float-mode=exact|serz] IN.bin xml:OUT.xml | "
              u"IN.xml bin:OUT.bin"_s);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    FloatMode mode = FloatMode::Exact;
    if (!args.isEmpty() && args.first().startsWith(u"--float-mode="_s)) {
        const QString value = args.takeFirst().mid(13);
        if (value == u"serz"_s)
            mode = FloatMode::Serz;
        else if (value != u"exact"_s)
            return usage();
    }
    if (args.size() != 2 || args[0].isEmpty())
        return usage();
    const QString& input = args[0];
    const QString& target = args[1];
    const QString output = target.mid(4);
    if (output.isEmpty())
        return usage();

    Converter::Outcome outcome;
    if (target.startsWith(u"xml:"_s, Qt::CaseInsensitive))
        outcome = Converter::binaryToXml(input, output);
    else if (target.startsWith(u"bin:"_s, Qt::CaseInsensitive))
        outcome = Converter::xmlToBinary(input, output, mode);
    else
        return usage();

    if (!outcome.ok) {
        printLine(outcome.error);
        return 1;
    }
    for (const QString& warning : outcome.warnings)
        printLine(u"warning: "_s + warning);
    return 0;
}
