#pragma once

#include "baselib/exceptions/Exception.h"

#include <QStringView>

#include <optional>

namespace VPanel::Server {

KEL_DECLARE_EXCEPTION(ServerException, KelBase::RuntimeException, );

// Viewers watch a device; operators also press its keys.
enum class Role { Viewer, Operator };

const char* roleName(Role role); // "viewer", "operator"
std::optional<Role> roleFromName(QStringView name);

} // namespace VPanel::Server
