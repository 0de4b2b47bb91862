#include "schematic/SymbolChoice.h"

#include <utility>

namespace {
CSymbolChoice* g_choice = nullptr;
}

CSymbolChoice* CurrentSymbolChoice()
{
    return g_choice;
}

CSymbolChoice* SetCurrentSymbolChoice(CSymbolChoice* choice)
{
    return std::exchange(g_choice, choice);
}
