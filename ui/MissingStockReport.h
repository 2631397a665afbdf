#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace veltrane {

// Shows the rolling stock that a scenario needs and that is still missing. The text can be
// scrolled, selected and copied; editing it changes nothing.
class MissingStockReport : public QDialog {
    Q_OBJECT

public:
    explicit MissingStockReport(QWidget* parent = nullptr);

    QPlainTextEdit* reportText() const { return m_reportText; }
    QPushButton* okButton() const { return m_okButton; }

    // Fills the text box and waits until the user has closed the window.
    static void showReport(QWidget* parent, const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPlainTextEdit* m_reportText;
    QPushButton* m_okButton;
};

} // namespace veltrane
