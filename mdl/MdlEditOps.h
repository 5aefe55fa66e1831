#pragma once
// Mesh and scene operations behind the editing commands: deleting,
// flipping, aligning and making triangles, merging and splitting vertices,
// copying a scene. Each gives the result of the plain loop it is described
// by (orders, ties and which triangle wins included) in time that grows
// with the size of the mesh rather than its square.

#include <vector>

#include "mdl/MdlTypes.h"

class TMDL;
class TMDLFrameList;
class TMDLTriangleList;

// How a triangle `b` lies against `a`: through a shared edge running the
// same way in both (so they wind in opposite directions), through one
// running the other way (they wind alike), or not at all. The edges of each
// are corners 1-2, 2-3, 3-1; a's edges are tried in order, against b's in
// order, and the first pair that matches in either direction decides (the
// same direction first).
enum class TEdgeShare { None, SameDirection, Reversed };
TEdgeShare SharedEdge(const TTriangle& a, const TTriangle& b);

// Swaps the first and third corner: the winding turns round.
inline void FlipTriangle(TTriangle& t) {
  const int32_t v = t.Vertex[0];
  t.Vertex[0] = t.Vertex[2];
  t.Vertex[2] = v;
}

// Removes every triangle whose flag is set (marked.size() may be shorter
// than the list: the rest count as unmarked); the others keep their order.
// Then the vertices no triangle uses are removed.
void DeleteMarkedTriangles(TMDL& model, const std::vector<bool>& marked);
// Removes every triangle with a corner among the marked vertices, as
// DeleteUsingVertex of each of them would; then the loose vertices.
void DeleteTrianglesUsingVertices(TMDL& model, const std::vector<bool>& marked);

// Makes the winding of every triangle reached from `start` through shared
// edges agree with it: a depth-first walk that scans each triangle's
// unvisited neighbours in ascending order, turns one that winds the other
// way before entering it, and leaves a triangle after its third neighbour.
// Nothing happens for a `start` outside the list.
void AlignTriangles(TMDLTriangleList& triangles, int start);

// Turns `t` round when the first triangle of the list, in ascending order,
// that shares an edge with it winds the other way. True when it was turned.
bool OrientLikeNeighbour(const TMDLTriangleList& triangles, TTriangle& t);

// Every corner that uses a marked vertex uses `target` instead; then every
// triangle with two equal corners goes, and the vertices no triangle uses.
void MergeVertices(TMDL& model, const std::vector<bool>& marked, int target);

// The vertex count SplitVertices would leave.
int SplitVerticesResult(const TMDL& model, const std::vector<bool>& marked);
// For each triangle in order and each corner that uses a marked vertex: a
// copy of the vertex (skin record, owner and its position in every frame)
// is appended and the corner uses it. Then the vertices no triangle uses
// (the split ones among them) are removed.
void SplitVertices(TMDL& model, const std::vector<bool>& marked);

// Inserts a copy of scene s (frames with their pivots, intervals, type) in
// front of it.
void DuplicateScene(TMDLFrameList& frames, int s);
