#include "baselib/plugins/VirtualConstructor.h"

#include "baselib/exceptions/BaseMessages.h"
#include "baselib/exceptions/ExceptionTree.h"

namespace ObjectFactory {

VirtualConstructorBase::VirtualConstructorBase(const VirtualConstructorBase& other)
    : m_errorCode(other.m_errorCode), m_exception(other.m_exception ? other.m_exception->clone() : nullptr)
{
}

VirtualConstructorBase& VirtualConstructorBase::operator=(const VirtualConstructorBase& other)
{
    if (this != &other) {
        KelBase::Exception* copy = other.m_exception ? other.m_exception->clone() : nullptr;
        delete m_exception;
        m_exception = copy;
        m_errorCode = other.m_errorCode;
    }
    return *this;
}

VirtualConstructorBase::~VirtualConstructorBase() { delete m_exception; }

void VirtualConstructorBase::setException(const KelBase::Exception& exception)
{
    KelBase::Exception* copy = exception.clone();
    delete m_exception;
    m_exception = copy;
    m_errorCode = ExceptionRecorded;
}

void VirtualConstructorBase::throwError() const
{
    switch (m_errorCode) {
    case FactoryNotFound:
        throwFactoryNotFound();
    case ClassNotFound:
        throwClassNotFound();
    case ExceptionRecorded:
        if (m_exception)
            m_exception->rethrow();
        return;
    default:
        return;
    }
}

void VirtualConstructorBase::throwFactoryNotFound()
{
    throw VirtualConstructorException(KelBase::resStr(VirtualConstructorMessage::FactoryNotFound));
}

void VirtualConstructorBase::throwClassNotFound()
{
    throw VirtualConstructorException(KelBase::resStr(VirtualConstructorMessage::ClassNotFound));
}

} // namespace ObjectFactory
