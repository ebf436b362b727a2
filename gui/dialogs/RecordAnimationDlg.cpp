#include "gui/dialogs/RecordAnimationDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "export/AnimationOutput.h"
#include "export/PictureFile.h"
#include "model/SceneTime.h"

namespace
{
enum
{
    IDD_RECORD_ANIMATION = 138,
    IDC_RECORD_WIDTH = 1066,
    IDC_RECORD_HEIGHT = 1067,
    IDC_RECORD_FPS = 1068,
    IDC_RECORD_FROM = 1069,
    IDC_RECORD_TO = 1070
};
} // namespace

CRecordAnimationDlg::CRecordAnimationDlg(QWidget* pParent)
    : CExchangeDialog(IDD_RECORD_ANIMATION, QStringLiteral("Record Animation"), pParent)
{
    auto* pLayout = new QGridLayout(this);
    auto* pPrompt = new QLabel(QStringLiteral("Enter the frames' size in pixels, the frames per second and "
                                              "the times in seconds to record from and to."),
                               this);
    pPrompt->setWordWrap(true);
    pLayout->addWidget(pPrompt, 0, 0, 1, 2);
    const std::pair<int, const char*> fields[] = {{IDC_RECORD_WIDTH, "Width:"},
                                                  {IDC_RECORD_HEIGHT, "Height:"},
                                                  {IDC_RECORD_FPS, "Frames per second:"},
                                                  {IDC_RECORD_FROM, "From:"},
                                                  {IDC_RECORD_TO, "To:"}};
    int nRow = 1;
    for (const auto& [nID, pszLabel] : fields)
    {
        pLayout->addWidget(new QLabel(QString::fromUtf8(pszLabel), this), nRow, 0);
        pLayout->addWidget(NewEdit(nID), nRow++, 1);
    }
    pLayout->addWidget(NewOkCancel(Qt::Vertical), 0, 2, nRow, 1, Qt::AlignTop);
    const SRange sides{1.0, static_cast<double>(MAX_SNAPSHOT_SIDE)};
    const SRange times{0.0, SceneTime::MAX_DIALOG_SECONDS};
    ExchangeInt(IDC_RECORD_WIDTH, m_nWidth, sides);
    ExchangeInt(IDC_RECORD_HEIGHT, m_nHeight, sides);
    ExchangeInt(IDC_RECORD_FPS, m_nFps, SRange{1.0, static_cast<double>(MAX_ANIMATION_FPS)});
    ExchangeFloat(IDC_RECORD_FROM, m_fFrom, times);
    ExchangeFloat(IDC_RECORD_TO, m_fTo, times);
}
