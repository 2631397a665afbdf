#pragma once

#include <QHeaderView>
#include <QTreeWidget>

namespace veltrane {

// The column given takes the room that the others, fitted to what they show, leave. Only
// the rows in view are measured, so a list of many thousand files opens at once.
inline void fitColumns(QTreeWidget& tree, int stretched)
{
    QHeaderView* header = tree.header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(stretched, QHeaderView::Stretch);
}

} // namespace veltrane
