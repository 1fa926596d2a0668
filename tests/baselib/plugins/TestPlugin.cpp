#include "TestPluginInterface.h"

#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/plugins/PluginEntryPoint.h"

namespace {

class HelloGreeter : public ITestGreeter {
public:
    std::wstring greet() const override { return helloGreeting; }
};

ITestGreeter* createFailingGreeter() { throw KelBase::CommandLineException(failingGreeterText); }

} // namespace

KEL_PLUGIN_ENTRY_POINT
{
    static ObjectFactory::FactoryCollection factories;
    static const bool registered = [] {
        GreeterFactory& greeters = factories.factoryFor<GreeterFactory>();
        greeters.registerClass(helloGreeterKey, &ObjectFactory::createInstance<ITestGreeter, HelloGreeter>);
        greeters.registerClass(failingGreeterKey, &createFailingGreeter);
        return true;
    }();
    static_cast<void>(registered);
    return factories;
}
