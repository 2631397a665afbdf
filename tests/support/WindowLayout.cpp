#include "WindowLayout.h"

#include "ui/Twips.h"

#include <QTest>
#include <QWidget>
#include <cmath>

namespace veltrane::test {

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

// Pixels differ from the scaled twips by the rounding of one value at most.
bool proportional(int pixels, int designed, double pixelsPerTwip)
{
    return std::abs(pixels - designed * pixelsPerTwip) <= 1.0;
}

} // namespace

void checkLayout(const QWidget& window, QSize designTwips, const QList<DesignedControl>& design)
{
    QCOMPARE(window.size(), QSize(twips(designTwips.width()), twips(designTwips.height())));
    const double scaleX = double(window.width()) / designTwips.width();
    const double scaleY = double(window.height()) / designTwips.height();

    QList<const QWidget*> controls;
    for (const DesignedControl& designed : design) {
        const auto found = window.findChildren<QWidget*>(designed.objectName);
        QVERIFY2(found.size() == 1, qPrintable(designed.objectName));
        const QWidget* control = found.first();
        controls.append(control);
        const QRect place = control->geometry();
        const QByteArray what = QStringLiteral("%1 at %2,%3 size %4x%5 in a window of %6x%7")
                                    .arg(designed.objectName)
                                    .arg(place.x())
                                    .arg(place.y())
                                    .arg(place.width())
                                    .arg(place.height())
                                    .arg(window.width())
                                    .arg(window.height())
                                    .toUtf8();
        QVERIFY2(window.rect().contains(place), what.constData());
        QVERIFY2(proportional(place.left(), designed.left, scaleX), what.constData());
        QVERIFY2(proportional(place.top(), designed.top, scaleY), what.constData());
        QVERIFY2(proportional(place.width(), designed.width, scaleX), what.constData());
        QVERIFY2(proportional(place.height(), designed.height, scaleY), what.constData());
    }

    for (qsizetype a = 0; a < design.size(); ++a) {
        for (qsizetype b = a + 1; b < design.size(); ++b) {
            const QByteArray pair =
                design[a].objectName.toUtf8() + " and " + design[b].objectName.toUtf8();
            QVERIFY2(sign(controls[a]->x() - controls[b]->x()) ==
                         sign(design[a].left - design[b].left),
                     ("left edges of " + pair).constData());
            QVERIFY2(sign(controls[a]->y() - controls[b]->y()) ==
                         sign(design[a].top - design[b].top),
                     ("top edges of " + pair).constData());
        }
    }

    QStringList expectedOrder;
    for (const QWidget* control : std::as_const(controls)) {
        if (control->focusPolicy() & Qt::TabFocus)
            expectedOrder.append(control->objectName());
    }
    QStringList tabOrder;
    for (const QWidget* next = window.nextInFocusChain(); next && next != &window;
         next = next->nextInFocusChain()) {
        if (controls.contains(next) && (next->focusPolicy() & Qt::TabFocus))
            tabOrder.append(next->objectName());
    }
    // Tab goes round; where it starts is the focus a window gives itself when shown.
    if (!expectedOrder.isEmpty() && tabOrder.contains(expectedOrder.first())) {
        const qsizetype first = tabOrder.indexOf(expectedOrder.first());
        tabOrder = tabOrder.mid(first) + tabOrder.first(first);
    }
    QCOMPARE(tabOrder, expectedOrder);
}

} // namespace veltrane::test
