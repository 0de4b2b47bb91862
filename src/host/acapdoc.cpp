#include "host/acapdoc.h"

#include "host/acrx.h"
#include "host/dbmain.h"
#include "host/hostcall.h"
#include "host/hostfile.h"

#include <algorithm>
#include <cstdlib>

AcApDocument::AcApDocument(std::unique_ptr<AcDbDatabase> db) : m_db(std::move(db))
{
    host::initSysvars(*this);
}

AcApDocument::~AcApDocument()
{
    for (auto& [name, rb] : m_sysvars)
        if (rb.restype == RTSTR)
            std::free(rb.resval.rstring);
}

std::wstring AcApDocument::docTitle() const
{
    const std::size_t slash = m_fileName.find_last_of(L"/\\");
    return slash == std::wstring::npos ? m_fileName : m_fileName.substr(slash + 1);
}

AcApDocManager* acDocManagerPtr()
{
    static AcApDocManager manager;
    return &manager;
}

AcDbDatabase* acdbCurDwg()
{
    AcApDocument* doc = acDocManager->curDocument();
    return doc ? doc->database() : nullptr;
}

AcApDocument* AcApDocManager::add(std::unique_ptr<AcApDocument> doc)
{
    m_docs.push_back(std::move(doc));
    setCurDocument(m_docs.back().get());
    acrxSendToApps(AcRx::kLoadDwgMsg);
    return m_current;
}

AcApDocument* AcApDocManager::newDocument()
{
    auto doc = std::make_unique<AcApDocument>(std::make_unique<AcDbDatabase>());
    doc->setFileName(L"Drawing" + std::to_wstring(++m_untitled) + L".dwg");
    return add(std::move(doc));
}

AcApDocument* AcApDocManager::openDocument(const std::wstring& path, std::wstring& error)
{
    auto db = std::make_unique<AcDbDatabase>(false);
    if (db->readDwgFile(path.c_str()) != Acad::eOk) {
        error = db->lastError();
        return nullptr;
    }
    // What a killed save of this drawing left beside it goes now.
    hostRemoveLeftoverTemporaryFiles(wideToUtf8(db->originalFileName()));
    auto doc = std::make_unique<AcApDocument>(std::move(db));
    doc->setFileName(doc->database()->originalFileName());
    return add(std::move(doc));
}

void AcApDocManager::setCurDocument(AcApDocument* doc)
{
    m_current = doc;
    acdbHostApplicationServices()->setWorkingDatabase(doc ? doc->database() : nullptr);
}

void AcApDocManager::closeDocument(AcApDocument* doc)
{
    auto it = std::find_if(m_docs.begin(), m_docs.end(), [&](const auto& d) { return d.get() == doc; });
    if (it == m_docs.end())
        return;
    AcApDocument* previous = m_current;
    setCurDocument(doc);
    acrxSendToApps(AcRx::kUnloadDwgMsg);
    const std::ptrdiff_t index = it - m_docs.begin();
    m_docs.erase(it);
    if (previous != doc)
        setCurDocument(previous);
    else
        setCurDocument(m_docs.empty() ? nullptr : m_docs[static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, index - 1))].get());
}

void AcApDocManager::closeAll()
{
    while (!m_docs.empty())
        closeDocument(m_docs.back().get());
    m_untitled = 0;
}

void AcApDocManager::sendStringToExecute(AcApDocument* doc, const ACHAR* text)
{
    if (!doc || !text)
        return;
    doc->pendingInput() += wideToUtf8(text);
}
