// doryou_gui_soak: a long random run through every window the navigation window reaches, for
// crashes, sanitizer faults, hangs and uncaught exceptions. The program's windows are made as
// the program makes them; the driver clicks, presses keys and types into them.
//
//   doryou_gui_soak [--seed N|random] [--minutes M] [--steps K] [--log FILE] [--hang S]
//                   [--keep 1]
//
// The environment gives the same as DORYOU_SOAK_SEED, DORYOU_SOAK_MINUTES, DORYOU_SOAK_STEPS,
// DORYOU_SOAK_LOG, DORYOU_SOAK_HANG and DORYOU_SOAK_KEEP; arguments win. Without either: seed 1 for
// one minute. Everything the windows write (projects, CSV files, PDF files, settings, print
// records) goes to a sandbox folder that is removed after a clean run and kept after a failure.

#include "SoakDriver.h"
#include "SoakGuard.h"

#include "app/AppSetup.h"
#include "app/MainUnit.h"
#include "input/BaseDataUnit.h"
#include "model/DataUnit.h"
#include "results/CalcOutDetailUnit.h"
#include "results/CalcOutView.h"
#include "results/RateCalcUnit.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

struct TArguments {
    TSoakOptions Options;
    bool Keep = false; // the sandbox also after a clean run
    bool Ok = true;
};

// Arguments over the environment over the defaults.
TArguments ReadArguments(int argc, char** argv) {
    TArguments a;
    QMap<QString, QString> given;
    const char* const names[] = {"seed", "minutes", "steps", "log", "hang", "keep"};
    for (const char* name : names) {
        const QByteArray env = qgetenv(("DORYOU_SOAK_" + QByteArray(name).toUpper()).constData());
        if (!env.isEmpty())
            given[QString::fromLatin1(name)] = QString::fromLocal8Bit(env);
    }
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        bool known = false;
        for (const char* name : names)
            if (arg == QStringLiteral("--") + QString::fromLatin1(name) && i + 1 < argc) {
                given[QString::fromLatin1(name)] = QString::fromLocal8Bit(argv[++i]);
                known = true;
            }
        if (!known) {
            std::fprintf(stderr,
                         "usage: doryou_gui_soak [--seed N|random] [--minutes M] [--steps K] "
                         "[--log FILE] [--hang SECONDS] [--keep 1]\n");
            a.Ok = false;
            return a;
        }
    }
    TSoakOptions& o = a.Options;
    bool ok = true;
    const QString seed = given.value(QStringLiteral("seed"), QStringLiteral("1"));
    o.Seed = seed == QStringLiteral("random")
                 ? static_cast<uint64_t>(QDateTime::currentMSecsSinceEpoch()) % 1000000007
                 : seed.toULongLong(&ok);
    a.Ok = a.Ok && ok;
    if (given.contains(QStringLiteral("steps"))) {
        o.Steps = given[QStringLiteral("steps")].toLongLong(&ok);
        a.Ok = a.Ok && ok && o.Steps >= 0;
        o.Minutes = 0; // a step budget alone: as long as it takes
    }
    if (given.contains(QStringLiteral("minutes"))) {
        o.Minutes = given[QStringLiteral("minutes")].toDouble(&ok);
        a.Ok = a.Ok && ok && std::isfinite(o.Minutes) && o.Minutes >= 0;
    }
    if (given.contains(QStringLiteral("hang"))) {
        o.HangSeconds = given[QStringLiteral("hang")].toInt(&ok);
        a.Ok = a.Ok && ok;
    }
    o.LogFile = given.value(QStringLiteral("log"));
    a.Keep = given.value(QStringLiteral("keep")) == QStringLiteral("1");
    if (!a.Ok)
        std::fprintf(stderr, "soak: a number in the arguments or the environment is wrong\n");
    return a;
}

// Qt's warnings are kept, once each, for the summary: a painter misused or a layout that
// recurses shows here first. The synthetic events' own notices are no news.
QMap<QString, int> Warnings;
TSoakDriver* Driver = nullptr;

void KeepWarning(QtMsgType Type, const QMessageLogContext&, const QString& Text) {
    if (Text.startsWith(QStringLiteral("Keyboard event not accepted")) ||
        Text.startsWith(QStringLiteral("Mouse event \"")))
        return;
    if (Type == QtFatalMsg) {
        std::fprintf(stderr, "soak: Qt fatal: %s\n", qPrintable(Text));
        std::abort();
    }
    if (!Warnings.contains(Text) && Warnings.size() < 200)
        std::fprintf(stderr, "soak: Qt says: %s\n", qPrintable(Text));
    ++Warnings[Text];
    if (Driver)
        Driver->Note(Text);
}

void SetEnvironment(const char* Name, const QString& Value) {
    qputenv(Name, QFile::encodeName(Value));
}

// Home, settings, caches, the temporary folder and the printing system of the run are the
// sandbox's, before anything reads them: settings and print records land there, and no real
// printer is ever offered.
QString PrepareSandbox(const QString& Root) {
    const QString home = Root + QStringLiteral("/home");
    for (const char* sub :
         {"/home/.config", "/home/.cache", "/home/.local/share", "/tmp", "/runtime", "/files/sub"})
        QDir().mkpath(Root + QString::fromLatin1(sub));
    QFile::setPermissions(Root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    SetEnvironment("HOME", home);
    SetEnvironment("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    SetEnvironment("XDG_CACHE_HOME", home + QStringLiteral("/.cache"));
    SetEnvironment("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    SetEnvironment("XDG_RUNTIME_DIR", Root + QStringLiteral("/runtime"));
    SetEnvironment("TMPDIR", Root + QStringLiteral("/tmp"));
    SetEnvironment("CUPS_SERVER", Root + QStringLiteral("/no-cups-here"));
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
    const QString files = Root + QStringLiteral("/files");
    if (::chdir(QFile::encodeName(files).constData()) != 0)
        std::fprintf(stderr, "soak: cannot enter %s\n", qPrintable(files));
    return files;
}

void WriteBytes(const QString& Path, const QByteArray& Bytes) {
    QFile f(Path);
    if (f.open(QIODevice::WriteOnly))
        f.write(Bytes);
}

// Projects for the open dialog: the sample, a larger site of the seed's making, damaged ones.
void WriteProjects(const QString& Folder, TSoakRandom& Random) {
    QFile sample(QStringLiteral(DORYOU_SOURCE_DIR "/examples/sample-site.msh"));
    QByteArray bytes;
    if (sample.open(QIODevice::ReadOnly))
        bytes = sample.readAll();
    WriteBytes(Folder + QStringLiteral("/sample-site.msh"), bytes);
    WriteBytes(Folder + QStringLiteral("/みどり台 サンプル.msh"), bytes);
    WriteBytes(Folder + QStringLiteral("/sub/sample-copy.msh"), bytes);
    WriteBytes(Folder + QStringLiteral("/truncated.msh"), bytes.left(bytes.size() / 2));
    WriteBytes(Folder + QStringLiteral("/empty.msh"), QByteArray());
    QByteArray noise;
    for (int k = 0; k < 3000; ++k)
        noise += char(Random.Below(256));
    WriteBytes(Folder + QStringLiteral("/noise.msh"), noise);
    QByteArray flipped = bytes;
    for (int k = 0; k < 12 && !flipped.isEmpty(); ++k) {
        const int at = Random.Below(int(flipped.size()));
        flipped[at] = char(Random.Below(256));
    }
    WriteBytes(Folder + QStringLiteral("/flipped.msh"), flipped);

    TInputData d;
    d.SetTitle("乱数の造成地");
    const int layers = Random.Between(1, 5);
    d.SetLayer(layers);
    d.SetMeshSpan(Random.Between(5, 40));
    d.SetCalcType(Random.Below(2));
    d.SetHyoudo(Random.Chance(50));
    d.SetPhase(0, true);
    const int nx = Random.Between(8, 24), ny = Random.Between(8, 24);
    for (int y = 0; y < ny; ++y)
        for (int x = 0; x < nx; ++x) {
            if (Random.Chance(5))
                continue; // a few holes
            TGridData g;
            g.X = x;
            g.Y = y;
            g.GH = 40 + Random.Below(2000) / 100.0;
            g.FH = 45 + Random.Below(1000) / 100.0;
            for (int l = 0; l < layers; ++l)
                g.LAYER[l] = Random.Below(300) / 100.0;
            d.SetMeshData(g);
        }
    d.Calcrate();
    d.FileSave(QFile::encodeName(Folder + QStringLiteral("/乱数の造成地.msh")).toStdString());

    // A site at the edges: mesh numbers at both ends of the 32-bit range, heights and a span
    // whose volumes no integer holds, soil names a spreadsheet would take for formulas.
    TInputData e;
    e.SetTitle(std::string(40, 'W'));
    e.SetLayer(5);
    e.SetMeshSpan(1000);
    e.SetSolidName(1, "=1+2*3");
    e.SetSolidName(2, "-2+3,\"x\"");
    e.SetPhase(0, true);
    const int32_t ends[] = {INT32_MIN, INT32_MIN + 1, -1, 0, 1, INT32_MAX - 1, INT32_MAX};
    for (int32_t x : ends)
        for (int32_t y : ends) {
            TGridData g;
            g.X = x;
            g.Y = y;
            g.GH = Random.Chance(50) ? 1e300 : -1e300;
            g.FH = Random.Chance(50) ? 1e-300 : 4e9;
            for (double& l : g.LAYER)
                l = Random.Chance(50) ? 1e308 : 0.5;
            e.SetMeshData(g);
        }
    e.Calcrate();
    e.FileSave(QFile::encodeName(Folder + QStringLiteral("/edges.msh")).toStdString());
}

} // namespace

int main(int argc, char** argv) {
    const TArguments arguments = ReadArguments(argc, argv);
    if (!arguments.Ok)
        return 2;
    TSoakOptions options = arguments.Options;

    QTemporaryDir sandbox(QDir::tempPath() + QStringLiteral("/doryou-soak-XXXXXX"));
    if (!sandbox.isValid()) {
        std::fprintf(stderr, "soak: no sandbox folder\n");
        return 2;
    }
    sandbox.setAutoRemove(false); // kept unless the run ends cleanly
    if (!options.LogFile.isEmpty())
        options.LogFile = QDir::current().absoluteFilePath(options.LogFile);
    const QString files = PrepareSandbox(sandbox.path());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    std::fprintf(stderr, "soak: seed %llu, %s, sandbox %s\n",
                 static_cast<unsigned long long>(options.Seed),
                 options.Steps > 0 ? qPrintable(QStringLiteral("%1 steps").arg(options.Steps))
                                   : qPrintable(QStringLiteral("%1 min").arg(options.Minutes)),
                 qPrintable(sandbox.path()));

    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("doryou"));
    QApplication::setQuitOnLastWindowClosed(false);
    SetupApplication();
    qInstallMessageHandler(KeepWarning);
    {
        TSoakRandom fixtures(options.Seed ^ 0x5eed);
        WriteProjects(files, fixtures);
    }

    int result = 0;
    QString summary;
    {
        // As the program makes them (app/main.cpp).
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

        SoakGuard::Install(options.HangSeconds);
        TSoakDriver driver(options, &mainForm, files);
        Driver = &driver;
        mainForm.show();
        driver.Start();
        result = QApplication::exec();
        SoakGuard::Finish();
        summary = driver.Summary();
        Driver = nullptr;
        if (result == 0 && !driver.Unwound())
            result = 2;
        MainForm = nullptr;
    }

    std::fprintf(stderr, "soak: %s\n", qPrintable(summary));
    for (auto it = Warnings.begin(); it != Warnings.end(); ++it)
        std::fprintf(stderr, "soak: Qt warning x%d: %s\n", it.value(), qPrintable(it.key()));
    if (result != 0) {
        std::fprintf(stderr, "soak: FAILED with seed %llu; sandbox kept: %s\n",
                     static_cast<unsigned long long>(options.Seed), qPrintable(sandbox.path()));
        return result;
    }
    sandbox.setAutoRemove(!arguments.Keep);
    std::fprintf(stderr, "soak: passed\n");
    return 0;
}
