#pragma once

namespace VPanel::Server {

// libsodium must be set up once before any of its functions; safe to call from any thread.
// Throws ServerException when the library cannot start (no source of randomness).
void initialiseSodium();

} // namespace VPanel::Server
