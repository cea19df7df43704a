#pragma once

#include <algorithm>
#include <cstddef>

namespace trov::imaging {

// The row schedule of a symmetric 5x5 mask applied as one horizontal pass per source row and one vertical
// sum per destination row. Every source row y (from -2 to height + 1) is filtered once into its A row
// (outer mask row), B row (second row) and C row (centre row); destination row y is then
// A(y-2) + B(y-1) + C(y) + B(y+1) + A(y+2). Twelve row buffers suffice: five A rows, four B rows and three
// C rows in rotating rings. Rows -2 and -1 also fill B and C buffers that are overwritten unread.
// Every source row is filtered before the destination row over it is written, so equal source and
// destination images give the same result as separate ones.
//
// rows: the twelve buffers; rowPass(y, a, b, c) filters source row y; columnPass(y, a0, b1, c2, b3, a4)
// writes destination row y.
template <class Row, class RowPass, class ColumnPass>
void runFiveRowRings(Row* const (&rows)[12], std::ptrdiff_t height, RowPass&& rowPass,
                     ColumnPass&& columnPass) {
    Row* a[5] = {rows[0], rows[1], rows[2], rows[3], rows[4]};
    Row* b[4] = {rows[5], rows[6], rows[7], rows[8]};
    Row* c[3] = {rows[9], rows[10], rows[11]};
    rowPass(std::ptrdiff_t{-2}, a[0], b[0], c[0]);
    rowPass(std::ptrdiff_t{-1}, a[1], b[0], c[0]);
    rowPass(std::ptrdiff_t{0}, a[2], b[1], c[0]);
    rowPass(std::ptrdiff_t{1}, a[3], b[2], c[1]);
    for (std::ptrdiff_t y = 0; y < height; ++y) {
        rowPass(y + 2, a[4], b[3], c[2]);
        columnPass(y, a[0], b[0], c[0], b[2], a[4]);
        std::rotate(a, a + 1, a + 5);
        std::rotate(b, b + 1, b + 4);
        std::rotate(c, c + 1, c + 3);
    }
}

} // namespace trov::imaging
