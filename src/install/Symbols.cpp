#include "install/Symbols.h"

namespace ctrlsch::install {

namespace {

// Connection leads: from the upper point down to `top` and from `bottom`
// to the lower point.
Sketch leads(double top, double bottom)
{
    Sketch s;
    s.line(0, 0, 0, top).line(0, bottom, 0, -7.5);
    return s;
}

// A make contact: the blade from the lower fixed contact leans left,
// clear of the upper one.
Sketch makeContact()
{
    Sketch s = leads(-2.5, -5);
    s.line(0, -5, -2.2, -2.2);
    return s;
}

// A break contact: the blade crosses to the right and rests on a stop.
Sketch breakContact()
{
    Sketch s = leads(-2.5, -5);
    s.line(0, -5, 2.0, -2.2).line(0, -2.5, 2.2, -2.5);
    return s;
}

// An operating element: a box on the line.
Sketch coil(double halfWidth = 3)
{
    Sketch s = leads(-2.25, -5.25);
    s.rect(-halfWidth, -2.25, halfWidth, -5.25);
    return s;
}

// The actuator line of a manual control, from the blade's middle to the left.
Sketch& actuator(Sketch& s)
{
    for (double x = -1.1; x > -4.5; x -= 1.0)
        s.line(x, -3.6, x - 0.6, -3.6);
    return s;
}

SymbolDef def(const char* name, const wchar_t* description, const wchar_t* code, Sketch sketch)
{
    return SymbolDef{name, description, code, std::move(sketch)};
}

SymbolDef blank()
{
    return SymbolDef{"空", L"空", L"", Sketch{}};
}

// --- schematic symbols, by device family, in preview order ---------------

// Contacts of relays and contactors (a contactor's with a half circle on
// the fixed contact).
void relayContacts(std::vector<SymbolDef>& v)
{
    v.push_back(def("CT-NO", L"常开触点", L"KA", makeContact()));
    v.push_back(def("CT-NC", L"常闭触点", L"KA", breakContact()));
    {
        Sketch s = makeContact();
        s.arc(0, -2.5, 0.6, 0, 180);
        v.push_back(def("KM-NO", L"接触器常开触点", L"KM", s));
    }
    {
        Sketch s = breakContact();
        s.arc(0, -2.5, 0.6, 0, 180);
        v.push_back(def("KM-NC", L"接触器常闭触点", L"KM", s));
    }
}

// Coils of contactors, relays and time relays (the blank slot between them
// ends the first row of the preview's page).
void coils(std::vector<SymbolDef>& v)
{
    v.push_back(def("KM-COIL", L"接触器线圈", L"KM", coil()));
    {
        Sketch s = coil();
        s.line(-3, -3.75, 3, -3.75);
        v.push_back(def("KA-COIL", L"中间继电器线圈", L"KA", s));
    }
    v.push_back(blank());
    {
        Sketch s = coil(4);
        s.rect(-4, -2.25, -2.5, -5.25).line(-4, -2.25, -2.5, -5.25).line(-4, -5.25, -2.5, -2.25);
        v.push_back(def("KT-ON", L"通电延时线圈", L"KT", s));
    }
    {
        Sketch s = coil(4);
        s.fillRect(-4, -2.25, -2.5, -5.25);
        v.push_back(def("KT-OFF", L"断电延时线圈", L"KT", s));
    }
}

// Time-delay contacts: the blade carries a half circle, open side towards
// the direction of the delayed movement.
void delayContacts(std::vector<SymbolDef>& v)
{
    {
        Sketch s = makeContact();
        s.line(-1.1, -3.6, -3.2, -3.6).arc(-3.9, -3.6, 0.7, 90, 270);
        v.push_back(def("KT-ONNO", L"延时闭合常开触点", L"KT", s));
    }
    {
        Sketch s = breakContact();
        s.line(1.0, -3.6, 3.2, -3.6).arc(3.9, -3.6, 0.7, 270, 90);
        v.push_back(def("KT-ONNC", L"延时断开常闭触点", L"KT", s));
    }
    {
        Sketch s = makeContact();
        s.line(-1.1, -3.6, -3.2, -3.6).arc(-2.5, -3.6, 0.7, 270, 90);
        v.push_back(def("KT-OFFNO", L"延时断开常开触点", L"KT", s));
    }
    {
        Sketch s = breakContact();
        s.line(1.0, -3.6, 3.2, -3.6).arc(2.5, -3.6, 0.7, 90, 270);
        v.push_back(def("KT-OFFNC", L"延时闭合常闭触点", L"KT", s));
    }
}

// Push buttons, selector switches and limit switches.
void manualControls(std::vector<SymbolDef>& v)
{
    {
        Sketch s = makeContact();
        actuator(s).line(-4.8, -2.8, -4.8, -4.4).line(-4.8, -2.8, -4.2, -2.8).line(-4.8, -4.4, -4.2, -4.4);
        v.push_back(def("SB-NO", L"启动按钮", L"SB", s));
    }
    {
        Sketch s = breakContact();
        for (double x = 0.9; x > -3.5; x -= 1.0)
            s.line(x, -3.6, x - 0.6, -3.6);
        s.line(-3.8, -2.8, -3.8, -4.4).line(-3.8, -2.8, -3.2, -2.8).line(-3.8, -4.4, -3.2, -4.4);
        v.push_back(def("SB-NC", L"停止按钮", L"SB", s));
    }
    {
        Sketch s = breakContact();
        for (double x = 0.9; x > -3.5; x -= 1.0)
            s.line(x, -3.6, x - 0.6, -3.6);
        s.arc(-5.0, -3.6, 1.3, 270, 90);
        v.push_back(def("SB-ES", L"急停按钮", L"SB", s));
    }
    {
        Sketch s = makeContact();
        actuator(s).polyline({{-5.2, -2.8}, {-4.5, -2.8}, {-4.5, -4.4}, {-3.8, -4.4}});
        v.push_back(def("SA-2", L"两位转换开关", L"SA", s));
    }
    {
        Sketch s = makeContact();
        actuator(s).polyline({{-5.4, -2.6}, {-4.8, -2.6}, {-4.8, -4.6}, {-4.2, -4.6}}).line(-5.4, -3.6, -4.8, -3.6);
        v.push_back(def("SA-3", L"三位转换开关", L"SA", s));
    }
    {
        Sketch s = makeContact();
        s.polyline({{-1.1, -3.6}, {-2.0, -3.0}, {-2.0, -4.2}}, true);
        v.push_back(def("SQ-NO", L"限位开关常开触点", L"SQ", s));
    }
    {
        Sketch s = breakContact();
        s.polyline({{1.0, -3.6}, {2.2, -3.0}, {2.2, -4.2}}, true);
        v.push_back(def("SQ-NC", L"限位开关常闭触点", L"SQ", s));
    }
}

// Pilot lamps, plain and by colour.
void lamps(std::vector<SymbolDef>& v)
{
    auto lamp = [](const char* colour) {
        Sketch s = leads(-1.25, -6.25);
        s.circle(0, -3.75, 2.5);
        const double d = 2.5 / 1.41421356;
        s.line(-d, -3.75 - d, d, -3.75 + d).line(-d, -3.75 + d, d, -3.75 - d);
        // The colour letter on the actuator side, clear of a designation
        // written on the other side.
        if (*colour)
            s.letters(colour, -4.2, -2.0, 1.6);
        return s;
    };
    v.push_back(def("HL", L"指示灯", L"HL", lamp("")));
    v.push_back(def("HL-R", L"红色指示灯", L"HL", lamp("R")));
    v.push_back(def("HL-G", L"绿色指示灯", L"HL", lamp("G")));
}

// Fuses, breakers, isolators and the thermal overload relay.
void protection(std::vector<SymbolDef>& v)
{
    {
        Sketch s;
        s.line(0, 0, 0, -7.5).rect(-1.2, -1.5, 1.2, -6.0);
        v.push_back(def("FU", L"熔断器", L"FU", s));
    }
    {
        Sketch s = makeContact();
        s.line(-0.6, -1.9, 0.6, -3.1).line(-0.6, -3.1, 0.6, -1.9);
        v.push_back(def("QF", L"断路器", L"QF", s));
    }
    {
        Sketch s = makeContact();
        s.line(-0.8, -2.5, 0.8, -2.5);
        v.push_back(def("QS", L"隔离开关", L"QS", s));
    }
    {
        Sketch s = leads(-1.5, -6);
        s.rect(-2.5, -1.5, 2.5, -6).polyline({{0, -1.5}, {0, -2.6}, {-1.2, -2.6}, {-1.2, -4.9}, {0, -4.9}, {0, -6}});
        v.push_back(def("FR", L"热继电器热元件", L"FR", s));
    }
    {
        Sketch s = breakContact();
        s.line(1.0, -3.6, 2.2, -3.6).polyline({{2.2, -3.6}, {2.2, -3.0}, {3.2, -3.0}, {3.2, -4.2}, {4.2, -4.2}});
        v.push_back(def("FR-NC", L"热继电器常闭触点", L"FR", s));
    }
}

// A terminal, then the meters.
void terminalAndMeters(std::vector<SymbolDef>& v)
{
    {
        Sketch s = leads(-2.95, -4.55);
        s.circle(0, -3.75, 0.8);
        v.push_back(def("XT", L"端子", L"XT", s));
    }
    auto meter = [](const char* letter) {
        Sketch s = leads(-1.25, -6.25);
        s.circle(0, -3.75, 2.5).letters(letter, 0, -3.75, 2.0);
        return s;
    };
    v.push_back(def("PA", L"电流表", L"PA", meter("A")));
    v.push_back(def("PV", L"电压表", L"PV", meter("V")));
    {
        Sketch s = leads(-1.25, -6.25);
        s.rect(-2.5, -1.25, 2.5, -6.25).line(-2.5, -2.5, 2.5, -2.5).letters("WH", 0, -4.3, 1.4);
        v.push_back(def("PJ", L"电度表", L"PJ", s));
    }
}

// Resistor, capacitor and diode.
void passives(std::vector<SymbolDef>& v)
{
    {
        Sketch s = leads(-1.75, -5.75);
        s.rect(-1, -1.75, 1, -5.75);
        v.push_back(def("R", L"电阻器", L"R", s));
    }
    {
        Sketch s = leads(-3.25, -4.25);
        s.line(-2.5, -3.25, 2.5, -3.25).line(-2.5, -4.25, 2.5, -4.25);
        v.push_back(def("C", L"电容器", L"C", s));
    }
    {
        Sketch s = leads(-2.5, -5);
        s.fill(-1.8, -2.5, 1.8, -2.5, 0, -5).line(-1.8, -5, 1.8, -5);
        v.push_back(def("VD", L"二极管", L"VD", s));
    }
}

// Bell and buzzer.
void sounders(std::vector<SymbolDef>& v)
{
    {
        Sketch s;
        s.line(0, 0, 0, -2.5).line(0, -7.5, 0, -5).line(0, -2.5, -2, -2.5).line(0, -5, -2, -5);
        s.line(-2, -2.5, -2, -5).arc(-2, -3.75, 2.5, 90, 270).line(-2, -1.25, -2, -6.25);
        v.push_back(def("HA", L"电铃", L"HA", s));
    }
    {
        Sketch s;
        s.line(0, 0, 0, -2.5).line(0, -7.5, 0, -5).line(0, -2.5, -1.5, -2.5).line(0, -5, -1.5, -5);
        s.rect(-1.5, -2.0, -0.5, -5.5).arc(-1.5, -3.75, 2.0, 90, 270);
        v.push_back(def("HZ", L"蜂鸣器", L"HA", s));
    }
}

// Motor, control transformer and inductor.
void windings(std::vector<SymbolDef>& v)
{
    {
        Sketch s = leads(-0.75, -6.75);
        s.circle(0, -3.75, 3).letters("M", 0, -3.3, 1.8).letters("~", 0, -5.2, 0.8);
        v.push_back(def("M", L"电动机", L"M", s));
    }
    {
        Sketch s = leads(-1.0, -6.5);
        s.circle(0, -2.6, 1.6).circle(0, -4.9, 1.6);
        v.push_back(def("TC", L"控制变压器", L"TC", s));
    }
    {
        Sketch s = leads(-1.75, -5.75);
        for (double y = -1.75; y > -5.7; y -= 1.0)
            s.arc(0, y - 0.5, 0.5, 270, 90);
        v.push_back(def("L", L"电感器", L"L", s));
    }
}

// Coils of measuring and signal relays, and of an electromagnet.
void measuringCoils(std::vector<SymbolDef>& v)
{
    const auto lettered = [](const char* letter) {
        Sketch s = coil();
        s.letters(letter, 0, -3.75, 1.6);
        return s;
    };
    v.push_back(def("KV", L"电压继电器线圈", L"KV", lettered("V")));
    v.push_back(def("KI", L"电流继电器线圈", L"KI", lettered("I")));
    v.push_back(def("KS", L"信号继电器线圈", L"KS", lettered("S")));
    {
        Sketch s = coil();
        s.line(-3, -2.25, 3, -5.25);
        v.push_back(def("YA", L"电磁铁线圈", L"YA", s));
    }
}

// The junction box, earth, and the pressure and key switches.
void connectionsAndSwitches(std::vector<SymbolDef>& v)
{
    {
        // A box the wires stay out of.
        Sketch s = leads(-1, -6.5);
        s.shade(-4.5, -1, 4.5, -6.5).rect(-4.5, -1, 4.5, -6.5).letters("E22", 0, -3.75, 1.5);
        v.push_back(def("E22", L"接线盒", L"XT", s));
    }
    {
        // Connected at its upper point only.
        Sketch s;
        s.line(0, 0, 0, -5).line(-2.5, -5, 2.5, -5).line(-1.6, -6.25, 1.6, -6.25).line(-0.7, -7.5, 0.7, -7.5);
        v.push_back(def("R10", L"接地", L"PE", s));
    }
    {
        Sketch s = makeContact();
        s.line(-1.1, -3.6, -2.6, -3.6).letters("P", -3.5, -3.6, 1.2).circle(-3.5, -3.6, 1.0);
        v.push_back(def("SP", L"压力开关", L"SP", s));
    }
    {
        Sketch s = makeContact();
        s.line(-1.1, -3.6, -2.4, -3.6).polyline({{-2.4, -3.0}, {-3.6, -3.0}, {-3.6, -4.2}, {-2.4, -4.2}}, true);
        v.push_back(def("SK", L"钥匙开关", L"SA", s));
    }
}

// --- panel symbols, in preview order -------------------------------------

// Drawn in the unit square, placed in the symbol's square.
SymbolDef panelDef(const char* name, const wchar_t* description, const wchar_t* code, Sketch sketch)
{
    sketch.pen(kPanelPen / kPanelSymbolSide).scale(kPanelSymbolSide);
    return def(name, description, code, std::move(sketch));
}

// Framed twice, the inner frame clear of both labels.
SymbolDef namePlate()
{
    Sketch s;
    s.pen(kPanelPen)
        .rect(0, 0, kNamePlateWidth, kNamePlateHeight)
        .rect(kNamePlateInset, kNamePlateInset, kNamePlateWidth - kNamePlateInset, kNamePlateHeight - kNamePlateInset);
    return def("pmtfh1", L"铭牌", L"", s);
}

// Lamps, buttons and switches of the 22 mm range.
void pilotDevices(std::vector<SymbolDef>& v)
{
    {
        Sketch s;
        s.circle(0.5, 0.5, 0.45).line(0.18, 0.18, 0.82, 0.82).line(0.18, 0.82, 0.82, 0.18);
        v.push_back(panelDef("pmtfh2", L"指示灯", L"HL", s));
    }
    {
        Sketch s;
        s.rect(0.05, 0.05, 0.95, 0.95).circle(0.5, 0.5, 0.32);
        v.push_back(panelDef("pmtfh3", L"按钮", L"SB", s));
    }
    {
        Sketch s;
        s.circle(0.5, 0.5, 0.45).circle(0.5, 0.5, 0.28).fill(0.5, 0.5, 0.35, 0.5, 0.5, 0.65);
        v.push_back(panelDef("pmtfh4", L"急停按钮", L"SB", s));
    }
    {
        Sketch s;
        s.circle(0.5, 0.5, 0.45).rect(0.42, 0.15, 0.58, 0.85);
        v.push_back(panelDef("pmtfh5", L"转换开关", L"SA", s));
    }
    {
        Sketch s;
        s.circle(0.5, 0.5, 0.45).rect(0.4, 0.3, 0.6, 0.7).circle(0.5, 0.58, 0.06);
        v.push_back(panelDef("pmtfh6", L"钥匙开关", L"SA", s));
    }
}

// Ammeter, voltmeter and energy meter.
void panelMeters(std::vector<SymbolDef>& v)
{
    {
        Sketch s;
        s.rect(0, 0, 1, 1).arc(0.5, 0.25, 0.5, 40, 140).line(0.5, 0.25, 0.75, 0.62).letters("A", 0.5, 0.15, 0.14);
        v.push_back(panelDef("pmtfh7", L"电流表", L"PA", s));
    }
    {
        Sketch s;
        s.rect(0, 0, 1, 1).arc(0.5, 0.25, 0.5, 40, 140).line(0.5, 0.25, 0.3, 0.64).letters("V", 0.5, 0.15, 0.14);
        v.push_back(panelDef("pmtfh8", L"电压表", L"PV", s));
    }
    {
        Sketch s;
        s.rect(0, 0, 1, 1).rect(0.15, 0.45, 0.85, 0.8).letters("0000", 0.5, 0.62, 0.18).letters("WH", 0.5, 0.22, 0.14);
        v.push_back(panelDef("pmtfh9", L"电度表", L"PJ", s));
    }
}

// Breaker, fan, buzzer, terminal strip and socket.
void panelEquipment(std::vector<SymbolDef>& v)
{
    {
        Sketch s;
        s.rect(0.2, 0, 0.8, 1).rect(0.38, 0.35, 0.62, 0.75).line(0.38, 0.55, 0.62, 0.55);
        v.push_back(panelDef("pmtfh10", L"断路器", L"QF", s));
    }
    {
        Sketch s;
        s.circle(0.5, 0.5, 0.45);
        for (int i = 0; i < 3; ++i)
            s.arc(0.5, 0.5, 0.3, i * 120.0, i * 120.0 + 60.0);
        s.circle(0.5, 0.5, 0.08);
        v.push_back(panelDef("pmtfh11", L"风扇", L"M", s));
    }
    {
        Sketch s;
        s.circle(0.5, 0.5, 0.45).circle(0.5, 0.5, 0.15).line(0.5, 0.05, 0.5, 0.35).line(0.5, 0.65, 0.5, 0.95);
        v.push_back(panelDef("pmtfh12", L"蜂鸣器", L"HA", s));
    }
    {
        Sketch s;
        s.rect(0, 0.3, 1, 0.7);
        for (double x = 0.2; x < 0.95; x += 0.2)
            s.line(x, 0.3, x, 0.7);
        v.push_back(panelDef("pmtfh13", L"端子排", L"XT", s));
    }
    {
        Sketch s;
        s.rect(0.05, 0.05, 0.95, 0.95).rect(0.3, 0.55, 0.4, 0.75).rect(0.6, 0.55, 0.7, 0.75).circle(0.5, 0.3, 0.08);
        v.push_back(panelDef("pmtfh14", L"插座", L"XS", s));
    }
}

// Digital display, relay and door handle.
void displaysRelaysAndHandles(std::vector<SymbolDef>& v)
{
    {
        Sketch s;
        s.rect(0, 0, 1, 1).rect(0.08, 0.3, 0.92, 0.7).letters("88.8", 0.5, 0.5, 0.25);
        v.push_back(panelDef("pmtfh15", L"数字显示表", L"P", s));
    }
    {
        Sketch s;
        s.rect(0.05, 0.05, 0.95, 0.95).line(0.05, 0.05, 0.95, 0.95).line(0.05, 0.95, 0.95, 0.05);
        v.push_back(panelDef("pmtfh16", L"继电器", L"KA", s));
    }
    {
        Sketch s;
        s.rect(0.3, 0.05, 0.7, 0.95).circle(0.5, 0.75, 0.12).line(0.5, 0.2, 0.5, 0.55);
        v.push_back(panelDef("pmtfh17", L"门把手", L"", s));
    }
}

} // namespace

std::vector<SymbolDef> schematicSymbols()
{
    std::vector<SymbolDef> v;
    relayContacts(v);
    coils(v);
    delayContacts(v);
    manualControls(v);
    lamps(v);
    protection(v);
    terminalAndMeters(v);
    passives(v);
    sounders(v);
    windings(v);
    measuringCoils(v);
    connectionsAndSwitches(v);
    v.push_back(blank());
    for (SymbolDef& d : v)
        d.sketch.pen(kSchematicPen);
    return v;
}

std::vector<SymbolDef> panelSymbols()
{
    std::vector<SymbolDef> v{namePlate()};
    pilotDevices(v);
    panelMeters(v);
    panelEquipment(v);
    displaysRelaysAndHandles(v);
    return v;
}

std::vector<SymbolDef> busBarTypes()
{
    auto bus = [](Sketch& s, double y) { s.fillRect(2, y - 0.8, 58, y + 0.8); };
    auto drops = [](Sketch& s, double y, double x0, double x1) {
        for (double x = x0; x <= x1; x += 8)
            s.line(x, y, x, y - 12).rect(x - 1.5, y - 5, x + 1.5, y - 8);
    };
    std::vector<SymbolDef> v;
    {
        Sketch s;
        bus(s, 30);
        drops(s, 30, 10, 50);
        v.push_back(def("MX1", L"单母线", L"", s));
    }
    {
        Sketch s;
        s.fillRect(2, 29.2, 27, 30.8).fillRect(33, 29.2, 58, 30.8).line(27, 30, 28.5, 30).line(31.5, 30, 33, 30);
        s.line(28.5, 30, 31.5, 33).rect(28, 28.5, 32, 31.5);
        drops(s, 30, 8, 24);
        drops(s, 30, 38, 54);
        v.push_back(def("MX2", L"单母线分段", L"", s));
    }
    {
        Sketch s;
        bus(s, 34);
        bus(s, 26);
        for (double x = 10; x <= 50; x += 10)
            s.line(x - 2, 34, x - 2, 22).line(x + 2, 26, x + 2, 22).line(x - 2, 22, x + 2, 22).line(x, 22, x, 12);
        v.push_back(def("MX3", L"双母线", L"", s));
    }
    {
        Sketch s;
        bus(s, 34);
        s.line(2, 24, 58, 24).line(2, 23.6, 58, 23.6);
        for (double x = 10; x <= 50; x += 10)
            s.line(x, 34, x, 12).line(x, 24, x + 3, 24).line(x + 3, 24, x + 3, 16).line(x + 3, 16, x, 16);
        v.push_back(def("MX4", L"单母线带旁路", L"", s));
    }
    {
        Sketch s;
        s.polyline({{10, 35}, {50, 35}, {50, 10}, {10, 10}}, true).polyline({{10.6, 34.4}, {49.4, 34.4}, {49.4, 10.6}, {10.6, 10.6}}, true);
        for (auto [x, y] : std::vector<std::pair<double, double>>{{30, 35}, {50, 22}, {30, 10}, {10, 22}})
            s.rect(x - 1.5, y - 1.5, x + 1.5, y + 1.5);
        v.push_back(def("MX5", L"环形母线", L"", s));
    }
    {
        Sketch s;
        const char* names[] = {"A", "B", "C", "N"};
        for (int i = 0; i < 4; ++i) {
            const double y = 34 - 6 * i;
            if (i < 3)
                s.fillRect(8, y - 0.5, 58, y + 0.5);
            else
                for (double x = 8; x < 58; x += 4)
                    s.line(x, y, x + 2.5, y);
            s.letters(names[i], 4, y, 2.5);
        }
        for (double x = 20; x <= 50; x += 15)
            for (int i = 0; i < 4; ++i)
                s.line(x + i * 1.5, 34 - 6 * i, x + i * 1.5, 8);
        v.push_back(def("MX6", L"三相四线母线", L"", s));
    }
    return v;
}

} // namespace ctrlsch::install
