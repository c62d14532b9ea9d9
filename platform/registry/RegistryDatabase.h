// The registry's database connection and statements. Private to platform/registry.
// Failures set lastError() from the one SQLite-to-platform mapping and return false.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace platform {

// The platform code for an SQLite result code.
uint32_t registryErrorFromSqlite(int code);

// One connection per process and device root, shared by every thread and every open key.
class RegistryDatabase {
public:
    // The database of the current device root, opened and laid out on first use; nullptr
    // with the last error set when it cannot be.
    static std::shared_ptr<RegistryDatabase> current();

    enum class Access { Read, Write };
    // Runs body in one transaction: committed when body returns true, rolled back otherwise.
    // Writes wait for other processes up to the busy time-out, then fail with 170.
    bool transact(Access access, const std::function<bool()>& body);

    // Connection for statements made inside body. REQUIRES: inside transact().
    sqlite3* connection() const { return m_connection; }
    // Sets the last error from the connection's latest failure and returns false.
    bool fail(int code) const;

    ~RegistryDatabase();
    RegistryDatabase(const RegistryDatabase&) = delete;
    RegistryDatabase& operator=(const RegistryDatabase&) = delete;

    static constexpr int kBusyTimeoutMs = 15000;

private:
    RegistryDatabase(sqlite3* connection, int processId) : m_connection(connection), m_processId(processId) {}
    static std::shared_ptr<RegistryDatabase> openAt(const std::string& file);
    bool execute(const char* sql) const;

    std::mutex m_lock; // One transaction at a time on the connection.
    sqlite3* m_connection = nullptr;
    int m_processId = 0;
};

// A prepared statement; move-only, finalised in its destructor.
class RegistryStatement {
public:
    RegistryStatement(const RegistryDatabase& database, const char* sql);
    RegistryStatement(const RegistryStatement&) = delete;
    RegistryStatement& operator=(const RegistryStatement&) = delete;
    ~RegistryStatement();

    // False (last error set) when preparing failed.
    bool ok() const { return m_statement != nullptr; }
    void bind(int index, int64_t value);
    void bind(int index, std::string_view text);
    void bindBlob(int index, const void* data, size_t size);

    enum class Step { Row, Done, Failed };
    // Failed sets the last error.
    Step step();
    // Runs a statement that returns no rows.
    bool run();

    int64_t integer(int column) const;
    std::string text(int column) const;
    const void* blob(int column) const;
    size_t bytes(int column) const;

private:
    const RegistryDatabase& m_database;
    sqlite3_stmt* m_statement = nullptr;
};

} // namespace platform
