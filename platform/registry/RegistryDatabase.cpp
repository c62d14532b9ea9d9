#include "platform/registry/RegistryDatabase.h"

#include "platform/DeviceRoot.h"
#include "platform/Error.h"
#include "platform/registry/RegistryKey.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace platform {

uint32_t registryErrorFromSqlite(int code)
{
    switch (code & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return kErrorSuccess;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return kErrorBusy;
    case SQLITE_NOMEM: return kErrorOutOfMemory;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return kErrorAccessDenied;
    case SQLITE_IOERR: return kErrorRegistryIoFailed;
    case SQLITE_CORRUPT: return kErrorRegistryCorrupt;
    case SQLITE_NOTADB: return kErrorBadDatabase;
    case SQLITE_FULL: return kErrorDiskFull;
    case SQLITE_CANTOPEN: return kErrorCantOpenKey;
    case SQLITE_TOOBIG: return kErrorInvalidParameter;
    case SQLITE_CONSTRAINT: return kErrorAlreadyExists;
    default: return kErrorInternalError;
    }
}

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,"
    "  name TEXT NOT NULL, fold TEXT NOT NULL, units INTEGER NOT NULL,"
    "  UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS vals("
    "  key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,"
    "  name TEXT NOT NULL, fold TEXT NOT NULL, units INTEGER NOT NULL,"
    "  type INTEGER NOT NULL, data BLOB NOT NULL,"
    "  PRIMARY KEY(key, fold)) WITHOUT ROWID;"
    "INSERT OR IGNORE INTO keys(id, parent, name, fold, units) VALUES(1, NULL, '', '', 0);";

std::mutex g_currentLock;
std::shared_ptr<RegistryDatabase> g_current; // Guarded by g_currentLock.
std::string g_currentFile;                   // Guarded by g_currentLock.

} // namespace

std::shared_ptr<RegistryDatabase> RegistryDatabase::current()
{
    const std::string file = DeviceRoot::stateFolder() + "/registry.db";
    std::lock_guard guard(g_currentLock);
    if (g_current && g_currentFile == file && g_current->m_processId == ::getpid())
        return g_current;
    if (g_current && g_current->m_processId != ::getpid()) {
        // A forked child must not touch the parent's connection, not even to close it.
        new std::shared_ptr<RegistryDatabase>(std::move(g_current));
    }
    auto database = openAt(file);
    if (!database)
        return nullptr;
    g_current = database;
    g_currentFile = file;
    return database;
}

std::shared_ptr<RegistryDatabase> RegistryDatabase::openAt(const std::string& file)
{
    // Created private before SQLite sees it: the file holds protected account data.
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        failWithErrno(errno);
        return nullptr;
    }
    ::close(fd);

    sqlite3* connection = nullptr;
    const int opened = sqlite3_open_v2(file.c_str(), &connection,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    std::shared_ptr<RegistryDatabase> database(new RegistryDatabase(connection, ::getpid()));
    if (opened != SQLITE_OK) {
        database->fail(opened);
        return nullptr;
    }
    sqlite3_extended_result_codes(connection, 1);
    sqlite3_busy_timeout(connection, kBusyTimeoutMs);
    // WAL lets readers go on while a writer commits; FULL syncs the log at every commit, so a
    // completed write survives a crash of the process and of the machine.
    if (!database->execute("PRAGMA journal_mode=WAL") || !database->execute("PRAGMA synchronous=FULL")
        || !database->execute("PRAGMA foreign_keys=ON"))
        return nullptr;
    const bool laidOut = database->transact(Access::Write, [&] { return database->execute(kSchema); });
    if (!laidOut)
        return nullptr;
    return database;
}

RegistryDatabase::~RegistryDatabase()
{
    if (m_connection)
        sqlite3_close_v2(m_connection);
}

bool RegistryDatabase::fail(int code) const
{
    setLastError(registryErrorFromSqlite(code));
    return false;
}

bool RegistryDatabase::execute(const char* sql) const
{
    const int result = sqlite3_exec(m_connection, sql, nullptr, nullptr, nullptr);
    return result == SQLITE_OK || fail(result);
}

bool RegistryDatabase::transact(Access access, const std::function<bool()>& body)
{
    if (m_processId != ::getpid()) {
        setLastError(kErrorInvalidHandle);
        return false;
    }
    std::lock_guard guard(m_lock);
    if (!execute(access == Access::Write ? "BEGIN IMMEDIATE" : "BEGIN"))
        return false;
    if (!body()) {
        const uint32_t error = lastError();
        sqlite3_exec(m_connection, "ROLLBACK", nullptr, nullptr, nullptr);
        setLastError(error);
        return false;
    }
    const int committed = sqlite3_exec(m_connection, "COMMIT", nullptr, nullptr, nullptr);
    if (committed != SQLITE_OK) {
        fail(committed);
        const uint32_t error = lastError();
        if (!sqlite3_get_autocommit(m_connection))
            sqlite3_exec(m_connection, "ROLLBACK", nullptr, nullptr, nullptr);
        setLastError(error);
        return false;
    }
    setLastError(kErrorSuccess);
    return true;
}

RegistryStatement::RegistryStatement(const RegistryDatabase& database, const char* sql)
    : m_database(database)
{
    const int result = sqlite3_prepare_v2(database.connection(), sql, -1, &m_statement, nullptr);
    if (result != SQLITE_OK) {
        database.fail(result);
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
}

RegistryStatement::~RegistryStatement() { sqlite3_finalize(m_statement); }

void RegistryStatement::bind(int index, int64_t value) { sqlite3_bind_int64(m_statement, index, value); }

void RegistryStatement::bind(int index, std::string_view text)
{
    sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void RegistryStatement::bindBlob(int index, const void* data, size_t size)
{
    // A null pointer would store SQL NULL; an empty value is an empty blob.
    static const char kEmpty = 0;
    sqlite3_bind_blob64(m_statement, index, size ? data : &kEmpty, size, SQLITE_TRANSIENT);
}

RegistryStatement::Step RegistryStatement::step()
{
    const int result = sqlite3_step(m_statement);
    if (result == SQLITE_ROW)
        return Step::Row;
    if (result == SQLITE_DONE)
        return Step::Done;
    m_database.fail(result);
    return Step::Failed;
}

bool RegistryStatement::run() { return step() != Step::Failed; }

int64_t RegistryStatement::integer(int column) const { return sqlite3_column_int64(m_statement, column); }

std::string RegistryStatement::text(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return text ? std::string(text, sqlite3_column_bytes(m_statement, column)) : std::string();
}

const void* RegistryStatement::blob(int column) const { return sqlite3_column_blob(m_statement, column); }

size_t RegistryStatement::bytes(int column) const { return sqlite3_column_bytes(m_statement, column); }

} // namespace platform
