// Changing the current object's pivot over the frames the object transform
// settings choose: the tool-properties fields and the frame view's pivot
// tools both come through here.

#include <algorithm>
#include <cmath>

#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"
#include "mdl/MdlObjects.h"
#include "mdl/Pivot.h"

void TMDLEditor::TransformObject(const float diff[9]) {
  if (!IsValid()) return;
  TMDLObject* object = CurrentObjectObject();
  if (!object) return;
  TUndoStep step(*this, "Transform Object");
  TMDLFrameList& frames = *Model->Frames;
  // The frames of the scope, in ascending order.
  const int current = AbsoluteFrame();
  const int sceneEnd = SceneFirstFrame + SceneFrameCount - 1;
  int first = current, last = current;
  switch (TransformScope) {
    case 1: last = sceneEnd; break;
    case 2: first = SceneFirstFrame, last = sceneEnd; break;
    case 3: first = 0, last = frames.Count() - 1; break;
    default: break;
  }
  first = std::max(first, 0);
  last = std::min(last, frames.Count() - 1);
  float target[TPivot::kChannels] = {};
  for (int f = first; f <= last; ++f) {
    if (object->Index >= frames.Frame(f).PivotCount()) continue;
    TPivot& p = object->Pivot(f);
    float v[TPivot::kChannels];
    for (int i = 0; i < TPivot::kChannels; ++i) {
      v[i] = p.Channel(i);
      // A channel that hardly changes keeps each frame's own value.
      if (!(std::fabs(diff[i]) > 0.001f)) continue;
      // Relative: every frame moves by the difference. Absolute: the values
      // reached at the first frame are given to all later ones.
      if (f == first || TransformMode == 0) target[i] = v[i] + diff[i];
      v[i] = target[i];
    }
    if (TransformSubject == 0) {
      // The object's vertices and its children move with the pivot.
      p.SetChannelsNotify(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
    } else {
      // The pivot alone: the children keep their places on the new transform.
      p.SetChannels(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
      object->LinkChildren(f);
    }
  }
}
