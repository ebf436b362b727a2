#include "gui/dialogs/ViewParamsDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace
{
enum
{
    IDD_VIEW_PARAMS = 130,
    IDC_FROM_X = 1000,
    IDC_AT_X = 1003,
    IDC_UP_X = 1006,
    IDC_ANGLE = 1009
};
} // namespace

CViewParamsDlg::CViewParamsDlg(QWidget* pParent)
    : CExchangeDialog(IDD_VIEW_PARAMS, QStringLiteral("Viewing Parameter Dialog"), pParent)
{
    auto* pLayout = new QGridLayout(this);
    // One group per point or vector, its three coordinates side by side.
    const auto addGroup = [&](int nRow, const char* pszTitle, int nFirstID)
    {
        auto* pGroup = new QGroupBox(QString::fromUtf8(pszTitle), this);
        auto* pGrid = new QGridLayout(pGroup);
        const char* const axes[] = {"X:", "Y:", "Z:"};
        for (int i = 0; i < 3; ++i)
        {
            pGrid->addWidget(new QLabel(QString::fromUtf8(axes[i]), pGroup), 0, 2 * i);
            QLineEdit* pEdit = NewEdit(nFirstID + i);
            pGrid->addWidget(pEdit, 0, 2 * i + 1);
        }
        pLayout->addWidget(pGroup, nRow, 0, 1, 2);
    };
    addGroup(0, "From Point", IDC_FROM_X);
    addGroup(1, "At Point", IDC_AT_X);
    addGroup(2, "Up Vector", IDC_UP_X);
    auto* pAngleGroup = new QGroupBox(QStringLiteral("Viewing Angle"), this);
    auto* pAngleLayout = new QHBoxLayout(pAngleGroup);
    pAngleLayout->addWidget(NewEdit(IDC_ANGLE));
    pLayout->addWidget(pAngleGroup, 3, 0);
    pLayout->addWidget(NewOkCancel(Qt::Vertical), 0, 2, 2, 1, Qt::AlignTop);

    ExchangeDouble(IDC_AT_X, m_dAtX);
    ExchangeDouble(IDC_AT_X + 1, m_dAtY);
    ExchangeDouble(IDC_AT_X + 2, m_dAtZ);
    ExchangeDouble(IDC_FROM_X, m_dFromX);
    ExchangeDouble(IDC_FROM_X + 1, m_dFromY);
    ExchangeDouble(IDC_FROM_X + 2, m_dFromZ);
    ExchangeDouble(IDC_UP_X, m_dUpX);
    ExchangeDouble(IDC_UP_X + 1, m_dUpY);
    ExchangeDouble(IDC_UP_X + 2, m_dUpZ);
    ExchangeDouble(IDC_ANGLE, m_dAngle, SRange{0.01, 179.0});
}
