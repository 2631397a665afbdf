#include "GameFolderDialog.h"

#include "MessageBoxes.h"
#include "Twips.h"
#include "util/HostPath.h"
#include "util/WindowsPath.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

constexpr int kPathRole = Qt::UserRole;

} // namespace

GameFolderDialog::GameFolderDialog(const QString& startFolder, QWidget* parent)
    : QDialog(parent, Qt::Window), m_drives(DriveList::drives()), m_driveCombo(new QComboBox(this)),
      m_folderTree(new QTreeWidget(this)), m_pathEdit(new QLineEdit(this)),
      m_okButton(new QPushButton(u"OK"_s, this))
{
    // Tests and accessibility tools find the window and its controls by these names.
    setObjectName(u"frmFolder2"_s);
    m_driveCombo->setObjectName(u"Drive1"_s);
    m_folderTree->setObjectName(u"Dir1"_s);
    m_pathEdit->setObjectName(u"Text1"_s);
    m_okButton->setObjectName(u"Command1"_s);

    setWindowTitle(u"Select your Rail Simulator Folder"_s);
    resize(twips(4950), twips(5475));

    m_driveCombo->setGeometry(twipsRect(480, 240, 4095, 315));
    m_driveCombo->setAccessibleName(u"Drive"_s);
    for (const Drive& drive : m_drives)
        m_driveCombo->addItem(drive.label);
    m_driveCombo->setCurrentIndex(-1);
    m_folderTree->setGeometry(twipsRect(480, 720, 4095, 3240));
    m_folderTree->setAccessibleName(u"Folders"_s);
    m_folderTree->setHeaderHidden(true);
    m_folderTree->setRootIsDecorated(false);
    m_folderTree->setItemsExpandable(false);
    m_folderTree->setExpandsOnDoubleClick(false);
    m_folderTree->setUniformRowHeights(true);
    m_folderTree->setIndentation(twips(180));
    m_folderTree->installEventFilter(this);
    m_pathEdit->setGeometry(twipsRect(480, 4080, 4215, 375));
    m_pathEdit->setAccessibleName(u"Rail Simulator folder"_s);
    m_okButton->setGeometry(twipsRect(1920, 4680, 1335, 375));
    // Enter in the path box or the drive list confirms, as in any dialog; in the folder
    // list it opens the folder instead (eventFilter).
    m_okButton->setDefault(true);

    setTabOrder(m_driveCombo, m_folderTree);
    setTabOrder(m_folderTree, m_pathEdit);
    setTabOrder(m_pathEdit, m_okButton);

    // activated, not currentIndexChanged: choosing the drive already shown opens that
    // drive's folder again, and assignments from code raise the change themselves.
    connect(m_driveCombo, &QComboBox::activated, this, &GameFolderDialog::driveChosen);
    connect(m_folderTree, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { openEntry(item); });
    connect(m_okButton, &QPushButton::clicked, this, &GameFolderDialog::confirm);

    openStartFolder(startFolder);
}

void GameFolderDialog::openStartFolder(const QString& startFolder)
{
    if (startFolder.isEmpty()) {
        openDefaultDrive();
        return;
    }
    const std::optional<Location> location = parse(startFolder);
    if (!location) {
        report(u"The folder \"%1\" does not start with a drive, so it cannot be shown."_s.arg(
            startFolder));
        openDefaultDrive();
        return;
    }
    const Drive* drive = findDrive(location->drive);
    if (!drive) {
        report(u"The drive %1 of the folder \"%2\" is not available."_s.arg(location->drive,
                                                                            startFolder));
        openDefaultDrive();
        return;
    }
    if (!drive->isReady()) {
        report(u"The drive %1 of the folder \"%2\" is not ready."_s.arg(drive->name, startFolder));
        openDefaultDrive();
        return;
    }
    setDrive(location->drive);
    if (!setPath(startFolder)) {
        report(u"The folder \"%1\" cannot be found. The nearest folder that exists is shown "
               u"instead."_s.arg(startFolder));
        openNearest(*location);
    }
}

void GameFolderDialog::driveChosen()
{
    const Drive* drive = findDrive(this->drive());
    if (!drive)
        return;
    if (!drive->isReady()) {
        report(u"The drive %1 is not ready."_s.arg(drive->name));
        // The folder list still shows the drive it was on; so does the drive list again.
        if (m_location)
            selectDriveQuietly(m_location->drive);
        return;
    }
    openNearest(m_driveFolders.value(drive->name, Location{drive->name, {}}));
    m_pathEdit->setText(path());
}

void GameFolderDialog::folderOpened()
{
    const QString current = path();
    const QTreeWidgetItem* selected = m_folderTree->currentItem();
    const QString chosen = selected ? selected->data(0, kPathRole).toString() : current;
    if (chosen != current) {
        setPath(chosen);
        const QString opened = path();
        const QChar separator =
            m_location && m_location->drive == DriveList::rootName() ? u'/' : u'\\';
        if (!opened.endsWith(separator))
            setPath(opened + separator);
    }
    m_pathEdit->setText(path());
}

void GameFolderDialog::confirm()
{
    // Unchecked, like the main window's own path box: a typed folder need not exist yet.
    m_chosenFolder = m_pathEdit->text();
    accept();
}

QString GameFolderDialog::drive() const
{
    const int index = m_driveCombo->currentIndex();
    return index >= 0 && index < m_drives.size() ? m_drives[index].name : QString();
}

bool GameFolderDialog::setDrive(const QString& name)
{
    const Drive* drive = findDrive(name);
    if (!drive)
        return false;
    m_driveCombo->setCurrentIndex(int(drive - m_drives.constData()));
    driveChosen();
    return true;
}

QString GameFolderDialog::path() const
{
    return m_location ? text(*m_location) : QString();
}

bool GameFolderDialog::setPath(const QString& text)
{
    const std::optional<Location> location = parse(text);
    if (!location || !findDrive(location->drive) || !exists(*location))
        return false;
    m_location = location;
    m_driveFolders.insert(findDrive(location->drive)->name, *location);
    selectDriveQuietly(location->drive);
    showFolder();
    folderOpened();
    return true;
}

bool GameFolderDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_folderTree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openEntry(m_folderTree->currentItem());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

std::optional<GameFolderDialog::Location> GameFolderDialog::parse(const QString& text) const
{
    Location location;
    QString rest;
    if (WindowsPath::startsWithDrive(text)) {
        location.drive = text.left(2);
        rest = text.mid(2);
        // "c:" and "c:Games" start from the folder last opened on that drive.
        if (!rest.startsWith(u'\\') && !rest.startsWith(u'/')) {
            if (const Drive* drive = findDrive(location.drive))
                location.parts = m_driveFolders.value(drive->name).parts;
        }
    } else {
#ifdef Q_OS_WIN
        return std::nullopt;
#else
        if (!text.startsWith(u'/'))
            return std::nullopt;
        location.drive = DriveList::rootName();
        rest = text;
#endif
    }
    WindowsPath path{QString(), location.parts};
    path.append(rest);
    location.parts = path.names;
    return location;
}

QString GameFolderDialog::text(const Location& location) const
{
    const QString root =
        location.drive == DriveList::rootName() ? location.drive : location.drive + u'\\';
    return WindowsPath{root, location.parts}.toString();
}

QString GameFolderDialog::hostFolder(const Location& location) const
{
    return HostPath::fromProgramPath(text(location)).toString();
}

bool GameFolderDialog::exists(const Location& location) const
{
    return QFileInfo(hostFolder(location)).isDir();
}

const Drive* GameFolderDialog::findDrive(const QString& name) const
{
    const QString key = WindowsPath::startsWithDrive(name) ? name.left(2) : name;
    for (const Drive& drive : m_drives) {
        if (drive.name.compare(key, Qt::CaseInsensitive) == 0)
            return &drive;
    }
    return nullptr;
}

void GameFolderDialog::openDefaultDrive()
{
    const Drive* chosen = findDrive(u"c:"_s);
    if (!chosen || !chosen->isReady()) {
        chosen = nullptr;
        for (const Drive& drive : m_drives) {
            if (drive.isReady()) {
                chosen = &drive;
                break;
            }
        }
    }
    if (chosen) {
        setDrive(chosen->name);
        return;
    }
    m_location.reset();
    m_folderTree->clear();
    m_pathEdit->clear();
}

void GameFolderDialog::openNearest(Location location)
{
    while (!exists(location) && !location.parts.isEmpty())
        location.parts.removeLast();
    if (exists(location))
        setPath(text(location));
    else
        openDefaultDrive();
}

void GameFolderDialog::openEntry(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const QString target = item->data(0, kPathRole).toString();
    if (setPath(target))
        return;
    // Removed since the list was filled.
    report(u"The folder \"%1\" cannot be found any more."_s.arg(target));
    if (const std::optional<Location> location = parse(target))
        openNearest(*location);
}

void GameFolderDialog::showFolder()
{
    m_folderTree->clear();
    if (!m_location)
        return;
    const QStyle* look = style();
    Location chain{m_location->drive, {}};
    auto* item = new QTreeWidgetItem(m_folderTree, {text(chain)});
    item->setIcon(0, look->standardIcon(QStyle::SP_DriveHDIcon));
    item->setData(0, kPathRole, text(chain));
    for (const QString& part : std::as_const(m_location->parts)) {
        chain.parts.append(part);
        item = new QTreeWidgetItem(item, {part});
        item->setIcon(0, look->standardIcon(QStyle::SP_DirOpenIcon));
        item->setData(0, kPathRole, text(chain));
    }
    QTreeWidgetItem* const open = item;

    const QStringList folders = QDir(hostFolder(*m_location))
                                    .entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                                               QDir::Name | QDir::IgnoreCase);
    for (const QString& name : folders) {
        // A "\" in a host name cannot be told from a separator once it is in a path.
        if (name.contains(u'\\'))
            continue;
        Location entry = chain;
        entry.parts.append(name);
        auto* child = new QTreeWidgetItem(open, {name});
        child->setIcon(0, look->standardIcon(QStyle::SP_DirClosedIcon));
        child->setData(0, kPathRole, text(entry));
    }
    m_folderTree->expandAll();
    m_folderTree->setCurrentItem(open);
    m_folderTree->scrollToItem(open);
}

void GameFolderDialog::selectDriveQuietly(const QString& name)
{
    if (const Drive* drive = findDrive(name))
        m_driveCombo->setCurrentIndex(int(drive - m_drives.constData()));
}

void GameFolderDialog::report(const QString& message)
{
    MessageBoxes::showMessage(this, message, UserInterface::Icon::Exclamation);
}

} // namespace veltrane
