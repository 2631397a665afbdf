#include "EnvironmentGuard.h"
#include "FileFixture.h"
#include "ModalWatcher.h"
#include "WindowLayout.h"
#include "ZipBuilder.h"
#include "journal/InstallHistory.h"
#include "journal/InstallTransaction.h"
#include "journal/Inventory.h"
#include "ui/GameFolderDialog.h"
#include "ui/InstalledPackagesDialog.h"
#include "ui/MainWindow.h"
#include "ui/PlanView.h"
#include "ui/ProgressPanel.h"
#include "util/InstallLog.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

class TestMainWindow : public QObject {
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
    void installedPackagesTakeBackAnyOne();
    void detailsShowThePlanAndChangeNothing();
    void interruptedInstallIsOfferedBackOnStart_data();
    void interruptedInstallIsOfferedBackOnStart();
    void packageIsAskedForWhereThereIsNone_data();
    void packageIsAskedForWhereThereIsNone();
    void startUpAsksOneThingAtATime();
    void droppedPackageOpensAsChosen_data();
    void droppedPackageOpensAsChosen();
    void cancelTakesTheInstallBack();

private:
    QTemporaryDir* m_dir = nullptr;
    QString m_package;
    EnvironmentGuard m_environment;
    QString m_prefix;
};

namespace {

// The rows of a tree view as the user reads them, columns joined by " | ", depth first.
QStringList rowsOf(const QTreeWidget& tree)
{
    QStringList rows;
    std::function<void(const QTreeWidgetItem*, const QString&)> add =
        [&](const QTreeWidgetItem* item, const QString& indent) {
            QStringList columns;
            for (int i = 0; i < tree.columnCount(); ++i)
                columns.append(item->text(i));
            rows.append(indent + columns.join(u" | "_s));
            for (int i = 0; i < item->childCount(); ++i)
                add(item->child(i), indent + u"  "_s);
        };
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        add(tree.topLevelItem(i), QString());
    return rows;
}

// The states of the game's installs, newest first, as the inventory has them.
QStringList installStates(const QString& game)
{
    SilentUserInterface quiet;
    QStringList states;
    const Inventory inventory =
        Inventory::open(HostPath::fromHost(game), quiet, Inventory::Access::ReadOnly);
    for (const InstallRecord& install : inventory.installs())
        states.append(install.stateText());
    return states;
}

} // namespace

void TestMainWindow::init()
{
    m_dir = new QTemporaryDir;
    m_package = m_dir->path() + u"/package"_s;
    // A package of assets with nothing in them: a window on a folder with no package at all
    // would first ask for one.
    makeFolder(m_package + u"/Rail Simulator"_s);
    // An empty prefix: no game installed unless a test puts one there.
    m_prefix = m_dir->path() + u"/prefix"_s;
    m_environment.set("WINEPREFIX", QFile::encodeName(m_prefix));
}

void TestMainWindow::cleanup()
{
    delete m_dir;
    m_environment.restore();
}

void TestMainWindow::captionCarriesTheVersionOnce()
{
    // The build's own version: the project's major, minor and patch numbers.
    MainWindow window(m_package);
    QCOMPARE(window.windowTitle(), u"Veltrane  Version "_s + QString::fromLatin1(VELTRANE_VERSION));
}

void TestMainWindow::markersDecideThePackageKind_data()
{
    QTest::addColumn<QStringList>("markers");
    QTest::addColumn<PackageKind>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("line"); // the package line under the path box
    QTest::newRow("route") << QStringList{u"Veltrane.xxx"_s} << PackageKind::Route
                           << u"Install Route"_s << u"Package: package (route, Riverside)"_s;
    QTest::newRow("scenario") << QStringList{u"Scenario.zzz"_s} << PackageKind::Scenario
                              << u"Install Scenario"_s
                              << u"Package: package (scenario, Riverside)"_s;
    QTest::newRow("both: route wins")
        << QStringList{u"Scenario.zzz"_s, u"Veltrane.xxx"_s} << PackageKind::Route
        << u"Install Route"_s << u"Package: package (route, Riverside)"_s;
    QTest::newRow("neither") << QStringList{u"Scenario.yyy"_s, u"UKCode.txt"_s}
                             << PackageKind::Assets << u"Install Assets"_s
                             << u"Package: package (assets)"_s;
    QTest::newRow("marker is a folder") << QStringList{u"Veltrane.xxx/"_s} << PackageKind::Assets
                                        << u"Install Assets"_s << u"Package: package (assets)"_s;
}

void TestMainWindow::markersDecideThePackageKind()
{
    QFETCH(QStringList, markers);
    QFETCH(PackageKind, kind);
    QFETCH(QString, caption);
    QFETCH(QString, line);
    for (const QString& marker : markers) {
        if (marker.endsWith(u'/'))
            makeFolder(m_package + u'/' + marker);
        else
            writeFile(m_package + u'/' + marker,
                      "<DisplayName><English d:type=\"cDeltaString\">Riverside</English>");
    }
    MainWindow window(m_package);
    QCOMPARE(window.packageKind(), kind);
    QCOMPARE(window.installButton()->text(), caption);
    QCOMPARE(window.packageLine()->toolTip(), line);
}

void TestMainWindow::defaultGameFolderFoundInTheWinePrefix()
{
#ifdef Q_OS_WIN
    QSKIP("the default folder is the machine's own on Windows");
#endif
    const QString prefix = m_dir->path() + u"/prefix"_s;
    writeFile(prefix + u"/drive_c/Program Files/Rail Simulator/RailSim.exe"_s, "MZ");
    makeFolder(prefix + u"/dosdevices"_s);
    QVERIFY(QFile::link(u"../drive_c"_s, prefix + u"/dosdevices/c:"_s));

    MainWindow window(m_package);
    QCOMPARE(window.state().GamePath, u"c:\\program files\\Rail Simulator"_s);
    QCOMPARE(window.gamePathEdit()->text(), u"c:\\program files\\Rail Simulator"_s);
}

void TestMainWindow::noGameMeansAnEmptyBox()
{
    MainWindow window(m_package);
    QVERIFY(window.state().GamePath.isEmpty());
    QVERIFY(window.gamePathEdit()->text().isEmpty());
}

void TestMainWindow::enterTakesTheTypedFolder()
{
    MainWindow window(m_package);
    window.show();
    QTest::keyClicks(window.gamePathEdit(), u"/games/RS"_s);
    QVERIFY2(window.state().GamePath.isEmpty(), "typing alone does not set the folder");
    QTest::keyClick(window.gamePathEdit(), Qt::Key_Return);
    QCOMPARE(window.state().GamePath, u"/games/RS"_s);
    QCOMPARE(window.gamePathEdit()->text(), u"/games/RS"_s);

    window.gamePathEdit()->clear();
    QTest::keyClick(window.gamePathEdit(), Qt::Key_Enter);
    QVERIFY2(window.state().GamePath.isEmpty(), "Enter in an empty box empties the folder");
    QVERIFY2(window.gamePathEdit()->text().isEmpty(), "the default is not applied again");
}

void TestMainWindow::layoutFollowsTheDesign()
{
    MainWindow window(m_package);
    QCOMPARE(window.objectName(), u"frmVeltrane"_s);
    checkLayout(window, QSize(9495, 2220),
                {
                    {u"Text1"_s, 2040, 720, 5655, 375},
                    {u"Label1"_s, 240, 840, 1575, 495},
                    {u"Command1"_s, 7920, 720, 735, 375},
                    {u"Command2"_s, 4080, 1440, 2295, 375},
                });

    QCOMPARE(window.browseButton()->text(), u"....."_s);
    QVERIFY(window.browseButton()->font().bold());
    QCOMPARE(window.browseButton()->font().pointSize(), 12);
    QCOMPARE(window.browseButton()->font().family(), u"MS Sans Serif"_s);
    QCOMPARE(window.pathLabel()->text(), u"Rail Simulator Path"_s);
}

void TestMainWindow::browseOkTakesThePickedTextUnchanged()
{
#ifdef Q_OS_WIN
    QSKIP("the drives are the machine's own on Windows");
#endif
    makeFolder(m_prefix + u"/drive_c/Games/RS"_s);
    makeFolder(m_prefix + u"/dosdevices"_s);
    QVERIFY(QFile::link(u"../drive_c"_s, m_prefix + u"/dosdevices/c:"_s));
    MainWindow window(m_package);
    window.show();
    window.state().GamePath = u"c:\\Games\\RS"_s;
    window.gamePathEdit()->setText(u"typed without Enter"_s);

    QString startedOn;
    bool modal = false;
    {
        ModalWatcher watcher;
        watcher.onDialog<GameFolderDialog>([&](GameFolderDialog& picker) {
            startedOn = picker.pathEdit()->text();
            modal = picker.isModal() && QApplication::activeModalWidget() == &picker;
            picker.pathEdit()->setText(u"x:\\Not There\\ "_s);
            picker.okButton()->click();
        });
        QTest::mouseClick(window.browseButton(), Qt::LeftButton);
        QCOMPARE(watcher.dialogsSeen(), 1);
        QVERIFY(watcher.messages().isEmpty());
    }
    QVERIFY(modal);
    QCOMPARE(startedOn, u"c:\\Games\\RS"_s);
    QCOMPARE(window.state().GamePath, u"x:\\Not There\\ "_s);
    QCOMPARE(window.gamePathEdit()->text(), u"x:\\Not There\\ "_s);

    // Each showing starts again from GamePath, and an empty box empties it.
    window.state().GamePath = u"c:\\Games"_s;
    {
        ModalWatcher watcher;
        watcher.onDialog<GameFolderDialog>([&](GameFolderDialog& picker) {
            startedOn = picker.pathEdit()->text();
            picker.pathEdit()->clear();
            picker.okButton()->click();
        });
        window.browseButton()->click();
        QCOMPARE(watcher.dialogsSeen(), 1);
    }
    QCOMPARE(startedOn, u"c:\\Games"_s);
    QVERIFY(window.state().GamePath.isEmpty());
    QVERIFY(window.gamePathEdit()->text().isEmpty());
}

void TestMainWindow::browseClosedChangesNothing()
{
    MainWindow window(m_package);
    window.show();
    window.state().GamePath = m_package;
    window.gamePathEdit()->setText(u"/games/typed"_s);
    ModalWatcher watcher;
    watcher.onDialog<GameFolderDialog>([](GameFolderDialog& picker) {
        picker.setPath(u"/"_s);
        picker.pathEdit()->setText(u"/elsewhere"_s);
        picker.close();
    });
    window.browseButton()->click();
    QCOMPARE(watcher.dialogsSeen(), 1);
    QVERIFY(watcher.messages().isEmpty());
    QCOMPARE(window.state().GamePath, m_package);
    QCOMPARE(window.gamePathEdit()->text(), u"/games/typed"_s);
}

void TestMainWindow::browseDoesNothingWhileInstalling()
{
    // The install lets the window handle clicks and keys after every file it copies; a
    // folder picked or entered then would send the rest of the install to another game
    // folder.
    const QString game = m_dir->path() + u"/game"_s;
    makeFolder(game + u"/Assets"_s);
    makeFolder(game + u"/Content"_s);
    for (int i = 0; i < 3; ++i)
        writeFile(m_package + u"/Rail Simulator/Assets/file%1.txt"_s.arg(i), "x");
    m_environment.set("PATH", QFile::encodeName(m_dir->path() + u"/no programs"_s));

    MainWindow window(m_package);
    window.show();
    window.gamePathEdit()->setText(game);
    ModalWatcher watcher;
    watcher.onDialog<GameFolderDialog>([](GameFolderDialog& picker) {
        picker.pathEdit()->setText(u"/elsewhere"_s);
        picker.okButton()->click();
    });
    bool clickedDuringInstall = false;
    QTimer::singleShot(0, &window, [&] {
        clickedDuringInstall = window.cursor().shape() == Qt::WaitCursor;
        window.browseButton()->click();
        window.gamePathEdit()->setText(u"/entered"_s);
        QTest::keyClick(window.gamePathEdit(), Qt::Key_Return);
    });
    window.installButton()->click();

    QVERIFY(clickedDuringInstall);
    QCOMPARE(watcher.dialogsSeen(), 0);
    QCOMPARE(window.state().GamePath, game);
    QCOMPARE(watcher.messageTexts(), QStringList{u"Your package has been installed."_s});
    for (int i = 0; i < 3; ++i)
        QVERIFY(QFile::exists(game + u"/Assets/file%1.txt"_s.arg(i)));
}

void TestMainWindow::installedPackagesTakeBackAnyOne()
{
    const QString game = m_dir->path() + u"/game"_s;
    makeFolder(game + u"/Content"_s);
    writeFile(game + u"/Assets/coach.txt"_s, "the game's own");
    m_environment.set("PATH", QFile::encodeName(m_dir->path() + u"/no programs"_s));
    const auto before = gameFiles(game);
    // Two packages that change different files: the older goes back alone.
    const QString older = m_dir->path() + u"/Older"_s;
    writeFile(older + u"/Rail Simulator/Assets/coach.txt"_s, "the older package's");
    const QString newer = m_dir->path() + u"/Newer"_s;
    writeFile(newer + u"/Rail Simulator/Assets/wagon.txt"_s, "the newer package's");

    ModalWatcher watcher;
    for (const QString& package : {older, newer}) {
        MainWindow installer(package);
        installer.gamePathEdit()->setText(game);
        installer.installButton()->click();
    }
    QCOMPARE(readFile(game + u"/Assets/coach.txt"_s), "the older package's");

    MainWindow window(m_package);
    window.gamePathEdit()->setText(game);
    QStringList listed;
    QStringList olderChanges;
    QStringList listedAfter;
    watcher.onDialog<InstalledPackagesDialog>([&](InstalledPackagesDialog& dialog) {
        listed = rowsOf(*dialog.installs());
        dialog.installs()->setCurrentItem(dialog.installs()->topLevelItem(1));
        olderChanges = rowsOf(*dialog.changes());
        QVERIFY(dialog.takeBackButton()->isEnabled());
        dialog.takeBackButton()->click();
        listedAfter = rowsOf(*dialog.installs());
        // Taken back, it cannot be taken back again.
        dialog.installs()->setCurrentItem(dialog.installs()->topLevelItem(1));
        QVERIFY(!dialog.takeBackButton()->isEnabled());
    });
    window.undoButton()->click();
    QCOMPARE(watcher.dialogsSeen(), 1);
    QCOMPARE(listed.size(), 2);
    QVERIFY2(listed[0].startsWith(u"2 | "_s) && listed[0].endsWith(u" | assets | Newer | 1 | "
                                                                   u"installed"_s),
             qPrintable(listed.join(u'\n')));
    QVERIFY2(listed[1].startsWith(u"1 | "_s), qPrintable(listed[1]));
    QCOMPARE(olderChanges, QStringList{u"Assets/coach.txt | replaced | the game's own file"_s});
    QVERIFY2(listedAfter.value(1).endsWith(u" | taken back"_s),
             qPrintable(listedAfter.join(u'\n')));
    // The game as if only the newer package had been installed.
    auto expected = before;
    expected.insert(u"Assets/wagon.txt"_s, "the newer package's");
    QCOMPARE(withoutCaches(gameFiles(game)), withoutCaches(expected));
    QCOMPARE(installStates(game), (QStringList{u"installed"_s, u"taken back"_s}));
}

void TestMainWindow::detailsShowThePlanAndChangeNothing()
{
    const QString game = m_dir->path() + u"/game"_s;
    makeFolder(game + u"/Content"_s);
    writeFile(game + u"/Assets/coach.txt"_s, "the game's own");
    writeFile(m_package + u"/Rail Simulator/Assets/coach.txt"_s, "the package's");
    writeFile(m_package + u"/Rail Simulator/Assets/Wagons/wagon.txt"_s, "added");
    m_environment.set("PATH", QFile::encodeName(m_dir->path() + u"/no programs"_s));

    MainWindow window(m_package);
    window.gamePathEdit()->setText(game);
    ModalWatcher watcher;
    QStringList files;
    QString space;
    watcher.onDialog<PlanView>([&](PlanView& view) {
        files = rowsOf(*view.files());
        space = view.findChild<QPlainTextEdit*>(u"planSpace"_s)->toPlainText();
    });
    const QStringList entriesBefore = entriesBelow(game);
    window.detailsButton()->click();
    // Seen before the install, it leaves the game as it was: not even the program's folder.
    QCOMPARE(entriesBelow(game), entriesBefore);
    QCOMPARE(files, (QStringList{u"Assets |  |  | "_s,
                                 u"  coach.txt | replace | the game's own file | 13 bytes"_s,
                                 u"  Wagons |  |  | "_s, u"    wagon.txt | add |  | 5 bytes"_s}));
    QVERIFY2(space.startsWith(u"Space: 18 bytes (18 bytes) needed"_s), qPrintable(space));

    // Once a package brought the file, the plan names it.
    window.installButton()->click();
    MainWindow again(m_package);
    again.gamePathEdit()->setText(game);
    again.detailsButton()->click();
    QCOMPARE(files.value(1), u"  coach.txt | replace | package, install 1 | 13 bytes"_s);
    QCOMPARE(watcher.dialogsSeen(), 2);
}

void TestMainWindow::interruptedInstallIsOfferedBackOnStart_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes takes it back") << true;
    QTest::newRow("No keeps the game as it is") << false;
}

void TestMainWindow::interruptedInstallIsOfferedBackOnStart()
{
    QFETCH(bool, yes);
    const HostPath game = HostPath::fromHost(m_dir->path() + u"/game"_s);
    makeFolder(game.child(u"Content"_s).toString());
    writeFile(game.toString() + u"/Assets/coach.txt"_s, "the game's own");
    const auto before = gameFiles(game.toString());
    {
        // An install that never wrote its end: the program was killed after this change.
        InstallLog log(u"install"_s);
        InstallTransaction transaction(log, {game});
        transaction.keepJournal(game, InstallHistory(game).newJournal(),
                                {u"Riverside"_s, u"route"_s});
        transaction.files().writeWhole(game.child(u"Assets"_s).child(u"coach.txt"_s),
                                       "half installed");
    }

    ModalWatcher watcher;
    watcher.answerYes(yes ? 1 : 0);
    MainWindow window(m_package);
    window.gamePathEdit()->setText(game.toString());
    window.show();
    QTRY_VERIFY(!watcher.messages().isEmpty());
    QVERIFY2(watcher.messages().first().text.contains(u"did not finish: Riverside (route)"_s),
             qPrintable(watcher.messages().first().text));
    QTRY_COMPARE(watcher.messages().size(), yes ? 2 : 1);
    QCOMPARE(gameFiles(game.toString()) == before, yes);
    // No keeps the journal, for later.
    QCOMPARE(installStates(game.toString()), QStringList{yes ? u"taken back"_s : u"cut short"_s});
}

void TestMainWindow::packageIsAskedForWhereThereIsNone_data()
{
    QTest::addColumn<QString>("button");    // the chooser's answer, empty: Cancel
    QTest::addColumn<QString>("chosen");    // what the file dialog is given, under the temp dir
    QTest::addColumn<QString>("caption");   // the install button's afterwards
    QTest::addColumn<QString>("complaint"); // the start of a message after the choice
    QTest::newRow("cancelled") << QString() << QString() << u"Choose Package..."_s << QString();
    QTest::newRow("a route's folder")
        << u"Package Folder..."_s << u"route"_s << u"Install Route"_s << QString();
    QTest::newRow("a folder with no package")
        << u"Package Folder..."_s << u"empty"_s << u"Choose Package..."_s
        << u"There is no package in"_s;
    QTest::newRow("a zip with a top folder")
        << u"Package Archive..."_s << u"scenario.zip"_s << u"Install Scenario"_s << QString();
    QTest::newRow("a damaged zip") << u"Package Archive..."_s << u"damaged.zip"_s
                                   << u"Choose Package..."_s << u"The package"_s;
}

void TestMainWindow::packageIsAskedForWhereThereIsNone()
{
    QFETCH(QString, button);
    QFETCH(QString, chosen);
    QFETCH(QString, caption);
    QFETCH(QString, complaint);
    const QString root = m_dir->path();
    makeFolder(root + u"/nothing"_s);
    makeFolder(root + u"/empty"_s);
    writeFile(root + u"/route/Veltrane.xxx"_s, "x");
    writeFile(root + u"/scenario.zip"_s,
              zipArchive({zipFolder("Pack/"), zipFile("Pack/Scenario.zzz", "x"),
                          zipFile("Pack/Rail Simulator/a.txt", "a")}));
    writeFile(root + u"/damaged.zip"_s, zipArchive({zipFile("Scenario.zzz", "x")}).left(40));

    ModalWatcher watcher;
    if (!button.isEmpty())
        watcher.answerWith(button);
    watcher.onDialog<QFileDialog>([&](QFileDialog& dialog) {
        // As a user does: the folder opened, the file's name typed.
        if (dialog.fileMode() == QFileDialog::Directory) {
            dialog.setDirectory(root + u'/' + chosen);
        } else {
            dialog.setDirectory(root);
            dialog.findChild<QLineEdit*>(u"fileNameEdit"_s)->setText(chosen);
        }
        static_cast<QDialog&>(dialog).accept(); // QFileDialog's own checks the choice
    });
    MainWindow window(root + u"/nothing"_s);
    window.show();
    QTRY_VERIFY(!watcher.messages().isEmpty());
    QCOMPARE(watcher.messages().first().text,
             u"Choose the package to install: its folder or its archive."_s);
    QTRY_COMPARE(watcher.dialogsSeen(), chosen.isEmpty() ? 0 : 1);
    QTRY_COMPARE(watcher.messages().size(), complaint.isEmpty() ? 1 : 2);
    if (!complaint.isEmpty())
        QVERIFY(watcher.messages().last().text.startsWith(complaint));
    QCOMPARE(window.installButton()->text(), caption);
    QCOMPARE(window.hasPackage(), complaint.isEmpty() && !chosen.isEmpty());
}

void TestMainWindow::startUpAsksOneThingAtATime()
{
    // An install cut short, a damaged archive given, and no package where the program lies:
    // three things to say, one after the other.
    const HostPath game = HostPath::fromHost(m_dir->path() + u"/game"_s);
    makeFolder(game.child(u"Content"_s).toString());
    writeFile(game.toString() + u"/Assets/coach.txt"_s, "the game's own");
    {
        InstallLog log(u"install"_s);
        InstallTransaction transaction(log, {game});
        transaction.keepJournal(game, InstallHistory(game).newJournal(), {u"Cut"_s, u"assets"_s});
        transaction.files().writeWhole(game.child(u"Assets"_s).child(u"coach.txt"_s), "half");
    }
    writeFile(m_dir->path() + u"/damaged.zip"_s,
              zipArchive({zipFile("Scenario.zzz", "x")}).left(40));
    makeFolder(m_dir->path() + u"/nothing"_s);

    ModalWatcher watcher;
    MainWindow window(m_dir->path() + u"/nothing"_s);
    window.gamePathEdit()->setText(game.toString());
    window.setPackageToOpen(m_dir->path() + u"/damaged.zip"_s);
    window.show();
    QTRY_COMPARE(watcher.messages().size(), 3);
    const QStringList texts = watcher.messageTexts();
    QVERIFY2(texts[0].contains(u"did not finish"_s) && texts[1].startsWith(u"The package "_s) &&
                 texts[2].startsWith(u"Choose the package to install"_s),
             qPrintable(texts.join(u"\n"_s)));
    QCOMPARE(watcher.mostAtOnce(), 1);
}

void TestMainWindow::droppedPackageOpensAsChosen_data()
{
    QTest::addColumn<QString>("dropped"); // under the temporary folder
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("complaint"); // the start of a message; empty for none
    QTest::newRow("a route's folder") << u"route"_s << u"Install Route"_s << QString();
    QTest::newRow("a scenario's archive")
        << u"scenario.zip"_s << u"Install Scenario"_s << QString();
    QTest::newRow("a folder with no package")
        << u"empty"_s << u"Choose Package..."_s << u"There is no package in"_s;
}

void TestMainWindow::droppedPackageOpensAsChosen()
{
    QFETCH(QString, dropped);
    QFETCH(QString, caption);
    QFETCH(QString, complaint);
    const QString root = m_dir->path();
    writeFile(root + u"/route/Veltrane.xxx"_s, "x");
    writeFile(root + u"/scenario.zip"_s,
              zipArchive({zipFile("Scenario.zzz", "x"), zipFile("Rail Simulator/a.txt", "a")}));
    makeFolder(root + u"/empty"_s);
    ModalWatcher watcher;
    MainWindow window(m_package);
    window.show();

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(root + u'/' + dropped)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    QTRY_COMPARE(window.installButton()->text(), caption);
    if (!complaint.isEmpty()) {
        QTRY_COMPARE(watcher.messages().size(), 1);
        QVERIFY(watcher.messages().first().text.startsWith(complaint));
    }
}

void TestMainWindow::cancelTakesTheInstallBack()
{
    const QString game = m_dir->path() + u"/game"_s;
    makeFolder(game + u"/Content"_s);
    writeFile(game + u"/Assets/coach.txt"_s, "the game's own");
    writeFile(m_package + u"/Rail Simulator/Assets/coach.txt"_s, "the package's");
    for (int i = 0; i < 40; ++i)
        writeFile(m_package + u"/Rail Simulator/Assets/New/file%1.txt"_s.arg(i), "new");
    m_environment.set("PATH", QFile::encodeName(m_dir->path() + u"/no programs"_s));
    const auto before = gameFiles(game);

    ModalWatcher watcher;
    MainWindow window(m_package);
    window.gamePathEdit()->setText(game);
    window.show();
    bool cancelShown = false;
    // Pressed while the first files are copied: the window breathes after each.
    QTimer::singleShot(0, &window, [&] {
        cancelShown = window.progressPanel()->cancelButton()->isVisible();
        window.progressPanel()->cancelButton()->click();
    });
    window.installButton()->click();

    QVERIFY(cancelShown);
    QCOMPARE(watcher.messageTexts(),
             QStringList{u"The install has been cancelled. The game folder "_s +
                         QDir::toNativeSeparators(game) +
                         u" is exactly as it was before it began."_s});
    QCOMPARE(gameFiles(game), before);
    QVERIFY2(window.isVisible(), "the window stays open for another try");
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
