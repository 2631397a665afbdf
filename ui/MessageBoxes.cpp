#include "MessageBoxes.h"

#include <QDebug>
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

const QString& MessageBoxes::caption()
{
    static const QString title = u"Veltrane"_s;
    return title;
}

void MessageBoxes::trace(const char* kind, const QString& text)
{
    qInfo().noquote() << "veltrane:" << kind << oneLine(text);
}

void MessageBoxes::showMessage(QWidget* parent, const QString& text, UserInterface::Icon icon)
{
    const QString shown = fittedForMessage(text);
    trace("message:", shown);
    QMessageBox box(toQt(icon), caption(), shown, QMessageBox::Ok, parent);
    box.exec();
}

bool MessageBoxes::askYesNo(QWidget* parent, const QString& text)
{
    const QString shown = fittedForMessage(text);
    trace("question:", shown);
    QMessageBox box(QMessageBox::Warning, caption(), shown, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace veltrane
