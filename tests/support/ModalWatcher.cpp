#include "ModalWatcher.h"

#include <QAbstractButton>
#include <QApplication>

namespace veltrane::test {

ModalWatcher::ModalWatcher()
{
    // A modal window runs its own event loop, in which this timer keeps firing.
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
    m_timer.start();
}

QStringList ModalWatcher::messageTexts() const
{
    QStringList texts;
    for (const Message& message : m_messages)
        texts.append(message.text);
    return texts;
}

void ModalWatcher::poll()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    m_mostAtOnce = qMax(
        m_mostAtOnce, int(std::count_if(windows.begin(), windows.end(), [](const QWidget* window) {
            return window->isVisible() && window->isModal();
        })));
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        m_messages.append({box->windowTitle(), box->text(), box->icon()});
        for (QAbstractButton* button : box->buttons()) {
            if (!m_buttonTexts.isEmpty() && button->text() == m_buttonTexts.first()) {
                m_buttonTexts.removeFirst();
                button->click();
                return;
            }
        }
        if (QAbstractButton* yes = box->button(QMessageBox::Yes); yes && m_yes > 0) {
            --m_yes;
            yes->click();
        } else if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
            ok->click();
        } else {
            box->reject();
        }
        return;
    }
    auto* dialog = qobject_cast<QDialog*>(modal);
    if (!dialog || dialog == m_acting)
        return;
    m_acting = dialog;
    // Queued, not run in this timer's call: a timer does not fire again while its own call
    // runs, and a message box that the action brings up must still be answered.
    QMetaObject::invokeMethod(
        &m_timer, [this, watched = QPointer<QDialog>(dialog)] { act(watched); },
        Qt::QueuedConnection);
}

void ModalWatcher::act(QPointer<QDialog> dialog)
{
    if (dialog && dialog->isVisible()) {
        if (m_act && m_act(*dialog)) {
            ++m_dialogsSeen;
            if (dialog && !dialog->isVisible())
                ++m_closedByAction;
        } else {
            qWarning("closing a modal %s that no test expected", dialog->metaObject()->className());
        }
        // One the action left open would stop the test for good.
        if (dialog && dialog->isVisible())
            dialog->reject();
    }
    m_acting = nullptr;
}

} // namespace veltrane::test
