#include "baselib/plugins/InterfaceId.h"

#include "baselib/exceptions/BaseMessages.h"
#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/platform/Console.h"
#include "baselib/threading/Mutex.h"
#include "baselib/threading/ProcessWide.h"

#include <climits>
#include <map>
#include <string>

namespace ObjectFactory::Internal {

namespace {

constexpr unsigned int firstId = 1;

class UniqueIdMap {
public:
    UniqueIdMap() { KelConsole::writeTraceLine(L"ObjectFactory::Internal::UniqueIdMap::UniqueIdMap"); }
    UniqueIdMap(const UniqueIdMap&) = delete;
    UniqueIdMap& operator=(const UniqueIdMap&) = delete;

    int create(const KelBase::TypeInfo& type)
    {
        const Threading::ScopedLock lock(m_mutex);
        const auto [position, inserted] = m_ids.emplace(key(type), 0);
        if (inserted) {
            position->second = static_cast<int>(m_nextId);
            m_nextId = m_nextId == UINT_MAX ? firstId : m_nextId + 1;
        }
        return position->second;
    }

    bool find(const KelBase::TypeInfo& type, int& id)
    {
        const Threading::ScopedLock lock(m_mutex);
        const auto position = m_ids.find(key(type));
        if (position == m_ids.end())
            return false;
        id = position->second;
        return true;
    }

    void release(const KelBase::TypeInfo& type)
    {
        const Threading::ScopedLock lock(m_mutex);
        m_ids.erase(key(type));
    }

private:
    // Types are kept by their mangled name, which is how the run-time library compares
    // them across modules, and as a copy: the type description of an interface first
    // registered by a plug-in goes away when that plug-in is unloaded.
    static std::string key(const KelBase::TypeInfo& type) { return type.get().name(); }

    Threading::Mutex m_mutex;
    std::map<std::string, int> m_ids;
    unsigned int m_nextId = firstId;
};

UniqueIdMap& idMap()
{
    // Plug-ins release their interfaces from static destructors, at any point of the exit.
    static Threading::Internal::ProcessWide<UniqueIdMap> instance;
    return instance.get();
}

} // namespace

int createInterfaceUniqueId(const KelBase::TypeInfo& type) { return idMap().create(type); }

int getInterfaceUniqueId(const KelBase::TypeInfo& type)
{
    int id = 0;
    if (!idMap().find(type, id))
        throw InterfaceNotRegisteredException(KelBase::resStr(InterfaceRegistryMessage::NotRegistered));
    return id;
}

bool findInterfaceUniqueId(const KelBase::TypeInfo& type, int& id) { return idMap().find(type, id); }

void releaseInterfaceUniqueId(const KelBase::TypeInfo& type) { idMap().release(type); }

} // namespace ObjectFactory::Internal
