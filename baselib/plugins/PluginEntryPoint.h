#pragma once

#include "baselib/plugins/FactoryCollection.h"

// A plug-in is a shared library that exports one function with C linkage, which gives the
// collection of the factories it offers:
//   KEL_PLUGIN_ENTRY_POINT { static ObjectFactory::FactoryCollection factories; ...; return factories; }
namespace DynamicPlugin {

using EntryPoint = ObjectFactory::FactoryCollection& (*)();

inline constexpr char entryPointName[] = "Kel_dynamicPluginClassFactoryCollection";

} // namespace DynamicPlugin

#define KEL_PLUGIN_ENTRY_POINT                                                                     \
    extern "C" __attribute__((visibility("default"))) ObjectFactory::FactoryCollection&            \
    Kel_dynamicPluginClassFactoryCollection()
