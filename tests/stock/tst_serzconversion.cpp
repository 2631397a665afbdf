// How the program's conversions reach a serialiser: the game's own, or ours as the fallback.
#include "FileFixture.h"
#include "StockFixture.h"
#include "stock/SerzConversion.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

class TestSerzConversion : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bothFormsReachTheSerialiserWithSpacesIntact();
    void nativeSerialiserIsTheFallback();
};

void TestSerzConversion::bothFormsReachTheSerialiserWithSpacesIntact()
{
    StockFixture f;
    const QString game = f.root + u"/Program Files/Rail Simulator"_s;
    const QByteArray xml = canonicalXml("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<x/>\r\n");
    writeFile(f.package + u"/in.xml"_s, xml);
    makeFolder(game + u"/Content"_s);
    const HostPath list = HostPath::fromProgramPath(game + u"\\Content\\Scenarios.bin"_s);
    const HostPath out = HostPath::fromProgramPath(f.package + u"\\out.xml"_s);

    QVERIFY(SerzConversion::toBin(f.context, HostPath::fromHost(f.package + u"/in.xml"_s), list)
                .succeeded());
    QVERIFY(SerzConversion::toXml(f.context, list, out).succeeded());

    QCOMPARE(deserialised(readFile(game + u"/Content/Scenarios.bin"_s)), xml);
    QCOMPARE(readFile(f.package + u"/out.xml"_s), xml);
    QCOMPARE(f.serialiserRuns(),
             (QList<QStringList>{
                 {f.package + u"/in.xml"_s, u"bin:"_s + game + u"/Content/Scenarios.bin"_s},
                 {game + u"/Content/Scenarios.bin"_s, u"xml:"_s + f.package + u"/out.xml"_s}}));
    QCOMPARE(SerzConversion::workFile(HostPath::fromHost(u"/p"_s), u"Coach.bin"_s).toString(),
             u"/p/Tempfiles/Coach.bin"_s);
}

void TestSerzConversion::nativeSerialiserIsTheFallback()
{
    StockFixture f;
    f.removeSerialiser();
    const QString bin = f.root + u"/no-programs"_s;
    const QString log = f.root + u"/native.log"_s;
    writeFile(bin + u"/veltrane-serz"_s,
              "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + QFile::encodeName(log) + "'\n");
    QFile::setPermissions(bin + u"/veltrane-serz"_s, QFile::ReadOwner | QFile::ExeOwner);

    QVERIFY(SerzConversion::toXml(f.context, HostPath::fromHost(u"/a b/x.bin"_s),
                                  HostPath::fromHost(u"/a b/x.xml"_s))
                .succeeded());
    QCOMPARE(readFile(log), QByteArray("/a b/x.bin\nxml:/a b/x.xml\n"));
}

QTEST_GUILESS_MAIN(TestSerzConversion)
#include "tst_serzconversion.moc"
