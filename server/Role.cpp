#include "server/Role.h"

#include <QString>

namespace VPanel::Server {

const char* roleName(Role role)
{
    return role == Role::Operator ? "operator" : "viewer";
}

std::optional<Role> roleFromName(QStringView name)
{
    if (name == QLatin1String("operator"))
        return Role::Operator;
    if (name == QLatin1String("viewer"))
        return Role::Viewer;
    return std::nullopt;
}

} // namespace VPanel::Server
