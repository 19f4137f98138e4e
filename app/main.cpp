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
#include <QCommandLineParser>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("doryou"));
    SetupApplication();
    QCommandLineParser arguments;
    arguments.setApplicationDescription(QStringLiteral("土量計算システム"));
    arguments.addHelpOption();
    arguments.addPositionalArgument(QStringLiteral("file"),
                                    QStringLiteral("開くプロジェクトファイル (.msh)"),
                                    QStringLiteral("[file]"));
    arguments.process(app);

    TMainForm mainForm;
    MainForm = &mainForm;
    if (!arguments.positionalArguments().isEmpty())
        mainForm.SetStartFile(arguments.positionalArguments().first());
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
