#pragma once

// Answering modal dialogs without the mouse: a test sets up an answer, then runs the command
// that opens the dialog. While the dialog's own event loop runs, a timer finds it, and the
// answer fills its controls (found by resource id) and presses its buttons.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTimer>

#include <functional>

// Runs fnAnswer once on the next modal dialog that opens. A dialog the answer leaves open is
// cancelled (LeftOpen() tells), so that a test that forgets to close it cannot hang.
class CModalAnswer
{
public:
    explicit CModalAnswer(std::function<void(QDialog&)> fnAnswer)
        : m_fnAnswer(std::move(fnAnswer)), m_pBefore(QApplication::activeModalWidget())
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { Poll(); });
        m_poll.start(5);
    }
    bool LeftOpen() const { return m_bLeftOpen; }

private:
    void Poll()
    {
        auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (pDialog == nullptr || pDialog == m_pBefore || !pDialog->isVisible())
            return;
        m_poll.stop();
        m_fnAnswer(*pDialog);
        m_bLeftOpen = pDialog->isVisible();
        if (m_bLeftOpen)
            pDialog->reject();
    }

    std::function<void(QDialog&)> m_fnAnswer;
    QWidget* m_pBefore;
    QTimer m_poll;
    bool m_bLeftOpen = false;
};

namespace ModalDialog
{
inline QLineEdit* Edit(const QWidget& dialog, int nID)
{
    return dialog.findChild<QLineEdit*>(QString::number(nID));
}
inline QString Text(const QWidget& dialog, int nID)
{
    return Edit(dialog, nID) != nullptr ? Edit(dialog, nID)->text() : QStringLiteral("<none>");
}
inline void SetText(const QWidget& dialog, int nID, const QString& strText)
{
    if (QLineEdit* pEdit = Edit(dialog, nID))
        pEdit->setText(strText);
}
// Clicks the button (OK is 1, Cancel 2) or toggles the check box with that id.
inline void Press(const QWidget& dialog, int nID)
{
    if (auto* pButton = dialog.findChild<QAbstractButton*>(QString::number(nID)))
        pButton->click();
}
} // namespace ModalDialog
