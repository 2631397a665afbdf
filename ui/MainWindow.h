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

// The main window: shows the game folder, the package's kind on its install button, and
// is the engine's way to the user while an install runs.
class MainWindow : public QWidget, public UserInterface {
    Q_OBJECT

public:
    // packageFolder: the folder that holds the running program, the package folder unless
    // another is given. When it holds no package, the window asks for one.
    explicit MainWindow(QString packageFolder, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The package to install in place of the program's folder: a folder, or a zip archive
    // unpacked into the cache. False when it cannot be opened (the user has been told); a
    // folder with no package in it is taken, and the window then asks for another.
    bool openPackage(const QString& given);
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
    // Lists the installs into the game folder shown that can be undone, newest first.
    QPushButton* undoButton() const { return m_undoButton; }

    // UserInterface
    void showMessage(const QString& text, Icon icon) override;
    bool askYesNo(const QString& text) override;
    void showReport(const QString& text) override;
    void processEvents() override;
    void setBusy(bool busy) override;
    void showProgress(qint64 done, qint64 total) override;
    bool closeRequested() const override { return m_closeRequested; }

protected:
    void closeEvent(QCloseEvent* event) override;

private Q_SLOTS:
    void takeTypedGamePath();
    void browse();
    void install();
    void listUndoableInstalls();
    void undoInstall(int index);
    void offerRollback();
    void askForPackageWhenNone();

private:
    void fillGamePath();
    void detectPackageKind();

    // The program's folder, or a package given or chosen.
    std::unique_ptr<PackageSource> m_package;
    bool m_hasPackage = false;
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
};

} // namespace veltrane
