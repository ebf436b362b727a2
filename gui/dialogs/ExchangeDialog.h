#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/DataExchange.h"
#include "platform/UiServices.h"

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;

// A modal dialog that exchanges its members with its controls. A derived dialog creates its
// controls with the New... helpers (each control's object name is its resource id, so tests
// find them by id) and registers its members with the Exchange... calls, in exchange order.
// Showing the dialog fills the controls from the members. OK validates the fields in exchange
// order: the first bad one gets one message, is focused with its text selected, and the dialog
// stays open; only when every field passes are the members written and the dialog accepted.
// Cancel writes nothing.
class CExchangeDialog : public QDialog
{
    Q_OBJECT

public:
    using SRange = DataExchange::SRange;

    CExchangeDialog(int nTemplateID, const QString& strTitle, QWidget* pParent);

    // Validation messages go through these services (the view's, so that tests script them);
    // without any, Qt's message box shows them.
    void SetUiServices(CUiServices* pUi) { m_pUi = pUi; }
    // false: every control from its member. true: validate and, when all fields pass, write
    // every member; false after the one message about the first bad field.
    bool UpdateData(bool bSaveAndValidate = true);
    // OK: the members are written and the dialog closes only when every field is valid.
    void accept() override;

    // The control with resource id nID, or null.
    template <typename T> T* Control(int nID) const { return findChild<T*>(QString::number(nID)); }

protected:
    void showEvent(QShowEvent* pEvent) override;
    // Tab and Backtab select the text of the edit field they move to, whether or not the window
    // system has made the dialog active yet.
    bool focusNextPrevChild(bool bNext) override;
    // The services set for this dialog, or Qt's own over this dialog when none were set.
    CUiServices& Ui();

    // Edit fields: the text is a number of the member's kind, with an optional range.
    void ExchangeDouble(int nID, double& dValue, std::optional<SRange> range = {});
    void ExchangeFloat(int nID, float& fValue, std::optional<SRange> range = {});
    void ExchangeInt(int nID, int32_t& nValue, std::optional<SRange> range = {});
    // A check box, a slider position, a static or edit text (not validated).
    void ExchangeCheck(int nID, bool& bValue);
    void ExchangeSlider(int nID, int32_t& nValue);
    void ExchangeText(int nID, std::string& strValue);
    // A group of radio buttons: the index of the checked one in ids, -1 for none.
    void ExchangeRadio(std::vector<int> ids, int32_t& nIndex);

    QLineEdit* NewEdit(int nID);
    QCheckBox* NewCheck(int nID, const QString& strText);
    QRadioButton* NewRadio(int nID, const QString& strText);
    QLabel* NewStatic(int nID, const QString& strText);
    QSlider* NewSlider(int nID, int nMin, int nMax);
    // OK (id 1, the default button) and Cancel (id 2).
    QDialogButtonBox* NewOkCancel(Qt::Orientation eOrientation);

private:
    enum
    {
        EXCHANGE_NUMBER,
        EXCHANGE_CHECK,
        EXCHANGE_SLIDER,
        EXCHANGE_TEXT,
        EXCHANGE_RADIO
    };
    using Member = std::variant<double*, float*, int32_t*, bool*, std::string*>;
    struct SField
    {
        int nExchange;
        std::vector<int> ids;
        Member pMember;
        int nKind = FIELD_DOUBLE;
        std::optional<SRange> range;
    };

    void Add(int nExchange, std::vector<int> ids, Member pMember, int nKind = FIELD_DOUBLE,
             std::optional<SRange> range = {});
    void Fill(const SField& field) const;
    void Store(const SField& field, double dNumber) const;
    void ShowMessage(const std::string& strText);

    std::vector<SField> m_fields;
    CUiServices* m_pUi = nullptr;
    std::unique_ptr<CUiServices> m_pOwnUi;
};
