// Open documents of the host: each has its drawing database, system
// variables, input queue and the LISP functions applications defined in it.
#pragma once

#include "host/adsdefs.h"

#include <cassert>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

class AcDbDatabase;

// A LISP function defined by an application in one document.
struct AcApLispFunction {
    void* app = nullptr;
    int code = 0;
};

class AcApDocument {
public:
    explicit AcApDocument(std::unique_ptr<AcDbDatabase> db);
    ~AcApDocument();
    AcDbDatabase* database() const { return m_db.get(); }
    // The drawing's file name, or "DrawingN.dwg" for a new one.
    const std::wstring& fileName() const { return m_fileName; }
    void setFileName(std::wstring name) { m_fileName = std::move(name); }
    std::wstring docTitle() const;

    // System variables by upper-case name.
    std::map<std::string, resbuf>& sysvars() { return m_sysvars; }
    // LISP functions by lower-case name.
    std::map<std::string, AcApLispFunction>& lispFunctions() { return m_functions; }

    // Text waiting to be read by the next prompts (typed by applications,
    // or the rest of a script line after a reply).
    std::string& pendingInput() { return m_pending; }

    // What acedGrDraw and acedRedraw show over the drawing (host internal,
    // see host/tempgraphics.h).
    std::shared_ptr<void>& temporaryGraphicsSlot() { return m_temp; }

private:
    std::unique_ptr<AcDbDatabase> m_db;
    std::wstring m_fileName;
    std::map<std::string, resbuf> m_sysvars;
    std::map<std::string, AcApLispFunction> m_functions;
    std::string m_pending;
    std::shared_ptr<void> m_temp;
};

class AcApDocManager {
public:
    AcApDocument* curDocument() const { return m_current; }
    AcApDocument* mdiActiveDocument() const { return m_current; }
    int documentCount() const { return static_cast<int>(m_docs.size()); }
    AcApDocument* document(int index) const { return m_docs.at(static_cast<std::size_t>(index)).get(); }
    // Opens a new drawing or a drawing file as a document that becomes
    // current; applications get kLoadDwgMsg for it. Null with error on
    // failure (nothing changes then).
    AcApDocument* newDocument();
    AcApDocument* openDocument(const std::wstring& path, std::wstring& error);
    // Closes a document: applications get kUnloadDwgMsg for it first. The
    // previous document becomes current.
    void closeDocument(AcApDocument* doc);
    void setCurDocument(AcApDocument* doc);
    void closeAll();
    // Types text into a document's input queue, as if the user typed it.
    void sendStringToExecute(AcApDocument* doc, const ACHAR* text);
    // The stack of resource handles that dialog code pushes around its
    // template lookups (module instances); state only. Prefer
    // AcApResourceHandleScope (below) to calling these in pairs.
    void pushResourceHandle(void* hInstance) { m_resources.push_back(hInstance); }
    void popResourceHandle()
    {
        if (!m_resources.empty())
            m_resources.pop_back();
    }
    void* currentResourceHandle() const { return m_resources.empty() ? nullptr : m_resources.back(); }

private:
    AcApDocument* add(std::unique_ptr<AcApDocument> doc);
    std::vector<std::unique_ptr<AcApDocument>> m_docs;
    AcApDocument* m_current = nullptr;
    int m_untitled = 0;
    std::vector<void*> m_resources;
};
AcApDocManager* acDocManagerPtr();
#define acDocManager acDocManagerPtr()

// A resource handle pushed for the scope's life (a dialog's creation, a
// modal dialog): pushed when created, popped exactly once when destroyed,
// whichever way the scope is left, so the handle below is current again.
// Scopes nest and must end in reverse order (asserted).
class AcApResourceHandleScope {
public:
    explicit AcApResourceHandleScope(void* hInstance) : m_handle(hInstance)
    {
        acDocManager->pushResourceHandle(hInstance);
    }
    ~AcApResourceHandleScope()
    {
        assert(acDocManager->currentResourceHandle() == m_handle);
        acDocManager->popResourceHandle();
    }
    AcApResourceHandleScope(const AcApResourceHandleScope&) = delete;
    AcApResourceHandleScope& operator=(const AcApResourceHandleScope&) = delete;

private:
    [[maybe_unused]] void* m_handle; // read by the assertion only
};

// The current document's database (null without documents).
AcDbDatabase* acdbCurDwg();
