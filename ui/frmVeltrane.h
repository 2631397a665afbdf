#pragma once

#include "util/AppState.h"
#include "util/PackageKind.h"
#include "util/UserInterface.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace veltrane {

// The main window: shows the game folder, the package's kind on its install button, and
// is the engine's way to the user while an install runs.
class frmVeltrane : public QWidget, public UserInterface {
    Q_OBJECT

public:
    // programFolder: the folder that holds the running program, the package folder.
    explicit frmVeltrane(QString programFolder, QWidget* parent = nullptr);

    PackageKind packageKind() const { return m_packageKind; }
    AppState& state() { return m_state; }
    const QString& programFolder() const { return m_programFolder; }

    QLineEdit* Text1() const { return m_text1; }
    QPushButton* Command1() const { return m_command1; }
    QPushButton* Command2() const { return m_command2; }
    QProgressBar* copyProgress() const { return m_progress; }

    // UserInterface
    void showMessage(const QString& text, Icon icon) override;
    bool askYesNo(const QString& text) override;
    void showReport(const QString& text) override;
    void processEvents() override;
    void setBusy(bool busy) override;
    void showProgress(qint64 done, qint64 total) override;
    bool closeRequested() const override { return m_closeRequested; }

    void Form_Load();
    void Text1_KeyDown(int keyCode, int shift);
    void Command1_Click();
    void Command2_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QString m_programFolder;
    AppState m_state;
    PackageKind m_packageKind = PackageKind::Assets;
    bool m_installing = false;
    bool m_closeRequested = false;

    QLineEdit* m_text1;
    QLabel* m_label1;
    QPushButton* m_command1;
    QPushButton* m_command2;
    QProgressBar* m_progress;
};

} // namespace veltrane
