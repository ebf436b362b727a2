#include "gui/dialogs/TransformDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "model/MeshTransformCheck.h"

namespace
{
enum
{
    IDD_TRANSFORM = 134,
    IDC_M00 = 1033,
    IDC_TX = 1042
};
} // namespace

CTransformDlg::CTransformDlg(const CMesh* pMesh, QWidget* pParent)
    : CExchangeDialog(IDD_TRANSFORM, QStringLiteral("Enter a Transformation"), pParent), m_pMesh(pMesh)
{
    auto* pLayout = new QGridLayout(this);
    auto* pMatrix = new QGroupBox(QStringLiteral("Transformation Matrix"), this);
    auto* pMatrixGrid = new QGridLayout(pMatrix);
    for (int i = 0; i < 9; ++i)
        pMatrixGrid->addWidget(NewEdit(IDC_M00 + i), i / 3, i % 3);
    pLayout->addWidget(pMatrix, 0, 0);
    auto* pTranslation = new QGroupBox(QStringLiteral("Translation"), this);
    auto* pTranslationGrid = new QGridLayout(pTranslation);
    const char* const axes[] = {"X:", "Y:", "Z:"};
    for (int i = 0; i < 3; ++i)
    {
        pTranslationGrid->addWidget(new QLabel(QString::fromUtf8(axes[i]), this), i, 0);
        pTranslationGrid->addWidget(NewEdit(IDC_TX + i), i, 1);
    }
    pLayout->addWidget(pTranslation, 0, 1);
    pLayout->addWidget(NewOkCancel(Qt::Vertical), 0, 2, Qt::AlignTop);

    // The order in which OK checks the fields, and so which bad field it names first.
    double* const members[] = {&m_d00, &m_d01, &m_d02, &m_d10, &m_d11, &m_d12,
                               &m_d20, &m_d21, &m_dTx, &m_dTy, &m_dTz, &m_d22};
    const int ids[] = {IDC_M00,     IDC_M00 + 1, IDC_M00 + 2, IDC_M00 + 3, IDC_M00 + 4, IDC_M00 + 5,
                       IDC_M00 + 6, IDC_M00 + 7, IDC_TX,      IDC_TX + 1,  IDC_TX + 2,  IDC_M00 + 8};
    for (int i = 0; i < 12; ++i)
        ExchangeDouble(ids[i], *members[i]);
}

void CTransformDlg::accept()
{
    if (!UpdateData(true))
        return;
    if (m_pMesh != nullptr &&
        !TransformKeepsMeshFinite(*m_pMesh, CVector3(m_d00, m_d01, m_d02), CVector3(m_d10, m_d11, m_d12),
                                  CVector3(m_d20, m_d21, m_d22), CVector3(m_dTx, m_dTy, m_dTz)))
    {
        Ui().MessageBox(NOT_FINITE, MB_OK | MB_ICONWARNING);
        return;
    }
    QDialog::accept();
}
