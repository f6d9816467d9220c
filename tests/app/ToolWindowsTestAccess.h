// Test-only access to the widgets of the tools' windows, which keep them private.
#pragma once

#include "app/windows/fBatchConvert.h"
#include "app/windows/fFindDups.h"
#include "app/windows/fPluginSettings.h"

class TfmBatchConvertTestAccess {
public:
    explicit TfmBatchConvertTestAccess(const TfmBatchConvert& form) : F(form) {}
    explicit TfmBatchConvertTestAccess(const TfmBatchConvert* form) : F(*form) {}
    QComboBox* coSource() const { return F.coSource; }
    QLineEdit* edSource() const { return F.edSource; }
    QRadioButton* rbSourceAll() const { return F.rbSourceAll; }
    QRadioButton* rbSourceSelected() const { return F.rbSourceSelected; }
    QListWidget* lvSource() const { return F.lvSource; }
    QComboBox* coDest() const { return F.coDest; }
    QListWidget* lbDestFormats() const { return F.lbDestFormats; }
    QRadioButton* rbDestAppend() const { return F.rbDestAppend; }
    QStackedWidget* Notebook1() const { return F.Notebook1; }
    QLineEdit* edDest() const { return F.edDest; }
    QListWidget* lvDest() const { return F.lvDest; }
    QLineEdit* edDestFile() const { return F.edDestFile; }
    QToolButton* buDestFileBrowse() const { return F.buDestFileBrowse; }
    QCheckBox* cbOpen() const { return F.cbOpen; }
    QPushButton* buConvert() const { return F.buConvert; }

private:
    const TfmBatchConvert& F;
};

class TfmFindDupsTestAccess {
public:
    explicit TfmFindDupsTestAccess(const TfmFindDups& form) : F(form) {}
    explicit TfmFindDupsTestAccess(const TfmFindDups* form) : F(*form) {}
    QLineEdit* edTolerance() const { return F.edTolerance; }
    QTreeView* TreeView1() const { return F.TreeView1; }
    QAction* acFind() const { return F.acFind; }
    QAction* acCut() const { return F.acCut; }
    QAction* acCopy() const { return F.acCopy; }
    QAction* acDelete() const { return F.acDelete; }

private:
    const TfmFindDups& F;
};

class TfmPluginSettingsTestAccess {
public:
    explicit TfmPluginSettingsTestAccess(const TfmPluginSettings& form) : F(form) {}
    explicit TfmPluginSettingsTestAccess(const TfmPluginSettings* form) : F(*form) {}
    QTabWidget* PageControl1() const { return F.PageControl1; }
    QComboBox* coVersion() const { return F.coVersion; }
    QRadioButton* rbPrecision5() const { return F.rbPrecision5; }
    QRadioButton* rbPrecision6() const { return F.rbPrecision6; }
    QCheckBox* cbShowStartupScreen() const { return F.cbShowStartupScreen; }
    QTreeWidget* ListView1() const { return F.ListView1; }
    QCheckBox* cbAutoArrange() const { return F.cbAutoArrange; }
    QPushButton* buSettings() const { return F.buSettings; }
    QPushButton* buSetDefault() const { return F.buSetDefault; }
    QTreeWidget* lvImport() const { return F.lvImport; }
    QTreeWidget* lvExport() const { return F.lvExport; }
    QPushButton* Button1() const { return F.Button1; }

private:
    const TfmPluginSettings& F;
};
