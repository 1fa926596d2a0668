#include "baselib/plugins/FactoryCollection.h"

#include "baselib/exceptions/BaseMessages.h"
#include "baselib/exceptions/ExceptionTree.h"

#include <boost/ptr_container/ptr_map.hpp>

namespace ObjectFactory {

BasicFactory::~BasicFactory() = default;

struct FactoryCollection::Impl {
    boost::ptr_map<int, BasicFactory> factories;
};

FactoryCollection::FactoryCollection() : m_impl(new Impl) {}

FactoryCollection::~FactoryCollection() { delete m_impl; }

BasicFactory* FactoryCollection::factory(int id) const
{
    const auto position = m_impl->factories.find(id);
    return position == m_impl->factories.end() ? nullptr : position->second;
}

void FactoryCollection::registerFactory(BasicFactory* factory, int id)
{
    m_impl->factories.insert(id, factory);
}

void FactoryCollection::removeFactory(int id) { m_impl->factories.erase(id); }

void FactoryCollection::throwFactoryTypeMismatch()
{
    throw VirtualConstructorException(KelBase::resStr(VirtualConstructorMessage::FactoryNotFound));
}

} // namespace ObjectFactory
