#pragma once

#include "gui/dialogs/ExchangeDialog.h"

class CMesh;

// "Enter a Transformation": a 3x3 matrix whose rows multiply each vertex position (a column),
// and a translation added afterwards. Opens with the identity and no translation.
class CTransformDlg : public CExchangeDialog
{
    Q_OBJECT

public:
    // The message of an OK refused because the mesh's numbers would not stay finite.
    static constexpr const char* NOT_FINITE =
        "The transformation would make the mesh's coordinates infinite. Enter smaller values.";

    // With a mesh, OK also refuses a transformation that would leave any of the mesh's numbers
    // infinite (see TransformKeepsMeshFinite): one message, and the dialog stays open.
    explicit CTransformDlg(const CMesh* pMesh = nullptr, QWidget* pParent = nullptr);
    void accept() override;

    double m_d00 = 1.0;
    double m_d01 = 0.0;
    double m_d02 = 0.0;
    double m_d10 = 0.0;
    double m_d11 = 1.0;
    double m_d12 = 0.0;
    double m_d20 = 0.0;
    double m_d21 = 0.0;
    double m_dTx = 0.0;
    double m_dTy = 0.0;
    double m_dTz = 0.0;
    double m_d22 = 1.0;

private:
    const CMesh* m_pMesh;
};
