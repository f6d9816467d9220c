// The base of every map window a child window docks in its map pane: the POIs it shows, the
// current one, and the events it reports back to the child.
#pragma once

#include "app/windowbase/uTarvellForm.h"

#include <QPoint>
#include <QString>

#include <functional>
#include <memory>

class QIcon;
class TEntries;

// A picture of the map windows, drawn for them (":/tarvell/maps/<name>.svg").
QIcon MapPicture(const char* name);

// What a tool tip is about to show: the control under the mouse and the mouse position in it.
struct TMapHintInfo {
    QWidget* HintControl = nullptr;
    QPoint CursorPos;
    // How long (ms) the tip waits before it is built again for a new position; -1 = never.
    int ReshowTimeout = -1;
};

class TMapForm : public TTarvellForm {
    Q_OBJECT
public:
    // source: the child's list, whose entries Entries() shows; it outlives the window.
    explicit TMapForm(TEntries& source, QWidget* owner = nullptr);
    ~TMapForm() override;

    // The POIs shown: a view over the child's list, owned by the window. The child refills it and
    // calls ShowEntries.
    TEntries& Entries() const { return *FEntries; }
    // Index in Entries of the current entry; -1 = none.
    int CurrentIndex = -1;

    // The user picked a position (degrees) for the current entry.
    std::function<void(double lat, double lon)> OnSetPosition;
    // The mouse moved over the map: map pixels at the current zoom and their position.
    std::function<void(int x, int y, double lat, double lon)> OnMouseCoords;
    // The user chose entries on the map (the window's own Entries view).
    std::function<void(TEntries& entries)> OnSelectEntries;

    // Shows every entry of Entries and the current one.
    virtual void ShowEntries() = 0;
    // Shows or centres the current entry.
    virtual void ShowCurrentEntry() = 0;
    // Builds the tool tip for the mouse position; the base leaves it untouched.
    virtual void MapShowHint(QString& hintStr, bool& canShow, TMapHintInfo& hintInfo);

    // Run by the child when the window is docked and each time the child is activated, and once
    // before the child frees the window.
    virtual void FormActivate() { }
    virtual void FormDeactivate() { }

private:
    std::unique_ptr<TEntries> FEntries;
};
