#pragma once

#include <QDialog>

class QLabel;
class QTabWidget;
class QTreeWidget;

namespace veltrane {

struct InstallPlan;

// The plan of an install, read only, before the install button is pressed: the package's
// files as a tree with what each does to the game and whose the replaced ones were, then the
// list records, the rolling stock, the batch file and the space, one tab each.
class PlanView : public QDialog {
    Q_OBJECT

public:
    PlanView(const InstallPlan& plan, QWidget* parent = nullptr);

    QTreeWidget* files() const { return m_files; }
    QTabWidget* tabs() const { return m_tabs; }
    QLabel* summary() const { return m_summary; }

private:
    void fillFiles(const InstallPlan& plan);
    void addTextTab(const QString& title, const QString& text, const QString& name);

    QLabel* m_summary;
    QTabWidget* m_tabs;
    QTreeWidget* m_files;
};

} // namespace veltrane
