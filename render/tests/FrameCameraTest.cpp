// The frame paint box's camera: view transform, projection, standard
// views, field of view, centring and the camera gestures.

#include <gtest/gtest.h>

#include <cmath>

#include "render/tests/FrameFixtures.h"

using namespace rendertest;

namespace {

void Cube(TMDL& m) {
  MakeSkin(m, 16, 16, 100);
  // A box from (-10, -20, -5) to (30, 20, 15): its middle is off the origin.
  std::vector<TCorner> c;
  for (int i = 0; i < 8; ++i)
    c.push_back({i & 1 ? 30.0f : -10.0f, i & 2 ? 20.0f : -20.0f, i & 4 ? 15.0f : -5.0f, 0, 0});
  AddMesh(m, c, {{0, 1, 3}, {0, 3, 2}, {4, 6, 7}, {4, 7, 5}});
  m.Header->Radius = 37.4f;
}

TMatrix Product(const TMatrix& a, const TMatrix& b) { return Multiply(a, b); }

}  // namespace

TEST(FrameCamera, DefaultsAndDerivedValues) {
  TMDLEditor editor;
  TMDLFramePaintBox box(&editor);
  EXPECT_FLOAT_EQ(box.GetTheta(), 0.7f);
  EXPECT_FLOAT_EQ(box.GetPhi(), 1.1f);
  EXPECT_FLOAT_EQ(box.Rho, 100.0f);
  EXPECT_FLOAT_EQ(box.ScreenDistance, 1000.0f);
  EXPECT_TRUE(box.DistChangeable);
  EXPECT_FALSE(box.RhoChangeable);
  EXPECT_FALSE(box.Parallel);
  EXPECT_FLOAT_EQ(box.LightVector.x, -1.0f);
  EXPECT_FLOAT_EQ(box.SinTheta(), std::sin(0.7f));
  EXPECT_FLOAT_EQ(box.CTSP(), std::cos(0.7f) * std::sin(1.1f));
  // The inverse undoes the view transform, and the eye sits Rho from the origin.
  const TMatrix id = Product(box.ViewMatrix(), box.InverseViewMatrix());
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(id(r, c), r == c ? 1.0 : 0.0, 1e-5);
  EXPECT_NEAR(Length(box.EyePosition()), 100.0, 1e-3);
  // The eye coordinates of the eye itself are (0, 0, 0).
  const TVector eye = box.EyePosition();
  const TVector e = box.EyeCoordinates(eye.x, eye.y, eye.z);
  EXPECT_NEAR(e.x, 0, 1e-3);
  EXPECT_NEAR(e.y, 0, 1e-3);
  EXPECT_NEAR(e.z, 0, 1e-3);
}

TEST(FrameCamera, FrontViewPutsYRightAndZUp) {
  TMDLEditor editor;
  TMDLFramePaintBox box(&editor);
  box.SetView(1);
  box.CenterX = 160;
  box.CenterY = 100;
  const TPoint right = box.ProjectPoint(MakeVector(0, 1, 0));
  const TPoint up = box.ProjectPoint(MakeVector(0, 0, 1));
  EXPECT_GT(right.X, 160);
  EXPECT_EQ(right.Y, 100);
  EXPECT_LT(up.Y, 100);
  EXPECT_EQ(up.X, 160);
  // Perspective: the nearer of two equal offsets lies further out.
  EXPECT_GT(box.ProjectPoint(MakeVector(20, 1, 0)).X, right.X);
  EXPECT_EQ(box.ViewIndex, 1);
}

TEST(FrameCamera, ParallelProjectionIgnoresDistance) {
  TMDLEditor editor;
  TMDLFramePaintBox box(&editor);
  box.Parallel = true;
  const TVector eye = box.EyePosition();
  const TVector p = MakeVector(3, -4, 5);
  const TPoint a = box.ProjectPoint(p);
  // Moving the point along the line of sight leaves its pixel.
  for (float k : {-0.5f, 0.25f, 0.9f}) {
    const TPoint b = box.ProjectPoint(MakeVector(p.x + k * eye.x, p.y + k * eye.y, p.z + k * eye.z));
    EXPECT_EQ(a, b) << k;
  }
  box.Parallel = false;
  EXPECT_NE(a, box.ProjectPoint(MakeVector(p.x + 0.5f * eye.x, p.y + 0.5f * eye.y, p.z + 0.5f * eye.z)));
}

TEST(FrameCamera, ProjectionRoundsHalfToEven) {
  TMDLEditor editor;
  TMDLFramePaintBox box(&editor);
  box.SetView(1);
  box.Parallel = true;
  box.Rho = 1000;
  box.UpdateCamera();
  box.CenterX = 0;
  box.CenterY = 0;
  EXPECT_EQ(box.ProjectPoint(MakeVector(0, 0.5f, 0)).X, 0);
  EXPECT_EQ(box.ProjectPoint(MakeVector(0, 1.5f, 0)).X, 2);
  EXPECT_EQ(box.ProjectPoint(MakeVector(0, 2.5f, 0)).X, 2);
  EXPECT_EQ(box.ProjectPoint(MakeVector(0, -0.5f, 0)).X, 0);
  EXPECT_EQ(box.ProjectPoint(MakeVector(0, 0, -2.5f)).Y, 2);
  // Depths too: 12.5 -> 12, 37.5 -> 38, 6.25 -> 6.
  EXPECT_EQ(TMDLFramePaintBox::DepthOf(0.5f), 12);
  EXPECT_EQ(TMDLFramePaintBox::DepthOf(1.5f), 38);
  EXPECT_EQ(TMDLFramePaintBox::DepthOf(0.25f), 6);
}

TEST(FrameCamera, PointsOnOrBehindTheEyeStillProject) {
  TMDLEditor editor;
  TMDLFramePaintBox box(&editor);
  box.SetView(1);
  box.CenterX = 50;
  box.CenterY = 50;
  // Behind the eye the picture is mirrored, as the plain formula gives.
  const TPoint behind = box.ProjectPoint(MakeVector(200, 10, 0));
  EXPECT_LT(behind.X, 50);
  // On the eye's plane (seen from the top, z = Rho): a far-off pixel on
  // the right side rather than a crash or a wrapped integer.
  box.SetView(5);
  const TPoint plane = box.ProjectPoint(MakeVector(10, 10, 100));
  EXPECT_GT(plane.X, 10000);
  EXPECT_GT(plane.Y, 10000);
}

TEST(FrameCamera, UnreducibleAnglesGiveZeroSinesAndCosines) {
  TMDLEditor editor;
  TMDLFramePaintBox box(&editor);
  box.SetTheta(1e30f);
  EXPECT_EQ(box.SinTheta(), 0.0f);
  EXPECT_EQ(box.CosTheta(), 0.0f);
  box.SetPhi(INFINITY);
  EXPECT_EQ(box.SinPhi(), 0.0f);
  box.SetTheta(3.0f);
  EXPECT_FLOAT_EQ(box.SinTheta(), std::sin(3.0f));
}

TEST(FrameCamera, FieldOfView) {
  TMDLEditor editor;
  TMDLFramePaintBox box(&editor);
  box.SetBitmapWidth(320);
  box.SetBitmapHeight(200);
  EXPECT_EQ(box.GetFieldOfView(), 18);
  box.SetFieldOfView(15);
  // 320 cos 7.5 / (2 sin 7.5) = 1215.3
  EXPECT_FLOAT_EQ(box.ScreenDistance, 1215.0f);
  EXPECT_EQ(box.GetFieldOfView(), 15);
  box.SetFieldOfView(90);
  EXPECT_FLOAT_EQ(box.ScreenDistance, 160.0f);
  // No angle puts the picture plane at infinity or on the eye.
  box.SetFieldOfView(0);
  EXPECT_TRUE(std::isfinite(box.ScreenDistance));
  EXPECT_GT(box.ScreenDistance, 0);
  box.SetFieldOfView(180);
  EXPECT_GT(box.ScreenDistance, 0);
}

TEST(FrameCamera, BothButtonsZoomWithinFiveAndNinetyFiveDegrees) {
  TMDLEditor editor;
  TMDLFramePaintBox box(&editor);
  box.SetBitmapWidth(320);
  box.SetBitmapHeight(200);
  const TShiftState both = ssLeft | ssRight;
  for (int i = 0; i < 5; ++i) box.CameraDrag(both, 10, 10, 10, 5);
  EXPECT_EQ(box.GetFieldOfView(), 5);
  box.CameraDrag(both, 10, 10, 10, 5);
  EXPECT_EQ(box.GetFieldOfView(), 5);
  for (int i = 0; i < 12; ++i) box.CameraDrag(both, 10, 10, 10, 15);
  EXPECT_EQ(box.GetFieldOfView(), 95);
  // A sideways move changes nothing.
  const float d = box.ScreenDistance;
  box.CameraDrag(both, 10, 10, 30, 10);
  EXPECT_EQ(box.ScreenDistance, d);
}

TEST(FrameCamera, DragsPanZoomAndTurn) {
  TMDLEditor editor;
  TMDLFramePaintBox box(&editor);
  box.CenterX = 100;
  box.CenterY = 50;
  box.CameraDrag(ssLeft, 10, 10, 13, 8);
  EXPECT_EQ(box.CenterX, 103);
  EXPECT_EQ(box.CenterY, 48);

  // Shift changes Rho only when allowed; otherwise the drag pans.
  box.CameraDrag(ssLeft | ssShift, 10, 10, 10, 5);
  EXPECT_FLOAT_EQ(box.Rho, 100.0f);
  EXPECT_EQ(box.CenterY, 43);
  box.RhoChangeable = true;
  box.CameraDrag(ssLeft | ssShift, 10, 10, 10, 5);
  EXPECT_FLOAT_EQ(box.Rho, 105.0f);
  // The matrices follow Rho: the eye moved out with it.
  EXPECT_NEAR(Length(box.EyePosition()), 105.0, 1e-3);
  box.CameraDrag(ssLeft | ssShift, 10, 10, 10, 15);
  EXPECT_NEAR(box.Rho, 100.0f, 1e-3);

  box.CameraDrag(ssLeft | ssCtrl, 10, 10, 10, 5);
  EXPECT_FLOAT_EQ(box.ScreenDistance, 1050.0f);
  box.DistChangeable = false;
  box.CameraDrag(ssLeft | ssCtrl, 10, 10, 10, 5);
  EXPECT_FLOAT_EQ(box.ScreenDistance, 1050.0f);

  box.SetView(3);
  const float theta = box.GetTheta();
  const float phi = box.GetPhi();
  box.CameraDrag(ssRight, 20, 20, 15, 20);
  EXPECT_FLOAT_EQ(box.GetTheta(), theta + 0.1f);
  EXPECT_FLOAT_EQ(box.GetPhi(), phi) << "the vertical angle moves only when y changed";
  EXPECT_EQ(box.ViewIndex, 0);
  box.CameraDrag(ssRight, 20, 20, 20, 22);
  EXPECT_FLOAT_EQ(box.GetPhi(), phi - 0.04f);
  EXPECT_FLOAT_EQ(box.SinTheta(), std::sin(box.GetTheta()));
}

TEST(FrameCamera, LightFollowsTheCamera) {
  TMDLEditor editor;
  TMDLFramePaintBox box(&editor);
  box.CameraDrag(ssRight, 0, 0, 10, 0);
  EXPECT_FLOAT_EQ(box.LightVector.x, -1.0f) << "the light stays put by default";
  box.SetLightFollowsCamera(true);
  // The light travels from the eye towards the origin.
  TVector eye = box.EyePosition();
  Normalize(eye);
  EXPECT_NEAR(box.LightVector.x, -eye.x, 1e-5);
  EXPECT_NEAR(box.LightVector.y, -eye.y, 1e-5);
  EXPECT_NEAR(box.LightVector.z, -eye.z, 1e-5);
  box.CameraDrag(ssRight, 0, 0, 30, -20);
  eye = box.EyePosition();
  Normalize(eye);
  EXPECT_NEAR(box.LightVector.x, -eye.x, 1e-5);
  EXPECT_NEAR(box.LightVector.z, -eye.z, 1e-5);
  EXPECT_NEAR(Length(box.LightVector), 1.0, 1e-5);
}

TEST(FrameCamera, StandardViews) {
  TView v(Cube, 320, 200);
  TMDLFramePaintBox& box = *v.Box;
  struct {
    int Index;
    float Theta, Phi;
  } const views[] = {{0, 0.7f, 1.1f},     {1, 0, 1.5707964f}, {2, 3.14159265f, 1.5707964f},
                     {3, 4.712389f, 1.5707964f}, {4, 1.5707964f, 1.5707964f}, {5, 0, 0},
                     {6, 0, 3.14159265f}};
  for (const auto& s : views) {
    box.SetView(s.Index);
    EXPECT_EQ(box.GetTheta(), s.Theta) << s.Index;
    EXPECT_EQ(box.GetPhi(), s.Phi) << s.Index;
    EXPECT_EQ(box.ViewIndex, s.Index);
  }
  // The top view looks down the Z axis: a point on it projects onto the centre.
  box.SetView(5);
  EXPECT_EQ(box.ProjectPoint(MakeVector(0, 0, 10)), (TPoint{box.CenterX, box.CenterY}));
  EXPECT_STREQ(TMDLFramePaintBox::StandardViewName(5), "top");
  EXPECT_STREQ(TMDLFramePaintBox::StandardViewName(0), "");

  box.SetView(7);
  EXPECT_FLOAT_EQ(box.GetTheta(), 3.1f);
  EXPECT_FLOAT_EQ(box.GetPhi(), 1.09f);
  EXPECT_EQ(box.GetFieldOfView(), 15);
  EXPECT_EQ(box.CenterY, 187);  // Round(200 * 14 / 15) = Round(186.67)

  // An unknown index changes nothing.
  box.SetView(9);
  EXPECT_EQ(box.ViewIndex, 7);
  EXPECT_FLOAT_EQ(box.GetTheta(), 3.1f);
}

TEST(FrameCamera, CenterViewPutsTheBoxMiddleAtThePictureMiddle) {
  TView v(Cube, 320, 200);
  TMDLFramePaintBox& box = *v.Box;
  box.Parallel = false;
  box.DistanceOffset = 40;
  box.SetView(1);
  box.CenterView();
  EXPECT_FLOAT_EQ(box.RadiusAllowance, 37.0f + 150.0f);
  EXPECT_FLOAT_EQ(box.Rho, 40.0f + 187.0f);
  EXPECT_NEAR(Length(box.EyePosition()), 227.0, 1e-3);
  // From the front: y from -20 to 20 and z from -5 to 15 (middle z = 5),
  // projected with the Rho before the call (the fixture's 1000).
  EXPECT_EQ(box.CenterX, 160);
  EXPECT_EQ(box.CenterY, 100 + 5);

  // Without triangles only the picture's middle is taken.
  v.Editor.Model->Triangles->SetCount(0);
  box.CenterX = box.CenterY = 0;
  box.CenterView();
  EXPECT_EQ(box.CenterX, 160);
  EXPECT_EQ(box.CenterY, 100);
}

TEST(FrameCamera, CenterViewNeedsAModel) {
  TMDLEditor editor;
  TMDLFramePaintBox box(&editor);
  box.CenterX = 7;
  box.CenterView();
  EXPECT_EQ(box.CenterX, 7);
  EXPECT_FLOAT_EQ(box.Rho, 100.0f);
}

TEST(FrameCamera, SetResolutionKeepsTheFieldOfView) {
  TView v(Cube, 320, 200);
  TMDLFramePaintBox& box = *v.Box;
  box.ScreenDistance = 1001;
  const int fov = box.GetFieldOfView();
  box.SetResolution(640, 400);
  EXPECT_FLOAT_EQ(box.ScreenDistance, 2002.0f);
  EXPECT_EQ(box.GetFieldOfView(), fov);
  EXPECT_EQ(box.Bitmap().GetWidth(), 640);
  EXPECT_EQ(box.Bitmap().GetHeight(), 400);
  box.SetResolution(100, 400);
  EXPECT_FLOAT_EQ(box.ScreenDistance, 313.0f);  // 100 * 2002 / 640 = 312.8
  EXPECT_THROW(box.SetResolution(-1, 10), EWinGError);
}
