// A table of shared objects named by 1-based handles, as clients see them: at most 1024
// entries, freed slots reused last-freed-first. Entries hold counted references (boost
// intrusive pointers). Safe for concurrent use; the lock is held only inside each call.
#pragma once

#include <boost/intrusive_ptr.hpp>
#include <cstdint>
#include <mutex>
#include <vector>

namespace Ntlm {

template <class T> class HandleTable {
public:
    using Ref = boost::intrusive_ptr<T>;
    static constexpr uint32_t kMaxEntries = 1024;

    HandleTable() = default;
    HandleTable(const HandleTable&) = delete;
    HandleTable& operator=(const HandleTable&) = delete;
    // Drops every entry's reference; the objects may go on living in other hands.
    ~HandleTable() { clear(); }

    // The 1-based handle of the new entry; 0 for a null object or a full table.
    uint32_t insert(Ref object)
    {
        if (!object)
            return 0;
        std::lock_guard guard(m_lock);
        if (m_freeHead != 0) {
            const uint32_t index = m_freeHead;
            Entry& entry = m_entries[index - 1];
            m_freeHead = entry.nextFree;
            entry.nextFree = 0;
            entry.object = std::move(object);
            return index;
        }
        if (m_entries.size() >= kMaxEntries)
            return 0;
        if (m_entries.size() == m_entries.capacity())
            m_entries.reserve(std::min<size_t>(m_entries.size() + 1 + 10, kMaxEntries));
        m_entries.push_back(Entry{std::move(object), 0});
        return static_cast<uint32_t>(m_entries.size());
    }

    // A new reference to the entry's object; null for 0, an index beyond the table or a free slot.
    Ref lookup(uint32_t index) const
    {
        std::lock_guard guard(m_lock);
        if (index == 0 || index > m_entries.size())
            return nullptr;
        return m_entries[index - 1].object;
    }

    // Takes the entry's reference out and frees the slot; null when there was none. Release the
    // result after the call, outside the table's lock.
    Ref remove(uint32_t index)
    {
        std::lock_guard guard(m_lock);
        if (index == 0 || index > m_entries.size() || !m_entries[index - 1].object)
            return nullptr;
        Entry& entry = m_entries[index - 1];
        Ref taken = std::move(entry.object);
        entry.object = nullptr;
        entry.nextFree = m_freeHead;
        m_freeHead = index;
        return taken;
    }

    // Drops every reference; the last release of each happens outside the lock.
    void clear()
    {
        std::vector<Entry> entries;
        {
            std::lock_guard guard(m_lock);
            entries.swap(m_entries);
            m_freeHead = 0;
        }
    }

    uint32_t size() const
    {
        std::lock_guard guard(m_lock);
        return static_cast<uint32_t>(m_entries.size());
    }

private:
    struct Entry {
        Ref object;
        uint32_t nextFree = 0; // 1-based; 0 ends the free list
    };

    mutable std::mutex m_lock;
    std::vector<Entry> m_entries; // Guarded by m_lock.
    uint32_t m_freeHead = 0;      // Guarded by m_lock.
};

} // namespace Ntlm
