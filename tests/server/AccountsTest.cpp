// Accounts, sessions, the login throttle, the audit trail and the password prompt.

#include "server/Audit.h"
#include "server/LoginThrottle.h"
#include "server/PasswordInput.h"
#include "server/SessionStore.h"
#include "server/UserStore.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <future>
#include <thread>

namespace {
using namespace VPanel::Server;
using namespace std::chrono_literals;
using TimePoint = std::chrono::steady_clock::time_point;

const QByteArray someHash = "$argon2id$v=19$m=65536,t=2,p=1$c29tZXNhbHRzb21lc2FsdA$aGFzaGhhc2hoYXNoaGFzaGhhc2hoYXNoaGFzaGhhc2g";

QString messageOf(const ServerException& refusal) { return QString::fromStdWString(refusal.message()); }

void writeFile(const QString& path, const QByteArray& content, mode_t mode)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

mode_t modeOf(const QString& path)
{
    struct stat status {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    return status.st_mode & 0777;
}

TEST(UserStore, KeepsHashesInAPrivateFileAndVerifiesPasswords)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("users"));
    {
        // A permissive umask must not open a window in which the new file is readable by others.
        const mode_t umaskBefore = ::umask(0);
        UserStore store(path);
        store.load(); // missing: no users yet
        EXPECT_EQ(store.size(), 0);
        store.add(QStringLiteral("ann"), Role::Operator, "correct horse");
        store.add(QStringLiteral("bob.b@plant-1"), Role::Viewer, "battery staple");
        store.add(QStringLiteral("carl"), Role::Viewer, "to be removed");
        ::umask(umaskBefore);
        EXPECT_TRUE(store.remove(QStringLiteral("carl")));
        EXPECT_FALSE(store.remove(QStringLiteral("carl")));
    }
    EXPECT_EQ(modeOf(path), 0600u);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    EXPECT_FALSE(content.contains("correct horse"));
    EXPECT_FALSE(content.contains("battery staple"));
    EXPECT_EQ(content.count("$argon2id$"), 2);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no temporary file left";

    UserStore reloaded(path);
    reloaded.load();
    EXPECT_EQ(reloaded.size(), 2);
    struct Row {
        const char* name;
        QByteArray password;
        std::optional<Role> role;
    };
    const Row rows[] = {
        {"ann", "correct horse", Role::Operator},
        {"bob.b@plant-1", "battery staple", Role::Viewer},
        {"ann", "correct horse ", std::nullopt},
        {"ann", "battery staple", std::nullopt},
        {"carl", "to be removed", std::nullopt},
        {"nobody", "correct horse", std::nullopt},
        {"ann", "", std::nullopt},
        {"ann", QByteArray(UserStore::maxPasswordBytes + 1, 'x'), std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(reloaded.verify(QString::fromLatin1(row.name), row.password), row.role) << row.name;

    // A password is replaced in place; bad input is refused before anything is written.
    reloaded.add(QStringLiteral("ann"), Role::Viewer, "new one");
    EXPECT_EQ(reloaded.verify(QStringLiteral("ann"), "new one"), Role::Viewer);
    EXPECT_EQ(reloaded.verify(QStringLiteral("ann"), "correct horse"), std::nullopt);
    EXPECT_THROW(reloaded.add(QStringLiteral("two words"), Role::Viewer, "x"), ServerException);
    EXPECT_THROW(reloaded.add(QStringLiteral("dan"), Role::Viewer, ""), ServerException);
    EXPECT_THROW(reloaded.add(QString(UserStore::maxNameLength + 1, QLatin1Char('a')), Role::Viewer, "x"),
                 ServerException);
    EXPECT_EQ(reloaded.size(), 2);
}

TEST(UserStore, RefusesAnUnsafeOrMalformedFileNamingTheFault)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("users"));
    const QByteArray good = "ann operator " + someHash + "\n";
    struct Row {
        QByteArray content;
        mode_t mode;
        const char* expected;
    };
    const Row rows[] = {
        {good, 0640, "chmod 600"},
        {good, 0604, "chmod 600"},
        {"ann operator\n", 0600, "строка 1"},
        {good + "\nbob  viewer " + someHash + "\n", 0600, "строка 3"},
        {"ann boss " + someHash + "\n", 0600, "роль"},
        {"ann operator $2y$10$abcdefghijklmnopqrstuv\n", 0600, "Argon2id"},
        {"ann operator $argon2id$\x01" + someHash + "\n", 0600, "Argon2id"},
        {"an\x1bn operator " + someHash + "\n", 0600, "имя"},
        {good + good, 0600, "строка 2: имя ann уже"},
        {good + QByteArray(UserStore::maxFileBytes, '\n'), 0600, "больше"},
    };
    for (const Row& row : rows) {
        writeFile(path, good, 0600);
        UserStore store(path);
        store.load();
        writeFile(path, row.content, row.mode);
        try {
            store.load();
            ADD_FAILURE() << "accepted: " << row.content.left(80).toStdString();
        } catch (const ServerException& refusal) {
            EXPECT_TRUE(messageOf(refusal).contains(QString::fromUtf8(row.expected)))
                << messageOf(refusal).toStdString();
        }
        EXPECT_EQ(store.size(), 1) << "the accounts read before stay";
    }
    // Line ends from Windows are line ends, not part of the hash.
    writeFile(path, "ann operator " + someHash + "\r\nbob viewer " + someHash + "\r\n", 0600);
    UserStore edited(path);
    edited.load();
    EXPECT_EQ(edited.size(), 2);
}

TEST(SessionStore, TokensExpireWhenIdleAndStayWhileUsed)
{
    TimePoint now{};
    SessionStore sessions([&] { return now; });
    const QByteArray ann = sessions.create(QStringLiteral("ann"), Role::Operator);
    const QByteArray annOnPhone = sessions.create(QStringLiteral("ann"), Role::Operator);
    const QByteArray bob = sessions.create(QStringLiteral("bob"), Role::Viewer);

    const QRegularExpression base64url(QStringLiteral("^[A-Za-z0-9_-]{43}$"));
    for (const QByteArray& token : {ann, annOnPhone, bob})
        EXPECT_TRUE(base64url.match(QString::fromLatin1(token)).hasMatch()) << token.toStdString();
    EXPECT_NE(ann, annOnPhone);
    EXPECT_NE(ann, bob);

    // Each use restarts the idle time.
    for (int day = 0; day < 3; ++day) {
        now += SessionStore::idleLimit - 1min;
        const auto session = sessions.find(bob);
        ASSERT_TRUE(session);
        EXPECT_EQ(session->user, QStringLiteral("bob"));
        EXPECT_EQ(session->role, Role::Viewer);
    }
    EXPECT_FALSE(sessions.find(ann)) << "idle far past the limit";
    now += SessionStore::idleLimit;
    EXPECT_FALSE(sessions.find(bob));
    EXPECT_FALSE(sessions.find(bob)) << "an expired token does not come back";

    const QByteArray first = sessions.create(QStringLiteral("ann"), Role::Operator);
    const QByteArray second = sessions.create(QStringLiteral("ann"), Role::Operator);
    const QByteArray carl = sessions.create(QStringLiteral("carl"), Role::Viewer);
    sessions.removeUser(QStringLiteral("ann"));
    EXPECT_FALSE(sessions.find(first));
    EXPECT_FALSE(sessions.find(second));
    EXPECT_TRUE(sessions.find(carl));
    sessions.remove(carl);
    EXPECT_FALSE(sessions.find(carl));
    EXPECT_FALSE(sessions.find(QByteArray()));
}

TEST(SessionStore, AtCapacityTheLeastRecentlyUsedGoes)
{
    TimePoint now{};
    SessionStore sessions([&] { return now; });
    std::vector<QByteArray> tokens;
    for (std::size_t i = 0; i < SessionStore::capacity; ++i) {
        tokens.push_back(sessions.create(QStringLiteral("user%1").arg(i), Role::Viewer));
        now += 1s;
    }
    ASSERT_TRUE(sessions.find(tokens[0])); // the oldest is now the most recently used
    const QByteArray newest = sessions.create(QStringLiteral("late"), Role::Viewer);
    EXPECT_TRUE(sessions.find(newest));
    EXPECT_TRUE(sessions.find(tokens[0]));
    EXPECT_FALSE(sessions.find(tokens[1]));
    EXPECT_TRUE(sessions.find(tokens[2]));
}

TEST(LoginThrottle, RefusesTheSixthFailureInAMinutePerClient)
{
    TimePoint now{};
    LoginThrottle throttle([&] { return now; });
    const QHostAddress guesser(QStringLiteral("192.0.2.7"));
    for (int failure = 0; failure < LoginThrottle::failuresAllowed; ++failure) {
        EXPECT_FALSE(throttle.refuses(guesser)) << "failure " << failure;
        throttle.recordFailure(guesser);
        now += 5s;
    }
    struct Row {
        const char* address;
        bool refused;
    };
    const Row rows[] = {
        {"192.0.2.7", true},
        {"::ffff:192.0.2.7", true},        // the same client over an IPv6 socket
        {"192.0.2.8", false},
        {"2001:db8:1:2::1", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(throttle.refuses(QHostAddress(QString::fromLatin1(row.address))), row.refused) << row.address;

    // The window slides: once the first failure is a minute old, one more try is allowed.
    now = TimePoint{} + LoginThrottle::window;
    EXPECT_FALSE(throttle.refuses(guesser));
    throttle.recordFailure(guesser);
    EXPECT_TRUE(throttle.refuses(guesser));
    now += LoginThrottle::window;
    EXPECT_FALSE(throttle.refuses(guesser));

    // An IPv6 host owns its /64: hopping within it does not buy more guesses.
    for (int host = 1; host <= LoginThrottle::failuresAllowed; ++host)
        throttle.recordFailure(QHostAddress(QStringLiteral("2001:db8:1:2::%1").arg(host)));
    EXPECT_TRUE(throttle.refuses(QHostAddress(QStringLiteral("2001:db8:1:2:ffff::9"))));
    EXPECT_FALSE(throttle.refuses(QHostAddress(QStringLiteral("2001:db8:1:3::1"))));
}

TEST(LoginThrottle, StaysBoundedWhenManyClientsFail)
{
    TimePoint now{};
    LoginThrottle throttle([&] { return now; });
    for (quint32 client = 0; client < 20000; ++client)
        throttle.recordFailure(QHostAddress(0x0a000000u + client));
    EXPECT_LE(throttle.clientsRemembered(), LoginThrottle::capacity);
    const QHostAddress guesser(QStringLiteral("198.51.100.1"));
    for (int failure = 0; failure < LoginThrottle::failuresAllowed; ++failure)
        throttle.recordFailure(guesser);
    EXPECT_TRUE(throttle.refuses(guesser));
    // Once their window has passed, the forgotten-worthy make room before anyone else is dropped.
    now += LoginThrottle::window + 1s;
    throttle.recordFailure(QHostAddress(QStringLiteral("198.51.100.2")));
    EXPECT_EQ(throttle.clientsRemembered(), 1u);
}

// The lines `write` puts on standard error, which goes to a file meanwhile.
template <typename Write>
QStringList standardErrorLines(Write write)
{
    const int saved = ::dup(STDERR_FILENO);
    std::FILE* captured = std::tmpfile();
    ::dup2(::fileno(captured), STDERR_FILENO);
    write();
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::rewind(captured);
    QFile file;
    EXPECT_TRUE(file.open(::fileno(captured), QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    std::fclose(captured);
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

TEST(Audit, OneLineAnEventWithTimeAndNamesThatCannotForgeOrFlood)
{
    const QHostAddress client(QStringLiteral("203.0.113.9"));
    const QString forged = QStringLiteral("x\"\n2026-12-08T00:00:00.000Z login address=10.0.0.1 user=\"root");
    const QString bidi = QStringLiteral("a\u202Eb\u2028c\rd");
    const QStringList lines = standardErrorLines([&] {
        Audit::loginFailed(client, forged);
        Audit::loginFailed(client, bidi);
        Audit::loginFailed(client, QString(100000, QLatin1Char('A')));
        Audit::loginSucceeded(client, QStringLiteral("ann"));
        Audit::loginThrottled(client);
        Audit::keyPressed(QStringLiteral("ann"), QStringLiteral("press1"), QStringLiteral("tap"), QStringLiteral("F1"));
        Audit::keyRefused(QStringLiteral("bob"), QStringLiteral("press1"), QStringLiteral("viewer\nforged line"));
        Audit::note(QStringLiteral("started"));
    });
    ASSERT_EQ(lines.size(), 8) << lines.join(QLatin1Char('|')).left(500).toStdString();
    const QRegularExpression timed(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z \\S"));
    for (const QString& line : lines) {
        EXPECT_TRUE(timed.match(line).hasMatch()) << line.toStdString();
        EXPECT_LT(line.size(), 300) << "bounded";
    }
    EXPECT_TRUE(lines[0].contains(QStringLiteral("login-failed address=203.0.113.9 user=\"x\\\"\\u000a2026")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("user=\"a\\u202eb\\u2028c\\u000dd\""))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(QStringLiteral("AAA...\""))) << "cut, and says so";
    EXPECT_TRUE(lines[5].endsWith(QStringLiteral("key user=\"ann\" device=\"press1\" action=\"tap\" key=\"F1\"")))
        << lines[5].toStdString();
}

TEST(PasswordInput, OneBoundedNonEmptyLineFromAPipe)
{
    struct Row {
        QByteArray input;
        QByteArray password; // empty: refused
        QByteArray leftOver;
    };
    const Row rows[] = {
        {"secret\n", "secret", ""},
        {"secret", "secret", ""},
        {"secret\r\n", "secret", ""},
        {"first\nsecond\n", "first", "second\n"},
        {" spaced out \n", " spaced out ", ""},
        {QByteArray(UserStore::maxPasswordBytes, 'x') + "\r\n", QByteArray(UserStore::maxPasswordBytes, 'x'), ""},
        {QByteArray(UserStore::maxPasswordBytes + 1, 'x') + "\n", "", ""},
        {QByteArray(100000, 'x'), "", ""},
        {"\n", "", ""},
        {"", "", ""},
    };
    // The writer of an over-long line meets a closed pipe.
    std::signal(SIGPIPE, SIG_IGN);
    for (const Row& row : rows) {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        auto writer = std::async(std::launch::async, [&] {
            const ssize_t written = ::write(ends[1], row.input.constData(), static_cast<std::size_t>(row.input.size()));
            ::close(ends[1]);
            return written;
        });
        std::optional<QByteArray> password;
        try {
            password = readPassword(ends[0]);
        } catch (const ServerException&) {
        }
        if (row.password.isEmpty()) {
            EXPECT_FALSE(password) << row.input.left(40).toStdString();
        } else {
            EXPECT_EQ(password, row.password);
            char rest[64] = {};
            const ssize_t got = ::read(ends[0], rest, sizeof rest);
            EXPECT_EQ(QByteArray(rest, static_cast<int>(std::max<ssize_t>(got, 0))), row.leftOver);
        }
        ::close(ends[0]);
        writer.wait();
    }
}

TEST(PasswordInput, TerminalDoesNotEchoThePasswordAndIsRestored)
{
    int controller = -1;
    int terminal = -1;
    ASSERT_EQ(::openpty(&controller, &terminal, nullptr, nullptr, nullptr), 0);
    auto reading = std::async(std::launch::async, [&] { return readPassword(terminal); });
    // Typed only once echo is off, as a person at the prompt would.
    termios settings{};
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (::tcgetattr(terminal, &settings) == 0 && (settings.c_lflag & ECHO) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(settings.c_lflag & ECHO);
    ASSERT_EQ(::write(controller, "hunter2\n", 8), 8);
    EXPECT_EQ(reading.get(), QByteArray("hunter2"));

    ASSERT_EQ(::tcgetattr(terminal, &settings), 0);
    EXPECT_TRUE(settings.c_lflag & ECHO) << "echo restored";
    ::fcntl(controller, F_SETFL, O_NONBLOCK);
    char echoed[256] = {};
    const ssize_t got = ::read(controller, echoed, sizeof echoed - 1);
    EXPECT_FALSE(QByteArray(echoed, static_cast<int>(std::max<ssize_t>(got, 0))).contains("hunter2"));
    ::close(controller);
    ::close(terminal);
}

} // namespace
