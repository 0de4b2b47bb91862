// The symbol the user has chosen: its block name, library folder,
// description and code. The schematic palette provides them; the drawing
// routines ask through this interface only.
#pragma once

#include <string>

class CSymbolChoice {
public:
    virtual ~CSymbolChoice() = default;
    // The block and drawing name of the chosen symbol, "NULL" for none.
    virtual std::wstring GetSelectedSymbol() const = 0;
    // The folder of the chosen symbol's library (backslashes).
    virtual std::wstring GetLibraryFolder() const = 0;
    virtual std::wstring GetSymbolDescription() const = 0;
    virtual std::wstring GetSymbolCode() const = 0;
};

// The choice in force (nullptr: none has been made available).
CSymbolChoice* CurrentSymbolChoice();
// Makes a choice current (nullptr removes it); returns the one before.
CSymbolChoice* SetCurrentSymbolChoice(CSymbolChoice* choice);
