#include "server/Sodium.h"

#include "server/Role.h"

#include <sodium.h>

namespace VPanel::Server {

void initialiseSodium()
{
    static const int result = sodium_init();
    if (result < 0)
        throw ServerException(L"libsodium cannot start: no source of randomness");
}

} // namespace VPanel::Server
