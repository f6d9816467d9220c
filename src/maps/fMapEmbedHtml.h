// The HTML map window: hands the shown POIs to an HTML-embed plug-in and shows the page it makes in
// an embedded browser, with zoom buttons when the plug-in has a zoom level.
#pragma once

#include "maps/uMapForm.h"

#include <QCoreApplication>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QToolBar;
class TPluginHtmlEmbed;

// What the window needs of a browser: a widget, and loading a local page again even when its
// address stays the same.
class THtmlMapView {
public:
    virtual ~THtmlMapView() = default;
    virtual QWidget* Widget() = 0;
    virtual void Load(const QUrl& url) = 0;
};

using THtmlMapViewFactory = std::function<std::unique_ptr<THtmlMapView>(QWidget* parent)>;
// Installs the factory every new window takes its browser from (tests install a fake); an empty
// one restores the embedded web engine.
void SetHtmlMapViewFactory(THtmlMapViewFactory factory);

// File name of the page, in the process's private temporary folder.
inline constexpr const char* HtmlMapPageName = "tvhtmlem.html";

class TfmMapEmbedHtml : public TMapForm {
    Q_OBJECT
public:
    explicit TfmMapEmbedHtml(TEntries& source, QWidget* owner = nullptr);
    ~TfmMapEmbedHtml() override;

    // Remembers the plug-in (not owned); the tool bar is shown when it has a zoom-level
    // parameter (type 3), whose value the label shows.
    void SetMapPlugin(TPluginHtmlEmbed* plugin);
    TPluginHtmlEmbed* MapPlugin() const { return FPlugin; }

    // Passes up to GetMaxPois entries (the current one first) and shows the page; an empty page
    // keeps the previous one. Throws EUserError when the plug-in fails or the page cannot be written.
    void ShowEntries() override;
    void ShowCurrentEntry() override { ShowEntries(); }

    // Step the zoom level by one within its limits; the page follows with the next ShowEntries.
    // A value or limit that is not a number is EUserError, and nothing changes.
    void acZoomInExecute();
    void acZoomOutExecute();

    // The page file: <private temporary folder>/tvhtmlem.html.
    static QString PageFileName();

protected:
    void Retranslate() override;

private:
    friend class TfmMapEmbedHtmlTestAccess;

    void Zoom(int step);

    QToolBar* ToolBar1 = nullptr;
    QAction* acZoomIn = nullptr;
    QAction* acZoomOut = nullptr;
    QLabel* laZoomLevel = nullptr;
    THtmlMapView* WebBrowser1 = nullptr;

    TPluginHtmlEmbed* FPlugin = nullptr;
    // The parameter the zoom buttons step: the first of type 3; -1 = none.
    int FZoomParam = -1;
    std::unique_ptr<THtmlMapView> FView;
};
