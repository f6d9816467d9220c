// The local folder picker ("Select target folder..."): the shell folder tree and the target file
// type.
#pragma once

#include "app/windows/uFolderPickerForm.h"
#include "ui/uShellNamespace.h"

#include <memory>

class TQuorShellTreeView;

// The caller reads and sets ShellTreeView's Directory and reads coFileType.
class TfmBrowseFolder : public TFolderPickerForm {
    Q_OBJECT
public:
    // shell: the namespace the tree shows; none takes the local file system's. A namespace that is
    // not there raises "Couldn't find folder".
    explicit TfmBrowseFolder(QWidget* owner = nullptr, std::unique_ptr<TShellNamespace> shell = {});

    TQuorShellTreeView* ShellTreeView = nullptr;
    QPushButton* buOK = nullptr;

private:
    void Retranslate() override;
    void SelectionChanged();
};
