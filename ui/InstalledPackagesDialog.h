#pragma once

#include "journal/Inventory.h"
#include "util/HostPath.h"

#include <QDialog>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace veltrane {

class UserInterface;

// "Installed packages": every install into the game, newest first, with the files and list
// records of the one chosen and whose the files it replaced were; Take back takes it back.
class InstalledPackagesDialog : public QDialog {
    Q_OBJECT

public:
    // takeBack: takes back the install of that number, asking what it must; the list is read
    // again after it.
    using TakeBack = std::function<void(int id)>;
    InstalledPackagesDialog(HostPath game, UserInterface& ui, TakeBack takeBack,
                            QWidget* parent = nullptr);

    QTreeWidget* installs() const { return m_installs; }
    QTreeWidget* changes() const { return m_changes; }
    QPushButton* takeBackButton() const { return m_takeBack; }

    // Reads the inventory of the game again.
    void refresh();

private:
    void showChanges();
    void takeBackChosen();

    HostPath m_game;
    UserInterface& m_ui;
    TakeBack m_takeBackInstall;
    // As read by the last refresh: it is put right against the journals, and says so, once.
    std::optional<Inventory> m_inventory;
    QLabel* m_note;
    QTreeWidget* m_installs;
    QTreeWidget* m_changes;
    QPushButton* m_takeBack;
};

} // namespace veltrane
