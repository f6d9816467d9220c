// What a POI file's window needs of the window that holds it, and nothing more: the child then
// builds and tests without the main window (tests/app/windows/tst_fMDIChildHost.cpp holds it on a
// small host of its own).
#pragma once

class QRect;
class QString;
class QWidget;
class TdmMain;
class TMDIChild;

class TChildHost {
public:
    // The data module, which outlives every child.
    virtual TdmMain& Data() const = 0;
    // Status bar panels: 1 coordinates, 2 count, 3 change mark.
    virtual void SetStatusText(int panel, const QString& text) = 0;
    // The child the status bar and the commands follow.
    virtual bool IsActiveChild(const TMDIChild* child) const = 0;
    // A plug-in arranged the host beside its window: the host takes bounds (screen pixels) ...
    virtual void TakeStrip(const QRect& bounds) = 0;
    // ... and gets its own bounds back when the plug-in's window closes.
    virtual void ReapplyBounds() = 0;
    // The window the child's progress windows centre on; it also tells whether the host lives.
    virtual QWidget* HostWindow() = 0;

protected:
    ~TChildHost() = default;
};
