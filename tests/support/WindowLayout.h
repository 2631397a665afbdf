#pragma once

#include <QList>
#include <QSize>
#include <QString>

class QWidget;

namespace veltrane::test {

// A control where its window's design puts it, in twips.
struct DesignedControl {
    QString objectName;
    int left;
    int top;
    int width;
    int height;
};

// Checks a window against its design, given in twips and in tab order: the window has the
// designed size; every control is found by its objectName, lies inside the window, keeps the
// designed order of left and top edges (equal where the design aligns them) and has its place
// and size in proportion to the window's; Tab goes round the controls that take the focus in
// the order of the list.
void checkLayout(const QWidget& window, QSize designTwips, const QList<DesignedControl>& design);

} // namespace veltrane::test
