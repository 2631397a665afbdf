#include "EnvironmentGuard.h"
#include "FileFixture.h"
#include "app/frmVeltrane.h"
#include "windows/frmFolder2.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

namespace {

// While it lives, acts on the folder picker whenever one runs modally, and answers message
// boxes with OK, keeping their texts.
class ModalDriver {
public:
    explicit ModalDriver(std::function<void(frmFolder2&)> onPicker)
        : m_onPicker(std::move(onPicker))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }

    int pickersSeen = 0;
    QStringList messages;

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal); box && box->isVisible()) {
            messages.append(box->text());
            // A question, which no case here expects, is closed and shows in the texts.
            if (QAbstractButton* ok = box->button(QMessageBox::Ok))
                ok->click();
            else
                box->reject();
        } else if (auto* picker = qobject_cast<frmFolder2*>(modal); picker && picker->isVisible()) {
            ++pickersSeen;
            m_onPicker(*picker);
            // A picker the action left open would stop the test for good.
            if (picker->isVisible())
                picker->reject();
        }
    }

    std::function<void(frmFolder2&)> m_onPicker;
    QTimer m_timer;
};

} // namespace

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
    void browseOkTakesThePickedTextUnchanged();
    void browseClosedChangesNothing();
    void browseDoesNothingWhileInstalling();

private:
    QTemporaryDir* m_dir = nullptr;
    QString m_package;
    EnvironmentGuard m_environment;
    QString m_prefix;
};

void TestFrmVeltrane::init()
{
    m_dir = new QTemporaryDir;
    m_package = m_dir->path() + u"/package"_s;
    makeFolder(m_package);
    // An empty prefix: no game installed unless a test puts one there.
    m_prefix = m_dir->path() + u"/prefix"_s;
    m_environment.set("WINEPREFIX", QFile::encodeName(m_prefix));
}

void TestFrmVeltrane::cleanup()
{
    delete m_dir;
    m_environment.restore();
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
    QCOMPARE(window.Command1()->font().family(), u"MS Sans Serif"_s);
    const auto* label = window.findChild<QLabel*>();
    QVERIFY(label);
    QCOMPARE(label->text(), u"Rail Simulator Path"_s);
}

void TestFrmVeltrane::browseOkTakesThePickedTextUnchanged()
{
#ifdef Q_OS_WIN
    QSKIP("the drives are the machine's own on Windows");
#endif
    makeFolder(m_prefix + u"/drive_c/Games/RS"_s);
    makeFolder(m_prefix + u"/dosdevices"_s);
    QVERIFY(QFile::link(u"../drive_c"_s, m_prefix + u"/dosdevices/c:"_s));
    frmVeltrane window(m_package);
    window.show();
    window.state().GamePath = u"c:\\Games\\RS"_s;
    window.Text1()->setText(u"typed without Enter"_s);

    QString startedOn;
    bool modal = false;
    {
        ModalDriver driver([&](frmFolder2& picker) {
            startedOn = picker.Text1()->text();
            modal = picker.isModal() && QApplication::activeModalWidget() == &picker;
            picker.Text1()->setText(u"x:\\Not There\\ "_s);
            picker.Command1()->click();
        });
        QTest::mouseClick(window.Command1(), Qt::LeftButton);
        QCOMPARE(driver.pickersSeen, 1);
        QVERIFY(driver.messages.isEmpty());
    }
    QVERIFY(modal);
    QCOMPARE(startedOn, u"c:\\Games\\RS"_s);
    QCOMPARE(window.state().GamePath, u"x:\\Not There\\ "_s);
    QCOMPARE(window.Text1()->text(), u"x:\\Not There\\ "_s);

    // Each showing starts again from GamePath, and an empty box empties it.
    window.state().GamePath = u"c:\\Games"_s;
    {
        ModalDriver driver([&](frmFolder2& picker) {
            startedOn = picker.Text1()->text();
            picker.Text1()->clear();
            picker.Command1()->click();
        });
        window.Command1()->click();
        QCOMPARE(driver.pickersSeen, 1);
    }
    QCOMPARE(startedOn, u"c:\\Games"_s);
    QVERIFY(window.state().GamePath.isEmpty());
    QVERIFY(window.Text1()->text().isEmpty());
}

void TestFrmVeltrane::browseClosedChangesNothing()
{
    frmVeltrane window(m_package);
    window.show();
    window.state().GamePath = m_package;
    window.Text1()->setText(u"/games/typed"_s);
    ModalDriver driver([](frmFolder2& picker) {
        picker.setPath(u"/"_s);
        picker.Text1()->setText(u"/elsewhere"_s);
        picker.close();
    });
    window.Command1()->click();
    QCOMPARE(driver.pickersSeen, 1);
    QVERIFY(driver.messages.isEmpty());
    QCOMPARE(window.state().GamePath, m_package);
    QCOMPARE(window.Text1()->text(), u"/games/typed"_s);
}

void TestFrmVeltrane::browseDoesNothingWhileInstalling()
{
    // The install lets the window handle clicks and keys after every file it copies; a
    // folder picked or entered then would send the rest of the install to another game
    // folder.
    const QString game = m_dir->path() + u"/game"_s;
    makeFolder(game + u"/Assets"_s);
    for (int i = 0; i < 3; ++i)
        writeFile(m_package + u"/Rail Simulator/Assets/file%1.txt"_s.arg(i), "x");
    m_environment.set("PATH", QFile::encodeName(m_dir->path() + u"/no programs"_s));

    frmVeltrane window(m_package);
    window.show();
    window.Text1()->setText(game);
    ModalDriver driver([](frmFolder2& picker) {
        picker.Text1()->setText(u"/elsewhere"_s);
        picker.Command1()->click();
    });
    bool clickedDuringInstall = false;
    QTimer::singleShot(0, &window, [&] {
        clickedDuringInstall = window.cursor().shape() == Qt::WaitCursor;
        window.Command1()->click();
        window.Text1()->setText(u"/entered"_s);
        QTest::keyClick(window.Text1(), Qt::Key_Return);
    });
    window.Command2()->click();

    QVERIFY(clickedDuringInstall);
    QCOMPARE(driver.pickersSeen, 0);
    QCOMPARE(window.state().GamePath, game);
    QCOMPARE(driver.messages, QStringList{u"Your package has been installed."_s});
    for (int i = 0; i < 3; ++i)
        QVERIFY(QFile::exists(game + u"/Assets/file%1.txt"_s.arg(i)));
}

QTEST_MAIN(TestFrmVeltrane)
#include "tst_frmveltrane.moc"
