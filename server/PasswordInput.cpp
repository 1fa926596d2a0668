#include "server/PasswordInput.h"

#include "server/FileDescriptor.h"
#include "server/UserStore.h"

#include <QCoreApplication>

#include <cerrno>
#include <termios.h>
#include <unistd.h>

namespace VPanel::Server {

namespace {

QString translated(const char* text) { return QCoreApplication::translate("PasswordInput", text); }

[[noreturn]] void fail(const QString& text) { throw ServerException(text.toStdWString()); }

[[noreturn]] void failTooLong()
{
    fail(translated(QT_TRANSLATE_NOOP("PasswordInput", "Пароль длиннее %1 байт")).arg(UserStore::maxPasswordBytes));
}

// Turns echo off on a terminal for its lifetime; the newline still echoes, so the next output
// starts on a line of its own.
class QuietTerminal {
public:
    explicit QuietTerminal(int descriptor) : m_descriptor(descriptor)
    {
        m_active = ::isatty(descriptor) && ::tcgetattr(descriptor, &m_saved) == 0;
        if (!m_active)
            return;
        writeAll(STDERR_FILENO, translated(QT_TRANSLATE_NOOP("PasswordInput", "Пароль: ")).toUtf8());
        termios quiet = m_saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(descriptor, TCSAFLUSH, &quiet);
    }
    ~QuietTerminal()
    {
        if (m_active)
            ::tcsetattr(m_descriptor, TCSANOW, &m_saved);
    }
    QuietTerminal(const QuietTerminal&) = delete;
    QuietTerminal& operator=(const QuietTerminal&) = delete;

private:
    int m_descriptor;
    bool m_active = false;
    termios m_saved{};
};

} // namespace

QByteArray readPassword(int descriptor)
{
    const QuietTerminal quiet(descriptor);
    QByteArray line;
    // Byte by byte: nothing past the line is taken from the input, and the bound holds at once.
    for (;;) {
        char c = 0;
        const ssize_t got = ::read(descriptor, &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail(translated(QT_TRANSLATE_NOOP("PasswordInput", "Не удалось прочитать пароль со стандартного ввода")));
        if (got == 0 || c == '\n')
            break;
        // One byte over the bound may be the '\r' of a line ending in "\r\n".
        if (line.size() == UserStore::maxPasswordBytes + 1)
            failTooLong();
        line += c;
    }
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.size() > UserStore::maxPasswordBytes)
        failTooLong();
    if (line.isEmpty())
        fail(translated(
            QT_TRANSLATE_NOOP("PasswordInput", "Пустой пароль: на стандартном вводе ожидается строка с паролем")));
    return line;
}

} // namespace VPanel::Server
