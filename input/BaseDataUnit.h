#pragma once
// The base data dialog: everything about a project except the mesh points. It holds no
// project data of its own; the caller loads the model into its controls, shows it, and on OK
// stores the values back in a fixed order (the model reacts to some of the writes). Which grid
// cells are editable follows the layer count and the options while the user types.

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class TInputData;
class TLabel3D;
class TRadioGroup;
class TStringGrid;

class TBaseInputForm : public QDialog {
    Q_OBJECT
public:
    explicit TBaseInputForm(QWidget* AOwner = nullptr);
    ~TBaseInputForm() override;

    QString Title() const;
    void SetTitle(const QString& Value);
    int Layer() const;
    void SetLayer(int Value);
    double MeshSpan() const;
    void SetMeshSpan(double Value);
    bool Hyoudo() const;
    void SetHyoudo(bool Value);
    bool Fumikomi() const;
    void SetFumikomi(bool Value);
    bool Atumitu() const;
    void SetAtumitu(bool Value);
    int RoundType() const;
    void SetRoundType(int Value);
    int RateType() const;
    void SetRateType(int Value);
    int CalcType() const;
    void SetCalcType(int Value);
    int SolidType() const;
    void SetSolidType(int Value);
    QString GetSolidName(int Index) const;
    void SetSolidName(int Index, const QString& Name);
    double GetSolidValue(int Index, int Kind) const;
    void SetSolidValue(int Index, int Kind, double Value);

    // Shows the dialog modally; true when it was closed with OK.
    bool Execute();
    // OK: refused with the model's message, the dialog staying open, while the mesh spacing is
    // one that no calculation can use.
    void accept() override;

    // The transfer with the project model, in the order the model needs: loading before
    // Execute, storing after OK. Storing stops at the first failure of the model (a layer
    // count outside 1..5), with what was stored so far kept and the phases untouched.
    void LoadFromModel(const TInputData& Data);
    void StoreToModel(TInputData& Data) const;

    // Whether the cell of the grid with the given tag may be edited now.
    bool IsCellEditable(int Tag, int Col, int Row) const;
    int CurrentLayer() const { return FLayer; }

    // Controls, named as designed.
    QLineEdit* Edit1;
    QComboBox* ComboBox1;
    QLineEdit* MeshSpanEdit;
    TRadioGroup* CalctypeItem;
    TRadioGroup* RateTypeItem;
    TRadioGroup* HyoudoInput;
    QGroupBox* GroupBox1;
    QCheckBox* FumikomiCheck;
    QCheckBox* AtumituCheck;
    TRadioGroup* SolidTypeItem;
    TStringGrid* StringGrid1;
    TStringGrid* StringGrid2;
    QComboBox* RoundCombo;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

private:
    void FormCreate();
    void ComboBox1Change();
    void RateTypeItemClick();
    void StringGrid1DrawCell(const TStringGrid* Grid, QPainter& Painter, const QRect& Rect, int Col,
                             int Row) const;
    // The Enter key: the next editable cell of a grid, else the next control.
    void FormKeyPress();
    TStringGrid* ActiveGrid() const;

    int FLayer = 0;
};

// The one base data dialog of the run, created at start-up.
extern TBaseInputForm* BaseInputForm;
