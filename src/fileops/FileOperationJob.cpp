#include "fileops/FileOperationJob.h"

#include <QList>
#include <QMetaObject>

#include "fileops/FileOperationEngine.h"
#include "fileops/FileOperationProgress.h"
#include "fileops/FileOperationQuestions.h"
#include "fileops/FileSystemOps.h"
#include "platform/MessageSink.h"

namespace pelandor {

// One thing the worker has to say. Questions and messages carry their answer
// back in the same object.
struct FileOperationJob::Event {
    enum Kind { Started, CurrentFile, Progress, SourceLeft, Message, ConfirmDelete, AskReplace, AskPermanent, Finished };

    Kind kind = Finished;
    QString text;
    QByteArray path;
    QList<QByteArray> paths;
    FileOperationQuestions::Conflict conflict;
    qint64 done = 0;
    qint64 total = 0;
    bool flag = false;

    // Set by the owner's thread under the job's mutex.
    bool answered = false;
    Answer answer;

    bool waitsForAnswer() const { return kind == Message || kind == ConfirmDelete || kind == AskReplace || kind == AskPermanent; }
};

// The engine's questions, messages and progress on the worker thread, all
// passed on to the owner's thread.
class FileOperationJob::Bridge : public FileOperationQuestions, public MessageSink, public FileOperationProgress {
public:
    explicit Bridge(FileOperationJob &job)
        : m_job(job)
    {
    }

    bool confirmDelete(const QList<QByteArray> &paths, bool toTrash) override
    {
        auto event = make(Event::ConfirmDelete);
        event->paths = paths;
        event->flag = toTrash;
        return m_job.post(event).confirmed;
    }
    Reply askReplace(const Conflict &conflict, bool moreFollow) override
    {
        auto event = make(Event::AskReplace);
        event->conflict = conflict;
        event->flag = moreFollow;
        return m_job.post(event).reply;
    }
    Reply askDeletePermanently(const QByteArray &path, bool moreFollow) override
    {
        auto event = make(Event::AskPermanent);
        event->path = path;
        event->flag = moreFollow;
        return m_job.post(event).reply;
    }
    void showMessage(const QString &text) override
    {
        auto event = make(Event::Message);
        event->text = text;
        m_job.post(event);
    }
    void start(const QString &title, qint64 total) override
    {
        auto event = make(Event::Started);
        event->text = title;
        event->total = total;
        m_job.post(event);
    }
    void setCurrentFile(const QByteArray &path) override
    {
        auto event = make(Event::CurrentFile);
        event->path = path;
        m_job.post(event);
    }
    void setProgress(qint64 done, qint64 total) override
    {
        auto event = make(Event::Progress);
        event->done = done;
        event->total = total;
        m_job.post(event);
    }
    bool cancelRequested() override { return m_job.m_cancel.load(); }
    void sourceLeft(qsizetype index) override
    {
        auto event = make(Event::SourceLeft);
        event->done = index;
        m_job.post(event);
    }
    void finish() override {}

private:
    static std::shared_ptr<Event> make(Event::Kind kind)
    {
        auto event = std::make_shared<Event>();
        event->kind = kind;
        return event;
    }

    FileOperationJob &m_job;
};

namespace {

// A copy that shares no data with the owner's: the worker never touches a
// reference count the owner's thread uses.
FileOperationRequest detached(const FileOperationRequest &request)
{
    FileOperationRequest copy;
    copy.operation = request.operation;
    copy.toTrash = request.toTrash;
    copy.destination = QByteArray(request.destination.constData(), request.destination.size());
    copy.progressTitle = QString(request.progressTitle.constData(), request.progressTitle.size());
    for (const QByteArray &source : request.sources)
        copy.sources.append(QByteArray(source.constData(), source.size()));
    return copy;
}

} // namespace

FileOperationJob::FileOperationJob(FileOperationRequest request, FileOperationQuestions &questions,
    MessageSink &messages, FileSystemOps &ops, QObject *parent)
    : QObject(parent)
    , m_request(std::move(request))
    , m_questions(questions)
    , m_messages(messages)
    , m_ops(ops)
{
}

FileOperationJob::FileOperationJob(
    FileOperationRequest request, FileOperationQuestions &questions, MessageSink &messages, QObject *parent)
    : FileOperationJob(std::move(request), questions, messages, FileSystemOps::system(), parent)
{
}

FileOperationJob::~FileOperationJob()
{
    cancel();
    if (m_worker.joinable())
        m_worker.join();
}

void FileOperationJob::start()
{
    if (m_running || m_worker.joinable())
        return;
    m_running = true;
    m_worker = std::thread([this, request = detached(m_request)] {
        Bridge bridge(*this);
        FileOperationEngine engine(bridge, bridge, &bridge, m_ops);
        auto event = std::make_shared<Event>();
        event->kind = Event::Finished;
        event->flag = engine.run(request);
        post(event);
    });
}

void FileOperationJob::cancel()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_cancel.store(true);
    }
    m_answered.notify_all();
}

FileOperationJob::Answer FileOperationJob::post(const std::shared_ptr<Event> &event)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    // A run of progress reports reaches the owner as the last of them.
    if (event->kind == Event::Progress && !m_events.empty() && m_events.back()->kind == Event::Progress)
        m_events.back() = event;
    else
        m_events.push_back(event);
    const bool wake = !m_wakePosted;
    m_wakePosted = true;
    if (wake) {
        lock.unlock();
        QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
        lock.lock();
    }
    if (!event->waitsForAnswer())
        return {};
    m_answered.wait(lock, [&] { return event->answered || m_cancel.load(); });
    // Cancelled while waiting (also while the answer was being given): the
    // safe answer (no, cancel); nothing is replaced or deleted after a cancel.
    return event->answered && !m_cancel.load() ? event->answer : Answer{};
}

void FileOperationJob::deliver()
{
    std::deque<std::shared_ptr<Event>> events;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        events.swap(m_events);
        m_wakePosted = false;
    }
    for (const std::shared_ptr<Event> &event : events) {
        Answer answer;
        // A question left over from a cancelled job is not asked any more.
        const bool ask = event->waitsForAnswer() && !m_cancel.load();
        switch (event->kind) {
        case Event::Started:
            emit started(event->text, event->total);
            break;
        case Event::CurrentFile:
            emit currentFileChanged(event->path);
            break;
        case Event::Progress:
            emit progressed(event->done, event->total);
            break;
        case Event::SourceLeft:
            emit sourceLeft(int(event->done));
            break;
        case Event::Message:
            if (ask)
                m_messages.showMessage(event->text);
            break;
        case Event::ConfirmDelete:
            if (ask)
                answer.confirmed = m_questions.confirmDelete(event->paths, event->flag);
            break;
        case Event::AskReplace:
            if (ask)
                answer.reply = m_questions.askReplace(event->conflict, event->flag);
            break;
        case Event::AskPermanent:
            if (ask)
                answer.reply = m_questions.askDeletePermanently(event->path, event->flag);
            break;
        case Event::Finished:
            if (m_worker.joinable())
                m_worker.join(); // it has nothing left to do but return
            m_running = false;
            emit finished(event->flag);
            break;
        }
        if (event->waitsForAnswer()) {
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                event->answer = answer;
                event->answered = true;
            }
            m_answered.notify_all();
        }
    }
}

} // namespace pelandor
