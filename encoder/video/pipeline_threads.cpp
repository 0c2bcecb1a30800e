#include "encoder/video/pipeline_threads.h"

#include <chrono>
#include <exception>

namespace quillset {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(1000);

// Waits on `changed` until `done` holds or `error` is set, calling `notify` (without the lock)
// every poll interval; raises the stored error.
template <typename Done>
void WaitPolling(std::unique_lock<std::mutex>& lock, std::condition_variable& changed, const TPipelineError& error,
                 const TPipelineNotify& notify, Done&& done) {
    while (!error.Failed && !done()) {
        if (changed.wait_for(lock, kPollInterval, [&] { return error.Failed || done(); }))
            break;
        if (notify) {
            lock.unlock();
            notify();
            lock.lock();
        }
    }
    if (error.Failed)
        error.Raise();
}

// Runs a stage on a batch and keeps an error it raises in `error`; false when it failed.
bool RunStage(const TPipelineStage& stage, TMPEGVideoFrameInfoList& batch, TPipelineError& error) {
    try {
        stage(batch);
        return true;
    } catch (...) {
        error.Capture();
        return false;
    }
}

} // namespace

void TPipelineError::Capture() {
    if (Failed)
        return;
    Failed = true;
    try {
        throw;
    } catch (const EMPEGError& e) {
        Code = e.ErrorCode;
        Text = e.what();
    } catch (const std::exception& e) {
        Text = e.what();
    } catch (...) {
        Text = "Unknown error";
    }
}

void TPipelineError::Raise() const { throw EMPEGVideoEncoderThreadError(Code, Text); }

// ---------------------------------------------------------------------------------------------
// Encoding thread.

TMPEGVideoEncoder_EncodePipelineThread::TMPEGVideoEncoder_EncodePipelineThread(TPipelineStage encode,
                                                                               TPipelineNotify notify)
    : Encode(std::move(encode)), Notify(std::move(notify)), Thread([this] { Run(); }) {}

TMPEGVideoEncoder_EncodePipelineThread::~TMPEGVideoEncoder_EncodePipelineThread() {
    {
        std::lock_guard lock(Lock);
        Terminate = true;
    }
    Changed.notify_all();
    Thread.join();
}

void TMPEGVideoEncoder_EncodePipelineThread::Run() {
    std::unique_lock lock(Lock);
    for (;;) {
        Changed.wait(lock, [this] { return Terminate || Start; });
        if (Terminate)
            return;
        Start = false;
        lock.unlock();
        TPipelineError error;
        const bool failed = !RunStage(Encode, Batch, error);
        Batch.Clear();
        lock.lock();
        if (failed && !Error.Failed)
            Error = error;
        Busy = false;
        Changed.notify_all();
    }
}

void TMPEGVideoEncoder_EncodePipelineThread::Wait() {
    std::unique_lock lock(Lock);
    WaitPolling(lock, Changed, Error, Notify, [this] { return !Busy; });
}

void TMPEGVideoEncoder_EncodePipelineThread::Submit(TMPEGVideoFrameInfoList& batch) {
    Wait();
    {
        std::lock_guard lock(Lock);
        Batch.MoveFrom(batch);
        Busy = true;
        Start = true;
    }
    Changed.notify_all();
}

// ---------------------------------------------------------------------------------------------
// Analysis workers.

class TMPEGVideoEncoder_AnalyzePipelineThread_SubThread {
public:
    std::thread Thread;
    TMPEGVideoFrameInfoList Batch;
    bool Busy = false;
    bool Start = false;
};

TMPEGVideoEncoder_AnalyzePipelineThread::TMPEGVideoEncoder_AnalyzePipelineThread(int32_t workers,
                                                                                 TPipelineStage analyze,
                                                                                 TPipelineStage dispatch,
                                                                                 TPipelineNotify notify,
                                                                                 int64_t firstSequence)
    : Analyze(std::move(analyze)), Dispatch(std::move(dispatch)), Notify(std::move(notify)),
      NextSequence(firstSequence) {
    for (int32_t i = 0; i < std::max(workers, 1); ++i)
        Workers.push_back(std::make_unique<TMPEGVideoEncoder_AnalyzePipelineThread_SubThread>());
    for (auto& worker : Workers)
        worker->Thread = std::thread([this, w = worker.get()] { Run(*w); });
}

TMPEGVideoEncoder_AnalyzePipelineThread::~TMPEGVideoEncoder_AnalyzePipelineThread() {
    {
        std::lock_guard lock(Lock);
        Terminate = true;
    }
    Changed.notify_all();
    for (auto& worker : Workers)
        worker->Thread.join();
}

void TMPEGVideoEncoder_AnalyzePipelineThread::Run(TMPEGVideoEncoder_AnalyzePipelineThread_SubThread& worker) {
    std::unique_lock lock(Lock);
    for (;;) {
        Changed.wait(lock, [&] { return Terminate || worker.Start; });
        if (Terminate)
            return;
        worker.Start = false;
        const int64_t sequence = worker.Batch.Sequence;
        bool failed = false;
        TPipelineError error;
        // The workers analyse side by side; the hand-over goes in batch order, and so does a
        // failed analysis: its error is stored at its turn, after every earlier batch has been
        // handed over, as without workers. A stored error or the end of the object abandons the
        // batch.
        if (!Error.Failed) {
            lock.unlock();
            failed = !RunStage(Analyze, worker.Batch, error);
            lock.lock();
            Changed.wait(lock, [&] { return Terminate || Error.Failed || NextSequence == sequence; });
            if (!failed && !Terminate && !Error.Failed) {
                lock.unlock();
                failed = !RunStage(Dispatch, worker.Batch, error);
                lock.lock();
            }
        }
        lock.unlock();
        worker.Batch.Clear();
        lock.lock();
        if (failed && !Error.Failed)
            Error = error;
        ++NextSequence;
        worker.Busy = false;
        Changed.notify_all();
    }
}

void TMPEGVideoEncoder_AnalyzePipelineThread::WaitFor(std::unique_lock<std::mutex>& lock,
                                                      const std::function<bool()>& done) {
    WaitPolling(lock, Changed, Error, Notify, done);
}

void TMPEGVideoEncoder_AnalyzePipelineThread::Submit(TMPEGVideoFrameInfoList& batch) {
    std::unique_lock lock(Lock);
    TMPEGVideoEncoder_AnalyzePipelineThread_SubThread* free = nullptr;
    WaitFor(lock, [&] {
        for (auto& worker : Workers)
            if (!worker->Busy) {
                free = worker.get();
                return true;
            }
        return false;
    });
    free->Batch.MoveFrom(batch);
    free->Busy = true;
    free->Start = true;
    Changed.notify_all();
}

void TMPEGVideoEncoder_AnalyzePipelineThread::WaitAll() {
    std::unique_lock lock(Lock);
    WaitFor(lock, [&] {
        for (auto& worker : Workers)
            if (worker->Busy)
                return false;
        return true;
    });
}

} // namespace quillset
