#include "gui/dialogs/AboutDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "gui/ProgramIcon.h"
#include "gui/Resources.h"

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent)
{
    setObjectName(QStringLiteral("100"));
    setWindowTitle(QString::fromUtf8(Resources::ABOUT_TITLE));

    auto* pIcon = new QLabel(this);
    pIcon->setPixmap(ProgramIcon(32));
    auto* pText = new QLabel(QString::fromUtf8(Resources::ABOUT_TEXT), this);
    pText->setObjectName(QStringLiteral("aboutText"));
    auto* pOk = new QPushButton(QStringLiteral("OK"), this);
    pOk->setObjectName(QStringLiteral("1"));
    pOk->setDefault(true);
    connect(pOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* pLayout = new QGridLayout(this);
    pLayout->addWidget(pIcon, 0, 0, Qt::AlignTop);
    pLayout->addWidget(pText, 0, 1);
    pLayout->addWidget(pOk, 0, 2, Qt::AlignTop);
    pLayout->setColumnStretch(1, 1);

    // 235 x 55 dialog units: a unit is a quarter of the average character width and an eighth
    // of the character height.
    const QFontMetrics metrics(font());
    resize(235 * metrics.averageCharWidth() / 4, 55 * metrics.height() / 8);
}

QPixmap CAboutDlg::ProgramIcon(int nSize)
{
    return QPixmap::fromImage(DrawProgramIcon(nSize));
}
