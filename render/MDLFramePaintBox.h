#pragma once
// The frame paint box: the surface that shows one frame of the open model,
// drawn in software into its 8-bit bitmap, and the editor's 3-D input
// surface. The camera is an eye on a sphere around the model's origin
// (Rho, Theta, Phi) looking at the origin, with the picture plane
// ScreenDistance pixels from the eye.
//
// Files: MDLFrameCamera.cpp (camera and view transform), MDLFramePaint.cpp
// (construction, editor events, the whole picture), FrameRaster.cpp (pixel
// routines), MDLFramePick.cpp (picking and the editing tools),
// MDLFrameAnimation.cpp (playback).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Vectors.h"
#include "editor/AnimationThread.h"
#include "editor/MDLEdit.h"
#include "raster/WinGSurface.h"
#include "render/FrameRaster.h"
#include "render/PerformanceInfo.h"

enum TFrameViewMode : uint8_t {
  vmTextured = 0,
  vmSolid = 1,
  vmWireFrame = 2,
  vmSkinRecorder = 3,
};

enum TFrameToolMode : uint8_t {
  tmView = 0,
  tmVertex = 1,
  tmTriangle = 2,
  tmPen = 3,
  tmColorReplace = 4,
  tmFloodFill = 5,
  tmMovePivot = 6,
  tmRotatePivot = 7,
  tmScalePivot = 8,
};

// A text the window paints over the picture (the bitmap canvas has no
// text): at bitmap position (X, Y), top left corner of the text, in the
// display-palette colour Color, transparent background.
struct TViewLabel {
  std::string Text;
  int X = 0;
  int Y = 0;
  uint8_t Color = 0;
  bool Bold = false;
  bool operator==(const TViewLabel&) const = default;
};

// A depth and the vertex it belongs to, as the vertex picker sorts them.
struct TDepthPair {
  float Key = 0;
  int32_t Index = 0;
};

// Sorts pairs lo..hi nearest first, leaving equal keys in exactly the order
// a TZSorter's Sort leaves them (the vertex picker's ties depend on it).
void SortDepthPairs(TDepthPair* pairs, int lo, int hi);

class TMDLFramePaintBox : public TWinGSurface {
public:
  using TNotifyEvent = std::function<void(TMDLFramePaintBox& sender)>;

  // `editor` null: the program-wide editor (made when there is none yet).
  // The editor must outlive the paint box. `ownerCall` hands animation
  // ticks to the user-interface thread (see TAnimationTimerThread).
  explicit TMDLFramePaintBox(TMDLEditor* editor = nullptr, TSurfaceHost* host = nullptr,
                             TAnimationTimerThread::TOwnerCall ownerCall = {});
  ~TMDLFramePaintBox() override;

  TMDLEditor& Editor() const { return *Editor_; }
  // The editor is ready, with a frame and a skin.
  bool HasValidEditor() const { return Editor_ && Editor_->IsValid(); }
  TMDLObserver& Observer() { return Observer_; }
  // What the form does once it has made the paint box: CenterView, then
  // enable the observer and register it with the editor.
  void Loaded();

  // ---- camera (MDLFrameCamera.cpp) --------------------------------------------
  float Rho = 100.0f;
  float ScreenDistance = 1000.0f;
  int32_t CenterX = 0;
  int32_t CenterY = 0;
  bool Parallel = false;
  int32_t DistanceOffset = 0;
  float RadiusAllowance = 0;
  uint8_t ViewIndex = 0;
  bool DistChangeable = true;
  bool RhoChangeable = false;
  // Direction in which the light travels, unit length.
  TVector LightVector{-1.0f, 0.0f, 0.0f, 0.0f};

  float GetTheta() const { return Theta_; }
  float GetPhi() const { return Phi_; }
  // Store the angle (radians, as given) and UpdateCamera.
  void SetTheta(float a);
  void SetPhi(float a);
  // Every derived value again from Theta, Phi and Rho.
  void UpdateCamera();
  float SinTheta() const { return SinTheta_; }
  float CosTheta() const { return CosTheta_; }
  float SinPhi() const { return SinPhi_; }
  float CosPhi() const { return CosPhi_; }
  float CTCP() const { return CTCP_; }
  float CTSP() const { return CTSP_; }
  float STCP() const { return STCP_; }
  float STSP() const { return STSP_; }
  const TMatrix& ViewMatrix() const { return ViewMatrix_; }
  const TMatrix& InverseViewMatrix() const { return InverseViewMatrix_; }
  // The eye's place in model space (the inverse view matrix's fourth column).
  TVector EyePosition() const;

  // Eye coordinates of a model point: x to the right, y up, z away from the eye.
  TVector EyeCoordinates(float x, float y, float z) const;
  // The pixel of a model point (rounded half to even); points behind the
  // eye are projected like any other.
  TPoint ProjectPoint(const TVector& p) const;
  TPoint ProjectEye(const TVector& eye) const;
  // The depth the depth buffer compares: Round(ez * 25).
  static int32_t DepthOf(float ez);

  int GetFieldOfView() const;
  void SetFieldOfView(int degrees);
  // One of the standard views 0..7; other indices change nothing.
  void SetView(int index);
  void CenterView();
  // Keeps the field of view while the picture size changes, then recentres.
  void SetResolution(int width, int height);
  // The camera move of a drag from (x1, y1) to (x2, y2) with no editing tool.
  void CameraDrag(TShiftState shift, int x1, int y1, int x2, int y2);
  bool LightFollowsCamera() const { return LightFollowsCamera_; }
  // Switching it on points the light from the eye at once.
  void SetLightFollowsCamera(bool on);
  // LightVector := the eye position reversed, normalised.
  void LightFromCamera();
  // "front", "back", ... for views 1..7; empty for 0 and anything else.
  static const char* StandardViewName(int index);

  // ---- rendering (MDLFramePaint.cpp) ------------------------------------------
  bool Lighting = false;
  bool ShowBacksides = false;
  bool ShowGroundPlane = true;
  uint8_t GroundColor = 0;
  // The frame shown, counted within the current scene.
  int32_t PlayFrame = 0;
  TPerformanceInfo Performance;
  // The skin being recorded in view mode 3, in game colours.
  TWinGBitmap RecordBitmap;

  uint8_t ViewMode() const { return ViewMode_; }
  // Entering the skin recorder clears the recording.
  void SetViewMode(uint8_t mode);
  uint8_t BackgroundIndex() const { return BackgroundIndex_; }
  void SetBackgroundIndex(uint8_t index);
  bool Selected() const { return Selected_; }
  // A different value also sets IgnoreNextClick and invalidates.
  void SetSelected(bool value);

  // The texts to paint over the last picture: the axis letters and, after
  // PaintAdornments, the standard view's name.
  const std::vector<TViewLabel>& Labels() const { return Labels_; }
  // The frame's vertices as the last paint (or pick) projected them.
  const std::vector<TVertexRecord>& VertexRecords() const { return Records_; }
  const TFrameRaster& Raster() const { return Raster_; }

  // ---- picking and manipulation (MDLFramePick.cpp) ----------------------------
  uint8_t ToolMode() const { return ToolMode_; }
  void SetToolMode(uint8_t mode);
  int32_t HitTolerance = 1;
  TRect RubberBand;
  TVector MoveRemainder{};
  float GridX() const { return GridX_; }
  float GridY() const { return GridY_; }
  float GridZ() const { return GridZ_; }
  // Steps below 0.01 are taken as 0.01.
  void SetGridX(float v);
  void SetGridY(float v);
  void SetGridZ(float v);
  int32_t PivotAxis = 0;
  bool Dragged = false;
  bool Moved = false;
  TShiftState PressShift;
  bool RightClickPending = false;
  bool IgnoreNextClick = false;
  // The pop-up menu a right click opens at its release; empty for none.
  std::string PopupMenuName;

  // Vertex index under (x, y) or -1; `nearest` the vertex closest on screen.
  int PickVertex(int x, int y, int& nearest);
  // Triangle index under (x, y) or -1, with the skin coordinates there.
  int PickTriangle(int x, int y, int& s, int& t);
  // The same pick by scanning every triangle into the depth buffer, as the
  // picture is drawn; PickTriangle steps only to the one pixel and gives
  // exactly this answer. Kept for checking and measuring.
  int PickTriangleScan(int x, int y, int& s, int& t);
  void SelectVerticesInRect(const TRect& r);
  void MoveSelectedVertices(int x1, int y1, int x2, int y2);
  void DragPivot(int x1, int y1, int x2, int y2);
  bool PickPivotAxis(int x, int y);

  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

  // ---- animation (MDLFrameAnimation.cpp) ---------------------------------------
  void StartAnimation();
  void StopAnimation();
  int32_t FramesPerSecond() const { return FramesPerSecond_; }
  void SetFramesPerSecond(int32_t fps);
  // Milliseconds of the last animation redraw.
  double RenderTime = 0;
  // Raised after every animation tick's redraw.
  TNotifyEvent OnFrameChange;
  TAnimationTimerThread& AnimationTimer() { return *Timer_; }

protected:
  // ---- surface operations
  void PaintSurface(TWinGBitmap& surf) override;
  void PaintAdornments(TWinGBitmap& surf) override;
  void HitSurface(TShiftState shift, int x, int y, bool& captureMove) override;
  void HitMove(TShiftState shift, int x1, int y1, int x2, int y2, bool& releaseCapture) override;
  void HitRelease(TShiftState shift, int x, int y) override;

  // ---- pixel routines (records of ProjectVertices)
  void FillTexturedTriangle(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c);
  void FillRecordTriangle(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c);
  void FillSolidTriangle(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c,
                         uint8_t fillColor, uint8_t edgeColor);
  void OutlineTriangle(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c, uint8_t color);
  void DrawDepthLine(const TVertexRecord& a, const TVertexRecord& b, uint8_t color);
  void DrawGroundPlane(float z, float halfX, float halfY);
  // A vertex record for a model point (no skin values, light 32).
  TVertexRecord PointRecord(float x, float y, float z) const;

  // The frame being shown (PlayFrame within the current scene, kept inside
  // the frame list), or null without a valid editor.
  TMDLFrame* ShownFrame() const;
  // Fills VertexRecords for `frame` and returns the rectangle the vertices
  // cover (grown by one pixel, within the bitmap; empty when none).
  TRect ProjectVertices(TMDLFrame& frame);
  // Points the rasteriser at the surface bitmap and clears the depth buffer.
  void ResetDepthBuffer();
  // The pixel routines themselves, for the picker's depth probe.
  TFrameRaster& RasterRef() { return Raster_; }
  // Applies the seam rule: corners of a triangle facing back use SeamS.
  static void ApplySeam(TVertexRecord& r) { r.S = r.SeamS; }

  // The tick handler of the animation timer (user-interface thread).
  void AnimationTick();

  // The model point under pixel (x, y) at eye depth `ez`.
  TVector UnprojectAtDepth(int x, int y, float ez) const;

private:
  void BindObserver();
  void InitAnimation(TAnimationTimerThread::TOwnerCall ownerCall);
  // The three axes from the origin of `frame` (null: the world), with their letters when asked.
  void DrawAxes(TWinGBitmap& surf, const TMatrix* frame, bool labels);
  void PaintTriangles();
  void PaintMarks();
  // The corners of triangle `tri` as the pickers see it (seam rule
  // applied); false when the pickers skip it (hidden, or facing away
  // outside the triangle tool).
  bool PickCorners(int tri, TVertexRecord& a, TVertexRecord& b, TVertexRecord& c) const;
  // The editor's pivot change for the current object: differences of
  // translation, scale and rotation, over the frames the transform
  // settings choose.
  void ChangeCurrentPivot(const float move[3], const float scale[3], const float turn[3]);
  // The skin's pixel at (s, t), the nearest edge pixel outside it.
  static uint8_t SkinPixelAt(const TMDLBitmap& skin, int s, int t);
  // The undo step of a drag or stroke: opened before its first change,
  // closed when the button is released. `skin` >= 0: a stroke on that skin.
  void BeginDragStep(const char* name, int skin = -1);
  void EndDragStep() { DragStep_.reset(); }
  // The name of the step a drag of the current tool makes.
  const char* DragStepName() const;

  TMDLEditor* Editor_ = nullptr;
  // Whether Editor_ is the program-wide editor (which may go first).
  bool SharedEditor_ = false;
  TMDLObserver Observer_;
  std::optional<TUndoStep> DragStep_;
  TFrameRaster Raster_;
  std::vector<TVertexRecord> Records_;
  std::vector<TViewLabel> Labels_;
  std::vector<const uint8_t*> SkinRows_;
  std::vector<uint8_t*> RecordRows_;

  float Theta_ = 0.7f;
  float Phi_ = 1.1f;
  float SinTheta_ = 0, CosTheta_ = 0, SinPhi_ = 0, CosPhi_ = 0;
  float CTCP_ = 0, CTSP_ = 0, STCP_ = 0, STSP_ = 0;
  TMatrix ViewMatrix_;
  TMatrix InverseViewMatrix_;
  bool LightFollowsCamera_ = false;

  uint8_t ViewMode_ = vmTextured;
  uint8_t BackgroundIndex_ = 10;
  bool Selected_ = false;

  uint8_t ToolMode_ = tmView;
  float GridX_ = 0.1f;
  float GridY_ = 0.1f;
  float GridZ_ = 0.1f;

  // Pixels and depths of the vertices, kept between picks.
  std::vector<TPoint> PickPixels_;
  std::vector<TDepthPair> PickPairs_;

  int32_t FramesPerSecond_ = TAnimationTimerThread::kDefaultFramesPerSecond;
  // Whether ticks can reach the user-interface thread; without, no playback.
  bool AnimationHandOver_ = false;
  std::unique_ptr<TAnimationTimerThread> Timer_;
};
