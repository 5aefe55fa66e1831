// A model from arbitrary bytes drawn as `tessel render` draws it: the frame
// paint box off screen, the camera fitted to the model's box. The last byte
// picks the mode, view, lighting and back faces. Loading may raise; drawing
// whatever loaded must not crash, hang or read outside the skin.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "core/Streams.h"
#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"
#include "render/MDLFramePaintBox.h"
#include "render/RenderCamera.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t pick = data[size - 1];
  TMDLEditor editor;
  try {
    TMemoryStream s(std::vector<uint8_t>(data, data + size - 1));
    editor.Model->LoadFromStream(s);
  } catch (const Exception&) {
    return 0;
  }
  editor.SetReady(true);
  if (!editor.IsValid()) return 0;
  editor.SetCurrentScene(0);
  editor.SetCurrentSkin(pick / 96);
  TOffscreenSurfaceHost host;
  host.Bounds = TRect{0, 0, 61, 47};
  TMDLFramePaintBox box(&editor, &host);
  box.SetBitmapFitting(bfNone);
  box.SetViewMode(pick % 3);
  box.Lighting = (pick / 24) % 2 != 0;
  box.ShowBacksides = (pick / 48) % 2 != 0;
  box.SetResolution(61, 47);
  const int view = (pick / 3) % 8;
  box.SetView(view);
  box.CenterView();
  if (view == 7) box.SetView(7);
  else FitCamera(box, *editor.Model, box.Bitmap().GetWidth(), box.Bitmap().GetHeight());
  box.LightFromCamera();
  const int frames = editor.Model->Frames->SceneFrameCount(0);
  for (int f = 0; f < frames && f < 4; ++f) {
    editor.SetCurrentFrame(f);
    box.PlayFrame = f;
    box.Paint();
  }
  return 0;
}
