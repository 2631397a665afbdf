#include "PackageChooser.h"

#include "MessageBoxes.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace veltrane {

QString PackageChooser::choose(QWidget* parent)
{
    // Started from the menu the program's own folder means nothing to the user: not named.
    QMessageBox box(QMessageBox::Question, MessageBoxes::caption(),
                    u"Choose the package to install: its folder or its archive."_s,
                    QMessageBox::Cancel, parent);
    QPushButton* folderButton = box.addButton(u"Package Folder..."_s, QMessageBox::AcceptRole);
    QPushButton* archiveButton = box.addButton(u"Package Archive..."_s, QMessageBox::AcceptRole);
    box.setDefaultButton(folderButton);
    MessageBoxes::trace("question:", box.text());
    box.exec();
    // Qt's own dialog: the same on every desktop, and reachable by the tests.
    const auto options = QFileDialog::DontUseNativeDialog;
    if (box.clickedButton() == folderButton)
        return QFileDialog::getExistingDirectory(parent, u"Choose the Package Folder"_s,
                                                 QDir::homePath(),
                                                 options | QFileDialog::ShowDirsOnly);
    if (box.clickedButton() == archiveButton)
        return QFileDialog::getOpenFileName(
            parent, u"Choose the Package Archive"_s, QDir::homePath(),
            u"Package archives (*.zip *.7z *.rar *.tar *.tar.gz *.tgz *.ZIP *.7Z *.RAR *.TAR "
            u"*.TAR.GZ *.TGZ)"_s,
            nullptr, options);
    return {};
}

} // namespace veltrane
