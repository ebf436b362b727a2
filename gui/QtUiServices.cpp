#include "gui/QtUiServices.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace
{
QString EveryFileAsStar(QString str)
{
    return str.replace(QStringLiteral("*.*"), QStringLiteral("*"));
}
} // namespace

int CQtUiServices::MessageBox(const std::string& strText, unsigned nType, const std::string& strCaption)
{
    QMessageBox box(m_pParent);
    box.setWindowTitle(strCaption.empty() ? QStringLiteral("TeldViewGL")
                                          : QString::fromStdString(strCaption));
    box.setText(QString::fromStdString(strText));
    switch (nType & 0xF0)
    {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        // A plain message box shows the warning sign, as the product's own boxes do.
        box.setIcon(QMessageBox::Warning);
        break;
    }
    switch (nType & 0x0F)
    {
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    // A wait cursor must not stay over a message the user has to answer.
    const bool bWaiting = QApplication::overrideCursor() != nullptr;
    if (bWaiting)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int nResult = box.exec();
    if (bWaiting)
        QApplication::restoreOverrideCursor();
    switch (nResult)
    {
    case QMessageBox::Cancel:
        return IDCANCEL;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        return IDOK;
    }
}

void CQtUiServices::BeginWaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void CQtUiServices::EndWaitCursor()
{
    QApplication::restoreOverrideCursor();
}

bool CQtUiServices::RunFileDialog(const SFileDialogRequest& request, std::string& strPath)
{
    QFileDialog dialog(m_pParent, QString::fromStdString(request.strTitle));
    dialog.setAcceptMode(request.bOpen ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(request.bOpen && request.bFileMustExist ? QFileDialog::ExistingFile
                                                               : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.bOverwritePrompt);
    if (!request.strDefaultExt.empty())
    {
        std::string strExt = request.strDefaultExt;
        if (strExt.front() == '.')
            strExt.erase(0, 1);
        dialog.setDefaultSuffix(QString::fromStdString(strExt));
    }
    const QString strFilter = ToQtFilter(request.strFilter);
    if (!strFilter.isEmpty())
        dialog.setNameFilter(strFilter);
    if (!request.strInitialName.empty())
        dialog.selectFile(QString::fromStdString(request.strInitialName));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return false;
    strPath = files.front().toStdString();
    return true;
}

bool CQtUiServices::ChooseColor(uint32_t& crColor, void* pOwner)
{
    const QColor initial(static_cast<int>(crColor & 0xFF), static_cast<int>((crColor >> 8) & 0xFF),
                         static_cast<int>((crColor >> 16) & 0xFF));
    QWidget* pParent = pOwner != nullptr ? static_cast<QWidget*>(pOwner) : m_pParent;
    const QColor chosen = QColorDialog::getColor(initial, pParent);
    if (!chosen.isValid())
        return false;
    crColor = static_cast<uint32_t>(chosen.red()) | static_cast<uint32_t>(chosen.green()) << 8 |
              static_cast<uint32_t>(chosen.blue()) << 16;
    return true;
}

QString CQtUiServices::ToQtFilter(const std::string& strFilter)
{
    const QStringList parts = QString::fromStdString(strFilter).split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    {
        QString strName = parts[i].trimmed();
        const QString strPatterns = parts[i + 1].trimmed();
        if (strName.isEmpty() || strPatterns.isEmpty())
            break;
        // Qt reads the patterns from the parentheses of the name: rebuild them from the
        // pattern field, which is the one the product's dialogs obey.
        const qsizetype nParen = strName.lastIndexOf(u'(');
        if (nParen > 0 && strName.endsWith(u')'))
            strName = strName.left(nParen).trimmed();
        QStringList patterns = EveryFileAsStar(strPatterns).split(u';', Qt::SkipEmptyParts);
        for (QString& strPattern : patterns)
            strPattern = strPattern.trimmed();
        filters << strName + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return filters.join(QStringLiteral(";;"));
}
