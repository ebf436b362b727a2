#pragma once

#include <string>

#include "gui/dialogs/ExchangeDialog.h"

class CSceneObject;
class QLineEdit;
class QPushButton;

// "Current Object Information": the name, file, counts, normals, bounds and pose of one scene
// object, read-only. Next Object and Previous Object browse the scene list inside the dialog
// only; the document's current object stays as it was.
class CObjectInfoDlg : public CExchangeDialog
{
    Q_OBJECT

public:
    enum
    {
        FIELD_COUNT = 15
    };

    explicit CObjectInfoDlg(CSceneObject* pObject, QWidget* pParent = nullptr);

    // The strings from m_pObject (nothing without one) and the two buttons enabled where a
    // neighbour exists.
    void Fill();

    QPushButton* m_pPreviousButton = nullptr;
    QPushButton* m_pNextButton = nullptr;
    // In the order of DescribeObject: name, file, the four counts, normals, min and max of x,
    // y and z, position, orientation.
    std::string m_strFields[FIELD_COUNT];
    CSceneObject* m_pObject;

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    // A value field: read-only, drawn as a label, scrolling a value too long for it.
    QLineEdit* NewValueField(int nID);
    // Each field shows the start of its value.
    void ShowFieldStarts();
    // Shows the object, when there is one.
    void Browse(CSceneObject* pObject);
    void OnNextObject();
    void OnPreviousObject();
};
