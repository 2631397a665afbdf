#include "dlgReport.h"

#include "MessageBox.h"
#include "Twips.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace veltrane {

dlgReport::dlgReport(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_text1(new QPlainTextEdit(this)), m_okButton(new QPushButton(u"OK"_s, this))
{
    setWindowTitle(u"Missing Rolling-Stock"_s);
    setFixedSize(twips(12015), twips(8490));

    m_okButton->setGeometry(twipsRect(4920, 7560, 1215, 375));
    // Enter presses OK only while it has the focus.
    m_okButton->setAutoDefault(true);
    m_okButton->setDefault(false);
    m_text1->setGeometry(twipsRect(360, 240, 11415, 6975));
    m_text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text1->setAccessibleName(u"Missing rolling stock"_s);
    setTabOrder(m_okButton, m_text1);

    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
}

void dlgReport::showReport(QWidget* parent, const QString& text)
{
    MessageBox::trace("report:", text);
    dlgReport dialog(parent);
    dialog.m_text1->setPlainText(text);
    dialog.exec();
}

void dlgReport::keyPressEvent(QKeyEvent* event)
{
    // Escape does not close this window; only OK and the close box do.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void dlgReport::showEvent(QShowEvent* event)
{
    // A fixed place on the main window's screen, pulled in where that screen is too small.
    QRect wanted(twips(2760), twips(3750), width(), height());
    if (const QScreen* screen = this->screen()) {
        wanted.translate(screen->geometry().topLeft());
        const QRect available = screen->availableGeometry();
        wanted.moveRight(qMin(wanted.right(), available.right()));
        wanted.moveBottom(qMin(wanted.bottom(), available.bottom()));
        wanted.moveLeft(qMax(wanted.left(), available.left()));
        wanted.moveTop(qMax(wanted.top(), available.top()));
    }
    setGeometry(wanted);
    QDialog::showEvent(event);
    m_okButton->setFocus();
    m_text1->moveCursor(QTextCursor::Start);
}

} // namespace veltrane
