// Slide libraries (.SLB): named slide files behind one directory.
#pragma once

#include "components/slide/SlideFile.h"

#include <filesystem>
#include <string_view>

namespace ctrlsch::slide {

class SlideLibrary {
public:
    struct Entry {
        std::string name;        // as stored (upper case)
        std::uint32_t offset = 0; // absolute, from the start of the library
        std::size_t size = 0;    // up to the next slide or the end of the file
    };

    // Checks the header and the directory; the bytes are copied.
    static SlideResult<SlideLibrary> parse(std::span<const std::uint8_t> data);
    // Reads a library file (a regular file only: a folder, a named pipe or
    // a device is refused at once); missing, when given, tells whether
    // there was nothing at the path.
    static SlideResult<SlideLibrary> readFile(const std::filesystem::path& path, bool* missing = nullptr);

    const std::vector<Entry>& entries() const { return m_entries; }
    std::size_t size() const { return m_entries.size(); }
    // Position of a slide by name, case-insensitively.
    std::optional<std::size_t> find(std::string_view name) const;
    std::span<const std::uint8_t> slideBytes(std::size_t index) const;
    std::optional<std::span<const std::uint8_t>> slideBytes(std::string_view name) const;
    SlideResult<Slide> slide(std::size_t index) const;
    SlideResult<Slide> slide(std::string_view name) const;

private:
    std::vector<std::uint8_t> m_data;
    std::vector<Entry> m_entries;
};

// Collects named slides and writes them as one library.
class SlideLibraryWriter {
public:
    // Names are stored in upper case; fails on an empty name, one of more
    // than 31 characters, a repeated name (in any case) or bytes that are
    // not a slide.
    SlideResult<bool> add(std::string_view name, std::vector<std::uint8_t> slideBytes);
    std::size_t size() const { return m_slides.size(); }
    std::vector<std::uint8_t> bytes() const;
    // Writes to a temporary file next to `path` and renames it over `path`.
    SlideResult<bool> writeFile(const std::filesystem::path& path) const;

private:
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> m_slides;
};

// Replaces `path` with `bytes` through a temporary file and a rename; on
// failure `path` is left as it was.
SlideResult<bool> writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

std::string upperSlideName(std::string_view name);

} // namespace ctrlsch::slide
