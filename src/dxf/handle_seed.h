// The handle-seed patch: the header is written before the entities are known, so the finished file
// gets its true $HANDSEED afterwards, in place of the placeholder the frame wrote first. Runs on the
// closed file, once CDxfWriter's writing thread has written everything.
#pragma once

#include <string>

// Replaces placeholder, the value of the $HANDSEED group near the start of the file at path, by seed.
// False when the file cannot be read and written or the group is not found.
bool PatchHandleSeed(const std::string& path, const std::string& placeholder, const std::string& seed);
