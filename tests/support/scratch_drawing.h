// A converter writing into a scratch DXF file, for tests that call the emitters directly.
#pragma once

#include "support/test_support.h"
#include "svg/converter.h"

#include <functional>
#include <string>
#include <vector>

namespace testing_support
{

class ScratchDrawing
{
public:
    // setup runs before the document is begun: dash patterns and fonts must be known to the tables.
    ScratchDrawing(const std::string& prefix, const std::function<void(CConverter&)>& setup);

    // Closes the document, checks it with dxflib's reader and returns its entities.
    std::vector<std::vector<Group>> Finish();

    CConverter converter;

protected:
    std::string m_path;
    bool m_begun = false;
};

// The type (group 0) of each entity.
std::vector<std::string> Types(const std::vector<std::vector<Group>>& entities);
// The first group with the code, as a number.
double Real(const std::vector<Group>& entity, int code);

} // namespace testing_support
