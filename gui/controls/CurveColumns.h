#pragma once

#include "framework/Color.h"
#include "framework/Rect.h"
#include "gui/Canvas.h"

namespace trov {

// Drawing shared by the spectrum and the EQ curves: one vertical line per pixel column from the middle
// row to the column's own row, drawn into a snapshot of what lies under the control and laid back over it
// at an opacity, so that the lines show through. rowOf(column, middle, row) answers false for a column
// with nothing to draw. User-interface thread, inside a paint.
template <class RowOf>
void paintCurveColumns(Canvas& canvas, const Rect& local, float opacity, const Color& colour, int count,
                       RowOf rowOf) {
    if (local.isEmpty())
        return;
    Canvas memory(canvas, local);
    const int middle = (local.getHeight() - 1) / 2;
    memory.setPenColor(colour);
    for (int i = 0; i < count; ++i) {
        int row = middle;
        if (rowOf(i, middle, row) && row != middle) {
            memory.moveTo(Point(i, middle));
            memory.lineTo(Point(i, row));
        }
    }
    canvas.pushTransparency(opacity);
    canvas.copyFrom(memory, local, local);
    canvas.popTransparency();
}

// The row of a linear gain factor on a scale whose top edge stands for topDb decibels above the middle
// row (and the bottom edge for as many below): middle x (1 - dB / topDb), rounded to the nearest. False for
// a factor that is not a finite number above zero, or a scale without a finite positive top.
bool gainFactorRow(float factor, float topDb, int middle, int& row);

} // namespace trov
