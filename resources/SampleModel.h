#pragma once
// The sample model: a small animated figure built entirely in code, with a
// torch in its right hand. It has three scenes ("stand", a timed group of
// two frames; "walk", eight frames; "wave", four frames), two objects under
// the root ("body", and "torch" as the body's child, each with a pivot per
// frame) and two painted skins of the same layout ("brown" and "slate").
//
// `tessel make-sample` writes it (sample.mdl beside this file is that
// file), and tests, fuzzing seeds and benchmarks take it as a model. The
// build uses no maths library calls (angles come from a table of literals),
// so the same program always writes the same bytes: the tests compare
// sample.mdl with a fresh build.

#include <memory>

class TMDL;

namespace sample {
constexpr int kSkinWidth = 128;
constexpr int kSkinHeight = 128;
// Unused skin texels keep this index (black).
constexpr int kBackground = 0;
// The feet rest on this height, which is also the header's eye height (the
// frame view draws its ground grid there).
constexpr float kGround = -24.0f;
}  // namespace sample

// The figure in `model`, which is cleared first.
void BuildSampleModel(TMDL& model);
std::unique_ptr<TMDL> BuildSampleModel();
