#pragma once

// The questions the preview window asks through dialogs of its own: a page number, a file to
// save to (with its type) and a file to open. The window takes them through this interface so
// that tests answer from a script; QtPreviewDialogs shows the real dialogs.

#include <QString>

#include <optional>

class QCheckBox;
class QFileDialog;
class QWidget;

namespace zr::textreport::ui {

// What a file dialog is set up with. The filter is written "caption|patterns|caption|patterns"
// (patterns separated by ';'); filterIndex counts its entries from 1.
struct FileRequest {
    QString title;
    QString filter;
    QString directory;
    QString fileName;      // proposed name (save) or empty
    QString defaultSuffix; // added to a typed name without one (open), without its dot
    int filterIndex = 1;
    // A PDF save: the dialog also offers the archival (PDF/A-2a) choice, set up as `archival`.
    bool archivalChoice = false;
    bool archival = false;
};

// The user's answer to a save dialog: the name typed or picked, and the file type chosen.
struct FileChoice {
    QString fileName;
    int filterIndex = 1;
    bool archival = false; // the archival box, when the request offered it
    bool operator==(const FileChoice&) const = default;
};

class PreviewDialogs {
public:
    virtual ~PreviewDialogs() = default;
    // An input box with a caption, a prompt and an empty edit; nullopt when cancelled.
    virtual std::optional<QString> inputText(const QString& caption, const QString& prompt) = 0;
    // A save dialog; nullopt when cancelled.
    virtual std::optional<FileChoice> saveFile(const FileRequest& request) = 0;
    // An open dialog for an existing file; nullopt when cancelled.
    virtual std::optional<QString> openFile(const FileRequest& request) = 0;
};

// The dialogs on screen, modal to `owner`. The two file dialogs are made on first use as
// children of the owner, named SaveDialog1 and OpenDialog1; they use Qt's own dialog so that the
// file-type captions show exactly as written. A PDF save shows the check box PdfACB below the
// file type. In the save dialog the type box follows a typed extension of one of its types
// (in any case), and the answer's filterIndex is the type the box shows. `owner` must outlive
// this object.
class QtPreviewDialogs final : public PreviewDialogs {
public:
    explicit QtPreviewDialogs(QWidget& owner);

    std::optional<QString> inputText(const QString& caption, const QString& prompt) override;
    std::optional<FileChoice> saveFile(const FileRequest& request) override;
    std::optional<QString> openFile(const FileRequest& request) override;

private:
    QWidget& m_owner;
    QFileDialog* m_save = nullptr;
    QFileDialog* m_open = nullptr;
    QCheckBox* m_archival = nullptr; // in the save dialog, shown for PDF saves
    QString m_saveFilter;            // the filter of the save dialog's current request
};

} // namespace zr::textreport::ui
