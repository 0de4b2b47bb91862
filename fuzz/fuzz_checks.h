// What each fuzz target does with one input, shared by the libFuzzer
// targets (fuzz_target.cpp, built with clang) and the test that replays the
// kept inputs (tests/fuzz, built with the project's compiler).
//
// A check feeds the bytes to one reader and verifies the rules every input
// must keep: it is read or refused with a message, what is read writes and
// reads back the same, lookups stay in bounds. It returns what rule broke,
// or an empty text. Crashes, leaks and undefined behaviour are the
// sanitizers' to find.
#pragma once

#include <string>
#include <string_view>

namespace fuzzcheck {

// The DXF reader on bytes (readDxfText): a refusal says why; what loads
// writes, reads back and writes the same text again.
std::string dxf(std::string_view bytes);
// The DXF open from a path (readDwgFile) on a file holding the bytes: the
// same verdict as from bytes; what loads saves (saveAs) to a file that
// opens again and saves the same.
std::string dxfFile(std::string_view bytes);

// Slide files and slide libraries on bytes: what parses and fits the screen
// survives a round trip; every slide of a library is looked up.
std::string slide(std::string_view bytes);
// A slide library read from a path by the module's readers (CSlbMan,
// CSlideLibraryData): the same slides as from bytes, drawn into bitmaps.
std::string slideFile(std::string_view bytes);

// The symbol libraries' list files on bytes, as a catalogue and as an
// index, in GBK and UTF-8: entries keep the format's rules.
std::string listFile(std::string_view bytes);
// The same read from a path (Load), and as a library's "dwglay.dat": the
// same entries as from bytes.
std::string listFileFromPath(std::string_view bytes);

// A line typed at the command line, evaluated as LISP in a session set up
// once (one drawing open, no application loaded); every prompt gets the
// end of input.
std::string lisp(std::string_view bytes);

// The module's JSON files read from a path: the installation settings
// (GetInformation), project data (".Qrz": CInterDpData, FindFromQrzfile)
// and the layer configuration (layers.json): a damaged file is refused
// with a message and never overwritten; what is read writes and reads back.
std::string settings(std::string_view bytes);

} // namespace fuzzcheck
