#pragma once

// The report object model: components with geometry, fonts and a parent/child tree; views,
// bands and pages. Positions and sizes are pixels at 96 per inch; paper is in millimetres.
// This layer holds the objects' data and their XML form; drawing lives in the render layer.

#include "reportlib/document/qdx_classes.h"
#include "reportlib/document/qdx_unicode_utils.h"

#include <QByteArray>
#include <QIODevice>

#include <array>
#include <memory>
#include <vector>

namespace zr::reportlib {

class TqdxReport;
class TqdxReportPage;
class TqdxPictureView;

inline constexpr double qd01cm = 3.77953;
inline constexpr double qd1cm = 37.7953;
inline constexpr double qd01in = 9.6;
inline constexpr int qd1in = 96;
inline constexpr double qd1CharX = 9.6;
inline constexpr int qd1CharY = 17;
inline constexpr int clTransparent = 0x1FFFFFFF;
inline constexpr int clWhite = 0xFFFFFF;

enum TqdxAlign { baNone, baLeft, baRight, baCenter, baWidth, baBottom, baClient };
enum TqdxShiftMode { smDontShift, smAlways, smWhenOverlapped };
enum TqdxStretchMode { smDontStretch, smActualHeight, smMaxHeight };
enum TqdxFrameStyle {
    fsSolid,
    fsDash,
    fsDot,
    fsDashDot,
    fsDashDotDot,
    fsDouble,
    fsAltDot,
    fsSquare
};
enum TqdxFrameTypeBit { ftLeft = 1, ftRight = 2, ftTop = 4, ftBottom = 8 };
enum TBrushStyle {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};
enum TqdxHAlign { haLeft, haRight, haCenter, haBlock };
enum TqdxVAlign { vaTop, vaBottom, vaCenter };
enum TqdxFormatKind { fkText, fkNumeric, fkDateTime, fkBoolean };
enum TqdxShapeKind {
    skRectangle,
    skRoundRectangle,
    skEllipse,
    skTriangle,
    skDiamond,
    skDiagonal1,
    skDiagonal2
};
enum TqdxCheckStyle { csCross, csCheck, csLineCross, csPlus };
enum TqdxUncheckStyle { usEmpty, usCross, usLineCross, usMinus };
enum TqdxGradientStyle {
    gsHorizontal,
    gsVertical,
    gsElliptic,
    gsRectangle,
    gsVertCenter,
    gsHorizCenter
};
enum TPrinterOrientation { poPortrait, poLandscape };
enum TqdxDuplexMode { dmNone, dmVertical, dmHorizontal, dmSimplex };
enum TFontStyleBit { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
enum TqdxRestrictionBit {
    rfDontModify = 1,
    rfDontSize = 2,
    rfDontMove = 4,
    rfDontDelete = 8,
    rfDontEdit = 16
};
enum TqdxStyleFlag { ShownInPreview = 1, StoreComplete = 2 };

// A font: name, height in pixels (negative: character height), colour, character set, style
// bits (1 bold, 2 italic, 4 underline, 8 strike-out).
class TqdxFont : public TqdxPersistent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }

    QByteArray Name = "Arial";
    int Height = -13;
    int Color = 0;
    int Charset = 1;
    int Style = 0;
    int Pitch = 0;
    int PixelsPerInch = 96;

    int Size() const;
    void SetSize(int points);
    void SetName(const QByteArray& v) {
        Name = v;
        changed();
    }
    void SetHeight(int v) {
        Height = v;
        changed();
    }
    void SetColor(int v) {
        Color = v;
        changed();
    }
    void SetCharset(int v) {
        Charset = v & 0xFF;
        changed();
    }
    void SetStyle(int v) {
        Style = v & 15;
        changed();
    }
    void SetPitch(int v) {
        Pitch = v;
        changed();
    }
    // Copies every value and reports one change.
    void Assign(const TqdxFont& other);
    bool operator==(const TqdxFont& other) const;

    // Run after every change (the owning component's font-changed hook).
    std::function<void()> OnChange;

private:
    void changed() {
        if (OnChange) {
            OnChange();
        }
    }
};

class TqdxFrame;

class TqdxFrameLine : public TqdxPersistent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    explicit TqdxFrameLine(TqdxFrame* frame) : Frame(frame) {}
    TqdxFrame* Frame;
    int Color = 0;
    int Style = fsSolid;
    double Width = 1.0;
    void Assign(const TqdxFrameLine& other);
    bool operator==(const TqdxFrameLine& other) const;
};

class TqdxFrame : public TqdxPersistent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    TqdxFrame();
    TqdxFrame(const TqdxFrame&) = delete;
    TqdxFrame& operator=(const TqdxFrame&) = delete;

    int Color() const { return m_color; }
    void SetColor(int v);
    bool DropShadow = false;
    int ShadowColor = 0;
    double ShadowWidth = 4.0;
    int Style() const { return m_style; }
    void SetStyle(int v);
    int Typ = 0; // bits of TqdxFrameTypeBit
    double Width() const { return m_width; }
    void SetWidth(double v);
    TqdxFrameLine LeftLine{this}, TopLine{this}, RightLine{this}, BottomLine{this};
    void Assign(const TqdxFrame& other);
    bool operator==(const TqdxFrame& other) const;

private:
    int m_color = 0;
    int m_style = fsSolid;
    double m_width = 1.0;
};

// A graphic as stored in reports: the graphic class name and its own data, kept as bytes.
class TqdxPicture : public TqdxPersistent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    void DefineProperties(TqdxFiler& filer) override;

    // "TBitmap", "TJPEGImage", "TPngImage", "TIcon", "TMetafile", or empty for no graphic.
    QByteArray GraphicClass;
    // With StreamForm the graphic's bytes as a file holds them (the picture cache's form);
    // otherwise the graphic's data as it streams itself inside a report.
    QByteArray Data;
    bool StreamForm = false;

    bool Empty() const { return GraphicClass.isEmpty(); }
    void Clear();
    bool operator==(const TqdxPicture& other) const {
        return GraphicClass == other.GraphicClass && Data == other.Data &&
               StreamForm == other.StreamForm;
    }
};

class TqdxHighlight : public TqdxPersistent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    TqdxHighlight();
    bool Active = false;
    TqdxFont Font;
    int Color = clTransparent;
    QByteArray Condition;
};

class TqdxFormat : public TqdxPersistent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    QByteArray DecimalSeparator;
    QByteArray ThousandSeparator;
    QByteArray FormatStr;
    int Kind = fkText;
};

// Base of every report object.
class TqdxComponent : public TqdxPersistent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }

    TqdxComponent();
    ~TqdxComponent() override;
    TqdxComponent(const TqdxComponent&) = delete;
    TqdxComponent& operator=(const TqdxComponent&) = delete;

    // Creates an object of a registered class: its library owner is the owner's report, and it
    // becomes the owner's child. Raises TqdxClassNotFound for classes that cannot be created.
    static TqdxComponent* Create(const TqdxClassInfo& info, TqdxComponent* owner);
    template <class C> static C* Create(TqdxComponent* owner) {
        return static_cast<C*>(Create(C::StaticClassInfo(), owner));
    }

    const QByteArray& Name() const { return m_name; }
    // Raises std::runtime_error for a name used by another object of the same report, and for
    // a name that is neither empty nor an identifier (IsValidComponentName).
    void SetName(const QByteArray& name);
    int Tag = 0;

    double Left() const { return m_left; }
    double Top() const { return m_top; }
    double Width() const { return m_width; }
    double Height() const { return m_height; }
    virtual void SetLeft(double v);
    virtual void SetTop(double v);
    virtual void SetWidth(double v);
    virtual void SetHeight(double v);
    void SetBounds(double left, double top, double width, double height);

    TqdxFont& Font() { return m_font; }
    const TqdxFont& Font() const { return m_font; }
    void SetFont(const TqdxFont& font);
    bool ParentFont() const { return m_parentFont; }
    void SetParentFont(bool v);
    bool Visible() const { return m_visible; }
    void SetVisible(bool v) { m_visible = v; }
    int Restrictions = 0;

    TqdxComponent* Parent() const { return m_parent; }
    void SetParent(TqdxComponent* parent);
    const std::vector<TqdxComponent*>& Objects() const { return m_objects; }
    // Every descendant, depth first, parents before children.
    std::vector<TqdxComponent*> AllObjects() const;
    // First of AllObjects named `name` (case ignored), or null.
    TqdxComponent* FindObject(QByteArrayView name) const;

    TqdxComponent* LibOwner() const { return m_libOwner; }
    // The components whose library owner this is.
    const std::vector<TqdxComponent*>& Components() const { return m_owned; }
    // The nearest page / report up the parent chain, this object included.
    TqdxReportPage* Page() const;
    TqdxReport* Report() const;
    double AbsLeft() const;
    double AbsTop() const;

    int StyleFlags = ShownInPreview;
    QByteArray NameBase;
    QByteArray AliasKey;
    TqdxComponent* SourceObject = nullptr;
    bool ReadingTree = false;
    bool Serializing = false;
    bool WritingTree = false;
    bool IsPrinting = false;
    bool Inherited = false;
    bool CreatedForDesign = false;

    // Frees every child that is not inherited.
    void Clear();
    virtual void ArrangeChildren();
    // Attributes in which this object differs from its source copy (" l=..." and so on).
    virtual QByteArray DeltaText(const TqdxComponent* source) const;
    // The full attribute text, followed by DeltaText(source) when a source is given.
    QByteArray CompleteDeltaText(const TqdxComponent* source) const;
    // Run once the object's tree has been read.
    virtual void Loaded() {}
    // Sets the name to NameBase and the smallest number no object of the report uses. Raises
    // std::runtime_error when NameBase does not make an identifier.
    void CreateUniqueName();
    // All published properties of `source`, no children.
    void Assign(const TqdxComponent& source);
    void SaveToStream(QIODevice& stream, bool saveChildren, bool streaming, bool writeDefaults);
    // Replaces the children by what the stream holds; collected errors go to the report.
    void LoadFromStream(QIODevice& stream);

protected:
    // The base difference text of TqdxComponent, for views to extend.
    QByteArray componentDeltaText(const TqdxComponent* source) const;
    virtual void fontChanged();
    // A class name with the first "Tqdx" and "View" removed.
    static QByteArray defaultNameBase(const QByteArray& className);

private:
    friend class TqdxReport;
    void attach(TqdxComponent* owner);
    void setUnlessRestricted(double& field, double v, int restriction);
    void applyParentFont();

    QByteArray m_name;
    double m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    TqdxFont m_font;
    bool m_parentFont = true;
    bool m_visible = true;
    bool m_copyingFont = false;
    TqdxComponent* m_parent = nullptr;
    TqdxComponent* m_libOwner = nullptr;
    std::vector<TqdxComponent*> m_objects;
    std::vector<TqdxComponent*> m_owned; // components whose library owner this is
};

class TqdxReportComponent : public TqdxComponent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    QByteArray Description;
    virtual void BeforePrint();
    virtual void AfterPrint();
    virtual QString ObjectText() const { return {}; }

private:
    double m_saved[4] = {0, 0, 0, 0};
};

class TqdxView : public TqdxReportComponent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    TqdxView();

    int BrushStyle = bsSolid;
    int Color = clTransparent;
    TqdxFrame Frame;
    int Align = baNone;
    int ShiftMode = smAlways;
    bool Printable = true;
    int Cursor = 0;
    QByteArray TagStr, URL, Hint;
    bool ShowHint = false;
    int GroupIndex = 0;
    TqdxComponent* DataSet = nullptr;
    QByteArray DataSetName, DataField;
    QByteArray OnAfterData, OnAfterPrint, OnBeforePrint, OnPreviewClick, OnPreviewDblClick;

    void SetFrame(const TqdxFrame& f) { Frame.Assign(f); }
    QByteArray DeltaText(const TqdxComponent* source) const override;
};

class TqdxStretcheable : public TqdxView {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    int StretchMode = smDontStretch;
    virtual double CalcHeight() const { return Height(); }
};

class TqdxCustomMemoView : public TqdxStretcheable {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    TqdxCustomMemoView();

    TWideStrings Memo;
    int HAlign = haLeft;
    int VAlign = vaTop;
    bool WordWrap = true;
    bool WordBreak = false;
    bool AllowHTMLTags = false;
    int Rotation() const { return m_rotation; }
    void SetRotation(int v) { m_rotation = ((v % 360) + 360) % 360; }
    bool RTLReading = false;
    bool Wysiwyg = true;
    bool Clipped = true;
    double GapX = 2, GapY = 1, LineSpacing = 2, CharSpacing = 0, ParagraphGap = 0;
    bool Underlines = false;
    bool UseDefaultCharset = false;
    bool AutoWidth = false;
    TqdxHighlight Highlight;
    TqdxFormat DisplayFormat;
    bool AllowExpressions = true;
    QByteArray ExpressionDelimiters = "[,]";
    bool HideZeros = false, SuppressRepeated = false;
    QByteArray Style;
    TqdxComponent* FlowTo = nullptr;
    // Set by the page drawing before the memo is drawn.
    int TotalPages = 0;
    int CopyNo = 0;
    double PrintScale = 1;

    // DeltaText hands the end of a split text on to the next part.
    mutable bool FirstParaBreak = false, LastParaBreak = false;

    // The memo text: the lines joined by CR LF, without a final CR LF.
    QString Text() const;
    void SetText(QStringView text);
    QString ObjectText() const override { return Text(); }
    QByteArray DeltaText(const TqdxComponent* source) const override;

private:
    int m_rotation = 0;
};

class TqdxMemoView : public TqdxCustomMemoView {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TqdxSysMemoView : public TqdxCustomMemoView {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TqdxCustomLineView : public TqdxStretcheable {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    TqdxCustomLineView();
    bool ArrowEnd = false, ArrowSolid = false, ArrowStart = false, Diagonal = false;
    int ArrowLength = 20, ArrowWidth = 5;
};

class TqdxLineView : public TqdxCustomLineView {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TqdxPictureView : public TqdxView {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    TqdxPictureView();

    TqdxPicture Picture;
    bool PictureStored = true;
    int ImageIndex = 0;
    bool Stretched = true, KeepAspectRatio = true, Center = false, AutoSize = false;
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool v);
    int TransparentColor = clWhite;
    bool HightQuality = false;
    QByteArray FileLink;
    // Set when the picture changed since it was last put in a picture store.
    bool ImageChanged = false;

    // Takes a graphic's bytes as a file holds them; false (and no picture) when they are of no
    // known kind.
    bool LoadPictureFromBytes(const QByteArray& bytes);
    QByteArray DeltaText(const TqdxComponent* source) const override;

private:
    bool m_transparent = false;
};

class TqdxShapeView : public TqdxView {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    TqdxShapeView();
    int Curve = 0;
    int Shape = skRectangle;
    QByteArray DeltaText(const TqdxComponent* source) const override;
};

class TqdxCheckBoxView : public TqdxView {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    TqdxCheckBoxView();
    bool Checked = true;
    int CheckStyle = csCross;
    int UncheckStyle = usEmpty;
    int CheckColor = 0;
    QByteArray Expression;
};

class TqdxGradientView : public TqdxView {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    int BeginColor = clWhite;
    int EndColor = 0x808080;
    int Style = gsHorizontal;
    // The colour between the two ends, used where a gradient cannot be drawn.
    int MiddleColor() const;
};

class TqdxRichView : public TqdxStretcheable {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    void DefineProperties(TqdxFiler& filer) override;
    bool AllowExpressions = true;
    QByteArray ExpressionDelimiters = "[,]";
    double GapX = 2, GapY = 1;
    bool Wysiwyg = true;
    TqdxComponent* FlowTo = nullptr;
    // The document as RTF.
    QByteArray RichText;
};

class TqdxSubreport : public TqdxView {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    TqdxSubreport();
};

class TqdxDMPMemoView : public TqdxCustomMemoView {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TqdxDMPLineView : public TqdxCustomLineView {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TqdxDMPCommand : public TqdxView {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    QByteArray Command;
};

// Bands. The band number is the position of the band's class in the band table (0-17).
class TqdxBand : public TqdxReportComponent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    bool Vertical = false;
    QByteArray OnAfterCalcHeight, OnAfterPrint, OnBeforePrint;
    // Shared by the band classes that publish them.
    bool AllowSplit = false, KeepChild = false, PrintChildIfInvisible = false, StartNewPage = false,
         Stretched = false, PrintOnFirstPage = false, PrintOnLastPage = false,
         ReprintOnNewPage = false, KeepTogether = false, ResetPageNumbers = false,
         DrillDown = false, ExpandDrillDown = false, ShowFooterIfDrillDown = false,
         ShowChildIfDrillDown = false, HideIfSingleDataRecord = false, PrintOnTop = false;
    QByteArray OutlineText, Condition, DrillName;
    TqdxComponent* Child() const { return m_child; }
    // Raises std::runtime_error ("Circular child reference is not allowed") for a chain that
    // leads back to this band.
    void SetChild(TqdxComponent* child);
    int BandNumber() const;

    void SetLeft(double v) override;
    void SetTop(double v) override;
    void SetHeight(double v) override;
    QByteArray DeltaText(const TqdxComponent* source) const override;

private:
    bool onDotMatrixPage() const;
    TqdxComponent* m_child = nullptr;
};

class TqdxDataBand : public TqdxBand {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    int Columns = 0;
    double ColumnWidth = 0, ColumnGap = 0;
    TqdxComponent* DataSet = nullptr;
    QByteArray DataSetName;
    bool FooterAfterEach = false, KeepFooter = false, KeepHeader = false,
         PrintIfDetailEmpty = false;
    int RowCount = 0;
    QByteArray OnMasterDetail;
};

#define ZR_QDX_BAND(Class, Base)                                                                   \
    class Class : public Base {                                                                    \
    public:                                                                                        \
        static const TqdxClassInfo& StaticClassInfo();                                             \
        const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }              \
    };
ZR_QDX_BAND(TqdxReportTitle, TqdxBand)
ZR_QDX_BAND(TqdxReportSummary, TqdxBand)
ZR_QDX_BAND(TqdxHeader, TqdxBand)
ZR_QDX_BAND(TqdxFooter, TqdxBand)
ZR_QDX_BAND(TqdxMasterData, TqdxDataBand)
ZR_QDX_BAND(TqdxDetailData, TqdxDataBand)
ZR_QDX_BAND(TqdxSubdetailData, TqdxDataBand)
ZR_QDX_BAND(TqdxDataBand4, TqdxDataBand)
ZR_QDX_BAND(TqdxDataBand5, TqdxDataBand)
ZR_QDX_BAND(TqdxDataBand6, TqdxDataBand)
ZR_QDX_BAND(TqdxGroupHeader, TqdxBand)
ZR_QDX_BAND(TqdxGroupFooter, TqdxBand)
ZR_QDX_BAND(TqdxChild, TqdxBand)
ZR_QDX_BAND(TqdxColumnHeader, TqdxBand)
ZR_QDX_BAND(TqdxColumnFooter, TqdxBand)
ZR_QDX_BAND(TqdxOverlay, TqdxBand)
ZR_QDX_BAND(TqdxNullBand, TqdxBand)
#undef ZR_QDX_BAND

class TqdxPageHeader : public TqdxBand {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    TqdxPageHeader() { PrintOnFirstPage = true; }
};

class TqdxPageFooter : public TqdxBand {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    TqdxPageFooter() { PrintOnFirstPage = PrintOnLastPage = true; }
};

class TqdxPage : public TqdxComponent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

// An identifier: an ASCII letter or '_', then ASCII letters, digits and '_'. Component names
// are written unescaped, so only such names (or none) may be given to a component.
bool IsValidComponentName(QByteArrayView name);

// Width and height in tenths of a millimetre of a standard paper code, if it is known.
std::optional<std::pair<int, int>> StandardPaperSize(int code);

class TqdxReportPage : public TqdxPage {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    TqdxReportPage();
    ~TqdxReportPage() override;

    int Orientation() const { return m_orientation; }
    void SetOrientation(int v);
    double PaperWidth() const { return m_paperWidth; }
    double PaperHeight() const { return m_paperHeight; }
    void SetPaperWidth(double v);
    void SetPaperHeight(double v);
    int PaperSize() const { return m_paperSize; }
    void SetPaperSize(int v);
    double LeftMargin = 0, RightMargin = 0, TopMargin = 0, BottomMargin = 0;
    bool MirrorMargins = false;
    static constexpr int kMaxColumns = 10000;
    int Columns() const { return m_columns; }
    void SetColumns(int v);
    double ColumnWidth = 0;
    TqdxStrings ColumnPositions;
    int Bin = 7, BinOtherPages = 7;
    bool BackPictureVisible = true, BackPicturePrintable = true;
    int PageCount() const { return m_pageCount; }
    void SetPageCount(int v) {
        if (v >= 1) {
            m_pageCount = v;
        }
    }
    TqdxComponent* DataSet = nullptr;
    QByteArray DataSetName;
    int Duplex = dmNone;
    bool EndlessHeight = false, EndlessWidth = false, LargeDesignHeight = false;
    QByteArray OutlineText;
    bool PrintIfEmpty = true, PrintOnPreviousPage = false, ResetPageNumbers = false,
         TitleBeforeHeader = true;
    TqdxStrings HGuides, VGuides;
    QByteArray OnAfterPrint, OnBeforePrint, OnManualBuild;

    // Colour, frame and background picture live in an internal picture view.
    TqdxPictureView& Background() { return *m_background; }
    const TqdxPictureView& Background() const { return *m_background; }
    int Color() const;
    void SetColor(int v);

    // Width and Height from the paper size, in whole pixels.
    void RecalcSize();
    // The printable area, then the children's alignment, then RecalcSize.
    void ArrangeChildren() override;
    // The first direct child of that class, or null.
    TqdxComponent* FindBand(const TqdxClassInfo& bandClass) const;

private:
    std::unique_ptr<TqdxPictureView> m_background;
    int m_orientation = poPortrait;
    double m_paperWidth = 0, m_paperHeight = 0;
    int m_paperSize = 0;
    int m_columns = 0;
    int m_pageCount = 1;
};

class TqdxDMPPage : public TqdxReportPage {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TqdxDataPage : public TqdxPage {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    TqdxDataPage();
};

class TqdxDialogPage : public TqdxPage {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    QByteArray Caption;
};

class TqdxStyleItem : public TqdxPersistent {
public:
    static const TqdxClassInfo& StaticClassInfo();
    const TqdxClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    QByteArray Name;
    int Color = clTransparent;
    TqdxFont Font;
    TqdxFrame Frame;
};

// Registers every report class; FindClass calls it on first use.
void RegisterReportClasses();

} // namespace zr::reportlib
