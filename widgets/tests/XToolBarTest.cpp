// Dock bars on real main windows: places that survive a second window,
// allowed sides, garbage in the settings, visibility notifications and
// the owner check.

#include "widgets/XToolBar.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace {

const char* const kKey = "Software\\Hollin\\Tessel\\ToolBars";

// A main window with the program's three bars, all in the top area at
// first, as the form's own layout puts them.
struct Form {
  Form() {
    Window.resize(800, 600);
    Window.setCentralWidget(new QWidget);
    for (const char* name : {"EditToolBar", "ToolPropToolbar", "PaletteBar"}) {
      auto* bar = new TXToolBar(name, &Window, name);
      bar->SetRegistryKey(kKey);
      for (int i = 0; i < 4; ++i) bar->addAction(QString("A%1").arg(i));
      Bars.push_back(bar);
    }
    Window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&Window));
  }

  TXToolBar* Bar(int i) const { return Bars[i]; }

  // The side, row and rank in the row of every bar.
  struct Spot {
    std::optional<TDockPos> Side;
    int Line;
    int Rank;
    bool operator==(const Spot&) const = default;
  };
  std::vector<Spot> Spots() const {
    std::vector<Spot> spots;
    for (TXToolBar* bar : Bars) {
      const TBarPlace p = bar->Place();
      int rank = 0;
      for (TXToolBar* other : Bars) {
        const TBarPlace q = other->Place();
        if (other != bar && q.DockedTo == p.DockedTo && q.DockLine == p.DockLine && q.DockPos < p.DockPos) ++rank;
      }
      spots.push_back({p.DockedTo, p.DockedTo ? p.DockLine : -1, p.DockedTo ? rank : -1});
    }
    return spots;
  }

  QMainWindow Window;
  std::vector<TXToolBar*> Bars;
};

TBarPlace Docked(TDockPos side, int line, int pos) { return {side, line, pos, {}}; }

class XToolBarTest : public ::testing::Test {
protected:
  void SetUp() override { QSettings().clear(); }
};

TEST_F(XToolBarTest, DockedPlacesSurviveANewWindow) {
  struct Case {
    const char* Name;
    std::vector<TBarPlace> Places;
  };
  const Case cases[] = {
      {"reordered row", {Docked(dpTop, 0, 1000), Docked(dpTop, 0, 0), Docked(dpTop, 0, 10)}},
      {"two rows", {Docked(dpTop, 1, 0), Docked(dpTop, 0, 0), Docked(dpTop, 1, 500)}},
      {"every side", {Docked(dpLeft, 0, 0), Docked(dpBottom, 0, 0), Docked(dpRight, 0, 0)}},
      {"bottom rows", {Docked(dpBottom, 0, 0), Docked(dpBottom, 1, 0), Docked(dpBottom, 1, 300)}},
      {"right columns", {Docked(dpRight, 1, 0), Docked(dpRight, 0, 0), Docked(dpTop, 0, 0)}},
  };
  for (const Case& c : cases) {
    QSettings().clear();
    std::vector<Form::Spot> saved;
    {
      Form first;
      QList<QPair<TXToolBar*, TBarPlace>> places;
      for (int i = 0; i < 3; ++i) places.append({first.Bar(i), c.Places[i]});
      TXToolBar::ApplyPlaces(&first.Window, places);
      saved = first.Spots();
      for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(saved[i].Side, c.Places[i].DockedTo) << c.Name << " bar " << i;
        EXPECT_EQ(saved[i].Line, c.Places[i].DockLine) << c.Name << " bar " << i;
        int rank = 0;
        for (const TBarPlace& other : c.Places)
          rank += other.DockedTo == c.Places[i].DockedTo && other.DockLine == c.Places[i].DockLine &&
                  other.DockPos < c.Places[i].DockPos;
        EXPECT_EQ(saved[i].Rank, rank) << c.Name << " bar " << i;
        EXPECT_TRUE(first.Bar(i)->isVisible()) << c.Name;
      }
      TXToolBar::SavePositions(&first.Window);
    }
    Form second;
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(second.Bar(i)->HasSavedPosition());
    TXToolBar::LoadPositions(&second.Window);
    EXPECT_EQ(second.Spots(), saved) << c.Name;
  }
}

TEST_F(XToolBarTest, FloatingPlaceSurvivesANewWindow) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QPoint where = screen.topLeft() + QPoint(150, 120);
  {
    Form first;
    TBarPlace floating;
    floating.Floating = QRect(where, first.Bar(1)->sizeHint());
    first.Bar(1)->SetPlace(floating);
    ASSERT_FALSE(first.Bar(1)->DockedTo());
    EXPECT_TRUE(first.Bar(1)->isWindow());
    EXPECT_TRUE(first.Bar(1)->isVisible());
    TXToolBar::SavePositions(&first.Window);
  }
  QSettings s;
  EXPECT_EQ(s.value("Software/Hollin/Tessel/ToolBars/ToolPropToolbar/DockedTo").toString(), "");
  EXPECT_EQ(s.value("Software/Hollin/Tessel/ToolBars/ToolPropToolbar/Left").toInt(), where.x());
  EXPECT_EQ(s.value("Software/Hollin/Tessel/ToolBars/EditToolBar/DockedTo").toString(), "TopDocks");

  Form second;
  second.Bar(1)->LoadPosition();
  EXPECT_FALSE(second.Bar(1)->DockedTo());
  EXPECT_EQ(second.Bar(1)->geometry().topLeft(), where);
  // And back: docking puts it into the layout again.
  second.Bar(1)->SetDockedTo(dpBottom);
  EXPECT_EQ(second.Bar(1)->DockedTo(), dpBottom);
  EXPECT_FALSE(second.Bar(1)->isWindow());
  EXPECT_TRUE(second.Bar(1)->isVisible());
}

TEST_F(XToolBarTest, BarsStayOnTheirAllowedSides) {
  Form form;
  TXToolBar* bar = form.Bar(1);
  bar->SetAllowedDock({dpTop, dpBottom});
  EXPECT_EQ(bar->allowedAreas(), Qt::TopToolBarArea | Qt::BottomToolBarArea);
  bar->SetDockedTo(dpLeft);
  EXPECT_FALSE(bar->DockedTo()) << "a side it may not use floats it";
  EXPECT_TRUE(bar->isVisible());
  bar->SetDockedTo(dpBottom);
  EXPECT_EQ(bar->DockedTo(), dpBottom);

  // A saved side it may not use is ignored.
  QSettings().setValue("Software/Hollin/Tessel/ToolBars/ToolPropToolbar/DockedTo", "LeftDocks");
  bar->LoadPosition();
  EXPECT_EQ(bar->DockedTo(), dpBottom);
}

TEST_F(XToolBarTest, GarbageInTheSettingsLeavesASensiblePlace) {
  const QString group = "Software/Hollin/Tessel/ToolBars/EditToolBar/";
  struct Case {
    const char* Name;
    std::vector<std::pair<const char*, QVariant>> Values;
    std::optional<TDockPos> Side;
  };
  const Case cases[] = {
      {"unknown side", {{"DockedTo", "MiddleDocks"}}, dpTop},
      {"list for a name", {{"DockedTo", QStringList{"TopDocks", "x"}}}, dpTop},
      {"huge numbers", {{"DockedTo", "LeftDocks"}, {"DockLine", "99999999999999"}, {"DockPos", "-5e9"}}, dpLeft},
      {"words for numbers", {{"DockedTo", "BottomDocks"}, {"DockLine", "two"}, {"DockPos", QStringList{"1"}}}, dpBottom},
      {"off every screen",
       {{"DockedTo", ""}, {"Left", "99999999"}, {"Top", "-99999999"}, {"Width", "abc"}, {"Height", "-5"}},
       std::nullopt},
      {"enormous window", {{"DockedTo", ""}, {"Left", 10}, {"Top", 10}, {"Width", 2000000000}, {"Height", 0}},
       std::nullopt},
  };
  for (const Case& c : cases) {
    QSettings().clear();
    {
      QSettings s;
      for (const auto& [key, value] : c.Values) s.setValue(group + key, value);
    }
    Form form;
    TXToolBar* bar = form.Bar(0);
    bar->LoadPosition();
    EXPECT_EQ(bar->DockedTo(), c.Side) << c.Name;
    EXPECT_TRUE(bar->isVisible()) << c.Name;
    const QRect g = bar->isWindow() ? bar->geometry() : QRect(bar->mapToGlobal(QPoint(0, 0)), bar->size());
    EXPECT_GT(g.width(), 0) << c.Name;
    EXPECT_LE(g.width(), 4096) << c.Name;
    EXPECT_GT(g.height(), 0) << c.Name;
    bool onScreen = false;
    for (QScreen* screen : QGuiApplication::screens())
      onScreen = onScreen || screen->availableGeometry().intersects(g);
    EXPECT_TRUE(onScreen) << c.Name;
  }
}

TEST_F(XToolBarTest, NothingSavedKeepsTheFormsLayout) {
  Form form;
  const auto before = form.Spots();
  EXPECT_FALSE(form.Bar(2)->HasSavedPosition());
  TXToolBar::LoadPositions(&form.Window);
  EXPECT_EQ(form.Spots(), before);
}

TEST_F(XToolBarTest, VisibilityIsTold) {
  Form form;
  TXToolBar* bar = form.Bar(2);
  int told = 0;
  bar->OnVisibleChanged = [&](TXToolBar* sender) {
    EXPECT_EQ(sender, bar);
    ++told;
  };
  QSignalSpy spy(bar, &TXToolBar::visibleChanged);
  bar->hide();
  EXPECT_EQ(told, 1);
  EXPECT_FALSE(bar->toggleViewAction()->isChecked());
  bar->toggleViewAction()->trigger();
  EXPECT_EQ(told, 2);
  EXPECT_TRUE(bar->isVisible());
  ASSERT_EQ(spy.count(), 2);
  EXPECT_FALSE(spy.at(0).at(0).toBool());
  EXPECT_TRUE(spy.at(1).at(0).toBool());

  // Moving a bar to another side is no change of visibility, but of side.
  QSignalSpy docks(bar, &TXToolBar::dockChanged);
  bar->SetDockedTo(dpLeft);
  bar->SetDockedTo(std::nullopt);
  EXPECT_EQ(told, 2);
  EXPECT_EQ(docks.count(), 2);

  // A hidden bar stays hidden wherever it goes, also before its form shows.
  QMainWindow unshown;
  TXToolBar hidden("Hidden", &unshown);
  QSignalSpy hiddenSpy(&hidden, &TXToolBar::visibleChanged);
  hidden.setVisible(false);
  EXPECT_EQ(hiddenSpy.count(), 1);
  EXPECT_FALSE(hidden.toggleViewAction()->isChecked());
  hidden.SetDockedTo(dpRight);
  EXPECT_TRUE(hidden.isHidden());
  EXPECT_EQ(hiddenSpy.count(), 1);
}

TEST_F(XToolBarTest, AutoSaveWhenTheFormCloses) {
  Form form;
  form.Bar(0)->SetAutoSavePosition(true);
  form.Bar(0)->SetDockedTo(dpRight);
  form.Window.close();
  EXPECT_TRUE(form.Bar(0)->HasSavedPosition());
  EXPECT_FALSE(form.Bar(1)->HasSavedPosition());
  EXPECT_EQ(QSettings().value("Software/Hollin/Tessel/ToolBars/EditToolBar/DockedTo").toString(), "RightDocks");
}

TEST_F(XToolBarTest, DefaultRegistryKeyAndDoubleClick) {
  QMainWindow window;
  window.resize(600, 400);
  TXToolBar bar("Solo", &window, "Solo Bar");
  bar.addAction("x");
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_EQ(bar.RegistryKey(), "Software\\MyCompany\\MyApp\\ToolBars");
  EXPECT_EQ(bar.Caption(), "Solo Bar");
  bar.SavePosition();
  EXPECT_EQ(QSettings().value("Software/MyCompany/MyApp/ToolBars/Solo/DockedTo").toString(), "TopDocks");

  QTest::mouseDClick(&bar, Qt::LeftButton, {}, QPoint(bar.width() - 2, bar.height() / 2));
  EXPECT_FALSE(bar.DockedTo());
  QTest::mouseDClick(&bar, Qt::LeftButton, {}, QPoint(bar.width() - 2, bar.height() / 2));
  EXPECT_EQ(bar.DockedTo(), dpTop);
}

TEST_F(XToolBarTest, OwnerMustBeAForm) {
  QWidget plain;
  for (QWidget* owner : {&plain, static_cast<QWidget*>(nullptr)}) {
    try {
      TXToolBar bar("PaletteBar", owner);
      ADD_FAILURE() << "no exception";
    } catch (const EDockError& e) {
      EXPECT_STREQ(e.what(), "PaletteBar XToolBar must be owned by a form");
    }
  }
}

TEST_F(XToolBarTest, MetricsAreSharedByAllBars) {
  Form form;
  TDockMetrics::SetControlSize(24, 24);
  TDockMetrics::SetSpacing(3, 3);
  EXPECT_EQ(TDockMetrics::LineHeight(), 30);
  EXPECT_EQ(TDockMetrics::ColumnWidth(), 30);
  for (TXToolBar* bar : form.Bars) EXPECT_EQ(bar->iconSize(), QSize(24, 24));
  TDockMetrics::SetControlSize(22, 22);
  TDockMetrics::SetSpacing(6, 3);
  EXPECT_EQ(TDockMetrics::LineHeight(), 28);
  EXPECT_EQ(TDockMetrics::ColumnWidth(), 34);
}

}  // namespace
