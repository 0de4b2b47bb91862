#include "components/NorvexCodePage.h"

#include "components/NorvexGloFunc.h"

#include <cerrno>
#include <iconv.h>
#include <vector>

namespace {

// Converts with iconv; invalid input bytes or characters the target cannot
// hold are replaced (each by `replacement` in the target encoding).
bool convert(std::string_view in, std::string& out, const char* to, const char* from, std::string_view replacement,
             std::size_t inUnit)
{
    out.clear();
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    bool clean = true;
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    std::vector<char> buf(4096);
    while (left > 0) {
        char* dst = buf.data();
        std::size_t room = buf.size();
        const std::size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf.data(), dst);
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (a cut sequence at the end): skip one unit.
            clean = false;
            out.append(replacement);
            const std::size_t skip = std::min(inUnit, left);
            src += skip;
            left -= skip;
        }
    }
    iconv_close(cd);
    return clean;
}

bool knownByIconv(const std::string& name)
{
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(cd);
    return true;
}

const char* wideName()
{
    return sizeof(wchar_t) == 4 ? "WCHAR_T" : "UTF-16LE";
}

} // namespace

std::string ProcessCodePage()
{
    ACHAR value[64] = {};
    GetInformation(L"VMQMain", L"CodePage", L"GBK", value, 64);
    std::string name = wideToUtf8(value);
    if (name.empty() || !knownByIconv(name))
        name = "GBK";
    return name;
}

bool MultiByteToWide(std::string_view text, std::wstring& out, const std::string& codePage)
{
    std::string bytes;
    const wchar_t fffd = 0xFFFD;
    const bool clean = convert(text, bytes, wideName(), codePage.c_str(),
                               std::string_view(reinterpret_cast<const char*>(&fffd), sizeof fffd), 1);
    out.assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    return clean && (bytes.size() % sizeof(wchar_t)) == 0;
}

bool WideToMultiByte(std::wstring_view text, std::string& out, const std::string& codePage)
{
    return convert(std::string_view(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)), out,
                   codePage.c_str(), wideName(), "?", sizeof(wchar_t));
}

bool MultiByteToWide(std::string_view text, std::wstring& out)
{
    return MultiByteToWide(text, out, ProcessCodePage());
}

bool WideToMultiByte(std::wstring_view text, std::string& out)
{
    return WideToMultiByte(text, out, ProcessCodePage());
}
