#pragma once

#include "util/AppState.h"
#include "util/HostPath.h"
#include "util/PackageKind.h"
#include "util/UserInterface.h"

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace veltrane {

class PackageSource;
class ProgressPanel;

// The main window: shows the game folder, the package's kind on its install button, and
// is the engine's way to the user while an install runs.
class MainWindow : public QWidget, public UserInterface {
    Q_OBJECT

public:
    // packageFolder: the folder that holds the running program, the package folder unless
    // another is given. When it holds no package, the window asks for one.
    explicit MainWindow(const QString& packageFolder, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The package to install in place of the program's folder: a folder, or an archive
    // unpacked into the cache while the window stays live and the unpacking can be cancelled.
    // False when it cannot be opened (the user has been told); a folder with no package in it
    // is taken, and the window then asks for another.
    bool openPackage(const QString& given);
    // The package given on the command line, opened once the window shows, after the offer
    // to take back an install cut short: one dialog at a time.
    void setPackageToOpen(const QString& given) { m_packageToOpen = given; }
    // The game folder from the command line, in place of the default.
    void setGameFolder(const QString& folder);
    // A second copy of every install's log.
    void setLogCopy(const QString& path) { m_logCopy = path; }
    // Asks for a package, a folder or a zip archive, and opens it; false when the user gave
    // none or it cannot be opened (the user has been told).
    bool choosePackage();
    bool hasPackage() const { return m_hasPackage; }

    PackageKind packageKind() const { return m_packageKind; }
    AppState& state() { return m_state; }
    const HostPath& packageFolder() const;

    QLineEdit* gamePathEdit() const { return m_gamePathEdit; }
    QLabel* pathLabel() const { return m_pathLabel; }
    QPushButton* browseButton() const { return m_browseButton; }
    QPushButton* installButton() const { return m_installButton; }
    QProgressBar* progressBar() const { return m_progressBar; }
    // Opens "Installed packages" for the game folder shown.
    QPushButton* undoButton() const { return m_undoButton; }
    // Opens the plan of the install, read only.
    QPushButton* detailsButton() const { return m_detailsButton; }
    // The package as the user chose it, its kind and the name its marker gives it.
    QLabel* packageLine() const { return m_packageLine; }
    ProgressPanel* progressPanel() const { return m_progress; }

    // UserInterface
    void showMessage(const QString& text, Icon icon) override;
    bool askYesNo(const QString& text) override;
    void showReport(const QString& text) override;
    void processEvents() override;
    void setBusy(bool busy) override;
    void showProgress(qint64 done, qint64 total) override;
    void showStep(const QString& step) override;
    void showBytes(qint64 done, qint64 total) override;
    bool closeRequested() const override { return m_closeRequested; }
    bool cancelRequested() const override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private Q_SLOTS:
    void takeTypedGamePath();
    void browse();
    void install();
    void showInstalledPackages();
    void showDetails();
    void offerRollback();
    // What the window does once it shows: the rollback offer, the package given, the
    // chooser where there is none; each after the one before has been answered.
    void startUp();

private:
    void fillGamePath();
    void detectPackageKind();
    void showPackageLine();
    // Unpacks the archive on a worker thread while the window shows the progress; throws
    // what the unpacking throws.
    void unpackInTheBackground(PackageSource& package, const HostPath& parent);

    // The program's folder, or a package given or chosen.
    std::unique_ptr<PackageSource> m_package;
    QString m_packageToOpen;
    bool m_hasPackage = false;
    bool m_started = false;
    // Where the game was looked for when none was found, for the message at install time.
    QStringList m_gameSearch;
    QString m_logCopy;
    AppState m_state;
    PackageKind m_packageKind = PackageKind::Assets;
    bool m_installing = false;
    bool m_closeRequested = false;

    QLineEdit* m_gamePathEdit;
    QLabel* m_pathLabel;
    QPushButton* m_browseButton;
    QPushButton* m_installButton;
    QProgressBar* m_progressBar;
    QPushButton* m_undoButton;
    QPushButton* m_detailsButton;
    QLabel* m_packageLine;
    ProgressPanel* m_progress;
};

} // namespace veltrane
