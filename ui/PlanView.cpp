#include "PlanView.h"

#include "MessageBoxes.h"
#include "TreeColumns.h"
#include "install/InstallPlan.h"

#include <QDialogButtonBox>
#include <QHash>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

enum Column { Name, Change, Owner, Size };

QString summaryOf(const InstallPlan& plan)
{
    qsizetype added = 0;
    qsizetype replaced = 0;
    qsizetype blocked = 0;
    for (const InstallPlan::File& file : plan.files) {
        added += file.state == InstallPlan::File::State::Add;
        replaced += file.state == InstallPlan::File::State::Replace;
        blocked += file.state == InstallPlan::File::State::Blocked;
    }
    QString text = u"The install of "_s + plan.packageName + u" into "_s + plan.game + u" adds "_s +
                   QString::number(added) + u" files and replaces "_s + QString::number(replaced) +
                   u'.';
    if (blocked > 0)
        text += u' ' + QString::number(blocked) + u" cannot be copied: a folder has their name."_s;
    if (!plan.space.enough())
        text += u" There is not enough free space for it."_s;
    if (!plan.stop.isEmpty())
        text += u"\nIt would stop before it changes anything: "_s + plan.stop;
    return text;
}

QString changeOf(const InstallPlan::File& file)
{
    switch (file.state) {
    case InstallPlan::File::State::Add:
        return u"add"_s;
    case InstallPlan::File::State::Replace:
        return u"replace"_s;
    case InstallPlan::File::State::Blocked:
        break;
    }
    return u"blocked by a folder"_s;
}

} // namespace

PlanView::PlanView(const InstallPlan& plan, QWidget* parent)
    : QDialog(parent), m_summary(new QLabel(summaryOf(plan), this)), m_tabs(new QTabWidget(this)),
      m_files(new QTreeWidget(this))
{
    setObjectName(u"planView"_s);
    setWindowTitle(u"Install details"_s);
    m_summary->setObjectName(u"planSummary"_s);
    m_summary->setWordWrap(true);
    m_summary->setTextFormat(Qt::PlainText);
    m_files->setObjectName(u"planFiles"_s);
    m_files->setHeaderLabels({u"File"_s, u"Change"_s, u"Whose it was"_s, u"Size"_s});
    m_files->setUniformRowHeights(true);
    m_files->setAccessibleName(u"The package's files and what each does to the game"_s);
    fillFiles(plan);
    m_tabs->addTab(m_files, u"Files"_s);
    addTextTab(u"Lists"_s, plan.partText(InstallPlan::Part::Lists), u"planLists"_s);
    addTextTab(u"Rolling stock"_s, plan.partText(InstallPlan::Part::Stock), u"planStock"_s);
    addTextTab(u"Batch file"_s, plan.partText(InstallPlan::Part::Batch), u"planBatch"_s);
    addTextTab(u"Space"_s, plan.partText(InstallPlan::Part::Space), u"planSpace"_s);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(buttons);
    resize(720, 480);
    MessageBoxes::trace("view:", windowTitle() + u": "_s + m_summary->text());
}

void PlanView::fillFiles(const InstallPlan& plan)
{
    // Folders as nodes, made on the way down; the plan lists files only.
    QHash<QString, QTreeWidgetItem*> folders;
    const auto folderOf = [&](const QString& path) {
        QTreeWidgetItem* parent = nullptr;
        qsizetype slash = path.indexOf(u'/');
        while (slash >= 0) {
            const QString folder = path.left(slash);
            QTreeWidgetItem*& item = folders[folder.toCaseFolded()];
            if (!item) {
                const QStringList name{folder.mid(folder.lastIndexOf(u'/') + 1)};
                item =
                    parent ? new QTreeWidgetItem(parent, name) : new QTreeWidgetItem(m_files, name);
            }
            parent = item;
            slash = path.indexOf(u'/', slash + 1);
        }
        return parent;
    };
    // By path, letter case aside, as the game's file dialogs list them.
    QList<const InstallPlan::File*> sorted;
    for (const InstallPlan::File& file : plan.files)
        sorted.append(&file);
    std::sort(sorted.begin(), sorted.end(), [](const auto* a, const auto* b) {
        return a->path.compare(b->path, Qt::CaseInsensitive) < 0;
    });
    const QLocale locale;
    for (const InstallPlan::File* entry : std::as_const(sorted)) {
        const InstallPlan::File& file = *entry;
        QTreeWidgetItem* parent = folderOf(file.path);
        const QStringList columns{
            file.path.mid(file.path.lastIndexOf(u'/') + 1), changeOf(file),
            file.state == InstallPlan::File::State::Replace
                ? (file.owner.isEmpty() ? u"the game's own file"_s : file.owner)
                : QString(),
            locale.formattedDataSize(file.size)};
        auto* item =
            parent ? new QTreeWidgetItem(parent, columns) : new QTreeWidgetItem(m_files, columns);
        item->setToolTip(Name, file.path);
    }
    // Small trees open whole; a large one opens at its top.
    if (plan.files.size() <= 200)
        m_files->expandAll();
    else
        m_files->expandToDepth(1);
    fitColumns(*m_files, Name);
}

void PlanView::addTextTab(const QString& title, const QString& text, const QString& name)
{
    auto* view = new QPlainTextEdit(this);
    view->setObjectName(name);
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setPlainText(text.isEmpty() ? u"Nothing here for this package."_s : text);
    m_tabs->addTab(view, title);
}

} // namespace veltrane
