#pragma once
// The input listing shown in the shared preview, for the mesh editor's "印刷" and the
// navigation window's "データ印刷".

class QWidget;
class TInputData;

// Composes the listing in the shared preview and shows it; a failure ("表示するページが
// ありません。") shows the standard error box over Parent.
void InputPrintOut(QWidget* Parent, const TInputData& Data);
