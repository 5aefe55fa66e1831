// The main window as a user meets it: started with a model or with the one
// the settings name, its menus, the save question, the settings file,
// dropped files, the options dialog and damaged input.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QHelpEvent>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/IniFile.h"
#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"
#include "resources/SampleModel.h"
#include "tessel/ui/FrameViewer.h"
#include "tessel/ui/ModelViewer.h"
#include "tessel/ui/ModelViewerOptions.h"
#include "tessel/ui/OptionsDialog.h"
#include "tessel/ui/QtPrompts.h"
#include "tessel/ui/SkinViewer.h"
#include "widgets/FileDialogs.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ModelViewerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    fs::remove(SettingsFileName());
    TMDLEditor::Instance().Clear();
    Errors.clear();
    TModelViewer::ShowError = [this](QWidget*, const QString& text) { Errors << text; };
    TQtPrompts::Answerer = [](TQtPrompts::TKind, const std::string&, const std::string&) { return false; };
    Sample = Path("sample.mdl");
    TMDL m;
    BuildSampleModel(m);
    m.SaveToFile(Sample.toStdString(), true);
  }

  void TearDown() override {
    if (Viewer) {
      Viewer->FileDialogs().AskSaveChanges = [](QWidget*, const QString&) { return TFileDialogs::aNo; };
      Viewer->close();
      Viewer.reset();
    }
    TMDLEditor::Instance().Clear();
  }

  QString Path(const QString& name) const { return Dir.filePath(name); }

  // A main window started with `args`, once its start-up step has run.
  TModelViewer& Start(const QStringList& args = {}) {
    Viewer = std::make_unique<TModelViewer>(args);
    // A question nobody scripted must not wait for a click.
    Viewer->FileDialogs().AskSaveChanges = [](QWidget*, const QString& text) {
      ADD_FAILURE() << "unexpected question: " << text.toStdString();
      return TFileDialogs::aCancel;
    };
    Viewer->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Viewer->StartupDone(); }, 5000));
    return *Viewer;
  }

  void WriteIni(const std::string& text) {
    fs::create_directories(fs::path(SettingsFileName()).parent_path());
    std::ofstream(SettingsFileName(), std::ios::binary) << text;
  }

  QTemporaryDir Dir;
  QString Sample;
  QStringList Errors;
  std::unique_ptr<TModelViewer> Viewer;
};

TEST_F(ModelViewerTest, StartsWithTheModelNamedOnTheCommandLineOrElseTheOneInTheSettings) {
  TModelViewer& v = Start({Sample});
  EXPECT_TRUE(TMDLEditor::Instance().IsValid());
  EXPECT_EQ(v.windowTitle(), "Tessel - " + Sample);
  EXPECT_EQ(v.StartupModelFile, Sample.toStdString());
  EXPECT_TRUE(Errors.isEmpty()) << Errors.join("\n").toStdString();
  // The frame panel tells where the editor is.
  EXPECT_TRUE(v.StatusText(0).startsWith("Frame:000")) << v.StatusText(0).toStdString();
  TearDown();

  // Two arguments: the settings' model counts.
  const QString other = Path("other.mdl");
  fs::copy_file(Sample.toStdString(), other.toStdString());
  WriteIni("[GENERAL]\r\nModelFile=" + other.toStdString() + "\r\n");
  TModelViewer& w = Start({Sample, Sample});
  EXPECT_EQ(w.FileDialogs().FileName(), other);
  TearDown();

  // No model anywhere: a new, empty model and the bare caption.
  fs::remove(SettingsFileName());
  TModelViewer& n = Start();
  EXPECT_EQ(n.windowTitle(), "Tessel");
  EXPECT_EQ(TMDLEditor::Instance().Model->Vertices->Count(), 0);
}

TEST_F(ModelViewerTest, EveryMenuEntryIsInAMenuAndLaterWindowsAreDisabled) {
  TModelViewer& v = Start();
  QList<QAction*> inMenus;
  for (QAction* top : v.menuBar()->actions())
    if (top->menu()) inMenus += top->menu()->actions();
  const QStringList captions = {
      "New Model",       "Open Model...",       "Merge Model...",     "Save Model",
      "Save Model As...", "Save As Quake Model...", "Close Model",    "Import Skin...",
      "Export Skin...",  "New Model From Base Frame...", "Import Frame...", "Export Frame...",
      "Import Multiple Frames...", "Export Multiple Frames...", "Exit", "Model Property Editor",
      "Frame Editor",    "Skin Texture Editor", "Skin Color Editor",  "Joint Track Editor",
      "Edit",            "Tile Vertical",       "Tile Horizontal",    "Cascade",
      "Memory Usage",    "Rendering Performance", "About..."};
  for (const QString& c : captions) {
    QAction* a = v.Action(c);
    ASSERT_NE(a, nullptr) << c.toStdString();
    EXPECT_TRUE(inMenus.contains(a)) << c.toStdString();
  }
  EXPECT_TRUE(v.Action("Frame Editor")->isEnabled());
  EXPECT_TRUE(v.Action("Skin Texture Editor")->isEnabled());
  EXPECT_TRUE(v.Action("Skin Color Editor")->isEnabled());
  for (const char* editor : {"Joint Track Editor", "Import Skin...", "Import Frame...", "Export Multiple Frames..."})
    EXPECT_TRUE(v.Action(editor)->isEnabled()) << editor;
  EXPECT_TRUE(v.Action("Open Model...")->isEnabled());
  // The three bars have their check marks in the View menu, following visibility.
  QMenu* view = v.findChild<QMenu*>("ViewMenu");
  ASSERT_NE(view, nullptr);
  for (QToolBar* bar : {v.ToolPaletteBar(), v.ToolPropertiesBar(), v.ColorPaletteBar()}) {
    ASSERT_TRUE(view->actions().contains(bar->toggleViewAction())) << bar->windowTitle().toStdString();
    const bool before = bar->isVisible();
    bar->toggleViewAction()->trigger();
    EXPECT_NE(bar->isVisible(), before);
    EXPECT_EQ(bar->toggleViewAction()->isChecked(), bar->isVisible());
  }
}

TEST_F(ModelViewerTest, TheEditMenuNamesTheStepsAndCtrlZUndoes) {
  TModelViewer& v = Start({Sample});
  TMDLEditor& e = TMDLEditor::Instance();
  QMenu* edit = v.findChild<QMenu*>("EditMenu");
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(v.menuBar()->actions().at(1)->menu(), edit);
  QAction* undo = v.UndoAction();
  QAction* redo = v.RedoAction();
  ASSERT_TRUE(edit->actions().contains(undo));
  ASSERT_TRUE(edit->actions().contains(redo));
  EXPECT_EQ(redo->shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}));
  struct TState {
    QString Undo, Redo;
  };
  const auto state = [&] { return TState{undo->isEnabled() ? undo->text() : "-", redo->isEnabled() ? redo->text() : "-"}; };
  const auto expect = [&](const TState& want, const char* when) {
    const TState got = state();
    EXPECT_EQ(got.Undo.toStdString(), want.Undo.toStdString()) << when;
    EXPECT_EQ(got.Redo.toStdString(), want.Redo.toStdString()) << when;
  };
  expect({"-", "-"}, "after the load");
  EXPECT_EQ(undo->text(), "&Undo");
  EXPECT_EQ(redo->text(), "&Redo");

  e.DuplicateFrame(2);
  e.RenameObject(1, "lid");
  expect({"&Undo Rename Object", "-"}, "after two steps");
  const int frames = e.Model->Frames->Count();

  // Ctrl+Z in the window takes the last step back, whatever has the focus.
  v.activateWindow();
  QTest::keyClick(&v, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return e.ObjectName(1) != "lid"; }, 2000));
  expect({"&Undo Duplicate Frame", "&Redo Rename Object"}, "after Ctrl+Z");
  EXPECT_TRUE(e.Modified);
  undo->trigger();
  EXPECT_EQ(e.Model->Frames->Count(), frames - 2);
  expect({"-", "&Redo Duplicate Frame"}, "back at the file");
  EXPECT_FALSE(e.Modified);
  EXPECT_FALSE(v.windowTitle().endsWith("*"));
  QTest::keyClick(&v, Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(e.Model->Frames->Count(), frames);
  QTest::keyClick(&v, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(e.ObjectName(1), "lid");
  expect({"&Undo Rename Object", "-"}, "after redoing both");

  // The Frame Editor's tool bar has the two buttons, following the history.
  TFrameViewer* frame = v.OpenFrameEditor();
  ASSERT_NE(frame, nullptr);
  QAction* frameUndo = frame->findChild<QAction*>("UndoBtn");
  QAction* frameRedo = frame->findChild<QAction*>("RedoBtn");
  ASSERT_NE(frameUndo, nullptr);
  ASSERT_NE(frameRedo, nullptr);
  EXPECT_TRUE(frameUndo->isEnabled());
  EXPECT_FALSE(frameRedo->isEnabled());
  EXPECT_EQ(frameUndo->toolTip(), "Undo Rename Object");
  frameUndo->trigger();
  EXPECT_EQ(frameRedo->toolTip(), "Redo Rename Object");
  EXPECT_TRUE(frameRedo->isEnabled());
  expect({"&Undo Duplicate Frame", "&Redo Rename Object"}, "after the Frame Editor's undo");
  // And the Skin Texture Editor's.
  TSkinViewer* skin = v.OpenSkinEditor();
  ASSERT_NE(skin, nullptr);
  QAction* skinRedo = skin->findChild<QAction*>("RedoBtn");
  ASSERT_NE(skinRedo, nullptr);
  EXPECT_EQ(skinRedo->toolTip(), "Redo Rename Object");
  skinRedo->trigger();
  EXPECT_EQ(e.ObjectName(1), "lid");
  EXPECT_FALSE(frameRedo->isEnabled());
  EXPECT_FALSE(skin->findChild<QAction*>("RedoBtn")->isEnabled());
  frameUndo->trigger();

  // A new model forgets the steps.
  v.FileDialogs().AskSaveChanges = [](QWidget*, const QString&) { return TFileDialogs::aNo; };
  v.NewModel();
  expect({"-", "-"}, "after New");
  EXPECT_FALSE(frameUndo->isEnabled());
}

TEST_F(ModelViewerTest, HintsReachTheThirdStatusPanelThroughTheEditor) {
  TModelViewer& v = Start({Sample});
  const QString before = v.StatusText(0);
  QAction* open = v.Action("Open Model...");
  ASSERT_NE(open, nullptr);
  open->showStatusText(&v);
  EXPECT_EQ(v.StatusText(2), "Open an existing model");
  EXPECT_EQ(TMDLEditor::Instance().ApplicationHint, "Open an existing model");
  // The other panels stay in view.
  EXPECT_EQ(v.StatusText(0), before);
  EXPECT_TRUE(v.statusBar()->currentMessage().isEmpty());
}

TEST_F(ModelViewerTest, TheSaveQuestionsThreeAnswers) {
  TModelViewer& v = Start({Sample});
  const std::string before = ReadAll(Sample.toStdString());
  int asked = 0;
  auto answer = [&](TFileDialogs::TAnswer a) {
    v.FileDialogs().AskSaveChanges = [&asked, a](QWidget*, const QString& text) {
      ++asked;
      EXPECT_EQ(text, "Quake Model modified, save changes ?");
      return a;
    };
  };
  TMDLEditor& e = TMDLEditor::Instance();

  // Cancel keeps the model and its name.
  e.SetModified(true);
  answer(TFileDialogs::aCancel);
  v.Action("Close Model")->trigger();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(e.IsValid());
  EXPECT_TRUE(e.Modified);
  EXPECT_EQ(v.FileDialogs().FileName(), Sample);

  // Yes saves under the model's name, then closes.
  e.Model->Frames->Frame(0).SetName("renamed");
  e.SetModified(true);
  answer(TFileDialogs::aYes);
  v.Action("Close Model")->trigger();
  EXPECT_EQ(e.Model->Vertices->Count(), 0);
  EXPECT_EQ(v.windowTitle(), "Tessel");
  TMDL saved;
  saved.LoadFromFile(Sample.toStdString());
  EXPECT_EQ(saved.Frames->Frame(0).Name().rfind("renamed", 0), 0u) << saved.Frames->Frame(0).Name();

  // No closes without saving.
  v.OpenModelFile(Sample);
  const std::string afterYes = ReadAll(Sample.toStdString());
  e.Model->Frames->Frame(0).SetName("lost");
  e.SetModified(true);
  answer(TFileDialogs::aNo);
  v.Action("Close Model")->trigger();
  EXPECT_EQ(e.Model->Vertices->Count(), 0);
  EXPECT_EQ(ReadAll(Sample.toStdString()), afterYes);
  EXPECT_NE(afterYes, before);
}

TEST_F(ModelViewerTest, SavingWithAndWithoutTheExtensionAndSaveWithoutANameAsksForOne) {
  TModelViewer& v = Start();
  TMDLEditor& e = TMDLEditor::Instance();
  BuildSampleModel(*e.Model);
  e.SetModified(true);
  QStringList asked;
  const QString plain = Path("plain");  // typed without extension
  v.FileDialogs().AskSaveFileName = [&](QWidget*, const QString& title, const QString&, const QString&) {
    asked << title;
    return asked.size() == 1 ? Path("full.mdl") : plain;
  };
  v.Action("Save Model")->trigger();  // no name yet: Save As
  ASSERT_EQ(asked.size(), 1);
  EXPECT_EQ(asked[0], "Save Quake Model");
  EXPECT_EQ(v.FileDialogs().FileName(), Path("full.mdl"));
  EXPECT_FALSE(e.Modified);
  EXPECT_EQ(v.StartupModelFile, Path("full.mdl").toStdString());
  v.Action("Save As Quake Model...")->trigger();
  ASSERT_EQ(asked.size(), 2);
  const std::string full = ReadAll(Path("full.mdl").toStdString());
  const std::string game = ReadAll(Path("plain.mdl").toStdString());
  ASSERT_FALSE(game.empty());
  EXPECT_NE(full.find("TSLX"), std::string::npos);
  EXPECT_EQ(game.find("TSLX"), std::string::npos);
  EXPECT_LT(game.size(), full.size());
  // The button bar's Save follows the modified flag.
  QAction* saveButton = nullptr;
  for (QToolBar* bar : v.findChildren<QToolBar*>())
    if (bar->objectName() == "ButtonBar")
      for (QAction* a : bar->actions())
        if (a->text() == "Save") saveButton = a;
  ASSERT_NE(saveButton, nullptr);
  EXPECT_FALSE(saveButton->isEnabled());
  e.SetModified(true);
  EXPECT_TRUE(saveButton->isEnabled());
}

TEST_F(ModelViewerTest, SettingsAreWrittenOnCloseEvenWhenCancelledAndReadBack) {
  WriteIni("; kept\r\n[GENERAL]\r\nShowHints=0\r\nNavigationPanelWidth=200\r\n[MDL]\r\nGamma=7\r\nUndoMemoryMB=3\r\n");
  TModelViewer& v = Start({Sample});
  EXPECT_EQ(TMDLEditor::Instance().Gamma, 7);
  EXPECT_EQ(TMDLEditor::Instance().History.Budget(), size_t{3} << 20);
  EXPECT_EQ(v.NavigationPanel()->width(), 200);
  v.ToolPropertiesBar()->hide();
  TMDLEditor::Instance().SetModified(true);
  v.FileDialogs().AskSaveChanges = [](QWidget*, const QString&) { return TFileDialogs::aCancel; };
  EXPECT_FALSE(v.close());
  EXPECT_TRUE(v.isVisible());

  const std::string text = ReadAll(SettingsFileName());
  EXPECT_NE(text.find("[GENERAL]"), std::string::npos) << text;
  EXPECT_EQ(text.find("[General]"), std::string::npos) << text;
  EXPECT_NE(text.find("; kept"), std::string::npos);
  TIniFile ini(SettingsFileName());
  EXPECT_EQ(ini.ReadString("GENERAL", "ModelFile", ""), Sample.toStdString());
  EXPECT_EQ(ini.ReadString("GENERAL", "ShowHints", ""), "0");
  EXPECT_EQ(ini.ReadString("GENERAL", "ShowToolProps", ""), "0");
  EXPECT_EQ(ini.ReadString("GENERAL", "ShowToolBar", ""), "1");
  EXPECT_EQ(ini.ReadInteger("GENERAL", "NavigationPanelWidth", 0), 200);
  EXPECT_EQ(ini.ReadInteger("MDL", "Gamma", 0), 7);
  EXPECT_EQ(ini.ReadInteger("MDL", "UndoMemoryMB", 0), 3);
  for (const char* key : {"Left", "Top", "Width", "Height", "LibraryPath", "FrameEditor", "SkinEditor",
                          "ColorEditor", "JointEditor", "ActiveEditor", "ShowColorPalette"})
    EXPECT_TRUE(ini.ValueExists("GENERAL", key)) << key;
  TearDown();

  // The next start reads them back.
  TModelViewer& w = Start();
  EXPECT_EQ(w.FileDialogs().FileName(), Sample);
  EXPECT_FALSE(w.ToolPropertiesBar()->isVisible());
  EXPECT_TRUE(w.ToolPaletteBar()->isVisible());
}

TEST_F(ModelViewerTest, NonsenseSettingsGiveDefaults) {
  const std::string garbage[] = {
      "[GENERAL]\r\nWidth=999999999999\r\nHeight=-5\r\nLeft=abc\r\nTop=1e9\r\nNavigationPanelWidth=-70000\r\n"
      "ShowToolBar=maybe\r\nActiveEditor=77\r\n[MDL]\r\nGamma=2147483647\r\nUndoMemoryMB=-40\r\n",
      std::string("\0\xff\xfe[GEN\x01RAL]\n\n=\n[MDL\nGamma\n", 24),
      "no sections at all\r\nModelFile=/nonexistent\r\n",
  };
  for (const std::string& text : garbage) {
    WriteIni(text);
    TModelViewer& v = Start();
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join("\n").toStdString();
    EXPECT_GE(v.width(), 320);
    EXPECT_GE(v.height(), 240);
    EXPECT_GE(v.NavigationPanel()->width(), 0);
    EXPECT_LE(v.NavigationPanel()->width(), v.width());
    EXPECT_GE(TMDLEditor::Instance().Gamma, -31);
    EXPECT_LE(TMDLEditor::Instance().Gamma, 32);
    EXPECT_LE(TMDLEditor::Instance().History.Budget(), TUndoHistory::kDefaultBudget);
    EXPECT_TRUE(v.ToolPaletteBar()->isVisible());
    TearDown();
  }
}

TEST_F(ModelViewerTest, ADamagedModelShowsTheErrorAndLeavesTheOpenModel) {
  TModelViewer& v = Start({Sample});
  TMDLEditor& e = TMDLEditor::Instance();
  const int frames = e.Model->Frames->Count();
  const QString bad = Path("bad.mdl");
  std::string bytes = ReadAll(Sample.toStdString());
  bytes.resize(200);  // cut inside the skins
  std::ofstream(bad.toStdString(), std::ios::binary) << bytes;
  v.FileDialogs().AskOpenFileName = [&](QWidget*, const QString&, const QString&, const QString&) { return bad; };
  v.Action("Open Model...")->trigger();
  ASSERT_EQ(Errors.size(), 1);
  EXPECT_FALSE(Errors[0].isEmpty());
  EXPECT_TRUE(e.IsValid());
  EXPECT_EQ(e.Model->Frames->Count(), frames);
  EXPECT_EQ(v.FileDialogs().FileName(), Sample);
  EXPECT_EQ(v.windowTitle(), "Tessel - " + Sample);

  // Dropped, the same.
  Errors.clear();
  v.DropFiles({bad});
  EXPECT_EQ(Errors.size(), 1);
  EXPECT_EQ(e.Model->Frames->Count(), frames);
  // A damaged picture dropped: the error, and no skin added.
  const QString badPicture = Path("bad.bmp");
  std::ofstream(badPicture.toStdString(), std::ios::binary) << "BM\x10\x00garbage";
  const int skins = e.SkinCount();
  Errors.clear();
  v.DropFiles({badPicture});
  EXPECT_EQ(Errors.size(), 1);
  EXPECT_EQ(e.SkinCount(), skins);
}

TEST_F(ModelViewerTest, DroppedFilesFollowTheRules) {
  TModelViewer& v = Start({Sample});
  TMDLEditor& e = TMDLEditor::Instance();
  const QString second = Path("second.MDL");
  {
    TMDL m;
    BuildSampleModel(m);
    m.Frames->Frame(0).SetName("second");
    m.SaveToFile(second.toStdString(), true);
  }
  QStringList pictures;
  for (int i = 0; i < 5; ++i) {
    QImage image(16, 8, QImage::Format_Indexed8);
    image.setColorCount(256);
    for (int c = 0; c < 256; ++c) image.setColor(c, qRgb(c, 255 - c, 40 * i));
    image.fill(uint(i * 30));
    pictures << Path(QString("skin%1.bmp").arg(i));
    ASSERT_TRUE(image.save(pictures.back(), "BMP"));
  }

  // A picture and a model: the model opens, nothing is imported.
  const int skins = e.SkinCount();
  v.DropFiles({pictures[0], second, Sample});
  EXPECT_EQ(v.FileDialogs().FileName(), second);
  EXPECT_EQ(e.Model->Frames->Frame(0).Name().rfind("second", 0), 0u);
  EXPECT_EQ(e.SkinCount(), skins);
  EXPECT_EQ(v.StartupModelFile, second.toStdString());

  // Five pictures: only the first three places of the list count.
  v.DropFiles(pictures);
  EXPECT_EQ(e.SkinCount(), skins + 3);
  // A picture in fourth place after a file no format takes: still not imported.
  v.DropFiles({Path("notes.txt"), pictures[0], pictures[1], pictures[2]});
  EXPECT_EQ(e.SkinCount(), skins + 5);

  // A real drop event on the window goes the same way (the skins made the
  // model modified: its changes are let go).
  v.FileDialogs().AskSaveChanges = [](QWidget*, const QString&) { return TFileDialogs::aNo; };
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(Sample)});
  QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&v, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&v, &drop);
  EXPECT_EQ(v.FileDialogs().FileName(), Sample);
  EXPECT_TRUE(Errors.isEmpty()) << Errors.join("\n").toStdString();
}

TEST_F(ModelViewerTest, TheOptionsDialogRoundTrip) {
  TModelViewer& v = Start({Sample});
  const QString lib = Path("library");
  QDir().mkpath(lib + "/Weapons");
  QDir().mkpath(lib + "/Demos");
  fs::copy_file(Sample.toStdString(), (lib + "/box.mdl").toStdString());
  fs::copy_file(Sample.toStdString(), (lib + "/Weapons/axe.mdl").toStdString());
  fs::copy_file(Sample.toStdString(), (lib + "/Demos/demo.mdl").toStdString());
  std::ofstream((lib + "/Weapons/axe.txt").toStdString()) << "A sharp axe\nsecond line\n";

  bool ran = false;
  QTimer::singleShot(0, [&] {
    auto* dlg = qobject_cast<TOptionsDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    ran = true;
    // The Frame Editor, open since start-up, brings its page; the other editor windows' pages stay hidden.
    ASSERT_EQ(dlg->Pages()->count(), 2);
    EXPECT_EQ(dlg->Pages()->tabText(1), "Frame Viewer Options");
    dlg->General()->SetGamma(-5);
    dlg->General()->SetShowHints(false);
    dlg->General()->SetLibraryPath(lib);
    dlg->accept();
  });
  v.Action("Edit")->trigger();
  ASSERT_TRUE(ran);
  EXPECT_EQ(TMDLEditor::Instance().Gamma, -5);
  EXPECT_EQ(v.LibraryPath, (lib + "/").toStdString());
  EXPECT_FALSE(v.ShowHints());
  // Without hints, a button's tool tip does not come up.
  QToolButton* open = nullptr;
  for (QToolButton* b : v.findChildren<QToolButton*>())
    if (b->defaultAction() && b->defaultAction()->text() == "&Open Model...") open = b;
  ASSERT_NE(open, nullptr);
  QHelpEvent tip(QEvent::ToolTip, QPoint(2, 2), open->mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(open, &tip);
  EXPECT_FALSE(QToolTip::isVisible());
  // The library: "Primitive" and one tab for the folder with a model;
  // "Demos" is skipped.
  QTabWidget* tabs = v.ObjectPalette();
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(0), "Primitive");
  EXPECT_EQ(tabs->tabText(1), "Weapons");
  ASSERT_EQ(v.PaletteModelFiles.size(), 2u);
  auto* axe = tabs->widget(1)->findChild<QToolButton*>();
  ASSERT_NE(axe, nullptr);
  EXPECT_EQ(axe->toolTip(), "A sharp axe");
  EXPECT_FALSE(axe->icon().isNull());
  // A click merges the library model into the open one.
  const int vertices = TMDLEditor::Instance().Model->Vertices->Count();
  QTest::mouseClick(axe, Qt::LeftButton);
  EXPECT_EQ(TMDLEditor::Instance().Model->Vertices->Count(), 2 * vertices);
  EXPECT_TRUE(Errors.isEmpty()) << Errors.join("\n").toStdString();

  // Cancel changes nothing.
  QTimer::singleShot(0, [&] {
    auto* dlg = qobject_cast<TOptionsDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->General()->Gamma(), -5);
    dlg->General()->SetGamma(9);
    dlg->reject();
  });
  v.Action("Edit")->trigger();
  EXPECT_EQ(TMDLEditor::Instance().Gamma, -5);
}

}  // namespace
