#pragma once
// The page setup dialog "ページ設定" of the preview: printer, paper and orientation (acting on
// the current printer at once), the six margins within the printer's limits, the header and
// footer texts, the start page number and, where the preview allows it, the text styles.
// Everything but the printer goes back to the preview only through the getters after OK.

#include "preview/MetafileExImages.h"
#include "preview/NlvTools.h"
#include "preview/PreviewPrinter.h"

#include <QDialog>
#include <QPageLayout>
#include <QSpinBox>

#include <array>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabBar;
class QTabWidget;
class QToolButton;
class TLabel3D;
class TNlvLabel;

// A spin edit that lets any text be typed and brings it within its range when the field is
// left: a number outside the range goes to the nearer limit, anything else to the minimum.
class TMarginSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString& Text, int& Pos) const override;
    void fixup(QString& Input) const override;
};

class TPreSetupForm02 : public QDialog {
    Q_OBJECT
public:
    explicit TPreSetupForm02(QWidget* AOwner = nullptr);
    ~TPreSetupForm02() override;

    void SetFontStyle(const std::vector<TTextStyle>& List);
    void GetFontStyle(std::vector<TTextStyle>& List) const;
    // Index 0 left, 1 centre, 2 right; Kind 0 header, 1 footer.
    void SetHeaderText(int Index, int Kind, const QString& Value);
    QString GetHeaderText(int Index, int Kind) const;
    // Index 0 left, 1 top, 2 right, 3 bottom, 4 header, 5 footer.
    void SetMargin(int Index, int Value);
    int GetMargin(int Index) const;
    // The start page number as typed; 0 when it is not a whole number.
    int PageNum() const;
    bool Default() const;
    void SetFontTabVisible(bool Value);
    // Shows the dialog modally; true when confirmed with OK.
    bool Execute();

    QTabWidget* PageControl1 = nullptr;
    QWidget* YohakuSheet = nullptr;
    QWidget* HeaderSheet = nullptr;
    QWidget* FontSheet = nullptr;

    QComboBox* PrintListBox = nullptr;
    QComboBox* PaperListBox = nullptr;
    QRadioButton* PortRadio = nullptr;
    QRadioButton* LandRadio = nullptr;
    TNlvLabel* PrSizeLabel = nullptr;
    QPushButton* BitBtn3 = nullptr;
    TMarginSpinEdit* HdMEdit = nullptr;
    TMarginSpinEdit* TopMEdit = nullptr;
    TMarginSpinEdit* LeftMEdit = nullptr;
    TMarginSpinEdit* RightMEdit = nullptr;
    TMarginSpinEdit* BottomMEdit = nullptr;
    TMarginSpinEdit* FtMEdit = nullptr;
    // Range labels of the six margins, in the order left, top, right, bottom, header, footer.
    std::array<TNlvLabel*, 6> RangeLabels{};
    QWidget* YohakuView = nullptr;

    TLabel3D* HeaderLabel = nullptr;
    TLabel3D* FooterLabel = nullptr;
    QLineEdit* HLeftEdit = nullptr;
    QLineEdit* HCenterEdit = nullptr;
    QLineEdit* HRightEdit = nullptr;
    QLineEdit* FLeftEdit = nullptr;
    QLineEdit* FCenterEdit = nullptr;
    QLineEdit* FRightEdit = nullptr;
    QWidget* smallView = nullptr;
    QLineEdit* Edit1 = nullptr;
    QToolButton* UpButton = nullptr;
    QToolButton* DownButton = nullptr;

    QTabBar* FontTable = nullptr;
    QComboBox* FontBox = nullptr;
    QFrame* ColorBox = nullptr;
    QToolButton* FontBtn1 = nullptr;
    QToolButton* FontBtn2 = nullptr;
    QToolButton* FontBtn3 = nullptr;
    QToolButton* FontBtn4 = nullptr;
    QSpinBox* LMEdit1 = nullptr;
    QSpinBox* LMEdit2 = nullptr;
    QSpinBox* RMEdit1 = nullptr;
    QSpinBox* RMEdit2 = nullptr;
    QSpinBox* HeightEdit = nullptr;
    QSpinBox* SpaceEdit = nullptr;
    QWidget* FontView = nullptr;

    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QCheckBox* DefCheck = nullptr;

    // The margin picture YohakuView shows (an index of "YOHAKU_IMAGE"); -1 for none.
    int YohakuImage() const { return FYohakuImage; }

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void CreateYohakuSheet();
    void CreateHeaderSheet();
    void CreateFontSheet();
    std::array<TMarginSpinEdit*, 6> MarginEdits() const;
    std::array<QLineEdit*, 6> HeaderEdits() const;

    void UpdatePaperInfo();
    void PrintListBoxChange();
    void PaperListBoxChange();
    void BitBtn3Click();
    void OrientationClick(bool Landscape);
    void BitBtn1Click();
    void BitBtn2Click();
    void UpDownClick(int Step);
    void PaintYohakuView(QPainter& Canvas);
    void PaintSmallView(QPainter& Canvas);

    TTextStyle* SelectedStyle();
    void FontTableChange();
    void FontValueChange();
    void FontBoxChange(const QString& Face);
    void FontBtnClick();
    void ColorBoxClick();
    void PaintFontView(QPainter& Canvas);

    std::array<int, 4> FPhysicalMargins{};
    TMetaImages FMetas;
    int FPrinterIndex = -1;
    QPageLayout::Orientation FOrient = QPageLayout::Portrait;
    std::vector<TTextStyle> FFontList;
    TPaperList FPapers;
    int FYohakuImage = -1;
    int FUpDownPosition = 1;
    bool FShowingStyle = false;
};
