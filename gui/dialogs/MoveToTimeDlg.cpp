#include "gui/dialogs/MoveToTimeDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "model/SceneTime.h"

namespace
{
enum
{
    IDD_MOVE_TO_TIME = 136,
    IDC_MOVE_TIME = 1063
};
} // namespace

CMoveToTimeDlg::CMoveToTimeDlg(QWidget* pParent)
    : CExchangeDialog(IDD_MOVE_TO_TIME, QStringLiteral("Move To Time"), pParent)
{
    auto* pLayout = new QGridLayout(this);
    pLayout->addWidget(new QLabel(QStringLiteral("Enter time to move animation to in seconds."), this), 0, 0);
    pLayout->addWidget(NewEdit(IDC_MOVE_TIME), 1, 0);
    pLayout->addWidget(NewOkCancel(Qt::Vertical), 0, 1, 2, 1, Qt::AlignTop);
    ExchangeFloat(IDC_MOVE_TIME, m_fTime, SRange{0.0, SceneTime::MAX_DIALOG_SECONDS});
}
