// The choice between the default and the exact reading, made once at the start of a conversion.
#pragma once

#include "svg/reading.h"

#include <memory>

class CConverter;

// The exact reading when exact is set, else the default one; both write through converter.
std::unique_ptr<CSvgReading> MakeSvgReading(bool exact, CConverter& converter,
                                            CElementWalker::ProgressSink progress,
                                            CElementWalker::ElementSink elementDone,
                                            CSvgReading::NoticeSink notice = {});
