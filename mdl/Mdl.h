#pragma once
// The model document: one animated triangle mesh with its skins, frames
// grouped into scenes, and objects with pivots. TMDL owns one of each
// section; every section knows its model.

#include <memory>
#include <string>

#include "core/Streams.h"
#include "mdl/MdlCopy.h"
#include "mdl/MdlFiler.h"
#include "mdl/MdlFrames.h"
#include "mdl/MdlMesh.h"
#include "mdl/MdlObjects.h"
#include "mdl/MdlSkins.h"
#include "mdl/MdlTypes.h"

class TMDLState;

class TMDL {
public:
  TMDL();
  ~TMDL();

  // The empty model: no skins, vertices, triangles or frames, the root
  // object only, default header values.
  void Clear();
  void LoadFromFile(const std::string& name);
  // Writes to a temporary file beside `name` and renames it over `name` only
  // when everything was written, so a failed save leaves the old file.
  void SaveToFile(const std::string& name, bool withExtension);
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream, bool withExtension);
  // Appends the model in `fileName`: its skins beside this model's, its
  // mesh and objects, and its first frame's positions in every frame
  // (mdl/MdlMerge.cpp). Refused with EMDLError over the model limits.
  void Merge(const std::string& fileName);

  // The sections; copies of the model do not take them (see below).
  TNotCopied<std::unique_ptr<TMDLBitmapList>> Skins;
  std::string FileName;
  TNotCopied<std::unique_ptr<TMDLFiler>> Header;
  TNotCopied<std::unique_ptr<TMDLFrameList>> Frames;
  TNotCopied<std::unique_ptr<TMDLObjectList>> Objects;
  TNotCopied<std::unique_ptr<TMDLTriangleList>> Triangles;
  TNotCopied<std::unique_ptr<TMDLVertexList>> Vertices;

private:
  // A copy is the model's own values without its sections: TMDLState
  // copies those one by one.
  friend class TMDLState;
  TMDL(const TMDL&) = default;
  TMDL& operator=(const TMDL&) = default;
  bool operator==(const TMDL&) const = default;
};

// The absolute, normalised path of `name`, as FileName keeps it. The case is
// kept: on this system file names are case-sensitive.
std::string ExpandedFileName(const std::string& name);
