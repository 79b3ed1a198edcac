#include "app/conversion_run.h"

#include <chrono>

CConversionRun::CConversionRun(std::vector<ConversionRequest> jobs, QObject* parent)
    : QObject(parent), m_jobs(std::move(jobs))
{
    for (ConversionRequest& job : m_jobs)
        job.cancel = &m_cancel;
}

CConversionRun::~CConversionRun()
{
    Cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void CConversionRun::Start()
{
    m_thread = std::thread([this] { Run(); });
}

void CConversionRun::Run()
{
    for (int index = 0; index < JobCount(); ++index)
    {
        if (IsCancelled())
            break;
        const auto start = std::chrono::steady_clock::now();
        const ConversionResult result = RunConversion(
            m_jobs[static_cast<std::size_t>(index)],
            [this, index](int percent)
            {
                if (m_hook)
                    m_hook(index, percent);
                QMetaObject::invokeMethod(
                    this, [this, index, percent] { emit Progress(index, percent); }, Qt::QueuedConnection);
            });
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        QMetaObject::invokeMethod(
            this, [this, index, result, seconds] { emit JobDone(index, result, seconds); },
            Qt::QueuedConnection);
        if (result.status == ConversionStatus::Cancelled)
            break;
    }
    QMetaObject::invokeMethod(
        this, [this] { emit Finished(); }, Qt::QueuedConnection);
}
