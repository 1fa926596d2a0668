#include "server/UserStore.h"

#include "server/FileDescriptor.h"
#include "server/Sodium.h"

#include <QFile>
#include <QFileInfo>

#include <sodium.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace VPanel::Server {

namespace {

const char hashPrefix[] = "$argon2id$";

[[noreturn]] void fail(const QString& text)
{
    throw ServerException(text.toStdWString());
}

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

QByteArray hashPassword(const QByteArray& password)
{
    initialiseSodium();
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(hash, password.constData(), static_cast<unsigned long long>(password.size()),
                              crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        fail(QStringLiteral("Argon2id: out of memory"));
    return QByteArray(hash);
}

// Stands in for an unknown user, so that a wrong name costs what a wrong password costs.
const QByteArray& decoyHash()
{
    static const QByteArray hash = [] {
        initialiseSodium();
        QByteArray password(32, '\0');
        randombytes_buf(password.data(), static_cast<std::size_t>(password.size()));
        return hashPassword(password);
    }();
    return hash;
}

bool isValidHash(const QByteArray& hash)
{
    if (!hash.startsWith(hashPrefix) || hash.size() >= static_cast<int>(crypto_pwhash_STRBYTES))
        return false;
    for (const char c : hash)
        if (c <= ' ' || c > '~')
            return false;
    return true;
}

} // namespace

UserStore::UserStore(QString path) : m_path(std::move(path)) {}

bool UserStore::isValidName(QStringView name)
{
    if (name.isEmpty() || name.size() > maxNameLength)
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                        u == '_' || u == '.' || u == '@' || u == '-';
        if (!ok)
            return false;
    }
    return true;
}

QString UserStore::invalidNameMessage(const QString& name)
{
    return tr("Недопустимое имя пользователя '%1': от 1 до %2 знаков из A-Z a-z 0-9 _ . @ -")
        .arg(name.left(maxNameLength))
        .arg(maxNameLength);
}

void UserStore::load()
{
    // Made now, so that not even the first unknown name answers sooner than a known one.
    decoyHash();
    const QByteArray path = QFile::encodeName(m_path);
    const FileDescriptor file(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        if (errno == ENOENT) {
            m_accounts.clear();
            return;
        }
        fail(tr("Не удалось открыть файл пользователей %1: %2").arg(m_path, systemError()));
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0)
        fail(tr("Не удалось прочитать файл пользователей %1: %2").arg(m_path, systemError()));
    if (!S_ISREG(status.st_mode))
        fail(tr("Файл пользователей %1 не является обычным файлом").arg(m_path));
    if ((status.st_mode & 077) != 0)
        fail(tr("Файл пользователей %1 доступен группе или другим пользователям; выполните chmod 600 %1")
                 .arg(m_path));
    if (status.st_size > maxFileBytes)
        fail(tr("Файл пользователей %1 больше %2 байт").arg(m_path).arg(maxFileBytes));
    // Read one byte past the bound: a file that grew since fstat is refused, not read on and on.
    QByteArray content(static_cast<int>(maxFileBytes) + 1, '\0');
    qint64 total = 0;
    while (total < content.size()) {
        const ssize_t got =
            ::read(file.get(), content.data() + total, static_cast<std::size_t>(content.size() - total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail(tr("Не удалось прочитать файл пользователей %1: %2").arg(m_path, systemError()));
        if (got == 0)
            break;
        total += got;
    }
    if (total > maxFileBytes)
        fail(tr("Файл пользователей %1 больше %2 байт").arg(m_path).arg(maxFileBytes));
    content.truncate(static_cast<int>(total));
    m_accounts = parse(content);
}

UserStore::Accounts UserStore::parse(const QByteArray& content) const
{
    Accounts accounts;
    const QList<QByteArray> lines = content.split('\n');
    for (int index = 0; index < lines.size(); ++index) {
        // A file edited on Windows ends its lines in "\r\n".
        const QByteArray line = lines[index].endsWith('\r') ? lines[index].chopped(1) : lines[index];
        if (line.trimmed().isEmpty())
            continue;
        const auto malformed = [&](const QString& what) {
            fail(tr("Файл пользователей %1, строка %2: %3; ожидается «ИМЯ РОЛЬ ХЕШ»")
                     .arg(m_path).arg(index + 1).arg(what));
        };
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() != 3)
            malformed(tr("нужны три поля через пробел"));
        const QString name = QString::fromLatin1(fields[0]);
        if (!isValidName(name))
            malformed(tr("недопустимое имя"));
        const auto role = roleFromName(QString::fromLatin1(fields[1]));
        if (!role)
            malformed(tr("неизвестная роль (допустимы operator и viewer)"));
        if (!isValidHash(fields[2]))
            malformed(tr("хеш не в формате Argon2id"));
        if (accounts.count(name) != 0)
            malformed(tr("имя %1 уже встречалось").arg(name));
        accounts[name] = Account{*role, fields[2]};
    }
    return accounts;
}

std::optional<Role> UserStore::verify(const QString& name, const QByteArray& password) const
{
    if (password.isEmpty() || password.size() > maxPasswordBytes)
        return std::nullopt;
    const auto found = m_accounts.find(name);
    const QByteArray& hash = found != m_accounts.end() ? found->second.hash : decoyHash();
    const bool matches = crypto_pwhash_str_verify(hash.constData(), password.constData(),
                                                  static_cast<unsigned long long>(password.size())) == 0;
    if (found == m_accounts.end() || !matches)
        return std::nullopt;
    return found->second.role;
}

void UserStore::add(const QString& name, Role role, const QByteArray& password)
{
    if (!isValidName(name))
        fail(invalidNameMessage(name));
    if (password.isEmpty())
        fail(tr("Пустой пароль"));
    if (password.size() > maxPasswordBytes)
        fail(tr("Пароль длиннее %1 байт").arg(maxPasswordBytes));
    Accounts accounts = m_accounts;
    accounts[name] = Account{role, hashPassword(password)};
    save(accounts);
    m_accounts = std::move(accounts);
}

bool UserStore::remove(const QString& name)
{
    if (m_accounts.count(name) == 0)
        return false;
    Accounts accounts = m_accounts;
    accounts.erase(name);
    save(accounts);
    m_accounts = std::move(accounts);
    return true;
}

int UserStore::size() const { return static_cast<int>(m_accounts.size()); }

// Written whole to a temporary file beside the real one and renamed over it: a reader sees the old
// accounts or the new, never half. mkstemp creates the file 0600, so it is private from the start
// (a QSaveFile would create a new file as the umask allows and only then narrow it).
void UserStore::save(const Accounts& accounts) const
{
    QByteArray content;
    for (const auto& [name, account] : accounts)
        content += name.toLatin1() + ' ' + roleName(account.role) + ' ' + account.hash + '\n';

    const QFileInfo target(m_path);
    const QByteArray finalPath = QFile::encodeName(target.absoluteFilePath());
    QByteArray temporaryPath = QFile::encodeName(target.absolutePath() + QLatin1String("/.") +
                                                 target.fileName() + QLatin1String(".XXXXXX"));
    const auto failWriting = [&](const QString& reason) {
        fail(tr("Не удалось записать файл пользователей %1: %2").arg(m_path, reason));
    };
    {
        const FileDescriptor file(::mkostemp(temporaryPath.data(), O_CLOEXEC));
        if (file.get() < 0)
            failWriting(systemError());
        const bool written = ::fchmod(file.get(), S_IRUSR | S_IWUSR) == 0 && writeAll(file.get(), content) &&
                             ::fsync(file.get()) == 0;
        if (!written) {
            const QString reason = systemError();
            ::unlink(temporaryPath.constData());
            failWriting(reason);
        }
    }
    if (::rename(temporaryPath.constData(), finalPath.constData()) != 0) {
        const QString reason = systemError();
        ::unlink(temporaryPath.constData());
        failWriting(reason);
    }
    // The rename itself is durable only once the folder is synced.
    const QByteArray folderPath = QFile::encodeName(target.absolutePath());
    const FileDescriptor folder(::open(folderPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0)
        ::fsync(folder.get());
}

} // namespace VPanel::Server
