#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QTimer>

namespace veltrane::test {

// While it lives, every message box that opens is answered with OK and what it showed is
// kept, so that a message never blocks a test and the test can tell which ones came up.
class MessageBoxWatcher {
public:
    struct Message {
        QString caption;
        QString text;
        QMessageBox::Icon icon;
    };

    MessageBoxWatcher();

    const QList<Message>& messages() const { return m_messages; }
    void clear() { m_messages.clear(); }

private:
    void answer();

    QTimer m_timer;
    QList<Message> m_messages;
};

} // namespace veltrane::test
