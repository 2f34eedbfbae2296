// The serialized defaults of the report and its option sets. A wrong declared default changes
// every saved file without a sound: values equal to it are left out when writing, and a reader
// that does not find them keeps what a new object holds.

#include "reportlib/document/qdx_report.h"
#include "reportlib/document/qdx_xml_serializer.h"

#include <gtest/gtest.h>

namespace zr::reportlib {
namespace {

struct SeparatorScope {
    char saved = DecimalSeparator();
    explicit SeparatorScope(char c) { SetDecimalSeparator(c); }
    ~SeparatorScope() { SetDecimalSeparator(saved); }
};

// A new report with fixed creation times, so that its text does not depend on the clock.
struct NewReport {
    TqdxReport report;
    NewReport() { report.ReportOptions.CreateDate = report.ReportOptions.LastChange = 45000.5; }
};

TEST(ReportDefaults, DeclaredDefaultsAreWhatNewObjectsHold) {
    NewReport r;
    TqdxPersistent* objects[] = {&r.report, &r.report.EngineOptions, &r.report.PreviewOptions,
                                 &r.report.PrintOptions, &r.report.ReportOptions};
    int checked = 0;
    for (TqdxPersistent* object : objects) {
        for (const TqdxPropInfo& p : object->ClassInfo().properties) {
            if (p.defaultValue && p.getOrdinal) {
                EXPECT_EQ(p.getOrdinal(*object), *p.defaultValue)
                    << object->ClassName().constData() << '.' << p.name.constData();
                ++checked;
            }
        }
    }
    EXPECT_GE(checked, 35);
}

TEST(ReportDefaults, NewReportWritesOnlyWhatDiffersFromTheDefaults) {
    SeparatorScope dot('.');
    NewReport r;
    TqdxXMLSerializer writer;
    // Floats and string lists are always written, strings when not empty, ordinals when they
    // differ from their declared defaults (none of a new report does).
    EXPECT_EQ(writer.ObjectToElement(r.report).toStdString(),
              " Version=\"4.15\" IniFile=\"\\Software\\Quadrel\" PreviewOptions.Zoom=\"1\""
              " PrintOptions.Printer=\"Padr\xe3o\" ReportOptions.CreateDate=\"45000.5\""
              " ReportOptions.Description.Text=\"\" ReportOptions.LastChange=\"45000.5\""
              " ScriptText.Text=\"\"");
}

TEST(ReportDefaults, EveryValueOfTheOptionSetsWhenDefaultsAreWritten) {
    SeparatorScope dot('.');
    NewReport r;
    TqdxXMLSerializer writer;
    writer.WriteDefaults = true;
    EXPECT_EQ(writer.ObjectToElement(r.report.EngineOptions).toStdString(),
              " ConvertNulls=\"True\" DoublePass=\"False\" MaxMemSize=\"10\""
              " PrintIfEmpty=\"True\" SilentMode=\"False\" NewSilentMode=\"simMessageBoxes\""
              " UseFileCache=\"False\" IgnoreDevByZero=\"False\"");
    // Buttons: the first twelve, pbPrint to pbExportQuick.
    EXPECT_EQ(writer.ObjectToElement(r.report.PreviewOptions).toStdString(),
              " AllowEdit=\"True\" Buttons=\"4095\" DoubleBuffered=\"True\" Maximized=\"True\""
              " MDIChild=\"False\" Modal=\"True\" OutlineExpand=\"True\""
              " OutlineVisible=\"False\" OutlineWidth=\"120\" PagesInCache=\"50\""
              " ThumbnailVisible=\"False\" ShowCaptions=\"False\" Zoom=\"1\""
              " ZoomMode=\"zmDefault\" PictureCacheInFile=\"False\"");
    // SwapPageSize is never stored.
    EXPECT_EQ(writer.ObjectToElement(r.report.PrintOptions).toStdString(),
              " Copies=\"1\" Collate=\"True\" Printer=\"Padr\xe3o\" PrintMode=\"pmDefault\""
              " PrintOnSheet=\"0\" PrintPages=\"ppAll\" Reverse=\"False\" ShowDialog=\"True\"");
    EXPECT_EQ(writer.ObjectToElement(r.report.ReportOptions).toStdString(),
              " Compressed=\"False\" CreateDate=\"45000.5\" Description.Text=\"\""
              " LastChange=\"45000.5\"");

    // A new report's own values, written out in full.
    const QByteArray report = writer.ObjectToElement(r.report);
    for (const char* value : {" DotMatrixReport=\"False\"", " OldStyleProgress=\"False\"",
                              " ShowProgress=\"True\"", " StoreInDFM=\"True\"", " Tag=\"0\""}) {
        EXPECT_TRUE(report.contains(value)) << value;
    }
}

} // namespace
} // namespace zr::reportlib
