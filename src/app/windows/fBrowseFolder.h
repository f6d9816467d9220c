// The local folder picker ("Select target folder..."): the shell folder tree and the target file
// type.
#pragma once

#include "app/windows/uFolderPickerForm.h"
#include "ui/uShellNamespace.h"

#include <memory>

class TQuorShellTreeView;

// The caller sets and reads the tree's directory and the file type.
class TfmBrowseFolder : public TFolderPickerForm {
    Q_OBJECT
public:
    // shell: the namespace the tree shows; none takes the local file system's. A namespace that is
    // not there raises "Couldn't find folder".
    explicit TfmBrowseFolder(QWidget* owner = nullptr, std::unique_ptr<TShellNamespace> shell = {});

    QString Directory() const;
    void SetDirectory(const QString& directory);

private:
    friend class TfmBrowseFolderTestAccess;

    TQuorShellTreeView* ShellTreeView = nullptr;
    QPushButton* buOK = nullptr;

    void Retranslate() override;
    void SelectionChanged();
};
