#pragma once

// TqdxPageSettingsForm: paper size, orientation and margins of one prepared page, shown from
// the preview's page settings command. Lengths are shown in the display unit of the report's
// settings store (centimetres or inches); every caption comes from the library's string table.
//
// Wiring into a preview control:
//     preview.PageSettingsDialog = PageSettingsHook(&report, &previewWindow);

#include "reportlib/document/qdx_components.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zr::reportlib {
class TqdxReport;
}

namespace zr::reportlib::preview {

// The display unit: value "Units" of section "Form.TqdxDesignerForm" of the report's settings
// store. 1 shows inches; every other value (0, 2, 3, anything unknown) centimetres.
enum TqdxDisplayUnit { duCentimetres = 0, duInches = 1 };

// Reads and writes the stored unit value as it is (0 when absent or when there is no report).
int ReadDisplayUnitSetting(const TqdxReport* report);
void WriteDisplayUnitSetting(const TqdxReport* report, int value);
// What a stored value shows lengths in.
TqdxDisplayUnit DisplayUnitOf(int storedValue);

// Millimetres to the unit and back.
double MmToUnit(double mm, TqdxDisplayUnit unit);
double UnitToMm(double value, TqdxDisplayUnit unit);
// A length as shown: two decimals (system decimal separator) when it has a fraction, else a
// whole number.
QString FormatLength(double value);
// A typed length: "," and "." both read as the decimal separator, blanks ignored. Empty when the
// text is not a finite number.
std::optional<double> ParseLength(const QString& text);

class TqdxPageSettingsForm final : public QDialog {
    Q_OBJECT

public:
    // `page` must outlive the form and is written only by accept(). `report` (may be null) gives
    // the settings store.
    TqdxPageSettingsForm(TqdxReportPage& page, const TqdxReport* report,
                         QWidget* parent = nullptr);
    ~TqdxPageSettingsForm() override;

    // Checks every length; when all are good writes them into the page and closes with
    // Accepted. Otherwise shows the error, focuses the field at fault and stays open with the
    // page untouched.
    void accept() override;

    // Whether the settings go to every page.
    bool ApplyToAll() const;
    TqdxDisplayUnit Unit() const { return m_unit; }

    // How refused input is reported; by default a warning box. Tests replace it.
    std::function<void(const QString& message)> ShowError;

    // ---- The controls, named as in the form.
    QGroupBox* SizeL = nullptr;
    QComboBox* SizeCB = nullptr;
    QLabel* WidthL = nullptr;
    QLineEdit* WidthE = nullptr;
    QLabel* UnitL1 = nullptr;
    QLabel* HeightL = nullptr;
    QLineEdit* HeightE = nullptr;
    QLabel* UnitL2 = nullptr;
    QGroupBox* OrientationL = nullptr;
    QRadioButton* PortraitRB = nullptr;
    QRadioButton* LandscapeRB = nullptr;
    QLabel* PortraitImg = nullptr;
    QLabel* LandscapeImg = nullptr;
    QGroupBox* MarginsL = nullptr;
    QLabel* LeftL = nullptr;
    QLineEdit* MarginLeftE = nullptr;
    QLabel* UnitL3 = nullptr;
    QLabel* TopL = nullptr;
    QLineEdit* MarginTopE = nullptr;
    QLabel* UnitL4 = nullptr;
    QLabel* RightL = nullptr;
    QLineEdit* MarginRightE = nullptr;
    QLabel* UnitL5 = nullptr;
    QLabel* BottomL = nullptr;
    QLineEdit* MarginBottomE = nullptr;
    QLabel* UnitL6 = nullptr;
    QGroupBox* OtherL = nullptr;
    QRadioButton* ApplyToCurRB = nullptr;
    QRadioButton* ApplyToAllRB = nullptr;
    QPushButton* OKB = nullptr;
    QPushButton* CancelB = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void loadFromPage();
    void orientationChanged();
    void sizeUpdate();
    void sizeEdited();
    int selectedCode() const;
    int orientation() const;
    void showLength(QLineEdit* edit, double mm);
    std::optional<double> readLength(const QLineEdit* edit) const;

    TqdxReportPage& m_page;
    const TqdxReport* m_report;
    TqdxDisplayUnit m_unit = duCentimetres;
    bool m_updating = false;
    int m_shownOrientation = poPortrait; // the orientation the size fields were shown for
};

struct TqdxPrinterItem;
// How a paper-list entry is shown: its name, or its size ("210 x 297 mm") when it has none (the
// virtual printer's papers). The entry's code is kept with it, so equal names do not matter.
QString PaperDisplayName(const TqdxPrinterItem& paper);

// Shows the window modally for `page`; true when OK was pressed, with `applyToAll` set from
// "Aplicar a todas as páginas".
bool ExecutePageSettings(TqdxReportPage& page, bool& applyToAll, const TqdxReport* report,
                         QWidget* parent = nullptr);
// The preview control's PageSettingsDialog hook for `report` (which must outlive the hook).
std::function<bool(TqdxReportPage& page, bool& applyToAll)>
PageSettingsHook(const TqdxReport* report, QWidget* parent = nullptr);

} // namespace zr::reportlib::preview
