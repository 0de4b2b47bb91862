// The layer configuration: which drawing layer serves each layer category
// and kind ("SCHEMATIC"/"ELEMENT"), and layer keys (as in the symbol
// libraries' "dwglay.dat") resolved to layers.
//
// It is the installation's "layers.json" (in the installation folder,
// VMQMain/VmqSys), UTF-8 JSON:
//   {"layers": {"DQ_ELEMENT": {"name": "电气元件", "color": 7,
//                              "linetype": "Continuous"}, ...},
//    "kinds": {"SCHEMATIC": {"ELEMENT": "DQ_ELEMENT", ...}}}
// Without the file (or with a damaged one) the built-in configuration
// holds: SCHEMATIC ELEMENT, WIREFRAME and SCREEN.
#pragma once

#include "host/adsdefs.h"

#include <string>

// One layer of the configuration.
struct KxDtLayerDef {
    std::wstring key;
    std::wstring name;
    int color = 7;
    std::wstring linetype = L"Continuous";
};

class KxDtLayerCfg {
public:
    KxDtLayerCfg();
    // Completes def from its key; false when the key is unknown (def keeps
    // its key, the name is then empty).
    bool GetLayerDef(KxDtLayerDef& def, bool dictionary = false) const;
    // The key configured for a category and kind, or empty.
    std::wstring keyFor(const std::wstring& category, const std::wstring& kind) const;
};

// The layer description GetDQLayerName fills.
struct LayerInfo {
    std::wstring name;
    std::wstring text;
    int color = 7;
    std::wstring linetype;
    double lineweight = 0.0;
};

// Fills info for a category and kind; false when they are not configured.
bool GetDQLayerName(const ACHAR* category, const ACHAR* kind, LayerInfo& info);
// Makes the configured layer current in the working drawing, creating it
// with its colour and linetype when missing. False when not configured.
bool SetToCurrentLayer(const ACHAR* category, const ACHAR* kind, void* reserved1 = nullptr,
                       void* reserved2 = nullptr);
