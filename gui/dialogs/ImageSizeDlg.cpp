#include "gui/dialogs/ImageSizeDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "export/PictureFile.h"

namespace
{
enum
{
    IDD_IMAGE_SIZE = 137,
    IDC_IMAGE_WIDTH = 1064,
    IDC_IMAGE_HEIGHT = 1065
};
} // namespace

CImageSizeDlg::CImageSizeDlg(QWidget* pParent)
    : CExchangeDialog(IDD_IMAGE_SIZE, QStringLiteral("Image Size"), pParent)
{
    auto* pLayout = new QGridLayout(this);
    pLayout->addWidget(new QLabel(QStringLiteral("Enter the picture's size in pixels."), this), 0, 0, 1, 2);
    pLayout->addWidget(new QLabel(QStringLiteral("Width:"), this), 1, 0);
    pLayout->addWidget(NewEdit(IDC_IMAGE_WIDTH), 1, 1);
    pLayout->addWidget(new QLabel(QStringLiteral("Height:"), this), 2, 0);
    pLayout->addWidget(NewEdit(IDC_IMAGE_HEIGHT), 2, 1);
    pLayout->addWidget(NewOkCancel(Qt::Vertical), 0, 2, 3, 1, Qt::AlignTop);
    const SRange sides{1.0, static_cast<double>(MAX_SNAPSHOT_SIDE)};
    ExchangeInt(IDC_IMAGE_WIDTH, m_nWidth, sides);
    ExchangeInt(IDC_IMAGE_HEIGHT, m_nHeight, sides);
}
