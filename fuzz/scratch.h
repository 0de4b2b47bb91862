// The folder the path-taking checks write their files into: one per
// process, made on first use and removed at exit.
#pragma once

#include <string>
#include <initializer_list>
#include <string_view>
#include <utility>

namespace fuzzcheck {

// The folder, with slashes, no slash at the end.
const std::string& scratchDir();
// Writes the bytes to scratchDir()/name (replacing the file); returns the
// path, or empty when the file cannot be written.
std::string writeScratch(const std::string& name, std::string_view bytes);
// The whole file; ok is false (and the text empty) when it cannot be read.
std::string readScratch(const std::string& path, bool& ok);

} // namespace fuzzcheck

namespace fuzzcheck {

// Points the module's settings (CTRLSCH_SETTINGS) at scratchDir()/name,
// holding the "VMQMain" values given as key, value pairs (UTF-8).
void useSettings(const std::string& name, std::initializer_list<std::pair<const char*, std::string>> values);

} // namespace fuzzcheck
