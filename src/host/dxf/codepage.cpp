#include "host/dxf/codepage.h"

#include "host/adsdefs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <iconv.h>
#include <stdexcept>
#include <vector>

namespace dxf {

std::string iconvNameOf(std::string_view cp)
{
    std::string up;
    for (char c : cp)
        if (c != ' ' && c != '\t')
            up.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
    if (up.empty())
        return "CP1252";
    if (up == "ANSI_936" || up == "GBK" || up == "GB2312" || up == "CP936")
        return "GBK";
    if (up == "ANSI_932" || up == "DOS932")
        return "CP932";
    if (up == "ANSI_949")
        return "CP949";
    if (up == "ANSI_950" || up == "BIG5")
        return "BIG5";
    if (up == "ANSI_1361")
        return "JOHAB";
    if (up == "ANSI_874")
        return "CP874";
    if (up.rfind("ANSI_125", 0) == 0 && up.size() == 9 && up[8] >= '0' && up[8] <= '8')
        return "CP125" + up.substr(8);
    if (up == "UTF8" || up == "UTF-8")
        return "UTF-8";
    if (up == "DOS437")
        return "CP437";
    if (up == "DOS850")
        return "CP850";
    if (up == "DOS852")
        return "CP852";
    if (up == "DOS866")
        return "CP866";
    if (up == "ISO8859-1")
        return "ISO-8859-1";
    return {};
}

struct TextDecoder::Impl {
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
};

TextDecoder::TextDecoder(bool utf8, const std::string& codePage) : m_utf8(utf8), m_impl(std::make_unique<Impl>())
{
    if (!utf8 && codePage != "UTF-8") {
        m_impl->cd = iconv_open("UTF-8", codePage.c_str());
        if (m_impl->cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("code page " + codePage + " is not available");
    } else {
        m_utf8 = true;
    }
}

TextDecoder::~TextDecoder()
{
    if (m_impl->cd != reinterpret_cast<iconv_t>(-1))
        iconv_close(m_impl->cd);
}

bool isValidUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (len == 0 || (len == 2 && c < 0xC2) || i + len > s.size())
            return false;
        for (int k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += len;
    }
    return true;
}

static int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void decodeUnicodeEscapes(std::string& s)
{
    std::size_t pos = s.find("\\U+");
    if (pos == std::string::npos)
        pos = s.find("\\u+");
    if (pos == std::string::npos)
        return;
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '\\' && i + 7 <= s.size() && (s[i + 1] == 'U' || s[i + 1] == 'u') && s[i + 2] == '+') {
            std::uint32_t cp = 0;
            bool ok = true;
            for (int k = 0; k < 4; ++k) {
                const int d = hexDigit(s[i + 3 + k]);
                if (d < 0) {
                    ok = false;
                    break;
                }
                cp = cp * 16 + static_cast<std::uint32_t>(d);
            }
            if (ok && !(cp >= 0xD800 && cp <= 0xDFFF)) {
                utf8Append(out, cp);
                i += 7;
                continue;
            }
        }
        out.push_back(s[i]);
        ++i;
    }
    s.swap(out);
}

bool TextDecoder::decode(std::string_view raw, std::string& out) const
{
    if (m_utf8) {
        if (!isValidUtf8(raw))
            return false;
        out.assign(raw);
    } else {
        out.clear();
        bool ascii = true;
        for (char c : raw)
            if (static_cast<unsigned char>(c) >= 0x80) {
                ascii = false;
                break;
            }
        if (ascii) {
            out.assign(raw);
        } else {
            iconv(m_impl->cd, nullptr, nullptr, nullptr, nullptr);
            std::vector<char> buf(raw.size() * 4 + 8);
            char* in = const_cast<char*>(raw.data());
            std::size_t inLeft = raw.size();
            char* o = buf.data();
            std::size_t outLeft = buf.size();
            if (iconv(m_impl->cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1))
                return false;
            out.assign(buf.data(), buf.size() - outLeft);
        }
    }
    decodeUnicodeEscapes(out);
    return true;
}

std::string encodeToCodePage(std::string_view utf8, const std::string& iconvName)
{
    iconv_t cd = iconv_open(iconvName.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("code page " + iconvName + " is not available");
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const std::size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
        if (len == 1) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        char* in = const_cast<char*>(utf8.data() + i);
        std::size_t inLeft = std::min(len, utf8.size() - i);
        char buf[16];
        char* o = buf;
        std::size_t outLeft = sizeof buf;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1)) {
            std::wstring w;
            std::uint32_t cp = c & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
            for (std::size_t k = 1; k < len && i + k < utf8.size(); ++k)
                cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
            char esc[16];
            std::snprintf(esc, sizeof esc, "\\U+%04X", cp);
            out.append(esc);
        } else {
            out.append(buf, sizeof buf - outLeft);
        }
        i += len;
    }
    iconv_close(cd);
    return out;
}

} // namespace dxf
