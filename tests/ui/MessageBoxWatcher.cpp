#include "MessageBoxWatcher.h"

#include <QApplication>
#include <QPushButton>

namespace veltrane::test {

MessageBoxWatcher::MessageBoxWatcher()
{
    // A box runs its own event loop, in which this timer keeps firing.
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { answer(); });
    m_timer.start();
}

void MessageBoxWatcher::answer()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    m_messages.append({box->windowTitle(), box->text(), box->icon()});
    if (QAbstractButton* ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->reject();
}

} // namespace veltrane::test
