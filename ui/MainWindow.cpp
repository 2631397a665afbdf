#include "MainWindow.h"

#include "GameFolderDialog.h"
#include "InstalledPackagesDialog.h"
#include "MessageBoxes.h"
#include "MissingStockReport.h"
#include "PackageChooser.h"
#include "PlanView.h"
#include "ProgressPanel.h"
#include "Twips.h"
#include "install/GameFolder.h"
#include "install/InstallOperation.h"
#include "install/InstallPlanner.h"
#include "journal/Inventory.h"
#include "journal/UndoOperation.h"
#include "package/PackageArchive.h"
#include "package/PackageFolder.h"
#include "package/PackageSource.h"
#include "util/FileError.h"
#include "util/TextFile.h"
#include "util/Version.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <optional>

using namespace Qt::StringLiterals;

namespace veltrane {

MainWindow::MainWindow(const QString& packageFolder, QWidget* parent)
    : QWidget(parent), m_package(std::make_unique<PackageSource>(packageFolder)),
      m_gamePathEdit(new QLineEdit(this)), m_pathLabel(new QLabel(u"Rail Simulator Path"_s, this)),
      m_browseButton(new QPushButton(u"....."_s, this)),
      m_installButton(new QPushButton(u"Install Route"_s, this)),
      m_progressBar(new QProgressBar(this)), m_undoButton(new QPushButton(u"Undo..."_s, this)),
      m_detailsButton(new QPushButton(u"Details..."_s, this)), m_packageLine(new QLabel(this)),
      m_progress(new ProgressPanel(this))
{
    // Tests and accessibility tools find the window and its controls by these names.
    setObjectName(u"frmVeltrane"_s);
    m_gamePathEdit->setObjectName(u"Text1"_s);
    m_pathLabel->setObjectName(u"Label1"_s);
    m_browseButton->setObjectName(u"Command1"_s);
    m_installButton->setObjectName(u"Command2"_s);
    m_progressBar->setObjectName(u"progressBar"_s);
    m_undoButton->setObjectName(u"undoButton"_s);
    m_detailsButton->setObjectName(u"detailsButton"_s);
    m_packageLine->setObjectName(u"packageLine"_s);

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
    m_undoButton->setAccessibleName(u"Installed packages"_s);
    m_undoButton->setToolTip(u"The packages installed into this game folder; take any one back"_s);
    // Beside it, what the install will do, before it does it.
    m_detailsButton->setGeometry(twipsRect(1935, 1440, 1575, 375));
    m_detailsButton->setAccessibleName(u"Details of the install"_s);
    m_detailsButton->setToolTip(u"What the install will change, before it changes anything"_s);

    // Under the path box: which package the install button installs.
    m_packageLine->setGeometry(twipsRect(2040, 1110, 5655, 300));
    m_packageLine->setTextFormat(Qt::PlainText);
    // Along the bottom, while something long runs: what it does, how far, and Cancel.
    m_progress->setGeometry(twipsRect(240, 1875, 9015, 315));
    setAcceptDrops(true);

    setTabOrder(m_gamePathEdit, m_browseButton);
    setTabOrder(m_browseButton, m_installButton);
    setTabOrder(m_installButton, m_undoButton);
    setTabOrder(m_undoButton, m_detailsButton);

    connect(m_gamePathEdit, &QLineEdit::returnPressed, this, &MainWindow::takeTypedGamePath);
    connect(m_browseButton, &QPushButton::clicked, this, &MainWindow::browse);
    connect(m_installButton, &QPushButton::clicked, this, &MainWindow::install);
    connect(m_undoButton, &QPushButton::clicked, this, &MainWindow::showInstalledPackages);
    connect(m_detailsButton, &QPushButton::clicked, this, &MainWindow::showDetails);

    fillGamePath();
    detectPackageKind();
}

MainWindow::~MainWindow() = default;

void MainWindow::setGameFolder(const QString& folder)
{
    m_state.GamePath = folder;
    m_gamePathEdit->setText(folder);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_started) {
        m_started = true;
        QTimer::singleShot(0, this, &MainWindow::startUp);
    }
}

void MainWindow::startUp()
{
    // An install the program was killed in must be the first thing the user hears of.
    offerRollback();
    if (!m_packageToOpen.isEmpty())
        openPackage(std::exchange(m_packageToOpen, QString()));
    // Started where no package lies, the window asks for one.
    if (!m_hasPackage && !m_installing)
        choosePackage();
}

const HostPath& MainWindow::packageFolder() const
{
    return m_package->folder();
}

bool MainWindow::choosePackage()
{
    const QString chosen = PackageChooser::choose(this);
    if (chosen.isEmpty())
        return false;

    if (!openPackage(chosen))
        return false;
    if (!m_hasPackage) {
        showMessage(u"There is no package in "_s + QDir::toNativeSeparators(chosen) +
                        u": no Veltrane.xxx, no Scenario.zzz and no \"Rail Simulator\" folder."_s,
                    Icon::Exclamation);
        return false;
    }
    return true;
}

bool MainWindow::openPackage(const QString& given)
{
    auto package = std::make_unique<PackageSource>(given);
    try {
        // An archive is unpacked into the cache and stays there while the window is open.
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        if (package->isArchive() && !QDir().mkpath(cache))
            throw FileError(FileError::Kind::Other, u"The folder "_s +
                                                        QDir::toNativeSeparators(cache) +
                                                        u" cannot be made"_s);
        unpackInTheBackground(*package, HostPath::fromHost(cache));
    } catch (const ArchiveRefusal& refusal) {
        if (refusal.reason() != ArchiveRefusal::Reason::Cancelled)
            showMessage(u"The package "_s + QDir::toNativeSeparators(given) +
                            u" cannot be installed: "_s + refusal.description(),
                        Icon::Exclamation);
        return false;
    } catch (const FileError& error) {
        showMessage(u"The package "_s + QDir::toNativeSeparators(given) +
                        u" cannot be installed: "_s + error.description(),
                    Icon::Exclamation);
        return false;
    }
    m_package = std::move(package);
    detectPackageKind();
    return true;
}

void MainWindow::unpackInTheBackground(PackageSource& package, const HostPath& parent)
{
    if (!package.isArchive())
        return;
    m_installing = true;
    m_progress->clearCancel();
    const auto idle = qScopeGuard([this] {
        m_installing = false;
        showStep({});
        unsetCursor();
    });
    setCursor(Qt::BusyCursor);
    showStep(u"Unpacking "_s + package.name());
    // The worker reports through the event loop, and reads the Cancel through an atomic.
    std::atomic<bool> cancelled{false};
    PackageArchive::Observer observer;
    observer.report = [this, &cancelled](const PackageArchive::Progress& progress) {
        QMetaObject::invokeMethod(this, [this, progress] {
            showProgress(progress.entriesDone, progress.entriesTotal);
            showBytes(progress.bytesDone, progress.bytesTotal);
        });
        return !cancelled.load();
    };
    std::exception_ptr failure;
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            package.open(parent, observer);
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer watchCancel;
    connect(&watchCancel, &QTimer::timeout, this,
            [this, &cancelled] { cancelled = cancelled || m_progress->cancelRequested(); });
    watchCancel.start(50);
    worker->start();
    loop.exec();
    worker->wait();
    showProgress(0, 0);
    if (failure)
        std::rethrow_exception(failure);
}

void MainWindow::showPackageLine()
{
    if (!m_hasPackage) {
        m_packageLine->setText(u"No package chosen yet"_s);
        return;
    }
    const QString display = PackageFolder::displayName(m_package->folder(), m_packageKind);
    const QString line = u"Package: "_s + m_package->name() + u" ("_s +
                         PackageFolder::kindName(m_packageKind) +
                         (display.isEmpty() ? QString() : u", "_s + display) + u')';
    m_packageLine->setToolTip(line);
    m_packageLine->setText(
        m_packageLine->fontMetrics().elidedText(line, Qt::ElideMiddle, m_packageLine->width()));
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!m_installing && urls.size() == 1 && urls.first().isLocalFile())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    if (m_installing)
        return;
    const QString dropped = event->mimeData()->urls().value(0).toLocalFile();
    event->acceptProposedAction();
    // Opened as if chosen, once the drop is over.
    QTimer::singleShot(0, this, [this, dropped] {
        if (openPackage(dropped) && !m_hasPackage)
            showMessage(u"There is no package in "_s + QDir::toNativeSeparators(dropped) +
                            u": no Veltrane.xxx, no Scenario.zzz and no \"Rail Simulator\" "
                            u"folder."_s,
                        Icon::Exclamation);
    });
}

void MainWindow::offerRollback()
{
    if (m_installing || m_gamePathEdit->text().trimmed().isEmpty())
        return;
    m_installing = true;
    UndoOperation(*this).offerRollback(HostPath::fromProgramPath(m_gamePathEdit->text()));
    m_installing = false;
}

void MainWindow::showInstalledPackages()
{
    if (m_installing)
        return;
    if (m_gamePathEdit->text().trimmed().isEmpty()) {
        showMessage(u"Choose the game folder first: its installed packages are kept in it."_s,
                    Icon::Information);
        return;
    }
    const HostPath game = HostPath::fromProgramPath(m_gamePathEdit->text());
    InstalledPackagesDialog dialog(
        game, *this,
        [this, &game](int id) {
            m_installing = true;
            UndoOperation(*this).uninstall(game, id);
            m_installing = false;
        },
        this);
    dialog.exec();
    // A close asked for while an install was taken back.
    if (m_closeRequested)
        close();
}

void MainWindow::showDetails()
{
    if (m_installing)
        return;
    if (!m_hasPackage && !choosePackage())
        return;
    InstallRequest request = InstallRequest::forPackage(*m_package, m_packageKind);
    request.setGame(m_gamePathEdit->text());
    request.gameSearch = m_gameSearch;
    if (const Expected<void> folders = InstallOperation(m_state, *this, request).checkFolders();
        !folders) {
        showMessage(folders.message(), Icon::Exclamation);
        return;
    }
    std::optional<InstallPlan> plan;
    {
        m_installing = true;
        setCursor(Qt::BusyCursor);
        showStep(u"Working out what the install will do"_s);
        const auto idle = qScopeGuard([this] {
            showStep({});
            unsetCursor();
            m_installing = false;
        });
        try {
            // Read only, as the plan changes nothing: not even the program's folder in the game.
            const Inventory inventory =
                Inventory::open(request.game, *this, Inventory::Access::ReadOnly);
            InstallPlanner planner(request, InstallPlanner::ownersIn(inventory.ownerLookup()));
            planner.setStockConsent(m_state.ProduceConsent);
            plan = planner.make();
        } catch (const FileError& error) {
            showMessage(u"What the install would do cannot be worked out: "_s + error.description(),
                        Icon::Exclamation);
            return;
        }
    }
    PlanView view(*plan, this);
    view.exec();
}

void MainWindow::fillGamePath()
{
    if (m_state.GamePath.isEmpty()) {
        const GameFolder::Search search = GameFolder::find();
        m_state.GamePath = search.folder;
        m_gameSearch = search.placesLooked;
    }
    m_gamePathEdit->setText(m_state.GamePath);
    // An empty box says why it is empty.
    m_gamePathEdit->setPlaceholderText(u"not found: choose the game folder"_s);
}

void MainWindow::detectPackageKind()
{
    const std::optional<PackageKind> kind = m_package->kind();
    m_hasPackage = kind.has_value();
    if (kind)
        m_packageKind = *kind;
    showPackageLine();
    if (!m_hasPackage) {
        // Nothing to install here: the button asks for a package instead.
        m_installButton->setText(u"Choose Package..."_s);
        return;
    }
    switch (m_packageKind) {
    case PackageKind::Route:
        m_installButton->setText(u"Install Route"_s);
        return;
    case PackageKind::Scenario:
        m_installButton->setText(u"Install Scenario"_s);
        return;
    case PackageKind::Assets:
        break;
    }
    m_installButton->setText(u"Install Assets"_s);
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
    if (!m_hasPackage) {
        choosePackage();
        return;
    }
    m_installing = true;
    m_progress->clearCancel();
    InstallRequest request = InstallRequest::forPackage(*m_package, m_packageKind);
    request.setGame(m_gamePathEdit->text());
    request.gameSearch = m_gameSearch;
    request.logCopy = m_logCopy;
    // The files are copied, never moved, even from an unpacked archive: the window stays open
    // for another try, which must find the whole package again.
    request.packageMovable = false;
    const auto outcome = InstallOperation(m_state, *this, std::move(request)).run();
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

void MainWindow::showStep(const QString& step)
{
    if (!step.isEmpty())
        MessageBoxes::trace("step:", step);
    m_progress->setStep(step);
}

void MainWindow::showBytes(qint64 done, qint64 total)
{
    m_progress->setBytes(done, total);
}

bool MainWindow::cancelRequested() const
{
    return m_progress->cancelRequested();
}

void MainWindow::showProgress(qint64 done, qint64 total)
{
    m_progress->setFiles(done, total);
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
