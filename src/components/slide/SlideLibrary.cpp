#include "host/hostfile.h"
#include "components/slide/SlideLibrary.h"

#include "components/NorvexCase.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <unistd.h>

namespace ctrlsch::slide {

namespace {

constexpr char kLibraryHeader[] = "AutoCAD Slide Library 1.0\r\n\x1a\0\0\0"; // plus its own NUL
constexpr std::size_t kLibraryHeaderSize = 32;
constexpr std::size_t kEntrySize = 36;
constexpr std::size_t kNameSize = 32;

SlideResult<SlideLibrary> fail(std::string m) { return SlideResult<SlideLibrary>::failure(std::move(m)); }

} // namespace

std::string upperSlideName(std::string_view name)
{
    return UpperStr(std::string(name));
}

SlideResult<SlideLibrary> SlideLibrary::parse(std::span<const std::uint8_t> data)
{
    if (data.size() < kLibraryHeaderSize || std::memcmp(data.data(), kLibraryHeader, kLibraryHeaderSize) != 0)
        return fail("not a slide library: header missing");
    SlideLibrary lib;
    std::set<std::string> names;
    std::size_t pos = kLibraryHeaderSize;
    for (;;) {
        if (data.size() - pos < kEntrySize)
            return fail("slide library directory not terminated");
        const auto* name = reinterpret_cast<const char*>(data.data() + pos);
        const std::size_t len = strnlen(name, kNameSize);
        if (len == kNameSize)
            return fail("slide library: name not terminated in entry " + std::to_string(lib.m_entries.size()));
        if (len == 0)
            break;
        Entry e;
        e.name.assign(name, len);
        const std::uint8_t* o = data.data() + pos + kNameSize;
        e.offset = static_cast<std::uint32_t>(o[0]) | (static_cast<std::uint32_t>(o[1]) << 8) |
                   (static_cast<std::uint32_t>(o[2]) << 16) | (static_cast<std::uint32_t>(o[3]) << 24);
        if (!names.insert(upperSlideName(e.name)).second)
            return fail("slide library: name " + e.name + " appears twice");
        lib.m_entries.push_back(std::move(e));
        pos += kEntrySize;
    }
    const std::size_t directoryEnd = pos + kEntrySize;
    std::vector<std::uint32_t> offsets;
    for (const Entry& e : lib.m_entries) {
        if (e.offset >= data.size())
            return fail("slide library: slide " + e.name + " starts outside the file");
        if (e.offset < directoryEnd)
            return fail("slide library: slide " + e.name + " overlaps the directory");
        offsets.push_back(e.offset);
    }
    std::sort(offsets.begin(), offsets.end());
    if (std::adjacent_find(offsets.begin(), offsets.end()) != offsets.end())
        return fail("slide library: two slides share an offset");
    for (Entry& e : lib.m_entries) {
        auto next = std::upper_bound(offsets.begin(), offsets.end(), e.offset);
        e.size = (next == offsets.end() ? data.size() : *next) - e.offset;
    }
    lib.m_data.assign(data.begin(), data.end());
    return SlideResult<SlideLibrary>::success(std::move(lib));
}

SlideResult<SlideLibrary> SlideLibrary::readFile(const std::filesystem::path& path, bool* missing)
{
    std::string bytes;
    const HostFileRead read = hostReadFile(path.string(), bytes);
    if (missing)
        *missing = read.missing;
    if (!read)
        return fail(read.error);
    auto r = parse(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    if (!r.ok())
        return fail(path.string() + ": " + r.error());
    return r;
}

std::optional<std::size_t> SlideLibrary::find(std::string_view name) const
{
    const std::string key = upperSlideName(name);
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (upperSlideName(m_entries[i].name) == key)
            return i;
    return std::nullopt;
}

std::span<const std::uint8_t> SlideLibrary::slideBytes(std::size_t index) const
{
    if (index >= m_entries.size())
        return {};
    return std::span<const std::uint8_t>(m_data).subspan(m_entries[index].offset, m_entries[index].size);
}

std::optional<std::span<const std::uint8_t>> SlideLibrary::slideBytes(std::string_view name) const
{
    auto i = find(name);
    if (!i)
        return std::nullopt;
    return slideBytes(*i);
}

SlideResult<Slide> SlideLibrary::slide(std::size_t index) const
{
    if (index >= m_entries.size())
        return SlideResult<Slide>::failure("no slide at position " + std::to_string(index));
    auto r = parseSlide(slideBytes(index));
    if (!r.ok())
        return SlideResult<Slide>::failure("slide " + m_entries[index].name + ": " + r.error());
    return r;
}

SlideResult<Slide> SlideLibrary::slide(std::string_view name) const
{
    auto i = find(name);
    if (!i)
        return SlideResult<Slide>::failure("no slide named " + std::string(name));
    return slide(*i);
}

SlideResult<bool> SlideLibraryWriter::add(std::string_view name, std::vector<std::uint8_t> slideBytes)
{
    using R = SlideResult<bool>;
    std::string upper = upperSlideName(name);
    if (upper.empty() || upper.size() >= kNameSize)
        return R::failure("slide name must have 1 to 31 characters");
    if (upper.find('\0') != std::string::npos)
        return R::failure("slide name contains a NUL");
    for (const auto& s : m_slides)
        if (s.first == upper)
            return R::failure("slide name " + upper + " used twice");
    auto parsed = parseSlide(slideBytes);
    if (!parsed.ok())
        return R::failure("slide " + upper + ": " + parsed.error());
    m_slides.emplace_back(std::move(upper), std::move(slideBytes));
    return R::success(true);
}

std::vector<std::uint8_t> SlideLibraryWriter::bytes() const
{
    std::vector<std::uint8_t> out(kLibraryHeader, kLibraryHeader + kLibraryHeaderSize);
    std::size_t offset = kLibraryHeaderSize + kEntrySize * (m_slides.size() + 1);
    for (const auto& [name, data] : m_slides) {
        std::uint8_t entry[kEntrySize] = {};
        std::memcpy(entry, name.data(), name.size());
        for (int i = 0; i < 4; ++i)
            entry[kNameSize + i] = static_cast<std::uint8_t>(offset >> (8 * i));
        out.insert(out.end(), entry, entry + kEntrySize);
        offset += data.size();
    }
    out.resize(out.size() + kEntrySize, 0);
    for (const auto& s : m_slides)
        out.insert(out.end(), s.second.begin(), s.second.end());
    return out;
}

SlideResult<bool> SlideLibraryWriter::writeFile(const std::filesystem::path& path) const
{
    return writeFileAtomically(path, bytes());
}

SlideResult<bool> writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes)
{
    std::string error;
    if (!hostWriteFileAtomically(path.string(),
                                 std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error))
        return SlideResult<bool>::failure(error);
    return SlideResult<bool>::success(true);
}

} // namespace ctrlsch::slide
