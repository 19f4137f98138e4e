// The map window "切盛図" driven with real mouse events: zoom by the wheel, panning by dragging,
// hovering, a double click into the mesh data editor, the findings list, the contours and their
// interval, and the export.

#include "ModalDriver.h"
#include "TextRecorder.h"

#include "analysis/EarthAllocation.h"
#include "controls/StringGrid.h"
#include "input/GridDataInputUnit.h"
#include "model/DataUnit.h"
#include "sitemap/SiteMapForm.h"
#include "sitemap/SiteMapView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A 12 × 8 site in metres of mesh numbers 0..11, 0..7: the plan a tilted plane through the
// ground, so that cut turns into fill along X = 5.5; a hole at (3, 4) and a spike at (8, 2).
void PlantedSite(TInputData& d) {
    d.SetTitle("試験造成");
    d.SetMeshSpan(10);
    d.SetPhase(0, true);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            if (x == 3 && y == 4)
                continue;
            TGridData g;
            g.X = x;
            g.Y = y;
            g.GH = 10.0;
            g.FH = 10.0 + 0.2 * (x - 5.5) + (x == 8 && y == 2 ? 30.0 : 0.0);
            d.SetMeshData(g);
        }
}

void Wheel(QWidget* W, const QPoint& Pos, int Notches) {
    QWheelEvent e(Pos, W->mapToGlobal(Pos), QPoint(), QPoint(0, 120 * Notches), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(W, &e);
}

struct SiteMapWindow : testing::Test {
    TInputData d;
    TSiteMapForm form;

    void SetUp() override {
        PlantedSite(d);
        form.SetInputData(d);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    void TearDown() override { form.hide(); }
    TSiteMapView* View() const { return form.MapView; }
    // Where the cell of point or mesh (X, Y) is drawn now.
    QPoint CellOf(int X, int Y) const {
        const double o = form.Map().CellOffset();
        return View()->ToWidget(QPointF(X + o, Y + o)).toPoint();
    }
};

} // namespace

TEST_F(SiteMapWindow, WheelZoomsAboutThePointerAndDragPans) {
    TSiteMapView* v = View();
    v->repaint();
    const QPoint at = CellOf(9, 6);
    const double before = v->Scale();
    const QPointF place = v->ToMesh(at);
    Wheel(v, at, 2);
    EXPECT_NEAR(v->Scale(), before * 1.5625, 1e-9);
    // The place under the pointer stays under it.
    EXPECT_NEAR(v->ToMesh(at).x(), place.x(), 1e-6);
    EXPECT_NEAR(v->ToMesh(at).y(), place.y(), 1e-6);
    QTest::qWait(1);
    v->repaint();
    const int renders = v->CacheRenders();

    // A short drag moves the map with the pointer and draws from the cached image.
    const QPointF centre = v->Centre();
    QTest::mousePress(v, Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
    QTest::mouseMove(v, QPoint(220, 210));
    QTest::mouseMove(v, QPoint(240, 220));
    QTest::mouseRelease(v, Qt::LeftButton, Qt::NoModifier, QPoint(240, 220));
    EXPECT_NEAR(v->Centre().x(), centre.x() - 40 / v->Scale(), 1e-6);
    EXPECT_NEAR(v->Centre().y(), centre.y() + 20 / v->Scale(), 1e-6);
    v->repaint();
    EXPECT_EQ(v->CacheRenders(), renders);

    // Back to the earlier zoom: that level's image is still there.
    Wheel(v, at, -2);
    v->repaint();
    EXPECT_EQ(v->CacheRenders(), renders);
    QTest::mouseClick(form.FitButton, Qt::LeftButton);
    EXPECT_TRUE(v->VisibleFrame().contains(QRectF(-0.5, -0.5, 12, 8)));
}

TEST_F(SiteMapWindow, HoverShowsThePointAndDoubleClickOpensIt) {
    QTest::mouseMove(View(), CellOf(10, 1));
    EXPECT_EQ(form.PointLabel->text(),
              QStringLiteral("点 X 10　Y 1　切盛高 0.900 m（計画高 10.900　地盤高 10.000）"));
    // The hole has no cell: nothing to show.
    QTest::mouseMove(View(), CellOf(3, 4));
    EXPECT_TRUE(form.PointLabel->text().isEmpty());

    for (auto [x, y, registered] : {std::tuple{10, 1, true}, std::tuple{3, 4, false}}) {
        QString entryX, entryY, ground;
        WhenModal(
            [&](QWidget* w) {
                auto* editor = static_cast<TMeshInputForm*>(w);
                entryX = editor->StringGrid1->Cells(0, 1);
                entryY = editor->StringGrid1->Cells(1, 1);
                ground = editor->StringGrid1->Cells(3, 1);
                editor->reject();
            },
            [](QWidget* w) { return qobject_cast<TMeshInputForm*>(w) != nullptr; });
        // The hole is opened through its finding's mark.
        QTest::mouseDClick(View(), Qt::LeftButton, Qt::NoModifier, CellOf(x, y));
        EXPECT_EQ(entryX, QString::number(x));
        EXPECT_EQ(entryY, QString::number(y));
        EXPECT_EQ(ground.isEmpty(), !registered) << ground.toStdString();
    }
}

TEST_F(SiteMapWindow, FindingsAreListedAndClickingOneGoesThere) {
    ASSERT_GE(form.Findings().size(), 2u);
    int hole = -1, spike = -1;
    for (size_t i = 0; i < form.Findings().size(); ++i) {
        const TCheckFinding& f = form.Findings()[i];
        if (f.Kind == TCheckKind::Hole && f.X == 3 && f.Y == 4)
            hole = int(i);
        if (f.Kind == TCheckKind::Spike && f.X == 8 && f.Y == 2)
            spike = int(i);
    }
    ASSERT_GE(hole, 0);
    ASSERT_GE(spike, 0);
    EXPECT_EQ(form.FindingsList->model()->rowCount(), int(form.Findings().size()));
    for (int row : {spike, hole}) {
        const QModelIndex item = form.FindingsList->model()->index(row, 0);
        EXPECT_EQ(item.data().toString().mid(2).toStdString(),
                  form.Findings()[size_t(row)].Message);
        const QRect r = form.FindingsList->visualRect(item);
        QTest::mouseClick(form.FindingsList->viewport(), Qt::LeftButton, Qt::NoModifier,
                          r.center());
        const TCheckFinding& f = form.Findings()[size_t(row)];
        EXPECT_NEAR(View()->Centre().x(), f.X, 1e-9);
        EXPECT_NEAR(View()->Centre().y(), f.Y, 1e-9);
        EXPECT_GE(View()->Scale(), 24);
    }
}

TEST_F(SiteMapWindow, LayersFollowTheResults) {
    // Without results the volume layer cannot be chosen.
    EXPECT_EQ(form.Map().Layer(), TMapLayer::Height);
    ASSERT_TRUE(d.Calcrate());
    form.SetInputData(d);
    // The layer is no change of the project: the checks are not run again.
    const TCheckFinding* findings = form.Findings().data();
    form.LayerBox->setCurrentIndex(1);
    EXPECT_EQ(form.Findings().data(), findings);
    EXPECT_EQ(form.Map().Layer(), TMapLayer::Volume);
    EXPECT_FALSE(form.Map().Empty());
    QTest::mouseMove(View(), CellOf(10, 1));
    EXPECT_TRUE(form.PointLabel->text().startsWith(QStringLiteral("メッシュ X 10　Y 1　盛土 ")))
        << form.PointLabel->text().toStdString();
}

TEST_F(SiteMapWindow, ExportWritesTheViewThroughTheAtomicWriter) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray magic[] = {QByteArray("\x89PNG"), QByteArray("<?xml"), QByteArray("%PDF")};
    const char* names[] = {"map.png", "map.svg", "map.pdf"};
    for (int i = 0; i < 3; ++i) {
        const QString path = dir.filePath(QString::fromLatin1(names[i]));
        ASSERT_TRUE(form.ExportTo(path)) << names[i];
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll().startsWith(magic[i])) << names[i];
    }
    // An unknown kind ends in the error box and writes nothing.
    AnswerMessageBox(QMessageBox::Ok);
    EXPECT_FALSE(form.ExportTo(dir.filePath(QStringLiteral("map.bmp"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("map.bmp"))));
}

namespace {

const std::string kSample = std::string(DORYOU_SOURCE_DIR) + "/examples/sample-site.msh";

// The sample site calculated, with one spoil site for its surplus stored as the allocation
// window stores it.
void SampleWithSpoil(TInputData& D) {
    D.FileLoad(kSample);
    ASSERT_TRUE(D.Calcrate());
    TAllocOptions o;
    TAllocPlace spoil;
    spoil.X = -40;
    spoil.Y = 10.5;
    o.Places = {spoil};
    D.SetTag(kAllocTag, AllocOptionsBytes(o));
}

QImage Painted(const TSiteMapPainter& Painter, const TSiteMapStyle& Style, const QRectF& Frame) {
    QImage image(500, 400, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    Painter.Paint(p, QRectF(image.rect()), Style, Frame);
    return image;
}

} // namespace

// The plan's arrows show over the cells: the same frame painted with and without them differs,
// and without a frame given the picture widens to the outside places.
TEST(SiteMapAllocation, PainterDrawsThePlansArrows) {
    TInputData d;
    SampleWithSpoil(d);
    const TAllocation plan = AllocateStored(d);
    ASSERT_TRUE(plan.Solved) << plan.Message;
    const TCutFillMap map(d, TMapLayer::Volume);
    const TSiteMapPainter painter(map);
    TSiteMapStyle plain;
    TSiteMapStyle arrows;
    arrows.Allocation = &plan;
    const QRectF site = painter.SiteFrame();
    EXPECT_NE(Painted(painter, plain, site), Painted(painter, arrows, site));
    EXPECT_TRUE(painter.PlanFrame(plan).contains(site));
    EXPECT_NE(painter.PlanFrame(plan), site);
}

// "配分矢印" waits for results and a stored plan that solves; checked, the view draws the plan
// of the stored options and fits the outside places in.
TEST(SiteMapAllocation, CheckBoxShowsTheStoredPlan) {
    TInputData d;
    d.FileLoad(kSample);
    TSiteMapForm form;
    form.SetInputData(d);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_FALSE(form.AllocationCheck->isEnabled()) << "no results";
    EXPECT_FALSE(form.AllocationCheck->isChecked());
    ASSERT_TRUE(d.Calcrate());
    form.SetInputData(d);
    EXPECT_FALSE(form.AllocationCheck->isEnabled()) << "no place for the surplus";

    TInputData spoil;
    SampleWithSpoil(spoil);
    form.SetInputData(spoil);
    ASSERT_TRUE(form.AllocationCheck->isEnabled());
    EXPECT_FALSE(form.AllocationCheck->isChecked());
    EXPECT_EQ(form.MapView->Style().Allocation, nullptr);
    const QImage before = form.MapView->grab().toImage();
    const QRectF siteView = form.MapView->VisibleFrame();
    QTest::mouseClick(form.AllocationCheck, Qt::LeftButton, Qt::NoModifier,
                      QPoint(8, form.AllocationCheck->height() / 2));
    ASSERT_TRUE(form.AllocationCheck->isChecked());
    const TAllocation* shown = form.MapView->Style().Allocation;
    ASSERT_NE(shown, nullptr);
    const TAllocation plan = AllocateStored(spoil);
    EXPECT_EQ(shown->TotalVolume, plan.TotalVolume);
    EXPECT_EQ(shown->ToSpoil, plan.ToSpoil);
    EXPECT_EQ(shown->Flows.size(), plan.Flows.size());
    EXPECT_TRUE(form.MapView->VisibleFrame().contains(siteView.center()));
    EXPECT_GT(form.MapView->VisibleFrame().width(), siteView.width());
    EXPECT_NE(form.MapView->grab().toImage(), before);
    form.AllocationCheck->setChecked(false);
    EXPECT_EQ(form.MapView->Style().Allocation, nullptr);
    form.hide();
}

// A large site whose box is too wide for an image of one pixel a mesh: the cells in view are
// drawn, each at least a pixel, and nothing of the far part shows.
TEST(SiteMapPainter, WideSitesDrawTheCellsInView) {
    TInputData d;
    d.SetLayer(1);
    for (int y = 0; y < 250; ++y)
        for (int x = 0; x < 250; ++x)
            for (int64_t far : {int64_t(0), int64_t(2'000'000'000)}) {
                TGridData g;
                g.X = int32_t(x + far);
                g.Y = int32_t(y - far);
                g.FH = far ? -5 : 5; // fill here, cut far away
                d.SetMeshData(g);
            }
    const TCutFillMap map(d, TMapLayer::Height);
    const TSiteMapPainter painter(map);
    ASSERT_TRUE(painter.CellImage().isNull());
    TSiteMapStyle style;
    style.Frame = false;
    style.Boundary = false;
    for (const QRectF& frame : {QRectF(-0.5, -0.5, 250, 250), QRectF(99.5, 99.5, 2, 2)}) {
        QImage image(300, 300, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        painter.PaintCells(p, QRectF(image.rect()), frame, style);
        p.end();
        int fill = 0, other = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb c = image.pixel(x, y);
                if (c == TSiteMapPainter::ClassColour(10, 5).rgb())
                    ++fill;
                else
                    ++other;
            }
        EXPECT_EQ(other, 0) << frame.width();
        EXPECT_EQ(fill, 300 * 300);
    }
}

namespace {

// The texts the form's painter draws over what the view shows.
std::vector<QString> DrawnTexts(const TSiteMapForm& Form) {
    TTextRecorder recorder(Form.MapView->size());
    QPainter p(&recorder);
    Form.MapPainter().PaintCells(p, QRectF(QPoint(), Form.MapView->size()),
                                 Form.MapView->VisibleFrame(), Form.MapView->Style());
    p.end();
    std::vector<QString> texts;
    for (const TDrawnText& t : recorder.Texts)
        texts.push_back(t.Text);
    return texts;
}

void TypeInterval(QDoubleSpinBox* Box, const QString& Text) {
    QTest::mouseClick(Box, Qt::LeftButton, Qt::NoModifier, QPoint(10, Box->height() / 2));
    QTest::keyClick(Box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(Box, Text);
    QTest::keyClick(Box, Qt::Key_Return);
}

} // namespace

// Each layer starts at its own round interval and draws its contours labelled with their
// levels; an interval typed too fine is said beside the legend and the finest one allowed is
// drawn instead; what was typed stays with its layer until the window is opened again.
TEST(SiteMapContours, EachLayerHasItsIntervalAndTooFineIsSaid) {
    TInputData d;
    d.FileLoad(kSample);
    ASSERT_TRUE(d.Calcrate());
    TSiteMapForm form;
    form.SetInputData(d);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_FALSE(form.ContourLabel->isVisible());
    QTest::mouseClick(form.ContourCheck, Qt::LeftButton, Qt::NoModifier,
                      QPoint(8, form.ContourCheck->height() / 2));
    ASSERT_TRUE(form.ContourEdit->isEnabled());
    // Heights of -8 .. 3 m: a metre.
    EXPECT_EQ(form.ContourEdit->value(), 1.0);
    EXPECT_EQ(form.ContourEdit->text().toStdString(), "1 m 間隔");
    EXPECT_TRUE(form.ContourLabel->isVisible());
    EXPECT_EQ(form.ContourLabel->text().toStdString(), "等高線: 1 m 間隔、10 本");

    // The volumes by the keyboard: their own interval, not the metre's number.
    form.LayerBox->setFocus();
    QTest::keyClick(form.LayerBox, Qt::Key_Down);
    ASSERT_EQ(form.Map().Layer(), TMapLayer::Volume);
    EXPECT_EQ(form.ContourEdit->value(), form.Map().DefaultInterval());
    EXPECT_EQ(form.ContourEdit->text().toStdString(), "500 m³ 間隔");
    EXPECT_EQ(form.ContourLabel->text().toStdString(), "等高線: 500 m³ 間隔、7 本");
    const TContourLevels& lines = form.MapPainter().ContourLines(500);
    ASSERT_EQ(lines.size(), 7u);
    for (const auto& level : lines)
        EXPECT_FALSE(level.second.empty()) << level.first;
    // Labels with the levels' texts, more than one a level on the longer lines.
    std::vector<QString> labels = DrawnTexts(form);
    for (const QString& text : {QStringLiteral("-2,000"), QStringLiteral("-1,000"),
                                QStringLiteral("500"), QStringLiteral("1,000")})
        EXPECT_NE(std::find(labels.begin(), labels.end(), text), labels.end())
            << text.toStdString();
    EXPECT_GT(labels.size(), lines.size());

    // Half a cubic metre would be thousands of lines.
    TypeInterval(form.ContourEdit, QStringLiteral("0.5"));
    EXPECT_EQ(form.ContourEdit->value(), 0.5);
    EXPECT_TRUE(form.ContourLabel->isVisible());
    EXPECT_EQ(form.ContourLabel->text().toStdString(),
              "等高線の間隔 0.5 m³ は細かすぎます（200 本を超えます）。50 m³ "
              "以上を指定してください。いまは 50 m³ 間隔で描いています。");
    EXPECT_EQ(form.MapPainter().ContourPlan(0.5).Interval, 50);
    EXPECT_FALSE(form.MapPainter().ContourLines(0.5).empty());
    labels = DrawnTexts(form);
    EXPECT_NE(std::find(labels.begin(), labels.end(), QStringLiteral("-1,000")), labels.end());

    // Each layer keeps its own.
    QTest::keyClick(form.LayerBox, Qt::Key_Up);
    EXPECT_EQ(form.ContourEdit->value(), 1.0);
    EXPECT_EQ(form.ContourLabel->text().toStdString(), "等高線: 1 m 間隔、10 本");
    QTest::keyClick(form.LayerBox, Qt::Key_Down);
    EXPECT_EQ(form.ContourEdit->value(), 0.5);
    // Opened again, the layer's own interval.
    form.hide();
    form.SetInputData(d);
    EXPECT_EQ(form.ContourEdit->value(), 500);
}
