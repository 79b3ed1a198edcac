// Affine matrices, the transform texts the system understands, and the matrices of the open groups.
#pragma once

#include <array>
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

constexpr int kMatrixStackSize = 50;

// The matrices of the open groups, innermost last, that every point of an element passes through.
class CGroupMatrices
{
  public:
    void PushGroupMatrix();
    void PopGroupMatrix();
    void ParseGroupTransform(std::string_view text);
    // A stroke width under the element matrix m and every open group matrix.
    double ScaleStrokeWidth(double width, const CMatrix& m) const;
    // Applies the open group matrices, innermost first; nothing before any group transform was seen.
    // Inline, as MapPoint: every vertex passes here, and most drawings have no group transform.
    void ApplyGroupMatrices(double& x, double& y) const
    {
        if (m_groupTransformSeen == 0)
            return;
        for (int i = m_matrixDepth - 1; i >= 0; --i)
            ApplyMatrix(m_matrixStack[static_cast<std::size_t>(i)], x, y);
    }
    // False when MapPoint would leave every point as it is, so that loops over many points can skip it.
    bool MapsPoints(const CMatrix* element) const { return element != nullptr || m_groupTransformSeen != 0; }
    // Element matrix (when given) then group matrices.
    void MapPoint(const CMatrix* element, double& x, double& y) const
    {
        if (element != nullptr)
            ApplyMatrix(*element, x, y);
        ApplyGroupMatrices(x, y);
    }

    std::array<CMatrix, kMatrixStackSize> m_matrixStack{};
    int m_matrixDepth = 0;    // entries in use, 0..kMatrixStackSize
    int m_matrixOverflow = 0; // open groups beyond the stack; their transforms are not applied
    int m_groupTransformSeen = 0;
};
