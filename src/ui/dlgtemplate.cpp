#include "ui/dlgtemplate.h"

#include "ui/detail/window.h"

#include <cassert>
#include <map>
#include <set>
#include <memory>

namespace ui {
namespace {

std::map<UINT, std::unique_ptr<DialogTemplate>>& registry()
{
    static auto* r = new std::map<UINT, std::unique_ptr<DialogTemplate>>;
    return *r;
}

std::map<UINT, BitmapResource>& bitmaps()
{
    static auto* r = new std::map<UINT, BitmapResource>;
    return *r;
}

} // namespace

bool registerBitmapResource(UINT id, BitmapResource bitmap)
{
    if (bitmap.width <= 0 || bitmap.height <= 0 ||
        bitmap.pixels.size() != static_cast<size_t>(bitmap.width) * static_cast<size_t>(bitmap.height))
        return false;
    bitmaps()[id] = std::move(bitmap);
    return true;
}

const BitmapResource* findBitmapResource(UINT id)
{
    auto it = bitmaps().find(id);
    return it == bitmaps().end() ? nullptr : &it->second;
}

std::string controlNameProblem(const DialogTemplate& tmpl)
{
    std::set<std::string> seen;
    const auto check = [&seen](const std::string& n, const std::string& what) -> std::string {
        if (n.empty())
            return {};
        bool wellFormed = n.front() >= 'a' && n.front() <= 'z' && n.back() != '-';
        for (size_t i = 0; i < n.size() && wellFormed; ++i) {
            const char ch = n[i];
            wellFormed = (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || (ch == '-' && n[i - 1] != '-');
        }
        if (!wellFormed)
            return what + " has the name \"" + n +
                   "\" (lowercase letters and digits in words joined by hyphens, starting with a letter)";
        if (!seen.insert(n).second)
            return "two controls are named \"" + n + "\"";
        return {};
    };
    for (const ControlTemplate& c : tmpl.controls)
        if (std::string problem = check(c.name, "control " + std::to_string(c.id)); !problem.empty())
            return problem;
    for (const auto& [id, name] : tmpl.commands) {
        if (name.empty())
            return "command " + std::to_string(id) + " has an empty name";
        if (std::string problem = check(name, "command " + std::to_string(id)); !problem.empty())
            return problem;
    }
    return {};
}

void registerDialogTemplate(DialogTemplate tmpl)
{
    for (ControlTemplate& c : tmpl.controls)
        if (c.name.empty() && (c.id == IDOK || c.id == IDCANCEL)) {
            const char* name = c.id == IDOK ? "ok" : "cancel";
            bool taken = false;
            for (const ControlTemplate& other : tmpl.controls)
                taken = taken || other.name == name;
            if (!taken)
                c.name = name;
        }
    assert(controlNameProblem(tmpl).empty());
    const UINT id = tmpl.id;
    registry()[id] = std::make_unique<DialogTemplate>(std::move(tmpl));
}

const DialogTemplate* findDialogTemplate(UINT id)
{
    auto it = registry().find(id);
    return it == registry().end() ? nullptr : it->second.get();
}

bool unregisterDialogTemplate(UINT id) { return registry().erase(id) > 0; }

CSize dialogBaseUnits(int pointSize) { return detail::baseUnits(pointSize); }

CRect dluToPixels(const CRect& dlu, int pointSize)
{
    const CSize b = detail::baseUnits(pointSize);
    return CRect(MulDiv(dlu.left, b.cx, 4), MulDiv(dlu.top, b.cy, 8), MulDiv(dlu.right, b.cx, 4),
                 MulDiv(dlu.bottom, b.cy, 8));
}

CSize dluToPixels(CSize dlu, int pointSize)
{
    const CSize b = detail::baseUnits(pointSize);
    return CSize(MulDiv(dlu.cx, b.cx, 4), MulDiv(dlu.cy, b.cy, 8));
}

} // namespace ui
