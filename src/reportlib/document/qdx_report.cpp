#include "qdx_report.h"

#include "qdx_xml_serializer.h"

#include "platform/interaction/interaction.h"
#include "platform/text/codepages.h"

#include <QDateTime>

#include <algorithm>

namespace zr::reportlib {

namespace {

const TqdxEnumInfo& silentModeEnum() {
    static const TqdxEnumInfo e{{"simMessageBoxes", "simSilent", "simReThrow"}};
    return e;
}
const TqdxEnumInfo& zoomModeEnum() {
    static const TqdxEnumInfo e{{"zmDefault", "zmWholePage", "zmPageWidth", "zmManyPages"}};
    return e;
}
const TqdxEnumInfo& printModeEnum() {
    static const TqdxEnumInfo e{{"pmDefault", "pmSplit", "pmJoin", "pmScale"}};
    return e;
}
const TqdxEnumInfo& printPagesEnum() {
    static const TqdxEnumInfo e{{"ppAll", "ppOdd", "ppEven"}};
    return e;
}
const TqdxEnumInfo& previewButtonsEnum() {
    static const TqdxEnumInfo e{{"pbPrint", "pbLoad", "pbSave", "pbExport", "pbZoom", "pbFind",
                                 "pbOutline", "pbPageSetup", "pbTools", "pbEdit", "pbNavigator",
                                 "pbExportQuick", "pbNoClose", "pbNoFullScreen", "pbNoEmail"}};
    return e;
}

// Days since 1899-12-30, the date form of the option sets.
double nowAsDays() {
    const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0));
    return double(epoch.msecsTo(QDateTime::currentDateTime())) / 86400000.0;
}

} // namespace

const TqdxClassInfo& TqdxEngineOptions::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        using O = TqdxEngineOptions;
        TqdxClassBuilder<O> b(info, "TqdxEngineOptions", nullptr);
        b.boolean("ConvertNulls", &O::ConvertNulls, nullptr, true);
        b.boolean("DoublePass", &O::DoublePass, nullptr, false);
        b.integer("MaxMemSize", &O::MaxMemSize, nullptr, 10);
        b.boolean("PrintIfEmpty", &O::PrintIfEmpty, nullptr, true);
        b.boolean("SilentMode", &O::SilentMode, &O::SetSilentMode, false);
        b.enumeration("NewSilentMode", silentModeEnum(), &O::NewSilentMode, nullptr,
                      simMessageBoxes);
        b.string("TempDir", &O::TempDir);
        b.boolean("UseFileCache", &O::UseFileCache, nullptr, false);
        b.boolean("IgnoreDevByZero", &O::IgnoreDevByZero, nullptr, false);
    });
}

const TqdxClassInfo& TqdxPreviewOptions::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        using O = TqdxPreviewOptions;
        TqdxClassBuilder<O> b(info, "TqdxPreviewOptions", nullptr);
        b.boolean("AllowEdit", &O::AllowEdit, nullptr, true);
        b.set("Buttons", previewButtonsEnum(), &O::Buttons, nullptr, (1 << 12) - 1);
        b.boolean("DoubleBuffered", &O::DoubleBuffered, nullptr, true);
        b.boolean("Maximized", &O::Maximized, nullptr, true);
        b.boolean("MDIChild", &O::MDIChild, nullptr, false);
        b.boolean("Modal", &O::Modal, nullptr, true);
        b.boolean("OutlineExpand", &O::OutlineExpand, nullptr, true);
        b.boolean("OutlineVisible", &O::OutlineVisible, nullptr, false);
        b.integer("OutlineWidth", &O::OutlineWidth, nullptr, 120);
        b.integer("PagesInCache", &O::PagesInCache, nullptr, 50);
        b.boolean("ThumbnailVisible", &O::ThumbnailVisible, nullptr, false);
        b.boolean("ShowCaptions", &O::ShowCaptions, nullptr, false);
        b.floating("Zoom", &O::Zoom);
        b.enumeration("ZoomMode", zoomModeEnum(), &O::ZoomMode, nullptr, zmDefault);
        b.boolean("PictureCacheInFile", &O::PictureCacheInFile, nullptr, false);
    });
}

const TqdxClassInfo& TqdxPrintOptions::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        using O = TqdxPrintOptions;
        TqdxClassBuilder<O> b(info, "TqdxPrintOptions", nullptr);
        b.integer("Copies", &O::Copies, nullptr, 1);
        b.boolean("Collate", &O::Collate, nullptr, true);
        b.string("PageNumbers", &O::PageNumbers);
        b.string("Printer", &O::Printer);
        b.enumeration("PrintMode", printModeEnum(), &O::PrintMode, nullptr, pmDefault);
        b.integer("PrintOnSheet", &O::PrintOnSheet, nullptr, 0);
        b.enumeration("PrintPages", printPagesEnum(), &O::PrintPages, nullptr, ppAll);
        b.boolean("Reverse", &O::Reverse, nullptr, false);
        b.boolean("ShowDialog", &O::ShowDialog, nullptr, true);
        b.boolean("SwapPageSize", &O::SwapPageSize, nullptr, false, [](const O&) { return false; });
    });
}

const TqdxClassInfo& TqdxReportOptions::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        using O = TqdxReportOptions;
        TqdxClassBuilder<O> b(info, "TqdxReportOptions", nullptr);
        b.string("Author", &O::Author);
        b.boolean("Compressed", &O::Compressed, nullptr, false);
        b.string("ConnectionName", &O::ConnectionName);
        b.floating("CreateDate", &O::CreateDate);
        b.strings("Description", &O::Description);
        b.string("InitString", &O::InitString);
        b.floating("LastChange", &O::LastChange);
        b.string("Name", &O::Name);
        b.string("Password", &O::Password);
        b.object("Picture", &O::Picture);
        b.string("VersionBuild", &O::VersionBuild);
        b.string("VersionMajor", &O::VersionMajor);
        b.string("VersionMinor", &O::VersionMinor);
        b.string("VersionRelease", &O::VersionRelease);
    });
}

TqdxReportOptions::TqdxReportOptions() {
    CreateDate = LastChange = nowAsDays();
}

const TqdxClassInfo& TqdxReport::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        using R = TqdxReport;
        TqdxClassBuilder<R> b(info, "TqdxReport", &TqdxComponent::StaticClassInfo(),
                              [](TqdxComponent*) -> TqdxComponent* { return new TqdxReport(); });
        b.string("Version", &R::Version);
        b.reference("ParentReport", &R::ParentReport);
        b.reference("DataSet", &R::DataSet);
        b.string("DataSetName", &R::DataSetName);
        b.boolean("DotMatrixReport", &R::DotMatrixReport, nullptr, false);
        b.object("EngineOptions", &R::EngineOptions);
        b.string("IniFile", &R::IniFile);
        b.boolean("OldStyleProgress", &R::OldStyleProgress, nullptr, false);
        b.reference("Preview", &R::Preview);
        b.object("PreviewOptions", &R::PreviewOptions);
        b.object("PrintOptions", &R::PrintOptions);
        b.object("ReportOptions", &R::ReportOptions);
        b.string("ScriptLanguage", &R::ScriptLanguage);
        b.strings("ScriptText", &R::ScriptText);
        b.boolean("ShowProgress", &R::ShowProgress, nullptr, true);
        b.boolean("StoreInDFM", &R::StoreInDFM, nullptr, true);
    });
}

TqdxReport::TqdxReport() : m_previewPages(std::make_unique<TqdxPreviewPages>(*this)) {
    NameBase = "Report";
}

TqdxReport::~TqdxReport() {
    // The pages go first: built pages may point into the report's objects.
    m_previewPages.reset();
}

void TqdxReport::AddErrors(const QStringList& errors) {
    for (const QString& e : errors) {
        AddSortedMessage(Errors, e);
    }
}

QString TqdxReport::ErrorsText() const {
    return QStringLiteral("Ocorreram os seguintes erros:\r\n") +
           Errors.join(QStringLiteral("\r\n"));
}

void TqdxReport::ShowErrors(const QString& text) {
    switch (EngineOptions.NewSilentMode) {
    case simSilent:
        return;
    case simReThrow:
        throw TqdxReportError(text.toStdString());
    default:
        if (UserInteraction) {
            UserInteraction->message(MessageKind::Error, text, QStringLiteral("Erro"));
        }
        return;
    }
}

void TqdxReport::PreviewPrepared() {
    if (OnPreviewPrepared) {
        OnPreviewPrepared(*this);
    }
}

void TqdxReport::ShowProgressText(const QString& text, bool hint) {
    if (EngineOptions.ThreadSafeMode) {
        return;
    }
    if (OnProgressText) {
        OnProgressText(text, hint);
    }
}

void TqdxReport::HandlePreviewClick(TqdxView& view, int button, int shift, bool& modified,
                                    bool doubleClick) {
    const ClickEvent& event = doubleClick ? OnDblClickObject : OnClickObject;
    if (event) {
        event(view, button, shift, modified);
    }
}

TqdxReport::SettingsLocation TqdxReport::OpenSettings() const {
    const QString name = codepages::fromCp1252(IniFile);
    if (name.startsWith(QLatin1String("\\Software\\"), Qt::CaseInsensitive)) {
        QString key = name.mid(10);
        key.replace(QLatin1Char('\\'), QLatin1Char('/'));
        return {true, key};
    }
    return {false, name};
}

} // namespace zr::reportlib
