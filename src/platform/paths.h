// Path texts as the user types them: both '/' and '\' separate folders, so drawings named
// with Windows paths keep working.
#pragma once

#include <string>
#include <string_view>

namespace orbelin
{

// Position of the last '/' or '\' in the path, or npos.
std::size_t LastSeparator(std::string_view path);

// The path with the extension after the last folder separator replaced by ".dxf"; without an
// extension ".dxf" is appended ("C:\a.x\drawing" -> "C:\a.x\drawing.dxf").
std::string ProposeOutputPath(std::string_view inputPath);

// The folder part of a path, cut just after its last separator; a path without a separator
// is returned whole.
std::string FolderOf(std::string_view path);

// True when both texts name the same existing file (or are the same text).
bool SameFile(const std::string& a, const std::string& b);

} // namespace orbelin
