#include "frmFolder2.h"

#include "MessageBox.h"
#include "Twips.h"
#include "util/HostPath.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
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

frmFolder2::frmFolder2(AppState& state, QLineEdit& mainPathBox, QWidget* parent)
    : QDialog(parent, Qt::Window), m_state(state), m_mainPathBox(mainPathBox),
      m_drives(DriveList::drives()), m_drive1(new QComboBox(this)), m_dir1(new QTreeWidget(this)),
      m_text1(new QLineEdit(this)), m_command1(new QPushButton(u"OK"_s, this))
{
    setWindowTitle(u"Select your Rail Simulator Folder"_s);
    resize(twips(4950), twips(5475));

    m_drive1->setGeometry(twipsRect(480, 240, 4095, 315));
    m_drive1->setAccessibleName(u"Drive"_s);
    for (const Drive& drive : m_drives)
        m_drive1->addItem(drive.label);
    m_drive1->setCurrentIndex(-1);
    m_dir1->setGeometry(twipsRect(480, 720, 4095, 3240));
    m_dir1->setAccessibleName(u"Folders"_s);
    m_dir1->setHeaderHidden(true);
    m_dir1->setRootIsDecorated(false);
    m_dir1->setItemsExpandable(false);
    m_dir1->setExpandsOnDoubleClick(false);
    m_dir1->setUniformRowHeights(true);
    m_dir1->setIndentation(twips(180));
    m_dir1->installEventFilter(this);
    m_text1->setGeometry(twipsRect(480, 4080, 4215, 375));
    m_text1->setAccessibleName(u"Rail Simulator folder"_s);
    m_command1->setGeometry(twipsRect(1920, 4680, 1335, 375));
    // Enter in the path box or the drive list confirms, as in any dialog; in the directory
    // list it opens the folder instead (eventFilter).
    m_command1->setDefault(true);

    setTabOrder(m_drive1, m_dir1);
    setTabOrder(m_dir1, m_text1);
    setTabOrder(m_text1, m_command1);

    // activated, not currentIndexChanged: choosing the drive already shown opens that
    // drive's folder again, and assignments from code raise the change themselves.
    connect(m_drive1, &QComboBox::activated, this, [this] { Drive1_Change(); });
    connect(m_dir1, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { openEntry(item); });
    connect(m_command1, &QPushButton::clicked, this, &frmFolder2::Command1_Click);

    Form_Load();
}

void frmFolder2::Form_Load()
{
    const QString gamePath = m_state.GamePath;
    if (gamePath.isEmpty()) {
        openDefaultDrive();
        return;
    }
    const std::optional<Location> location = parse(gamePath);
    if (!location) {
        report(u"The folder \"%1\" does not start with a drive, so it cannot be shown."_s.arg(
            gamePath));
        openDefaultDrive();
        return;
    }
    const Drive* drive = findDrive(location->drive);
    if (!drive) {
        report(u"The drive %1 of the folder \"%2\" is not available."_s.arg(location->drive,
                                                                            gamePath));
        openDefaultDrive();
        return;
    }
    if (!drive->isReady()) {
        report(u"The drive %1 of the folder \"%2\" is not ready."_s.arg(drive->name, gamePath));
        openDefaultDrive();
        return;
    }
    setDrive(location->drive);
    if (!setPath(gamePath)) {
        report(u"The folder \"%1\" cannot be found. The nearest folder that exists is shown "
               u"instead."_s.arg(gamePath));
        openNearest(*location);
    }
}

void frmFolder2::Drive1_Change()
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
    m_text1->setText(path());
}

void frmFolder2::Dir1_Change()
{
    const QString current = path();
    const QTreeWidgetItem* selected = m_dir1->currentItem();
    const QString chosen = selected ? selected->data(0, kPathRole).toString() : current;
    if (chosen != current) {
        setPath(chosen);
        const QString opened = path();
        const QChar separator =
            m_location && m_location->drive == DriveList::rootName() ? u'/' : u'\\';
        if (!opened.endsWith(separator))
            setPath(opened + separator);
    }
    m_text1->setText(path());
}

void frmFolder2::Command1_Click()
{
    // Unchecked, like the main window's own path box: a typed folder need not exist yet.
    const QString chosen = m_text1->text();
    m_mainPathBox.setText(chosen);
    m_state.GamePath = chosen;
    accept();
}

QString frmFolder2::drive() const
{
    const int index = m_drive1->currentIndex();
    return index >= 0 && index < m_drives.size() ? m_drives[index].name : QString();
}

bool frmFolder2::setDrive(const QString& name)
{
    const Drive* drive = findDrive(name);
    if (!drive)
        return false;
    m_drive1->setCurrentIndex(int(drive - m_drives.constData()));
    Drive1_Change();
    return true;
}

QString frmFolder2::path() const
{
    return m_location ? text(*m_location) : QString();
}

bool frmFolder2::setPath(const QString& text)
{
    const std::optional<Location> location = parse(text);
    if (!location || !findDrive(location->drive) || !exists(*location))
        return false;
    m_location = location;
    m_driveFolders.insert(findDrive(location->drive)->name, *location);
    selectDriveQuietly(location->drive);
    showFolder();
    Dir1_Change();
    return true;
}

bool frmFolder2::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_dir1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openEntry(m_dir1->currentItem());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

std::optional<frmFolder2::Location> frmFolder2::parse(const QString& text) const
{
    Location location;
    QString rest;
    if (HostPath::startsWithDrive(text)) {
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
    rest.replace(u'/', u'\\');
    for (const QString& part : rest.split(u'\\', Qt::SkipEmptyParts)) {
        if (part == u"."_s)
            continue;
        if (part == u".."_s) {
            if (!location.parts.isEmpty())
                location.parts.removeLast();
            continue;
        }
        location.parts.append(part);
    }
    return location;
}

QString frmFolder2::text(const Location& location) const
{
    if (location.drive == DriveList::rootName())
        return DriveList::rootName() + location.parts.join(u'/');
    return location.drive + u'\\' + location.parts.join(u'\\');
}

QString frmFolder2::hostFolder(const Location& location) const
{
    return HostPath::toHost(text(location));
}

bool frmFolder2::exists(const Location& location) const
{
    return QFileInfo(hostFolder(location)).isDir();
}

const Drive* frmFolder2::findDrive(const QString& name) const
{
    const QString key = HostPath::startsWithDrive(name) ? name.left(2) : name;
    for (const Drive& drive : m_drives) {
        if (drive.name.compare(key, Qt::CaseInsensitive) == 0)
            return &drive;
    }
    return nullptr;
}

void frmFolder2::openDefaultDrive()
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
    m_dir1->clear();
    m_text1->clear();
}

void frmFolder2::openNearest(Location location)
{
    while (!exists(location) && !location.parts.isEmpty())
        location.parts.removeLast();
    if (exists(location))
        setPath(text(location));
    else
        openDefaultDrive();
}

void frmFolder2::openEntry(QTreeWidgetItem* item)
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

void frmFolder2::showFolder()
{
    m_dir1->clear();
    if (!m_location)
        return;
    const QStyle* look = style();
    Location chain{m_location->drive, {}};
    auto* item = new QTreeWidgetItem(m_dir1, {text(chain)});
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
    m_dir1->expandAll();
    m_dir1->setCurrentItem(open);
    m_dir1->scrollToItem(open);
}

void frmFolder2::selectDriveQuietly(const QString& name)
{
    if (const Drive* drive = findDrive(name))
        m_drive1->setCurrentIndex(int(drive - m_drives.constData()));
}

void frmFolder2::report(const QString& message)
{
    MessageBox::show(this, message, UserInterface::Icon::Exclamation);
}

} // namespace veltrane
