// Paths named by a package's files must stay inside the folder they belong to.
#include "FileFixture.h"
#include "util/PathGuard.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

class TestPathGuard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void relativePaths_data();
    void relativePaths();
    void symbolicLinksAreFollowed();
};

void TestPathGuard::relativePaths_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("contained");
    QTest::newRow("plain") << u"Kuju\\Stock\\Coach.bin"_s << true;
    QTest::newRow("forward slashes") << u"Kuju/Stock/Coach.bin"_s << true;
    QTest::newRow("dots inside a name") << u"Kuju\\a..b\\x.bin"_s << true;
    QTest::newRow("parent") << u"Kuju\\..\\..\\Content\\Routes.bin"_s << false;
    QTest::newRow("parent with trailing blanks, as Windows reads it") << u".. \\x.bin"_s << false;
    QTest::newRow("three dots") << u"...\\x.bin"_s << false;
    QTest::newRow("drive") << u"C:\\Windows\\x.bin"_s << false;
    QTest::newRow("drive-relative") << u"C:x.bin"_s << false;
    QTest::newRow("leading separator") << u"\\Windows\\x.bin"_s << false;
    QTest::newRow("empty component") << u"Kuju\\\\x.bin"_s << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("control character") << u"Kuju\\x\u0000y.bin"_s << false;
}

void TestPathGuard::relativePaths()
{
    QFETCH(QString, relative);
    QFETCH(bool, contained);
    QCOMPARE(PathGuard::isContainedRelative(relative), contained);
}

void TestPathGuard::symbolicLinksAreFollowed()
{
    QTemporaryDir dir;
    const QString assets = dir.path() + u"/Assets"_s;
    makeFolder(assets + u"/Kuju"_s);
    makeFolder(dir.path() + u"/outside"_s);
    QVERIFY(QFile::link(dir.path() + u"/outside"_s, assets + u"/Kuju/link"_s));
    const auto inside = [&assets](const QString& path) {
        return PathGuard::leadsInto(HostPath::fromProgramPath(path),
                                    HostPath::fromProgramPath(assets));
    };
    QVERIFY(inside(assets + u"\\Kuju\\Coach.bin"_s));
    QVERIFY(inside(assets + u"\\Kuju\\New\\Later.bin"_s));
    QVERIFY(!inside(assets + u"\\Kuju\\link\\Coach.bin"_s));
    QVERIFY(!inside(dir.path() + u"\\Assets2\\x.bin"_s));
}

QTEST_GUILESS_MAIN(TestPathGuard)
#include "tst_pathguard.moc"
