#include "svg/reading_choice.h"

#include "svg/exact_reading.h"

namespace
{

// The document-order reading, as the walker has always done it.
class CDefaultReading final : public CSvgReading
{
  public:
    CDefaultReading(CConverter& converter, CElementWalker::ProgressSink progress,
                    CElementWalker::ElementSink elementDone)
        : m_walker(converter, std::move(progress), std::move(elementDone))
    {
    }
    void Prepare(const CXML&, std::string_view) override {}
    void Walk(CXML& root, int n) override { m_walker.WalkElement(root, n); }

  private:
    CElementWalker m_walker;
};

} // namespace

std::unique_ptr<CSvgReading> MakeSvgReading(bool exact, CConverter& converter,
                                            CElementWalker::ProgressSink progress,
                                            CElementWalker::ElementSink elementDone,
                                            CSvgReading::NoticeSink notice)
{
    if (exact)
        return std::make_unique<CExactReading>(converter, std::move(progress), std::move(elementDone),
                                               std::move(notice));
    return std::make_unique<CDefaultReading>(converter, std::move(progress), std::move(elementDone));
}
