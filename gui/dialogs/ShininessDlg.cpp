#include "gui/dialogs/ShininessDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace
{
enum
{
    IDD_SHININESS = 133,
    IDC_SHININESS = 1028
};
} // namespace

CShininessDlg::CShininessDlg(QWidget* pParent)
    : CExchangeDialog(IDD_SHININESS, QStringLiteral("Manually Set Shininess"), pParent)
{
    auto* pLayout = new QGridLayout(this);
    pLayout->addWidget(
        new QLabel(QStringLiteral("Enter a value for the shininess exponent between 0.0 and 128.0."), this),
        0, 0);
    pLayout->addWidget(NewEdit(IDC_SHININESS), 1, 0);
    pLayout->addWidget(NewOkCancel(Qt::Vertical), 0, 1, 2, 1, Qt::AlignTop);
    ExchangeFloat(IDC_SHININESS, m_fShininess, SRange{0.0, 128.0});
}
