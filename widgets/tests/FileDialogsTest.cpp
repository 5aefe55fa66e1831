// The file-dialog pair: which question comes when, what each answer does
// to the document and its name, and the dialogs' titles and filter.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <stdexcept>

#include "widgets/FileDialogs.h"

namespace {

// A document behind the dialogs that records what was asked of it.
struct TScript {
  bool Modified = false;
  TFileDialogs::TAnswer Answer = TFileDialogs::aNo;
  QString OpenName, SaveName;
  bool FailLoad = false, FailStore = false;
  QStringList Log;

  void Bind(TFileDialogs& d) {
    d.OnCheckModified = [this](TFileDialogs*, bool& m) { m = Modified; };
    d.OnClear = [this](TFileDialogs*) { Log << "clear"; };
    d.OnLoad = [this](TFileDialogs*, const QString& n) {
      if (FailLoad) throw std::runtime_error("damaged");
      Log << "load " + n;
    };
    d.OnStore = [this](TFileDialogs*, const QString& n) {
      if (FailStore) throw std::runtime_error("disk full");
      Log << "store " + n;
      Modified = false;
    };
    d.OnFileNameChange = [this, &d](TFileDialogs*) { Log << "name " + d.FileName(); };
    d.AskSaveChanges = [this](QWidget*, const QString& text) {
      Log << "ask " + text;
      return Answer;
    };
    d.AskOpenFileName = [this](QWidget*, const QString& title, const QString& start, const QString&) {
      Log << "open dialog " + title + " at " + start;
      return OpenName;
    };
    d.AskSaveFileName = [this](QWidget*, const QString& title, const QString& start, const QString&) {
      Log << "save dialog " + title + " at " + start;
      return SaveName;
    };
  }
};

struct TFixture {
  TFileDialogs Dialogs;
  TScript Script;
  TFixture() {
    Dialogs.SetDescription("Quake Model");
    Dialogs.SetExtension("MDL");
    Dialogs.DefaultFileName = "/models/untitled.mdl";
    Script.Bind(Dialogs);
  }
};

TEST(FileDialogsTest, TitlesFilterAndQuestion) {
  TFixture f;
  EXPECT_EQ(f.Dialogs.OpenTitle(), "Open Quake Model");
  EXPECT_EQ(f.Dialogs.SaveTitle(), "Save Quake Model");
  EXPECT_EQ(f.Dialogs.Filter(), "Quake Model Files (*.MDL *.mdl)");
  EXPECT_EQ(f.Dialogs.SaveQuestion(), "Quake Model modified, save changes ?");
  f.Dialogs.SetDescription(QString(60, 'x'));
  EXPECT_EQ(f.Dialogs.Description().size(), 40);
}

TEST(FileDialogsTest, EachAnswerOfTheQuestion) {
  struct TCase {
    bool Modified;
    TFileDialogs::TAnswer Answer;
    QString SaveName;  // for a Yes on a document without a name
    int Result;
    QStringList Log;
  };
  const QString q = "ask Quake Model modified, save changes ?";
  const TCase cases[] = {
      {false, TFileDialogs::aCancel, "", TFileDialogs::kDone, {"clear"}},
      {true, TFileDialogs::aNo, "", TFileDialogs::kDone, {q, "clear"}},
      {true, TFileDialogs::aCancel, "", TFileDialogs::kCancelled, {q}},
      {true, TFileDialogs::aYes, "/m/a.mdl", TFileDialogs::kDone,
       {q, "save dialog Save Quake Model at /models/untitled.mdl", "store /m/a.mdl", "name /m/a.mdl", "clear",
        "name "}},
      // Yes, but the save dialog is cancelled: nothing happens.
      {true, TFileDialogs::aYes, "", TFileDialogs::kCancelled,
       {q, "save dialog Save Quake Model at /models/untitled.mdl"}},
  };
  for (const TCase& c : cases) {
    TFixture f;
    f.Script.Modified = c.Modified;
    f.Script.Answer = c.Answer;
    f.Script.SaveName = c.SaveName;
    EXPECT_EQ(f.Dialogs.New(), c.Result);
    EXPECT_EQ(f.Script.Log, c.Log) << f.Script.Log.join(" | ").toStdString();
  }
}

TEST(FileDialogsTest, OpenAndSaveKeepTheNameRight) {
  TFixture f;
  // Open starts at the default name, then at the document's own.
  f.Script.OpenName = "/m/one.mdl";
  EXPECT_EQ(f.Dialogs.Open(), TFileDialogs::kDone);
  EXPECT_EQ(f.Dialogs.FileName(), "/m/one.mdl");
  f.Script.OpenName.clear();
  f.Script.Log.clear();
  EXPECT_EQ(f.Dialogs.Open(), TFileDialogs::kCancelled);
  EXPECT_EQ(f.Script.Log, QStringList{"open dialog Open Quake Model at /m/one.mdl"});

  // A load that fails puts the old name back.
  f.Script.FailLoad = true;
  EXPECT_THROW(f.Dialogs.OpenFile("/m/bad.mdl"), std::runtime_error);
  EXPECT_EQ(f.Dialogs.FileName(), "/m/one.mdl");
  f.Script.FailLoad = false;

  // Save with a name stores there without a dialog.
  f.Script.Log.clear();
  EXPECT_EQ(f.Dialogs.Save(), TFileDialogs::kDone);
  EXPECT_EQ(f.Script.Log, QStringList{"store /m/one.mdl"});

  // Save As: a name typed without extension gets the document's; a failed
  // store keeps the old name.
  f.Script.SaveName = "/m/two";
  f.Script.FailStore = true;
  EXPECT_THROW(f.Dialogs.SaveAs(), std::runtime_error);
  EXPECT_EQ(f.Dialogs.FileName(), "/m/one.mdl");
  f.Script.FailStore = false;
  EXPECT_EQ(f.Dialogs.SaveAs(), TFileDialogs::kDone);
  EXPECT_EQ(f.Dialogs.FileName(), "/m/two.mdl");

  // CanClose: cancelled only by Cancel or a cancelled save dialog.
  f.Script.Modified = true;
  f.Script.Answer = TFileDialogs::aCancel;
  EXPECT_EQ(f.Dialogs.CanClose(), TFileDialogs::kCancelled);
  f.Script.Answer = TFileDialogs::aYes;
  EXPECT_EQ(f.Dialogs.CanClose(), TFileDialogs::kDone);
  EXPECT_FALSE(f.Script.Modified);
}

}  // namespace
