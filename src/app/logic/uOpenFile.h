// The one open routine every road into the editor ends in (open, append, recent files, drops,
// forwarded and command-line paths), with its format choice, the retry with another reader and
// the recent-files and default-format lists. The windows it needs come through a host.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TChildDocument;
class TEntries;
class TMemoryStream;

// What the open routine asks of the main window.
class TOpenHost {
public:
    virtual ~TOpenHost() = default;
    // A new child window's document; it is shown when the open succeeds.
    virtual TChildDocument* NewChildDocument() = 0;
    // Closes a child window this open created and could not fill.
    virtual void DiscardChild(TChildDocument* child) = 0;
    // The picture lying beside the file, as bytes; an unreadable picture keeps the standard icon.
    virtual void SetChildIcon(TChildDocument* child, const std::string& bitmap) = 0;
    // The child window has its entries (refresh, show).
    virtual void ChildLoaded(TChildDocument* child) = 0;
    // The progress window of one parse: shown by Begin, its callback returned; End frees it.
    virtual std::function<void(int)> BeginProgress() = 0;
    virtual void EndProgress() = 0;
    // The choose-format dialog over the readers of extension (the path's): false on Cancel.
    virtual bool ChooseFormat(const QString& path, const QString& extension, const QString& triedFormat,
        const QString& error, QString& picked, bool& useAsDefault) = 0;
};

class TOpenFile {
    Q_DECLARE_TR_FUNCTIONS(fMain)
public:
    // Reads path (local, or "MOBILE://" on the device), parses it and fills child (appending) or a
    // new child window. A local path is made absolute and cleaned first (AbsoluteLocation): the
    // child and the recent files keep that name. When the reader fails and another reader handles the extension, the user
    // may pick one and the open is tried again. Other failures raise to the caller. False when the
    // user cancelled the choice and nothing was opened.
    static bool Open(TOpenHost& host, const QString& path, TChildDocument* child, bool append, QString formatID);

    // The format the routine reads with: formatID, else the extension's remembered default when
    // a reader for the extension (with its dot, lower case) has that format ID.
    static QString ResolveFormat(const QString& extension, const QString& formatID);
    // The whole file into stream: a device file through the device layer, else the local file.
    static void ReadLocation(const QString& path, TMemoryStream& stream);
    // Remembers format for the extension (stored in lower case), replacing an older line.
    static void StoreDefaultFormat(QStringList& defaultFormats, const QString& extension, const QString& format);

    // The importer rows of extension (with its dot), in registry order.
    static std::vector<int> ReaderRows(const QString& extension);
    // The index among rows preselected for a retry after triedFormat failed.
    static int PreselectedReader(const std::vector<int>& rows, const QString& triedFormat);

    // The picture beside a local file, for the window icon: none when it is not a regular file,
    // is over 4 MB, or its bitmap header says more than 1024 pixels wide or high. Read only that far.
    static std::optional<std::string> LoadSidePicture(const QString& fileName);
    // Whether the bitmap header at the start of bytes allows 1024 x 1024 pixels; bytes that are
    // no bitmap are not judged here (the icon loader refuses them).
    static bool SidePictureHeaderFits(std::string_view bytes);

    // The caption of recent-file entry k for location.
    static QString MruCaption(int k, const QString& location);
    // The importer format of an open-dialog filter index (1 = "All supported filetypes").
    static QString FormatAtFilterIndex(int filterIndex);

private:
    // Open's work; the format that read the file (empty: the extension's reader), none when the
    // user cancelled.
    static std::optional<QString> OpenWith(
        TOpenHost& host, const QString& path, TChildDocument* child, bool append, QString formatID);
};
