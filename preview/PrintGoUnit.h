#pragma once
// The print dialog "印刷設定": page range, copies and collation, the special layouts and
// scaling to another paper of the current printer.

#include <QDialog>
#include <QPageSize>

#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class TNlvLabel;
class TRadioGroup;

enum TPrintRange { prAllPages, prSelection, prPageNums };

class TPrintGoForm : public QDialog {
    Q_OBJECT
public:
    explicit TPrintGoForm(QWidget* AOwner = nullptr);

    int MinPage = 0, MaxPage = 0;
    int FromPage = 0, ToPage = 0;
    TPrintRange PrintRange = prAllPages;
    int Copies = 0;
    bool Collate = false;
    int SpecialNumber = 0;
    bool Scaled = false;
    int OutPaperSize = 0; // QPageSize::PageSizeId + 1, so that 0 means none
    bool PrintToFile = false;

    // Shows the dialog modally; true when confirmed.
    bool Execute();

    TNlvLabel* PrNameLabel = nullptr;
    QRadioButton* AllPage = nullptr;
    QRadioButton* SelectPage = nullptr;
    QLineEdit* MinPageEdit = nullptr;
    QLineEdit* MaxPageEdit = nullptr;
    QSpinBox* GroupNumBox = nullptr;
    QCheckBox* GroupCheck = nullptr;
    QLabel* Image1 = nullptr;
    QRadioButton* NormalRadio = nullptr;
    QRadioButton* ReverseRadio = nullptr;
    QRadioButton* MultiRadio = nullptr;
    TRadioGroup* MultiGroup = nullptr;
    QLabel* Image2 = nullptr;
    QCheckBox* ScaledCheck = nullptr;
    QLabel* ScalePaperLabel = nullptr;
    QComboBox* ScalePaperBox = nullptr;

private:
    void UpdateControls();
    void OkClick();
    std::vector<QPageSize> FPapers;
};
