#include "PackageChooser.h"

#include "MessageBoxes.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace veltrane {

QString PackageChooser::choose(QWidget* parent, const HostPath& whereNone)
{
    QMessageBox box(QMessageBox::Question, MessageBoxes::caption(),
                    u"There is no package to install in "_s + whereNone.display() +
                        u".\nChoose the package: its unzipped folder, or the zip archive it "
                        u"came in."_s,
                    QMessageBox::Cancel, parent);
    QPushButton* folderButton = box.addButton(u"Package Folder..."_s, QMessageBox::AcceptRole);
    QPushButton* archiveButton = box.addButton(u"Zip Archive..."_s, QMessageBox::AcceptRole);
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
