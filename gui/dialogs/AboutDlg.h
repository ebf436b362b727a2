#pragma once

#include <QDialog>

// The About box (dialog 100): the program's icon, "TeldViewGL Version 3.2" and OK (id 1).
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* pParent = nullptr);

    // The program's icon, drawn rather than loaded: a shaded blue box.
    static QPixmap ProgramIcon(int nSize);
};
