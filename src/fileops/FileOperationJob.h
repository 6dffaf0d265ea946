// Runs one file operation on a worker thread, so that a slow or stalled disk
// never holds up the thread that owns the job (the GUI thread). The engine
// works on the worker; whatever it has to say comes back to the owner's
// thread:
//   - progress, the current file and each source that has left its folder
//     arrive as signals, in the order the engine reported them;
//   - its questions (delete? replace? delete for good?) and its error
//     messages are handed to the owner's thread and answered there by the
//     FileOperationQuestions and MessageSink given to the job, while the
//     worker waits for the answer;
//   - finished() comes last, once the worker has stopped.
// Nothing here runs a nested event loop: the owner's thread only handles
// the job's posted events in its own loop. cancel() may be called at any
// time from the owner's thread: the engine stops within one block of the
// file it is copying, and a question waiting for its answer is answered
// "cancel". Destroying the job cancels it and waits for the worker.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "fileops/FileOperationQuestions.h"
#include "fileops/FileOperationRequest.h"

namespace pelandor {

class FileSystemOps;
class MessageSink;

class FileOperationJob : public QObject {
    Q_OBJECT

public:
    // questions and messages are called on the owner's thread; they and ops
    // must outlive the job.
    FileOperationJob(FileOperationRequest request, FileOperationQuestions &questions, MessageSink &messages,
        FileSystemOps &ops, QObject *parent = nullptr);
    FileOperationJob(FileOperationRequest request, FileOperationQuestions &questions, MessageSink &messages,
        QObject *parent = nullptr);
    ~FileOperationJob() override;
    FileOperationJob(const FileOperationJob &) = delete;
    FileOperationJob &operator=(const FileOperationJob &) = delete;

    const FileOperationRequest &request() const { return m_request; }

    // Starts the worker (once).
    void start();
    // Asks the engine to stop; safe to call more than once and after the end.
    void cancel();
    bool isCancelled() const { return m_cancel.load(); }
    // Between start() and the delivery of finished().
    bool isRunning() const { return m_running; }

signals:
    void started(const QString &title, qint64 total);
    void currentFileChanged(const QByteArray &path);
    void progressed(qint64 done, qint64 total);
    // request().sources[index] has left its folder (moved or deleted).
    void sourceLeft(int index);
    // The worker has stopped; aborted as FileOperationEngine::run returns it.
    void finished(bool aborted);

private:
    class Bridge;
    struct Event;
    // What the owner's thread answered to a question or a message.
    struct Answer {
        bool confirmed = false;
        FileOperationQuestions::Reply reply;
    };

    // Worker side: queues an event and wakes the owner's thread. A question
    // or a message waits until the owner's thread has answered it or the job
    // is cancelled, and returns the answer (the safe one when cancelled).
    Answer post(const std::shared_ptr<Event> &event);
    // Owner side: handles the queued events. It is queued by name, so the
    // queued call is made and freed inside Qt alone; the thread checker
    // cannot see Qt's locks and is told to leave Qt's memory calls out.
    Q_INVOKABLE void deliver();

    FileOperationRequest m_request;
    FileOperationQuestions &m_questions;
    MessageSink &m_messages;
    FileSystemOps &m_ops;

    std::atomic<bool> m_cancel{false};
    bool m_running = false;
    std::mutex m_mutex;
    std::condition_variable m_answered;
    std::deque<std::shared_ptr<Event>> m_events;
    bool m_wakePosted = false;
    std::thread m_worker;
};

} // namespace pelandor
