#include "EnvironmentGuard.h"
#include "FileFixture.h"
#include "platform/DriveList.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

class TestDriveList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void winePrefixLettersThenTheRoot_data();
    void winePrefixLettersThenTheRoot();
    void readinessIsAskedAnew();

private:
    QTemporaryDir* m_dir = nullptr;
    QString m_prefix;
    EnvironmentGuard m_environment;
};

void TestDriveList::initTestCase()
{
#ifdef Q_OS_WIN
    QSKIP("the drives are the machine's own on Windows");
#endif
}

void TestDriveList::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_prefix = m_dir->path() + u"/prefix"_s;
    makeFolder(m_prefix + u"/drive_c"_s);
    makeFolder(m_dir->path() + u"/disc"_s);
    m_environment.set("WINEPREFIX", QFile::encodeName(m_prefix));
}

void TestDriveList::cleanup()
{
    delete m_dir;
    m_environment.restore();
}

void TestDriveList::winePrefixLettersThenTheRoot_data()
{
    // dosdevices entries as "name>target" ("<root>" is the test's temporary folder), or
    // "name/" for a plain folder; then the drives expected as "name ready|not ready label".
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("drives");

    QTest::newRow("no prefix") << QStringList{} << QStringList{u"/ ready /"_s};
    QTest::newRow("letters in name order, then the root")
        << QStringList{u"d:><root>/disc"_s, u"c:>../drive_c"_s}
        << QStringList{u"c: ready c: [<prefix>/drive_c]"_s, u"d: ready d: [<root>/disc]"_s,
                       u"/ ready /"_s};
    QTest::newRow("an empty disc drive is listed, not ready")
        << QStringList{u"c:>../drive_c"_s, u"e:><root>/no disc"_s}
        << QStringList{u"c: ready c: [<prefix>/drive_c]"_s, u"e: not ready e: [<root>/no disc]"_s,
                       u"/ ready /"_s};
    QTest::newRow("raw devices and other names are no drives")
        << QStringList{u"c::>/dev/null"_s, u"com1>/dev/null"_s, u"1:/"_s, u"c:>../drive_c"_s}
        << QStringList{u"c: ready c: [<prefix>/drive_c]"_s, u"/ ready /"_s};
    QTest::newRow("one drive for both letter cases")
        << QStringList{u"C:>../drive_c"_s, u"c:>../drive_c"_s}
        << QStringList{u"c: ready c: [<prefix>/drive_c]"_s, u"/ ready /"_s};
    QTest::newRow("a folder in place of a link")
        << QStringList{u"z:/"_s}
        << QStringList{u"z: ready z: [<prefix>/dosdevices/z:]"_s, u"/ ready /"_s};
}

void TestDriveList::winePrefixLettersThenTheRoot()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, drives);
    const QString root = m_dir->path();
    const QString devices = m_prefix + u"/dosdevices/"_s;
    if (!entries.isEmpty())
        makeFolder(devices);
    for (const QString& entry : std::as_const(entries)) {
        if (entry.endsWith(u'/')) {
            makeFolder(devices + entry);
            continue;
        }
        const QString target = entry.section(u'>', 1).replace(u"<root>"_s, root);
        QVERIFY(QFile::link(target, devices + entry.section(u'>', 0, 0)));
    }

    QStringList listed;
    for (const Drive& drive : DriveList::drives()) {
        listed.append(drive.name + (drive.isReady() ? u" ready "_s : u" not ready "_s) +
                      drive.label);
        // The root of every drive letter is its dosdevices entry, which Wine follows.
        const QString hostRoot =
            drive.name == DriveList::rootName() ? u"/"_s : devices + drive.name;
        QCOMPARE(drive.hostRoot, hostRoot);
    }
    drives.replaceInStrings(u"<root>"_s, root).replaceInStrings(u"<prefix>"_s, m_prefix);
    QCOMPARE(listed, drives);
}

void TestDriveList::readinessIsAskedAnew()
{
    const QString devices = m_prefix + u"/dosdevices/"_s;
    makeFolder(devices);
    const QString disc = m_dir->path() + u"/later disc"_s;
    QVERIFY(QFile::link(disc, devices + u"e:"_s));
    const QList<Drive> drives = DriveList::drives();
    QCOMPARE(drives.first().name, u"e:"_s);
    QVERIFY(!drives.first().isReady());
    makeFolder(disc);
    QVERIFY2(drives.first().isReady(), "a disc put in while the list is shown");
}

QTEST_MAIN(TestDriveList)
#include "tst_drivelist.moc"
