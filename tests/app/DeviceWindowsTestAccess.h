// Test-only access to the widgets of the device file browser, which keeps them private.
#pragma once

#include "app/windows/fMobileBrowser.h"

class TfmMobileBrowserTestAccess {
public:
    explicit TfmMobileBrowserTestAccess(const TfmMobileBrowser& form) : F(form) {}
    explicit TfmMobileBrowserTestAccess(const TfmMobileBrowser* form) : F(*form) {}
    QListWidget* lvPlaces() const { return F.lvPlaces; }
    QLineEdit* edDir() const { return F.edDir; }
    QTreeWidget* ListView1() const { return F.ListView1; }
    QLineEdit* Edit1() const { return F.Edit1; }
    QComboBox* coFilter() const { return F.coFilter; }
    QCheckBox* cbExtra() const { return F.cbExtra; }
    QPushButton* buOpen() const { return F.buOpen; }
    QAction* actDirUp() const { return F.actDirUp; }
    QAction* actRefresh() const { return F.actRefresh; }
    QAction* acOpen() const { return F.acOpen; }
    QAction* acDelete() const { return F.acDelete; }

private:
    const TfmMobileBrowser& F;
};
