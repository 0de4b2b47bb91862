// The process code page: the multibyte encoding of the symbol libraries'
// list files and of the equipment-name file. It is the installation
// setting "VMQMain"/"CodePage" (an iconv name such as "GBK", "CP1252" or
// "UTF-8"), "GBK" when the setting is missing or names an encoding iconv
// does not know.
#pragma once

#include <string>
#include <string_view>

// The iconv name of the process code page.
std::string ProcessCodePage();
// Multibyte text in the process code page to UTF-16 (wchar_t). Bytes that
// are not valid in the code page become U+FFFD; false when any did.
bool MultiByteToWide(std::string_view text, std::wstring& out);
// UTF-16 text to the process code page; characters it cannot hold become
// '?'; false when any did.
bool WideToMultiByte(std::wstring_view text, std::string& out);
// The same with an explicit code page (an iconv name).
bool MultiByteToWide(std::string_view text, std::wstring& out, const std::string& codePage);
bool WideToMultiByte(std::wstring_view text, std::string& out, const std::string& codePage);
