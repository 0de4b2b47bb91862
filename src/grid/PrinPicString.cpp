#include "grid/PrinPicString.h"

#include <stdexcept>
#include <string>

CPrinPicString::CPrinPicString(const CPrinPicString& other)
    : cells(other.cells),
      endSymbolId(other.endSymbolId),
      extents(other.extents),
      grid(other.grid)
{
    PrinPicAssignIds(endWireIds, other.endWireIds);
}

CPrinPicString& CPrinPicString::operator=(const CPrinPicString& other)
{
    if (this == &other)
        return *this;
    cells.resize(other.cells.size());
    for (std::size_t c = 0; c < cells.size(); ++c)
        cells[c] = other.cells[c];
    PrinPicAssignIds(endWireIds, other.endWireIds);
    endSymbolId = other.endSymbolId;
    extents = other.extents;
    grid = other.grid;
    return *this;
}

const CPrinPicCell& CPrinPicString::GetCell(int c) const
{
    if (c < 0 || c >= GetCellCount())
        throw std::invalid_argument("cell index " + std::to_string(c) + " beyond the string's "
                                    + std::to_string(cells.size()) + " cells");
    return cells[static_cast<std::size_t>(c)];
}

CPrinPicCell& CPrinPicString::GetCell(int c)
{
    return const_cast<CPrinPicCell&>(static_cast<const CPrinPicString&>(*this).GetCell(c));
}

void CPrinPicString::SetCellCount(int n)
{
    cells.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
}

void CPrinPicString::MoveBy(double dx, double dy)
{
    PrinPicMoveExtents(extents, dx, dy);
    for (CPrinPicCell& cell : cells)
        cell.MoveBy(dx, dy);
}
