// Text encodings of DXF files: the code page of files before R2007
// ($DWGCODEPAGE), UTF-8 from R2007 on, and the \U+XXXX escapes of both.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace dxf {

// The iconv name of a DXF code page ("ANSI_936" -> "GBK"), or empty when
// the name is unknown.
std::string iconvNameOf(std::string_view dwgCodePage);

// Turns file text into UTF-8.
class TextDecoder {
public:
    // utf8: the file is R2007 or later. Otherwise codePage is the iconv name
    // of the file's code page. Throws std::runtime_error when iconv lacks it.
    TextDecoder(bool utf8, const std::string& codePage);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    // Quick test: values of plain ASCII without escapes need no work.
    static bool isPlain(std::string_view raw)
    {
        for (char c : raw)
            if (static_cast<unsigned char>(c) >= 0x80 || c == '\\')
                return false;
        return true;
    }
    // Decodes one value; false when its bytes are not valid in the file's
    // encoding.
    bool decode(std::string_view raw, std::string& out) const;

private:
    bool m_utf8;
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Replaces \U+XXXX (any case of hex digits) with the character in UTF-8.
void decodeUnicodeEscapes(std::string& s);
// True when s is valid UTF-8.
bool isValidUtf8(std::string_view s);
// Encodes UTF-8 text into a code page for export; characters outside it
// become \U+XXXX. Used by writers of pre-R2007 files and by tests.
std::string encodeToCodePage(std::string_view utf8, const std::string& iconvName);

} // namespace dxf
