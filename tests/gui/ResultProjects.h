#pragma once
// Small calculated projects for the result windows' tests, one-point method, mesh span 10 m,
// so every point stands for 100 m².

#include "model/DataUnit.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QString>

#include <string>

#include "ModalDriver.h"

namespace results_test {

inline void AddPoint(TInputData& d, int X, int Y, double GH, double FH, double Layer1 = 0.0) {
    TGridData g;
    g.X = X;
    g.Y = Y;
    g.GH = GH;
    g.FH = FH;
    g.LAYER[1] = Layer1;
    d.SetMeshData(g);
}

// Two layers at rates 0.900 and 1.100: plain cut 1,000 and 500 (corrected 900 and 550), fill
// 1,200.
inline void TwoLayerProject(TInputData& d) {
    d.SetLayer(2);
    d.SetMeshSpan(10);
    d.SetSolidValue(1, 0, 0.9);
    d.SetSolidValue(2, 0, 1.1);
    AddPoint(d, 0, 0, 0, 12);
    AddPoint(d, 1, 0, 15, 0, 10);
    d.Calcrate();
}

inline QByteArray ReadFile(const QString& Path) {
    QFile f(Path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Answers the next file dialog with Path, or cancels it when Path is empty.
inline void AnswerFileDialog(const QString& FilePath) {
    WhenModal(
        [FilePath](QWidget* w) {
            auto* fd = static_cast<QFileDialog*>(w);
            if (FilePath.isEmpty()) {
                fd->reject();
                return;
            }
            fd->selectFile(FilePath);
            static_cast<QDialog*>(fd)->accept(); // QFileDialog::accept is protected
        },
        [](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; });
}

} // namespace results_test
