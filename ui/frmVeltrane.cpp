#include "frmVeltrane.h"

#include "MessageBox.h"
#include "Twips.h"
#include "Version.h"
#include "dlgReport.h"
#include "frmFolder2.h"
#include "install/InstallOperation.h"
#include "util/MyFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

const QString kDefaultGamePath = u"c:\\program files\\Rail Simulator"_s;

} // namespace

frmVeltrane::frmVeltrane(QString programFolder, QWidget* parent)
    : QWidget(parent), m_programFolder(std::move(programFolder)), m_text1(new QLineEdit(this)),
      m_label1(new QLabel(u"Rail Simulator Path"_s, this)),
      m_command1(new QPushButton(u"....."_s, this)),
      m_command2(new QPushButton(u"Install Route"_s, this)), m_progress(new QProgressBar(this))
{
    setWindowTitle(u"Veltrane"_s);
    resize(twips(9495), twips(2220));

    m_text1->setGeometry(twipsRect(2040, 720, 5655, 375));
    m_text1->setAccessibleName(u"Rail Simulator Path"_s);
    m_text1->installEventFilter(this);
    m_label1->setGeometry(twipsRect(240, 840, 1575, 495));
    m_label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A fixed-size label wraps its caption, so a wider font never cuts it off.
    m_label1->setWordWrap(true);
    m_label1->setBuddy(m_text1);
    m_command1->setGeometry(twipsRect(7920, 720, 735, 375));
    m_command1->setFont(QFont(u"MS Sans Serif"_s, 12, QFont::Bold));
    m_command1->setAccessibleName(u"Browse for the Rail Simulator folder"_s);
    m_command2->setGeometry(twipsRect(4080, 1440, 2295, 375));

    // A thin bar right under the install button, only while files are copied.
    const QRect install = m_command2->geometry();
    m_progress->setGeometry(install.left(), install.bottom() + 5, install.width(), 6);
    m_progress->setTextVisible(false);
    m_progress->setAccessibleName(u"Files copied"_s);
    m_progress->hide();

    setTabOrder(m_text1, m_command1);
    setTabOrder(m_command1, m_command2);

    connect(m_command1, &QPushButton::clicked, this, &frmVeltrane::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &frmVeltrane::Command2_Click);

    Form_Load();
}

void frmVeltrane::Form_Load()
{
    setWindowTitle(windowTitle() + u"  Version "_s + QString::number(kVersionMajor) + u'.' +
                   QString::number(kVersionMinor) + u'.' + QString::number(kVersionRevision));

    if (m_state.GamePath.isEmpty() && MyFile::FileExists(kDefaultGamePath + u"\\RailSim.exe"_s))
        m_state.GamePath = kDefaultGamePath;
    m_text1->setText(m_state.GamePath);

    if (MyFile::FileExists(m_programFolder + u"\\Veltrane.xxx"_s)) {
        m_packageKind = PackageKind::Route;
        m_command2->setText(u"Install Route"_s);
    } else if (MyFile::FileExists(m_programFolder + u"\\Scenario.zzz"_s)) {
        m_packageKind = PackageKind::Scenario;
        m_command2->setText(u"Install Scenario"_s);
    } else {
        m_packageKind = PackageKind::Assets;
        m_command2->setText(u"Install Assets"_s);
    }
}

void frmVeltrane::Text1_KeyDown(int keyCode, int /*shift*/)
{
    // Not while an install runs: it reads GamePath at every step.
    if (keyCode == 13 && !m_installing)
        m_state.GamePath = m_text1->text();
}

bool frmVeltrane::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_text1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        Text1_KeyDown(enter ? 13 : key->key(), int(key->modifiers()));
    }
    return QWidget::eventFilter(watched, event);
}

void frmVeltrane::Command1_Click()
{
    // A running install reads GamePath at every step; a new folder now would split it
    // between two game folders.
    if (m_installing)
        return;
    // No owner: the window system places the picker, and exec keeps this window still.
    frmFolder2 picker(m_state, *m_text1);
    picker.exec();
}

void frmVeltrane::Command2_Click()
{
    // The window keeps handling events while an install waits; a second press does nothing.
    if (m_installing)
        return;
    m_installing = true;
    InstallOperation install(m_state, *this, m_programFolder);
    const auto outcome = install.run(qint16(m_packageKind), m_text1->text());
    m_installing = false;
    if (outcome == InstallOperation::Outcome::Completed || m_closeRequested)
        close();
}

void frmVeltrane::closeEvent(QCloseEvent* event)
{
    // Closing while an install runs would cut a game file change in half: the install
    // ends at its next safe point and the window closes then.
    if (m_installing) {
        m_closeRequested = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void frmVeltrane::showMessage(const QString& text, Icon icon)
{
    MessageBox::show(this, text, icon);
}

bool frmVeltrane::askYesNo(const QString& text)
{
    return MessageBox::askYesNo(this, text);
}

void frmVeltrane::showReport(const QString& text)
{
    dlgReport::showReport(this, text);
}

void frmVeltrane::processEvents()
{
    QCoreApplication::processEvents();
}

void frmVeltrane::setBusy(bool busy)
{
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void frmVeltrane::showProgress(qint64 done, qint64 total)
{
    if (total <= 0) {
        m_progress->hide();
        return;
    }
    // The bar counts in int; scale very large totals down.
    const qint64 scale = total > 1'000'000'000 ? total / 1'000'000 : 1;
    m_progress->setRange(0, int(total / scale));
    m_progress->setValue(int(done / scale));
    m_progress->show();
}

} // namespace veltrane
