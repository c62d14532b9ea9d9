#include "platform/registry/RegistryKey.h"

#include "platform/Error.h"
#include "platform/Text.h"
#include "platform/TextCase.h"
#include "platform/registry/RegistryDatabase.h"

#include <cstring>

namespace platform {

namespace {

constexpr int64_t kRootId = 1;

struct Name {
    std::string spelled; // UTF-8 as given
    std::string folded;  // UTF-8 of the simple case folding
    int64_t units = 0;   // UTF-16 length
};

bool validName(std::u16string_view name, size_t maxLength)
{
    return name.size() <= maxLength && isValidUtf16(name) && name.find(u'\0') == std::u16string_view::npos;
}

std::optional<Name> valueNameOf(std::u16string_view name)
{
    if (!validName(name, kMaxValueNameLength)) {
        setLastError(kErrorInvalidParameter);
        return std::nullopt;
    }
    return Name{utf8FromWide(name), utf8FromWide(foldCase(name)), static_cast<int64_t>(name.size())};
}

// Splits a key path at '\'; the empty path has no components. Empty or overlong components,
// malformed UTF-16 and zeros fail with 87.
std::optional<std::vector<Name>> splitPath(std::u16string_view path)
{
    std::vector<Name> names;
    if (path.empty())
        return names;
    size_t start = 0;
    while (true) {
        const size_t end = path.find(u'\\', start);
        const std::u16string_view part = path.substr(start, end == std::u16string_view::npos ? end : end - start);
        if (part.empty() || !validName(part, kMaxKeyNameLength)) {
            setLastError(kErrorInvalidParameter);
            return std::nullopt;
        }
        names.push_back({utf8FromWide(part), utf8FromWide(foldCase(part)), static_cast<int64_t>(part.size())});
        if (end == std::u16string_view::npos)
            return names;
        start = end + 1;
    }
}

// REQUIRES: inside a transaction.
bool keyAlive(const RegistryDatabase& database, int64_t id)
{
    RegistryStatement select(database, "SELECT 1 FROM keys WHERE id = ?");
    if (!select.ok())
        return false;
    select.bind(1, id);
    switch (select.step()) {
    case RegistryStatement::Step::Row: return true;
    case RegistryStatement::Step::Done: setLastError(kErrorKeyDeleted); return false;
    default: return false;
    }
}

// The child's id, 0 when there is none (last error 2), or -1 on failure. REQUIRES: transaction.
int64_t findChild(const RegistryDatabase& database, int64_t parent, const Name& name)
{
    RegistryStatement select(database, "SELECT id FROM keys WHERE parent = ? AND fold = ?");
    if (!select.ok())
        return -1;
    select.bind(1, parent);
    select.bind(2, name.folded);
    switch (select.step()) {
    case RegistryStatement::Step::Row: return select.integer(0);
    case RegistryStatement::Step::Done: setLastError(kErrorFileNotFound); return 0;
    default: return -1;
    }
}

// The id of the key at path below base, or 0 (last error set). REQUIRES: transaction.
int64_t resolve(const RegistryDatabase& database, int64_t base, const std::vector<Name>& names)
{
    if (!keyAlive(database, base))
        return 0;
    int64_t id = base;
    for (const Name& name : names) {
        id = findChild(database, id, name);
        if (id <= 0)
            return 0;
    }
    return id;
}

std::u16string wideOf(const std::string& utf8) { return wideFromUtf8(utf8); }

std::shared_ptr<RegistryDatabase> databaseOrFail(const std::shared_ptr<RegistryDatabase>& database)
{
    if (!database)
        setLastError(kErrorInvalidHandle);
    return database;
}

} // namespace

RegistryKey::RegistryKey(std::shared_ptr<RegistryDatabase> database, int64_t id)
    : m_database(std::move(database))
    , m_id(id)
{
}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : m_database(std::move(other.m_database))
    , m_id(other.m_id)
{
    other.m_id = 0;
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept
{
    if (this != &other) {
        m_database = std::move(other.m_database);
        m_id = other.m_id;
        other.m_id = 0;
    }
    return *this;
}

RegistryKey::~RegistryKey() = default;

void RegistryKey::close()
{
    m_database.reset();
    m_id = 0;
}

RegistryKey RegistryKey::localMachine()
{
    auto database = RegistryDatabase::current();
    if (!database)
        return {};
    return RegistryKey(std::move(database), kRootId);
}

RegistryKey RegistryKey::open(std::u16string_view path) { return localMachine().openSubkey(path); }

RegistryKey RegistryKey::create(std::u16string_view path, Disposition* disposition)
{
    return localMachine().createSubkey(path, disposition);
}

bool RegistryKey::deleteKey(std::u16string_view path) { return localMachine().deleteSubkey(path); }

RegistryKey RegistryKey::openSubkey(std::u16string_view path) const
{
    if (!databaseOrFail(m_database))
        return {};
    const auto names = splitPath(path);
    if (!names)
        return {};
    int64_t id = 0;
    if (!m_database->transact(RegistryDatabase::Access::Read, [&] {
            id = resolve(*m_database, m_id, *names);
            return id != 0;
        }))
        return {};
    return RegistryKey(m_database, id);
}

RegistryKey RegistryKey::createSubkey(std::u16string_view path, Disposition* disposition) const
{
    if (!databaseOrFail(m_database))
        return {};
    const auto names = splitPath(path);
    if (!names)
        return {};
    int64_t id = 0;
    bool existed = true;
    const bool done = m_database->transact(RegistryDatabase::Access::Write, [&] {
        if (!keyAlive(*m_database, m_id))
            return false;
        id = m_id;
        for (const Name& name : *names) {
            const int64_t child = findChild(*m_database, id, name);
            if (child < 0)
                return false;
            if (child > 0) {
                id = child;
                continue;
            }
            existed = false;
            RegistryStatement insert(*m_database, "INSERT INTO keys(parent, name, fold, units) VALUES(?, ?, ?, ?)");
            if (!insert.ok())
                return false;
            insert.bind(1, id);
            insert.bind(2, name.spelled);
            insert.bind(3, name.folded);
            insert.bind(4, name.units);
            if (!insert.run())
                return false;
            RegistryStatement last(*m_database, "SELECT last_insert_rowid()");
            if (!last.ok() || last.step() != RegistryStatement::Step::Row)
                return false;
            id = last.integer(0);
        }
        return true;
    });
    if (!done)
        return {};
    if (disposition)
        *disposition = existed ? Disposition::Existed : Disposition::Created;
    return RegistryKey(m_database, id);
}

bool RegistryKey::deleteSubkey(std::u16string_view path) const
{
    if (!databaseOrFail(m_database))
        return false;
    const auto names = splitPath(path);
    if (!names)
        return false;
    return m_database->transact(RegistryDatabase::Access::Write, [&] {
        const int64_t id = resolve(*m_database, m_id, *names);
        if (id == 0)
            return false;
        if (id == kRootId) {
            setLastError(kErrorAccessDenied);
            return false;
        }
        // Subkeys and values go with it through the tables' cascades.
        RegistryStatement remove(*m_database, "DELETE FROM keys WHERE id = ?");
        if (!remove.ok())
            return false;
        remove.bind(1, id);
        return remove.run();
    });
}

bool RegistryKey::setValue(std::u16string_view name, uint32_t type, const void* data, size_t size) const
{
    if (!databaseOrFail(m_database))
        return false;
    const auto valueName = valueNameOf(name);
    if (!valueName)
        return false;
    if (size > 0xFFFFFFFFu || (size && !data)) {
        setLastError(kErrorInvalidParameter);
        return false;
    }
    return m_database->transact(RegistryDatabase::Access::Write, [&] {
        if (!keyAlive(*m_database, m_id))
            return false;
        RegistryStatement upsert(*m_database,
                                 "INSERT INTO vals(key, name, fold, units, type, data) VALUES(?, ?, ?, ?, ?, ?) "
                                 "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
        if (!upsert.ok())
            return false;
        upsert.bind(1, m_id);
        upsert.bind(2, valueName->spelled);
        upsert.bind(3, valueName->folded);
        upsert.bind(4, valueName->units);
        upsert.bind(5, static_cast<int64_t>(type));
        upsert.bindBlob(6, data, size);
        return upsert.run();
    });
}

bool RegistryKey::setDword(std::u16string_view name, uint32_t value) const
{
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    return setValue(name, kRegDword, bytes, sizeof bytes);
}

namespace {

void appendWide(std::vector<uint8_t>& out, std::u16string_view text)
{
    for (char16_t unit : text) {
        out.push_back(uint8_t(unit));
        out.push_back(uint8_t(unit >> 8));
    }
    out.push_back(0);
    out.push_back(0);
}

} // namespace

bool RegistryKey::setString(std::u16string_view name, std::u16string_view text) const
{
    std::vector<uint8_t> bytes;
    appendWide(bytes, text);
    return setValue(name, kRegSz, bytes.data(), bytes.size());
}

bool RegistryKey::setMultiString(std::u16string_view name, const std::vector<std::u16string>& strings) const
{
    std::vector<uint8_t> bytes;
    for (const auto& text : strings)
        appendWide(bytes, text);
    appendWide(bytes, u"");
    return setValue(name, kRegMultiSz, bytes.data(), bytes.size());
}

std::optional<RegistryValue> RegistryKey::readValue(std::u16string_view name) const
{
    if (!databaseOrFail(m_database))
        return std::nullopt;
    const auto valueName = valueNameOf(name);
    if (!valueName)
        return std::nullopt;
    RegistryValue value;
    const bool found = m_database->transact(RegistryDatabase::Access::Read, [&] {
        if (!keyAlive(*m_database, m_id))
            return false;
        RegistryStatement select(*m_database, "SELECT type, data FROM vals WHERE key = ? AND fold = ?");
        if (!select.ok())
            return false;
        select.bind(1, m_id);
        select.bind(2, valueName->folded);
        switch (select.step()) {
        case RegistryStatement::Step::Row: {
            value.type = static_cast<uint32_t>(select.integer(0));
            const auto* bytes = static_cast<const uint8_t*>(select.blob(1));
            value.data.assign(bytes, bytes + select.bytes(1));
            return true;
        }
        case RegistryStatement::Step::Done: setLastError(kErrorFileNotFound); return false;
        default: return false;
        }
    });
    if (!found)
        return std::nullopt;
    return value;
}

bool RegistryKey::queryValue(std::u16string_view name, uint32_t* type, void* buffer, uint32_t* size) const
{
    if (buffer && !size) {
        setLastError(kErrorInvalidParameter);
        return false;
    }
    const auto value = readValue(name);
    if (!value)
        return false;
    if (type)
        *type = value->type;
    if (!size)
        return true;
    const auto needed = static_cast<uint32_t>(value->data.size());
    if (buffer && *size < needed) {
        *size = needed;
        setLastError(kErrorMoreData);
        return false;
    }
    if (buffer && needed)
        std::memcpy(buffer, value->data.data(), needed);
    *size = needed;
    return true;
}

bool RegistryKey::deleteValue(std::u16string_view name) const
{
    if (!databaseOrFail(m_database))
        return false;
    const auto valueName = valueNameOf(name);
    if (!valueName)
        return false;
    return m_database->transact(RegistryDatabase::Access::Write, [&] {
        if (!keyAlive(*m_database, m_id))
            return false;
        RegistryStatement remove(*m_database, "DELETE FROM vals WHERE key = ? AND fold = ? RETURNING 1");
        if (!remove.ok())
            return false;
        remove.bind(1, m_id);
        remove.bind(2, valueName->folded);
        switch (remove.step()) {
        case RegistryStatement::Step::Row: return remove.step() == RegistryStatement::Step::Done;
        case RegistryStatement::Step::Done: setLastError(kErrorFileNotFound); return false;
        default: return false;
        }
    });
}

std::optional<std::u16string> RegistryKey::subkeyName(uint32_t index) const
{
    if (!databaseOrFail(m_database))
        return std::nullopt;
    std::u16string name;
    const bool found = m_database->transact(RegistryDatabase::Access::Read, [&] {
        if (!keyAlive(*m_database, m_id))
            return false;
        RegistryStatement select(*m_database,
                                 "SELECT name FROM keys WHERE parent = ? ORDER BY fold LIMIT 1 OFFSET ?");
        if (!select.ok())
            return false;
        select.bind(1, m_id);
        select.bind(2, static_cast<int64_t>(index));
        switch (select.step()) {
        case RegistryStatement::Step::Row: name = wideOf(select.text(0)); return true;
        case RegistryStatement::Step::Done: setLastError(kErrorNoMoreItems); return false;
        default: return false;
        }
    });
    if (!found)
        return std::nullopt;
    return name;
}

bool RegistryKey::enumSubkey(uint32_t index, char16_t* name, uint32_t* count) const
{
    if (!name || !count) {
        setLastError(kErrorInvalidParameter);
        return false;
    }
    const auto found = subkeyName(index);
    if (!found)
        return false;
    if (*count < found->size() + 1) {
        *count = static_cast<uint32_t>(found->size());
        setLastError(kErrorMoreData);
        return false;
    }
    std::memcpy(name, found->data(), found->size() * sizeof(char16_t));
    name[found->size()] = 0;
    *count = static_cast<uint32_t>(found->size());
    return true;
}

std::optional<std::u16string> RegistryKey::valueName(uint32_t index, RegistryValue* value) const
{
    if (!databaseOrFail(m_database))
        return std::nullopt;
    std::u16string name;
    const bool found = m_database->transact(RegistryDatabase::Access::Read, [&] {
        if (!keyAlive(*m_database, m_id))
            return false;
        RegistryStatement select(*m_database,
                                 "SELECT name, type, data FROM vals WHERE key = ? ORDER BY fold LIMIT 1 OFFSET ?");
        if (!select.ok())
            return false;
        select.bind(1, m_id);
        select.bind(2, static_cast<int64_t>(index));
        switch (select.step()) {
        case RegistryStatement::Step::Row:
            name = wideOf(select.text(0));
            if (value) {
                value->type = static_cast<uint32_t>(select.integer(1));
                const auto* bytes = static_cast<const uint8_t*>(select.blob(2));
                value->data.assign(bytes, bytes + select.bytes(2));
            }
            return true;
        case RegistryStatement::Step::Done: setLastError(kErrorNoMoreItems); return false;
        default: return false;
        }
    });
    if (!found)
        return std::nullopt;
    return name;
}

std::optional<RegistryKeyInfo> RegistryKey::queryInfo() const
{
    if (!databaseOrFail(m_database))
        return std::nullopt;
    RegistryKeyInfo info;
    const bool done = m_database->transact(RegistryDatabase::Access::Read, [&] {
        if (!keyAlive(*m_database, m_id))
            return false;
        RegistryStatement keys(*m_database, "SELECT count(*), coalesce(max(units), 0) FROM keys WHERE parent = ?");
        if (!keys.ok())
            return false;
        keys.bind(1, m_id);
        if (keys.step() != RegistryStatement::Step::Row)
            return false;
        info.subkeyCount = static_cast<uint32_t>(keys.integer(0));
        info.maxSubkeyNameLength = static_cast<uint32_t>(keys.integer(1));
        RegistryStatement values(*m_database,
                                 "SELECT count(*), coalesce(max(units), 0), coalesce(max(length(data)), 0) "
                                 "FROM vals WHERE key = ?");
        if (!values.ok())
            return false;
        values.bind(1, m_id);
        if (values.step() != RegistryStatement::Step::Row)
            return false;
        info.valueCount = static_cast<uint32_t>(values.integer(0));
        info.maxValueNameLength = static_cast<uint32_t>(values.integer(1));
        info.maxValueDataSize = static_cast<uint32_t>(values.integer(2));
        return true;
    });
    if (!done)
        return std::nullopt;
    return info;
}

std::optional<std::u16string> RegistryKey::path() const
{
    if (!databaseOrFail(m_database))
        return std::nullopt;
    std::u16string path;
    const bool done = m_database->transact(RegistryDatabase::Access::Read, [&] {
        if (!keyAlive(*m_database, m_id))
            return false;
        int64_t id = m_id;
        while (id != kRootId) {
            RegistryStatement select(*m_database, "SELECT parent, name FROM keys WHERE id = ?");
            if (!select.ok())
                return false;
            select.bind(1, id);
            if (select.step() != RegistryStatement::Step::Row) {
                setLastError(kErrorKeyDeleted);
                return false;
            }
            const std::u16string name = wideOf(select.text(1));
            path = path.empty() ? name : name + u"\\" + path;
            id = select.integer(0);
        }
        return true;
    });
    if (!done)
        return std::nullopt;
    return path;
}

} // namespace platform
