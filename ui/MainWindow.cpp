#include "MainWindow.h"

#include "GameFolderDialog.h"
#include "MessageBoxes.h"
#include "MissingStockReport.h"
#include "Twips.h"
#include "install/InstallHistory.h"
#include "install/InstallOperation.h"
#include "install/UndoOperation.h"
#include "util/TextFile.h"
#include "util/Version.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

const QString kDefaultGamePath = u"c:\\program files\\Rail Simulator"_s;

} // namespace

MainWindow::MainWindow(QString packageFolder, QWidget* parent)
    : QWidget(parent), m_packageFolder(std::move(packageFolder)),
      m_gamePathEdit(new QLineEdit(this)), m_pathLabel(new QLabel(u"Rail Simulator Path"_s, this)),
      m_browseButton(new QPushButton(u"....."_s, this)),
      m_installButton(new QPushButton(u"Install Route"_s, this)),
      m_progressBar(new QProgressBar(this)), m_undoButton(new QPushButton(u"Undo..."_s, this))
{
    // Tests and accessibility tools find the window and its controls by these names.
    setObjectName(u"frmVeltrane"_s);
    m_gamePathEdit->setObjectName(u"Text1"_s);
    m_pathLabel->setObjectName(u"Label1"_s);
    m_browseButton->setObjectName(u"Command1"_s);
    m_installButton->setObjectName(u"Command2"_s);
    m_progressBar->setObjectName(u"progressBar"_s);
    m_undoButton->setObjectName(u"undoButton"_s);

    setWindowTitle(u"Veltrane  Version "_s + QString::number(kVersionMajor) + u'.' +
                   QString::number(kVersionMinor) + u'.' + QString::number(kVersionRevision));
    resize(twips(9495), twips(2220));

    m_gamePathEdit->setGeometry(twipsRect(2040, 720, 5655, 375));
    m_gamePathEdit->setAccessibleName(u"Rail Simulator Path"_s);
    m_pathLabel->setGeometry(twipsRect(240, 840, 1575, 495));
    m_pathLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A fixed-size label wraps its caption, so a wider font never cuts it off.
    m_pathLabel->setWordWrap(true);
    m_pathLabel->setBuddy(m_gamePathEdit);
    m_browseButton->setGeometry(twipsRect(7920, 720, 735, 375));
    m_browseButton->setFont(QFont(u"MS Sans Serif"_s, 12, QFont::Bold));
    m_browseButton->setAccessibleName(u"Browse for the Rail Simulator folder"_s);
    m_installButton->setGeometry(twipsRect(4080, 1440, 2295, 375));

    // A thin bar right under the install button, only while files are copied.
    const QRect installRect = m_installButton->geometry();
    m_progressBar->setGeometry(installRect.left(), installRect.bottom() + 5, installRect.width(),
                               6);
    m_progressBar->setTextVisible(false);
    m_progressBar->setAccessibleName(u"Files copied"_s);
    m_progressBar->hide();

    // Taking installs back, in the free corner left of the install button: the four
    // controls keep their places.
    m_undoButton->setGeometry(twipsRect(240, 1440, 1575, 375));
    m_undoButton->setAccessibleName(u"Undo an install into this game folder"_s);
    m_undoButton->setToolTip(u"Put the game folder back as it was before an install"_s);
    m_undoButton->setMenu(new QMenu(m_undoButton));

    setTabOrder(m_gamePathEdit, m_browseButton);
    setTabOrder(m_browseButton, m_installButton);
    setTabOrder(m_installButton, m_undoButton);

    connect(m_gamePathEdit, &QLineEdit::returnPressed, this, &MainWindow::takeTypedGamePath);
    connect(m_browseButton, &QPushButton::clicked, this, &MainWindow::browse);
    connect(m_installButton, &QPushButton::clicked, this, &MainWindow::install);
    connect(m_undoButton->menu(), &QMenu::aboutToShow, this, &MainWindow::listUndoableInstalls);

    fillGamePath();
    detectPackageKind();
    // Once the window shows: an install the program was killed in must be the first thing
    // the user hears of.
    QTimer::singleShot(0, this, &MainWindow::offerRollback);
}

void MainWindow::offerRollback()
{
    if (m_installing || m_gamePathEdit->text().trimmed().isEmpty())
        return;
    m_installing = true;
    UndoOperation(*this).offerRollback(HostPath::fromProgramPath(m_gamePathEdit->text()));
    m_installing = false;
}

void MainWindow::listUndoableInstalls()
{
    QMenu* menu = m_undoButton->menu();
    menu->clear();
    const QString folder = m_gamePathEdit->text();
    const QList<InstallHistory::Install> installs =
        folder.trimmed().isEmpty() ? QList<InstallHistory::Install>()
                                   : InstallHistory(HostPath::fromProgramPath(folder)).installs();
    if (installs.isEmpty()) {
        menu->addAction(u"No install into this game folder can be undone"_s)->setEnabled(false);
        return;
    }
    for (int i = 0; i < installs.size(); ++i) {
        QAction* action = menu->addAction((i == 0 ? u"Undo the last install: "_s : u"Undo "_s) +
                                          InstallHistory::describe(installs[i]));
        connect(action, &QAction::triggered, this, [this, i] { undoInstall(i); });
    }
}

void MainWindow::undoInstall(int index)
{
    if (m_installing)
        return;
    m_installing = true;
    UndoOperation(*this).undo(HostPath::fromProgramPath(m_gamePathEdit->text()), index);
    m_installing = false;
}

void MainWindow::fillGamePath()
{
    if (m_state.GamePath.isEmpty() &&
        fileExists(HostPath::fromProgramPath(kDefaultGamePath + u"\\RailSim.exe"_s)))
        m_state.GamePath = kDefaultGamePath;
    m_gamePathEdit->setText(m_state.GamePath);
}

void MainWindow::detectPackageKind()
{
    if (fileExists(HostPath::fromProgramPath(m_packageFolder + u"\\Veltrane.xxx"_s))) {
        m_packageKind = PackageKind::Route;
        m_installButton->setText(u"Install Route"_s);
    } else if (fileExists(HostPath::fromProgramPath(m_packageFolder + u"\\Scenario.zzz"_s))) {
        m_packageKind = PackageKind::Scenario;
        m_installButton->setText(u"Install Scenario"_s);
    } else {
        m_packageKind = PackageKind::Assets;
        m_installButton->setText(u"Install Assets"_s);
    }
}

void MainWindow::takeTypedGamePath()
{
    // Not while an install runs: it reads GamePath at every step.
    if (!m_installing)
        m_state.GamePath = m_gamePathEdit->text();
}

void MainWindow::browse()
{
    // A running install reads GamePath at every step; a new folder now would split it
    // between two game folders.
    if (m_installing)
        return;
    // No owner: the window system places the picker, and exec keeps this window still.
    GameFolderDialog picker(m_state.GamePath);
    if (picker.exec() != QDialog::Accepted)
        return;
    m_gamePathEdit->setText(picker.chosenFolder());
    m_state.GamePath = picker.chosenFolder();
}

void MainWindow::install()
{
    // The window keeps handling events while an install waits; a second press does nothing.
    if (m_installing)
        return;
    m_installing = true;
    InstallOperation operation(m_state, *this, m_packageFolder);
    const auto outcome = operation.run(m_packageKind, m_gamePathEdit->text());
    m_installing = false;
    // After a warning the window stays open, so that the install can be run again.
    if (outcome == InstallOperation::Outcome::Completed || m_closeRequested)
        close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Closing while an install runs would leave it half done: the install finishes (only a
    // running conversion is ended, and counts as failed), tells how it ended, and the window
    // closes then.
    if (m_installing) {
        m_closeRequested = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void MainWindow::showMessage(const QString& text, Icon icon)
{
    MessageBoxes::showMessage(this, text, icon);
}

bool MainWindow::askYesNo(const QString& text)
{
    return MessageBoxes::askYesNo(this, text);
}

void MainWindow::showReport(const QString& text)
{
    MissingStockReport::showReport(this, text);
}

void MainWindow::processEvents()
{
    QCoreApplication::processEvents();
}

void MainWindow::setBusy(bool busy)
{
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void MainWindow::showProgress(qint64 done, qint64 total)
{
    if (total <= 0) {
        m_progressBar->hide();
        return;
    }
    // The bar counts in int; scale very large totals down.
    const qint64 scale = total > 1'000'000'000 ? total / 1'000'000 : 1;
    m_progressBar->setRange(0, int(total / scale));
    m_progressBar->setValue(int(done / scale));
    m_progressBar->show();
}

} // namespace veltrane
