#pragma once
// The "取込" dialog: survey files (ground, plan), the position and angle of the mesh grid and
// the edge limit; "確認" reads and samples everything on a worker thread, with progress and a
// cancel button, and shows what will happen; OK is open only for a preview of the settings as
// they stand, whose result the caller applies to the project in one step.

#include "survey/SurveyImport.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TInputData;

class TSurveyImportForm : public QDialog {
    Q_OBJECT
public:
    TSurveyImportForm(const TInputData& Data, QWidget* AOwner = nullptr);
    ~TSurveyImportForm() override;

    // The import worked out by the last preview; null before one.
    const TSurveyImport* Import() const { return FImport.get(); }

    struct TFileRow {
        QLineEdit* Path;
        QComboBox* Kind;
        QComboBox* Surface;
        QPushButton* Browse;
        QString Detected; // the path whose kind and surfaces are shown
    };
    TFileRow Ground, Plan;
    QLineEdit* OriginN;
    QLineEdit* OriginE;
    QLineEdit* Angle;
    QComboBox* Order;
    QLineEdit* MaxEdge;
    QPushButton* PreviewButton;
    QPlainTextEdit* Summary;
    QPushButton* OkButton;
    QPushButton* CancelButton;

private:
    TFileRow FileRow(const QString& Label, class QGridLayout* Grid, int Row);
    void Browse(TFileRow& Row);
    void FileChosen(TFileRow& Row);
    void RestoreSource(const std::string& Line);
    void Invalidate();
    void PreviewClick();
    bool Options(TSurveyImportOptions& O);

    const TInputData& FData;
    std::unique_ptr<TSurveyImport> FImport;
};
