// TEXT: one line of text at a justification point.
#include "host/commands_internal.h"

namespace host::cmd {

namespace {

struct Justification {
    const wchar_t* keyword;
    AcDb::TextHorzMode h;
    AcDb::TextVertMode v;
    const wchar_t* prompt;
};

const Justification kJustifications[] = {
    {L"Left", AcDb::kTextLeft, AcDb::kTextBase, L"\n指定文字基线的左端点: "},
    {L"Center", AcDb::kTextCenter, AcDb::kTextBase, L"\n指定文字的中心点: "},
    {L"Right", AcDb::kTextRight, AcDb::kTextBase, L"\n指定文字基线的右端点: "},
    {L"Middle", AcDb::kTextMid, AcDb::kTextBase, L"\n指定文字的中间点: "},
    {L"TL", AcDb::kTextLeft, AcDb::kTextTop, L"\n指定文字的左上点: "},
    {L"TC", AcDb::kTextCenter, AcDb::kTextTop, L"\n指定文字的中上点: "},
    {L"TR", AcDb::kTextRight, AcDb::kTextTop, L"\n指定文字的右上点: "},
    {L"ML", AcDb::kTextLeft, AcDb::kTextVertMid, L"\n指定文字的左中点: "},
    {L"MC", AcDb::kTextCenter, AcDb::kTextVertMid, L"\n指定文字的中间点: "},
    {L"MR", AcDb::kTextRight, AcDb::kTextVertMid, L"\n指定文字的右中点: "},
    {L"BL", AcDb::kTextLeft, AcDb::kTextBottom, L"\n指定文字的左下点: "},
    {L"BC", AcDb::kTextCenter, AcDb::kTextBottom, L"\n指定文字的中下点: "},
    {L"BR", AcDb::kTextRight, AcDb::kTextBottom, L"\n指定文字的右下点: "},
};

} // namespace

int cmdText(Replies& r)
{
    const Justification* just = &kJustifications[0];
    AcGePoint3d at;
    std::wstring kw;
    r.point(L"\n指定文字的起点或 [对正(J)]: ", at, false, L"Justify", &kw);
    if (kw == L"Justify") {
        std::wstring list;
        for (const Justification& j : kJustifications)
            list += std::wstring(j.keyword) + L" ";
        const std::wstring choice = r.choice(
            L"\n输入选项 [左(L)/居中(C)/右(R)/中间(M)/左上(TL)/中上(TC)/右上(TR)/左中(ML)/正中(MC)/右中(MR)/左下(BL)/中下(BC)/右下(BR)]: ",
            list, false);
        for (const Justification& j : kJustifications)
            if (choice == j.keyword)
                just = &j;
        r.point(just->prompt, at);
    }
    double size = 2.5;
    const std::string h = workingDb()->headerString("$TEXTSIZE");
    if (!h.empty())
        size = std::atof(h.c_str());
    double height = 0;
    while ((height = r.real(L"\n指定高度 <" + formatReal(size) + L">: ", &size)) <= 0)
        r.reject(L"\n值必须为正且非零。\n");
    const double zero = 0.0;
    const double angle = r.real(L"\n指定文字的旋转角度 <0>: ", &zero);
    const std::wstring text = r.text(L"\n输入文字: ");
    if (text.empty())
        return RTNORM;
    auto* t = new AcDbText(at, text.c_str(), height, angle * kPi / 180.0);
    if (just->h != AcDb::kTextLeft || just->v != AcDb::kTextBase) {
        t->setHorizontalMode(just->h);
        t->setVerticalMode(just->v);
        t->setAlignmentPoint(at);
    }
    addToCurrentSpace(t);
    return RTNORM;
}

} // namespace host::cmd
