// The threads of the video encoder's batch pipeline: up to two analysis workers that analyse
// batches side by side and hand them on strictly in batch order, and one encoding thread that
// codes one batch while the next is analysed.
//
// Both objects are driven from one thread (the caller's, or for the encoding thread an analysis
// worker). Waits poll every second and call the notify hook on each timeout, so that a host can
// keep its user interface alive. An exception in a thread stores its message; the next Submit or
// Wait raises EMPEGVideoEncoderError with that message in the waiting thread, and every later
// one raises it again: a pass that failed cannot continue. Destroying an object stops its
// threads after the batch each is working on; batches not yet handed on are dropped.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/video/frame_info.h"

namespace quillset {

// An error of a pipeline thread, raised again in the waiting thread with the same message (and
// the same code when the original was an EMPEGError; 0 otherwise).
class EMPEGVideoEncoderThreadError : public EMPEGVideoEncoderError {
public:
    EMPEGVideoEncoderThreadError(uint32_t code, std::string text)
        : EMPEGVideoEncoderError(code), Text(std::move(text)) {}
    const char* what() const noexcept override { return Text.c_str(); }

private:
    std::string Text;
};

using TPipelineStage = std::function<void(TMPEGVideoFrameInfoList& batch)>;
using TPipelineNotify = std::function<void()>;

// The error state shared by the waits of one thread object.
struct TPipelineError {
    bool Failed = false;
    uint32_t Code = 0;
    std::string Text;

    // Stores the exception being handled (the first one only).
    void Capture();
    [[noreturn]] void Raise() const;
};

class TMPEGVideoEncoder_EncodePipelineThread {
public:
    TMPEGVideoEncoder_EncodePipelineThread(TPipelineStage encode, TPipelineNotify notify);
    ~TMPEGVideoEncoder_EncodePipelineThread();
    TMPEGVideoEncoder_EncodePipelineThread(const TMPEGVideoEncoder_EncodePipelineThread&) = delete;
    TMPEGVideoEncoder_EncodePipelineThread& operator=(const TMPEGVideoEncoder_EncodePipelineThread&) = delete;

    // Waits for the batch before, then takes `batch` over (leaving it empty) and starts coding it.
    void Submit(TMPEGVideoFrameInfoList& batch);
    // Waits until no batch is being coded.
    void Wait();

private:
    void Run();

    TPipelineStage Encode;
    TPipelineNotify Notify;
    std::mutex Lock;
    std::condition_variable Changed;
    TMPEGVideoFrameInfoList Batch;
    bool Busy = false;
    bool Start = false;
    bool Terminate = false;
    TPipelineError Error;
    std::thread Thread;
};

// One analysis worker: its thread, its batch and its busy flag.
class TMPEGVideoEncoder_AnalyzePipelineThread_SubThread;

class TMPEGVideoEncoder_AnalyzePipelineThread {
public:
    // `workers` threads (1 or 2); `analyze` runs on a worker; `dispatch` hands an analysed batch
    // on and runs on the worker too, strictly in the order of the batches' Sequence numbers,
    // which start at `firstSequence` and must come without gaps. The analyses of two batches may
    // run at the same time.
    TMPEGVideoEncoder_AnalyzePipelineThread(int32_t workers, TPipelineStage analyze, TPipelineStage dispatch,
                                            TPipelineNotify notify, int64_t firstSequence = 0);
    ~TMPEGVideoEncoder_AnalyzePipelineThread();
    TMPEGVideoEncoder_AnalyzePipelineThread(const TMPEGVideoEncoder_AnalyzePipelineThread&) = delete;
    TMPEGVideoEncoder_AnalyzePipelineThread& operator=(const TMPEGVideoEncoder_AnalyzePipelineThread&) = delete;

    // Hands `batch` (left empty) to a free worker, waiting for one when all are busy.
    void Submit(TMPEGVideoFrameInfoList& batch);
    // Waits until every worker has handed its batch on.
    void WaitAll();

private:
    void Run(TMPEGVideoEncoder_AnalyzePipelineThread_SubThread& worker);
    // Waits (polling with notify) until `done` holds or an error was stored; raises the error.
    void WaitFor(std::unique_lock<std::mutex>& lock, const std::function<bool()>& done);

    TPipelineStage Analyze;
    TPipelineStage Dispatch;
    TPipelineNotify Notify;
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<std::unique_ptr<TMPEGVideoEncoder_AnalyzePipelineThread_SubThread>> Workers;
    int64_t NextSequence;
    bool Terminate = false;
    TPipelineError Error;
};

} // namespace quillset
