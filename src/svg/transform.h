// Affine matrices and the transform texts the system understands.
#pragma once

#include <string_view>

// Maps (x, y) to (a·x + c·y + e, b·x + d·y + f).
struct CMatrix
{
    double a = 1.0, b = 0.0, c = 0.0, d = 1.0, e = 0.0, f = 0.0;
};

// Parses a transform text into m (which the caller has set to identity): matrix(...), or else
// translate(...) then scale(...). groupForm drops the one character after "translate", as group
// transforms are read.
void ParseTransformText(std::string_view text, CMatrix& m, bool groupForm);

// Sets m to identity and parses the text into it; 0 for an empty text (callers then skip the
// mapping), 1 otherwise.
int ParseTransform(std::string_view text, CMatrix& m);

// Replaces (x, y) by its image under m.
void ApplyMatrix(const CMatrix& m, double& x, double& y);
