// A stand-in for the game's serialiser, for development and tests. It honours the two
// command forms and converts with our own codec, as the game's tool would, and can be told
// through VELTRANE_SUBSTITUTE_FAIL to fail the ways the installer must survive:
//   none     write no output, exit 1        empty    write an empty output, exit 1
//   slow     wait a second first            crash    abort without output
//   garbage  write bytes that are no serialised file, exit 1
//   garbage0 the same, but exit 0           half     write half the output, then abort
//   hang     never end
// optionally limited to one direction ("bin:empty", "xml:none"). VELTRANE_SUBSTITUTE_LOG
// names a file that receives the arguments of every run, one per line.

#include "serz/Converter.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <cstdio>
#include <cstdlib>

namespace {

QByteArray failureFor(const QByteArray& kind)
{
    const QByteArray setting = qgetenv("VELTRANE_SUBSTITUTE_FAIL");
    const qsizetype colon = setting.indexOf(':');
    if (colon < 0)
        return setting;
    return setting.left(colon) == kind ? setting.mid(colon + 1) : QByteArray();
}

void logArguments(const QStringList& arguments)
{
    const QString log = qEnvironmentVariable("VELTRANE_SUBSTITUTE_LOG");
    if (log.isEmpty())
        return;
    QFile file(log);
    if (file.open(QIODevice::Append)) {
        for (const QString& argument : arguments)
            file.write(argument.toUtf8() + '\n');
        file.write("--\n");
    }
}

bool writeRaw(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    logArguments(arguments);
    if (arguments.size() != 2 || arguments[1].size() < 5 || arguments[1][3] != u':') {
        std::fprintf(stderr, "usage: serz IN xml:OUT | serz IN bin:OUT\n");
        return 2;
    }
    const QString input = arguments[0];
    const QByteArray kind = arguments[1].left(3).toLower().toLatin1();
    const QString output = arguments[1].mid(4);
    if (kind != "xml" && kind != "bin") {
        std::fprintf(stderr, "unknown output kind\n");
        return 2;
    }

    const QByteArray failure = failureFor(kind);
    if (failure == "slow")
        QThread::msleep(1000);
    if (failure == "hang") {
        for (;;)
            QThread::sleep(60);
    }
    if (failure == "crash")
        std::abort();
    if (failure == "none")
        return 1;
    if (failure == "empty")
        return writeRaw(output, QByteArray()) ? 1 : 2;
    if (failure == "garbage" || failure == "garbage0") {
        std::fprintf(stderr, "%s: something went wrong\n", qPrintable(input));
        writeRaw(output, QByteArray("\x01garbage\xff", 9).repeated(100));
        return failure == "garbage" ? 1 : 0;
    }

    namespace Converter = veltrane::serz::Converter;
    const Converter::Outcome outcome = kind == "xml" ? Converter::binaryToXml(input, output)
                                                     : Converter::xmlToBinary(input, output);
    if (!outcome.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(outcome.error));
        return 1;
    }
    if (failure == "half") {
        QFile file(output);
        if (file.open(QIODevice::ReadWrite))
            file.resize(file.size() / 2);
        std::abort();
    }
    return 0;
}
