// Event lines for modal dialogs in the tools' tests, with checks run in
// between.
#pragma once

#include "host/acapdoc.h"
#include "library/PaletteResources.h"
#include "ui/afxwin.h"

#include <deque>
#include <functional>
#include <string>

namespace toolstest {

// Event lines for a modal dialog with checks in between: a check runs when
// the dialog asks for its next event, after it painted. Each time it is
// asked it notes whether the wait cursor and the module's resource handle
// are in force.
class Script : public ui::EventSource {
public:
    Script& then(std::string line)
    {
        m_steps.push_back({std::move(line), {}});
        return *this;
    }
    Script& check(std::function<void()> fn)
    {
        m_steps.push_back({{}, std::move(fn)});
        return *this;
    }
    bool nextEvent(std::string& line) override
    {
        ++asked;
        if (ui::waitCursorCount() > 0)
            ++waiting;
        if (acDocManager->currentResourceHandle() == PaletteResourceHandle())
            ++withResources;
        while (!m_steps.empty() && m_steps.front().fn) {
            auto fn = std::move(m_steps.front().fn);
            m_steps.pop_front();
            fn();
        }
        if (m_steps.empty())
            return false;
        line = std::move(m_steps.front().line);
        m_steps.pop_front();
        return true;
    }
    bool finished() const { return m_steps.empty(); }

    int asked = 0;
    int waiting = 0;
    int withResources = 0;

private:
    struct Step {
        std::string line;
        std::function<void()> fn;
    };
    std::deque<Step> m_steps;
};

} // namespace toolstest
