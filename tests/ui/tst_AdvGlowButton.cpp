// The glow button driven as a user drives it: mouse, keys, menus, actions, groups and dialogs.
#include "ui/AdvGlowButton.h"
#include "support/QtWarningGuard.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QtTest>

#include <stdexcept>

// Reads the button's behaviour state.
class TGlowButtonTestAccess {
public:
    static const TGlowButtonLogic& Logic(const TAdvCustomGlowButton& button) { return button.FLogic; }
};

namespace {

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void Press(QWidget* w, QPoint p) { SendMouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton); }
void Release(QWidget* w, QPoint p) { SendMouse(w, QEvent::MouseButtonRelease, p, Qt::NoButton); }
void Move(QWidget* w, QPoint p, Qt::MouseButtons held) { SendMouse(w, QEvent::MouseMove, p, held); }

// Closes the popup menu as soon as it shows.
void CloseMenuWhenShown(QMenu& menu, int& shown)
{
    QObject::connect(&menu, &QMenu::aboutToShow, &menu, [&menu, &shown] {
        ++shown;
        QTimer::singleShot(0, &menu, [&menu] { menu.close(); });
    });
}

// A dialog that lets Escape click its Cancel button, as the program's dialog base does.
class TCancelDialog : public QDialog {
protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier
            && TAdvCustomGlowButton::ClickCancelButton(this))
            return;
        QDialog::keyPressEvent(event);
    }
};

} // namespace

class TestAdvGlowButton : public QObject {
    Q_OBJECT
private slots:
    void oneClickPerClick()
    {
        QWidget window;
        TAdvGlowButton button(&window);
        int clicks = 0;
        button.OnClick = [&](TAdvCustomGlowButton*) { ++clicks; };
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        Press(&button, QPoint(50, 20));
        Release(&button, QPoint(50, 20));
        QCOMPARE(clicks, 1);
        // A double click: press, release, double-click press, release: two clicks, not three.
        SendMouse(&button, QEvent::MouseButtonPress, QPoint(50, 20), Qt::LeftButton);
        SendMouse(&button, QEvent::MouseButtonRelease, QPoint(50, 20), Qt::NoButton);
        SendMouse(&button, QEvent::MouseButtonDblClick, QPoint(50, 20), Qt::LeftButton);
        SendMouse(&button, QEvent::MouseButtonRelease, QPoint(50, 20), Qt::NoButton);
        QCOMPARE(clicks, 3);
        // A release one pixel below the button is outside.
        Press(&button, QPoint(50, 20));
        Move(&button, QPoint(50, 41), Qt::LeftButton);
        Release(&button, QPoint(50, 41));
        QCOMPARE(clicks, 3);
        // Out and back while held, then released inside: one click.
        Press(&button, QPoint(50, 20));
        Move(&button, QPoint(150, 20), Qt::LeftButton);
        QVERIFY(!TGlowButtonTestAccess::Logic(button).MouseEntered);
        Move(&button, QPoint(40, 20), Qt::LeftButton);
        QVERIFY(TGlowButtonTestAccess::Logic(button).Pressing);
        Release(&button, QPoint(40, 20));
        QCOMPARE(clicks, 4);
        // A disabled button does not click.
        button.setEnabled(false);
        Press(&button, QPoint(50, 20));
        Release(&button, QPoint(50, 20));
        QCOMPARE(clicks, 4);
    }

    void enterAndEscapeInADialog_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("focusCancel");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("expectedOk");
        QTest::addColumn<int>("expectedCancel");
        QTest::newRow("Enter in the edit: the default button") << int(Qt::Key_Return) << false << mrOk << 1 << 0;
        QTest::newRow("Escape: the Cancel button") << int(Qt::Key_Escape) << false << mrCancel << 0 << 1;
        QTest::newRow("Enter on the Cancel button: the focused one") << int(Qt::Key_Return) << true << mrCancel << 0 << 1;
        QTest::newRow("Space on the Cancel button") << int(Qt::Key_Space) << true << mrCancel << 0 << 1;
    }
    void enterAndEscapeInADialog()
    {
        QFETCH(int, key);
        QFETCH(bool, focusCancel);
        QFETCH(int, result);
        QFETCH(int, expectedOk);
        QFETCH(int, expectedCancel);
        TCancelDialog dialog;
        auto* edit = new QLineEdit(&dialog);
        auto* ok = new TAdvGlowButton(&dialog);
        auto* cancel = new TAdvGlowButton(&dialog);
        ok->move(0, 30);
        cancel->move(110, 30);
        ok->SetCaption(QStringLiteral("OK"));
        ok->SetDefault(true);
        ok->ModalResult = mrOk;
        cancel->SetCaption(QStringLiteral("Cancel"));
        cancel->Cancel = true;
        cancel->ModalResult = mrCancel;
        int okClicks = 0, cancelClicks = 0;
        ok->OnClick = [&](TAdvCustomGlowButton*) { ++okClicks; };
        cancel->OnClick = [&](TAdvCustomGlowButton*) { ++cancelClicks; };
        QTimer::singleShot(0, &dialog, [&] {
            QWidget* target = focusCancel ? static_cast<QWidget*>(cancel) : edit;
            target->setFocus();
            QTest::keyClick(target, Qt::Key(key));
        });
        QTimer::singleShot(3000, &dialog, &QDialog::reject);
        QCOMPARE(dialog.exec(), result);
        QCOMPARE(okClicks, expectedOk);
        QCOMPARE(cancelClicks, expectedCancel);
    }

    void keysOpenTheMenu()
    {
        QWidget window;
        TAdvGlowButton button(&window);
        QMenu menu;
        menu.addAction(QStringLiteral("Profile"));
        int shown = 0, dropDowns = 0, clicks = 0;
        CloseMenuWhenShown(menu, shown);
        button.SetDropDownButton(true);
        button.SetDropDownMenu(&menu);
        button.OnDropDown = [&](TAdvCustomGlowButton*) { ++dropDowns; };
        button.OnClick = [&](TAdvCustomGlowButton*) { ++clicks; };
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QTest::keyClick(&button, Qt::Key_F4);
        QCOMPARE(shown, 1);
        QCOMPARE(dropDowns, 1);
        // The drop-down part opens it; the face clicks.
        Press(&button, QPoint(95, 20));
        QCOMPARE(shown, 2);
        Release(&button, QPoint(95, 20));
        Press(&button, QPoint(50, 20));
        Release(&button, QPoint(50, 20));
        QCOMPARE(shown, 2);
        QCOMPARE(clicks, 1);
        QCOMPARE(dropDowns, 2);
        // Without a menu F4 does nothing.
        button.SetDropDownMenu(nullptr);
        QTest::keyClick(&button, Qt::Key_F4);
        QCOMPARE(dropDowns, 2);
    }

    void repeatClickWhileHeld()
    {
        QWidget window;
        TAdvGlowButton button(&window);
        button.RepeatClick = true;
        button.InitRepeatPause = 40;
        button.RepeatPause = 15;
        int clicks = 0;
        button.OnClick = [&](TAdvCustomGlowButton*) { ++clicks; };
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Press(&button, QPoint(50, 20));
        QTRY_VERIFY_WITH_TIMEOUT(clicks >= 3, 2000);
        Release(&button, QPoint(50, 20));
        const int afterRelease = clicks;
        QTest::qWait(100);
        QCOMPARE(clicks, afterRelease);

        // A click that throws stops the repeating and goes to the error display.
        int errors = 0;
        TAdvCustomGlowButton::SetClickErrorHandler([&](QWidget* source, std::exception_ptr) {
            QCOMPARE(source, &button);
            ++errors;
        });
        clicks = 0;
        button.OnClick = [&](TAdvCustomGlowButton*) {
            if (++clicks == 2)
                throw std::runtime_error("broken");
        };
        Press(&button, QPoint(50, 20));
        QTRY_COMPARE_WITH_TIMEOUT(errors, 1, 2000);
        QTest::qWait(100);
        QCOMPARE(clicks, 2);
        Release(&button, QPoint(50, 20));
        TAdvCustomGlowButton::SetClickErrorHandler(nullptr);
    }

    void actionLink()
    {
        TPngImageList images(QSize(16, 16));
        QWidget window;
        TAdvGlowButton button(&window);
        auto* action = new TImageAction(QStringLiteral("&Sites"), 3, &images, &window);
        action->setCheckable(true);
        int triggered = 0;
        connect(action, &QAction::triggered, &window, [&] { ++triggered; });
        button.SetStyle(TAdvButtonStyle::bsCheck);
        button.SetAction(action);
        QCOMPARE(button.Caption(), QStringLiteral("&Sites"));
        QCOMPARE(button.ImageIndex(), 3);
        action->setText(QStringLiteral("All Items"));
        action->SetImageIndex(5);
        QCOMPARE(button.Caption(), QStringLiteral("All Items"));
        QCOMPARE(button.ImageIndex(), 5);
        action->setChecked(true);
        QVERIFY(button.Down());
        action->setEnabled(false);
        QVERIFY(!button.isEnabled());
        action->setEnabled(true);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        button.Click();
        QCOMPARE(triggered, 1);
        QVERIFY(!action->isChecked());
        QVERIFY(!button.Down());
        delete action;
        QCOMPARE(button.Action(), nullptr);
        button.Click();
        QCOMPARE(triggered, 1);
    }

    void groupedButtonsReleaseEachOther()
    {
        QWidget window;
        TAdvGlowButton a(&window), b(&window), elsewhere(&window);
        b.move(0, 50);
        elsewhere.move(0, 100);
        a.SetGroupIndex(1);
        b.SetGroupIndex(1);
        elsewhere.SetGroupIndex(2);
        elsewhere.SetDown(true);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Press(&a, QPoint(10, 10));
        Release(&a, QPoint(10, 10));
        QVERIFY(a.Down());
        b.SetAllowAllUp(true);
        QVERIFY(a.AllowAllUp());
        Press(&b, QPoint(10, 10));
        Release(&b, QPoint(10, 10));
        QVERIFY(b.Down());
        QVERIFY(!a.Down());
        QVERIFY(elsewhere.Down());
    }

    void fadesRunOnTheirTimer()
    {
        QWidget window;
        TAdvGlowButton button(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), button.mapToGlobal(QPointF(10, 10)));
        QApplication::sendEvent(&button, &enter);
        const TGlowButtonLogic& logic = TGlowButtonTestAccess::Logic(button);
        QVERIFY(logic.FadeTimerRunning);
        QTRY_VERIFY_WITH_TIMEOUT(!logic.FadeTimerRunning, 2000);
        QCOMPARE(logic.HotFade, 100);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&button, &leave);
        QTRY_VERIFY_WITH_TIMEOUT(!logic.FadeTimerRunning, 2000);
        QCOMPARE(logic.HotFade, 0);
    }

    void autoSizeResizesOutsideThePaint()
    {
        QWidget window;
        TAdvGlowButton button(&window);
        button.SetAutoSize(true);
        button.SetCaption(QStringLiteral("AutoUpdate now"));
        const QSize measured = button.size();
        QVERIFY(measured.width() > 30 && measured.width() != 100);
        button.SetCaption(QStringLiteral("AutoUpdate now, and more"));
        QVERIFY(button.width() > measured.width());
        const QSize before = button.size();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        button.grab();
        QCOMPARE(button.size(), before);
        // Smaller size states force a 16 x 16 image; the glyph state drops the caption.
        button.SetMaxButtonSizeState(TButtonSizeState::bsGlyph);
        QVERIFY(button.width() < before.width());
        QCOMPARE(button.ButtonSizeState(), TButtonSizeState::bsGlyph);
    }

    void listsThatGoAreForgottenSilently()
    {
        QWidget window;
        TAdvGlowButton button(&window);
        auto* hot = new TPngImageList(QSize(16, 16));
        hot->Add(QPixmap(16, 16));
        button.SetHotImages(hot);
        QMenu* menu = new QMenu;
        button.SetDropDownMenu(menu);
        delete hot;
        delete menu;
        QCOMPARE(button.HotImages(), nullptr);
        QCOMPARE(button.DropDownMenu(), nullptr);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(QApplication::topLevelWidgets().size() >= 1);
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!w->inherits("QMessageBox"));
        button.grab();
    }

    void assignCopiesTheLook()
    {
        TAdvGlowButton source, copy;
        source.SetCaption(QStringLiteral("Sites"));
        source.ApplyStylePreset(3);
        source.SetRounded(false);
        source.Transparent = true;
        source.SetDropDownButton(true);
        source.ModalResult = mrOk;
        copy.Assign(&source);
        QCOMPARE(copy.Caption(), QStringLiteral("Sites"));
        QVERIFY(copy.Appearance() == source.Appearance());
        QVERIFY(!copy.Rounded());
        QVERIFY(copy.Transparent);
        QVERIFY(copy.DropDownButton());
        QCOMPARE(copy.ModalResult, mrOk);
        QCOMPARE(copy.Version(), QStringLiteral("1.8.1.0"));
    }
};

TARVELL_QTEST_MAIN(TestAdvGlowButton)
#include "tst_AdvGlowButton.moc"
