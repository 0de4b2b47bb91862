// The "@" event lines (EVENTS.md): reading them, carrying them out on the
// open dialogs, the listings, and message boxes.
#include "host/adsdefs.h"
#include "ui/dc.h"
#include "ui/dialog.h"
#include "ui/dlgtemplate.h"
#include "ui/detail/text.h"
#include "ui/detail/window.h"
#include "ui/session.h"

#include <algorithm>
#include <charconv>

using namespace ui::detail;

namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits a line into words; false with a reason for an unclosed quote.
bool tokenize(std::string_view line, std::vector<Token>& out, std::string& error)
{
    size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n'))
            ++i;
        if (i >= line.size())
            return true;
        Token t;
        if (line[i] == '"') {
            t.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\' && i < line.size()) {
                    const char e = line[i++];
                    t.text += e == 'n' ? '\n' : (e == 't' ? '\t' : e);
                } else {
                    t.text += c;
                }
            }
            if (!closed) {
                error = "unclosed quote";
                return false;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n')
                t.text += line[i++];
        }
        out.push_back(std::move(t));
    }
}

std::string lower(std::string s)
{
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool parseInt(const std::string& s, int& v)
{
    if (s.empty())
        return false;
    const char* b = s.data();
    if (*b == '+')
        ++b;
    const auto r = std::from_chars(b, s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// The most presses one event may repeat (@spin ... COUNT).
constexpr int kMaxRepeat = 10000;

std::wstring wide(const std::string& s) { return utf8ToWide(s); }
std::wstring num(long long v) { return std::to_wstring(v); }

std::wstring quote(const std::wstring& s)
{
    std::wstring out = L"\"";
    for (wchar_t c : s) {
        if (c == L'"' || c == L'\\')
            out += L'\\';
        if (c == L'\n') {
            out += L"\\n";
            continue;
        }
        out += c;
    }
    return out + L"\"";
}

// A dialog or control as messages name it: by its short name, else by its
// id.
std::wstring dialogLabel(const Window& d) { return L"dialog " + (d.name.empty() ? num(d.templateId) : wide(d.name)); }

// The name a dialog's template gives a command id (a toolbar button), or "".
std::string commandName(const Window& dlg, int cmd)
{
    if (const ui::DialogTemplate* t = ui::findDialogTemplate(dlg.templateId))
        for (const auto& [id, name] : t->commands)
            if (id == cmd)
                return name;
    return {};
}

// The command id a dialog's template names so (case ignored).
bool commandByName(const Window& dlg, const std::string& name, int& cmd)
{
    if (const ui::DialogTemplate* t = ui::findDialogTemplate(dlg.templateId))
        for (const auto& [id, n] : t->commands)
            if (lower(n) == lower(name)) {
                cmd = id;
                return true;
            }
    return false;
}

std::wstring controlLabel(const Window& c)
{
    return std::wstring(className(c)) + L" " + (c.name.empty() ? num(c.id) : wide(c.name));
}

// Message box buttons ---------------------------------------------------------

struct Answer {
    int id;
    const char* word;
    const wchar_t* name;
};

const Answer kAnswers[] = {
    {IDOK, "ok", L"OK"},          {IDCANCEL, "cancel", L"Cancel"}, {IDYES, "yes", L"Yes"},
    {IDNO, "no", L"No"},          {IDRETRY, "retry", L"Retry"},    {IDABORT, "abort", L"Abort"},
    {IDIGNORE, "ignore", L"Ignore"},
};

const wchar_t* answerName(int id)
{
    for (const auto& a : kAnswers)
        if (a.id == id)
            return a.name;
    return L"?";
}

std::vector<int> boxButtons(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    default:
        return {IDOK};
    }
}

// What Esc gives: Cancel when there is one, OK for a lone OK, else nothing.
int escapeAnswer(const std::vector<int>& buttons)
{
    if (std::find(buttons.begin(), buttons.end(), IDCANCEL) != buttons.end())
        return IDCANCEL;
    if (buttons.size() == 1 && buttons[0] == IDOK)
        return IDOK;
    return 0;
}

int endOfInputAnswer(const std::vector<int>& buttons)
{
    if (const int esc = escapeAnswer(buttons))
        return esc;
    if (std::find(buttons.begin(), buttons.end(), IDNO) != buttons.end())
        return IDNO;
    return IDABORT;
}

// The dispatcher ------------------------------------------------------------------

class Dispatch {
public:
    explicit Dispatch(const std::string& line) : m_line(line) {}

    bool run()
    {
        std::string error;
        if (!tokenize(m_line, m_tokens, error))
            return fail(wide(error));
        if (m_tokens.empty() || m_tokens[0].quoted || m_tokens[0].text.size() < 2 || m_tokens[0].text[0] != '@')
            return fail(L"not an event (events start with @ and a name)");
        const std::string verb = lower(m_tokens[0].text.substr(1));
        m_args.assign(m_tokens.begin() + 1, m_tokens.end());
        for (const Verb& v : verbs())
            if (verb == v.name)
                return (this->*v.run)();
        return fail(L"unknown event @" + wide(verb));
    }

    struct Verb {
        const char* name;
        bool (Dispatch::*run)();
        // The form and what it does, for the command line's help.
        const char* form;
        const char* what;
    };
    // Every event, in the order the help lists them.
    static const std::vector<Verb>& verbs()
    {
        static const std::vector<Verb> table = {
            {"click", &Dispatch::click, "@click DIALOG CONTROL", "left click at the control's centre"},
            {"dblclick", &Dispatch::dblclick, "@dblclick DIALOG CONTROL [ITEM]", "double click (on a list item)"},
            {"choose", &Dispatch::choose, "@choose DIALOG SYMBOL|#N [double]",
             "click on a symbol of the dialog's grid by name or slot, paging to it"},
            {"select", &Dispatch::select, "@select DIALOG CONTROL ITEM", "pick an item of a list or drop-down list"},
            {"check", &Dispatch::check, "@check DIALOG CONTROL on|off", "set a check box or radio button"},
            {"type", &Dispatch::type, "@type DIALOG CONTROL \"TEXT\"", "replace the text of an edit box by typing"},
            {"spin", &Dispatch::spin, "@spin DIALOG CONTROL up|down [COUNT]", "press a spin arrow COUNT times"},
            {"mouse", &Dispatch::mouse, "@mouse DIALOG CONTROL|0 X Y [left|right] [double] [shift] [ctrl]",
             "press and release a mouse button at a pixel"},
            {"tool", &Dispatch::tool, "@tool DIALOG BUTTON", "click a toolbar button (its name or command id)"},
            {"tip", &Dispatch::tip, "@tip DIALOG BUTTON", "show a toolbar button's tooltip"},
            {"key", &Dispatch::key, "@key DIALOG enter|esc", "press Enter or Esc"},
            {"activate", &Dispatch::activateEvent, "@activate DIALOG", "come back to the dialog"},
            {"deactivate", &Dispatch::deactivateEvent, "@deactivate DIALOG", "leave the dialog for the drawing"},
            {"close", &Dispatch::close, "@close DIALOG", "click the close box"},
            {"msgbox", &Dispatch::noMessageBox, "@msgbox ok|cancel|yes|no|retry|abort|ignore",
             "answer the open message box"},
            {"list", &Dispatch::list, "@list [DIALOG]", "print the open dialogs, or a dialog's controls"},
            {"keepfocus", &Dispatch::keepFocus, "@keepfocus DIALOG", "ask whether the dialog keeps the focus"},
            {"snapshot", &Dispatch::snapshot, "@snapshot DIALOG FILE.png", "save a picture of the dialog"},
        };
        return table;
    }

private:
    bool fail(const std::wstring& why)
    {
        std::string shown = m_line;
        while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r' || shown.back() == ' '))
            shown.pop_back();
        report(wide(shown) + L": " + why);
        return false;
    }

    bool usage(const wchar_t* form) { return fail(std::wstring(L"usage: ") + form); }

    bool noMessageBox() { return fail(L"no message box is open"); }

    // A repeat count: digits, from 1 to kMaxRepeat.
    bool parseRepeatCount(const std::string& text, int& count)
    {
        if (text.empty() || text[0] < '0' || text[0] > '9' || !parseInt(text, count) || count < 1 || count > kMaxRepeat)
            return fail(L"the count of steps is a whole number from 1 to " + num(kMaxRepeat));
        return true;
    }

    // The most recent open dialog of a template id or short name.
    Window* findDialog(const Token& t)
    {
        int id = 0;
        const bool byId = !t.quoted && parseInt(t.text, id);
        const std::vector<HWND> all = allWindows();
        for (auto it = all.rbegin(); it != all.rend(); ++it) {
            Window* w = lookup(*it);
            if (!w || w->cls != WndClass::Dialog || w->destroying)
                continue;
            if (byId ? w->templateId == static_cast<UINT>(id) : (!w->name.empty() && lower(w->name) == lower(t.text)))
                return w;
        }
        fail(L"no open dialog " + wide(t.text));
        return nullptr;
    }

    // A control by its id, by its short name (without regard to case), or
    // IDOK and IDCANCEL.
    Window* findControl(Window& dlg, const Token& t)
    {
        int id = 0;
        const bool byId = !t.quoted && parseInt(t.text, id);
        const std::string name = lower(t.text);
        for (HWND c : dlg.children)
            if (Window* cw = lookup(c); cw && (byId ? cw->id == id : !cw->name.empty() && cw->name == name))
                return cw;
        if (!byId && (name == "idok" || name == "idcancel")) {
            id = name == "idok" ? IDOK : IDCANCEL;
            for (HWND c : dlg.children)
                if (Window* cw = lookup(c); cw && cw->id == id)
                    return cw;
        }
        fail(dialogLabel(dlg) + L" has no control " + (byId ? wide(t.text) : quote(wide(t.text))));
        return nullptr;
    }

    // The dialog can take the user's input; so can the control, if given.
    bool ready(Window& dlg, Window* ctl)
    {
        if (!isVisible(dlg))
            return fail(dialogLabel(dlg) + L" is hidden");
        if (!isEnabled(dlg))
            return fail(dialogLabel(dlg) + L" is disabled (a dialog it owns is open)");
        if (ctl && !isVisible(*ctl))
            return fail(controlLabel(*ctl) + L" is hidden");
        if (ctl && !isEnabled(*ctl))
            return fail(controlLabel(*ctl) + L" is disabled");
        return true;
    }

    // Resolves "DIALOG CONTROL" from the first two arguments, ready for
    // input.
    bool target(Window*& dlg, Window*& ctl)
    {
        dlg = findDialog(m_args[0]);
        if (!dlg)
            return false;
        ctl = findControl(*dlg, m_args[1]);
        return ctl && ready(*dlg, ctl);
    }

    // A click into an inactive dialog activates it first; afterwards the
    // dialog and control must still be there.
    bool bringToFront(HWND dlg, HWND ctl)
    {
        if (activeWindow() != dlg)
            activate(dlg, WA_CLICKACTIVE);
        Window* d = lookup(dlg);
        if (!d)
            return fail(L"the dialog closed when activated");
        Window* c = ctl ? lookup(ctl) : nullptr;
        if (ctl && !c)
            return fail(L"the control went away when the dialog was activated");
        return ready(*d, c);
    }

    // Presses and releases a mouse button at a point of the control (or of
    // the dialog's client area when ctl is null).
    bool press(HWND dlgH, HWND ctlH, CPoint p, bool right, bool dbl, UINT keys)
    {
        Window* dlg = lookup(dlgH);
        Window* ctl = lookup(ctlH);
        HWND targetH = nullptr;
        CPoint pt = p;
        if (ctl) {
            const CRect c = clientRect(*ctl);
            if (!c.PtInRect(p))
                return fail(L"point " + num(p.x) + L"," + num(p.y) + L" is outside " + controlLabel(*ctl) + L" (" +
                            num(c.Width()) + L"x" + num(c.Height()) + L")");
            targetH = ctlH;
            if (isTransparent(*ctl)) {
                // Statics without SS_NOTIFY and group boxes let the click
                // through to the dialog.
                const RECT in = insets(*ctl);
                pt = CPoint(p.x + ctl->rect.left + in.left, p.y + ctl->rect.top + in.top);
                targetH = dlgH;
            }
        } else {
            const CRect c = clientRect(*dlg);
            if (!c.PtInRect(p))
                return fail(L"point " + num(p.x) + L"," + num(p.y) + L" is outside " + dialogLabel(*dlg) + L" (" +
                            num(c.Width()) + L"x" + num(c.Height()) + L")");
            targetH = dlgH;
            for (HWND ch : dlg->children) {
                Window* cw = lookup(ch);
                if (!cw || !(cw->style & WS_VISIBLE) || isTransparent(*cw) || !cw->rect.PtInRect(p))
                    continue;
                if (!isEnabled(*cw))
                    return fail(controlLabel(*cw) + L" under the point is disabled");
                const RECT in = insets(*cw);
                pt = CPoint(p.x - cw->rect.left - in.left, p.y - cw->rect.top - in.top);
                targetH = ch;
                break;
            }
        }
        if (!bringToFront(dlgH, ctlH))
            return false;
        const UINT button = right ? MK_RBUTTON : MK_LBUTTON;
        const UINT down = right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
        const UINT up = right ? WM_RBUTTONUP : WM_LBUTTONUP;
        const UINT dblclk = right ? WM_RBUTTONDBLCLK : WM_LBUTTONDBLCLK;
        const LPARAM lp = MAKELPARAM(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y));
        // The press goes through the message queue, a release 60 ms and a
        // second press 120 ms after it, so that a handler may look ahead
        // for the rest of a double click.
        postAt(targetH, down, keys | button, lp, 0);
        postAt(targetH, up, keys, lp, 60);
        if (dbl) {
            postAt(targetH, dblclk, keys | button, lp, 120);
            postAt(targetH, up, keys, lp, 180);
        }
        runPosted();
        return true;
    }

    CPoint centre(const Window& w) { return clientRect(w).CenterPoint(); }

    bool click()
    {
        if (m_args.size() != 2)
            return usage(L"@click DIALOG CONTROL");
        Window *dlg, *ctl;
        if (!target(dlg, ctl))
            return false;
        return press(dlg->hwnd, ctl->hwnd, centre(*ctl), false, false, 0);
    }

    bool isList(const Window& w) { return w.cls == WndClass::ComboBox || w.cls == WndClass::ListBox; }

    // An item by index or by its whole text (quoted).
    bool itemIndex(Window& ctl, const Token& t, int& index)
    {
        if (t.quoted) {
            index = findItem(ctl, -1, wide(t.text), true);
            if (index < 0)
                return fail(controlLabel(ctl) + L" has no item " + quote(wide(t.text)));
            return true;
        }
        if (!parseInt(t.text, index))
            return fail(L"an item is an index from 0 or a quoted text, not " + wide(t.text));
        if (index < 0 || index >= static_cast<int>(ctl.items.size()))
            return fail(controlLabel(ctl) + L" has no item " + wide(t.text) + L" (it has " + num(static_cast<long long>(ctl.items.size())) +
                        L")");
        return true;
    }

    bool selectItem(Window* dlg, Window* ctl, const Token& item)
    {
        int index = -1;
        if (!itemIndex(*ctl, item, index))
            return false;
        const HWND ctlH = ctl->hwnd;
        if (!bringToFront(dlg->hwnd, ctlH))
            return false;
        setFocus(ctlH);
        userSelect(*lookup(ctlH), index);
        return true;
    }

    bool select()
    {
        if (m_args.size() != 3)
            return usage(L"@select DIALOG CONTROL INDEX|\"TEXT\"");
        Window *dlg, *ctl;
        if (!target(dlg, ctl))
            return false;
        if (!isList(*ctl))
            return fail(controlLabel(*ctl) + L" is not a list or combo box");
        return selectItem(dlg, ctl, m_args[2]);
    }

    bool dblclick()
    {
        if (m_args.size() != 2 && m_args.size() != 3)
            return usage(L"@dblclick DIALOG CONTROL [INDEX|\"TEXT\"]");
        Window *dlg, *ctl;
        if (!target(dlg, ctl))
            return false;
        if (!isList(*ctl)) {
            if (m_args.size() == 3)
                return fail(controlLabel(*ctl) + L" has no items");
            return press(dlg->hwnd, ctl->hwnd, centre(*ctl), false, true, 0);
        }
        const HWND ctlH = ctl->hwnd;
        if (m_args.size() == 3) {
            if (!selectItem(dlg, ctl, m_args[2]))
                return false;
        } else {
            if (ctl->curSel < 0)
                return fail(controlLabel(*ctl) + L" has no selected item to double-click");
            if (!bringToFront(dlg->hwnd, ctlH))
                return false;
        }
        Window* c = lookup(ctlH);
        if (!c)
            return true;
        if (c->cls == WndClass::ListBox && (c->style & LBS_NOTIFY))
            notifyParent(*c, LBN_DBLCLK);
        else if (c->cls == WndClass::ComboBox && (c->style & 0x3) == CBS_SIMPLE)
            notifyParent(*c, CBN_DBLCLK);
        return true;
    }

    bool check()
    {
        if (m_args.size() != 3)
            return usage(L"@check DIALOG CONTROL on|off");
        Window *dlg, *ctl;
        if (!target(dlg, ctl))
            return false;
        const DWORD type = ctl->style & BS_TYPEMASK;
        const bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
        const bool checkBox = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
        if (ctl->cls != WndClass::Button || (!radio && !checkBox))
            return fail(controlLabel(*ctl) + L" is not a check box or radio button");
        const std::string state = lower(m_args[2].text);
        bool on;
        if (state == "on" || state == "1" || state == "checked")
            on = true;
        else if (state == "off" || state == "0" || state == "unchecked")
            on = false;
        else
            return usage(L"@check DIALOG CONTROL on|off");
        if (radio && !on)
            return fail(L"a radio button is cleared by checking another of its group");
        if ((ctl->check == BST_CHECKED) == on)
            return true;
        return press(dlg->hwnd, ctl->hwnd, centre(*ctl), false, false, 0);
    }

    bool type()
    {
        if (m_args.size() != 3)
            return usage(L"@type DIALOG CONTROL \"TEXT\"");
        Window *dlg, *ctl;
        if (!target(dlg, ctl))
            return false;
        if (ctl->cls != WndClass::Edit)
            return fail(controlLabel(*ctl) + L" is not an edit box");
        if (ctl->style & ES_READONLY)
            return fail(controlLabel(*ctl) + L" is read-only");
        const HWND ctlH = ctl->hwnd;
        if (!bringToFront(dlg->hwnd, ctlH))
            return false;
        setFocus(ctlH);
        Window* c = lookup(ctlH);
        c->selStart = 0;
        c->selEnd = static_cast<int>(c->text.size());
        const int refusedBefore = refusedChars();
        const std::wstring text = wide(m_args[2].text);
        if (text.empty() && !c->text.empty())
            send(ctlH, WM_CHAR, VK_BACK, 1);
        for (wchar_t ch : text) {
            if (!lookup(ctlH))
                break;
            send(ctlH, WM_CHAR, static_cast<WPARAM>(ch), 1);
        }
        return refusedChars() == refusedBefore;
    }

    bool spin()
    {
        if (m_args.size() != 3 && m_args.size() != 4)
            return usage(L"@spin DIALOG CONTROL up|down [COUNT] | +N | -N");
        Window *dlg, *ctl;
        if (!target(dlg, ctl))
            return false;
        if (ctl->cls != WndClass::Spin)
            return fail(controlLabel(*ctl) + L" is not a spin control");
        const std::string dir = lower(m_args[2].text);
        bool up = true;
        std::string count = "1";
        if (dir == "up" || dir == "down") {
            up = dir == "up";
            if (m_args.size() == 4)
                count = m_args[3].text;
        } else {
            if (m_args.size() != 3 || (dir[0] != '+' && dir[0] != '-'))
                return usage(L"@spin DIALOG CONTROL up|down [COUNT] | +N | -N");
            up = dir[0] == '+';
            count = dir.substr(1);
        }
        int steps = 0;
        if (!parseRepeatCount(count, steps))
            return false;
        const HWND dlgH = dlg->hwnd, ctlH = ctl->hwnd;
        if (!bringToFront(dlgH, ctlH))
            return false;
        for (int i = 0; i < steps; ++i) {
            Window* d = lookup(dlgH);
            Window* c = lookup(ctlH);
            if (!d || !c || !isVisible(*c) || !isEnabled(*c))
                break;
            spinPress(*c, up);
        }
        return true;
    }

    bool mouse()
    {
        if (m_args.size() < 4)
            return usage(L"@mouse DIALOG CONTROL|0 X Y [left|right] [double] [shift] [ctrl]");
        Window* dlg = findDialog(m_args[0]);
        if (!dlg)
            return false;
        Window* ctl = nullptr;
        if (m_args[1].text != "0" && m_args[1].text != "-") {
            ctl = findControl(*dlg, m_args[1]);
            if (!ctl)
                return false;
        }
        if (!ready(*dlg, ctl))
            return false;
        int x, y;
        if (!parseInt(m_args[2].text, x) || !parseInt(m_args[3].text, y))
            return fail(L"X and Y are whole numbers of pixels");
        bool right = false, dbl = false;
        UINT keys = 0;
        for (size_t i = 4; i < m_args.size(); ++i) {
            const std::string o = lower(m_args[i].text);
            if (o == "left")
                right = false;
            else if (o == "right")
                right = true;
            else if (o == "double")
                dbl = true;
            else if (o == "shift")
                keys |= MK_SHIFT;
            else if (o == "ctrl" || o == "control")
                keys |= MK_CONTROL;
            else
                return fail(L"unknown mouse option " + wide(m_args[i].text) + L" (left, right, double, shift, ctrl)");
        }
        return press(dlg->hwnd, ctl ? ctl->hwnd : nullptr, CPoint(x, y), right, dbl, keys);
    }

    // A click on an item of the dialog's own picture where the dialog says
    // it is, after the page buttons it names are pressed.
    bool choose()
    {
        if (m_args.size() != 2 && m_args.size() != 3)
            return usage(L"@choose DIALOG SYMBOL|#N [double]");
        bool dbl = false;
        if (m_args.size() == 3) {
            if (lower(m_args[2].text) != "double")
                return usage(L"@choose DIALOG SYMBOL|#N [double]");
            dbl = true;
        }
        Window* dlg = findDialog(m_args[0]);
        if (!dlg)
            return false;
        const HWND dlgH = dlg->hwnd;
        const std::wstring item = wide(m_args[1].text);
        for (int pages = 0;; ++pages) {
            Window* d = lookup(dlgH);
            if (!d || d->destroying)
                return fail(L"the dialog closed");
            auto* object = dynamic_cast<CDialog*>(d->object);
            CDialog::ItemClick at;
            std::wstring why;
            if (!object || !object->ItemPoint(item, at, why))
                return fail(dialogLabel(*d) + L" has " + (why.empty() ? std::wstring(L"no items to choose") : why));
            Window* ctl = nullptr;
            if (at.control) {
                for (HWND c : d->children)
                    if (Window* cw = lookup(c); cw && cw->id == at.control)
                        ctl = cw;
                if (!ctl)
                    return fail(dialogLabel(*d) + L" has no control " + num(at.control));
            }
            if (!ready(*d, ctl))
                return false;
            if (!at.turnsPage)
                return press(dlgH, ctl ? ctl->hwnd : nullptr, at.point, false, dbl, 0);
            if (pages == kMaxRepeat)
                return fail(L"the page of " + item + L" was not reached after " + num(kMaxRepeat) + L" presses");
            if (!press(dlgH, ctl ? ctl->hwnd : nullptr, at.point, false, false, 0))
                return false;
        }
    }

    // The toolbar of the dialog with a button of this command id.
    bool findTool(Window*& dlg, Window*& bar, int& index)
    {
        dlg = findDialog(m_args[0]);
        if (!dlg)
            return false;
        int cmd = 0;
        if (!parseInt(m_args[1].text, cmd) && !commandByName(*dlg, m_args[1].text, cmd))
            return fail(dialogLabel(*dlg) + L" has no toolbar button " + quote(wide(m_args[1].text)));
        for (HWND c : dlg->children) {
            Window* cw = lookup(c);
            if (!cw || cw->cls != WndClass::Toolbar)
                continue;
            for (size_t i = 0; i < cw->buttons.size(); ++i)
                if (cw->buttons[i].idCommand == cmd && !(cw->buttons[i].fsStyle & TBSTYLE_SEP)) {
                    bar = cw;
                    index = static_cast<int>(i);
                    return true;
                }
        }
        return fail(dialogLabel(*dlg) + L" has no toolbar button " + wide(m_args[1].text));
    }

    bool tool()
    {
        if (m_args.size() != 2)
            return usage(L"@tool DIALOG BUTTON");
        Window *dlg, *bar;
        int index;
        if (!findTool(dlg, bar, index) || !ready(*dlg, bar))
            return false;
        const TBBUTTON& b = bar->buttons[static_cast<size_t>(index)];
        if (b.fsState & TBSTATE_HIDDEN)
            return fail(L"toolbar button " + num(b.idCommand) + L" is hidden");
        if (!(b.fsState & TBSTATE_ENABLED))
            return fail(L"toolbar button " + num(b.idCommand) + L" is disabled");
        const CRect r = toolbarItemRect(*bar, index);
        if (!clientRect(*bar).PtInRect(r.CenterPoint()))
            return fail(L"toolbar button " + num(b.idCommand) + L" lies outside its toolbar");
        return press(dlg->hwnd, bar->hwnd, r.CenterPoint(), false, false, 0);
    }

    bool tip()
    {
        if (m_args.size() != 2)
            return usage(L"@tip DIALOG BUTTON");
        Window *dlg, *bar;
        int index;
        if (!findTool(dlg, bar, index))
            return false;
        const int cmd = bar->buttons[static_cast<size_t>(index)].idCommand;
        const std::wstring text = toolTipText(*bar, index);
        ui::print(L"tooltip " + num(cmd) + L": " + quote(text) + L"\n");
        return true;
    }

    bool key()
    {
        if (m_args.size() != 2)
            return usage(L"@key DIALOG enter|esc");
        Window* dlg = findDialog(m_args[0]);
        if (!dlg || !ready(*dlg, nullptr))
            return false;
        const std::string k = lower(m_args[1].text);
        int id;
        if (k == "enter" || k == "return")
            id = dlg->defId;
        else if (k == "esc" || k == "escape")
            id = IDCANCEL;
        else
            return usage(L"@key DIALOG enter|esc");
        HWND button = nullptr;
        for (HWND c : dlg->children)
            if (Window* cw = lookup(c); cw && cw->id == id && cw->cls == WndClass::Button) {
                if (!isEnabled(*cw))
                    return fail(controlLabel(*cw) + L" is disabled");
                button = c;
                break;
            }
        const HWND dlgH = dlg->hwnd;
        if (!bringToFront(dlgH, nullptr))
            return false;
        send(dlgH, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED), reinterpret_cast<LPARAM>(button));
        return true;
    }

    bool activateEvent()
    {
        if (m_args.size() != 1)
            return usage(L"@activate DIALOG");
        Window* dlg = findDialog(m_args[0]);
        if (!dlg || !ready(*dlg, nullptr))
            return false;
        activate(dlg->hwnd, WA_ACTIVE);
        return true;
    }

    bool deactivateEvent()
    {
        if (m_args.size() != 1)
            return usage(L"@deactivate DIALOG");
        Window* dlg = findDialog(m_args[0]);
        if (!dlg)
            return false;
        if (activeWindow() != dlg->hwnd)
            return fail(dialogLabel(*dlg) + L" is not active");
        activate(mainWindow(), WA_ACTIVE);
        return true;
    }

    bool close()
    {
        if (m_args.size() != 1)
            return usage(L"@close DIALOG");
        Window* dlg = findDialog(m_args[0]);
        if (!dlg || !ready(*dlg, nullptr))
            return false;
        if (!(dlg->style & WS_SYSMENU))
            return fail(dialogLabel(*dlg) + L" has no close box");
        const HWND dlgH = dlg->hwnd;
        if (!bringToFront(dlgH, nullptr))
            return false;
        send(dlgH, WM_CLOSE);
        return true;
    }

    bool keepFocus()
    {
        if (m_args.size() != 1)
            return usage(L"@keepfocus DIALOG");
        Window* dlg = findDialog(m_args[0]);
        if (!dlg)
            return false;
        const std::wstring label = dialogLabel(*dlg);
        const bool keeps = send(dlg->hwnd, WM_ACAD_KEEPFOCUS) != 0;
        ui::print(label + L" keeps the focus: " + (keeps ? L"yes" : L"no") + L"\n");
        return true;
    }

    bool snapshot()
    {
        if (m_args.size() != 2)
            return usage(L"@snapshot DIALOG FILE.png");
        Window* dlg = findDialog(m_args[0]);
        if (!dlg)
            return false;
        const std::wstring label = dialogLabel(*dlg);
        if (!ui::saveWindowPng(dlg->object, m_args[1].text))
            return fail(L"cannot write " + utf8ToWide(m_args[1].text));
        ui::print(label + L" saved as " + utf8ToWide(m_args[1].text) + L"\n");
        return true;
    }

    // Listings -----------------------------------------------------------------

    std::wstring describeDialog(const Window& d)
    {
        const CRect r = screenRect(d);
        std::wstring s = num(d.templateId);
        if (!d.name.empty())
            s += L" " + wide(d.name);
        s += L" " + quote(d.text) + (d.modal ? L" modal" : L" modeless") + (isVisible(d) ? L" shown" : L" hidden");
        if (activeWindow() == d.hwnd)
            s += L" active";
        if (!isEnabled(d))
            s += L" disabled";
        s += L" at " + num(r.left) + L"," + num(r.top) + L" size " + num(r.Width()) + L"x" + num(r.Height());
        return s;
    }

    std::wstring describeControl(const Window& c)
    {
        std::wstring s = num(c.id);
        if (!c.name.empty())
            s += L" " + wide(c.name);
        s += L" " + std::wstring(className(c));
        const bool hasText = c.cls == WndClass::Button || c.cls == WndClass::Static || c.cls == WndClass::Edit;
        if (hasText)
            s += L" " + quote(c.text);
        s += L" at " + num(c.rect.left) + L"," + num(c.rect.top) + L" size " + num(c.rect.Width()) + L"x" +
             num(c.rect.Height());
        if (!(c.style & WS_VISIBLE))
            s += L" hidden";
        if (c.style & WS_DISABLED)
            s += L" disabled";
        if (focusWindow() == c.hwnd)
            s += L" focus";
        switch (c.cls) {
        case WndClass::Button: {
            const DWORD type = c.style & BS_TYPEMASK;
            if (c.style & BS_PUSHLIKE)
                s += L" push-like";
            if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON && type != BS_GROUPBOX) {
                if (c.style & WS_GROUP)
                    s += L" group";
                s += c.check == BST_CHECKED ? L" checked" : (c.check == BST_INDETERMINATE ? L" indeterminate" : L" unchecked");
            }
            break;
        }
        case WndClass::Static:
            if (c.style & SS_NOTIFY)
                s += L" notify";
            break;
        case WndClass::Edit:
            if (c.style & ES_NUMBER)
                s += L" number";
            if (c.style & ES_READONLY)
                s += L" read-only";
            break;
        case WndClass::ComboBox:
        case WndClass::ListBox: {
            if (isSorted(c))
                s += L" sorted";
            s += L" sel=" + num(c.curSel) + L" items=[";
            for (size_t i = 0; i < c.items.size(); ++i)
                s += (i ? L"," : L"") + quote(c.items[i].text);
            s += L"]";
            break;
        }
        case WndClass::Spin: {
            s += L" pos=" + num(c.pos) + L" range=" + num(c.lower) + L".." + num(c.upper);
            if (Window* b = lookup(c.buddy))
                s += L" buddy=" + num(b->id);
            break;
        }
        case WndClass::Toolbar: {
            s += L" buttons=[";
            bool first = true;
            for (const auto& b : c.buttons) {
                s += first ? L"" : L",";
                first = false;
                if (b.fsStyle & TBSTYLE_SEP) {
                    s += L"|";
                    continue;
                }
                s += num(b.idCommand);
                if (const Window* dlg = lookup(c.parent); dlg && !commandName(*dlg, b.idCommand).empty())
                    s += L" " + wide(commandName(*dlg, b.idCommand));
                if (!(b.fsState & TBSTATE_ENABLED))
                    s += L" disabled";
                if (b.fsState & TBSTATE_CHECKED)
                    s += L" checked";
                if (b.fsState & TBSTATE_HIDDEN)
                    s += L" hidden";
            }
            // Buttons lie side by side from the bar's left edge.
            s += L"] button-size=" + num(c.buttonSize.cx) + L"x" + num(c.buttonSize.cy);
            break;
        }
        default:
            break;
        }
        return s;
    }

    bool list()
    {
        if (m_args.size() > 1)
            return usage(L"@list [DIALOG]");
        if (m_args.size() == 1) {
            Window* dlg = findDialog(m_args[0]);
            if (!dlg)
                return false;
            std::wstring out = L"dialog " + describeDialog(*dlg) + L"\n";
            for (HWND c : dlg->children)
                if (Window* cw = lookup(c))
                    out += L"  " + describeControl(*cw) + L"\n";
            ui::print(out);
            return true;
        }
        std::vector<Window*> dialogs;
        for (HWND h : allWindows())
            if (Window* w = lookup(h); w && w->cls == WndClass::Dialog && !w->destroying)
                dialogs.push_back(w);
        std::wstring out = L"dialogs: " + (dialogs.empty() ? std::wstring(L"none") : num(static_cast<long long>(dialogs.size()))) + L"\n";
        for (Window* d : dialogs)
            out += L"  " + describeDialog(*d) + L"\n";
        ui::print(out);
        return true;
    }

    const std::string& m_line;
    std::vector<Token> m_tokens;
    std::vector<Token> m_args;
};

} // namespace

namespace ui {

bool dispatchEvent(const std::string& line)
{
    const bool ok = Dispatch(line).run();
    idle();
    return ok;
}

std::vector<OpenDialog> openDialogs()
{
    std::vector<OpenDialog> out;
    for (HWND h : allWindows()) {
        Window* w = lookup(h);
        if (!w || w->cls != WndClass::Dialog || w->destroying)
            continue;
        OpenDialog d;
        d.name = w->name.empty() ? std::to_string(w->templateId) : w->name;
        d.caption = w->text;
        d.modal = w->modal;
        d.shown = isVisible(*w);
        d.active = activeWindow() == w->hwnd;
        d.window = screenRect(*w);
        const RECT in = insets(*w);
        d.client = CPoint(in.left, in.top);
        for (HWND c : w->children) {
            const Window* cw = lookup(c);
            if (!cw)
                continue;
            OpenControl oc;
            oc.id = cw->id;
            oc.kind = wideToUtf8(className(*cw));
            oc.rect = cw->rect;
            oc.text = cw->text;
            oc.visible = (cw->style & WS_VISIBLE) != 0;
            oc.enabled = !(cw->style & WS_DISABLED);
            oc.readOnly = cw->cls == WndClass::Edit && (cw->style & ES_READONLY);
            if (cw->cls == WndClass::ComboBox || cw->cls == WndClass::ListBox) {
                for (const auto& item : cw->items)
                    oc.items.push_back(item.text);
                oc.selected = cw->curSel;
            }
            d.controls.push_back(std::move(oc));
        }
        out.push_back(std::move(d));
    }
    return out;
}

bool dialogPng(const std::string& name, std::string& png)
{
    const std::vector<HWND> all = allWindows();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        Window* w = lookup(*it);
        if (!w || w->cls != WndClass::Dialog || w->destroying)
            continue;
        if (w->name.empty() ? std::to_string(w->templateId) == name : lower(w->name) == lower(name))
            return windowPng(w->object, png);
    }
    return false;
}

std::vector<EventVerb> eventVerbs()
{
    std::vector<EventVerb> out;
    for (const auto& v : Dispatch::verbs())
        out.push_back(EventVerb{v.name, v.form, v.what});
    return out;
}

} // namespace ui

namespace ui::detail {

int messageBox(std::wstring_view text, std::wstring_view caption, UINT type)
{
    const std::vector<int> buttons = boxButtons(type);
    std::wstring head = L"MessageBox " + quote(std::wstring(caption)) + L": " + std::wstring(text) + L" [";
    for (size_t i = 0; i < buttons.size(); ++i)
        head += (i ? L"/" : L"") + std::wstring(answerName(buttons[i]));
    ui::print(head + L"]\n");
    int answer = 0;
    std::string line;
    while (!answer) {
        ui::EventSource* src = source();
        if (!src || !src->nextEvent(line) || ui::isEscapeLine(line)) {
            answer = endOfInputAnswer(buttons);
            break;
        }
        std::vector<Token> tokens;
        std::string error;
        const std::string verb = tokenize(line, tokens, error) && !tokens.empty() ? lower(tokens[0].text) : "";
        if (verb == "@list" || verb == "@keepfocus" || verb == "@snapshot") {
            ui::dispatchEvent(line);
            continue;
        }
        if (verb != "@msgbox") {
            report(L"a message box is waiting for @msgbox; ignored: " + utf8ToWide(line));
            continue;
        }
        if (tokens.size() != 2) {
            report(L"usage: @msgbox ok|cancel|yes|no|retry|abort|ignore");
            continue;
        }
        const std::string word = lower(tokens[1].text);
        for (const auto& a : kAnswers)
            if (word == a.word && std::find(buttons.begin(), buttons.end(), a.id) != buttons.end())
                answer = a.id;
        if (!answer && word == "cancel")
            answer = escapeAnswer(buttons);
        if (!answer)
            report(L"the message box has no " + utf8ToWide(tokens[1].text) + L" button");
    }
    ui::print(L"MessageBox answer: " + std::wstring(answerName(answer)) + L"\n");
    return answer;
}

} // namespace ui::detail

int CWnd::MessageBox(LPCTSTR text, LPCTSTR caption, UINT nType)
{
    return messageBox(text ? text : L"", caption ? std::wstring_view(caption) : std::wstring_view(ui::appName()), nType);
}

int AfxMessageBox(LPCTSTR text, UINT nType, UINT)
{
    return messageBox(text ? text : L"", ui::appName(), nType);
}
