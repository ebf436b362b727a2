#include "gui/dialogs/MaterialDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSlider>

#include "gui/dialogs/ShininessDlg.h"
#include "platform/UiServices.h"

namespace
{
enum
{
    IDD_MATERIAL = 132,
    IDC_RESET_DEFAULTS = 1011,
    IDC_OUTER_DIFFUSE = 1012,
    IDC_OUTER_AMBIENT = 1013,
    IDC_OUTER_SPECULAR = 1014,
    IDC_OUTER_SHININESS = 1015,
    IDC_SET_OUTER_SHININESS = 1016,
    IDC_INNER_AMBIENT = 1017,
    IDC_INNER_DIFFUSE = 1018,
    IDC_INNER_SPECULAR = 1019,
    IDC_INNER_SHININESS = 1020,
    IDC_SET_INNER_SHININESS = 1021,
    IDC_LIGHT_AMBIENT = 1022,
    IDC_LIGHT_DIFFUSE = 1023,
    IDC_LIGHT_SPECULAR = 1024,
    IDC_LIGHT_X = 1025,
    IDC_LIGHT_Y = 1026,
    IDC_LIGHT_Z = 1027,
    IDC_RELATIVE_VIEW = 1029,
    IDC_RELATIVE_WORLD = 1030,
    IDC_POINT_LIGHT = 1031,
    IDC_DIRECTIONAL_LIGHT = 1032
};

constexpr int MAX_SLIDER = 1280;

struct SSwatch
{
    int nID;
    uint32_t CMaterialDlg::*pColor;
};
constexpr SSwatch SWATCHES[] = {
    {IDC_INNER_AMBIENT, &CMaterialDlg::m_crInnerAmbient},
    {IDC_INNER_DIFFUSE, &CMaterialDlg::m_crInnerDiffuse},
    {IDC_INNER_SPECULAR, &CMaterialDlg::m_crInnerSpecular},
    {IDC_OUTER_AMBIENT, &CMaterialDlg::m_crOuterAmbient},
    {IDC_OUTER_DIFFUSE, &CMaterialDlg::m_crOuterDiffuse},
    {IDC_OUTER_SPECULAR, &CMaterialDlg::m_crOuterSpecular},
    {IDC_LIGHT_AMBIENT, &CMaterialDlg::m_crLightAmbient},
    {IDC_LIGHT_DIFFUSE, &CMaterialDlg::m_crLightDiffuse},
    {IDC_LIGHT_SPECULAR, &CMaterialDlg::m_crLightSpecular},
};

// Tenths of the exponent; computed in single precision, so that 0.7 gives 7 and not 6.
int SliderPosition(float fShininess)
{
    return static_cast<int>(fShininess * 10.0f);
}

void MoveSlider(QSlider* pSlider, float fShininess)
{
    // Only the user's moves change the shininess; this one shows it.
    const QSignalBlocker block(pSlider);
    pSlider->setValue(SliderPosition(fShininess));
}
} // namespace

CMaterialDlg::CMaterialDlg(QWidget* pParent)
    : CExchangeDialog(IDD_MATERIAL, QStringLiteral("Surface and Lighting Properties"), pParent)
{
    auto* pLayout = new QGridLayout(this);
    const auto addSwatch = [this](QGridLayout* pGrid, int nRow, int nColumn, const char* pszLabel, int nID)
    {
        pGrid->addWidget(new QLabel(QString::fromUtf8(pszLabel), this), nRow, nColumn);
        auto* pSwatch = new QPushButton(this);
        pSwatch->setObjectName(QString::number(nID));
        pSwatch->setIconSize(QSize(40, 16));
        connect(pSwatch, &QPushButton::clicked, this, [this, nID] { OnSwatch(nID); });
        pGrid->addWidget(pSwatch, nRow, nColumn + 1);
    };
    const auto addMaterial =
        [&](int nColumn, const char* pszTitle, const int ids[3], int nSliderID, int nSetID, float& fShininess)
    {
        auto* pGroup = new QGroupBox(QString::fromUtf8(pszTitle), this);
        auto* pGrid = new QGridLayout(pGroup);
        addSwatch(pGrid, 0, 0, "Ambient:", ids[0]);
        addSwatch(pGrid, 1, 0, "Diffuse:", ids[1]);
        addSwatch(pGrid, 2, 0, "Specular:", ids[2]);
        pGrid->addWidget(new QLabel(QStringLiteral("Shininess:"), this), 3, 0);
        QSlider* pSlider = NewSlider(nSliderID, 0, MAX_SLIDER);
        connect(pSlider, &QSlider::valueChanged, this,
                [&fShininess](int nPosition) { fShininess = static_cast<float>(nPosition * 0.1); });
        pGrid->addWidget(pSlider, 4, 0, 1, 2);
        auto* pSet = new QPushButton(QStringLiteral("Set"), this);
        pSet->setObjectName(QString::number(nSetID));
        connect(pSet, &QPushButton::clicked, this,
                [this, &fShininess, nSliderID] { OnSetShininess(fShininess, nSliderID); });
        pGrid->addWidget(pSet, 4, 2);
        pLayout->addWidget(pGroup, 0, nColumn);
    };
    const int outer[3] = {IDC_OUTER_AMBIENT, IDC_OUTER_DIFFUSE, IDC_OUTER_SPECULAR};
    const int inner[3] = {IDC_INNER_AMBIENT, IDC_INNER_DIFFUSE, IDC_INNER_SPECULAR};
    addMaterial(0, "Outer Material", outer, IDC_OUTER_SHININESS, IDC_SET_OUTER_SHININESS, m_fOuterShininess);
    addMaterial(1, "Inner Material", inner, IDC_INNER_SHININESS, IDC_SET_INNER_SHININESS, m_fInnerShininess);

    auto* pLight = new QGroupBox(QStringLiteral("Light"), this);
    auto* pLightGrid = new QGridLayout(pLight);
    addSwatch(pLightGrid, 0, 0, "Ambient:", IDC_LIGHT_AMBIENT);
    addSwatch(pLightGrid, 0, 2, "Diffuse:", IDC_LIGHT_DIFFUSE);
    addSwatch(pLightGrid, 0, 4, "Specular:", IDC_LIGHT_SPECULAR);
    const char* const axes[] = {"X:", "Y:", "Z:"};
    for (int i = 0; i < 3; ++i)
    {
        pLightGrid->addWidget(new QLabel(QString::fromUtf8(axes[i]), this), 1, 2 * i);
        pLightGrid->addWidget(NewEdit(IDC_LIGHT_X + i), 1, 2 * i + 1);
    }
    // Each pair in a box of its own: radio buttons exclude the others of the same parent.
    const auto addChoice =
        [&](int nColumn, const char* pszTitle, int nFirstID, const char* pszFirst, const char* pszSecond)
    {
        auto* pGroup = new QGroupBox(QString::fromUtf8(pszTitle), pLight);
        auto* pBox = new QVBoxLayout(pGroup);
        pBox->addWidget(NewRadio(nFirstID, QString::fromUtf8(pszFirst)));
        pBox->addWidget(NewRadio(nFirstID + 1, QString::fromUtf8(pszSecond)));
        pLightGrid->addWidget(pGroup, 2, nColumn, 1, 3);
    };
    addChoice(0, "Relative To", IDC_RELATIVE_VIEW, "View", "World");
    addChoice(3, "Light Type", IDC_POINT_LIGHT, "Point Light", "Directional Light");
    pLayout->addWidget(pLight, 1, 0, 1, 2);

    auto* pReset = new QPushButton(QStringLiteral("Reset to Defaults"), this);
    pReset->setObjectName(QString::number(IDC_RESET_DEFAULTS));
    connect(pReset, &QPushButton::clicked, this, &CMaterialDlg::OnResetDefaults);
    pLayout->addWidget(pReset, 2, 0, Qt::AlignLeft);
    pLayout->addWidget(NewOkCancel(Qt::Horizontal), 2, 1);

    ExchangeFloat(IDC_LIGHT_X, m_fLightX);
    ExchangeFloat(IDC_LIGHT_Y, m_fLightY);
    ExchangeFloat(IDC_LIGHT_Z, m_fLightZ);
    ExchangeRadio({IDC_RELATIVE_VIEW, IDC_RELATIVE_WORLD}, m_nRelativeTo);
    ExchangeRadio({IDC_POINT_LIGHT, IDC_DIRECTIONAL_LIGHT}, m_nLightType);
}

void CMaterialDlg::showEvent(QShowEvent* pEvent)
{
    CExchangeDialog::showEvent(pEvent);
    if (!pEvent->spontaneous())
        UpdateControls();
}

void CMaterialDlg::SetSwatch(uint32_t crColor, int nID)
{
    auto* pSwatch = Control<QPushButton>(nID);
    if (pSwatch == nullptr)
        return;
    QPixmap pixmap(pSwatch->iconSize());
    pixmap.fill(QColor(static_cast<int>(crColor & 0xFF), static_cast<int>((crColor >> 8) & 0xFF),
                       static_cast<int>((crColor >> 16) & 0xFF)));
    pSwatch->setIcon(QIcon(pixmap));
}

uint32_t CMaterialDlg::PickColor(uint32_t crColor, int nID)
{
    uint32_t crChosen = crColor;
    if (!Ui().ChooseColor(crChosen, this))
        return crColor;
    SetSwatch(crChosen, nID);
    return crChosen;
}

void CMaterialDlg::UpdateControls()
{
    for (const SSwatch& swatch : SWATCHES)
        SetSwatch(this->*swatch.pColor, swatch.nID);
    MoveSlider(Control<QSlider>(IDC_INNER_SHININESS), m_fInnerShininess);
    MoveSlider(Control<QSlider>(IDC_OUTER_SHININESS), m_fOuterShininess);
}

void CMaterialDlg::OnSwatch(int nID)
{
    for (const SSwatch& swatch : SWATCHES)
        if (swatch.nID == nID)
            this->*swatch.pColor = PickColor(this->*swatch.pColor, nID);
}

void CMaterialDlg::OnSetShininess(float& fShininess, int nSliderID)
{
    CShininessDlg dialog(this);
    dialog.SetUiServices(&Ui());
    dialog.m_fShininess = fShininess;
    if (dialog.exec() != QDialog::Accepted)
        return;
    fShininess = dialog.m_fShininess;
    MoveSlider(Control<QSlider>(nSliderID), fShininess);
}

void CMaterialDlg::OnResetDefaults()
{
    m_crOuterAmbient = m_crOuterDiffuse = 0xB20000;
    m_crOuterSpecular = 0xB2B2B2;
    m_crInnerAmbient = m_crInnerDiffuse = 0x0000B2;
    m_crInnerSpecular = 0xB2B2B2;
    m_crLightAmbient = 0x4C4C4C;
    m_crLightDiffuse = m_crLightSpecular = 0xFFFFFF;
    m_fInnerShininess = m_fOuterShininess = 50.0f;
    UpdateControls();
    m_fLightX = m_fLightY = 0.0f;
    m_fLightZ = 1.0f;
    // Also brings the two choices back to what the dialog opened with.
    UpdateData(false);
}
