#include "app/AboutDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "app/Resources.h"

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
    QPixmap pixmap(nSize, nSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = nSize / 32.0;
    const QPointF top[] = {{16 * s, 3 * s}, {29 * s, 9 * s}, {16 * s, 15 * s}, {3 * s, 9 * s}};
    const QPointF left[] = {{3 * s, 9 * s}, {16 * s, 15 * s}, {16 * s, 29 * s}, {3 * s, 23 * s}};
    const QPointF right[] = {{16 * s, 15 * s}, {29 * s, 9 * s}, {29 * s, 23 * s}, {16 * s, 29 * s}};
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(120, 140, 255));
    painter.drawPolygon(top, 4);
    painter.setBrush(QColor(0, 0, 178));
    painter.drawPolygon(left, 4);
    painter.setBrush(QColor(0, 0, 110));
    painter.drawPolygon(right, 4);
    return pixmap;
}
