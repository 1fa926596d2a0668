#pragma once

#include "app/remote/RemoteAddress.h"
#include "app/remote/RemoteSource.h"

// What the user chose to open through the broker, and whether it is remembered in the
// program's settings file. Only a remembered choice is stored there, the password among it
// only when the user asks for that too; nothing else keeps it.
struct RemoteChoice {
    RemoteAddress address;
    RemoteCredentials credentials;
    bool remember = false;
    bool rememberPassword = false;

    // The remembered choice; an empty one when nothing was remembered.
    static RemoteChoice remembered();
    // Stores the choice when it is to be remembered; else forgets whatever was stored.
    void store() const;
};
