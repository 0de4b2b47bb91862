// The host's C interface types: status codes, result buffers, entity names
// and points, and the result-buffer list helpers (acutBuildList and kin).
#pragma once

#include "host/hoststring.h"

#include <cstdint>
#include <string>
#include <string_view>

using ACHAR = wchar_t;
using ads_real = double;
using ads_int32 = std::int32_t;
using ads_point = ads_real[3];
using ads_name = std::int64_t[2];
using ads_matrix = ads_real[4][4];

// Status codes of the input and database functions.
enum : int {
    RTNORM = 5100,
    RTNONE = 5000,
    RTERROR = -5001,
    RTCAN = -5002,
    RTREJ = -5003,
    RTFAIL = -5004,
    RTKWORD = -5005,
    RTINPUTTRUNCATED = -5008,
};

// Result buffer types (besides DXF group codes).
enum : int {
    RTREAL = 5001,
    RTPOINT = 5002,
    RTSHORT = 5003,
    RTANG = 5004,
    RTSTR = 5005,
    RTENAME = 5006,
    RTPICKS = 5007,
    RTORINT = 5008,
    RT3DPOINT = 5009,
    RTLONG = 5010,
    RTVOID = 5014,
    RTLB = 5016,
    RTLE = 5017,
    RTDOTE = 5018,
    RTNIL = 5019,
    RTDXF0 = 5020,
    RTT = 5021,
    RTRESBUF = 5023,
};

struct ads_binary {
    short clen;
    char* buf;
};

union ads_u_val {
    ads_real rreal;
    ads_real rpoint[3];
    short rint;
    ACHAR* rstring;
    std::int64_t rlname[2];
    ads_int32 rlong;
    ads_binary rbinary;
};

struct resbuf {
    resbuf* rbnext;
    short restype;
    ads_u_val resval;
};

// What a result-buffer type code holds, for both RT codes and DXF group
// codes (entity data, extended data and selection filters).
enum class RbKind { None, Real, Point, Short, Long, String, Ename, Binary };
RbKind acutRbKind(int restype);

// A new buffer of the given type with a zeroed value; strings are owned by
// the buffer and released by acutRelRb.
resbuf* acutNewRb(int restype);
// Releases a whole chain.
int acutRelRb(resbuf* rb);
// Builds a chain from (type, value) pairs ended by 0. Values by kind:
// strings const ACHAR*, reals double, shorts and longs int, points a pointer
// to three doubles, entity names a pointer to ads_name; RTLB, RTLE, RTDOTE,
// RTNIL and RTT take no value. Returns nullptr on an unknown type.
resbuf* acutBuildList(int rtype, ...);
// A fresh copy of a string for a result buffer (released by acutRelRb).
ACHAR* acutNewString(const ACHAR* s);

// Plane geometry of the C interface: the angle of the line from p1 to p2
// (radians, 0 to 2 pi, in the XY plane), the point at an angle and
// distance from a point (z kept), and the 3D distance.
ads_real acutAngle(const ads_point p1, const ads_point p2);
void acutPolar(const ads_point from, ads_real angle, ads_real distance, ads_point result);
ads_real acutDistance(const ads_point p1, const ads_point p2);

// UTF-8 <-> wide text, used at the host's edges. Invalid UTF-8 bytes become
// U+FFFD.
std::wstring utf8ToWide(std::string_view s);
std::string wideToUtf8(std::wstring_view s);
// Appends one code point as UTF-8 (U+FFFD for what is no character).
void utf8Append(std::string& out, std::uint32_t codePoint);
// Whether two names (layers, applications, blocks) are the same when the
// case of ASCII letters is ignored; other bytes compare as they are.
inline bool sameNameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    return true;
}
