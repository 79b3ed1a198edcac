#include "support/scratch_drawing.h"

#include <gtest/gtest.h>

namespace testing_support
{

ScratchDrawing::ScratchDrawing(const std::string& prefix, const std::function<void(CConverter&)>& setup)
{
    static int counter = 0;
    m_path = (ScratchDir() / (prefix + "-" + std::to_string(counter++) + ".dxf")).string();
    setup(converter);
    m_begun = converter.BeginDxfDocument(m_path) == 0;
}

std::vector<std::vector<Group>> ScratchDrawing::Finish()
{
    EXPECT_TRUE(m_begun);
    EXPECT_EQ(converter.EndDxfDocument(), 0);
    EXPECT_EQ(CheckWithDxflib(m_path), "");
    return Entities(ReadFile(m_path));
}

std::vector<std::string> Types(const std::vector<std::vector<Group>>& entities)
{
    std::vector<std::string> types;
    for (const auto& e : entities)
        types.push_back(e.front().value);
    return types;
}

double Real(const std::vector<Group>& entity, int code)
{
    return std::stod(GroupValue(entity, code));
}

} // namespace testing_support
