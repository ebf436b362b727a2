#include "gui/dialogs/ObjectInfoDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>

#include "model/ObjectInfo.h"
#include "model/SceneObject.h"

namespace
{
enum
{
    IDD_OBJECT_INFO = 131,
    IDC_NEXT_OBJECT = 1043,
    IDC_PREVIOUS_OBJECT = 1044
};
// Room for the longest usual value, the orientation "-0.707 0.707 -0.707 0.707" and a little.
constexpr int VALUE_FIELD_CHARACTERS = 28;

// The control of each field, in the order DescribeObject gives them.
constexpr int FIELD_IDS[CObjectInfoDlg::FIELD_COUNT] = {1042, 1018, 1010, 1011, 1012, 1016, 1017, 1034,
                                                        1035, 1036, 1037, 1038, 1039, 1040, 1041};
} // namespace

CObjectInfoDlg::CObjectInfoDlg(CSceneObject* pObject, QWidget* pParent)
    : CExchangeDialog(IDD_OBJECT_INFO, QStringLiteral("Current Object Information"), pParent),
      m_pObject(pObject)
{
    auto* pLayout = new QGridLayout(this);
    auto* pGroup = new QGroupBox(QStringLiteral("Currently Selected Object"), this);
    auto* pGrid = new QGridLayout(pGroup);
    // The labels come from the same description the batch --info prints.
    CSceneObject placeholder;
    const auto labels = DescribeObject(placeholder);
    for (int i = 0; i < FIELD_COUNT; ++i)
    {
        pGrid->addWidget(new QLabel(QString::fromStdString(labels[i].first), this), i, 0);
        pGrid->addWidget(NewValueField(FIELD_IDS[i]), i, 1);
    }
    pLayout->addWidget(pGroup, 0, 0, 1, 3);

    m_pPreviousButton = new QPushButton(QStringLiteral("Previous Object"), this);
    m_pPreviousButton->setObjectName(QString::number(IDC_PREVIOUS_OBJECT));
    m_pPreviousButton->setAutoDefault(false);
    connect(m_pPreviousButton, &QPushButton::clicked, this, &CObjectInfoDlg::OnPreviousObject);
    m_pNextButton = new QPushButton(QStringLiteral("Next Object"), this);
    m_pNextButton->setObjectName(QString::number(IDC_NEXT_OBJECT));
    m_pNextButton->setAutoDefault(false);
    connect(m_pNextButton, &QPushButton::clicked, this, &CObjectInfoDlg::OnNextObject);
    // Read-only: OK (and Esc) just close it.
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    pButtons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("1"));
    pButtons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    pLayout->addWidget(m_pPreviousButton, 1, 0);
    pLayout->addWidget(m_pNextButton, 1, 1);
    pLayout->addWidget(pButtons, 1, 2);

    for (int i = 0; i < FIELD_COUNT; ++i)
        ExchangeText(FIELD_IDS[i], m_strFields[i]);
}

QLineEdit* CObjectInfoDlg::NewValueField(int nID)
{
    // A read-only edit that looks like a label: a value as wide as the largest double ("Max X:"
    // of a mesh near 1e308 has over 300 digits) scrolls inside its field instead of widening the
    // dialog beyond the screen.
    QLineEdit* pValue = NewEdit(nID);
    pValue->setReadOnly(true);
    pValue->setFrame(false);
    QPalette palette = pValue->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    pValue->setPalette(palette);
    pValue->setMinimumWidth(pValue->fontMetrics().horizontalAdvance(QString(VALUE_FIELD_CHARACTERS, u'0')));
    return pValue;
}

void CObjectInfoDlg::ShowFieldStarts()
{
    for (const int nID : FIELD_IDS)
        if (auto* pValue = Control<QLineEdit>(nID))
            pValue->setCursorPosition(0);
}

void CObjectInfoDlg::showEvent(QShowEvent* pEvent)
{
    // Filled before the exchange of the base class shows the strings.
    if (!pEvent->spontaneous())
        Fill();
    CExchangeDialog::showEvent(pEvent);
    ShowFieldStarts();
}

void CObjectInfoDlg::Fill()
{
    if (m_pObject == nullptr)
        return;
    const auto fields = DescribeObject(*m_pObject);
    for (int i = 0; i < FIELD_COUNT; ++i)
        m_strFields[i] = fields[i].second;
    m_pNextButton->setEnabled(m_pObject->m_pNext != nullptr);
    m_pPreviousButton->setEnabled(m_pObject->m_pPrev != nullptr);
}

void CObjectInfoDlg::Browse(CSceneObject* pObject)
{
    if (pObject == nullptr)
        return;
    m_pObject = pObject;
    Fill();
    UpdateData(false);
    ShowFieldStarts();
}

void CObjectInfoDlg::OnNextObject()
{
    if (m_pObject != nullptr)
        Browse(m_pObject->m_pNext);
}

void CObjectInfoDlg::OnPreviousObject()
{
    if (m_pObject != nullptr)
        Browse(m_pObject->m_pPrev);
}
