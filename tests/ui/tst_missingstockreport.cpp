#include "ModalWatcher.h"
#include "WindowLayout.h"
#include "ui/MissingStockReport.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <functional>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

namespace {

const QString kReport =
    u"The following items required by this scenario are not installed on your PC:-\r\n\r\n"
    u"Kuju\\RailSimulator\\RailVehicles\\Steam\\BR2MT\\Default\\Engine\\BR2MT_BR_Black.bin\r\n"
    u"Kuju\\RailSimulator\\RailVehicles\\Freight\\Open\\Default\\Wagon\\Open.bin\r\n"_s;

// Shows the report the way the install does and runs act on it once it is open. Returns
// whether act left it closed; a report still open afterwards is closed so the test goes on.
bool showAndAct(const QString& text, const std::function<void(MissingStockReport&)>& act)
{
    ModalWatcher watcher;
    watcher.onDialog<MissingStockReport>(act);
    MissingStockReport::showReport(nullptr, text);
    return watcher.dialogsSeen() == 1 && watcher.dialogsClosedByAction() == 1;
}

} // namespace

class TestMissingStockReport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void layoutFollowsTheDesign();
    void showsTheWholeReportFromItsFirstLine();
    void enterClosesEscapeDoesNot();
    void textCanBeSelectedAndCopied();
};

void TestMissingStockReport::layoutFollowsTheDesign()
{
    const MissingStockReport dialog;
    QCOMPARE(dialog.objectName(), u"dlgReport"_s);
    checkLayout(dialog, QSize(12015, 8490),
                {
                    {u"OKButton"_s, 4920, 7560, 1215, 375},
                    {u"Text1"_s, 360, 240, 11415, 6975},
                });
}

void TestMissingStockReport::showsTheWholeReportFromItsFirstLine()
{
    // Longer than the box in both directions.
    QString longReport = kReport + QString(300, u'x') + u".bin\r\n"_s;
    for (int i = 0; i < 200; ++i)
        longReport += u"Kuju\\RailSimulator\\RailVehicles\\Coaches\\Mk1\\Coach%1.bin\r\n"_s.arg(i);

    for (const QString& report : {kReport, longReport}) {
        QString shown;
        int firstVisibleLine = -1;
        bool scrollBarsShown = false;
        bool scrollsBothWays = false;
        showAndAct(report, [&](MissingStockReport& dialog) {
            QPlainTextEdit* box = dialog.reportText();
            shown = box->toPlainText();
            scrollBarsShown =
                box->verticalScrollBar()->isVisible() && box->horizontalScrollBar()->isVisible();
            // The box lays its text out after it is shown.
            if (report == longReport)
                scrollsBothWays = QTest::qWaitFor([box] {
                    return box->horizontalScrollBar()->maximum() > 0 &&
                           box->verticalScrollBar()->maximum() > 0;
                });
            firstVisibleLine = box->verticalScrollBar()->value() == 0
                                   ? box->cursorForPosition(QPoint(2, 2)).blockNumber()
                                   : -1;
            QCOMPARE(dialog.windowTitle(), u"Missing Rolling-Stock"_s);
            dialog.okButton()->click();
        });
        QCOMPARE(shown, QString(report).replace(u"\r\n"_s, u"\n"_s));
        QCOMPARE(firstVisibleLine, 0);
        QVERIFY2(scrollBarsShown, "both scroll bars are always there");
        QVERIFY2(scrollsBothWays || report != longReport, "a long report scrolls, unwrapped");
    }
}

void TestMissingStockReport::enterClosesEscapeDoesNot()
{
    bool openAfterEscape = false;
    bool okHadFocus = false;
    const bool closed = showAndAct(kReport, [&](MissingStockReport& dialog) {
        okHadFocus = dialog.focusWidget() == dialog.okButton();
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Escape);
        openAfterEscape = dialog.isVisible();
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
    });
    QVERIFY(okHadFocus);
    QVERIFY2(openAfterEscape, "Escape does not close the report");
    QVERIFY2(closed, "Enter on the focused OK button closes it");
}

void TestMissingStockReport::textCanBeSelectedAndCopied()
{
    QApplication::clipboard()->clear();
    bool editedAway = false;
    showAndAct(kReport, [&](MissingStockReport& dialog) {
        QPlainTextEdit* box = dialog.reportText();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        // Typing into it changes only this showing of the report.
        QTest::keyClicks(box, u"x"_s);
        editedAway = box->toPlainText() == u"x"_s;
        dialog.okButton()->click();
    });
    QCOMPARE(QApplication::clipboard()->text(), QString(kReport).replace(u"\r\n"_s, u"\n"_s));
    QVERIFY(editedAway);

    QString shownAgain;
    showAndAct(kReport, [&](MissingStockReport& dialog) {
        shownAgain = dialog.reportText()->toPlainText();
        dialog.okButton()->click();
    });
    QCOMPARE(shownAgain, QString(kReport).replace(u"\r\n"_s, u"\n"_s));
}

QTEST_MAIN(TestMissingStockReport)
#include "tst_missingstockreport.moc"
