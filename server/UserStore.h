#pragma once

#include "server/Role.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <map>
#include <optional>

namespace VPanel::Server {

// The accounts, one a line: NAME ROLE HASH, HASH an Argon2id string. The file holds secrets'
// hashes: it is never readable by group or others, not even for a moment while it is written.
class UserStore {
    Q_DECLARE_TR_FUNCTIONS(UserStore)

public:
    static constexpr int maxNameLength = 64;
    static constexpr int maxPasswordBytes = 1024;
    static constexpr qint64 maxFileBytes = 1024 * 1024;

    explicit UserStore(QString path);

    // A missing file reads as no users. Throws ServerException for a file group or others may
    // read, one over maxFileBytes, or a malformed line (naming it); the accounts stay as they were.
    void load();
    // The role, or nothing for a wrong password or an unknown name; both cost the same hash work.
    std::optional<Role> verify(const QString& name, const QByteArray& password) const;
    // Adds or replaces the account and saves the file. Throws ServerException for a bad name or
    // password, or when the file cannot be written (the accounts stay as they were).
    void add(const QString& name, Role role, const QByteArray& password);
    // Saves the file; false when there is no such account.
    bool remove(const QString& name);
    int size() const;

    // 1..maxNameLength of [A-Za-z0-9_.@-].
    static bool isValidName(QStringView name);
    // Why `name` was refused and what a name may hold.
    static QString invalidNameMessage(const QString& name);

private:
    struct Account {
        Role role;
        QByteArray hash;
    };
    using Accounts = std::map<QString, Account>;

    Accounts parse(const QByteArray& content) const;
    void save(const Accounts& accounts) const;

    QString m_path;
    Accounts m_accounts;
};

} // namespace VPanel::Server
