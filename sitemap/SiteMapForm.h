#pragma once
// The map window "切盛図": the site's cut/fill map (TSiteMapView) with its layer, the zero line
// and contours to choose (each layer starts at its own round interval, what the user types is
// kept for the layer; an interval too fine is said beside the legend), the arrows of the stored
// earth allocation, the legend, the point under the pointer, and the data checks' findings listed
// beside it. A double click opens the point in the mesh data editor; the map and the findings
// follow what was changed there. The view can be written as PNG, SVG or PDF.

#include "analysis/CutFillMap.h"
#include "analysis/SiteCheck.h"

#include <QDialog>

#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QListView;
class QPushButton;
class TInputData;
struct TAllocation;
class TSiteMapPainter;
class TSiteMapView;
class QWidget;

class TSiteMapForm : public QDialog {
    Q_OBJECT
public:
    explicit TSiteMapForm(QWidget* AOwner = nullptr);
    ~TSiteMapForm() override;

    // Binds the window to a project (not owned) and builds its map and findings.
    void SetInputData(TInputData& Value);
    void Execute();

    // Rebuilds the map of the layer chosen; the checks' findings stay (they follow the
    // project, not the layer).
    void Rebuild(bool KeepView);
    // Runs the checks again and lists their findings: the project changed.
    void UpdateFindings();
    void LayerBoxChange();
    void StyleChange();
    // The user's interval: kept for the layer shown.
    void ContourEditChange();
    // Shows or hides the allocation's arrows, the view fitted to what is drawn.
    void AllocationCheckClick();
    void FindingClick();
    // Opens the mesh data editor on a point, then shows what the editor left.
    void OpenPoint(int X, int Y);
    void ExportButtonClick();
    // The writing half of the export; a failure shows the error box. True when written.
    bool ExportTo(const QString& FileName);
    // The text of the point shown under the pointer.
    void ShowPoint(bool Any, int X, int Y);

    const std::vector<TCheckFinding>& Findings() const { return FFindings; }
    const TCutFillMap& Map() const { return *FMap; }
    // What draws the map in the view and the export.
    const TSiteMapPainter& MapPainter() const { return *FPainter; }

    TSiteMapView* MapView;
    QWidget* Legend;
    QComboBox* LayerBox;
    QCheckBox* BoundaryCheck;
    QCheckBox* ContourCheck;
    QDoubleSpinBox* ContourEdit;
    QCheckBox* AllocationCheck;
    QPushButton* FitButton;
    QPushButton* ExportButton;
    QPushButton* CloseButton;
    QLabel* ContourLabel; // the contours' interval and lines, or why they are not as asked
    QLabel* FindingsLabel;
    QListView* FindingsList; // over Findings(), rows formatted when drawn
    QLabel* PointLabel;

private:
    // Solves the allocation stored with the project, when it has results and stored places.
    void UpdateAllocation();

    // The findings' marks on the map, where the layer shown draws their places.
    void UpdateMarks();
    // The interval box for Layer: the user's interval for it, or the map's default.
    void ShowInterval(TMapLayer Layer, const TCutFillMap& Map);
    // What the contours show, beside the legend and in it.
    void UpdateContourNote();

    TInputData* FInputData = nullptr;
    std::unique_ptr<TAllocation> FAllocation; // a solved plan, or none
    std::unique_ptr<TCutFillMap> FMap;
    std::unique_ptr<TSiteMapPainter> FPainter;
    std::vector<TCheckFinding> FFindings;
    class TFindingsModel* FFindingsModel;
    double FTypedInterval[2] = {0, 0}; // by layer; 0: the map's default
};

// The one map window of the run, made on first use.
TSiteMapForm& SharedSiteMapForm();
