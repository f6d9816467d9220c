// The internal map window on a maps folder of its own, alone and in a child window's map pane:
// the marks where the calibration puts them, dragging, zooming, the wheel, the rubber band, a
// picked position, hints, and calibrating with every question answered every way.
#include "AppTestSupport.h"
#include "support/CoreTestHooks.h"
#include "support/PictureCheck.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fMain.h"
#include "app/windows/uLanguageMenu.h"
#include "app/logic/uEntriesModel.h"
#include "core/uCodePage.h"
#include "core/uSettings.h"
#include "formats/uFormats.h"
#include "maps/fCalibrate.h"
#include "maps/fMapInternal.h"
#include "maps/uMap.h"
#include "maps/uMapCalibration.h"
#include "maps/uMapInternal.h"
#include "model/uModel.h"
#include "support/QtWarningGuard.h"

#include <QBuffer>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTabBar>
#include <QToolBar>
#include <QTableView>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

// The map window's controls, for the checks.
class TfmMapInternalTestAccess {
public:
    explicit TfmMapInternalTestAccess(const TfmMapInternal& form)
        : F(form)
    {
    }
    QComboBox* coMap() const { return F.coMap; }
    QToolBar* ToolBar1() const { return F.ToolBar1; }
    QAction* acZoomout() const { return F.acZoomout; }
    QAction* acZoomin() const { return F.acZoomin; }
    QAction* acSetMove() const { return F.acSetMove; }
    QAction* acSetPos() const { return F.acSetPos; }
    QAction* acSelect() const { return F.acSelect; }
    QAction* acCalibrate() const { return F.acCalibrate; }
    QScrollArea* MapBox() const { return F.MapBox; }
    TOrvikMap* OrvikMap1() const { return F.OrvikMap1; }
    QLabel* imgPos() const { return F.imgPos; }
    QWidget* shSelect() const { return F.shSelect; }
    QWidget* laNeedsCalibration() const { return F.laNeedsCalibration; }

private:
    const TfmMapInternal& F;
};
using MapAccess = TfmMapInternalTestAccess;

// The calibration dialog's controls, for the checks.
class TfmCalibrateTestAccess {
public:
    explicit TfmCalibrateTestAccess(const TfmCalibrate& form)
        : F(form)
    {
    }
    QRadioButton* rbPoint1() const { return F.rbPoint1; }
    QRadioButton* rbPoint2() const { return F.rbPoint2; }
    QLineEdit* edX1() const { return F.edX1; }
    QLineEdit* edY2() const { return F.edY2; }
    QLineEdit* edLatitude1() const { return F.edLatitude1; }
    QLineEdit* edLongitude1() const { return F.edLongitude1; }
    QLineEdit* edLatitude2() const { return F.edLatitude2; }
    QLineEdit* edLongitude2() const { return F.edLongitude2; }
    QLineEdit* edLatDeg1() const { return F.edLatDeg1; }
    QLineEdit* edLatMin1() const { return F.edLatMin1; }
    QPushButton* buLonSign2() const { return F.buLonSign2; }
    QComboBox* ColorBox1() const { return F.ColorBox1; }
    QPushButton* buOK() const { return F.buOK; }
    QPushButton* buCancel() const { return F.buCancel; }

private:
    const TfmCalibrate& F;
};
using DialogAccess = TfmCalibrateTestAccess;

namespace {

// The fixture picture: 400 x 300, point 1 = south-west corner (0, 300) at 4.0 E 52.0 N, point
// 2 = north-east corner (400, 0) at 5.0 E 52.75 N: 400 pixels a degree both ways, so that
// lon = 4 + x / 400 and lat = 52 + (300 - y) / 400.
constexpr int PictureWidth = 400;
constexpr int PictureHeight = 300;

QPoint PixelOf(double lon, double lat) { return QPoint(int((lon - 4) * 400), int(300 - (lat - 52) * 400)); }

TMapCalibration FixtureCalibration()
{
    TMapCalibration c;
    c.Cal1Lon = 4.0;
    c.Cal1Lat = 52.0;
    c.Cal1X = 0;
    c.Cal1Y = PictureHeight;
    c.Cal2Lon = 5.0;
    c.Cal2Lat = 52.75;
    c.Cal2X = PictureWidth;
    c.Cal2Y = 0;
    c.BackColor = InfColor::clTeal;
    return c;
}

// A maps folder: "grid.bmp" with its side file, "plain.bmp" without one.
struct TMapsFolder {
    QTemporaryDir Dir;
    QString Path;
    TMapsFolder()
    {
        Path = Dir.path() + QLatin1Char('/');
        QImage picture(PictureWidth, PictureHeight, QImage::Format_RGB32);
        picture.fill(Qt::white);
        picture.save(Path + QStringLiteral("grid.bmp"));
        picture.fill(QColor(240, 240, 200));
        picture.save(Path + QStringLiteral("plain.bmp"));
        ::SaveCalibration(Path + QStringLiteral("grid.bmp"), FixtureCalibration());
        SetMapsFolder(Path);
    }
    ~TMapsFolder() { SetMapsFolder(QString()); }
    void Write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(Path + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

// A map window alone over its own list, shown with room to scroll at zoom 2.
struct TMapWindow {
    TEntries Source;
    std::unique_ptr<TfmMapInternal> Map;
    explicit TMapWindow(const QString& picture = QStringLiteral("grid.bmp"))
    {
        Map = std::make_unique<TfmMapInternal>(Source);
        Map->resize(360, 320);
        Map->show();
        Map->FormActivate();
        Select(picture);
    }
    void Select(const QString& picture)
    {
        QComboBox* list = MapAccess(*Map).coMap();
        list->setCurrentIndex(list->findText(picture));
        emit list->activated(list->currentIndex());
    }
    // Shows every POI of Source, the one at current as the current entry.
    void ShowAll(int current = -1)
    {
        Map->Entries().Clear();
        for (int i = 0; i < Source.Count(); ++i)
            Map->Entries().AddEntry(&Source[i], false);
        Map->CurrentIndex = current;
        Map->ShowEntries();
    }
    QPoint Scroll() const
    {
        const QScrollArea* box = MapAccess(*Map).MapBox();
        return QPoint(box->horizontalScrollBar()->value(), box->verticalScrollBar()->value());
    }
};

// A pixel of the marker picture that is fully opaque.
QPoint OpaqueMarkerPixel(const QImage& marker)
{
    for (int y = marker.height() / 2; y < marker.height(); ++y)
        for (int x = 0; x < marker.width(); ++x)
            if (qAlpha(marker.pixel(x, y)) == 255)
                return QPoint(x, y);
    return QPoint(-1, -1);
}

struct TChildWindow {
    TdmMain Data;
    TfmTarvellMainForm Main { Data };
    TMDIChild* Child = nullptr;
    explicit TChildWindow(std::initializer_list<std::tuple<const char*, double, double>> places)
    {
        Main.resize(1000, 700);
        Main.show();
        Child = Main.NewChild();
        Main.ShowChild(Child);
        for (const auto& [name, lon, lat] : places)
            Child->Entries().Add(name, "", lon, lat);
        Child->Refresh();
    }
    TfmMapInternal* Map() const { return qobject_cast<TfmMapInternal*>(Child->MapForm()); }
    void SelectRows(const std::vector<int>& rows, int current)
    {
        QItemSelectionModel* selection = TMDIChildTestAccess(*Child).ListView1()->selectionModel();
        selection->clearSelection();
        for (int row : rows)
            selection->select(Child->Model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        selection->setCurrentIndex(Child->Model()->index(current, 0), QItemSelectionModel::NoUpdate);
        Child->PushSelectionToMap();
    }
};

void Click(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mousePress(widget, button, Qt::NoModifier, at);
    QTest::mouseRelease(widget, button, Qt::NoModifier, at);
}

// A mouse move with no button held, as the mouse passes over a widget.
void Hover(QWidget* widget, QPoint at)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

void Leave(QLineEdit* edit, const QString& text)
{
    edit->setText(text);
    emit edit->editingFinished();
}

} // namespace

class TestMapInternal : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestHome();
        RegisterAllFormats();
    }
    void init()
    {
        ResetSettingsForTests();
        QFile::remove(SettingsStoreFileName());
        QLocale::setDefault(QLocale::c());
    }
    void cleanup()
    {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }

    void markerIsDrawnWhereTheCalibrationPutsIt_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::newRow("zoom 0.5") << 0.5;
        QTest::newRow("zoom 1") << 1.0;
        QTest::newRow("zoom 2") << 2.0;
    }
    void markerIsDrawnWhereTheCalibrationPutsIt()
    {
        QFETCH(double, zoom);
        TMapsFolder folder;
        TMapWindow window;
        const MapAccess mapUi(*window.Map);
        QVERIFY(window.Map->Calibrated());
        QCOMPARE(mapUi.OrvikMap1()->GetCal2Lat(), 52.75);
        window.Source.Add("museum", "", 4.25, 52.5);
        window.ShowAll();
        mapUi.OrvikMap1()->SetZoom(zoom);
        TOrvikMap& map = *mapUi.OrvikMap1();
        const int x = map.LonToX(4.25);
        const int y = map.LatToY(52.5);
        QCOMPARE(x, qRound(100 * zoom));
        QCOMPARE(y, qRound(100 * zoom));
        const QImage marker = map.GetMarker();
        const QPoint opaque = OpaqueMarkerPixel(marker);
        QVERIFY(opaque.x() >= 0);
        const QPoint at(x - marker.width() / 2 + opaque.x(), y - marker.height() / 2 + opaque.y());
        QCOMPARE(QColor(map.grab().toImage().pixel(at)), QColor(marker.pixel(opaque)));
        // Without the POI the picture shows through.
        window.Map->Entries().Clear();
        window.Map->ShowEntries();
        QCOMPARE(QColor(map.grab().toImage().pixel(at)), QColor(Qt::white));
    }

    void currentEntryMarkIsPlacedAndScrolledIntoView()
    {
        TMapsFolder folder;
        TMapWindow window;
        const MapAccess mapUi(*window.Map);
        mapUi.OrvikMap1()->SetZoom(2);
        window.Source.Add("corner", "", 4.95, 52.05);
        window.Source.Add("outside", "", 6.0, 52.05);
        window.ShowAll(0);
        TOrvikMap& map = *mapUi.OrvikMap1();
        QVERIFY(mapUi.imgPos()->isVisibleTo(window.Map.get()));
        QCOMPARE(mapUi.imgPos()->geometry(), QRect(map.LonToX(4.95) - 16, map.LatToY(52.05) - 16, 32, 32));
        const QRect view(window.Scroll(), mapUi.MapBox()->viewport()->size());
        QVERIFY2(view.contains(mapUi.imgPos()->geometry()), "scrolled just far enough");
        QCOMPARE(view.right(), mapUi.imgPos()->geometry().right());
        window.Map->CurrentIndex = 1;
        window.Map->ShowCurrentEntry();
        QVERIFY2(mapUi.imgPos()->isHidden(), "a POI beyond the picture has no mark");
        window.Map->CurrentIndex = -1;
        window.Map->ShowCurrentEntry();
        QVERIFY(mapUi.imgPos()->isHidden());
    }

    // A calibration that runs east to west (or south to north) shows the current entry's mark too.
    void markShowsWithAMirroredCalibration_data()
    {
        QTest::addColumn<bool>("mirrorX");
        QTest::addColumn<bool>("mirrorY");
        QTest::newRow("east to west") << true << false;
        QTest::newRow("south to north") << false << true;
        QTest::newRow("both") << true << true;
    }
    void markShowsWithAMirroredCalibration()
    {
        QFETCH(bool, mirrorX);
        QFETCH(bool, mirrorY);
        TMapsFolder folder;
        TMapWindow window;
        const MapAccess mapUi(*window.Map);
        TMapCalibration c = FixtureCalibration();
        if (mirrorX)
            std::swap(c.Cal1X, c.Cal2X);
        if (mirrorY)
            std::swap(c.Cal1Y, c.Cal2Y);
        window.Map->ApplyCalibration(c);
        window.Source.Add("museum", "", 4.25, 52.5);
        window.ShowAll(0);
        QVERIFY(mapUi.imgPos()->isVisibleTo(window.Map.get()));
        const QPoint at(mirrorX ? 300 : 100, mirrorY ? 200 : 100);
        QCOMPARE(mapUi.imgPos()->pos() + QPoint(16, 16), at);
        // Outside the picture it is hidden, as with the usual calibration.
        window.Source[0].SetLongitude(3.9);
        window.ShowAll(0);
        QVERIFY(mapUi.imgPos()->isHidden());
    }

    // A picture whose name is not UTF-8 is listed escaped and opened by its own bytes, with its
    // side file; its calibration cannot be written under that name, so calibrating is off.
    void pictureNamedInAnotherEncodingLoadsWithItsSideFile()
    {
        TMapsFolder folder;
        QImage picture(PictureWidth, PictureHeight, QImage::Format_RGB32);
        picture.fill(Qt::white);
        QByteArray bytes;
        {
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QVERIFY(picture.save(&buffer, "BMP"));
        }
        const QByteArray native = QFile::encodeName(folder.Path) + QByteArray("caf\xe9.bmp");
        const std::string side = CalibrationText(FixtureCalibration(), bytes.size());
        for (const auto& [path, content] : { std::pair { native, bytes }, std::pair { native + ".inf", QByteArray::fromStdString(side) } }) {
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, content.constData(), size_t(content.size())), ssize_t(content.size()));
            ::close(fd);
        }
        TMapWindow window(QStringLiteral("caf\\xE9.bmp"));
        QCOMPARE(window.Map->LoadedName(), QStringLiteral("caf\\xE9.bmp"));
        QCOMPARE(window.Map->PictureSize(), QSize(PictureWidth, PictureHeight));
        QVERIFY(window.Map->Calibrated());
        QVERIFY(!MapAccess(*window.Map).acCalibrate()->isEnabled());
        // The others still calibrate.
        window.Select(QStringLiteral("plain.bmp"));
        QVERIFY(MapAccess(*window.Map).acCalibrate()->isEnabled());
    }

    void dragScrollsTheMapAndGivesTheCursorBack()
    {
        TMapsFolder folder;
        TMapWindow window;
        const MapAccess mapUi(*window.Map);
        mapUi.acZoomin()->trigger();
        QCOMPARE(mapUi.OrvikMap1()->width(), 800);
        QVERIFY(mapUi.acSetMove()->isChecked());
        QCOMPARE(mapUi.OrvikMap1()->cursor().shape(), Qt::OpenHandCursor);
        QWidget* map = mapUi.OrvikMap1();
        QTest::mousePress(map, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::ClosedHandCursor);
        QTest::mouseMove(map, QPoint(60, 40));
        QCOMPARE(window.Scroll(), QPoint(40, 60));
        // The pixel pressed stays under the mouse: (100, 100) is now at (60, 40) of the client area.
        QTest::mouseMove(map, QPoint(40 + 30, 60 + 20));
        QCOMPARE(window.Scroll(), QPoint(70, 80));
        QTest::mouseRelease(map, Qt::LeftButton, Qt::NoModifier, QPoint(70, 80));
        QVERIFY(!QApplication::overrideCursor());
        QTest::mouseMove(map, QPoint(10, 10));
        QCOMPARE(window.Scroll(), QPoint(70, 80));

        // A drag whose window loses the mouse ends there.
        QTest::mousePress(map, Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
        QVERIFY(QApplication::overrideCursor());
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(map, &deactivate);
        QVERIFY(!QApplication::overrideCursor());
        QTest::mouseMove(map, QPoint(150, 150));
        QCOMPARE(window.Scroll(), QPoint(70, 80));
        QTest::mouseRelease(map, Qt::LeftButton, Qt::NoModifier, QPoint(150, 150));
        QVERIFY(!QApplication::overrideCursor());
    }

    void wheelScrollsSixOrTwentyFourPixels_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("plain") << int(Qt::NoModifier) << QPoint(100, 94);
        QTest::newRow("Ctrl") << int(Qt::ControlModifier) << QPoint(100, 76);
        QTest::newRow("Shift") << int(Qt::ShiftModifier) << QPoint(94, 100);
        QTest::newRow("Shift Ctrl") << int(Qt::ShiftModifier | Qt::ControlModifier) << QPoint(76, 100);
    }
    void wheelScrollsSixOrTwentyFourPixels()
    {
        QFETCH(int, modifiers);
        QFETCH(QPoint, expected);
        TMapsFolder folder;
        TMapWindow window;
        const MapAccess mapUi(*window.Map);
        mapUi.acZoomin()->trigger();
        mapUi.MapBox()->horizontalScrollBar()->setValue(100);
        mapUi.MapBox()->verticalScrollBar()->setValue(100);
        QWidget* viewport = mapUi.MapBox()->viewport();
        QWheelEvent wheel(QPointF(50, 50), viewport->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 120),
            Qt::NoButton, Qt::KeyboardModifiers(modifiers), Qt::NoScrollPhase, false);
        QApplication::sendEvent(mapUi.OrvikMap1(), &wheel);
        QCOMPARE(window.Scroll(), expected);
    }

    void zoomStopsAtFourAndAHalfAndTheSamePictureIsNotReloaded()
    {
        TMapsFolder folder;
        TMapWindow window;
        const MapAccess mapUi(*window.Map);
        QAction* in = mapUi.acZoomin();
        QAction* out = mapUi.acZoomout();
        QVERIFY(in->isEnabled() && out->isEnabled());
        in->trigger();
        in->trigger();
        QCOMPARE(mapUi.OrvikMap1()->width(), 1600);
        QVERIFY(!in->isEnabled());
        in->trigger();
        QCOMPARE(mapUi.OrvikMap1()->GetZoom(), 4.0);
        for (int i = 0; i < 3; ++i)
            out->trigger();
        QCOMPARE(mapUi.OrvikMap1()->GetZoom(), 0.5);
        QVERIFY(!out->isEnabled());
        QVERIFY(in->isEnabled());
        // Choosing the picture shown keeps it as it is; another one loads at zoom 1.
        window.Select(QStringLiteral("grid.bmp"));
        QCOMPARE(mapUi.OrvikMap1()->GetZoom(), 0.5);
        window.Select(QStringLiteral("plain.bmp"));
        QCOMPARE(mapUi.OrvikMap1()->GetZoom(), 1.0);
        QCOMPARE(window.Map->LoadedName(), QStringLiteral("plain.bmp"));
        QCOMPARE(GetSettings().Map, 1);
    }

    void pictureListIsRefilledOnEachDropDown()
    {
        TMapsFolder folder;
        TMapWindow window;
        const MapAccess mapUi(*window.Map);
        QCOMPARE(mapUi.coMap()->count(), 2);
        folder.Write(QStringLiteral("Another.GIF"), QByteArray());
        mapUi.coMap()->showPopup();
        mapUi.coMap()->hidePopup();
        QCOMPARE(mapUi.coMap()->count(), 3);
        QCOMPARE(mapUi.coMap()->itemText(0), QStringLiteral("Another.GIF"));
        QCOMPARE(mapUi.coMap()->currentText(), QStringLiteral("grid.bmp"));
        QFile::remove(folder.Path + QStringLiteral("grid.bmp"));
        mapUi.coMap()->showPopup();
        mapUi.coMap()->hidePopup();
        QCOMPARE(mapUi.coMap()->currentIndex(), -1);
    }

    void emptyOrMissingFolderGivesAnEmptyList()
    {
        TScriptedPrompt prompt;
        SetMapsFolder(QStringLiteral("/nonexistent/maps/"));
        TEntries source;
        TfmMapInternal map(source);
        const MapAccess mapUi(map);
        map.show();
        map.FormActivate();
        QCOMPARE(mapUi.coMap()->count(), 0);
        QVERIFY(prompt.Boxes.empty());
        QVERIFY(!mapUi.acZoomin()->isEnabled());
        QVERIFY(!mapUi.acCalibrate()->isEnabled());
        SetMapsFolder(QString());
    }

    void badPicturesAndSideFilesWarnAndShowThePanel()
    {
        TMapsFolder folder;
        TScriptedPrompt prompt;
        folder.Write(QStringLiteral("broken.jpg"), QByteArray("not a picture at all"));
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::gray);
        image.save(folder.Path + QStringLiteral("bad.bmp"));
        const QByteArray size = QByteArray::number(QFileInfo(folder.Path + QStringLiteral("bad.bmp")).size());
        folder.Write(QStringLiteral("bad.bmp.inf"), "Cal1Lon=abc\r\nCal1Lat=52\r\nCal2Lon=5\r\nCal2Lat=53\r\nMapCheck=" + size + "\r\n");
        TMapWindow window;
        const MapAccess mapUi(*window.Map);
        QVERIFY(window.Map->Calibrated());
        const double scale = mapUi.OrvikMap1()->Scale().ScaleX();

        // The first picture, "bad.bmp", said why it needs calibration when the window came up.
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        prompt.Boxes.clear();
        window.Select(QStringLiteral("broken.jpg"));
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QVERIFY2(prompt.Boxes.back().Text.contains(QStringLiteral("broken.jpg")), qPrintable(prompt.Boxes.back().Text));
        QVERIFY(!window.Map->Calibrated());
        // Choosing it again tries again.
        window.Select(QStringLiteral("broken.jpg"));
        QCOMPARE(prompt.Boxes.size(), size_t(2));

        window.Select(QStringLiteral("bad.bmp"));
        QCOMPARE(prompt.Boxes.size(), size_t(3));
        QVERIFY2(prompt.Boxes.back().Text.startsWith(QStringLiteral("Loading of calibration data failed: ")),
            qPrintable(prompt.Boxes.back().Text));
        QVERIFY(prompt.Boxes.back().Text.endsWith(QStringLiteral("Please calibrate the map properly.")));
        QVERIFY(mapUi.laNeedsCalibration()->isVisibleTo(window.Map.get()));
        QVERIFY(!window.Map->Calibrated());

        // A side file of another picture size: the panel, and the last calibration stays.
        window.Select(QStringLiteral("grid.bmp"));
        QVERIFY(window.Map->Calibrated());
        folder.Write(QStringLiteral("plain.bmp.inf"), "Cal1Lon=1\r\nCal1Lat=2\r\nCal2Lon=3\r\nCal2Lat=4\r\nMapCheck=12\r\n");
        window.Select(QStringLiteral("plain.bmp"));
        QCOMPARE(prompt.Boxes.size(), size_t(3));
        QVERIFY(!window.Map->Calibrated());
        QCOMPARE(mapUi.OrvikMap1()->GetCal1Lon(), 4.0);
        QCOMPARE(mapUi.OrvikMap1()->Scale().ScaleX(), scale);
    }

    void hintNamesThePoiUnderTheMouse()
    {
        TMapsFolder folder;
        TMapWindow window;
        const MapAccess mapUi(*window.Map);
        window.Source.Add("museum", "", 4.25, 52.5);
        window.ShowAll(0);
        QString hint;
        bool canShow = true;
        TMapHintInfo info { mapUi.OrvikMap1(), PixelOf(4.25, 52.5) - QPoint(1, 1), -1 };
        window.Map->MapShowHint(hint, canShow, info);
        QVERIFY(canShow);
        QCOMPARE(hint, QStringLiteral("museum\nLat/Lon: 52.50000/4.25000"));
        QCOMPARE(info.ReshowTimeout, 500);
        // Over the current entry's mark the same place gives the same hint.
        hint.clear();
        info = { mapUi.imgPos(), PixelOf(4.25, 52.5) - QPoint(1, 1) - mapUi.imgPos()->pos(), -1 };
        window.Map->MapShowHint(hint, canShow, info);
        QCOMPARE(hint, QStringLiteral("museum\nLat/Lon: 52.50000/4.25000"));
        // 0.02 degrees are 8 pixels at zoom 1.
        info = { mapUi.OrvikMap1(), PixelOf(4.25, 52.5) + QPoint(9, 0), -1 };
        window.Map->MapShowHint(hint, canShow, info);
        QVERIFY(hint.isEmpty());
        QVERIFY(!canShow);
        // Another control's hint is left alone.
        hint = QStringLiteral("mine");
        canShow = true;
        info = { mapUi.coMap(), QPoint(1, 1), -1 };
        window.Map->MapShowHint(hint, canShow, info);
        QCOMPARE(hint, QStringLiteral("mine"));
        QVERIFY(canShow);
        QCOMPARE(mapUi.OrvikMap1()->OnHintText(PixelOf(4.25, 52.5).x(), PixelOf(4.25, 52.5).y()),
            QStringLiteral("museum\nLat/Lon: 52.50000/4.25000"));
    }

    // Names from POI files are shown in the tool tip exactly as they are: no picture is loaded,
    // nothing is formatted.
    void hintShowsHostileNamesAsPlainText_data()
    {
        QTest::addColumn<QByteArray>("name");
        // (/dev/null rather than the endless /dev/zero: a tip that failed would not eat the memory.)
        QTest::newRow("device picture") << QByteArray("<img src=\"/dev/null\">");
        QTest::newRow("local picture") << QByteArray("<img src=\"LOCAL\">");
        QTest::newRow("heading") << QByteArray("<h1>Big</h1>");
        QTest::newRow("bold") << QByteArray("<b>bold</b> name");
        QTest::newRow("rich marker") << QByteArray("<qt>Caf\xe9 & bar &amp; more");
        QTest::newRow("link and break") << QByteArray("<a href=\"http://127.0.0.1/\">x</a><br>y");
        QTest::newRow("table and style") << QByteArray("<table><tr><td style=\"font-size:99px\">z</td></tr></table>");
        QTest::newRow("comment") << QByteArray("a<!-- hidden -->b");
    }
    void hintShowsHostileNamesAsPlainText()
    {
        QFETCH(QByteArray, name);
        TMapsFolder folder;
        // A picture that a rich text tip would show.
        QImage local(40, 40, QImage::Format_RGB32);
        local.fill(Qt::red);
        const QString localPath = folder.Path + QStringLiteral("local.png");
        QVERIFY(local.save(localPath));
        name.replace("LOCAL", localPath.toUtf8());
        TMapWindow window;
        const MapAccess mapUi(*window.Map);
        window.Source.Add(name.toStdString(), "", 4.25, 52.5);
        window.ShowAll(0);
        TOrvikMap* control = mapUi.OrvikMap1();
        const QPoint at = PixelOf(4.25, 52.5);
        QHelpEvent help(QEvent::ToolTip, at, control->mapToGlobal(at));
        QApplication::sendEvent(control, &help);
        const QString shown = QToolTip::text();
        QVERIFY(!shown.isEmpty());
        QTextDocument document;
        document.setHtml(shown);
        const QString expected = AnsiToUnicode(name.toStdString()) + QStringLiteral("\nLat/Lon: 52.50000/4.25000");
        QCOMPARE(document.toPlainText(), expected);
        // No picture, no link, no table, no size of the name's own.
        QVERIFY(!shown.contains(QLatin1String("<img"), Qt::CaseInsensitive));
        QVERIFY(!shown.contains(QLatin1String("<a "), Qt::CaseInsensitive));
        QVERIFY(!shown.contains(QLatin1String("<table"), Qt::CaseInsensitive));
        QVERIFY(!shown.contains(QLatin1String("<b>"), Qt::CaseInsensitive));
        QVERIFY(!shown.contains(QLatin1String("<h1>"), Qt::CaseInsensitive));
        QToolTip::hideText();
    }

    // --- in the child window ---

    void paneFollowsMapVisibleAndTheOpenAndCloseCommands()
    {
        TMapsFolder folder;
        GetSettings().MapVisible = false;
        GetSettings().MapPanelWidth = 50;
        TChildWindow window({ { "a", 4.25, 52.5 } });
        TMDIChild& child = *window.Child;
        QVERIFY(TMDIChildTestAccess(child).paMaps()->isHidden());
        QVERIFY(!child.MapForm());
        QAction* open = child.Action(TAction::acOpenMap);
        QVERIFY(open->isEnabled());
        QVERIFY(!open->isChecked());
        open->trigger();
        QVERIFY(!TMDIChildTestAccess(child).paMaps()->isHidden());
        QVERIFY(open->isChecked());
        QVERIFY(GetSettings().MapVisible);
        QVERIFY(window.Map());
        // No HTML map plug-ins here: the internal map and the desktop map application.
        QCOMPARE(TMDIChildTestAccess(child).tsMaps()->count(), 2);
        QCOMPARE(TMDIChildTestAccess(child).tsMaps()->tabText(0), QStringLiteral("Internal Map"));
        QCOMPARE(TMDIChildTestAccess(child).tsMaps()->tabText(1), QStringLiteral("MapPoint"));
        QVERIFY2(TMDIChildTestAccess(child).paMaps()->width() >= 134, "the pane is never narrower than its minimum");
        QPointer<TMapForm> first = child.MapForm();
        open->trigger();
        QVERIFY(TMDIChildTestAccess(child).paMaps()->isHidden());
        QVERIFY(!child.MapForm());
        QVERIFY(!GetSettings().MapVisible);
        QVERIFY2(first, "a hidden pane keeps its window");
        child.Action(TAction::acOpenMap)->trigger();
        QVERIFY2(!first, "showing the pane again docks a new window and frees the old one");
        QVERIFY(window.Map());
        child.Action(TAction::acCloseMap)->trigger();
        QVERIFY(TMDIChildTestAccess(child).paMaps()->isHidden());
        QVERIFY(!open->isChecked());
        QVERIFY(!GetSettings().MapVisible);
    }

    void unknownMapTabOpensTheInternalMap()
    {
        TMapsFolder folder;
        GetSettings().MapTab = QStringLiteral("A plug-in that is gone");
        TChildWindow window({});
        QVERIFY(window.Map());
        QCOMPARE(TMDIChildTestAccess(*window.Child).tsMaps()->currentIndex(), 0);
        QVERIFY(GetSettings().MapTab.isEmpty());
    }

    void splitterStoresThePaneWidth()
    {
        TMapsFolder folder;
        TChildWindow window({});
        QSplitter* splitter = TMDIChildTestAccess(*window.Child).spMap();
        QCOMPARE(TMDIChildTestAccess(*window.Child).paMaps()->width(), 200);
        QWidget* handle = splitter->handle(1);
        QVERIFY(handle);
        auto drag = [handle](int dx) {
            const QPoint from = handle->rect().center();
            QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, from);
            QTest::mouseMove(handle, from + QPoint(dx, 0));
            QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, from + QPoint(dx, 0));
        };
        drag(60);
        QVERIFY(TMDIChildTestAccess(*window.Child).paMaps()->width() > 200);
        QCOMPARE(GetSettings().MapPanelWidth, TMDIChildTestAccess(*window.Child).paMaps()->width());
        drag(-400);
        QCOMPARE(TMDIChildTestAccess(*window.Child).paMaps()->width(), 134);
        QCOMPARE(GetSettings().MapPanelWidth, 134);
    }

    void selectionIsPushedToTheMapWithTheSelectedItemCurrent()
    {
        TMapsFolder folder;
        TChildWindow window({ { "a", 4.25, 52.5 }, { "b", 4.5, 52.5 }, { "c", 4.75, 52.25 } });
        TfmMapInternal* map = window.Map();
        QVERIFY(map);
        window.SelectRows({ 0, 2 }, 2);
        QCOMPARE(map->Entries().Count(), 2);
        QCOMPARE(std::string(map->Entries()[1].GetDescription()), std::string("c"));
        QCOMPARE(map->CurrentIndex, 1);
        QVERIFY(MapAccess(*map).imgPos()->isVisibleTo(map));
        window.SelectRows({}, 0);
        QCOMPARE(map->Entries().Count(), 0);
        QCOMPARE(map->CurrentIndex, -1);
        QVERIFY(MapAccess(*map).imgPos()->isHidden());
        // Select All pushes, and so does a mouse release in the list.
        window.Child->SelectAll();
        QCOMPARE(map->Entries().Count(), 3);
        QTest::mouseClick(TMDIChildTestAccess(*window.Child).ListView1()->viewport(), Qt::LeftButton, Qt::NoModifier,
            TMDIChildTestAccess(*window.Child).ListView1()->visualRect(window.Child->Model()->index(1, 0)).center());
        QCOMPARE(map->Entries().Count(), 1);
        QCOMPARE(std::string(map->Entries()[0].GetDescription()), std::string("b"));
        QCOMPARE(map->CurrentIndex, 0);
        // Keys: pushed when the key goes up, and with Shift only when Shift goes up.
        TMDIChildTestAccess(*window.Child).ListView1()->setFocus();
        QTest::keyClick(TMDIChildTestAccess(*window.Child).ListView1(), Qt::Key_Down);
        QCOMPARE(std::string(map->Entries()[0].GetDescription()), std::string("c"));
        // (QTest's own key functions press and release the modifiers around the key.)
        auto key = [&](QEvent::Type type, int code, Qt::KeyboardModifiers modifiers) {
            QKeyEvent event(type, code, modifiers);
            QApplication::sendEvent(TMDIChildTestAccess(*window.Child).ListView1(), &event);
        };
        key(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
        key(QEvent::KeyPress, Qt::Key_Up, Qt::ShiftModifier);
        key(QEvent::KeyRelease, Qt::Key_Up, Qt::ShiftModifier);
        QCOMPARE(window.Child->SelectedIndices(), (std::vector<int> { 1, 2 }));
        QCOMPARE(map->Entries().Count(), 1);
        QVERIFY(TMDIChildTestAccess(*window.Child).KeySelectPending());
        key(QEvent::KeyRelease, Qt::Key_Shift, Qt::ShiftModifier);
        QVERIFY(!TMDIChildTestAccess(*window.Child).KeySelectPending());
        QCOMPARE(map->Entries().Count(), 2);
    }

    void mouseCoordinatesGoToTheStatusBar()
    {
        TMapsFolder folder;
        TChildWindow window({ { "a", 4.25, 52.5 } });
        TfmMapInternal* map = window.Map();
        Hover(MapAccess(*map).OrvikMap1(), QPoint(100, 20));
        QCOMPARE(TMainFormTestAccess(window.Main).StatusPanel(1)->text(), QStringLiteral("52.70000 4.25000 (100 20)"));
    }

    void rubberBandSelectsTheRowsInsideInAnyDirection_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        // The band from (90, 90) to (210, 210) holds b and c; a lies on its left edge.
        QTest::newRow("down right") << QPoint(90, 90) << QPoint(210, 210);
        QTest::newRow("up left") << QPoint(210, 210) << QPoint(90, 90);
        QTest::newRow("down left") << QPoint(210, 90) << QPoint(90, 210);
        QTest::newRow("up right") << QPoint(90, 210) << QPoint(210, 90);
    }
    void rubberBandSelectsTheRowsInsideInAnyDirection()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        TMapsFolder folder;
        // Pixels: a (90, 150), b (100, 100), c (200, 200), d (300, 150).
        TChildWindow window({ { "a", 4.225, 52.375 }, { "b", 4.25, 52.5 }, { "c", 4.5, 52.25 }, { "d", 4.75, 52.375 } });
        window.Child->SelectAll();
        TfmMapInternal* map = window.Map();
        const MapAccess mapUi(*map);
        QCOMPARE(map->Entries().Count(), 4);
        mapUi.acSelect()->trigger();
        QWidget* control = mapUi.OrvikMap1();
        QTest::mousePress(control, Qt::LeftButton, Qt::NoModifier, from);
        QVERIFY(mapUi.shSelect()->isVisibleTo(map));
        QTest::mouseMove(control, to);
        QCOMPARE(mapUi.shSelect()->geometry(), QRect(from, to).normalized());
        QTest::mouseRelease(control, Qt::LeftButton, Qt::NoModifier, to);
        QVERIFY(mapUi.shSelect()->isHidden());
        QCOMPARE(window.Child->SelectedIndices(), (std::vector<int> { 1, 2 }));
        QCOMPARE(map->Entries().Count(), 2);
        QVERIFY(!QApplication::overrideCursor());
    }

    void invertingABandSelectionShowsTheOthers()
    {
        TMapsFolder folder;
        TChildWindow window({ { "a", 4.1, 52.1 }, { "b", 4.2, 52.2 }, { "c", 4.3, 52.3 }, { "d", 4.4, 52.4 }, { "e", 4.5, 52.5 } });
        TfmMapInternal* map = window.Map();
        window.SelectRows({ 0, 2, 3 }, 2);
        window.Child->InvertSelection();
        QCOMPARE(window.Child->SelectedIndices(), (std::vector<int> { 1, 4 }));
        QCOMPARE(map->Entries().Count(), 2);
        window.Child->InvertSelection();
        QCOMPARE(window.Child->SelectedIndices(), (std::vector<int> { 0, 2, 3 }));
        window.Child->SelectAll();
        QCOMPARE(window.Child->SelectedIndices().size(), size_t(5));
        QCOMPARE(map->Entries().Count(), 5);
        window.Child->InvertSelection();
        QVERIFY(window.Child->SelectedIndices().empty());
        QCOMPARE(map->Entries().Count(), 0);
    }

    void pickedPositionGoesToTheCurrentPoi()
    {
        TMapsFolder folder;
        TChildWindow window({ { "a", 4.1, 52.1 }, { "b", 4.2, 52.2 } });
        TfmMapInternal* map = window.Map();
        const MapAccess mapUi(*map);
        window.SelectRows({ 0, 1 }, 1);
        QVERIFY2(!mapUi.acSetPos()->isEnabled(), "two POIs shown");
        window.SelectRows({ 1 }, 1);
        QVERIFY(mapUi.acSetPos()->isEnabled());
        mapUi.acSetPos()->trigger();
        QCOMPARE(mapUi.OrvikMap1()->cursor().shape(), Qt::CrossCursor);
        Click(mapUi.OrvikMap1(), QPoint(101, 100));
        TEntry& b = window.Child->Entries()[1];
        QCOMPARE(b.GetLatitude(), 52.5);
        QCOMPARE(b.GetLongitude(), 4.2525);
        QCOMPARE(window.Child->Entries()[0].GetLongitude(), 4.1);
        // Other buttons do nothing.
        Click(mapUi.OrvikMap1(), QPoint(10, 10), Qt::RightButton);
        QCOMPARE(b.GetLongitude(), 4.2525);
        // Two POIs: the mode goes back to moving.
        window.SelectRows({ 0, 1 }, 1);
        QVERIFY(!mapUi.acSetPos()->isEnabled());
        QVERIFY(mapUi.acSetMove()->isChecked());
        QCOMPARE(mapUi.OrvikMap1()->cursor().shape(), Qt::OpenHandCursor);
        // An uncalibrated picture has no set-position mode.
        window.SelectRows({ 1 }, 1);
        QVERIFY(mapUi.acSetPos()->isEnabled());
        mapUi.coMap()->setCurrentIndex(mapUi.coMap()->findText(QStringLiteral("plain.bmp")));
        emit mapUi.coMap()->activated(mapUi.coMap()->currentIndex());
        QVERIFY(!mapUi.acSetPos()->isEnabled());
    }

    // Dam Square clicked, everything selected, a band round Artis Zoo: the zoo is the row the
    // edits show and the map marks, and a picked position moves the zoo, not Dam Square.
    void bandThenSetPositionMovesTheMarkedPoi()
    {
        TMapsFolder folder;
        // Pixels: Dam Square (100, 100), Artis Zoo (200, 200).
        TChildWindow window({ { "Dam Square", 4.25, 52.5 }, { "Artis Zoo", 4.5, 52.25 } });
        TMDIChild& child = *window.Child;
        QTableView* list = TMDIChildTestAccess(child).ListView1();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
            list->visualRect(child.Model()->index(0, 0)).center());
        QCOMPARE(TMDIChildTestAccess(child).edDescription()->text(), QStringLiteral("Dam Square"));
        // Ctrl+A: the main window's Select All.
        child.SelectAll();
        QCOMPARE(child.SelectedIndices(), (std::vector<int> { 0, 1 }));
        QCOMPARE(list->selectionModel()->currentIndex().row(), 0);
        TfmMapInternal* map = window.Map();
        const MapAccess mapUi(*map);
        QCOMPARE(map->Entries().Count(), 2);
        mapUi.acSelect()->trigger();
        QWidget* control = mapUi.OrvikMap1();
        QTest::mousePress(control, Qt::LeftButton, Qt::NoModifier, QPoint(180, 180));
        QTest::mouseMove(control, QPoint(220, 220));
        QTest::mouseRelease(control, Qt::LeftButton, Qt::NoModifier, QPoint(220, 220));
        QCOMPARE(child.SelectedIndices(), (std::vector<int> { 1 }));
        QCOMPARE(list->selectionModel()->currentIndex().row(), 1);
        QCOMPARE(TMDIChildTestAccess(child).edDescription()->text(), QStringLiteral("Artis Zoo"));
        QCOMPARE(map->CurrentIndex, 0);
        QCOMPARE(std::string(map->Entries()[0].GetDescription()), std::string("Artis Zoo"));
        QVERIFY(mapUi.imgPos()->isVisibleTo(map));
        QVERIFY(mapUi.acSetPos()->isEnabled());
        mapUi.acSetPos()->trigger();
        Click(control, QPoint(150, 150));
        QCOMPARE(child.Entries()[1].GetLongitude(), 4.375);
        QCOMPARE(child.Entries()[1].GetLatitude(), 52.375);
        QCOMPARE(child.Entries()[0].GetLongitude(), 4.25);
        QCOMPARE(child.Entries()[0].GetLatitude(), 52.5);
        QCOMPARE(TMDIChildTestAccess(child).edDescription()->text(), QStringLiteral("Artis Zoo"));
        QCOMPARE(TMDIChildTestAccess(child).edLongitude()->text(), QStringLiteral("4.37500"));
        // The mark follows the moved POI.
        QCOMPARE(mapUi.imgPos()->pos() + QPoint(16, 16), QPoint(150, 150));
    }

    // Ctrl+click unselects the current row: the edits and the map's mark go together to the first
    // row still chosen, and what is typed changes that POI; with none chosen the edits are empty
    // and closed and the map marks nothing.
    void ctrlClickUnselectingTheCurrentRowMovesEditsAndMarkTogether()
    {
        TMapsFolder folder;
        TChildWindow window({ { "Dam Square", 4.25, 52.5 }, { "Artis Zoo", 4.5, 52.25 }, { "Museum", 4.75, 52.25 } });
        TMDIChild& child = *window.Child;
        TfmMapInternal* map = window.Map();
        QVERIFY(map);
        QLineEdit* description = TMDIChildTestAccess(child).edDescription();
        const auto marked = [map] {
            return map->CurrentIndex < 0 ? std::string() : std::string(map->Entries()[map->CurrentIndex].GetDescription());
        };
        ClickRow(&child, 0);
        ClickRow(&child, 2, Qt::ControlModifier);
        QCOMPARE(child.SelectedIndices(), (std::vector<int> { 0, 2 }));
        QCOMPARE(description->text(), QStringLiteral("Museum"));
        QCOMPARE(marked(), std::string("Museum"));
        // The current row (Museum) unselected.
        ClickRow(&child, 2, Qt::ControlModifier);
        QCOMPARE(child.SelectedIndices(), (std::vector<int> { 0 }));
        QCOMPARE(TMDIChildTestAccess(child).ListView1()->selectionModel()->currentIndex().row(), 2);
        QCOMPARE(description->text(), QStringLiteral("Dam Square"));
        QCOMPARE(marked(), std::string("Dam Square"));
        QVERIFY(description->isEnabled());
        QTest::mouseClick(description, Qt::LeftButton);
        QTest::keyClick(description, Qt::Key_End);
        QTest::keyClicks(description, QStringLiteral(" North"));
        QTest::keyClick(description, Qt::Key_Return);
        QCOMPARE(std::string(child.Entries()[0].GetDescription()), std::string("Dam Square North"));
        QCOMPARE(std::string(child.Entries()[2].GetDescription()), std::string("Museum"));
        QCOMPARE(marked(), std::string("Dam Square North"));
        // The latitude goes to the same POI.
        QLineEdit* latitude = TMDIChildTestAccess(child).edLatitude();
        QTest::mouseClick(latitude, Qt::LeftButton);
        QTest::keyClick(latitude, Qt::Key_End);
        QTest::keyClick(latitude, Qt::Key_Home, Qt::ShiftModifier);
        QTest::keyClicks(latitude, QStringLiteral("51.5"));
        QTest::keyClick(latitude, Qt::Key_Return);
        QCOMPARE(child.Entries()[0].GetLatitude(), 51.5);
        QCOMPARE(child.Entries()[2].GetLatitude(), 52.25);
        // The last chosen row unselected too: nothing to edit, nothing marked.
        ClickRow(&child, 0, Qt::ControlModifier);
        QVERIFY(child.SelectedIndices().empty());
        QVERIFY(description->text().isEmpty());
        QVERIFY(!description->isEnabled());
        QVERIFY(!latitude->isEnabled());
        QCOMPARE(map->Entries().Count(), 0);
        QCOMPARE(map->CurrentIndex, -1);
        child.Entries().ResetChanged();
    }

    // A right-click on a row selects it and pushes the selection to the map, as a left-click does.
    void rightClickOnARowPushesTheSelection()
    {
        TMapsFolder folder;
        TChildWindow window({ { "a", 4.25, 52.5 }, { "b", 4.5, 52.25 } });
        TMDIChild& child = *window.Child;
        TfmMapInternal* map = window.Map();
        QTableView* list = TMDIChildTestAccess(child).ListView1();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
            list->visualRect(child.Model()->index(0, 0)).center());
        QCOMPARE(map->Entries().Count(), 1);
        QCOMPARE(std::string(map->Entries()[0].GetDescription()), std::string("a"));
        // The press selects the row; the menu opens from it and takes the release.
        const QPoint at = list->visualRect(child.Model()->index(1, 0)).center();
        QTest::mousePress(list->viewport(), Qt::RightButton, Qt::NoModifier, at);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &menu);
        QMenu* popup = TMDIChildTestAccess(child).PopupActionBarEx1();
        QVERIFY(popup->isVisible());
        QCOMPARE(child.SelectedIndices(), (std::vector<int> { 1 }));
        QCOMPARE(map->Entries().Count(), 1);
        QCOMPARE(std::string(map->Entries()[0].GetDescription()), std::string("b"));
        QCOMPARE(map->CurrentIndex, 0);
        popup->hide();
    }

    void childActivationActivatesItsMap()
    {
        TMapsFolder folder;
        TChildWindow window({});
        TfmMapInternal* map = window.Map();
        const MapAccess mapUi(*map);
        QCOMPARE(mapUi.coMap()->count(), 2);
        folder.Write(QStringLiteral("new.jpg"), QByteArray());
        mapUi.acSelect()->trigger();
        window.Child->ChildActivated();
        QCOMPARE(mapUi.coMap()->count(), 3);
        QVERIFY(mapUi.acSetMove()->isChecked());
    }

    // --- calibration ---

    void calibrationRoundTrip()
    {
        TMapsFolder folder;
        TScriptedPrompt prompt;
        TMapWindow window(QStringLiteral("plain.bmp"));
        TfmMapInternal& map = *window.Map;
        const MapAccess mapUi(map);
        QVERIFY(!map.Calibrated());
        QVERIFY(mapUi.laNeedsCalibration()->isVisibleTo(&map));
        mapUi.acZoomin()->trigger();
        mapUi.acCalibrate()->trigger();
        QPointer<TfmCalibrate> dialog = map.CalibrationDialog();
        QVERIFY(dialog);
        const DialogAccess dialogUi(*dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!mapUi.coMap()->isEnabled());
        QVERIFY(!dialogUi.rbPoint1()->isChecked() && !dialogUi.rbPoint2()->isChecked());
        dialogUi.rbPoint1()->click();
        Click(mapUi.OrvikMap1(), QPoint(40, 561));
        QCOMPARE(dialog->X1(), 20);
        QCOMPARE(dialog->Y1(), 280);
        QCOMPARE(dialogUi.edX1()->text(), QStringLiteral("20"));
        Leave(dialogUi.edLatitude1(), QStringLiteral("52.25"));
        Leave(dialogUi.edLongitude1(), QStringLiteral("4.05"));
        QCOMPARE(dialogUi.edLatDeg1()->text(), QStringLiteral("52"));
        QCOMPARE(dialogUi.edLatMin1()->text(), QStringLiteral("15"));
        dialogUi.rbPoint2()->click();
        Click(mapUi.OrvikMap1(), QPoint(760, 40));
        Leave(dialogUi.edLatitude2(), QStringLiteral("52.7"));
        Leave(dialogUi.edLongitude2(), QStringLiteral("4.95"));
        dialogUi.buLonSign2()->click();
        QCOMPARE(dialog->C2.GetLongitude(), -4.95);
        dialogUi.buLonSign2()->click();
        Leave(dialogUi.edY2(), QStringLiteral("20"));
        QCOMPARE(dialog->Y2(), 20);
        QCOMPARE(dialog->X2(), 380);
        QVERIFY(prompt.Boxes.empty());
        dialogUi.buOK()->click();
        QVERIFY(prompt.Boxes.empty());
        QTRY_VERIFY(!dialog);
        QVERIFY(mapUi.coMap()->isEnabled());
        QVERIFY(map.Calibrated());
        QVERIFY(QFile::exists(folder.Path + QStringLiteral("plain.bmp.inf")));

        TMapWindow reloaded(QStringLiteral("plain.bmp"));
        const MapAccess reloadedUi(*reloaded.Map);
        QVERIFY(reloaded.Map->Calibrated());
        const TMapScale& before = mapUi.OrvikMap1()->Scale();
        const TMapScale& after = reloadedUi.OrvikMap1()->Scale();
        QCOMPARE(after.ScaleX(), before.ScaleX());
        QCOMPARE(after.ScaleY(), before.ScaleY());
        QCOMPARE(reloadedUi.OrvikMap1()->GetCal1X(), 20);
        QCOMPARE(reloadedUi.OrvikMap1()->GetCal2Lat(), 52.7);
        QVERIFY(qFuzzyCompare(after.ScaleX(), 400.0));
        QVERIFY(qFuzzyCompare(after.ScaleY(), -260 / 0.45));
    }

    // Child A calibrates plain.bmp; child B chooses grid.bmp (the shared "Map"); back in A the
    // dialog still calibrates plain.bmp, clicks still set its points, and OK writes only its side
    // file. With the dialog closed, activation takes "Map" again and moves to move mode.
    void calibrationDialogStaysOnItsPictureAcrossAChildSwitch()
    {
        TMapsFolder folder;
        TScriptedPrompt prompt;
        const QString gridSide = folder.Path + QStringLiteral("grid.bmp.inf");
        QFile gridFile(gridSide);
        QVERIFY(gridFile.open(QIODevice::ReadOnly));
        const QByteArray gridBefore = gridFile.readAll();
        gridFile.close();
        TChildWindow window({});
        TMDIChild* childA = window.Child;
        TfmMapInternal* mapA = window.Map();
        QVERIFY(mapA);
        const MapAccess mapAUi(*mapA);
        mapAUi.coMap()->setCurrentIndex(mapAUi.coMap()->findText(QStringLiteral("plain.bmp")));
        emit mapAUi.coMap()->activated(mapAUi.coMap()->currentIndex());
        QCOMPARE(mapA->LoadedName(), QStringLiteral("plain.bmp"));
        mapAUi.acCalibrate()->trigger();
        QPointer<TfmCalibrate> dialog = mapA->CalibrationDialog();
        QVERIFY(dialog);
        const DialogAccess dialogUi(*dialog);
        dialogUi.rbPoint1()->click();

        TMDIChild* childB = window.Main.NewChild();
        window.Main.ShowChild(childB);
        QCOMPARE(window.Main.ActiveChild(), childB);
        auto* mapB = qobject_cast<TfmMapInternal*>(childB->MapForm());
        QVERIFY(mapB);
        const MapAccess mapBUi(*mapB);
        mapBUi.coMap()->setCurrentIndex(mapBUi.coMap()->findText(QStringLiteral("grid.bmp")));
        emit mapBUi.coMap()->activated(mapBUi.coMap()->currentIndex());
        QCOMPARE(GetSettings().Map, mapBUi.coMap()->findText(QStringLiteral("grid.bmp")));

        // Back to A the way Ctrl+F6 goes.
        TMainFormTestAccess(window.Main).MdiArea()->activateNextSubWindow();
        QCOMPARE(window.Main.ActiveChild(), childA);
        QCOMPARE(mapA->LoadedName(), QStringLiteral("plain.bmp"));
        QCOMPARE(mapAUi.coMap()->currentText(), QStringLiteral("plain.bmp"));
        QVERIFY(!mapAUi.coMap()->isEnabled());
        QVERIFY(!mapA->Calibrated());
        Click(mapAUi.OrvikMap1(), QPoint(30, 270));
        QCOMPARE(dialog->X1(), 30);
        QCOMPARE(dialog->Y1(), 270);
        dialogUi.rbPoint2()->click();
        Click(mapAUi.OrvikMap1(), QPoint(370, 20));
        QCOMPARE(dialog->X2(), 370);
        Leave(dialogUi.edLatitude1(), QStringLiteral("52.1"));
        Leave(dialogUi.edLongitude1(), QStringLiteral("4.1"));
        Leave(dialogUi.edLatitude2(), QStringLiteral("52.6"));
        Leave(dialogUi.edLongitude2(), QStringLiteral("4.9"));
        dialogUi.buOK()->click();
        QTRY_VERIFY(!dialog);
        QVERIFY(prompt.Boxes.empty());
        QVERIFY(QFile::exists(folder.Path + QStringLiteral("plain.bmp.inf")));
        QVERIFY(gridFile.open(QIODevice::ReadOnly));
        QCOMPARE(gridFile.readAll(), gridBefore);
        gridFile.close();
        QVERIFY(mapA->Calibrated());

        // Without a dialog the Part's activation holds: "Map" chosen, move mode.
        mapAUi.acSelect()->trigger();
        TMainFormTestAccess(window.Main).MdiArea()->activateNextSubWindow();
        TMainFormTestAccess(window.Main).MdiArea()->activateNextSubWindow();
        QCOMPARE(window.Main.ActiveChild(), childA);
        QCOMPARE(mapA->LoadedName(), QStringLiteral("grid.bmp"));
        QVERIFY(mapAUi.acSetMove()->isChecked());
    }

    void calibrationQuestionsEveryWay_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("calibrated");
        QTest::newRow("Yes") << IDYES << true;
        QTest::newRow("No") << IDNO << false;
        QTest::newRow("box closed") << IDCANCEL << false;
    }
    void calibrationQuestionsEveryWay()
    {
        QFETCH(int, answer);
        QFETCH(bool, calibrated);
        TMapsFolder folder;
        TScriptedPrompt prompt;
        TMapWindow window(QStringLiteral("plain.bmp"));
        TfmMapInternal& map = *window.Map;
        MapAccess(map).acCalibrate()->trigger();
        QPointer<TfmCalibrate> dialog = map.CalibrationDialog();
        const DialogAccess dialogUi(*dialog);
        // A click before a point is chosen only says so.
        Click(MapAccess(map).OrvikMap1(), QPoint(10, 10));
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes.back().Text, QStringLiteral("First select a Calibration Point in the \"Calibrate...\" dialog"));
        // Over the always-on-top dialog, not under it.
        QCOMPARE(prompt.Boxes.back().Owner, static_cast<QWidget*>(dialog.data()));
        QCOMPARE(dialog->X1(), 0);
        // Points sharing X are refused.
        dialog->SetX1(50);
        dialog->SetY1(200);
        dialog->SetX2(50);
        dialog->SetY2(20);
        Leave(dialogUi.edLatitude1(), QStringLiteral("52.1"));
        Leave(dialogUi.edLongitude1(), QStringLiteral("4.1"));
        Leave(dialogUi.edLatitude2(), QStringLiteral("52.6"));
        Leave(dialogUi.edLongitude2(), QStringLiteral("4.9"));
        dialogUi.buOK()->click();
        QCOMPARE(prompt.Boxes.size(), size_t(2));
        QVERIFY2(prompt.Boxes.back().Text.contains(QStringLiteral("same X")), qPrintable(prompt.Boxes.back().Text));
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!map.Calibrated());
        // Points a little apart ask first.
        dialog->SetX2(120);
        prompt.Answers = { answer };
        dialogUi.buOK()->click();
        QCOMPARE(prompt.Boxes.size(), size_t(3));
        QVERIFY(prompt.Boxes.back().Text.startsWith(QStringLiteral("The calibrations point are very close")));
        QCOMPARE(prompt.Boxes.back().Type & 0x0F, MB_YESNO);
        QCOMPARE(map.Calibrated(), calibrated);
        QCOMPARE(QFile::exists(folder.Path + QStringLiteral("plain.bmp.inf")), calibrated);
        if (calibrated)
            QTRY_VERIFY(!dialog);
        else
            QVERIFY(dialog && dialog->isVisible());
    }

    void calibrationDialogClosesEveryWayWithoutCalibrating_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("close box") << 2;
    }
    void calibrationDialogClosesEveryWayWithoutCalibrating()
    {
        QFETCH(int, way);
        TMapsFolder folder;
        TScriptedPrompt prompt;
        TMapWindow window(QStringLiteral("plain.bmp"));
        TfmMapInternal& map = *window.Map;
        const MapAccess mapUi(map);
        mapUi.acCalibrate()->trigger();
        QPointer<TfmCalibrate> dialog = map.CalibrationDialog();
        const int x2 = mapUi.OrvikMap1()->GetCal2X();
        dialog->SetX1(5);
        dialog->SetX2(395);
        dialog->SetY2(300);
        QVERIFY(!mapUi.coMap()->isEnabled());
        switch (way) {
        case 0: DialogAccess(*dialog).buCancel()->click(); break;
        case 1: QTest::keyClick(dialog, Qt::Key_Escape); break;
        default: dialog->close(); break;
        }
        QTRY_VERIFY(!dialog);
        QVERIFY(!map.CalibrationDialog());
        QVERIFY(mapUi.coMap()->isEnabled());
        QVERIFY(!map.Calibrated());
        QCOMPARE(mapUi.OrvikMap1()->GetCal2X(), x2);
        QVERIFY(!QFile::exists(folder.Path + QStringLiteral("plain.bmp.inf")));
        QVERIFY(prompt.Boxes.empty());
        // With the dialog gone clicks act in the mode again.
        mapUi.acZoomin()->trigger();
        QTest::mousePress(mapUi.OrvikMap1(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
        QVERIFY(QApplication::overrideCursor());
        QTest::mouseRelease(mapUi.OrvikMap1(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    }

    void customBackgroundColourIsChosenOrKept_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }
    void customBackgroundColourIsChosenOrKept()
    {
        QFETCH(bool, accept);
        TMapsFolder folder;
        TScriptedPrompt prompt;
        TMapWindow window;
        QCOMPARE(window.Map->BackColor(), InfColor::clTeal);
        MapAccess(*window.Map).acCalibrate()->trigger();
        QPointer<TfmCalibrate> dialog = window.Map->CalibrationDialog();
        const DialogAccess dialogUi(*dialog);
        QCOMPARE(dialog->Color(), InfColor::clTeal);
        QCOMPARE(dialogUi.ColorBox1()->currentText(), QStringLiteral("Teal"));
        TOnNextModal answer([accept](QDialog* modal) {
            auto* colors = qobject_cast<QColorDialog*>(modal);
            QVERIFY(colors);
            colors->setCurrentColor(QColor(0x12, 0x34, 0x56));
            if (accept)
                colors->accept();
            else
                colors->reject();
        });
        dialogUi.ColorBox1()->setCurrentIndex(0);
        emit dialogUi.ColorBox1()->activated(0);
        QVERIFY(answer.Ran);
        const TInfColor expected = accept ? TInfColor(0x563412) : InfColor::clTeal;
        QCOMPARE(dialog->Color(), expected);
        prompt.Answers = { IDYES };
        dialogUi.buOK()->click();
        QTRY_VERIFY(!dialog);
        QCOMPARE(window.Map->BackColor(), expected);
        const TCalibrationLoad load = LoadCalibration(folder.Path + QStringLiteral("grid.bmp"), PictureWidth, PictureHeight);
        QCOMPARE(load.State, TCalibrationState::Calibrated);
        QCOMPARE(load.Calibration.BackColor, expected);
    }

    void unwritableFolderIsAUserErrorAndTheCalibrationStays()
    {
        TMapsFolder folder;
        TScriptedPrompt prompt;
        TMapWindow window(QStringLiteral("plain.bmp"));
        // A folder where the side file should be: no file can take its place, not even for root.
        QVERIFY(QDir(folder.Path).mkdir(QStringLiteral("plain.bmp.inf.tmp")) || true);
        QVERIFY(QDir(folder.Path).mkdir(QStringLiteral("plain.bmp.inf")));
        MapAccess(*window.Map).acCalibrate()->trigger();
        QPointer<TfmCalibrate> dialog = window.Map->CalibrationDialog();
        const DialogAccess dialogUi(*dialog);
        dialog->SetX1(0);
        dialog->SetY1(300);
        dialog->SetX2(400);
        dialog->SetY2(0);
        Leave(dialogUi.edLatitude1(), QStringLiteral("52"));
        Leave(dialogUi.edLongitude1(), QStringLiteral("4"));
        Leave(dialogUi.edLatitude2(), QStringLiteral("53"));
        Leave(dialogUi.edLongitude2(), QStringLiteral("5"));
        dialogUi.buOK()->click();
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QVERIFY2(prompt.Boxes.back().Text.contains(QDir::toNativeSeparators(folder.Dir.path())),
            qPrintable(prompt.Boxes.back().Text));
        QVERIFY2(dialog && dialog->isVisible(), "the dialog stays for another try");
        QCOMPARE(MapAccess(*window.Map).OrvikMap1()->GetCal2Lat(), 53.0);
        QVERIFY(window.Map->Calibrated());
    }

    // The sample file's child maximised with the whole sample map in view at zoom 0.5: every POI
    // and the current one's mark drawn. On a real X server the picture is kept as map-window.png.
    void mapPicture()
    {
        const QString maps = QStringLiteral(TARVELL_SAMPLE_MAPS "/");
        if (!QFile::exists(maps + QStringLiteral("amsterdam.jpg")))
            QSKIP("the sample map is not built");
        SetMapsFolder(maps);
        TScriptedPrompt prompt;
        GetSettings().ChildrenMaximized = true;
        GetSettings().MapPanelWidth = 560;
        TdmMain data;
        TfmTarvellMainForm form(data);
        form.resize(1280, 900);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.OpenFile(nullptr, QStringLiteral(TARVELL_SAMPLES "/amsterdam.ov2"), false, QString());
        TMDIChild* child = form.ActiveChild();
        QVERIFY(child);
        QVERIFY(child->parentWidget()->isMaximized());
        auto* map = qobject_cast<TfmMapInternal*>(child->MapForm());
        QVERIFY(map);
        const MapAccess mapUi(*map);
        mapUi.coMap()->setCurrentIndex(mapUi.coMap()->findText(QStringLiteral("amsterdam.jpg")));
        emit mapUi.coMap()->activated(mapUi.coMap()->currentIndex());
        QVERIFY(map->Calibrated());
        mapUi.acZoomout()->trigger();
        QCOMPARE(mapUi.OrvikMap1()->GetZoom(), 0.5);
        form.Action(TAction::acEditSelectAll)->trigger();
        QCOMPARE(map->Entries().Count(), 12);
        QVERIFY(prompt.Boxes.empty());
        QApplication::processEvents();
        const QSize view = mapUi.MapBox()->viewport()->size();
        QVERIFY2(view.width() >= mapUi.OrvikMap1()->width() && view.height() >= mapUi.OrvikMap1()->height(),
            "the whole map is in view");
        QVERIFY(mapUi.imgPos()->isVisibleTo(map));

        // Each POI's place looks different with the POIs drawn than without them.
        mapUi.imgPos()->hide();
        const QImage drawn = mapUi.OrvikMap1()->grab().toImage();
        TEntries& shown = map->Entries();
        std::vector<QPoint> places;
        for (int i = 0; i < shown.Count(); ++i)
            places.emplace_back(
                mapUi.OrvikMap1()->LonToX(shown[i].GetLongitude()), mapUi.OrvikMap1()->LatToY(shown[i].GetLatitude()));
        const int current = map->CurrentIndex;
        TMDIChildTestAccess(*child).ListView1()->clearSelection();
        child->PushSelectionToMap();
        const QImage bare = mapUi.OrvikMap1()->grab().toImage();
        for (const QPoint& at : places) {
            QVERIFY2(mapUi.OrvikMap1()->rect().contains(at), "the POI lies on the map");
            QVERIFY2(drawn.pixel(at) != bare.pixel(at), qPrintable(QStringLiteral("no mark at %1,%2").arg(at.x()).arg(at.y())));
        }
        // The current POI's mark: its picture over the map at its place.
        form.Action(TAction::acEditSelectAll)->trigger();
        QCOMPARE(map->CurrentIndex, current);
        QVERIFY(mapUi.imgPos()->isVisibleTo(map));
        QCOMPARE(mapUi.imgPos()->pos(), places[size_t(current)] - QPoint(16, 16));
        const QImage mark = PositionMarkPicture();
        const QImage withMark = mapUi.OrvikMap1()->grab().toImage();
        const QPoint opaque = OpaqueMarkerPixel(mark);
        QVERIFY(opaque.x() >= 0);
        QCOMPARE(QColor(withMark.pixel(mapUi.imgPos()->pos() + opaque)), QColor(mark.pixel(opaque)));
        QVERIFY(SaveArtifactPicture(form.grab(), QStringLiteral("map-window.png")));
    }

    // Every action and tool-bar button of the map window shows a picture of ours.
    void everyPictureOfTheMapWindowIsDrawn()
    {
        TMapsFolder folder;
        TMapWindow window;
        QStringList faults;
        for (QAction* action : window.Map->findChildren<QAction*>()) {
            if (action->isSeparator() || action->objectName().isEmpty())
                continue;
            if (const QString fault = TestSupport::IconFault(action->icon()); !fault.isEmpty())
                faults << action->objectName() + QStringLiteral(": ") + fault;
        }
        const QList<QToolButton*> buttons = MapAccess(*window.Map).ToolBar1()->findChildren<QToolButton*>();
        QVERIFY(buttons.size() >= 7);
        for (QToolButton* button : buttons) {
            if (button->objectName().startsWith(QLatin1String("qt_")))
                continue; // the tool bar's own overflow button
            if (const QString fault = TestSupport::IconFault(button->icon()); !fault.isEmpty())
                faults << button->defaultAction()->objectName() + QStringLiteral(" button: ") + fault;
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    }

    // The map pane driven by keys and clicks. No action of the map window carries a shortcut (the
    // table below would list it); the keys it answers are the picture list's and the dialog's.
    void mapPaneKeysAndClicks()
    {
        TMapsFolder folder;
        TScriptedPrompt prompt;
        TChildWindow window({ { "Dam", 4.5, 52.4 }, { "Zuid", 4.6, 52.2 } });
        TfmMapInternal* map = window.Map();
        QVERIFY(map);
        const MapAccess mapUi(*map);
        const QStringList withShortcut = {};
        for (QAction* action : map->findChildren<QAction*>())
            QVERIFY2(action->shortcut().isEmpty() || withShortcut.contains(action->objectName()),
                qPrintable(action->objectName() + QStringLiteral(" has a shortcut the table does not press")));

        // The picture list: Down and Up choose the next and the previous picture.
        auto* list = map->findChild<QComboBox*>(QStringLiteral("coMap"));
        QVERIFY(list);
        list->setCurrentIndex(list->findText(QStringLiteral("grid.bmp")));
        emit list->activated(list->currentIndex());
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(map->LoadedName(), QStringLiteral("plain.bmp"));
        QCOMPARE(GetSettings().Map, 1);
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(map->LoadedName(), QStringLiteral("grid.bmp"));
        QVERIFY(map->Calibrated());

        // Tool-bar buttons by mouse.
        auto* toolBar = map->findChild<QToolBar*>(QStringLiteral("ToolBar1"));
        QVERIFY(toolBar);
        const auto button = [&](const char* action) {
            return toolBar->widgetForAction(map->findChild<QAction*>(QLatin1String(action)));
        };
        QTest::mouseClick(button("acZoomin"), Qt::LeftButton);
        QCOMPARE(mapUi.OrvikMap1()->GetZoom(), 2.0);
        QTest::mouseClick(button("acZoomout"), Qt::LeftButton);
        QCOMPARE(mapUi.OrvikMap1()->GetZoom(), 1.0);

        // Set position needs exactly one selected row: clicked rows decide.
        QAbstractItemView* rows = window.Child->findChild<QAbstractItemView*>(QStringLiteral("ListView1"));
        QVERIFY(rows);
        const auto rowCentre = [&](int row) { return rows->visualRect(rows->model()->index(row, 0)).center(); };
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(0));
        QCOMPARE(map->Entries().Count(), 1);
        QVERIFY(mapUi.acSetPos()->isEnabled());
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(1));
        QCOMPARE(map->Entries().Count(), 2);
        QVERIFY(!mapUi.acSetPos()->isEnabled());
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(1));
        QVERIFY(mapUi.acSetPos()->isEnabled());
        QTest::mouseClick(button("acSetPos"), Qt::LeftButton);
        QVERIFY(mapUi.acSetPos()->isChecked());
        Click(mapUi.OrvikMap1(), PixelOf(4.25, 52.5));
        QCOMPARE(window.Child->Entries()[1].GetLongitude(), 4.25);
        QCOMPARE(window.Child->Entries()[1].GetLatitude(), 52.5);
        QTest::mouseClick(button("acSelect"), Qt::LeftButton);
        QVERIFY(mapUi.acSelect()->isChecked());
        QTest::mouseClick(button("acSetMove"), Qt::LeftButton);
        QVERIFY(mapUi.acSetMove()->isChecked());

        // The calibration dialog: Escape leaves it uncalibrated, Enter presses OK.
        QTest::mouseClick(button("acCalibrate"), Qt::LeftButton);
        QPointer<TfmCalibrate> dialog = map->CalibrationDialog();
        QVERIFY(dialog);
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTRY_VERIFY(!dialog);
        QVERIFY(mapUi.coMap()->isEnabled());
        QTest::mouseClick(button("acCalibrate"), Qt::LeftButton);
        dialog = map->CalibrationDialog();
        QVERIFY(dialog);
        dialog->SetX1(10);
        QTest::keyClick(DialogAccess(*dialog).edX1(), Qt::Key_Return);
        QTRY_VERIFY(!dialog);
        QCOMPARE(mapUi.OrvikMap1()->GetCal1X(), 10);
        QVERIFY(prompt.Boxes.empty());
    }

    // After a zoom in the current POI's mark stays clear of the scroll bars that came with it.
    void markStaysClearOfTheScrollBarsAfterAZoom()
    {
        TMapsFolder folder;
        TMapWindow window;
        const MapAccess mapUi(*window.Map);
        window.Map->resize(420, 380);
        QApplication::processEvents();
        // Near the bottom-right corner of the picture.
        window.Source.Add("corner", "", 4.97, 52.02);
        window.ShowAll(0);
        QVERIFY(mapUi.imgPos()->isVisibleTo(window.Map.get()));
        for (int i = 0; i < 2; ++i) {
            mapUi.acZoomin()->trigger();
            QApplication::processEvents();
            const QWidget* view = mapUi.MapBox()->viewport();
            const QRect mark(mapUi.imgPos()->mapTo(view, QPoint(0, 0)), mapUi.imgPos()->size());
            QVERIFY2(view->rect().contains(mark),
                qPrintable(QStringLiteral("mark at %1,%2 outside the view %3 x %4")
                               .arg(mark.x()).arg(mark.y()).arg(view->width()).arg(view->height())));
        }
    }

    // Every text of the map window and the calibration dialog has the room it needs, in English
    // and in German (the language file beside the executable).
    void textsFitInEnglishAndGerman_data()
    {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << 9;
        QTest::newRow("German") << 1031;
    }
    void textsFitInEnglishAndGerman()
    {
        QFETCH(int, language);
        if (language != 9) {
            QLocUtils().AppFileName = QStringLiteral(TARVELL_EXE);
            QLocUtils().LibraryFolder = QFileInfo(QStringLiteral(TARVELL_EXE)).absolutePath();
            GetSettings().Language = language;
            SetStartupLanguage();
            QCOMPARE(QLocUtils().GetActiveLanguageInfo().LanguageId, language);
        }
        struct TRestore {
            ~TRestore()
            {
                QLocUtils().RestoreNativeLanguage();
                GetSettings().Language = 9;
            }
        } restore;
        TMapsFolder folder;
        TMapWindow window(QStringLiteral("plain.bmp"));
        MapAccess(*window.Map).acCalibrate()->trigger();
        QPointer<TfmCalibrate> dialog = window.Map->CalibrationDialog();
        QVERIFY(dialog);
        QApplication::processEvents();
        QStringList clipped;
        for (QWidget* top : { static_cast<QWidget*>(window.Map.get()), static_cast<QWidget*>(dialog.data()) })
            for (QWidget* widget : top->findChildren<QWidget*>()) {
                if (widget->window() != top || !widget->isVisibleTo(top) || widget->size().isEmpty())
                    continue;
                const auto* label = qobject_cast<QLabel*>(widget);
                const auto* button = qobject_cast<QAbstractButton*>(widget);
                if ((!label || label->text().isEmpty()) && (!button || button->text().isEmpty() || qobject_cast<const QToolButton*>(widget)))
                    continue;
                const QString text = label ? label->text() : button->text();
                // A button's own minimum width is the style's; its text needs its advance.
                const bool fits = label && label->wordWrap() ? widget->height() >= widget->heightForWidth(widget->width())
                    : button ? widget->width() >= widget->fontMetrics().horizontalAdvance(text) + 8
                            && widget->height() >= widget->fontMetrics().height()
                             : widget->width() >= widget->sizeHint().width() && widget->height() >= widget->sizeHint().height();
                if (!fits)
                    clipped << QStringLiteral("%1 \"%2\" %3 x %4, needs %5 x %6")
                                   .arg(widget->objectName(), text)
                                   .arg(widget->width()).arg(widget->height())
                                   .arg(widget->sizeHint().width()).arg(widget->sizeHint().height());
            }
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral("; "))));
        dialog->close();
    }

    // The map pane with every tool-bar picture drawn; on a real X server kept as map-pane.png.
    void mapPanePicture()
    {
        TMapsFolder folder;
        TChildWindow window({ { "Dam", 4.5, 52.4 } });
        TfmMapInternal* map = window.Map();
        QVERIFY(map);
        window.SelectRows({ 0 }, 0);
        QApplication::processEvents();
        for (QAction* action : MapAccess(*map).ToolBar1()->actions()) {
            QWidget* button = MapAccess(*map).ToolBar1()->widgetForAction(action);
            QVERIFY(button && button->isVisibleTo(map));
        }
        QVERIFY(SaveArtifactPicture(map->grab(), QStringLiteral("map-pane.png")));
    }

    void mapWindowGoingFirstClosesItsDialog()
    {
        TMapsFolder folder;
        auto window = std::make_unique<TMapWindow>();
        MapAccess(*window->Map).acCalibrate()->trigger();
        QPointer<TfmCalibrate> dialog = window->Map->CalibrationDialog();
        QVERIFY(dialog);
        window.reset();
        QVERIFY(!dialog);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TARVELL_QTEST_MAIN(TestMapInternal)
#include "tst_fMapInternal.moc"
