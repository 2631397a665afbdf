#include "InstalledPackagesDialog.h"

#include "MessageBoxes.h"
#include "TreeColumns.h"
#include "journal/InstallRecord.h"
#include "util/UserInterface.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

enum InstallColumn { Id, Time, Kind, Package, Files, State };

QString packageText(const InstallRecord& install)
{
    return install.displayName.isEmpty() ? install.package
                                         : install.package + u" ("_s + install.displayName + u')';
}

} // namespace

InstalledPackagesDialog::InstalledPackagesDialog(HostPath game, UserInterface& ui,
                                                 TakeBack takeBack, QWidget* parent)
    : QDialog(parent), m_game(std::move(game)), m_ui(ui), m_takeBackInstall(std::move(takeBack)),
      m_note(new QLabel(this)), m_installs(new QTreeWidget(this)), m_changes(new QTreeWidget(this)),
      m_takeBack(new QPushButton(u"&Take back"_s, this))
{
    setObjectName(u"installedPackages"_s);
    setWindowTitle(u"Installed packages"_s);
    m_note->setWordWrap(true);
    m_note->setTextFormat(Qt::PlainText);
    m_installs->setObjectName(u"installList"_s);
    m_installs->setHeaderLabels(
        {u"No."_s, u"Time (UTC)"_s, u"Kind"_s, u"Package"_s, u"Files"_s, u"State"_s});
    m_installs->setRootIsDecorated(false);
    m_installs->setAccessibleName(u"Installs into the game, newest first"_s);
    m_changes->setObjectName(u"installChanges"_s);
    m_changes->setHeaderLabels({u"File or list record"_s, u"Change"_s, u"Whose it was"_s});
    m_changes->setRootIsDecorated(false);
    fitColumns(*m_installs, Package);
    fitColumns(*m_changes, 0);
    m_changes->setAccessibleName(u"What the chosen install changed"_s);
    m_takeBack->setObjectName(u"takeBackButton"_s);
    m_takeBack->setToolTip(u"Put back what this install changed; later installs that changed "
                           u"the same files are named and taken back first"_s);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_installs);
    split->addWidget(m_changes);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(m_takeBack, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_takeBack, &QPushButton::clicked, this, &InstalledPackagesDialog::takeBackChosen);
    connect(m_installs, &QTreeWidget::currentItemChanged, this,
            &InstalledPackagesDialog::showChanges);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_note);
    layout->addWidget(split, 1);
    layout->addWidget(buttons);
    resize(760, 480);
    refresh();
}

void InstalledPackagesDialog::refresh()
{
    m_installs->clear();
    // Read only: the list changes nothing, and another program may hold the game.
    m_inventory.emplace(Inventory::open(m_game, m_ui, Inventory::Access::ReadOnly));
    const QList<InstallRecord> installs = m_inventory->installs();
    for (const InstallRecord& install : installs) {
        auto* item = new QTreeWidgetItem(
            m_installs,
            {QString::number(install.id),
             install.started.toUTC().toString(u"yyyy-MM-dd HH:mm:ss"_s), install.kind,
             packageText(install), QString::number(install.fileCount), install.stateText()});
        item->setData(Id, Qt::UserRole, install.id);
        // Only an install still in the game with its kept copies can be taken back.
        item->setData(State, Qt::UserRole,
                      install.state != InstallRecord::State::TakenBack && install.undoable);
    }
    m_note->setText(installs.isEmpty()
                        ? u"Nothing has been installed into "_s + m_game.display() +
                              u" by Veltrane."_s
                        : u"Installs into "_s + m_game.display() + u", the newest first."_s);
    MessageBoxes::trace("view:",
                        windowTitle() + u": "_s + QString::number(installs.size()) + u" listed"_s);
    m_installs->setCurrentItem(m_installs->topLevelItem(0));
    showChanges();
}

void InstalledPackagesDialog::showChanges()
{
    m_changes->clear();
    const QTreeWidgetItem* chosen = m_installs->currentItem();
    m_takeBack->setEnabled(chosen && chosen->data(State, Qt::UserRole).toBool());
    if (!chosen || !m_inventory)
        return;
    const int id = chosen->data(Id, Qt::UserRole).toInt();
    const Inventory& inventory = *m_inventory;
    QHash<int, QString> packages;
    for (const InstallRecord& install : inventory.installs())
        packages.insert(install.id, install.package);
    for (const InstallRecord::File& file : inventory.files(id)) {
        const QString whose = file.change == InstallRecord::Change::Added ? QString()
                              : file.previousOwner == 0
                                  ? u"the game's own file"_s
                                  : packages.value(file.previousOwner) + u", install "_s +
                                        QString::number(file.previousOwner);
        new QTreeWidgetItem(m_changes, {file.path, InstallRecord::changeName(file.change), whose});
    }
    for (const InstallRecord::ListChange& record : inventory.records(id))
        new QTreeWidgetItem(m_changes,
                            {record.list + u": "_s + record.name + u" ("_s + record.recordId + u')',
                             u"record "_s + record.change, QString()});
}

void InstalledPackagesDialog::takeBackChosen()
{
    const QTreeWidgetItem* chosen = m_installs->currentItem();
    if (!chosen || !m_takeBackInstall)
        return;
    m_takeBack->setEnabled(false);
    m_takeBackInstall(chosen->data(Id, Qt::UserRole).toInt());
    refresh();
}

} // namespace veltrane
