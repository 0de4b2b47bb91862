// Slide files and slide libraries, from bytes and from a path.
#include "fuzz_checks.h"
#include "scratch.h"

#include "components/NorvexSldManger.h"
#include "components/slide/SlideLibrary.h"
#include "host/adsdefs.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace fuzzcheck {

namespace {

using ctrlsch::slide::SlideLibrary;

// Slides drawn into bitmaps per library: enough to reach every kind of
// record without making a library of thousands of slides slow.
constexpr std::size_t kDrawnSlides = 8;

std::span<const std::uint8_t> asBytes(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

} // namespace

std::string slide(std::string_view text)
{
    const auto bytes = asBytes(text);
    auto one = ctrlsch::slide::parseSlide(bytes);
    if (!one.ok() && one.error().empty())
        return "a refused slide without a message";
    if (one.ok()) {
        // Whatever parses and fits the screen survives a round trip.
        auto again = ctrlsch::slide::encodeSlide(one.value());
        if (again.ok()) {
            auto back = ctrlsch::slide::parseSlide(again.value());
            if (!back.ok())
                return "an encoded slide does not parse: " + back.error();
            if (back.value().primitives != one.value().primitives)
                return "an encoded slide reads back with other vectors";
        }
    }
    auto lib = SlideLibrary::parse(bytes);
    if (!lib.ok())
        return lib.error().empty() ? "a refused slide library without a message" : std::string();
    for (std::size_t i = 0; i < lib.value().size(); ++i) {
        const SlideLibrary::Entry& e = lib.value().entries()[i];
        if (lib.value().slideBytes(i).size() != e.size)
            return "a slide's bytes are not its directory size";
        if (e.size > 0 && static_cast<std::size_t>(e.offset) + e.size > bytes.size())
            return "a slide reaches past the end of its library";
        (void)lib.value().slide(i);
        const auto found = lib.value().find(e.name);
        if (!found || lib.value().entries()[*found].name != e.name)
            return "a slide is not found by its name";
    }
    return {};
}

std::string slideFile(std::string_view text)
{
    const std::string path = writeScratch("LIB.SLB", text);
    if (path.empty())
        return {};
    auto fromBytes = SlideLibrary::parse(asBytes(text));
    auto fromFile = SlideLibrary::readFile(path);
    if (fromFile.ok() != fromBytes.ok())
        return "a slide library reads differently from its file and from bytes";
    if (!fromFile.ok())
        return fromFile.error().empty() ? "a refused slide library file without a message" : std::string();

    // The module's readers, with the backslashes its paths carry.
    std::wstring hostPath = utf8ToWide(path);
    for (wchar_t& c : hostPath)
        if (c == L'/')
            c = L'\\';
    CSlbMan manager;
    if (!manager.OnOpenDocument(hostPath.c_str()))
        return "CSlbMan does not open a library that reads";
    CSlideLibraryData data;
    const int count = data.ReadDataFromFileW(hostPath.c_str());
    if (count < 0 || static_cast<std::size_t>(count) != fromFile.value().size() || data.GetSlideCount() != count)
        return "CSlideLibraryData counts other slides than the library holds";

    CBitmap cellBitmap;
    cellBitmap.CreateBitmap(64, 48);
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap* old = dc.SelectObject(&cellBitmap);
    CGraph graph;
    graph.m_pDC = &dc;
    for (std::size_t i = 0; i < fromFile.value().size() && i < kDrawnSlides; ++i) {
        const SlideLibrary::Entry& e = fromFile.value().entries()[i];
        const std::wstring name = utf8ToWide(e.name);
        if (wideToUtf8(name) != e.name)
            continue; // a name in another code page: CSlbMan looks names up as UTF-8
        const long size = manager.GetSlideSize(name.c_str());
        const auto byName = fromFile.value().slideBytes(e.name);
        if (!byName || static_cast<std::size_t>(size) != byName->size())
            return "CSlbMan gives another size than the library for a slide";
        if (size > 0) {
            std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size));
            if (!manager.GetSlideData(name.c_str(), buffer.data()))
                return "CSlbMan gives no bytes for a slide it has a size for";
            if (!std::equal(buffer.begin(), buffer.end(), byName->begin()))
                return "CSlbMan gives other bytes than the library for a slide";
            const bool drawn = graph.Draw(buffer.data(), size, 64, 48, 0, 0);
            if (drawn != ctrlsch::slide::parseSlide(buffer).ok())
                return "CGraph draws a slide that does not parse, or refuses one that does";
        }
        std::unique_ptr<CBitmap> bitmap(data.MakeBitMapFromIndex(static_cast<short>(i), 24, 18));
        if (bitmap && !fromFile.value().slide(i).ok())
            return "a bitmap made of a slide that does not parse";
    }
    graph.HighLightBlock(CRect(0, 0, 64, 48), 4, 3, 0, 5);
    dc.SelectObject(old);
    return {};
}

} // namespace fuzzcheck
