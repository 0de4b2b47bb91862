// The function box: frame geometry, the stored sizes and the interactive
// command with its rubber-band preview.
#include "tools/FunctionBox.h"

#include "components/NorvexGloFunc.h"
#include "components/TalvoDbObject.h"
#include "host/aced.h"
#include "host/dbmain.h"

#include <cmath>
#include <cwchar>
#include <string>

namespace {

// More rows than this are not drawn: a vanishing row spacing would
// otherwise make the frame endless.
constexpr double kMaxRows = 100000.0;

// The largest size taken: more makes no frame on a drawing, and the
// prompts show the sizes as whole numbers.
constexpr double kMaxSize = 1e9;

// Keyword letters kept at most; further letters are not taken. Two are
// enough to tell one keyword from too many.
constexpr std::size_t kKeywordBufferSize = 8;

const ACHAR* const kRowSpacingKey = L"Gddata\\Gnkhz\\Hj";
const ACHAR* const kTotalWidthKey = L"Gddata\\Gnkhz\\Zkd";
const ACHAR* const kDivisionWidthKey = L"Gddata\\Gnkhz\\Fgkd";

const ACHAR* const kSecondCornerPrompt = L"\n行距H/总宽度Z/分格宽度V/请点取功能框第二角点<回车结束>:";

// The three sizes as stored (before the print scale).
struct BoxSizes {
    double rowSpacing = 15.0;
    double totalWidth = 45.0;
    double divisionWidth = 10.0;
};

// A size the frame can have: positive, at most kMaxSize.
bool isSize(double value)
{
    return value > 0.0 && value <= kMaxSize;
}

double readSize(const ACHAR* key, const ACHAR* defaultText, double defaultValue)
{
    ACHAR text[256];
    GetQrzfile(key, defaultText, text, 256);
    ads_real value = 0.0;
    if (acdbDisToF(text, 2, &value) != RTNORM || !isSize(value))
        return defaultValue; // unreadable text or no size: the default
    return value;
}

BoxSizes readSizes()
{
    BoxSizes s;
    s.rowSpacing = readSize(kRowSpacingKey, L"15", 15.0);
    s.totalWidth = readSize(kTotalWidthKey, L"45", 45.0);
    s.divisionWidth = readSize(kDivisionWidthKey, L"10", 10.0);
    return s;
}

void writeSize(const ACHAR* key, double value)
{
    ACHAR text[256];
    if (acdbRToS(value, 2, -1, text, 256) == RTNORM)
        WriteQrzfile(key, text);
}

void writeSizes(const BoxSizes& s)
{
    writeSize(kRowSpacingKey, s.rowSpacing);
    writeSize(kTotalWidthKey, s.totalWidth);
    writeSize(kDivisionWidthKey, s.divisionWidth);
}

void toAds(const AcGePoint3d& p, ads_point out)
{
    out[0] = p.x;
    out[1] = p.y;
    out[2] = p.z;
}

AcGePoint3d fromAds(const ads_point p)
{
    return AcGePoint3d(p[0], p[1], p[2]);
}

// Draws the frame's lines as temporary graphics in the complementing
// colour: drawing the same frame again removes it.
void drawPreview(const AcGePoint3d& a, const AcGePoint3d& b, double h, double w, double f)
{
    for (const FunctionBoxLine& line : FunctionBoxLines(a, b, h, w, f)) {
        ads_point from, to;
        toAds(line.first, from);
        toAds(line.second, to);
        acedGrDraw(from, to, -1, 0);
    }
}

// The command's state while the second corner is asked for.
class FunctionBoxInput {
public:
    FunctionBoxInput(const AcGePoint3d& corner, double scale)
        : m_corner(corner), m_last(corner), m_scale(scale), m_sizes(readSizes())
    {
    }

    // Runs the input loop until the frame is drawn or the user gives up.
    void run(double threshold)
    {
        showPrompt();
        m_keywords.clear();
        for (;;) {
            int type = 0;
            resbuf input{};
            if (acedGrRead(15, &type, &input) != RTNORM)
                return;
            switch (type) {
            case 5:
                moved(fromAds(input.resval.rpoint), threshold);
                break;
            case 3:
                m_last = fromAds(input.resval.rpoint);
                drawFrame();
                return;
            case 2:
                if (!key(input.resval.rint))
                    return;
                break;
            case 11:
                if (!enter())
                    return;
                break;
            case 25:
                if (input.resval.rint == 0 && !enter())
                    return;
                break;
            default:
                break; // menu picks and other events change nothing
            }
        }
    }

private:
    double h() const { return m_sizes.rowSpacing * m_scale; }
    double w() const { return m_sizes.totalWidth * m_scale; }
    double f() const { return m_sizes.divisionWidth * m_scale; }

    void showPrompt() const
    {
        acutPrintf(L"\n行距:%d\t总宽度:%d\t分格宽度:%d", static_cast<int>(m_sizes.rowSpacing),
                   static_cast<int>(m_sizes.totalWidth), static_cast<int>(m_sizes.divisionWidth));
        acutPrintf(L"%ls", kSecondCornerPrompt);
    }
    void echoKeywords() const
    {
        if (!m_keywords.empty())
            acutPrintf(L"%ls", m_keywords.c_str());
    }
    void preview(const AcGePoint3d& p) const { drawPreview(m_corner, p, h(), w(), f()); }

    void moved(const AcGePoint3d& p, double threshold)
    {
        ads_point from, to;
        toAds(p, from);
        toAds(m_last, to);
        if (acutDistance(from, to) < threshold)
            return;
        preview(m_last);
        preview(p);
        m_last = p;
    }

    void drawFrame() const
    {
        const std::vector<FunctionBoxLine> lines = FunctionBoxLines(m_corner, m_last, h(), w(), f());
        if (lines.empty()) {
            acutPrintf(L"\n两点间距离不足行距!");
            return;
        }
        for (const FunctionBoxLine& line : lines)
            AddToCurrentSpace(new AcDbLine(line.first, line.second));
    }

    // A key; false when it ends the command.
    bool key(int code)
    {
        switch (code) {
        case 'H':
        case 'h':
        case 'Z':
        case 'z':
        case 'V':
        case 'v':
            if (m_keywords.size() < kKeywordBufferSize) {
                m_keywords.push_back(static_cast<ACHAR>(code));
                acutPrintf(L"%lc", static_cast<wint_t>(code));
            }
            return true;
        case 8:
            if (!m_keywords.empty())
                m_keywords.pop_back();
            showPrompt();
            echoKeywords();
            return true;
        case 13:
            return enter();
        default:
            acutPrintf(L"\n输入不是关键字!");
            showPrompt();
            echoKeywords();
            return true;
        }
    }

    // Enter or its equivalents; false when it ends the command.
    bool enter()
    {
        if (m_keywords.empty())
            return false;
        if (m_keywords.size() > 1) {
            acutPrintf(L"\n输入关键字长度超过1!");
            showPrompt();
            m_keywords.clear();
            return true;
        }
        const ACHAR letter = m_keywords[0];
        m_keywords.clear();
        keyword(letter);
        showPrompt();
        return true;
    }

    void keyword(ACHAR letter)
    {
        double* size = nullptr;
        switch (letter) {
        case L'H':
        case L'h':
            size = &m_sizes.rowSpacing;
            acutPrintf(L"\n请输入行距<%d>:", static_cast<int>(*size));
            break;
        case L'Z':
        case L'z':
            size = &m_sizes.totalWidth;
            acutPrintf(L"\n请输入总宽度<%d>:", static_cast<int>(*size));
            break;
        default:
            size = &m_sizes.divisionWidth;
            acutPrintf(L"\n请输入分格宽度<%d>:", static_cast<int>(*size));
            break;
        }
        ads_real value = 0.0;
        acedInitGet(6, nullptr); // the host refuses zero and negative sizes
        if (acedGetReal(nullptr, &value) != RTNORM)
            return; // the size stays as it was
        if (!isSize(value) || !std::isfinite(value * m_scale)) {
            acutPrintf(L"\n数值超出范围!");
            return;
        }
        preview(m_last);
        *size = value;
        writeSizes(m_sizes);
        preview(m_last);
    }

    AcGePoint3d m_corner, m_last;
    double m_scale;
    BoxSizes m_sizes;
    std::wstring m_keywords;
};

double moveThreshold()
{
    resbuf size{}, screen{};
    double viewSize = 0.0, screenHeight = 0.0;
    if (acedGetVar(L"VIEWSIZE", &size) == RTNORM)
        viewSize = size.resval.rreal;
    if (acedGetVar(L"SCREENSIZE", &screen) == RTNORM)
        screenHeight = screen.resval.rpoint[1];
    return screenHeight > 0.0 ? 5.0 * viewSize / screenHeight : 0.0;
}

} // namespace

std::vector<FunctionBoxLine> FunctionBoxLines(const AcGePoint3d& a, const AcGePoint3d& b, double h, double w,
                                              double f)
{
    std::vector<FunctionBoxLine> lines;
    const double dx = a.x - b.x, dy = a.y - b.y;
    const bool vertical = std::fabs(dy) >= std::fabs(dx);
    const double m = vertical ? dy : dx;
    const double across = vertical ? dx : dy;
    if (!std::isfinite(h) || !std::isfinite(w) || !std::isfinite(f) || !(h > 0.0) || h > std::fabs(m))
        return lines;
    const double rows = std::trunc(std::fabs(m / h));
    if (rows > kMaxRows)
        return lines;
    const int n = static_cast<int>(rows);
    // Towards b along the main direction; towards b's side across, the
    // negative side when b is level with a.
    const double mainSign = m > 0.0 ? -1.0 : 1.0;
    const double acrossSign = across < 0.0 ? 1.0 : -1.0;
    // The point at the given offsets from a along the main and the across
    // direction.
    auto at = [&](double along, double side) {
        const double mainOffset = mainSign * along, acrossOffset = acrossSign * side;
        return vertical ? AcGePoint3d(a.x + acrossOffset, a.y + mainOffset, a.z)
                        : AcGePoint3d(a.x + mainOffset, a.y + acrossOffset, a.z);
    };
    const double length = n * h;
    lines.reserve(static_cast<std::size_t>(n) + 4);
    for (int k = 0; k <= n; ++k)
        lines.emplace_back(at(k * h, 0.0), at(k * h, w));
    lines.emplace_back(at(length, 0.0), at(0.0, 0.0));
    lines.emplace_back(at(0.0, w), at(length, w));
    lines.emplace_back(at(0.0, w - f), at(length, w - f));
    return lines;
}

int gnkhz()
{
    const double threshold = moveThreshold();
    const double scale = KxDbGetPrintScale(acdbHostApplicationServices()->workingDatabase());
    ads_point first;
    if (acedGetPoint(nullptr, L"\n请点取功能框第一角点<回车结束>:", first) != RTNORM) {
        acedRetNil();
        return 1;
    }
    FunctionBoxInput input(fromAds(first), scale);
    input.run(threshold);
    acedCommand({L"REDRAW"});
    acedRetNil();
    return 1;
}
