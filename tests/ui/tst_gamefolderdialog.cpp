#include "EnvironmentGuard.h"
#include "FileFixture.h"
#include "ModalWatcher.h"
#include "WindowLayout.h"
#include "ui/GameFolderDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <memory>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

namespace {

// The folder list as shown: one line per entry, indented by its depth.
QStringList shownEntries(const QTreeWidget& list)
{
    QStringList lines;
    for (QTreeWidgetItem* item = list.topLevelItem(0); item; item = list.itemBelow(item)) {
        int depth = 0;
        for (const QTreeWidgetItem* up = item->parent(); up; up = up->parent())
            ++depth;
        lines.append(QString(depth * 2, u' ') + item->text(0));
    }
    return lines;
}

QTreeWidgetItem* entry(const QTreeWidget& list, const QString& name)
{
    const auto found = list.findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    return found.size() == 1 ? found.first() : nullptr;
}

} // namespace

class TestGameFolderDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void layoutAndKeyboardOrder();
    void listsTheDrivesAndStartsOnC();
    void opensOnAnExistingGamePath_data();
    void opensOnAnExistingGamePath();
    void unusableGamePathIsReportedAndOpensNearby_data();
    void unusableGamePathIsReportedAndOpensNearby();
    void withoutWineTheRootIsTheDefault();
    void choosingAnotherDriveMovesToItsFolder();
    void driveNotReadyKeepsThePicker();
    void openingFoldersFromTheList();
    void selectedEntryDifferentFromTheOpenFolderIsOpened();
    void folderRemovedSinceListedIsReported();
    void okTransfersThePathBoxUnchanged_data();
    void okTransfersThePathBoxUnchanged();
    void closingWithoutOkChangesNothing();

private:
    std::unique_ptr<GameFolderDialog> openPicker(const QString& gamePath);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ModalWatcher> m_messages;
    QString m_root;
    QString m_prefix;
    EnvironmentGuard m_environment;
};

void TestGameFolderDialog::initTestCase()
{
#ifdef Q_OS_WIN
    QSKIP("the drives are the machine's own on Windows");
#endif
}

void TestGameFolderDialog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_root = m_dir->path();
    m_prefix = m_root + u"/prefix"_s;
    const QString driveC = m_prefix + u"/drive_c"_s;
    makeFolder(driveC + u"/Program Files/Rail Simulator/Content"_s);
    makeFolder(driveC + u"/Program Files/Rail Simulator/assets"_s);
    makeFolder(driveC + u"/Program Files/Rail Simulator/Manuals"_s);
    writeFile(driveC + u"/Program Files/Rail Simulator/RailSim.exe"_s, "MZ");
    makeFolder(driveC + u"/Games"_s);
    makeFolder(m_root + u"/disc/Maps"_s);
    makeFolder(m_root + u"/host game/Content"_s);

    const QString devices = m_prefix + u"/dosdevices/"_s;
    makeFolder(devices);
    QVERIFY(QFile::link(u"../drive_c"_s, devices + u"c:"_s));
    QVERIFY(QFile::link(m_root + u"/disc"_s, devices + u"d:"_s));
    // An empty disc drive: the letter is there, its folder is not.
    QVERIFY(QFile::link(m_root + u"/no disc"_s, devices + u"e:"_s));
    // Wine's raw device entries are no drives.
    QVERIFY(QFile::link(u"/dev/null"_s, devices + u"c::"_s));

    m_environment.set("WINEPREFIX", QFile::encodeName(m_prefix));
    m_messages = std::make_unique<ModalWatcher>();
}

void TestGameFolderDialog::cleanup()
{
    m_messages.reset();
    m_dir.reset();
    m_environment.restore();
}

std::unique_ptr<GameFolderDialog> TestGameFolderDialog::openPicker(const QString& gamePath)
{
    return std::make_unique<GameFolderDialog>(gamePath);
}

void TestGameFolderDialog::layoutAndKeyboardOrder()
{
    const auto picker = openPicker(QString());
    QCOMPARE(picker->objectName(), u"frmFolder2"_s);
    QCOMPARE(picker->windowTitle(), u"Select your Rail Simulator Folder"_s);
    checkLayout(*picker, QSize(4950, 5475),
                {
                    {u"Drive1"_s, 480, 240, 4095, 315},
                    {u"Dir1"_s, 480, 720, 4095, 3240},
                    {u"Text1"_s, 480, 4080, 4215, 375},
                    {u"Command1"_s, 1920, 4680, 1335, 375},
                });
    QCOMPARE(picker->okButton()->text(), u"OK"_s);
    QVERIFY2(picker->okButton()->isDefault(), "Enter in the path box confirms");

    picker->show();
    QApplication::setActiveWindow(picker.get());
    QVERIFY(QTest::qWaitForWindowActive(picker.get()));
    QCOMPARE(QApplication::focusWidget(), picker->driveCombo());
    const QList<QWidget*> order{picker->folderTree(), picker->pathEdit(), picker->okButton(),
                                picker->driveCombo()};
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    for (const QWidget* control :
         {static_cast<QWidget*>(picker->driveCombo()), static_cast<QWidget*>(picker->folderTree()),
          static_cast<QWidget*>(picker->pathEdit())})
        QVERIFY2(!control->accessibleName().isEmpty(), control->metaObject()->className());
    QVERIFY(picker->windowFlags().testFlag(Qt::Window));
}

void TestGameFolderDialog::listsTheDrivesAndStartsOnC()
{
    const auto picker = openPicker(QString());
    // Which drives there are, and their labels, is tst_drivelist's; the list shows them all.
    QStringList shown;
    for (int i = 0; i < picker->driveCombo()->count(); ++i)
        shown.append(picker->driveCombo()->itemText(i));
    QStringList labels;
    for (const Drive& drive : DriveList::drives())
        labels.append(drive.label);
    QCOMPARE(shown, labels);

    // Without a game folder the picker starts on c:, and says nothing about it.
    QCOMPARE(picker->drive(), u"c:"_s);
    QCOMPARE(picker->path(), u"c:\\"_s);
    QCOMPARE(picker->pathEdit()->text(), u"c:\\"_s);
    QVERIFY(m_messages->messages().isEmpty());
}

void TestGameFolderDialog::opensOnAnExistingGamePath_data()
{
    QTest::addColumn<QString>("gamePath");
    QTest::addColumn<QString>("drive");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("entries");

    const QString c = u"c:\\program files\\Rail Simulator"_s;
    const QStringList cEntries{u"c:\\"_s,         u"  program files"_s, u"    Rail Simulator"_s,
                               u"      assets"_s, u"      Content"_s,   u"      Manuals"_s};
    QTest::newRow("default game folder") << c << u"c:"_s << c << cEntries;
    QTest::newRow("trailing separator dropped") << c + u'\\' << u"c:"_s << c << cEntries;
    QTest::newRow("upper-case drive, forward slashes, dots")
        << u"C:/program files/./Games/../Rail Simulator/"_s << u"c:"_s
        << u"C:\\program files\\Rail Simulator"_s
        << QStringList(cEntries).replaceInStrings(u"c:"_s, u"C:"_s);
    QTest::newRow("drive root") << u"d:\\"_s << u"d:"_s << u"d:\\"_s
                                << QStringList{u"d:\\"_s, u"  Maps"_s};
    QTest::newRow("bare drive") << u"d:"_s << u"d:"_s << u"d:\\"_s
                                << QStringList{u"d:\\"_s, u"  Maps"_s};
    // The temporary folder is made per test; "<root>" stands for it here.
    QTest::newRow("host folder") << u"<root>/host game"_s << u"/"_s << u"<root>/host game"_s
                                 << QStringList{u"<chain>"_s, u"Content"_s};
}

void TestGameFolderDialog::opensOnAnExistingGamePath()
{
    QFETCH(QString, gamePath);
    QFETCH(QString, drive);
    QFETCH(QString, shown);
    QFETCH(QStringList, entries);
    gamePath.replace(u"<root>"_s, m_root);
    shown.replace(u"<root>"_s, m_root);
    if (entries.first() == u"<chain>"_s) {
        QStringList chain{u"/"_s};
        QString indent = u"  "_s;
        for (const QString& part : shown.split(u'/', Qt::SkipEmptyParts)) {
            chain.append(indent + part);
            indent += u"  "_s;
        }
        chain.append(indent + entries.last());
        entries = chain;
    }

    const auto picker = openPicker(gamePath);
    QVERIFY(m_messages->messages().isEmpty());
    QCOMPARE(picker->drive(), drive);
    QCOMPARE(picker->path(), shown);
    QCOMPARE(picker->pathEdit()->text(), shown);
    // The chain down to the open folder, then its subfolders (not its files), in name order.
    QCOMPARE(shownEntries(*picker->folderTree()), entries);
    // The open folder is the highlighted entry.
    const QString openName =
        shown.size() <= 3 ? shown : shown.section(QRegularExpression(u"[\\\\/]"_s), -1);
    QCOMPARE(picker->folderTree()->currentItem()->text(0), openName);
    QVERIFY2(picker->result() != QDialog::Accepted, "loading chooses nothing");
}

void TestGameFolderDialog::unusableGamePathIsReportedAndOpensNearby_data()
{
    QTest::addColumn<QString>("gamePath");
    QTest::addColumn<QString>("opened");

    QTest::newRow("missing folder") << u"c:\\program files\\Rail Simulator\\Content\\Gone\\Deeper"_s
                                    << u"c:\\program files\\Rail Simulator\\Content"_s;
    QTest::newRow("names a file") << u"c:\\program files\\Rail Simulator\\RailSim.exe"_s
                                  << u"c:\\program files\\Rail Simulator"_s;
    QTest::newRow("missing host folder")
        << u"<root>/host game/Content/Routes"_s << u"<root>/host game/Content"_s;
    QTest::newRow("no drive") << u"Games\\Rail Simulator"_s << u"c:\\"_s;
    QTest::newRow("drive unknown to Wine") << u"q:\\Games\\Rail Simulator"_s << u"c:\\"_s;
    QTest::newRow("drive not ready") << u"e:\\Rail Simulator"_s << u"c:\\"_s;
}

void TestGameFolderDialog::unusableGamePathIsReportedAndOpensNearby()
{
    QFETCH(QString, gamePath);
    QFETCH(QString, opened);
    gamePath.replace(u"<root>"_s, m_root);
    opened.replace(u"<root>"_s, m_root);

    const auto picker = openPicker(gamePath);
    QCOMPARE(m_messages->messages().size(), 1);
    const auto message = m_messages->messages().first();
    QCOMPARE(message.caption, u"Veltrane"_s);
    QCOMPARE(message.icon, QMessageBox::Warning);
    QVERIFY2(message.text.contains(gamePath), qPrintable(message.text));

    QCOMPARE(picker->path(), opened);
    QCOMPARE(picker->pathEdit()->text(), opened);
    QCOMPARE(picker->drive(), opened.startsWith(u'/') ? u"/"_s : opened.left(2));
    // The picker still browses from there.
    QVERIFY(picker->folderTree()->topLevelItemCount() == 1);
    QVERIFY(picker->setPath(u"c:\\Games"_s));
    QCOMPARE(picker->pathEdit()->text(), u"c:\\Games"_s);
    QVERIFY2(picker->result() != QDialog::Accepted, "loading chooses nothing");
}

void TestGameFolderDialog::withoutWineTheRootIsTheDefault()
{
    m_environment.set("WINEPREFIX", QFile::encodeName(m_root + u"/no prefix"_s));
    const auto empty = openPicker(QString());
    QCOMPARE(empty->driveCombo()->count(), 1);
    QCOMPARE(empty->path(), u"/"_s);
    QCOMPARE(empty->pathEdit()->text(), u"/"_s);
    QVERIFY(m_messages->messages().isEmpty());

    const auto wineFolder = openPicker(u"c:\\program files\\Rail Simulator"_s);
    QCOMPARE(m_messages->messages().size(), 1);
    QCOMPARE(wineFolder->path(), u"/"_s);
}

void TestGameFolderDialog::choosingAnotherDriveMovesToItsFolder()
{
    const QString game = u"c:\\program files\\Rail Simulator"_s;
    const auto picker = openPicker(game);
    picker->show();
    QComboBox* drives = picker->driveCombo();

    QTest::keyClick(drives, Qt::Key_Down);
    QCOMPARE(picker->drive(), u"d:"_s);
    QCOMPARE(picker->path(), u"d:\\"_s);
    QCOMPARE(picker->pathEdit()->text(), u"d:\\"_s);
    QCOMPARE(shownEntries(*picker->folderTree()), (QStringList{u"d:\\"_s, u"  Maps"_s}));

    // A drive keeps the folder last opened on it while the picker is open.
    QTest::keyClick(drives, Qt::Key_Up);
    QCOMPARE(picker->path(), game);
    QCOMPARE(picker->pathEdit()->text(), game);

    drives->setCurrentIndex(drives->count() - 1);
    Q_EMIT drives->activated(drives->count() - 1);
    QCOMPARE(picker->path(), u"/"_s);
    QCOMPARE(picker->pathEdit()->text(), u"/"_s);

    // Assigning from code raises the change too, also for the drive already shown.
    picker->pathEdit()->setText(u"typed"_s);
    QVERIFY(picker->setDrive(u"/"_s));
    QCOMPARE(picker->pathEdit()->text(), u"/"_s);
    QVERIFY(picker->setDrive(u"D:\\Maps"_s));
    QCOMPARE(picker->pathEdit()->text(), u"d:\\"_s);
    QVERIFY(!picker->setDrive(u"q:"_s));
    QCOMPARE(picker->pathEdit()->text(), u"d:\\"_s);

    QVERIFY(m_messages->messages().isEmpty());
    QVERIFY2(picker->isVisible() && picker->result() != QDialog::Accepted,
             "browsing alone chooses nothing");
    QVERIFY(picker->chosenFolder().isEmpty());
}

void TestGameFolderDialog::driveNotReadyKeepsThePicker()
{
    const QString game = u"c:\\program files\\Rail Simulator"_s;
    const auto picker = openPicker(game);
    picker->show();
    QComboBox* drives = picker->driveCombo();
    drives->setCurrentIndex(2);
    Q_EMIT drives->activated(2);

    QCOMPARE(m_messages->messages().size(), 1);
    QCOMPARE(m_messages->messages().first().caption, u"Veltrane"_s);
    QVERIFY(m_messages->messages().first().text.contains(u"e:"_s));
    QCOMPARE(picker->drive(), u"c:"_s);
    QCOMPARE(picker->path(), game);
    QCOMPARE(picker->pathEdit()->text(), game);
    QVERIFY(entry(*picker->folderTree(), u"Content"_s));
}

void TestGameFolderDialog::openingFoldersFromTheList()
{
    const QString game = u"c:\\program files\\Rail Simulator"_s;
    const auto picker = openPicker(game);
    picker->show();
    QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
    QTreeWidget* list = picker->folderTree();

    QTreeWidgetItem* content = entry(*list, u"Content"_s);
    QVERIFY(content);
    // The events of a real double-click: press, release, double-click, release.
    const QPoint where = list->visualItemRect(content).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, where);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, where);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, where);
    QCOMPARE(picker->path(), game + u"\\Content"_s);
    QCOMPARE(picker->pathEdit()->text(), game + u"\\Content"_s);
    QCOMPARE(shownEntries(*list).last(), u"      Content"_s);

    // Enter opens the highlighted folder; it does not confirm the dialog.
    list->setFocus();
    list->setCurrentItem(entry(*list, u"program files"_s));
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(picker->pathEdit()->text(), u"c:\\program files"_s);
    QVERIFY(picker->isVisible());
    QCOMPARE(picker->result(), int(QDialog::Rejected));
    QVERIFY(picker->chosenFolder().isEmpty());

    list->setCurrentItem(list->topLevelItem(0));
    QTest::keyClick(list, Qt::Key_Enter);
    QCOMPARE(picker->path(), u"c:\\"_s);
    QCOMPARE(picker->pathEdit()->text(), u"c:\\"_s);
    QCOMPARE(shownEntries(*list), (QStringList{u"c:\\"_s, u"  Games"_s, u"  Program Files"_s}));

    // A single click only highlights.
    QTreeWidgetItem* games = entry(*list, u"Games"_s);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(games).center());
    QCOMPARE(list->currentItem(), games);
    QCOMPARE(picker->pathEdit()->text(), u"c:\\"_s);

    QVERIFY(picker->setPath(m_root + u"/host game"_s));
    list->setCurrentItem(list->topLevelItem(0));
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(picker->pathEdit()->text(), u"/"_s);
    QCOMPARE(picker->drive(), u"/"_s);
    QVERIFY(m_messages->messages().isEmpty());
}

void TestGameFolderDialog::selectedEntryDifferentFromTheOpenFolderIsOpened()
{
    const auto picker = openPicker(u"c:\\program files\\Rail Simulator"_s);
    // The list opens the folder it is told has been opened, when it is not the one shown.
    picker->folderTree()->setCurrentItem(entry(*picker->folderTree(), u"Manuals"_s));
    QVERIFY(QMetaObject::invokeMethod(picker.get(), "folderOpened"));
    QCOMPARE(picker->path(), u"c:\\program files\\Rail Simulator\\Manuals"_s);
    QCOMPARE(picker->pathEdit()->text(), u"c:\\program files\\Rail Simulator\\Manuals"_s);

    picker->folderTree()->setCurrentItem(picker->folderTree()->topLevelItem(0));
    QVERIFY(QMetaObject::invokeMethod(picker.get(), "folderOpened"));
    QCOMPARE(picker->pathEdit()->text(), u"c:\\"_s);
}

void TestGameFolderDialog::folderRemovedSinceListedIsReported()
{
    const auto picker = openPicker(u"c:\\program files\\Rail Simulator"_s);
    picker->show();
    QVERIFY(
        QDir(m_prefix + u"/drive_c/Program Files/Rail Simulator/Manuals"_s).removeRecursively());
    QTreeWidget* list = picker->folderTree();
    list->setCurrentItem(entry(*list, u"Manuals"_s));
    QTest::keyClick(list, Qt::Key_Return);

    QCOMPARE(m_messages->messages().size(), 1);
    QVERIFY(m_messages->messages().first().text.contains(u"Manuals"_s));
    QCOMPARE(picker->pathEdit()->text(), u"c:\\program files\\Rail Simulator"_s);
    QVERIFY2(!entry(*list, u"Manuals"_s), "the list is read again");
}

void TestGameFolderDialog::okTransfersThePathBoxUnchanged_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("folder that does not exist") << u"x:\\Not There\\Rail Simulator "_s;
    QTest::newRow("trailing separator") << u"c:\\Games\\"_s;
    QTest::newRow("empty") << QString();
}

void TestGameFolderDialog::okTransfersThePathBoxUnchanged()
{
    QFETCH(QString, typed);
    const auto picker = openPicker(u"c:\\program files\\Rail Simulator"_s);
    picker->show();
    picker->pathEdit()->selectAll();
    QTest::keyClick(picker->pathEdit(), Qt::Key_Delete);
    QTest::keyClicks(picker->pathEdit(), typed);
    QTest::keyClick(picker->pathEdit(), Qt::Key_Return);

    QCOMPARE(picker->result(), int(QDialog::Accepted));
    QVERIFY(!picker->isVisible());
    QCOMPARE(picker->chosenFolder(), typed);
    QVERIFY(m_messages->messages().isEmpty());
}

void TestGameFolderDialog::closingWithoutOkChangesNothing()
{
    const QString game = u"c:\\program files\\Rail Simulator"_s;
    {
        const auto picker = openPicker(game);
        picker->show();
        QVERIFY(picker->setPath(u"d:\\Maps"_s));
        picker->pathEdit()->setText(u"c:\\Elsewhere"_s);
        picker->close();
        QCOMPARE(picker->result(), int(QDialog::Rejected));
        QVERIFY(picker->chosenFolder().isEmpty());
    }
    {
        const auto picker = openPicker(game);
        QCOMPARE(picker->pathEdit()->text(), game);
        picker->show();
        QTest::keyClick(picker->folderTree(), Qt::Key_Escape);
        QVERIFY(!picker->isVisible());
        QCOMPARE(picker->result(), int(QDialog::Rejected));
        QVERIFY(picker->chosenFolder().isEmpty());
    }
}

QTEST_MAIN(TestGameFolderDialog)
#include "tst_gamefolderdialog.moc"
