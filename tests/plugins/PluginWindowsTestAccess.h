// Test-only access to the widgets of the plug-in parameter dialog, which keeps them private.
#pragma once

#include "plugins/windows/fPlugin.h"

class TfmPluginTestAccess {
public:
    explicit TfmPluginTestAccess(const TfmPlugin& form) : F(form) {}
    explicit TfmPluginTestAccess(const TfmPlugin* form) : F(*form) {}
    QScrollArea* ScrollBox1() const { return F.ScrollBox1; }
    QPushButton* buOk() const { return F.buOk; }
    QPushButton* buCancel() const { return F.buCancel; }

private:
    const TfmPlugin& F;
};
