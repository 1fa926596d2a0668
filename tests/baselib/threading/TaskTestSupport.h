#pragma once

#include "baselib/threading/Task.h"
#include "baselib/threading/TaskQueue.h"

#include <atomic>
#include <functional>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace TaskTestSupport {

// A task that runs an action and counts its deletions.
class ActionTask : public Threading::Task {
public:
    using Action = std::function<void(Threading::TaskQueue&)>;

    explicit ActionTask(Action action, std::atomic<int>* deletions = nullptr)
        : m_action(std::move(action)), m_deletions(deletions)
    {
    }
    ~ActionTask() override
    {
        if (m_deletions)
            ++*m_deletions;
    }

    void run(Threading::TaskQueue& queue) override { m_action(queue); }

private:
    Action m_action;
    std::atomic<int>* m_deletions;
};

// A task with a name, for logs of what ran.
class NamedTask : public ActionTask {
public:
    NamedTask(std::string name, Action action, std::atomic<int>* deletions = nullptr)
        : ActionTask(std::move(action), deletions), name(std::move(name))
    {
    }
    const std::string name;
};

// A thread-safe list of lines.
class Log {
public:
    void add(std::string line)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.push_back(std::move(line));
    }
    std::vector<std::string> lines() const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

// Logs every notification as "event:task name", after running an optional hook.
class Recorder : public Threading::TaskQueueObserver {
public:
    explicit Recorder(Log& log) : m_log(log) {}
    ~Recorder() { disconnect(); }

    // Gets the line about to be logged.
    std::function<void(const std::string& line)> hook;

    void taskPushed(Threading::TaskQueue&, Threading::Task& task) override { note("pushed", task); }
    void taskStarted(Threading::TaskQueue&, Threading::Task& task) override { note("started", task); }
    void taskFinished(Threading::TaskQueue&, Threading::Task& task) override { note("finished", task); }
    void taskInterrupted(Threading::TaskQueue&, Threading::Task& task) override { note("interrupted", task); }

private:
    void note(const std::string& event, Threading::Task& task)
    {
        const auto* named = dynamic_cast<NamedTask*>(&task);
        const std::string line = event + ":" + (named ? named->name : "?");
        if (hook)
            hook(line);
        m_log.add(line);
    }

    Log& m_log;
};

// Catches what is written to a wide standard stream for its lifetime.
class StreamCapture {
public:
    explicit StreamCapture(std::wostream& stream) : m_stream(stream), m_previous(stream.rdbuf(m_buffer.rdbuf())) {}
    ~StreamCapture() { m_stream.rdbuf(m_previous); }
    std::wstring text() const { return m_buffer.str(); }

private:
    std::wostream& m_stream;
    std::wostringstream m_buffer;
    std::wstreambuf* m_previous;
};

} // namespace TaskTestSupport
