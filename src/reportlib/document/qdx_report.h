#pragma once

// The report object: its prepared pages, its four option sets and its error list.

#include "reportlib/document/qdx_components.h"
#include "reportlib/document/qdx_preview_pages.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace zr {
class Interaction;
}

namespace zr::reportlib {

enum TqdxSilentMode { simMessageBoxes, simSilent, simReThrow };
enum TqdxZoomMode { zmDefault, zmWholePage, zmPageWidth, zmManyPages };
enum TqdxPrintMode { pmDefault, pmSplit, pmJoin, pmScale };
enum TqdxPrintPages { ppAll, ppOdd, ppEven };
enum TqdxPreviewButton {
    pbPrint = 1 << 0,
    pbLoad = 1 << 1,
    pbSave = 1 << 2,
    pbExport = 1 << 3,
    pbZoom = 1 << 4,
    pbFind = 1 << 5,
    pbOutline = 1 << 6,
    pbPageSetup = 1 << 7,
    pbTools = 1 << 8,
    pbEdit = 1 << 9,
    pbNavigator = 1 << 10,
    pbExportQuick = 1 << 11,
    pbNoClose = 1 << 12,
    pbNoFullScreen = 1 << 13,
    pbNoEmail = 1 << 14
};

class TqdxEngineOptions : public TqdxPersistent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    bool ConvertNulls = true;
    bool DoublePass = false;
    int MaxMemSize = 10;
    bool PrintIfEmpty = true;
    int NewSilentMode = simMessageBoxes;
    bool SilentMode() const { return NewSilentMode == simSilent; }
    void SetSilentMode(bool v) { NewSilentMode = v ? simSilent : simMessageBoxes; }
    QByteArray TempDir;
    bool UseFileCache = false;
    bool IgnoreDevByZero = false;
    bool ThreadSafeMode = false;
};

class TqdxPreviewOptions : public TqdxPersistent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    bool AllowEdit = true;
    int Buttons = (1 << 12) - 1;
    bool DoubleBuffered = true, Maximized = true, MDIChild = false, Modal = true,
         OutlineExpand = true, OutlineVisible = false;
    int OutlineWidth = 120;
    int PagesInCache = 50;
    bool ThumbnailVisible = false, ShowCaptions = false;
    double Zoom = 1.0;
    int ZoomMode = zmDefault;
    bool PictureCacheInFile = false;
    bool RTLPreview = false;
};

class TqdxPrintOptions : public TqdxPersistent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    int Copies = 1;
    bool Collate = true;
    QByteArray PageNumbers;
    QByteArray Printer = "Padr\xe3o";
    int PrintMode = pmDefault;
    int PrintOnSheet = 0;
    int PrintPages = ppAll;
    bool Reverse = false;
    bool ShowDialog = true;
    bool SwapPageSize = false;
    int PagesOnSheet = 0;
    int SplicingLine = 3;
    int Duplex = 0;
};

class TqdxReportOptions : public TqdxPersistent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    TqdxReportOptions();
    QByteArray Author;
    bool Compressed = false;
    QByteArray ConnectionName;
    double CreateDate = 0, LastChange = 0; // days since 1899-12-30
    TqdxStrings Description;
    QByteArray InitString, Name, Password;
    TqdxPicture Picture;
    QByteArray VersionBuild, VersionMajor, VersionMinor, VersionRelease;
};

// Raised by ShowErrors in simReThrow mode.
class TqdxReportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TqdxReport : public TqdxComponent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    TqdxReport();
    ~TqdxReport() override;

    TqdxPreviewPages& PreviewPages() { return *m_previewPages; }
    const TqdxPreviewPages& PreviewPages() const { return *m_previewPages; }
    TqdxEngineOptions EngineOptions;
    TqdxPreviewOptions PreviewOptions;
    TqdxPrintOptions PrintOptions;
    TqdxReportOptions ReportOptions;

    QStringList Errors; // sorted, without duplicates
    void AddErrors(const QStringList& errors);
    QStringList ExpandedDrillNames;
    bool Terminated = false;
    QByteArray Version = "4.15";
    TqdxComponent* ParentReport = nullptr;
    TqdxComponent* DataSet = nullptr;
    QByteArray DataSetName;
    bool DotMatrixReport = false;
    QByteArray IniFile = "\\Software\\Quadrel";
    bool OldStyleProgress = false;
    TqdxComponent* Preview = nullptr;
    QByteArray ScriptLanguage;
    TqdxStrings ScriptText;
    bool ShowProgress = true;
    bool StoreInDFM = true;

    // Where messages go; null shows nothing.
    Interaction* UserInteraction = nullptr;
    // Shows `text` as an error by EngineOptions.NewSilentMode: a message, nothing, or a raised
    // TqdxReportError.
    void ShowErrors(const QString& text);
    // "Ocorreram os seguintes erros:", CR LF and the error list.
    QString ErrorsText() const;
    // Shows the preview; set by the application (none until prepared pages can be shown).
    std::function<void(TqdxReport&)> OnPreviewPrepared;
    void PreviewPrepared();
    // Status text while working.
    std::function<void(const QString& text, bool hint)> OnProgressText;
    void ShowProgressText(const QString& text, bool hint);

    // Click handling for a view in the preview: the report's click events are fired (views'
    // script event names are not run: there is no script engine). The handler may set
    // `modified`, after which the caller saves the page.
    using ClickEvent = std::function<void(TqdxView& view, int button, int shift, bool& modified)>;
    ClickEvent OnClickObject;
    ClickEvent OnDblClickObject;
    void HandlePreviewClick(TqdxView& view, int button, int shift, bool& modified,
                            bool doubleClick);

    // Settings store named by IniFile: under the user's settings when it begins with
    // "\Software\", otherwise an ini file of that name.
    struct SettingsLocation {
        bool registry;
        QString path;
    };
    SettingsLocation OpenSettings() const;

private:
    std::unique_ptr<TqdxPreviewPages> m_previewPages;
};

} // namespace zr::reportlib
