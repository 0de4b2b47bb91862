#include "grid/PrinPicGrid.h"

#include <cassert>
#include <cstddef>
#include <stdexcept>
#include <string>

void CPrinPicGrid::checkPositionsMatch() const
{
    if (stringPositions.size() != strings.size())
        throw std::logic_error("grid holds " + std::to_string(strings.size()) + " strings but "
                               + std::to_string(stringPositions.size()) + " string positions");
}

void CPrinPicGrid::shiftString(std::size_t s, bool forward)
{
    const double sign = forward ? 1.0 : -1.0;
    if (IsColumnArrangement()) {
        // Columns follow each other to the right.
        const double dx = sign * GetScaledPitchX();
        strings[s].MoveBy(dx, 0.0);
        stringPositions[s] += dx;
    } else {
        // Rows follow each other downwards.
        const double dy = -sign * GetScaledPitchY();
        strings[s].MoveBy(0.0, dy);
        stringPositions[s] += dy;
    }
}

std::int32_t CPrinPicGrid::InsertString(std::int32_t i)
{
    if (i < 0)
        return -1;
    checkPositionsMatch();
    const std::size_t count = strings.size();
    const std::size_t at = static_cast<std::size_t>(i) < count ? static_cast<std::size_t>(i) : count;
    const double pitch = GetStringPitch();
    const double forward = IsColumnArrangement() ? pitch : -pitch;

    double q;
    if (at < count)
        q = stringPositions[at];
    else if (!stringPositions.empty())
        q = stringPositions.back() + forward;
    else
        q = (IsColumnArrangement() ? basePoint.x : basePoint.y) + forward;

    CPrinPicString fresh;
    fresh.SetGrid(this);
    LayOutString(fresh, q);

    stringPositions.insert(stringPositions.begin() + static_cast<std::ptrdiff_t>(at), q);
    strings.insert(strings.begin() + static_cast<std::ptrdiff_t>(at), std::move(fresh));
    for (std::size_t s = at + 1; s < strings.size(); ++s)
        shiftString(s, true);

    if (IsColumnArrangement())
        maxX += GetScaledPitchX();
    else
        minY -= GetScaledPitchY();
    assert(CheckInvariants());
    return 1;
}

std::int32_t CPrinPicGrid::DeleteString(std::int32_t i)
{
    if (i < 0 || static_cast<std::size_t>(i) >= strings.size())
        return -1;
    checkPositionsMatch();
    const std::size_t at = static_cast<std::size_t>(i);
    strings.erase(strings.begin() + static_cast<std::ptrdiff_t>(at));
    stringPositions.erase(stringPositions.begin() + static_cast<std::ptrdiff_t>(at));
    for (std::size_t s = at; s < strings.size(); ++s)
        shiftString(s, false);

    if (IsColumnArrangement())
        maxX -= GetScaledPitchX();
    else
        minY += GetScaledPitchY();
    assert(CheckInvariants());
    return 1;
}
