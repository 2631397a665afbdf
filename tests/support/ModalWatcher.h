#pragma once

#include <QDialog>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace veltrane::test {

// While it lives, looks after every modal window that opens, so that none blocks a test:
// a message box is answered with OK (a question with Yes while answerYes() allows, else it is
// closed unanswered) and what it showed is kept; a dialog of the class given to onDialog() is
// handed to that action and closed afterwards if the action left it open. Any other modal dialog is
// closed with a warning.
class ModalWatcher {
public:
    struct Message {
        QString caption;
        QString text;
        QMessageBox::Icon icon;
    };

    ModalWatcher();

    template <class Dialog> void onDialog(std::function<void(Dialog&)> act)
    {
        m_act = [act = std::move(act)](QDialog& dialog) {
            auto* wanted = qobject_cast<Dialog*>(&dialog);
            if (wanted)
                act(*wanted);
            return wanted != nullptr;
        };
    }

    void answerYes(int times = 1) { m_yes += times; }
    // The next message box that has a button with this text is answered with it.
    void answerWith(const QString& buttonText) { m_buttonTexts.append(buttonText); }

    const QList<Message>& messages() const { return m_messages; }
    QStringList messageTexts() const;
    void clearMessages() { m_messages.clear(); }

    // Dialogs handed to the action, and how many of them the action closed itself.
    int dialogsSeen() const { return m_dialogsSeen; }
    // The most modal windows that were ever open at once: one asks, the rest would hide.
    int mostAtOnce() const { return m_mostAtOnce; }
    int dialogsClosedByAction() const { return m_closedByAction; }

private:
    void poll();
    void act(QPointer<QDialog> dialog);

    QTimer m_timer;
    QList<Message> m_messages;
    std::function<bool(QDialog&)> m_act;
    QPointer<QDialog> m_acting;
    int m_yes = 0;
    QStringList m_buttonTexts;
    int m_dialogsSeen = 0;
    int m_closedByAction = 0;
    int m_mostAtOnce = 0;
};

} // namespace veltrane::test
