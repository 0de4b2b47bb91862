#include "host/adsdefs.h"

#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cwchar>

RbKind acutRbKind(int t)
{
    switch (t) {
    case RTREAL:
    case RTANG:
        return RbKind::Real;
    case RTPOINT:
    case RT3DPOINT:
        return RbKind::Point;
    case RTSHORT:
        return RbKind::Short;
    case RTLONG:
        return RbKind::Long;
    case RTSTR:
        return RbKind::String;
    case RTENAME:
    case RTPICKS:
        return RbKind::Ename;
    case RTLB: case RTLE: case RTDOTE: case RTNIL: case RTT: case RTVOID: case RTNONE:
        return RbKind::None;
    case RTDXF0:
        return RbKind::String;
    default:
        break;
    }
    // DXF group codes.
    if (t == -1 || t == -2)
        return RbKind::Ename;
    if (t == -3 || t == -4)
        return t == -4 ? RbKind::String : RbKind::None;
    if (t >= 0 && t <= 9)
        return RbKind::String;
    if (t >= 10 && t <= 39)
        return t >= 38 ? RbKind::Real : RbKind::Point;
    if (t >= 40 && t <= 59)
        return RbKind::Real;
    if ((t >= 60 && t <= 79) || (t >= 170 && t <= 179) || (t >= 270 && t <= 299) || (t >= 370 && t <= 389)
        || (t >= 400 && t <= 409))
        return RbKind::Short;
    if ((t >= 90 && t <= 99) || (t >= 160 && t <= 169) || (t >= 420 && t <= 429) || (t >= 440 && t <= 459)
        || t == 1071)
        return RbKind::Long;
    if (t >= 100 && t <= 109)
        return RbKind::String;
    if (t >= 110 && t <= 119)
        return RbKind::Point;
    if (t >= 140 && t <= 149)
        return RbKind::Real;
    if (t >= 210 && t <= 239)
        return RbKind::Point;
    if (t >= 330 && t <= 369)
        return RbKind::Ename; // object references
    if (t >= 300 && t <= 329)
        return RbKind::String;
    if ((t >= 390 && t <= 399) || (t >= 410 && t <= 419) || (t >= 430 && t <= 439))
        return RbKind::String;
    if (t >= 460 && t <= 469)
        return RbKind::Real;
    if (t >= 470 && t <= 481)
        return RbKind::String;
    if (t == 999)
        return RbKind::String;
    if (t == 1004)
        return RbKind::Binary;
    if (t >= 1000 && t <= 1009)
        return RbKind::String;
    if (t >= 1010 && t <= 1013)
        return RbKind::Point;
    if (t >= 1040 && t <= 1042)
        return RbKind::Real;
    if (t == 1070)
        return RbKind::Short;
    return RbKind::None;
}

resbuf* acutNewRb(int restype)
{
    auto* rb = static_cast<resbuf*>(std::calloc(1, sizeof(resbuf)));
    rb->restype = static_cast<short>(restype);
    return rb;
}

int acutRelRb(resbuf* rb)
{
    while (rb) {
        resbuf* next = rb->rbnext;
        const RbKind k = acutRbKind(rb->restype);
        if (k == RbKind::String)
            std::free(rb->resval.rstring);
        else if (k == RbKind::Binary)
            std::free(rb->resval.rbinary.buf);
        std::free(rb);
        rb = next;
    }
    return RTNORM;
}

ACHAR* acutNewString(const ACHAR* s)
{
    if (!s)
        s = L"";
    const std::size_t n = std::wcslen(s) + 1;
    auto* out = static_cast<ACHAR*>(std::malloc(n * sizeof(ACHAR)));
    std::wmemcpy(out, s, n);
    return out;
}

resbuf* acutBuildList(int rtype, ...)
{
    va_list ap;
    va_start(ap, rtype);
    resbuf* head = nullptr;
    resbuf* tail = nullptr;
    for (int t = rtype; t != 0; t = va_arg(ap, int)) {
        resbuf* rb = acutNewRb(t);
        switch (t == RTDXF0 ? RbKind::String : acutRbKind(t)) {
        case RbKind::Real:
            rb->resval.rreal = va_arg(ap, double);
            break;
        case RbKind::Point: {
            const double* p = va_arg(ap, const double*);
            rb->resval.rpoint[0] = p[0];
            rb->resval.rpoint[1] = p[1];
            rb->resval.rpoint[2] = p[2];
            break;
        }
        case RbKind::Short:
            rb->resval.rint = static_cast<short>(va_arg(ap, int));
            break;
        case RbKind::Long:
            rb->resval.rlong = va_arg(ap, int);
            break;
        case RbKind::String:
            rb->resval.rstring = acutNewString(va_arg(ap, const ACHAR*));
            break;
        case RbKind::Ename: {
            const std::int64_t* n = va_arg(ap, const std::int64_t*);
            rb->resval.rlname[0] = n[0];
            rb->resval.rlname[1] = n[1];
            break;
        }
        case RbKind::Binary: {
            const ads_binary* b = va_arg(ap, const ads_binary*);
            rb->resval.rbinary.clen = b->clen;
            rb->resval.rbinary.buf = static_cast<char*>(std::malloc(b->clen > 0 ? b->clen : 1));
            if (b->clen > 0)
                std::memcpy(rb->resval.rbinary.buf, b->buf, b->clen);
            break;
        }
        case RbKind::None:
            if (t != RTLB && t != RTLE && t != RTDOTE && t != RTNIL && t != RTT && t != -3) {
                acutRelRb(rb);
                acutRelRb(head);
                va_end(ap);
                return nullptr;
            }
            break;
        }
        if (tail)
            tail->rbnext = rb;
        else
            head = rb;
        tail = rb;
    }
    va_end(ap);
    return head;
}

std::wstring utf8ToWide(std::string_view s)
{
    std::wstring out;
    out.reserve(s.size());
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        int len = 0;
        std::uint32_t cp = 0;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        }
        bool ok = len > 0 && i + len <= n;
        for (int k = 1; ok && k < len; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (cc & 0x3F);
        }
        if (ok && ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000)
                   || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
            ok = false;
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(cp));
        i += len;
    }
    return out;
}

void utf8Append(std::string& out, std::uint32_t cp)
{
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string wideToUtf8(std::wstring_view s)
{
    std::string out;
    out.reserve(s.size());
    for (wchar_t wc : s)
        utf8Append(out, static_cast<std::uint32_t>(wc));
    return out;
}

ads_real acutAngle(const ads_point p1, const ads_point p2)
{
    double a = std::atan2(p2[1] - p1[1], p2[0] - p1[0]);
    if (a < 0)
        a += 2 * 3.14159265358979323846;
    return a;
}

void acutPolar(const ads_point from, ads_real angle, ads_real distance, ads_point result)
{
    const double x = from[0] + distance * std::cos(angle);
    const double y = from[1] + distance * std::sin(angle);
    result[0] = x;
    result[1] = y;
    result[2] = from[2];
}

ads_real acutDistance(const ads_point p1, const ads_point p2)
{
    return std::sqrt((p2[0] - p1[0]) * (p2[0] - p1[0]) + (p2[1] - p1[1]) * (p2[1] - p1[1])
                     + (p2[2] - p1[2]) * (p2[2] - p1[2]));
}
