// The Frame Editor as a user meets it: a real model in real views, driven
// by mouse clicks on the surface widgets, its tool bar, menus, settings,
// playback and the skin recorder, and damaged settings and empty models.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMouseEvent>
#include <QMenu>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/IniFile.h"
#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"
#include "resources/SampleModel.h"
#include "tessel/ui/FrameViewOptions.h"
#include "tessel/ui/FrameViewer.h"
#include "tessel/ui/ModelViewer.h"
#include "tessel/ui/ToolPropsEditor.h"
#include "widgets/FileDialogs.h"
#include "tessel/ui/PerformanceForm.h"
#include "widgets/SurfaceWidget.h"

namespace fs = std::filesystem;

namespace {

class FrameViewerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    fs::remove(SettingsFileName());
    Errors.clear();
    TFrameViewer::ShowError = [this](QWidget*, const QString& text) { Errors << text; };
    TFrameViewer::AskRenderedSkin = [this](QWidget*) {
      ++Asked;
      return Answer;
    };
    Sample = Dir.filePath("sample.mdl").toStdString();
    TMDL m;
    BuildSampleModel(m);
    m.SaveToFile(Sample, true);
    TMDLEditor::Instance().Clear();
  }

  void TearDown() override {
    Viewer.reset();
    TMDLEditor::Instance().Clear();
  }

  void WriteIni(const std::string& text) {
    fs::create_directories(SettingsFolder());
    std::ofstream out(SettingsFileName(), std::ios::binary);
    out << text;
  }

  // A viewer on screen, with `file` loaded (none: the empty model).
  TFrameViewer& Open(const std::string& file = {}) {
    Viewer = std::make_unique<TFrameViewer>();
    Viewer->resize(800, 560);
    Viewer->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(Viewer.get()));
    if (!file.empty()) TMDLEditor::Instance().LoadFromFile(file);
    Painted();
    return *Viewer;
  }

  // Waits until the main view has drawn the model as it is now.
  void Painted() {
    SurfaceWidget* w = Viewer->ViewWidget(0);
    w->repaint();
    QApplication::processEvents();
  }

  // The widget point of bitmap pixel (x, y) of view `i`.
  QPoint At(int x, int y, int i = 0) const {
    const TMDLFramePaintBox& b = Viewer->FramePaintBox(i);
    const SurfaceWidget* w = Viewer->ViewWidget(i);
    return {int((x + 0.5) * w->width() / b.Bitmap().GetWidth()), int((y + 0.5) * w->height() / b.Bitmap().GetHeight())};
  }

  // A pixel of the main view where the model is, searched from the middle.
  bool FindModelPixel(int& x, int& y) {
    TMDLFramePaintBox& b = Viewer->FramePaintBox(0);
    const int cx = b.Bitmap().GetWidth() / 2;
    int s = 0, t = 0;
    for (y = 0; y < b.Bitmap().GetHeight(); y += 4)
      for (x = cx - 60; x < cx + 60; x += 2)
        if (b.PickTriangle(x, y, s, t) >= 0) return true;
    return false;
  }

  // A mouse event with the keys held, as the window system sends it.
  static void Send(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons,
                   Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, buttons, mods);
    QApplication::sendEvent(w, &e);
  }

  void Drag(QWidget* w, QPoint from, QPoint to, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    Send(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, mods);
    for (int i = 1; i <= 5; ++i)
      Send(w, QEvent::MouseMove, from + (to - from) * i / 5, Qt::NoButton, Qt::LeftButton, mods);
    Send(w, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, mods);
  }

  QTemporaryDir Dir;
  std::string Sample;
  std::unique_ptr<TFrameViewer> Viewer;
  QStringList Errors;
  int Asked = 0;
  TRenderedSkinChoice Answer = rsDiscard;
};

TEST_F(FrameViewerTest, OpensWithOneViewAndTheSceneInTheCaption) {
  TFrameViewer& v = Open(Sample);
  EXPECT_EQ(v.objectName(), "FrameViewer");
  EXPECT_TRUE(QTest::qWaitFor([&] { return v.windowTitle() == "Frame Editor - stand"; }));
  EXPECT_TRUE(v.ViewWidget(0)->isVisible());
  EXPECT_FALSE(v.ViewWidget(1)->isVisible());
  EXPECT_EQ(&v.ActiveView(), &v.FramePaintBox(0));
  // Presets 0, 1 and 4 for the three views.
  EXPECT_EQ(v.FramePaintBox(0).ViewIndex, 0);
  EXPECT_EQ(v.FramePaintBox(1).ViewIndex, 1);
  EXPECT_EQ(v.FramePaintBox(2).ViewIndex, 4);
  // The model is on the picture: some vertices project inside it.
  const TMDLFramePaintBox& b = v.FramePaintBox(0);
  int inside = 0;
  for (const TVertexRecord& r : b.VertexRecords())
    inside += r.X >= 0 && r.Y >= 0 && r.X < b.Bitmap().GetWidth() && r.Y < b.Bitmap().GetHeight();
  EXPECT_EQ(inside, int(b.VertexRecords().size()));
  EXPECT_GT(inside, 0);

  // A new model: its own first scene.
  TMDLEditor::Instance().Clear();
  const QString caption = "Frame Editor - " + QString::fromStdString(TMDLEditor::Instance().CurrentSceneName());
  EXPECT_TRUE(QTest::qWaitFor([&] { return v.windowTitle() == caption; }));
}

TEST_F(FrameViewerTest, ViewButtonsZoomAndResolution) {
  TFrameViewer& v = Open(Sample);
  const struct {
    int Tag, Preset;
    const char* Label;
  } views[] = {{1, 1, "front"}, {2, 2, "back"}, {3, 5, "top"}, {4, 6, "bottom"},
               {5, 3, "right"}, {6, 4, "left"}, {8, 7, "weapon"}, {7, 0, nullptr}};
  for (const auto& c : views) {
    SCOPED_TRACE(c.Tag);
    v.SetViewButton(c.Tag);
    Painted();
    EXPECT_EQ(v.ActiveView().ViewIndex, c.Preset);
    bool named = false;
    for (const TViewLabel& l : v.ActiveView().Labels()) named |= c.Label && l.Text == c.Label;
    EXPECT_EQ(named, c.Label != nullptr);
  }
  // The buttons of the tool bar carry the hints.
  ASSERT_NE(v.Action("View Top - XY"), nullptr);
  v.Action("View Top - XY")->trigger();
  EXPECT_EQ(v.ActiveView().ViewIndex, 5);

  for (const auto& [percent, fov] : {std::pair{100, 95}, {300, 75}, {1000, 5}}) {
    v.Action(QString("%1 %").arg(percent))->trigger();
    EXPECT_EQ(v.ActiveView().GetFieldOfView(), fov);
    EXPECT_EQ(v.ZoomPercent(), percent);
  }

  v.Action("320 x 240")->trigger();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(v.FramePaintBox(i).BitmapWidth(), 320);
    EXPECT_EQ(v.FramePaintBox(i).BitmapHeight(), 240);
  }
  // Auto Focus: the render size follows the view's height at 4:3.
  v.Action("Auto Focus")->trigger();
  EXPECT_TRUE(v.AutoFocus());
  v.ViewWidget(0)->setMinimumHeight(480);
  v.ViewWidget(0)->setMaximumHeight(480);
  v.resize(900, 560);
  EXPECT_TRUE(QTest::qWaitFor([&] { return v.ViewWidget(0)->height() == 480; }));
  EXPECT_EQ(v.FramePaintBox(0).BitmapWidth(), 640);
  EXPECT_EQ(v.FramePaintBox(0).BitmapHeight(), 480);
  v.Action("960 x 720")->trigger();
  EXPECT_FALSE(v.AutoFocus());
  EXPECT_EQ(v.FramePaintBox(2).BitmapHeight(), 720);
}

TEST_F(FrameViewerTest, ThreePanelsAndTheActiveView) {
  TFrameViewer& v = Open(Sample);
  v.Action("SwitchViewsBtn")->trigger();
  EXPECT_TRUE(v.ThreePanels());
  EXPECT_TRUE(QTest::qWaitFor([&] { return v.ViewWidget(2)->isVisible() && v.ViewWidget(2)->height() > 0; }));
  // A click makes the view active; the render buttons follow its mode.
  v.FramePaintBox(2).SetViewMode(vmWireFrame);
  QTest::mouseClick(v.ViewWidget(2), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(&v.ActiveView(), &v.FramePaintBox(2));
  EXPECT_TRUE(v.FramePaintBox(2).Selected());
  EXPECT_FALSE(v.FramePaintBox(0).Selected());
  EXPECT_TRUE(v.Action("ThreeDWires")->isChecked());
  EXPECT_FALSE(v.Action("SkinRecBtn")->isEnabled());
  v.Action("ThreeDSolid")->trigger();
  EXPECT_EQ(v.FramePaintBox(2).ViewMode(), vmSolid);
  EXPECT_EQ(v.FramePaintBox(0).ViewMode(), vmTextured);
  // Back to one panel: the main view is the active one again.
  v.Action("SwitchViewsBtn")->trigger();
  EXPECT_FALSE(v.ThreePanels());
  EXPECT_EQ(&v.ActiveView(), &v.FramePaintBox(0));
  EXPECT_FALSE(v.ViewWidget(1)->isVisible());
}

TEST_F(FrameViewerTest, ToolsThroughTheMouse) {
  TFrameViewer& v = Open(Sample);
  TMDLEditor& e = TMDLEditor::Instance();
  TMDLFramePaintBox& b = v.FramePaintBox(0);
  SurfaceWidget* w = v.ViewWidget(0);

  // Pointer: a click zooms in by ten degrees.
  const int fov = b.GetFieldOfView();
  QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(20, 20));
  EXPECT_EQ(b.GetFieldOfView(), fov - 10);
  EXPECT_EQ(w->CurrentCursorId(), 13);

  // Vertices: a click on a vertex makes it current; a drag moves it by grid steps.
  v.SetTool(1);
  EXPECT_EQ(w->CurrentCursorId(), 6);
  Painted();
  ASSERT_FALSE(b.VertexRecords().empty());
  int nearest = 0;
  const TVertexRecord r = b.VertexRecords()[0];
  const int picked = b.PickVertex(r.X, r.Y, nearest);
  ASSERT_GE(picked, 0);
  QTest::mouseClick(w, Qt::LeftButton, {}, At(r.X, r.Y));
  EXPECT_EQ(e.CurrentVertex, picked);
  const TFrameVertex before = e.CurrentFrameObject()->Get(picked);
  const TVertexRecord p = b.VertexRecords()[static_cast<size_t>(picked)];
  QTest::mousePress(w, Qt::LeftButton, {}, At(p.X, p.Y));
  for (int step = 1; step <= 6; ++step) QTest::mouseMove(w, At(p.X + 8 * step, p.Y));
  QTest::mouseRelease(w, Qt::LeftButton, {}, At(p.X + 48, p.Y));
  const TFrameVertex after = e.CurrentFrameObject()->Get(picked);
  const float moved = std::abs(after.X - before.X) + std::abs(after.Y - before.Y) + std::abs(after.Z - before.Z);
  EXPECT_GT(moved, 0.05f);
  for (float d : {after.X - before.X, after.Y - before.Y, after.Z - before.Z}) {
    const float steps = d / b.GridX();
    EXPECT_NEAR(steps, std::round(steps), 1e-3) << d;
  }
  EXPECT_TRUE(e.Modified);

  // Triangles: a click picks; Ctrl+click flips the picked one.
  v.SetTool(2);
  Painted();
  const int cx = b.Bitmap().GetWidth() / 2;
  int tx = -1, ty = -1, tri = -1, s = 0, t = 0;
  for (int y = 0; y < b.Bitmap().GetHeight() && tri < 0; y += 4)
    for (int x = cx - 60; x < cx + 60 && tri < 0; x += 2)
      if ((tri = b.PickTriangle(x, y, s, t)) >= 0) tx = x, ty = y;
  ASSERT_GE(tri, 0);
  QTest::mouseClick(w, Qt::LeftButton, {}, At(tx, ty));
  EXPECT_EQ(e.CurrentTriangle, tri);
  const TTriangle unflipped = e.Model->Triangles->Items()[static_cast<size_t>(tri)];
  QTest::mouseClick(w, Qt::LeftButton, Qt::ControlModifier, At(tx, ty));
  EXPECT_NE(e.Model->Triangles->Items()[static_cast<size_t>(tri)], unflipped);

  // Pen: a stroke over the model paints the skin with the current colour.
  v.SetTool(3);
  Painted();
  e.SetCurrentColor(251);
  const int used = e.CurrentSkinObject()->ColorCount()[251];
  QTest::mouseClick(w, Qt::LeftButton, {}, At(tx, ty));
  EXPECT_GT(e.CurrentSkinObject()->ColorCount()[251], used);
}

TEST_F(FrameViewerTest, RubberBandColourToolsAndPivots) {
  TFrameViewer& v = Open(Sample);
  TMDLEditor& e = TMDLEditor::Instance();
  SurfaceWidget* w = v.ViewWidget(0);

  // Vertices: a Shift drag around the whole picture selects every vertex shown.
  v.SetTool(1);
  Painted();
  Drag(w, QPoint(2, 2), QPoint(w->width() - 3, w->height() - 3), Qt::ShiftModifier);
  EXPECT_EQ(e.SelectedVertexCount(), e.Model->Vertices->Count());
  EXPECT_FALSE(e.Modified);

  int x = 0, y = 0;
  ASSERT_TRUE(FindModelPixel(x, y));
  // Dropper: the colour under the cursor becomes current.
  v.SetTool(4);
  Painted();
  e.SetCurrentColor(254);
  QTest::mouseClick(w, Qt::LeftButton, {}, At(x, y));
  EXPECT_NE(e.CurrentColor, 254);
  // Flood fill: the area under the cursor takes the current colour.
  v.SetTool(5);
  e.SetCurrentColor(251);
  const int before = e.CurrentSkinObject()->ColorCount()[251];
  QTest::mouseClick(w, Qt::LeftButton, {}, At(x, y));
  EXPECT_GT(e.CurrentSkinObject()->ColorCount()[251], before);

  // Pivots: a press on an object makes it current; the drag moves, turns or
  // scales its pivot.
  for (int tool : {6, 7, 8}) {
    SCOPED_TRACE(tool);
    v.SetTool(tool);
    e.SetCurrentObject(0);
    Painted();
    ASSERT_TRUE(FindModelPixel(x, y));
    Send(w, QEvent::MouseButtonPress, At(x, y), Qt::LeftButton, Qt::LeftButton);
    ASSERT_NE(e.CurrentObject, 0);
    float was[9];
    for (int c = 0; c < 9; ++c) was[c] = e.CurrentPivot()->Channel(c);
    for (int i = 1; i <= 5; ++i)
      Send(w, QEvent::MouseMove, At(x + 6 * i, y + 4 * i), Qt::NoButton, Qt::LeftButton);
    Send(w, QEvent::MouseButtonRelease, At(x + 30, y + 20), Qt::LeftButton, Qt::NoButton);
    const int group = tool - 6;  // channels 0-2 move, 3-5 turn, 6-8 scale
    float change[3] = {0, 0, 0};
    for (int c = 0; c < 9; ++c) change[c / 3] += std::abs(e.CurrentPivot()->Channel(c) - was[c]);
    EXPECT_GT(change[group], 0.01f);
    EXPECT_TRUE(e.Modified);
  }
}

TEST_F(FrameViewerTest, RenderButtonsAndLabels) {
  TFrameViewer& v = Open(Sample);
  v.SetThreePanels(true);
  v.Action("PerpectiveBtn")->trigger();
  v.Action("ShowBacksidesBtn")->trigger();
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(v.FramePaintBox(i).Parallel);
    EXPECT_TRUE(v.FramePaintBox(i).ShowBacksides);
  }
  EXPECT_FALSE(v.Action("SnapLightBtn")->isEnabled());
  v.Action("LightBtn")->trigger();
  EXPECT_TRUE(v.ActiveView().Lighting);
  EXPECT_FALSE(v.FramePaintBox(1).Lighting);
  EXPECT_TRUE(v.Action("SnapLightBtn")->isEnabled());
  v.Action("SnapLightBtn")->trigger();
  EXPECT_TRUE(v.ActiveView().LightFollowsCamera());
  // Solid and wireframe: no spotlight, no recorder.
  v.Action("ThreeDSolid")->trigger();
  for (const char* name : {"LightBtn", "SnapLightBtn", "SkinRecBtn"}) {
    EXPECT_FALSE(v.Action(name)->isEnabled()) << name;
    EXPECT_FALSE(v.Action(name)->isChecked()) << name;
  }
  v.Action("ThreeDTexture")->trigger();
  EXPECT_TRUE(v.Action("LightBtn")->isChecked());

  // The view's name is painted by the widget over the picture.
  v.SetThreePanels(false);
  v.SetViewButton(1);
  SurfaceWidget* w = v.ViewWidget(0);
  const QImage with = w->grab().toImage();
  const auto overlay = w->OnPaintOverlay;
  w->OnPaintOverlay = nullptr;
  const QImage without = w->grab().toImage();
  w->OnPaintOverlay = overlay;
  const TMDLFramePaintBox& b = v.ActiveView();
  const QRect label(0, 0, 80 * w->width() / b.Bitmap().GetWidth() + 40, 30 * w->height() / b.Bitmap().GetHeight() + 20);
  int differ = 0;
  for (int py = label.top(); py < label.bottom(); ++py)
    for (int px = label.left(); px < label.right(); ++px) differ += with.pixel(px, py) != without.pixel(px, py);
  EXPECT_GT(differ, 20);

  v.SnapshotToClipboard();
  const QImage clip = QGuiApplication::clipboard()->image();
  EXPECT_EQ(clip.size(), QSize(b.Bitmap().GetWidth(), b.Bitmap().GetHeight()));
}

TEST_F(FrameViewerTest, ContextMenusCarryTheGeometryCommands) {
  TFrameViewer& v = Open(Sample);
  TMDLEditor& e = TMDLEditor::Instance();
  SurfaceWidget* w = v.ViewWidget(0);
  v.SetTool(0);
  QTest::mouseClick(w, Qt::RightButton, {}, QPoint(30, 30));
  EXPECT_FALSE(v.VertexMenu()->isVisible());
  EXPECT_EQ(v.ContextMenu(), nullptr);

  const struct {
    int Tool;
    QMenu* Menu;
  } cases[] = {{1, v.VertexMenu()}, {2, v.TriangleMenu()}, {6, v.ObjectMenu()}, {8, v.ObjectMenu()}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Tool);
    v.SetTool(c.Tool);
    QTest::mouseClick(w, Qt::RightButton, {}, QPoint(30, 30));
    EXPECT_TRUE(QTest::qWaitFor([&] { return c.Menu->isVisible(); }));
    // The object submenu lists the model's objects.
    QMenu* sub = c.Menu->actions().last()->menu();
    ASSERT_NE(sub, nullptr);
    ASSERT_EQ(sub->actions().size(), e.ObjectCount());
    EXPECT_EQ(sub->actions().at(1)->text().toStdString(), e.ObjectName(1));
    c.Menu->hide();
  }

  // "New Object" adds one with the object tool; the command checks the tool when it runs.
  const int objects = e.ObjectCount();
  v.SetTool(6);
  v.Action("New Object")->trigger();
  EXPECT_EQ(e.ObjectCount(), objects + 1);
  v.SetTool(0);
  v.Action("New Object")->trigger();
  EXPECT_EQ(e.ObjectCount(), objects + 1);

  // "Flip Triangles" flips the selection only with the triangle tool.
  v.SetTool(2);
  e.SetCurrentTriangle(0);
  const TTriangle t0 = e.Model->Triangles->Items()[0];
  v.SetTool(1);
  v.Action("Flip Triangles")->trigger();
  EXPECT_EQ(e.Model->Triangles->Items()[0], t0);
  v.SetTool(2);
  e.SetCurrentTriangle(0);
  v.Action("Flip Triangles")->trigger();
  EXPECT_NE(e.Model->Triangles->Items()[0], t0);
  EXPECT_TRUE(Errors.isEmpty()) << Errors.join("\n").toStdString();
}

TEST_F(FrameViewerTest, PlaybackAdvancesAndStops) {
  const int workersBefore = TAnimationTimerThread::LiveWorkers();
  TFrameViewer& v = Open(Sample);
  TMDLEditor& e = TMDLEditor::Instance();
  e.SetCurrentScene(1);  // "walk", eight frames
  ASSERT_EQ(e.SceneFrameCount, 8);
  int changes = 0;
  double renderTime = -1;
  v.OnChange = [&](TMDLFramePaintBox& view) {
    ++changes;
    renderTime = view.RenderTime;
  };
  v.Action("Play scene forward")->trigger();
  TMDLFramePaintBox& b = v.ActiveView();
  EXPECT_TRUE(b.AnimationTimer().Running());
  EXPECT_TRUE(QTest::qWaitFor([&] { return changes >= 10; }, 5000));
  EXPECT_GE(renderTime, 0);
  EXPECT_EQ(e.CurrentFrame, 0);  // playback leaves the editor's frame alone
  v.Action("Stop playing")->trigger();
  EXPECT_FALSE(b.AnimationTimer().Running());
  EXPECT_EQ(b.PlayFrame, e.CurrentFrame);
  const int stopped = changes;
  QTest::qWait(100);
  EXPECT_EQ(changes, stopped);

  // A one-frame scene keeps showing its frame; playing on the empty model does not start.
  e.SetCurrentScene(0);
  v.Play();
  EXPECT_TRUE(QTest::qWaitFor([&] { return changes > stopped + 2; }, 3000));
  v.StopAll();
  e.Clear();
  v.Play();
  EXPECT_FALSE(b.AnimationTimer().Running());

  // Closing the window ends every worker.
  v.Play();
  Viewer.reset();
  EXPECT_TRUE(QTest::qWaitFor([&] { return TAnimationTimerThread::LiveWorkers() == workersBefore; }));
}

TEST_F(FrameViewerTest, SettingsAreReadLimitedAndWritten) {
  const struct {
    const char* FrameRate;
    int Expected;
  } rates[] = {{"100", 40}, {"10000", 40}, {"0", 1}, {"-5", 1}, {"25", 25}, {"x", 40}};
  for (const auto& c : rates) {
    SCOPED_TRACE(c.FrameRate);
    WriteIni(std::string("[MDL]\nFrameRate=") + c.FrameRate +
             "\n[VIEW3D]\nPaintMode=130\nFOV=100000\nResolutionX=-4\nResolutionY=99999\nBackColor=300\n"
             "GridX=0\nGridY=250\nGridZ=-7\nGroundPlane=0\n");
    TFrameViewer& v = Open(Sample);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(v.FramePaintBox(i).FramesPerSecond(), c.Expected);
    EXPECT_EQ(v.ActiveView().ViewMode(), vmWireFrame);  // 130's low seven bits
    EXPECT_FLOAT_EQ(v.FramePaintBox(2).GridY(), 2.5f);
    EXPECT_GE(v.FramePaintBox(0).GridX(), 0.01f);
    EXPECT_FALSE(v.ActiveView().ShowGroundPlane);
    EXPECT_LE(v.ActiveView().BitmapHeight(), TFrameRaster::kMaxRows);
    v.Play();
    QTest::qWait(30);
    v.StopAll();
    Viewer.reset();
  }

  // What a closing window writes, the next one reads.
  fs::remove(SettingsFileName());
  TFrameViewer& v = Open(Sample);
  v.Action("480 x 360")->trigger();
  v.Action("200 %")->trigger();
  v.ActiveView().SetFramesPerSecond(12);
  v.Action("ThreeDWires")->trigger();
  v.close();
  TIniFile ini(SettingsFileName());
  EXPECT_EQ(ini.ReadInteger("MDL", "FrameRate", 0), 12);
  EXPECT_EQ(ini.ReadInteger("VIEW3D", "PaintMode", -1), 2);
  EXPECT_EQ(ini.ReadInteger("VIEW3D", "FOV", 0), 85);
  EXPECT_EQ(ini.ReadInteger("VIEW3D", "ResolutionX", 0), 480);
  EXPECT_EQ(ini.ReadInteger("VIEW3D", "GridX", 0), 10);
  Viewer.reset();
  TFrameViewer& again = Open(Sample);
  EXPECT_EQ(again.FramePaintBox(1).FramesPerSecond(), 12);
  EXPECT_EQ(again.ActiveView().GetFieldOfView(), 85);
  EXPECT_EQ(again.ActiveView().ViewMode(), vmWireFrame);
}

TEST_F(FrameViewerTest, WeaponModelsOpenInTheWeaponView) {
  for (const auto& [name, weapon] : {std::pair{"v_axe.mdl", true}, {"V_SHOT.MDL", true}, {"axv_e.mdl", false}}) {
    SCOPED_TRACE(name);
    const std::string file = Dir.filePath(name).toStdString();
    fs::copy_file(Sample, file, fs::copy_options::overwrite_existing);
    TFrameViewer& v = Open(file);
    EXPECT_EQ(v.ActiveView().ViewIndex == 7, weapon) << TMDLEditor::Instance().ModelFileName();
    Viewer.reset();
  }
}

TEST_F(FrameViewerTest, SkinRecorderAsksWhereTheSkinGoes) {
  TFrameViewer& v = Open(Sample);
  TMDLEditor& e = TMDLEditor::Instance();
  const struct {
    TRenderedSkinChoice Answer;
    int NewSkins;
    bool Modified;
  } cases[] = {{rsDiscard, 0, false}, {rsInsertNew, 1, true}, {rsReplaceCurrent, 0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Answer);
    e.SetModified(false);
    const int skins = e.SkinCount();
    Answer = c.Answer;
    Asked = 0;
    v.Action("SkinRecBtn")->trigger();
    EXPECT_EQ(v.ActiveView().ViewMode(), vmSkinRecorder);
    Painted();
    EXPECT_GT(v.ActiveView().RecordBitmap.GetWidth(), 0);
    v.Action("SkinRecBtn")->trigger();
    EXPECT_EQ(Asked, 1);
    EXPECT_EQ(v.ActiveView().ViewMode(), vmTextured);
    EXPECT_EQ(e.SkinCount(), skins + c.NewSkins);
    EXPECT_EQ(e.Modified, c.Modified);
  }
}

TEST_F(FrameViewerTest, SnapshotsAndPerformance) {
  TFrameViewer& v = Open(Sample);
  v.Action("320 x 240")->trigger();
  Painted();
  const QString file = Dir.filePath("shot.bmp");
  v.SnapshotToFile(file);
  QImage shot(file);
  ASSERT_FALSE(shot.isNull());
  EXPECT_EQ(shot.height(), v.ActiveView().Bitmap().GetHeight());
  EXPECT_EQ(shot.width(), v.ActiveView().Bitmap().GetWidth());
  // The picture is not one flat colour: the model is on it.
  EXPECT_NE(shot.pixel(shot.width() / 2, shot.height() / 2), shot.pixel(1, 1));

  TPerformanceForm* perf = v.ShowPerformance();
  ASSERT_NE(perf, nullptr);
  EXPECT_EQ(perf->windowTitle(), "Rendering Performance");
  EXPECT_EQ(TPerformanceForm::RateText(0), "0.00 fps");
  EXPECT_EQ(TPerformanceForm::RateText(4), "250.00 fps");
}

TEST_F(FrameViewerTest, ToolsOnAnEmptyModelChangeNothing) {
  TFrameViewer& v = Open();
  TMDLEditor& e = TMDLEditor::Instance();
  SurfaceWidget* w = v.ViewWidget(0);
  for (int tool = 0; tool <= 8; ++tool) {
    SCOPED_TRACE(tool);
    v.SetTool(tool);
    for (Qt::KeyboardModifiers mods : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
      QTest::mouseClick(w, Qt::LeftButton, mods, QPoint(100, 100));
      QTest::mousePress(w, Qt::LeftButton, mods, QPoint(100, 100));
      QTest::mouseMove(w, QPoint(140, 130));
      QTest::mouseRelease(w, Qt::LeftButton, mods, QPoint(140, 130));
    }
    // Clicks and drags on a model without geometry change nothing.
    if (tool == 0) {
      EXPECT_FALSE(e.Modified);
      EXPECT_EQ(e.Model->Vertices->Count(), 0);
    }
    // Alt+click of the vertex tool adds a vertex, as asked; nothing breaks.
    for (Qt::KeyboardModifier mod : {Qt::ControlModifier, Qt::AltModifier})
      QTest::mouseClick(w, Qt::LeftButton, mod, QPoint(120, 90));
    QTest::mouseClick(w, Qt::RightButton, {}, QPoint(50, 50));
    if (QMenu* m = v.ContextMenu()) {
      for (QAction* a : m->actions())
        if (!a->menu() && !a->isSeparator()) a->trigger();
      m->hide();
    }
  }
  // The commands asked for on an empty model keep it whole.
  EXPECT_EQ(e.Model->Triangles->Count(), 0);
  EXPECT_GE(e.SkinCount(), 1);
  EXPECT_TRUE(Errors.isEmpty()) << Errors.join("\n").toStdString();
}

TEST_F(FrameViewerTest, OptionsPageFillsAndApplies) {
  TFrameViewer& v = Open(Sample);
  TFrameViewerOptions page;
  v.LoadOptions(page);
  EXPECT_EQ(page.GroundZ(), int(sample::kGround));
  EXPECT_EQ(page.FrameRate(), 40);
  page.SetFrameRate(0);
  EXPECT_EQ(page.FrameRate(), 1);
  page.SetFrameRate(10000);
  page.SetBackColor(300);
  page.SetGroundZ(-40);
  page.SetGrid(1, 0.5);
  page.SetGrid(2, 0);
  v.ApplyOptions(page);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(v.FramePaintBox(i).FramesPerSecond(), 40);
    EXPECT_EQ(v.FramePaintBox(i).BackgroundIndex(), 255);
    EXPECT_FLOAT_EQ(v.FramePaintBox(i).GridY(), 0.5f);
    EXPECT_FLOAT_EQ(v.FramePaintBox(i).GridZ(), 0.01f);
  }
  EXPECT_FLOAT_EQ(TMDLEditor::Instance().Model->Header->EyePosition[2], -40.0f);
  EXPECT_TRUE(TMDLEditor::Instance().Modified);
}

// The real models: the knight plays its first scene; a weapon whose name
// has "v_" inside keeps the ordinary view.
TEST_F(FrameViewerTest, RealModels) {
  const std::string dir = std::string(TESSEL_DATA_DIR) + "/quake/models/";
  if (!fs::exists(dir + "sg_knight.mdl")) GTEST_SKIP() << "real models not found in " << dir;
  TFrameViewer& v = Open(dir + "sg_knight.mdl");
  int changes = 0;
  v.OnChange = [&](TMDLFramePaintBox&) { ++changes; };
  const int32_t first = v.ActiveView().PlayFrame;
  v.Play();
  EXPECT_TRUE(QTest::qWaitFor([&] { return changes >= 3; }, 5000));
  EXPECT_NE(v.ActiveView().PlayFrame, first);
  v.Stop();
  Viewer.reset();
  TFrameViewer& w = Open(dir + "oq_v_axe.mdl");
  EXPECT_NE(w.ActiveView().ViewIndex, 7);
}

// The Frame Editor inside the main window: opened at start-up, its tool,
// frame rate panel, performance entry and the keys it leaves in the settings.
TEST_F(FrameViewerTest, InTheMainWindow) {
  auto start = [&] {
    auto w = std::make_unique<TModelViewer>(QStringList{QString::fromStdString(Sample)});
    w->FileDialogs().AskSaveChanges = [](QWidget*, const QString&) { return TFileDialogs::aNo; };
    w->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->StartupDone(); }, 5000));
    return w;
  };
  auto main = start();
  TFrameViewer* fe = main->FrameEditor();
  ASSERT_NE(fe, nullptr);
  auto view0 = [&]() -> TMDLFramePaintBox& { return fe->ActiveView(); };
  // A double click on the status bar opens the performance window.
  QTest::mouseDClick(main->statusBar(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
  auto* perf = fe->findChild<TPerformanceForm*>();
  ASSERT_NE(perf, nullptr);
  EXPECT_TRUE(perf->isVisible());
  EXPECT_EQ(perf->Text("Rate"), TPerformanceForm::RateText(view0().Performance.FramePaintTime));
  main->SetCurrentTool(7);
  EXPECT_EQ(fe->Tool(), 7);
  EXPECT_EQ(main->ToolProps()->InnerPageName(), "Rotate");

  TMDLFramePaintBox& view = fe->ActiveView();
  view.RenderTime = 0;
  main->FrameRateChanged(view);
  EXPECT_EQ(main->StatusText(1), "?/? fps");
  view.RenderTime = 10;  // 100 achievable, 40 asked
  main->FrameRateChanged(view);
  EXPECT_EQ(main->StatusText(1), "40/100 fps");
  view.RenderTime = 50;
  main->FrameRateChanged(view);
  EXPECT_EQ(main->StatusText(1), "20/20 fps");
  // Playback reports through the same panel; closing stops it.
  fe->Play();
  EXPECT_TRUE(QTest::qWaitFor([&] { return main->StatusText(1).endsWith(" fps") && main->StatusText(1) != "20/20 fps"; }));
  main->close();
  EXPECT_FALSE(view.AnimationTimer().Running());
  TIniFile ini(SettingsFileName());
  EXPECT_TRUE(ini.ReadBool("GENERAL", "FrameEditor", false));
  EXPECT_EQ(ini.ReadInteger("GENERAL", "ActiveEditor", -5), 0);
  EXPECT_TRUE(ini.SectionExists("VIEW3D"));
  main.reset();

  // ActiveEditor -1: nothing opens; closing then says the Frame Editor was not open.
  WriteIni("[GENERAL]\nActiveEditor=-1\nFrameEditor=1\n");
  main = start();
  EXPECT_EQ(main->FrameEditor(), nullptr);
  QTest::mouseDClick(main->statusBar(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
  main->Action("Frame Editor")->trigger();
  ASSERT_NE(main->FrameEditor(), nullptr);
  main->FrameEditor()->parentWidget()->close();
  EXPECT_TRUE(QTest::qWaitFor([&] { return main->FrameEditor() == nullptr; }));
  main->close();
  TIniFile after(SettingsFileName());
  EXPECT_FALSE(after.ReadBool("GENERAL", "FrameEditor", true));
}

}  // namespace
