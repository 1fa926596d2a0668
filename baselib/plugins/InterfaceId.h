#pragma once

#include "baselib/Export.h"
#include "baselib/plugins/TypeInfo.h"

// The process-wide registry that gives every interface type a small integer identifier, the
// key under which factory collections keep the interface's factory. The program and every
// plug-in share it, so an interface has one identifier however many modules register it.
namespace ObjectFactory::Internal {

// Gives the type an identifier: the next one (counting up from 1 and starting again at 1
// after the largest unsigned value), or the one it already has, so that a second module
// registering the same interface reaches the same factories.
KELBASE_EXPORT int createInterfaceUniqueId(const KelBase::TypeInfo& type);
// The type's identifier; throws InterfaceNotRegisteredException when it has none.
KELBASE_EXPORT int getInterfaceUniqueId(const KelBase::TypeInfo& type);
// The type's identifier, or false when it has none.
KELBASE_EXPORT bool findInterfaceUniqueId(const KelBase::TypeInfo& type, int& id);
// Forgets the type's identifier; a later createInterfaceUniqueId gives it a new one.
KELBASE_EXPORT void releaseInterfaceUniqueId(const KelBase::TypeInfo& type);

} // namespace ObjectFactory::Internal
