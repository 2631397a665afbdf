// A stand-in for the game's serialiser, for development and tests. It honours the two
// command forms, keeps the XML text byte for byte inside a .bin of its own, and can be told
// through VELTRANE_SUBSTITUTE_FAIL to fail the ways the installer must survive:
//   none   write no output          empty  write an empty output
//   slow   wait a second first      crash  abort without output
// optionally limited to one direction ("bin:empty", "xml:none"). VELTRANE_SUBSTITUTE_LOG
// names a file that receives the arguments of every run, one per line.

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QThread>
#include <cstdio>
#include <cstdlib>

namespace {

const QByteArray kMagic = "VELTSUB1";

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

bool writeOutput(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
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
    if (failure == "crash")
        std::abort();
    if (failure == "none")
        return 1;
    if (failure == "empty")
        return writeOutput(output, QByteArray()) ? 1 : 2;

    QFile in(input);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: cannot read\n", qPrintable(input));
        return 1;
    }
    const QByteArray bytes = in.readAll();
    if (kind == "xml") {
        if (!bytes.startsWith(kMagic)) {
            std::fprintf(stderr, "%s: not a serialised file\n", qPrintable(input));
            return 1;
        }
        return writeOutput(output, bytes.mid(kMagic.size())) ? 0 : 1;
    }
    return writeOutput(output, kMagic + bytes) ? 0 : 1;
}
