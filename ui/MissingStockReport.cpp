#include "MissingStockReport.h"

#include "MessageBoxes.h"
#include "Twips.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace veltrane {

MissingStockReport::MissingStockReport(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_reportText(new QPlainTextEdit(this)), m_okButton(new QPushButton(u"OK"_s, this))
{
    // Tests and accessibility tools find the window and its controls by these names.
    setObjectName(u"dlgReport"_s);
    m_reportText->setObjectName(u"Text1"_s);
    m_okButton->setObjectName(u"OKButton"_s);

    setWindowTitle(u"Missing Rolling-Stock"_s);
    setFixedSize(twips(12015), twips(8490));

    m_okButton->setGeometry(twipsRect(4920, 7560, 1215, 375));
    // Enter presses OK only while it has the focus.
    m_okButton->setAutoDefault(true);
    m_okButton->setDefault(false);
    m_reportText->setGeometry(twipsRect(360, 240, 11415, 6975));
    m_reportText->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_reportText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_reportText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_reportText->setAccessibleName(u"Missing rolling stock"_s);
    setTabOrder(m_okButton, m_reportText);

    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
}

void MissingStockReport::showReport(QWidget* parent, const QString& text)
{
    MessageBoxes::trace("report:", text);
    MissingStockReport dialog(parent);
    dialog.m_reportText->setPlainText(text);
    dialog.exec();
}

void MissingStockReport::keyPressEvent(QKeyEvent* event)
{
    // Escape does not close this window; only OK and the close box do.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MissingStockReport::showEvent(QShowEvent* event)
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
    m_reportText->moveCursor(QTextCursor::Start);
}

} // namespace veltrane
