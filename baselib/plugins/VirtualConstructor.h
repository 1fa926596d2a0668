#pragma once

#include "baselib/Export.h"
#include "baselib/exceptions/Exception.h"
#include "baselib/plugins/FactoryCollection.h"

#include <memory>
#include <utility>

namespace ObjectFactory {

// Why a virtual constructor made no object. Copies keep the code and a copy of the recorded
// exception.
class KELBASE_EXPORT VirtualConstructorBase {
public:
    enum ErrorCode { FactoryNotFound = 0, ClassNotFound = 1, ExceptionRecorded = 2, NoError = 3 };

    ErrorCode errorCode() const { return m_errorCode; }
    // Throws the recorded failure: VirtualConstructorException for codes 0 and 1, the
    // recorded exception with its own class for code 2; returns for any other code.
    void throwError() const;

protected:
    VirtualConstructorBase() = default;
    VirtualConstructorBase(const VirtualConstructorBase& other);
    VirtualConstructorBase& operator=(const VirtualConstructorBase& other);
    ~VirtualConstructorBase();

    void setErrorCode(ErrorCode code) { m_errorCode = code; }
    // Keeps a copy of the exception and sets code 2.
    void setException(const KelBase::Exception& exception);

    [[noreturn]] static void throwFactoryNotFound();
    [[noreturn]] static void throwClassNotFound();

private:
    ErrorCode m_errorCode = NoError;
    KelBase::Exception* m_exception = nullptr;
};

// Makes objects of FactoryType's interface by key from a collection. create() gives null
// and records why when it cannot (no factory, unknown key, or a library exception thrown
// by the class's creator); make() throws that failure instead.
template <class FactoryType>
class VirtualConstructor : public VirtualConstructorBase {
public:
    using Interface = typename FactoryType::Interface;
    using Key = typename FactoryType::Key;

    explicit VirtualConstructor(const FactoryCollection& collection) : m_collection(&collection) {}

    template <class... Arguments>
    std::unique_ptr<Interface> create(const Key& key, Arguments&&... arguments)
    {
        const FactoryType* factory = m_collection->findFactory<FactoryType>();
        if (!factory) {
            setErrorCode(FactoryNotFound);
            return nullptr;
        }
        const auto* creator = factory->findCreator(key);
        if (!creator) {
            setErrorCode(ClassNotFound);
            return nullptr;
        }
        try {
            std::unique_ptr<Interface> object((*creator)(std::forward<Arguments>(arguments)...));
            setErrorCode(NoError);
            return object;
        } catch (const KelBase::Exception& error) {
            setException(error);
            return nullptr;
        }
    }

    template <class... Arguments>
    std::unique_ptr<Interface> make(const Key& key, Arguments&&... arguments)
    {
        std::unique_ptr<Interface> object = create(key, std::forward<Arguments>(arguments)...);
        if (!object)
            throwError();
        return object;
    }

private:
    const FactoryCollection* m_collection;
};

} // namespace ObjectFactory
