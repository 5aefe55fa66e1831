#pragma once
// Thumbnails of models for file managers: the first frame, lit and
// textured as the frame view draws it, fitted into a square with a
// transparent background, in true colour with alpha.

#include <cstdint>
#include <vector>

#include "core/Exception.h"

class TMDLEditor;

TESSEL_DECLARE_EXCEPTION(EThumbnailError, Exception);

constexpr int kMaxThumbnailSize = 1024;

// size x size pixels of red, green, blue, alpha, rows from the top. The
// model's longer side fills the square, the other is centred.
// EThumbnailError for sizes outside 1..kMaxThumbnailSize or a model
// without a frame or a skin.
std::vector<uint8_t> RenderThumbnail(TMDLEditor& editor, int size);
