#pragma once

#include <QByteArray>

namespace VPanel::Server {

// Closes the descriptor it holds, if any.
class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor) : m_descriptor(descriptor) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_descriptor; }

private:
    int m_descriptor;
};

// Writes all of `bytes`, resuming after signals; false on an error (errno says which).
bool writeAll(int descriptor, const QByteArray& bytes);

} // namespace VPanel::Server
