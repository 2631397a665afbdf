#include "FileFixture.h"
#include "app/frmVeltrane.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

class TestFrmVeltrane : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void captionCarriesTheVersionOnce();
    void markersDecideThePackageKind_data();
    void markersDecideThePackageKind();
    void defaultGameFolderFoundInTheWinePrefix();
    void noGameMeansAnEmptyBox();
    void enterTakesTheTypedFolder();
    void layoutFollowsTheDesign();

private:
    QTemporaryDir* m_dir = nullptr;
    QString m_package;
    QByteArray m_savedPrefix;
};

void TestFrmVeltrane::init()
{
    m_dir = new QTemporaryDir;
    m_package = m_dir->path() + u"/package"_s;
    makeFolder(m_package);
    // An empty prefix: no game installed unless a test puts one there.
    m_savedPrefix = qgetenv("WINEPREFIX");
    qputenv("WINEPREFIX", QFile::encodeName(m_dir->path() + u"/prefix"_s));
}

void TestFrmVeltrane::cleanup()
{
    delete m_dir;
    qputenv("WINEPREFIX", m_savedPrefix);
}

void TestFrmVeltrane::captionCarriesTheVersionOnce()
{
    frmVeltrane window(m_package);
    QCOMPARE(window.windowTitle(), u"Veltrane  Version 1.0.45"_s);
}

void TestFrmVeltrane::markersDecideThePackageKind_data()
{
    QTest::addColumn<QStringList>("markers");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("caption");
    QTest::newRow("route") << QStringList{u"Veltrane.xxx"_s} << 1 << u"Install Route"_s;
    QTest::newRow("scenario") << QStringList{u"Scenario.zzz"_s} << 2 << u"Install Scenario"_s;
    QTest::newRow("both: route wins")
        << QStringList{u"Scenario.zzz"_s, u"Veltrane.xxx"_s} << 1 << u"Install Route"_s;
    QTest::newRow("neither") << QStringList{u"Scenario.yyy"_s, u"UKCode.txt"_s} << 3
                             << u"Install Assets"_s;
    QTest::newRow("marker is a folder")
        << QStringList{u"Veltrane.xxx/"_s} << 3 << u"Install Assets"_s;
}

void TestFrmVeltrane::markersDecideThePackageKind()
{
    QFETCH(QStringList, markers);
    QFETCH(int, kind);
    QFETCH(QString, caption);
    for (const QString& marker : markers) {
        if (marker.endsWith(u'/'))
            makeFolder(m_package + u'/' + marker);
        else
            writeFile(m_package + u'/' + marker, "x");
    }
    frmVeltrane window(m_package);
    QCOMPARE(int(window.PackageKind()), kind);
    QCOMPARE(window.Command2()->text(), caption);
}

void TestFrmVeltrane::defaultGameFolderFoundInTheWinePrefix()
{
#ifdef Q_OS_WIN
    QSKIP("the default folder is the machine's own on Windows");
#endif
    const QString prefix = m_dir->path() + u"/prefix"_s;
    writeFile(prefix + u"/drive_c/Program Files/Rail Simulator/RailSim.exe"_s, "MZ");
    makeFolder(prefix + u"/dosdevices"_s);
    QVERIFY(QFile::link(u"../drive_c"_s, prefix + u"/dosdevices/c:"_s));

    frmVeltrane window(m_package);
    QCOMPARE(window.state().GamePath, u"c:\\program files\\Rail Simulator"_s);
    QCOMPARE(window.Text1()->text(), u"c:\\program files\\Rail Simulator"_s);
}

void TestFrmVeltrane::noGameMeansAnEmptyBox()
{
    frmVeltrane window(m_package);
    QVERIFY(window.state().GamePath.isEmpty());
    QVERIFY(window.Text1()->text().isEmpty());
}

void TestFrmVeltrane::enterTakesTheTypedFolder()
{
    frmVeltrane window(m_package);
    window.show();
    QTest::keyClicks(window.Text1(), u"/games/RS"_s);
    QVERIFY2(window.state().GamePath.isEmpty(), "typing alone does not set the folder");
    QTest::keyClick(window.Text1(), Qt::Key_Return);
    QCOMPARE(window.state().GamePath, u"/games/RS"_s);
    QCOMPARE(window.Text1()->text(), u"/games/RS"_s);

    window.Text1()->clear();
    QTest::keyClick(window.Text1(), Qt::Key_Enter);
    QVERIFY2(window.state().GamePath.isEmpty(), "Enter in an empty box empties the folder");
    QVERIFY2(window.Text1()->text().isEmpty(), "the default is not applied again");
}

void TestFrmVeltrane::layoutFollowsTheDesign()
{
    frmVeltrane window(m_package);
    QCOMPARE(window.size(), QSize(633, 148));
    QCOMPARE(window.Text1()->geometry(), QRect(136, 48, 377, 25));
    QCOMPARE(window.Command1()->geometry(), QRect(528, 48, 49, 25));
    QCOMPARE(window.Command2()->geometry(), QRect(272, 96, 153, 25));
    QCOMPARE(window.Command1()->text(), u"....."_s);
    QVERIFY(window.Command1()->font().bold());
    QCOMPARE(window.Command1()->font().pointSize(), 12);
}

QTEST_MAIN(TestFrmVeltrane)
#include "tst_frmveltrane.moc"
