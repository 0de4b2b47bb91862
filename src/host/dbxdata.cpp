// How objects keep their data small: extended data packed into one buffer
// per object (AcDbXData), extra tags kept only when there are some, and
// names shared by every object that uses them (AcDbSharedName).
#include "host/dbmain.h"

#include <cassert>
#include <cstring>
#include <functional>
#include <mutex>
#include <unordered_set>

namespace {

short readCode(const char* p)
{
    std::int16_t c;
    std::memcpy(&c, p, sizeof c);
    return c;
}

std::uint32_t readLength(const char* p)
{
    std::uint32_t n;
    std::memcpy(&n, p, sizeof n);
    return n;
}

double readDouble(const char* p)
{
    double d;
    std::memcpy(&d, p, sizeof d);
    return d;
}

template <class T>
void put(std::string& out, T v)
{
    char b[sizeof v];
    std::memcpy(b, &v, sizeof v);
    out.append(b, sizeof v);
}

// The whole record at p: code, value.
std::size_t recordBytes(const char* p)
{
    const short code = readCode(p);
    if (AcDbXData::isTextCode(code))
        return 2 + 4 + readLength(p + 2);
    return 2 + AcDbXData::fixedValueBytes(code);
}

#ifndef NDEBUG
// Records that end exactly at the end, the first naming an application,
// each application named once.
bool wellFormed(std::string_view body)
{
    const char* p = body.data();
    const char* end = p + body.size();
    std::vector<std::string_view> apps;
    bool first = true;
    while (p < end) {
        const short code = readCode(p);
        if (!AcDbXData::isTextCode(code) && AcDbXData::fixedValueBytes(code) == 0)
            return false;
        if (first && code != 1001)
            return false;
        if (code == 1001) {
            const std::string_view app(p + 6, readLength(p + 2));
            for (std::string_view a : apps)
                if (a == app)
                    return false;
            apps.push_back(app);
        }
        first = false;
        p += recordBytes(p);
    }
    return p == end;
}
#endif

} // namespace

std::size_t AcDbXData::fixedValueBytes(short code)
{
    if (code >= 1010 && code <= 1013)
        return 24;
    if (code >= 1040 && code <= 1042)
        return 8;
    if (code == 1070 || code == 1071)
        return 4;
    return 0;
}

short AcDbXData::Item::code() const
{
    return readCode(m_p);
}

std::string_view AcDbXData::Item::text() const
{
    if (!isTextCode(code()))
        return {};
    return std::string_view(m_p + 6, readLength(m_p + 2));
}

double AcDbXData::Item::real() const
{
    return fixedValueBytes(code()) == 8 ? readDouble(m_p + 2) : 0.0;
}

std::int32_t AcDbXData::Item::integer() const
{
    if (fixedValueBytes(code()) != 4)
        return 0;
    std::int32_t v;
    std::memcpy(&v, m_p + 2, sizeof v);
    return v;
}

AcGePoint3d AcDbXData::Item::point() const
{
    if (fixedValueBytes(code()) != 24)
        return AcGePoint3d();
    return AcGePoint3d(readDouble(m_p + 2), readDouble(m_p + 10), readDouble(m_p + 18));
}

AcDbXItem AcDbXData::Item::item() const
{
    AcDbXItem out;
    out.code = code();
    switch (fixedValueBytes(out.code)) {
    case 24: out.value = point(); break;
    case 8: out.value = real(); break;
    case 4: out.value = integer(); break;
    default: out.value = std::string(text()); break;
    }
    return out;
}

AcDbXData::Items::iterator& AcDbXData::Items::iterator::operator++()
{
    m_p += recordBytes(m_p);
    return *this;
}

std::size_t AcDbXData::Items::size() const
{
    std::size_t n = 0;
    for (const char* p = m_begin; p < m_end; p += recordBytes(p))
        ++n;
    return n;
}

AcDbXGroup AcDbXData::iterator::operator*() const
{
    const char* items = m_p + recordBytes(m_p);
    const char* end = items;
    while (end < m_end && readCode(end) != 1001)
        end += recordBytes(end);
    return AcDbXGroup{std::string_view(m_p + 6, readLength(m_p + 2)), Items(items, end)};
}

AcDbXData::iterator& AcDbXData::iterator::operator++()
{
    m_p += recordBytes(m_p);
    while (m_p < m_end && readCode(m_p) != 1001)
        m_p += recordBytes(m_p);
    return *this;
}

AcDbXData::AcDbXData(const AcDbXData& o)
{
    adopt(std::string_view(o.body(), o.bodySize()));
}

AcDbXData& AcDbXData::operator=(const AcDbXData& o)
{
    if (this != &o)
        adopt(std::string_view(o.body(), o.bodySize()));
    return *this;
}

AcDbXData& AcDbXData::operator=(AcDbXData&& o) noexcept
{
    if (this != &o) {
        delete[] m_data;
        m_data = o.m_data;
        o.m_data = nullptr;
    }
    return *this;
}

std::size_t AcDbXData::bodySize() const
{
    return m_data ? readLength(m_data) : 0;
}

std::size_t AcDbXData::size() const
{
    std::size_t n = 0;
    for (auto it = begin(); it != end(); ++it)
        ++n;
    return n;
}

void AcDbXData::clear()
{
    delete[] m_data;
    m_data = nullptr;
}

void AcDbXData::adopt(std::string_view records)
{
    assert(wellFormed(records));
    char* data = nullptr;
    if (!records.empty()) {
        data = new char[4 + records.size()];
        const auto n = static_cast<std::uint32_t>(records.size());
        std::memcpy(data, &n, sizeof n);
        std::memcpy(data + 4, records.data(), records.size());
    }
    delete[] m_data;
    m_data = data;
}

void AcDbXData::assign(const std::vector<AcDbXAppData>& groups)
{
    AcDbXDataBuilder b;
    for (const AcDbXAppData& g : groups) {
        b.app(g.app);
        for (const AcDbXItem& it : g.items) {
            if (const auto* s = std::get_if<std::string>(&it.value))
                b.text(it.code, *s);
            else if (const auto* d = std::get_if<double>(&it.value))
                b.real(it.code, *d);
            else if (const auto* i = std::get_if<std::int32_t>(&it.value))
                b.integer(it.code, *i);
            else if (const auto* p = std::get_if<AcGePoint3d>(&it.value))
                b.point(it.code, *p);
        }
    }
    b.finish(*this);
}

std::vector<AcDbXAppData> AcDbXData::unpack() const
{
    std::vector<AcDbXAppData> out;
    for (const AcDbXGroup& g : *this) {
        AcDbXAppData& d = out.emplace_back();
        d.app = std::string(g.app);
        for (const Item it : g.items)
            d.items.push_back(it.item());
    }
    return out;
}

void AcDbXDataBuilder::startRecord(short code)
{
    put(m_buf, static_cast<std::int16_t>(code));
}

void AcDbXDataBuilder::app(std::string_view name)
{
    if (!m_segments.empty())
        m_segments.back().end = m_buf.size();
    std::size_t group = m_groups.size();
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        const auto [at, len] = m_groups[g];
        if (std::string_view(m_buf).substr(at, len) == name) {
            group = g;
            break;
        }
    }
    if (group == m_groups.size()) {
        startRecord(1001);
        put(m_buf, static_cast<std::uint32_t>(name.size()));
        m_groups.emplace_back(m_buf.size(), name.size());
        m_buf.append(name);
    }
    m_segments.push_back(Segment{group, m_buf.size(), m_buf.size()});
}

void AcDbXDataBuilder::text(short code, std::string_view value)
{
    assert(AcDbXData::isTextCode(code) && code != 1001 && hasApp());
    startRecord(code);
    put(m_buf, static_cast<std::uint32_t>(value.size()));
    m_buf.append(value);
}

void AcDbXDataBuilder::real(short code, double value)
{
    assert(AcDbXData::fixedValueBytes(code) == 8 && hasApp());
    startRecord(code);
    put(m_buf, value);
}

void AcDbXDataBuilder::integer(short code, std::int32_t value)
{
    assert(AcDbXData::fixedValueBytes(code) == 4 && hasApp());
    startRecord(code);
    put(m_buf, value);
}

void AcDbXDataBuilder::point(short code, const AcGePoint3d& p)
{
    assert(AcDbXData::fixedValueBytes(code) == 24 && hasApp());
    startRecord(code);
    put(m_buf, p.x);
    put(m_buf, p.y);
    put(m_buf, p.z);
}

void AcDbXDataBuilder::finish(AcDbXData& out)
{
    if (!m_segments.empty())
        m_segments.back().end = m_buf.size();
    // Applications in the order they were first named, each with its
    // segments (an application named again continues its first group).
    bool inOrder = true;
    for (std::size_t i = 0; i < m_segments.size(); ++i)
        inOrder = inOrder && m_segments[i].group == i;
    if (inOrder) {
        out.adopt(m_buf);
    } else {
        m_out.clear();
        for (std::size_t g = 0; g < m_groups.size(); ++g) {
            const auto [at, len] = m_groups[g];
            m_out.append(m_buf, at - 6, len + 6);
            for (const Segment& s : m_segments)
                if (s.group == g)
                    m_out.append(m_buf, s.begin, s.end - s.begin);
        }
        out.adopt(m_out);
    }
    clear();
}

void AcDbXDataBuilder::clear()
{
    m_buf.clear();
    m_groups.clear();
    m_segments.clear();
}

const std::vector<AcDbExtraTag> AcDbObject::kNoExtraTags;

std::vector<AcDbExtraTag>& AcDbObject::extraTags()
{
    if (!m_extra)
        m_extra = std::make_unique<std::vector<AcDbExtraTag>>();
    return *m_extra;
}

const std::string& AcDbSharedName::empty()
{
    static const std::string& none = of({});
    return none;
}

const std::string& AcDbSharedName::of(std::string_view text)
{
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    static std::mutex mutex;
    // Never freed: names outlive every object, also those destroyed at exit.
    static auto* pool = new std::unordered_set<std::string, Hash, std::equal_to<>>();
    const std::lock_guard<std::mutex> lock(mutex);
    auto it = pool->find(text);
    if (it == pool->end())
        it = pool->emplace(text).first;
    return *it;
}
