#include "gui/dialogs/ExchangeDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>

#include "gui/QtUiServices.h"

namespace
{
double NumberOf(const std::variant<double*, float*, int32_t*, bool*, std::string*>& pMember)
{
    if (const auto* ppDouble = std::get_if<double*>(&pMember))
        return **ppDouble;
    if (const auto* ppFloat = std::get_if<float*>(&pMember))
        return **ppFloat;
    return *std::get<int32_t*>(pMember);
}
} // namespace

CExchangeDialog::CExchangeDialog(int nTemplateID, const QString& strTitle, QWidget* pParent)
    : QDialog(pParent)
{
    setObjectName(QString::number(nTemplateID));
    setWindowTitle(strTitle);
}

void CExchangeDialog::Add(int nExchange, std::vector<int> ids, Member pMember, int nKind,
                          std::optional<SRange> range)
{
    m_fields.push_back(SField{nExchange, std::move(ids), pMember, nKind, range});
}

void CExchangeDialog::ExchangeDouble(int nID, double& dValue, std::optional<SRange> range)
{
    Add(EXCHANGE_NUMBER, {nID}, &dValue, FIELD_DOUBLE, range);
}

void CExchangeDialog::ExchangeFloat(int nID, float& fValue, std::optional<SRange> range)
{
    Add(EXCHANGE_NUMBER, {nID}, &fValue, FIELD_FLOAT, range);
}

void CExchangeDialog::ExchangeInt(int nID, int32_t& nValue, std::optional<SRange> range)
{
    Add(EXCHANGE_NUMBER, {nID}, &nValue, FIELD_INT, range);
}

void CExchangeDialog::ExchangeCheck(int nID, bool& bValue)
{
    Add(EXCHANGE_CHECK, {nID}, &bValue);
}

void CExchangeDialog::ExchangeSlider(int nID, int32_t& nValue)
{
    Add(EXCHANGE_SLIDER, {nID}, &nValue);
}

void CExchangeDialog::ExchangeText(int nID, std::string& strValue)
{
    Add(EXCHANGE_TEXT, {nID}, &strValue);
}

void CExchangeDialog::ExchangeRadio(std::vector<int> ids, int32_t& nIndex)
{
    Add(EXCHANGE_RADIO, std::move(ids), &nIndex);
}

void CExchangeDialog::Fill(const SField& field) const
{
    const int nID = field.ids.front();
    switch (field.nExchange)
    {
    case EXCHANGE_NUMBER:
        if (auto* pEdit = Control<QLineEdit>(nID))
            pEdit->setText(
                QString::fromStdString(DataExchange::Format(NumberOf(field.pMember), field.nKind)));
        break;
    case EXCHANGE_CHECK:
        if (auto* pCheck = Control<QCheckBox>(nID))
            pCheck->setChecked(*std::get<bool*>(field.pMember));
        break;
    case EXCHANGE_SLIDER:
        if (auto* pSlider = Control<QSlider>(nID))
            pSlider->setValue(*std::get<int32_t*>(field.pMember));
        break;
    case EXCHANGE_TEXT:
    {
        const QString strText = QString::fromStdString(*std::get<std::string*>(field.pMember));
        if (auto* pLabel = Control<QLabel>(nID))
            pLabel->setText(strText);
        else if (auto* pEdit = Control<QLineEdit>(nID))
            pEdit->setText(strText);
        break;
    }
    case EXCHANGE_RADIO:
        for (size_t i = 0; i < field.ids.size(); ++i)
            if (auto* pRadio = Control<QRadioButton>(field.ids[i]))
            {
                // A group without a checked button needs exclusivity off for a moment.
                pRadio->setAutoExclusive(false);
                pRadio->setChecked(static_cast<int32_t>(i) == *std::get<int32_t*>(field.pMember));
                pRadio->setAutoExclusive(true);
            }
        break;
    default:
        break;
    }
}

void CExchangeDialog::Store(const SField& field, double dNumber) const
{
    const int nID = field.ids.front();
    switch (field.nExchange)
    {
    case EXCHANGE_NUMBER:
        if (auto* ppDouble = std::get_if<double*>(&field.pMember))
            **ppDouble = dNumber;
        else if (auto* ppFloat = std::get_if<float*>(&field.pMember))
            **ppFloat = static_cast<float>(dNumber);
        else
            *std::get<int32_t*>(field.pMember) = static_cast<int32_t>(dNumber);
        break;
    case EXCHANGE_CHECK:
        if (const auto* pCheck = Control<QCheckBox>(nID))
            *std::get<bool*>(field.pMember) = pCheck->isChecked();
        break;
    case EXCHANGE_SLIDER:
        if (const auto* pSlider = Control<QSlider>(nID))
            *std::get<int32_t*>(field.pMember) = pSlider->value();
        break;
    case EXCHANGE_TEXT:
        if (const auto* pLabel = Control<QLabel>(nID))
            *std::get<std::string*>(field.pMember) = pLabel->text().toStdString();
        else if (const auto* pEdit = Control<QLineEdit>(nID))
            *std::get<std::string*>(field.pMember) = pEdit->text().toStdString();
        break;
    case EXCHANGE_RADIO:
    {
        int32_t nChecked = -1;
        for (size_t i = 0; i < field.ids.size(); ++i)
            if (const auto* pRadio = Control<QRadioButton>(field.ids[i]); pRadio && pRadio->isChecked())
                nChecked = static_cast<int32_t>(i);
        *std::get<int32_t*>(field.pMember) = nChecked;
        break;
    }
    default:
        break;
    }
}

bool CExchangeDialog::UpdateData(bool bSaveAndValidate)
{
    if (!bSaveAndValidate)
    {
        for (const SField& field : m_fields)
            Fill(field);
        return true;
    }
    // Every number is read before any member changes, so a refused OK leaves them all alone.
    std::vector<double> numbers(m_fields.size(), 0.0);
    for (size_t i = 0; i < m_fields.size(); ++i)
    {
        const SField& field = m_fields[i];
        QLineEdit* pEdit =
            field.nExchange == EXCHANGE_NUMBER ? Control<QLineEdit>(field.ids.front()) : nullptr;
        if (pEdit == nullptr)
            continue;
        std::string strMessage;
        const DataExchange::SRange* pRange = field.range ? &*field.range : nullptr;
        if (!DataExchange::Parse(pEdit->text().toStdString(), field.nKind, pRange, numbers[i], strMessage))
        {
            ShowMessage(strMessage);
            pEdit->setFocus(Qt::OtherFocusReason);
            pEdit->selectAll();
            return false;
        }
    }
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].nExchange != EXCHANGE_NUMBER ||
            Control<QLineEdit>(m_fields[i].ids.front()) != nullptr)
            Store(m_fields[i], numbers[i]);
    return true;
}

void CExchangeDialog::ShowMessage(const std::string& strText)
{
    Ui().MessageBox(strText, MB_OK | MB_ICONWARNING);
}

CUiServices& CExchangeDialog::Ui()
{
    if (m_pUi == nullptr)
    {
        auto pQtUi = std::make_unique<CQtUiServices>();
        pQtUi->SetParentWindow(this);
        m_pOwnUi = std::move(pQtUi);
        m_pUi = m_pOwnUi.get();
    }
    return *m_pUi;
}

void CExchangeDialog::accept()
{
    if (UpdateData(true))
        QDialog::accept();
}

void CExchangeDialog::showEvent(QShowEvent* pEvent)
{
    // Filled when the program shows the dialog, not again when the window system re-shows it.
    // The first edit field then has the focus with its text selected, so that typing replaces
    // it (as Tab selects the text of the field it moves to).
    if (!pEvent->spontaneous())
    {
        UpdateData(false);
        for (const SField& field : m_fields)
        {
            auto* pEdit = field.nExchange == EXCHANGE_RADIO ? nullptr : Control<QLineEdit>(field.ids.front());
            if (pEdit != nullptr && pEdit->isEnabled() && !pEdit->isReadOnly())
            {
                pEdit->setFocus(Qt::TabFocusReason);
                pEdit->selectAll();
                break;
            }
        }
    }
    QDialog::showEvent(pEvent);
}

bool CExchangeDialog::focusNextPrevChild(bool bNext)
{
    const bool bMoved = QDialog::focusNextPrevChild(bNext);
    if (auto* pEdit = qobject_cast<QLineEdit*>(focusWidget()); bMoved && pEdit != nullptr)
        pEdit->selectAll();
    return bMoved;
}

QLineEdit* CExchangeDialog::NewEdit(int nID)
{
    auto* pEdit = new QLineEdit(this);
    pEdit->setObjectName(QString::number(nID));
    return pEdit;
}

QCheckBox* CExchangeDialog::NewCheck(int nID, const QString& strText)
{
    auto* pCheck = new QCheckBox(strText, this);
    pCheck->setObjectName(QString::number(nID));
    return pCheck;
}

QRadioButton* CExchangeDialog::NewRadio(int nID, const QString& strText)
{
    auto* pRadio = new QRadioButton(strText, this);
    pRadio->setObjectName(QString::number(nID));
    return pRadio;
}

QLabel* CExchangeDialog::NewStatic(int nID, const QString& strText)
{
    auto* pLabel = new QLabel(strText, this);
    pLabel->setObjectName(QString::number(nID));
    return pLabel;
}

QSlider* CExchangeDialog::NewSlider(int nID, int nMin, int nMax)
{
    auto* pSlider = new QSlider(Qt::Horizontal, this);
    pSlider->setObjectName(QString::number(nID));
    pSlider->setRange(nMin, nMax);
    return pSlider;
}

QDialogButtonBox* CExchangeDialog::NewOkCancel(Qt::Orientation eOrientation)
{
    auto* pButtons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, eOrientation, this);
    QPushButton* pOk = pButtons->button(QDialogButtonBox::Ok);
    pOk->setObjectName(QStringLiteral("1"));
    pOk->setDefault(true);
    pButtons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("2"));
    connect(pButtons, &QDialogButtonBox::accepted, this, &CExchangeDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CExchangeDialog::reject);
    return pButtons;
}
