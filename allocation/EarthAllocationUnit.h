#pragma once
// "土量配分": the haul plan that costs least. The user lists the borrow pits and spoil sites
// (position in the mesh frame, capacity or unlimited, extra distance), picks the block size and
// the distance kind, and "計算" shows every haul (from, to, m³, distance, m³·m) and the totals.
// The plan is the core's (analysis/EarthAllocation.h), the same doryou-cli allocate gives.

#include "analysis/EarthAllocation.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
class TInputData;

class TEarthAllocationForm : public QDialog {
    Q_OBJECT
public:
    enum PlaceColumn { ColKind, ColX, ColY, ColCapacity, ColExtra, PlaceColumns };

    explicit TEarthAllocationForm(QWidget* AOwner = nullptr);

    // Hands the project over; before every Execute. The places shown are the project's own.
    void SetInputData(TInputData& Value);
    // Modal, as the other result windows.
    void Execute();

    // The options as the controls hold them; false with a message when a cell is no number.
    bool ReadOptions(TAllocOptions& Options, QString& Message) const;
    void SetOptions(const TAllocOptions& Options);

    void AddBorrowClick();
    void AddSpoilClick();
    void DeleteClick();
    void CalcButtonClick();
    void CsvButtonClick();
    // The preview with the table "配分表" and the map "配分図".
    void PrintButtonClick();
    const TAllocation& Allocation() const { return FAllocation; }

    QTableWidget* PlaceGrid;
    QPushButton* AddBorrowButton;
    QPushButton* AddSpoilButton;
    QPushButton* DeleteButton;
    QSpinBox* BlockEdit; // 0 shows "自動"
    QComboBox* DistanceBox;
    QPushButton* CalcButton;
    QTableWidget* ResultGrid;
    QLabel* TotalsLabel;
    QLabel* MessageLabel;
    QPushButton* PrintButton;
    QPushButton* CsvButton;
    QPushButton* CloseButton;

protected:
    void hideEvent(QHideEvent* Event) override;

private:
    // Stores usable options in the project when they differ from what it keeps.
    void KeepOptions();
    void AddPlace(TAllocPlaceKind Kind);
    void FocusNewPlace();
    void ClearResult();
    void ShowAllocation();

    TInputData* FInputData = nullptr;
    TAllocation FAllocation;
};

// The window of the run, created on first use; it lives until the application ends.
TEarthAllocationForm& SharedEarthAllocationForm();
