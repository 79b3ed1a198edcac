// Conversions run one after another on a thread of their own, so that the window keeps painting and
// answering while a large drawing is converted. What the thread reports reaches the window's
// thread through its event queue, in the order it was reported.
#pragma once

#include "conversion/conversion.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

class CConversionRun : public QObject
{
    Q_OBJECT

  public:
    explicit CConversionRun(std::vector<ConversionRequest> jobs, QObject* parent = nullptr);
    // Stops the run and waits for the thread; nothing more is reported.
    ~CConversionRun() override;
    CConversionRun(const CConversionRun&) = delete;
    CConversionRun& operator=(const CConversionRun&) = delete;

    void Start();
    // Asks the running conversion to stop and the jobs after it not to start. From any thread.
    void Cancel() { m_cancel.store(true); }
    bool IsCancelled() const { return m_cancel.load(); }
    int JobCount() const { return static_cast<int>(m_jobs.size()); }
    const ConversionRequest& Job(int index) const { return m_jobs[static_cast<std::size_t>(index)]; }
    // Called on the converting thread with each progress value before it is queued (tests and
    // screenshots hold the run there). Set before Start().
    void SetProgressHook(std::function<void(int job, int percent)> hook) { m_hook = std::move(hook); }

  signals:
    void Progress(int job, int percent);
    // seconds: the time the conversion took.
    void JobDone(int job, const ConversionResult& result, double seconds);
    // After the last job, or after the job that was stopped.
    void Finished();

  private:
    void Run();

    std::vector<ConversionRequest> m_jobs;
    std::atomic<bool> m_cancel{false};
    std::function<void(int, int)> m_hook;
    std::thread m_thread;
};
