// The file conversions as the installer runs them: outputs replaced whole, failures
// visible to a caller that only looks at the output file, and the program itself.
#include "SerzSamples.h"
#include "serz/Converter.h"
#include "serz/Serz.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace veltrane::serz;
using namespace veltrane::serz::test;

namespace {

void put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray get(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

QString toolPath()
{
    return qEnvironmentVariable("VELTRANE_BUILD_DIR") + u"/bin/veltrane-serz"_s;
}

struct Run {
    int exitCode = -1;
    QByteArray standardError;
};

Run runTool(const QStringList& arguments)
{
    QProcess process;
    process.start(toolPath(), arguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.standardError = process.readAllStandardError();
    return run;
}

} // namespace

class TestSerzTool : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(m_dir.isValid()); }
    void convertsBothWays();
    void failedBinaryConversionLeavesAnEmptyFile();
    void failedXmlConversionLeavesNoFile();
    void inputIsNeverItsOwnOutput();
    void programRunsBothCommandForms();
    void programReportsFailureOnOneLine();

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TestSerzTool::convertsBothWays()
{
    const Vector v = vector2();
    put(path(u"in put.bin"_s), v.binary);
    put(path(u"out.xml"_s), "stale");
    Converter::Outcome outcome = Converter::binaryToXml(path(u"in put.bin"_s), path(u"out.xml"_s));
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    QCOMPARE(get(path(u"out.xml"_s)), v.xml);

    outcome = Converter::xmlToBinary(path(u"out.xml"_s), path(u"back.bin"_s));
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    QCOMPARE(get(path(u"back.bin"_s)), v.binary);
    QVERIFY(outcome.warnings.isEmpty());
}

void TestSerzTool::failedBinaryConversionLeavesAnEmptyFile()
{
    const QString xml = path(u"Bad.xml"_s);
    const QString bin = path(u"Bad.bin"_s);
    put(xml, crlf({"<R>", "\t<a d:type=\"sInt32\">x</a>", "</R>"}));
    put(bin, vector1().binary);
    const Converter::Outcome outcome = Converter::xmlToBinary(xml, bin);
    QVERIFY(!outcome.ok);
    QCOMPARE(get(bin), QByteArray());
    QVERIFY2(outcome.error.startsWith(xml + u": line 2: expected an integer"_s),
             qPrintable(outcome.error));

    // A missing input fails the same way.
    put(bin, vector1().binary);
    QVERIFY(!Converter::xmlToBinary(path(u"none.xml"_s), bin).ok);
    QCOMPARE(get(bin), QByteArray());
}

void TestSerzTool::failedXmlConversionLeavesNoFile()
{
    const QString bin = path(u"Scenarios.bin"_s);
    const QString xml = path(u"Scenarios.xml"_s);
    put(bin, vector1().binary.chopped(4));
    put(xml, vector1().xml);
    const Converter::Outcome outcome = Converter::binaryToXml(bin, xml);
    QVERIFY(!outcome.ok);
    QVERIFY(!QFile::exists(xml));
    QVERIFY2(outcome.error.startsWith(bin + u": byte 128: the file ends inside container"_s),
             qPrintable(outcome.error));

    // A record that XML cannot express, found after part of the text was written.
    Document document;
    document.openContainer("R");
    for (int i = 0; i < 50000; ++i)
        document.addString("s", QByteArray::number(i));
    document.addValue("a b", ValueType::Bool, 1);
    document.closeContainer();
    const QByteArray binary = encodeBinaryCanonical(document);
    put(bin, binary);
    put(xml, vector1().xml);
    const Converter::Outcome unwritable = Converter::binaryToXml(bin, xml);
    QVERIFY(!unwritable.ok);
    QVERIFY(!QFile::exists(xml));
    const qint64 offset = binary.size() - 4 - 22;
    QVERIFY2(
        unwritable.error.startsWith(bin + u": byte %1: the name \"a b\" cannot be"_s.arg(offset)),
        qPrintable(unwritable.error));
    // Nor is a partial save file left beside it.
    QCOMPARE(QDir(m_dir.path()).entryList({u"Scenarios.xml*"_s}, QDir::Files | QDir::Hidden),
             QStringList());
}

void TestSerzTool::inputIsNeverItsOwnOutput()
{
    const QString file = path(u"same.bin"_s);
    put(file, vector1().xml);
    const Converter::Outcome outcome = Converter::xmlToBinary(file, file);
    QVERIFY(!outcome.ok);
    QCOMPARE(get(file), vector1().xml);
}

void TestSerzTool::programRunsBothCommandForms()
{
    QVERIFY2(QFile::exists(toolPath()), qPrintable(toolPath()));
    const Vector v = vector3();
    const QString bin = path(u"Loc Text.bin"_s);
    const QString xml = path(u"Loc Text.xml"_s);
    const QString back = path(u"back.bin"_s);
    put(bin, v.binary);
    Run run = runTool({bin, u"xml:"_s + xml});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.standardError, QByteArray());
    QCOMPARE(get(xml), v.xml);
    run = runTool({xml, u"bin:"_s + back});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(get(back), v.binary);

    // Serz mode is selectable; an unedited float differs from the exact default.
    put(xml, crlf({"<R>",
                   "\t<f d:type=\"sFloat32\" d:alt_encoding=\"000000C0D2C56040\" "
                   "d:precision=\"string\">134.182</f>",
                   "</R>"}));
    QCOMPARE(runTool({xml, u"bin:"_s + back}).exitCode, 0);
    QVERIFY(get(back).endsWith(fromHex("962E0643FF700000")));
    QCOMPARE(runTool({u"--float-mode=serz"_s, xml, u"bin:"_s + back}).exitCode, 0);
    QVERIFY(get(back).endsWith(fromHex("982E0643FF700000")));
}

void TestSerzTool::programReportsFailureOnOneLine()
{
    const QString xml = path(u"broken.xml"_s);
    const QString bin = path(u"broken.bin"_s);
    put(xml, crlf({"<R>", "\t<A>", "\t</B>", "</R>"}));
    Run run = runTool({xml, u"bin:"_s + bin});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.standardError.count('\n'), 1);
    QVERIFY2(run.standardError.contains(xml.toUtf8() + ": line 3: "), run.standardError);
    QCOMPARE(get(bin), QByteArray());

    put(bin, "SERZ");
    run = runTool({bin, u"xml:"_s + path(u"out.xml"_s)});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.standardError.count('\n'), 1);
    QVERIFY2(run.standardError.contains(bin.toUtf8() + ": byte 4: "), run.standardError);
    QVERIFY(!QFile::exists(path(u"out.xml"_s)));

    QVERIFY(runTool({xml}).exitCode != 0);
    QVERIFY(runTool({xml, u"txt:"_s + bin}).exitCode != 0);
}

QTEST_GUILESS_MAIN(TestSerzTool)
#include "tst_serztool.moc"
