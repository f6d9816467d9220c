// The entry of every QtTest program: the test object runs under a message handler that fails
// the running test on a Qt warning that means a broken window (a key nobody gets, a connection
// that never fires, a layout or painter used wrongly). Such warnings otherwise only scroll by.
//
// Use TARVELL_QTEST_MAIN / TARVELL_QTEST_GUILESS_MAIN instead of Qt's QTEST_MAIN macros.
#pragma once

#include <QtTest/qtest.h>

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>
#include <QThread>

#include <cstdio>
#include <iterator>

namespace TestSupport {

// Qt's own texts (matched as substrings) of the warnings that fail a test.
inline constexpr const char* BrokenWindowWarnings[] = {
    "Ambiguous shortcut overload",
    "QObject::connect: No such signal",
    "QObject::connect: No such slot",
    "QObject::connect: Cannot connect",
    "QObject::connect: Parentheses expected",
    "QObject::connect: signal not found",
    "QMetaObject::connectSlotsByName: No matching signal",
    "QLayout: Attempting to add QLayout",
    "QLayout::addChildLayout",
    "QLayout::addChildWidget",
    "QWidget::setLayout: Attempting to set QLayout",
    "QWidget::repaint: Recursive repaint",
    "QPainter::begin",
    "QPainter::end: Painter not active",
    "Painter not active",
    "QWidget::paintEngine: Should no longer be called",
    "QWidget::setTabOrder: 'first' and 'second' must be in the same window",
};

// Qt's own connections of its platform plug-ins that the offscreen and X11 plug-ins lack: no
// window of ours is broken by them.
inline constexpr const char* PlatformNoise[] = {
    "QPlatformNativeInterface::systemTrayWindowChanged",
};

inline bool IsBrokenWindowWarning(QtMsgType type, const QString& message)
{
    if (type != QtWarningMsg && type != QtCriticalMsg)
        return false;
    for (const char* text : PlatformNoise)
        if (message.contains(QLatin1String(text)))
            return false;
    for (const char* text : BrokenWindowWarnings)
        if (message.contains(QLatin1String(text)))
            return true;
    return false;
}

struct TWarningGuardState {
    QtMessageHandler Previous = nullptr;
    QMutex Lock;
    // Broken-window warnings no test function could be failed for (another thread, between
    // test functions): they fail the program at its end.
    QStringList Unreported;
    // Every broken-window warning seen, for tests of the guard itself.
    QStringList Seen;
};

inline TWarningGuardState& WarningGuard()
{
    static TWarningGuardState state;
    return state;
}

inline void BrokenWindowMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    TWarningGuardState& guard = WarningGuard();
    if (guard.Previous)
        guard.Previous(type, context, message);
    if (!IsBrokenWindowWarning(type, message))
        return;
    const bool inTest = QTest::currentTestFunction() && QCoreApplication::instance()
        && QThread::currentThread() == QCoreApplication::instance()->thread();
    {
        QMutexLocker lock(&guard.Lock);
        guard.Seen.append(message);
        if (!inTest) {
            guard.Unreported.append(message);
            return;
        }
    }
    QTest::qFail(qPrintable(QStringLiteral("Qt warning of a broken window: ") + message), context.file ? context.file : __FILE__,
        context.file ? context.line : __LINE__);
}

// QTest::qExec with the handler on top of the test logger's own for the whole run.
inline int RunGuardedTests(QObject* testObject, int argc, char** argv)
{
    QTest::qInit(testObject, argc, argv);
    TWarningGuardState& guard = WarningGuard();
    guard.Previous = qInstallMessageHandler(BrokenWindowMessageHandler);
    int result = QTest::qRun();
    qInstallMessageHandler(guard.Previous);
    guard.Previous = nullptr;
    QTest::qCleanup();
    QMutexLocker lock(&guard.Lock);
    for (const QString& message : std::as_const(guard.Unreported))
        std::fprintf(stderr, "FAIL: Qt warning of a broken window outside a test function: %s\n", qPrintable(message));
    if (!guard.Unreported.isEmpty() && result == 0)
        result = 1;
    return result;
}

} // namespace TestSupport

#define TARVELL_QTEST_MAIN_WITH(TestObject, ApplicationClass)                                           \
    int main(int argc, char* argv[])                                                                     \
    {                                                                                                    \
        QT_PREPEND_NAMESPACE(QTest::Internal::callInitMain)<TestObject>();                               \
        ApplicationClass app(argc, argv);                                                                \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                         \
        TestObject tc;                                                                                   \
        QTEST_SET_MAIN_SOURCE_PATH                                                                       \
        return TestSupport::RunGuardedTests(&tc, argc, argv);                                            \
    }

#if defined(QT_WIDGETS_LIB)
#include <QApplication>
#define TARVELL_QTEST_MAIN(TestObject) TARVELL_QTEST_MAIN_WITH(TestObject, QApplication)
#else
#include <QGuiApplication>
#define TARVELL_QTEST_MAIN(TestObject) TARVELL_QTEST_MAIN_WITH(TestObject, QGuiApplication)
#endif
#define TARVELL_QTEST_GUILESS_MAIN(TestObject) TARVELL_QTEST_MAIN_WITH(TestObject, QCoreApplication)
