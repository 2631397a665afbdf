#include "MessageBox.h"

#include <QMessageBox>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

QMessageBox::Icon toQt(UserInterface::Icon icon)
{
    switch (icon) {
    case UserInterface::Icon::Critical:
        return QMessageBox::Critical;
    case UserInterface::Icon::Information:
        return QMessageBox::Information;
    case UserInterface::Icon::Exclamation:
        break;
    }
    return QMessageBox::Warning;
}

} // namespace

const QString& MessageBox::caption()
{
    static const QString title = u"Veltrane"_s;
    return title;
}

void MessageBox::show(QWidget* parent, const QString& text, UserInterface::Icon icon)
{
    QMessageBox box(toQt(icon), caption(), text, QMessageBox::Ok, parent);
    box.exec();
}

bool MessageBox::askYesNo(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, caption(), text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace veltrane
