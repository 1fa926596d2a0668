#pragma once

#include "baselib/Export.h"
#include "baselib/exceptions/Exception.h"
#include "baselib/exceptions/MessageTable.h"

// The exception classes of the base library. None adds state: each exists for its class,
// so that handlers can tell failures apart.

namespace KelBase {
class KELBASE_EXPORT UnrealizedException : public Exception {
public:
    struct use_msg_t {};

    explicit UnrealizedException(const wchar_t* functionName);

    const wchar_t* message() const override;
    [[noreturn]] void rethrow() const override;
    Exception* clone(const std::wstring& text) const override;
    Exception* clone(const wchar_t* text) const override;
    Exception* clone() const override;

protected:
    UnrealizedException(const wchar_t* text, use_msg_t);
    UnrealizedException(const std::wstring& text, use_msg_t);

private:
    std::wstring m_message;
};

KEL_DECLARE_EXCEPTION(CommandLineException, RuntimeException, KELBASE_EXPORT);
KEL_DECLARE_EXCEPTION(NonConvertibleException, RuntimeException, KELBASE_EXPORT);
KEL_DECLARE_EXCEPTION(ObjectReleasedException, RuntimeException, KELBASE_EXPORT);
} // namespace KelBase

namespace KelTime {
KEL_DECLARE_EXCEPTION(DateTimeException, KelBase::RuntimeException, KELBASE_EXPORT);
}

namespace ObjectFactory {
KEL_DECLARE_EXCEPTION(InterfaceNotRegisteredException, KelBase::RuntimeException, KELBASE_EXPORT);
KEL_DECLARE_EXCEPTION(VirtualConstructorException, KelBase::RuntimeException, KELBASE_EXPORT);
} // namespace ObjectFactory

namespace DynamicPlugin {
KEL_DECLARE_EXCEPTION(PluginException, KelBase::RuntimeException, KELBASE_EXPORT);
KEL_DECLARE_EXCEPTION(PluginSystemException, PluginException, KELBASE_EXPORT);
} // namespace DynamicPlugin

namespace Threading {
KEL_DECLARE_EXCEPTION(ThreadingException, KelBase::RuntimeException, KELBASE_EXPORT);
KEL_DECLARE_EXCEPTION(ActiveObjectException, ThreadingException, KELBASE_EXPORT);
KEL_DECLARE_EXCEPTION(PThreadException, ThreadingException, KELBASE_EXPORT);
KEL_DECLARE_EXCEPTION(ThreadException, PThreadException, KELBASE_EXPORT);
KEL_DECLARE_EXCEPTION(SynchronizationException, PThreadException, KELBASE_EXPORT);
KEL_DECLARE_EXCEPTION(MutexException, SynchronizationException, KELBASE_EXPORT);
KEL_DECLARE_EXCEPTION(RWLockException, SynchronizationException, KELBASE_EXPORT);
KEL_DECLARE_EXCEPTION(ConditionException, SynchronizationException, KELBASE_EXPORT);
KEL_DECLARE_EXCEPTION(SemaphoreException, SynchronizationException, KELBASE_EXPORT);
KEL_DECLARE_EXCEPTION(BarrierException, SynchronizationException, KELBASE_EXPORT);
} // namespace Threading
