#pragma once
// The game's table of 162 light normals and the search for the entry that
// best matches a direction. Frames store a normal as an index into it.

#include "core/Vectors.h"
#include "mdl/MdlTypes.h"

extern const float kLightNormals[kNormalCount][3];

// Entry j as a vector with w = 1.
TVector LightNormal(int j);

// The entry with the largest dot product with `a`: every entry is tried in
// order from a best value of -999999 and taken only when strictly larger, so
// the first of equal entries wins.
int NearestNormalExhaustive(const TVector& a);

// The same result as NearestNormalExhaustive, ties included, found by trying
// only the few entries that can win in the region of directions around `a`.
// Meant for unit vectors; anything else falls back to the full search.
int NearestNormal(const TVector& a);
