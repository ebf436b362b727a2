#include "gui/dialogs/AddKeyframeDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "model/SceneTime.h"

namespace
{
enum
{
    IDD_ADD_KEYFRAME = 135,
    IDC_OBJECT_NAME = 1045,
    IDC_POSITION_X = 1046,
    IDC_ORIENTATION_X = 1049,
    IDC_TIME = 1052,
    IDC_DIRECTION_X = 1053,
    IDC_ORIENTATION_W = 1056,
    IDC_ROTATION_X = 1057,
    IDC_ROTATION_W = 1060,
    IDC_ADD_POSITION = 1061,
    IDC_ADD_ORIENTATION = 1062
};
} // namespace

CAddKeyframeDlg::CAddKeyframeDlg(QWidget* pParent)
    : CExchangeDialog(IDD_ADD_KEYFRAME, QStringLiteral("Add Animation Keyframe"), pParent)
{
    // A row: its label, then X, Y, Z (and W) edits under column headings.
    const auto addRow = [this](QGridLayout* pGrid, int nRow, const char* pszLabel, int nFirstID, int nWID)
    {
        pGrid->addWidget(new QLabel(QString::fromUtf8(pszLabel), this), nRow, 0);
        for (int i = 0; i < 3; ++i)
            pGrid->addWidget(NewEdit(nFirstID + i), nRow, i + 1);
        if (nWID != 0)
            pGrid->addWidget(NewEdit(nWID), nRow, 4);
    };
    const auto addHeadings = [this](QGridLayout* pGrid, int nCount)
    {
        const char* const headings[] = {"X", "Y", "Z", "W"};
        for (int i = 0; i < nCount; ++i)
            pGrid->addWidget(new QLabel(QString::fromUtf8(headings[i]), this), 0, i + 1, Qt::AlignHCenter);
    };

    auto* pPositionGroup = new QGroupBox(QStringLiteral("Position Keyframe"), this);
    auto* pPositionGrid = new QGridLayout(pPositionGroup);
    addHeadings(pPositionGrid, 3);
    addRow(pPositionGrid, 1, "Position:", IDC_POSITION_X, 0);
    addRow(pPositionGrid, 2, "Direction:", IDC_DIRECTION_X, 0);

    auto* pOrientationGroup = new QGroupBox(QStringLiteral("Orientation Keyframe"), this);
    auto* pOrientationGrid = new QGridLayout(pOrientationGroup);
    addHeadings(pOrientationGrid, 4);
    addRow(pOrientationGrid, 1, "Orientation:", IDC_ORIENTATION_X, IDC_ORIENTATION_W);
    addRow(pOrientationGrid, 2, "Rotation:", IDC_ROTATION_X, IDC_ROTATION_W);

    auto* pAddGroup = new QGroupBox(QStringLiteral("Add"), this);
    auto* pAddLayout = new QVBoxLayout(pAddGroup);
    pAddLayout->addWidget(NewCheck(IDC_ADD_POSITION, QStringLiteral("Position")));
    pAddLayout->addWidget(NewCheck(IDC_ADD_ORIENTATION, QStringLiteral("Orientation")));

    auto* pLayout = new QGridLayout(this);
    pLayout->addWidget(new QLabel(QStringLiteral("Object Name:"), this), 0, 0);
    pLayout->addWidget(NewStatic(IDC_OBJECT_NAME, QStringLiteral("Object")), 0, 1);
    pLayout->addWidget(NewOkCancel(Qt::Vertical), 0, 2, 2, 1, Qt::AlignTop);
    pLayout->addWidget(pPositionGroup, 2, 0, 1, 3);
    pLayout->addWidget(pOrientationGroup, 3, 0, 1, 3);
    pLayout->addWidget(pAddGroup, 4, 0);
    auto* pTimeRow = new QHBoxLayout;
    pTimeRow->addWidget(new QLabel(QStringLiteral("Add Keyframe at Time (Secs):"), this));
    pTimeRow->addWidget(NewEdit(IDC_TIME));
    pLayout->addLayout(pTimeRow, 4, 1, 1, 2, Qt::AlignBottom);

    ExchangeDouble(IDC_DIRECTION_X, m_dDirectionX);
    ExchangeDouble(IDC_DIRECTION_X + 1, m_dDirectionY);
    ExchangeDouble(IDC_DIRECTION_X + 2, m_dDirectionZ);
    ExchangeText(IDC_OBJECT_NAME, m_strObjectName);
    ExchangeCheck(IDC_ADD_POSITION, m_bAddPosition);
    ExchangeDouble(IDC_ORIENTATION_W, m_dOrientationW);
    ExchangeDouble(IDC_ORIENTATION_X, m_dOrientationX);
    ExchangeDouble(IDC_ORIENTATION_X + 1, m_dOrientationY);
    ExchangeDouble(IDC_ORIENTATION_X + 2, m_dOrientationZ);
    ExchangeDouble(IDC_POSITION_X, m_dPositionX);
    ExchangeDouble(IDC_POSITION_X + 1, m_dPositionY);
    ExchangeDouble(IDC_POSITION_X + 2, m_dPositionZ);
    ExchangeDouble(IDC_ROTATION_W, m_dRotationW);
    ExchangeDouble(IDC_ROTATION_X, m_dRotationX);
    ExchangeDouble(IDC_ROTATION_X + 1, m_dRotationY);
    ExchangeDouble(IDC_ROTATION_X + 2, m_dRotationZ);
    ExchangeCheck(IDC_ADD_ORIENTATION, m_bAddOrientation);
    ExchangeFloat(IDC_TIME, m_fTime, SRange{0.0, SceneTime::MAX_DIALOG_SECONDS});
}
