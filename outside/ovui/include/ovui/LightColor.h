#pragma once
// Colour blend of the command-bar toolkit, used for the selection tints of the
// log list and the statistics tree.
#include <QColor>

// colour mixed into other at weight percent, per channel:
//   result = (colour * weight + other * (100 - weight)) / 100, rounded to nearest.
// Weight 16 gives a light tint of colour over other, 30 a stronger one; the
// weight is clamped to 0..100 and the result is opaque.
QColor LightColor(const QColor& colour, const QColor& other, int weight) noexcept;
