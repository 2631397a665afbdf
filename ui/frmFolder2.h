#pragma once

#include "platform/DriveList.h"
#include "util/AppState.h"

#include <QDialog>
#include <QHash>
#include <QStringList>
#include <optional>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace veltrane {

// Lets the user choose the game folder by browsing: a drive list, a directory list that shows
// the chain of the open folder and then its subfolders, and a path box that follows the
// browsing and can be typed into. OK hands the path box's text, unchecked, to GamePath and to
// the main window's path box; closing the window any other way changes nothing.
class frmFolder2 : public QDialog {
    Q_OBJECT

public:
    // Loads the picker from state.GamePath; problems found there are reported at once.
    frmFolder2(AppState& state, QLineEdit& mainPathBox, QWidget* parent = nullptr);

    QComboBox* Drive1() const { return m_drive1; }
    QTreeWidget* Dir1() const { return m_dir1; }
    QLineEdit* Text1() const { return m_text1; }
    QPushButton* Command1() const { return m_command1; }

    // The drive Drive1 shows: "c:" (a drive letter and colon) or "/".
    QString drive() const;
    // Selects the drive named by the first characters of name and raises Drive1_Change.
    // False when the list holds no such drive.
    bool setDrive(const QString& name);

    // The folder Dir1 shows as open, without a trailing separator except at a drive root.
    QString path() const;
    // Opens a folder, or the drive's current folder for a bare "c:", and raises Dir1_Change.
    // False, with nothing changed, when the text names no folder that exists.
    bool setPath(const QString& text);

    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();
    void Command1_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Location {
        QString drive; // "c:" as written, or "/"
        QStringList parts;
    };

    std::optional<Location> parse(const QString& text) const;
    QString text(const Location& location) const;
    QString hostFolder(const Location& location) const;
    bool exists(const Location& location) const;
    const Drive* findDrive(const QString& name) const;

    void openDefaultDrive();
    void openNearest(Location location);
    void openEntry(QTreeWidgetItem* item);
    void showFolder();
    void selectDriveQuietly(const QString& name);
    void report(const QString& message);

    AppState& m_state;
    QLineEdit& m_mainPathBox;
    const QList<Drive> m_drives;
    std::optional<Location> m_location;
    // The folder last opened on each drive, by lower-case drive name.
    QHash<QString, Location> m_driveFolders;

    QComboBox* m_drive1;
    QTreeWidget* m_dir1;
    QLineEdit* m_text1;
    QPushButton* m_command1;
};

} // namespace veltrane
