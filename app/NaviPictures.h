#pragma once
// The pictures of the navigation window's buttons, drawn by the program: a rounded plate in
// the step's colour with its label, in the four states of an image button.

#include <QColor>
#include <QPixmap>
#include <QString>

#include <array>

class TImageButton;

namespace NaviPictures {

inline const QColor Project{28, 120, 52};  // open, base data, mesh data, calculate, save
inline const QColor View{32, 88, 176};     // the result views
inline const QColor Printing{150, 60, 40}; // the printed output

// Normal, pressed, pointer over it, disabled; 112 × 40 unless told otherwise.
std::array<QPixmap, 4> Make(const QString& Label, const QColor& Base, int Width = 112,
                            int Height = 40);

// Gives the button its four pictures.
void Apply(TImageButton* Button, const QString& Label, const QColor& Base);

} // namespace NaviPictures
