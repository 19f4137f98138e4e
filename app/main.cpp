// doryou: earthwork estimation by the mesh method. Creates the frame and the dialogs that live
// for the whole run, then runs the event loop; the frame creates the navigation window, which
// owns the project.

#include "app/AppSetup.h"
#include "app/MainUnit.h"
#include "input/BaseDataUnit.h"
#include "results/CalcOutDetailUnit.h"
#include "results/CalcOutView.h"
#include "results/RateCalcUnit.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("doryou"));
    SetupApplication();

    TMainForm mainForm;
    MainForm = &mainForm;
    TBaseInputForm baseInputForm(&mainForm);
    BaseInputForm = &baseInputForm;
    TCalcOutForm calcOutForm(&mainForm);
    CalcOutForm = &calcOutForm;
    TCalcAllForm calcAllForm(&mainForm);
    CalcAllForm = &calcAllForm;
    TTargetRateCalcForm targetRateCalcForm(&mainForm);
    TargetRateCalcForm = &targetRateCalcForm;

    mainForm.show();
    return QApplication::exec();
}
