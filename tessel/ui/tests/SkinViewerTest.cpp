// The Skin Texture Editor as a user meets it: the sample model's skin on
// screen, the tool bar's commands and menus, painting with the mouse, and
// the window's settings.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/IniFile.h"
#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"
#include "resources/SampleModel.h"
#include "tessel/ui/FrameViewer.h"
#include "tessel/ui/ModelViewer.h"
#include "tessel/ui/SkinViewer.h"
#include "widgets/FileDialogs.h"
#include "widgets/SurfaceWidget.h"

namespace fs = std::filesystem;

namespace {

class SkinViewerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    fs::remove(SettingsFileName());
    TSkinViewer::ShowError = [this](QWidget*, const QString& text) { Errors << text; };
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

  TSkinViewer& Open(bool load = true) {
    Viewer = std::make_unique<TSkinViewer>();
    Viewer->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(Viewer.get()));
    if (load) TMDLEditor::Instance().LoadFromFile(Sample);
    QApplication::processEvents();
    return *Viewer;
  }

  // The widget point of bitmap pixel (x, y).
  QPoint At(int x, int y) const {
    const int z = Viewer->SkinImage().AutoSizeZoomPctg();
    return {(2 * x + 1) * z / 200, (2 * y + 1) * z / 200};
  }

  static void Send(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }

  QTemporaryDir Dir;
  std::string Sample;
  std::unique_ptr<TSkinViewer> Viewer;
  QStringList Errors;
};

}  // namespace

TEST_F(SkinViewerTest, CaptionAndSizeFollowTheModel) {
  TMDLEditor::Instance().SetReady(false);
  TSkinViewer& v = Open(false);
  EXPECT_EQ(v.objectName(), "SkinViewer");
  EXPECT_EQ(v.windowTitle(), "Skin Texture Editor");
  EXPECT_EQ(v.SkinImage().BitmapWidth(), 160);
  TMDLEditor& e = TMDLEditor::Instance();
  e.LoadFromFile(Sample);
  const TMDLBitmap& skin = *e.CurrentSkinObject();
  EXPECT_TRUE(QTest::qWaitFor([&] {
    return v.windowTitle() == "Skin Texture Editor - " + QString::fromStdString(skin.Name);
  }));
  EXPECT_EQ(v.SkinImage().BitmapWidth(), skin.Width);
  EXPECT_TRUE(QTest::qWaitFor([&] { return v.ImageWidget()->width() == skin.Width; }));
  e.SetReady(false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return v.windowTitle() == "Skin Texture Editor"; }));
  EXPECT_EQ(v.SkinImage().BitmapWidth(), 160);
}

TEST_F(SkinViewerTest, ToolBarHintsAndMenus) {
  TSkinViewer& v = Open();
  for (const char* hint : {"Cut", "Copy", "Paste", "Delete", "Paint triangles on the current skin",
                           "Recalculate the skin vertices", "Cut away unused pieces of skin",
                           "Toggle showing of triangle mesh", "Snapshot to Clipboard", "SnapshotToFile"})
    EXPECT_NE(v.Action(hint), nullptr) << hint;
  EXPECT_EQ(v.ShirtMenu()->actions().size(), 14);
  EXPECT_EQ(v.ZoomMenu()->actions().size(), 10);

  // Choosing "200 %" zooms to 200 and the item carries the check mark.
  v.Action("200 %")->trigger();
  EXPECT_EQ(v.SkinImage().AutoSizeZoomPctg(), 200);
  emit v.ZoomMenu()->aboutToShow();
  EXPECT_TRUE(v.Action("200 %")->isChecked());
  EXPECT_FALSE(v.Action("100 %")->isChecked());

  // The shirt menu sets the colour and checks it.
  v.ShirtMenu()->actions().at(5)->trigger();
  EXPECT_EQ(TMDLEditor::Instance().ShirtColor(), 5);
  emit v.ShirtMenu()->aboutToShow();
  EXPECT_TRUE(v.ShirtMenu()->actions().at(5)->isChecked());
  EXPECT_FALSE(v.ShirtMenu()->actions().at(0)->isChecked());

  // Toggling the mesh; the vertex tool shows it even when the button is up.
  v.Action("Toggle showing of triangle mesh")->trigger();
  EXPECT_FALSE(v.SkinImage().ShowTriangles());
  v.SetTool(1);
  EXPECT_TRUE(v.SkinImage().ShowTriangles());
  EXPECT_EQ(v.ImageWidget()->CurrentCursorId(), 6);
  v.SetTool(9);
  EXPECT_EQ(v.Tool(), 1) << "tools above 8 are ignored";
  v.SetTool(4);
  EXPECT_EQ(v.ImageWidget()->CurrentCursorId(), 3);
}

TEST_F(SkinViewerTest, ViewToolClicksZoomAndPenPaintsOnce) {
  TSkinViewer& v = Open();
  TMDLEditor& e = TMDLEditor::Instance();
  v.SetTool(0);
  QTest::mouseClick(v.ImageWidget(), Qt::LeftButton, {}, At(3, 3));
  EXPECT_EQ(v.SkinImage().AutoSizeZoomPctg(), 200);
  QTest::mouseClick(v.ImageWidget(), Qt::RightButton, {}, At(3, 3));
  QTest::mouseClick(v.ImageWidget(), Qt::RightButton, {}, At(3, 3));
  EXPECT_EQ(v.SkinImage().AutoSizeZoomPctg(), 100);

  v.SetTool(3);
  e.SetCurrentColor(251);
  e.PenSize = 1;
  int modified = 0;
  TMDLObserver watch;
  watch.OnModifyChange = [&](TMDLObserver*, bool) { ++modified; };
  watch.Loaded();
  QWidget* w = v.ImageWidget();
  Send(w, QEvent::MouseButtonPress, At(4, 10), Qt::LeftButton, Qt::LeftButton);
  for (int x = 5; x <= 30; x += 5) Send(w, QEvent::MouseMove, At(x, 10), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(modified, 0);
  Send(w, QEvent::MouseButtonRelease, At(30, 10), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(modified, 1);
  EXPECT_TRUE(e.Modified);
  const TMDLBitmap& skin = *e.CurrentSkinObject();
  for (int s : {4, 17, 30}) EXPECT_EQ(skin.Pixel(s, 10), 251) << s;
}

TEST_F(SkinViewerTest, StepsThroughSkinsAndSnapshots) {
  TSkinViewer& v = Open();
  TMDLEditor& e = TMDLEditor::Instance();
  e.AddSkin();
  ASSERT_GE(e.SkinCount(), 2);
  e.SetCurrentSkin(0);
  v.Action("Next skin")->trigger();
  EXPECT_EQ(e.CurrentSkin, 1);
  v.Action("Next skin")->trigger();
  EXPECT_EQ(e.CurrentSkin, e.SkinCount() - 1) << "clamped";
  v.Action("Previous skin")->trigger();
  v.Action("Previous skin")->trigger();
  v.Action("Previous skin")->trigger();
  EXPECT_EQ(e.CurrentSkin, 0);

  const QString file = Dir.filePath("snap.bmp");
  TSkinViewer::AskSnapshotFile = [&](QWidget*) { return file; };
  v.Action("SnapshotToFile")->trigger();
  QImage shot(file);
  ASSERT_FALSE(shot.isNull());
  EXPECT_EQ(shot.width(), e.CurrentSkinObject()->Width);
  EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(SkinViewerTest, SettingsRoundTripAndMaximizedKeepsBounds) {
  {
    TIniFile ini(SettingsFileName());
    ini.WriteInteger("VIEW2D", "ZoomPctg", 300);
    ini.WriteBool("VIEW2D", "ShowTriangles", false);
    ini.WriteInteger("VIEW2D", "Left", 7);
    ini.WriteInteger("VIEW2D", "Width", 333);
    ini.UpdateFile();
  }
  QMdiArea area;
  area.resize(900, 700);
  area.show();
  auto* v = new TSkinViewer;
  EXPECT_EQ(v->SkinImage().AutoSizeZoomPctg(), 300);
  EXPECT_FALSE(v->SkinImage().ShowTriangles());
  QMdiSubWindow* sub = area.addSubWindow(v);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  sub->show();
  sub->showMaximized();
  QApplication::processEvents();
  sub->close();
  QApplication::processEvents();
  TIniFile ini(SettingsFileName());
  EXPECT_TRUE(ini.ReadBool("VIEW2D", "Maximized", false));
  EXPECT_EQ(ini.ReadInteger("VIEW2D", "Left", 0), 7);
  EXPECT_EQ(ini.ReadInteger("VIEW2D", "Width", 0), 333);
  EXPECT_EQ(ini.ReadInteger("VIEW2D", "ZoomPctg", 0), 300);
}

// The main window opens the editor windows at start-up with the active one
// on top, hands its tool to both, and writes which exist.
TEST_F(SkinViewerTest, MainWindowOpensItAtStartUpOnTopAndHandsTheToolOver) {
  fs::create_directories(fs::path(SettingsFileName()).parent_path());
  std::ofstream(SettingsFileName(), std::ios::binary)
      << "[GENERAL]\r\nModelFile=" << Sample << "\r\nFrameEditor=1\r\nSkinEditor=1\r\nActiveEditor=1\r\n";
  auto main = std::make_unique<TModelViewer>();
  main->FileDialogs().AskSaveChanges = [](QWidget*, const QString&) { return TFileDialogs::aNo; };
  main->show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return main->StartupDone(); }, 5000));
  ASSERT_NE(main->SkinEditor(), nullptr);
  ASSERT_NE(main->FrameEditor(), nullptr);
  auto* area = main->findChild<QMdiArea*>();
  ASSERT_NE(area, nullptr);
  ASSERT_NE(area->currentSubWindow(), nullptr);
  EXPECT_EQ(area->currentSubWindow()->widget(), main->SkinEditor());
  main->SetCurrentTool(3);
  EXPECT_EQ(main->SkinEditor()->Tool(), 3);
  EXPECT_EQ(main->FrameEditor()->Tool(), 3);
  main->close();
  {
    TIniFile ini(SettingsFileName());
    EXPECT_TRUE(ini.ReadBool("GENERAL", "SkinEditor", false));
    EXPECT_EQ(ini.ReadInteger("GENERAL", "ActiveEditor", -1), 1);
  }
  main.reset();

  // Without the Skin Texture Editor open the key goes back to false.
  std::ofstream(SettingsFileName(), std::ios::binary)
      << "[GENERAL]\r\nModelFile=" << Sample << "\r\nFrameEditor=1\r\nSkinEditor=0\r\nActiveEditor=0\r\n";
  main = std::make_unique<TModelViewer>();
  main->FileDialogs().AskSaveChanges = [](QWidget*, const QString&) { return TFileDialogs::aNo; };
  main->show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return main->StartupDone(); }, 5000));
  EXPECT_EQ(main->SkinEditor(), nullptr);
  main->Action("Skin Texture Editor")->trigger();
  ASSERT_NE(main->SkinEditor(), nullptr);
  main->SkinEditor()->parentWidget()->close();
  QApplication::processEvents();
  EXPECT_TRUE(QTest::qWaitFor([&] { return main->SkinEditor() == nullptr; }));
  main->close();
  TIniFile ini(SettingsFileName());
  EXPECT_FALSE(ini.ReadBool("GENERAL", "SkinEditor", true));
}
