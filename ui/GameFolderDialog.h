#pragma once

#include "platform/DriveList.h"

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

// Lets the user choose the game folder by browsing: a drive list, a folder list that shows
// the chain of the open folder and then its subfolders, and a path box that follows the
// browsing and can be typed into. After exec() returns Accepted, chosenFolder() is the path
// box's text as OK found it, unchecked; closing the window any other way chooses nothing.
class GameFolderDialog : public QDialog {
    Q_OBJECT

public:
    // Opens on startFolder (the game folder so far); problems found there are reported at once.
    explicit GameFolderDialog(const QString& startFolder, QWidget* parent = nullptr);

    QString chosenFolder() const { return m_chosenFolder; }

    QComboBox* driveCombo() const { return m_driveCombo; }
    QTreeWidget* folderTree() const { return m_folderTree; }
    QLineEdit* pathEdit() const { return m_pathEdit; }
    QPushButton* okButton() const { return m_okButton; }

    // The drive the drive list shows: "c:" (a drive letter and colon) or "/".
    QString drive() const;
    // Selects the drive named by the first characters of name and opens the folder last
    // opened on it, as if the user had chosen it. False when the list holds no such drive.
    bool setDrive(const QString& name);

    // The folder the folder list shows as open, without a trailing separator except at a
    // drive root.
    QString path() const;
    // Opens a folder, or the drive's last folder for a bare "c:", and shows it in the path
    // box. False, with nothing changed, when the text names no folder that exists.
    bool setPath(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private Q_SLOTS:
    void driveChosen();
    void folderOpened();
    void confirm();

private:
    struct Location {
        QString drive; // "c:" as written, or "/"
        QStringList parts;
    };

    void openStartFolder(const QString& startFolder);
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

    const QList<Drive> m_drives;
    std::optional<Location> m_location;
    // The folder last opened on each drive, by lower-case drive name.
    QHash<QString, Location> m_driveFolders;
    QString m_chosenFolder;

    QComboBox* m_driveCombo;
    QTreeWidget* m_folderTree;
    QLineEdit* m_pathEdit;
    QPushButton* m_okButton;
};

} // namespace veltrane
