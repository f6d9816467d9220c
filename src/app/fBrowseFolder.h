// The local folder picker ("Select target folder..."): the shell folder tree and the target file
// type.
#pragma once

#include "app/uTarvellForm.h"
#include "ui/uShellNamespace.h"

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TQuorShellTreeView;

// The caller reads and sets ShellTreeView's Directory and reads coFileType.
class TfmBrowseFolder : public TTarvellModalForm {
    Q_OBJECT
public:
    // shell: the namespace the tree shows; none takes the local file system's. A namespace that is
    // not there raises "Couldn't find folder".
    explicit TfmBrowseFolder(QWidget* owner = nullptr, std::unique_ptr<TShellNamespace> shell = {});

    QLabel* laInfo = nullptr;
    TQuorShellTreeView* ShellTreeView = nullptr;
    QLineEdit* edPath = nullptr;
    QLabel* laFileType = nullptr;
    QComboBox* coFileType = nullptr;
    QPushButton* buOK = nullptr;
    QPushButton* buCancel = nullptr;

private:
    void Retranslate() override;
    void SelectionChanged();
};
