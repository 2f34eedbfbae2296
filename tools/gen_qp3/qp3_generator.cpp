#include "qp3_generator.h"

#include "platform/text/codepages.h"
#include "reportlib/document/qdx_components.h"
#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <vector>

namespace zr::tools {

using namespace zr::reportlib;

namespace {

// splitmix64, so the output is the same with every standard library.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int between(int lo, int hi) { return lo + int(next() % std::uint64_t(hi - lo + 1)); }
    bool percent(int p) { return int(next() % 100) < p; }
    template <class T, std::size_t N> const T& pick(const std::array<T, N>& a) {
        return a[std::size_t(next() % N)];
    }

private:
    std::uint64_t m_state;
};

const std::array<const char16_t*, 16> kFirstNames = {
    u"João",   u"José",   u"Antônio", u"Conceição", u"Márcia", u"Luís",   u"Sebastião", u"Inês",
    u"Andréa", u"Mônica", u"Fábio",   u"Cláudio",   u"Lúcia",  u"Ângela", u"Patrícia",  u"Otávio"};
const std::array<const char16_t*, 12> kLastNames = {
    u"Araújo", u"Gonçalves", u"Magalhães", u"Simões",  u"Guimarães", u"Brandão",
    u"Falcão", u"Nóbrega",   u"Tavares",   u"Peçanha", u"Bragança",  u"Figueiró"};
const std::array<const char16_t*, 8> kBusinesses = {u"Mercearia", u"Supermercado", u"Padaria",
                                                    u"Açougue",   u"Armazém",      u"Empório",
                                                    u"Quitanda",  u"Atacadão"};
const std::array<const char16_t*, 10> kCities = {
    u"São Paulo/SP", u"Maringá/PR", u"Florianópolis/SC", u"Goiânia/GO",  u"Belém/PA",
    u"Vitória/ES",   u"Cuiabá/MT",  u"São Luís/MA",      u"Londrina/PR", u"Ijuí/RS"};
const std::array<const char16_t*, 8> kRemarks = {
    u"Pedido faturado com bonificação de 3% conforme negociação comercial.",
    u"Entrega programada para a próxima semana, aguardando confirmação do cliente.",
    u"Título enviado a cartório; cobrança com o departamento jurídico.",
    u"Mercadoria devolvida parcialmente por avaria no transporte.",
    u"Crédito liberado pela gerência até a próxima revisão de limite.",
    u"Preço especial de promoção válido até o fim do mês.",
    u"Frete por conta do destinatário (FOB), transportadora indicada pelo cliente.",
    u"Conferência física pendente no depósito <central> & \"filial\"."};

QString str(const char16_t* s) {
    return QString::fromUtf16(s);
}

// 123456 -> "1.234,56"
QString money(qint64 cents) {
    QString whole = QString::number(cents / 100);
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3) {
        whole.insert(i, QLatin1Char('.'));
    }
    return whole + QLatin1Char(',') +
           QStringLiteral("%1").arg(cents % 100, 2, 10, QLatin1Char('0'));
}

void setFont(TqdxComponent& c, int height, int style, int color = 0) {
    TqdxFont f;
    f.Height = height;
    f.Style = style;
    f.Color = color;
    c.SetFont(f);
}

// The design report: two pages and the objects the building loop moves and fills.
struct Design {
    TqdxReportPage* listing = nullptr;
    TqdxReportPage* summary = nullptr;

    TqdxBand* header = nullptr;
    TqdxMemoView* title = nullptr;
    TqdxBand* columns = nullptr;
    TqdxBand* order = nullptr;
    std::array<TqdxMemoView*, 5> fields{};
    TqdxMemoView* remark = nullptr;
    TqdxBand* footer = nullptr;
    TqdxMemoView* pageNumber = nullptr;
    TqdxPictureView* stamp = nullptr;

    TqdxBand* summaryBand = nullptr;
    TqdxMemoView* summaryTitle = nullptr;
    TqdxMemoView* summaryText = nullptr;
    TqdxBand* summaryFooter = nullptr;
    TqdxMemoView* summaryPageNumber = nullptr;
};

template <class C>
C* make(TqdxComponent* parent, const char* name, double l, double t, double w, double h) {
    C* c = TqdxComponent::Create<C>(parent);
    c->SetName(name);
    c->SetBounds(l, t, w, h);
    return c;
}

TqdxMemoView* memo(TqdxComponent* parent, const char* name, double l, double t, double w, double h,
                   const QString& text) {
    auto* m = make<TqdxMemoView>(parent, name, l, t, w, h);
    m->SetText(text);
    return m;
}

void framed(TqdxMemoView& m, int halign) {
    m.Frame.Typ = ftLeft | ftRight | ftTop | ftBottom;
    m.Frame.SetColor(0x808080);
    m.HAlign = halign;
    m.VAlign = vaCenter;
}

TqdxReportPage* makePage(TqdxComponent* owner, const char* name, bool landscape) {
    TqdxReportPage* page = TqdxComponent::Create<TqdxReportPage>(owner);
    page->SetName(name);
    page->SetPaperSize(9); // A4
    if (landscape) {
        page->SetOrientation(poLandscape);
    }
    page->LeftMargin = page->RightMargin = page->TopMargin = page->BottomMargin = 10;
    return page;
}

Design makeDesign(TqdxReport& report) {
    Design d;
    constexpr double width = (210 - 20) * qd01cm;
    constexpr double height = (297 - 20) * qd01cm;

    d.listing = makePage(&report, "Page1", false);
    d.header = make<TqdxPageHeader>(d.listing, "PageHeader1", 0, 0, width, 68);
    auto* company = memo(d.header, "Memo1", 0, 4, 460, 24, str(u"DISTRIBUIDORA PARANÁ LTDA."));
    setFont(*company, -19, fsBold);
    d.title = memo(d.header, "Memo2", 0, 32, 460, 18, {});
    memo(d.header, "Memo3", 470, 4, 190, 18, str(u"Emissão: 09/12/2026"))->HAlign = haRight;
    auto* logo = make<TqdxPictureView>(d.header, "Picture1", 670, 2, 48, 48);
    logo->LoadPictureFromBytes(StampPng(0, 48));
    auto* rule = make<TqdxLineView>(d.header, "Line1", 0, 60, width, 0);
    rule->Frame.Typ = ftTop;
    rule->Frame.SetWidth(2);

    d.columns = make<TqdxColumnHeader>(d.listing, "ColumnHeader1", 0, 72, width, 22);
    const std::array<double, 6> edges = {0, 70, 400, 470, 590, width};
    const std::array<const char16_t*, 5> captions = {u"Pedido", u"Cliente", u"Qtde", u"Preço (R$)",
                                                     u"Total (R$)"};
    int memoNumber = 4;
    auto nextName = [&memoNumber] { return "Memo" + QByteArray::number(memoNumber++); };
    for (std::size_t i = 0; i < captions.size(); ++i) {
        auto* m = memo(d.columns, nextName().constData(), edges[i], 0, edges[i + 1] - edges[i], 22,
                       str(captions[i]));
        framed(*m, haCenter);
        m->Color = 0xD9D9D9;
        setFont(*m, -13, fsBold);
    }

    d.order = make<TqdxMasterData>(d.listing, "MasterData1", 0, 96, width, 44);
    for (std::size_t i = 0; i < d.fields.size(); ++i) {
        d.fields[i] =
            memo(d.order, nextName().constData(), edges[i], 0, edges[i + 1] - edges[i], 20, {});
        framed(*d.fields[i], i == 1 ? haLeft : haRight);
    }
    d.remark = memo(d.order, nextName().constData(), 70, 22, width - 70, 20, {});
    setFont(*d.remark, -11, fsItalic, 0x606060);

    d.footer = make<TqdxPageFooter>(d.listing, "PageFooter1", 0, height - 40, width, 40);
    auto* box = make<TqdxShapeView>(d.footer, "Shape1", 0, 2, width, 36);
    box->Shape = skRoundRectangle;
    box->Frame.SetColor(0xA0A0A0);
    d.pageNumber = memo(d.footer, nextName().constData(), 8, 11, 300, 18, {});
    d.stamp = make<TqdxPictureView>(d.footer, "Picture2", width - 44, 4, 32, 32);

    constexpr double wideWidth = (297 - 20) * qd01cm;
    constexpr double wideHeight = (210 - 20) * qd01cm;
    d.summary = makePage(&report, "Page2", true);
    d.summaryBand = make<TqdxReportSummary>(d.summary, "ReportSummary1", 0, 0, wideWidth, 220);
    d.summaryTitle = memo(d.summaryBand, nextName().constData(), 0, 10, 700, 30, {});
    setFont(*d.summaryTitle, -21, fsBold | fsUnderline);
    d.summaryText = memo(d.summaryBand, nextName().constData(), 20, 60, 600, 120, {});
    d.summaryText->Frame.Typ = ftLeft;
    d.summaryText->Frame.SetWidth(3);
    d.summaryText->Frame.SetColor(0x996633);
    auto* outer = make<TqdxShapeView>(d.summaryBand, "Shape2", 0, 0, wideWidth, 200);
    outer->Shape = skRectangle;
    outer->Frame.SetStyle(fsDash);
    auto* rule2 = make<TqdxLineView>(d.summaryBand, "Line2", 0, 204, wideWidth, 0);
    rule2->Frame.Typ = ftTop;
    d.summaryFooter =
        make<TqdxPageFooter>(d.summary, "PageFooter2", 0, wideHeight - 30, wideWidth, 30);
    d.summaryPageNumber = memo(d.summaryFooter, nextName().constData(), 0, 6, 300, 18, {});
    return d;
}

// Running totals of one section (logical report).
struct Section {
    int number = 0;
    int orders = 0;
    qint64 items = 0;
    qint64 cents = 0;
};

// Starts a page from its design page (the store numbers it within its logical report), with
// an outline item below its section's, which the section's first page adds.
void beginPage(TqdxPreviewPages& pages, TqdxReportPage* design, const Section& section,
               int pageInSection, const QByteArray& outlineText) {
    pages.BeginNewPage(design);
    TqdxOutline& outline = pages.Outline();
    if (pageInSection == 1) {
        outline.LevelRoot();
        outline.AddItem("Filial " + QByteArray::number(section.number), 0);
    }
    outline.AddItem(outlineText, 0);
    outline.LevelUp();
}

void addListingPage(TqdxPreviewPages& pages, Design& d, Random& random, int pageIndex,
                    int pageInSection, Section& section, int& orderNumber,
                    const Qp3GeneratorOptions& options) {
    beginPage(pages, d.listing, section, pageInSection,
              codepages::toCp1252(str(u"Página %1").arg(pageInSection)));

    d.title->SetText(str(u"Relatório de Vendas por Cliente — Filial %1").arg(section.number));
    pages.AddObject(*d.header);
    pages.AddObject(*d.columns);

    double y = d.columns->Top() + d.columns->Height() + 2;
    const int rows = random.between(3, 5);
    for (int r = 0; r < rows; ++r) {
        orderNumber += random.between(1, 9);
        const int quantity = random.between(1, 480);
        const qint64 price = random.between(95, 250000);
        const qint64 total = quantity * price;
        d.fields[0]->SetText(QString::number(orderNumber));
        d.fields[1]->SetText(QStringLiteral("%1 %2 %3 — %4")
                                 .arg(str(random.pick(kBusinesses)), str(random.pick(kFirstNames)),
                                      str(random.pick(kLastNames)), str(random.pick(kCities))));
        d.fields[2]->SetText(QString::number(quantity));
        d.fields[3]->SetText(money(price));
        d.fields[4]->SetText(money(total));
        // Orders without a remark leave it out of the page (invisible objects are not stored).
        const bool withRemark = random.percent(60);
        d.remark->SetVisible(withRemark);
        if (withRemark) {
            d.remark->SetText(str(random.pick(kRemarks)));
        }
        d.order->SetTop(y);
        pages.CurrentY = y;
        pages.AddAnchor("Pedido " + QByteArray::number(orderNumber));
        pages.AddObject(*d.order);
        y += d.order->Height();
        ++section.orders;
        section.items += quantity;
        section.cents += total;
    }

    d.pageNumber->SetText(str(u"Página %1 — folha %2").arg(pageInSection).arg(pageIndex + 1));
    const bool stamped =
        options.pictureEvery > 0 && pageIndex % options.pictureEvery == options.pictureEvery - 1;
    d.stamp->SetVisible(stamped);
    if (stamped) {
        d.stamp->LoadPictureFromBytes(StampPng(pageIndex + 1));
        pages.StorePicture(*d.stamp);
    }
    pages.AddObject(*d.footer);
}

void addSummaryPage(TqdxPreviewPages& pages, Design& d, int pageIndex, int pageInSection,
                    const Section& section) {
    beginPage(pages, d.summary, section, pageInSection, QByteArrayLiteral("Resumo"));

    d.summaryTitle->SetText(str(u"Resumo da filial %1").arg(section.number));
    d.summaryText->SetText(str(u"Pedidos: %1\r\nItens vendidos: %2\r\nTotal: R$ %3")
                               .arg(section.orders)
                               .arg(section.items)
                               .arg(money(section.cents)));
    pages.CurrentY = 0;
    pages.AddAnchor("Resumo " + QByteArray::number(section.number));
    pages.AddObject(*d.summaryBand);
    d.summaryPageNumber->SetText(
        str(u"Página %1 — folha %2").arg(pageInSection).arg(pageIndex + 1));
    pages.AddObject(*d.summaryFooter);
}

// A page as editing in the preview leaves it: standalone objects, stored complete.
void replaceWithCompletePage(TqdxPreviewPages& pages, int index) {
    auto page = std::make_unique<TqdxReportPage>();
    page->SetPaperSize(9);
    page->LeftMargin = page->RightMargin = page->TopMargin = page->BottomMargin = 15;
    auto* band = make<TqdxReportSummary>(page.get(), "ReportSummary1", 0, 0, 680, 120);
    auto* note = memo(band, "Memo1", 0, 10, 680, 60,
                      str(u"Observações finais: relatório conferido e aprovado.\r\n"
                          u"Assinatura: ______________________"));
    setFont(*note, -15, fsBold);
    auto* rule = make<TqdxLineView>(band, "Line1", 0, 80, 680, 0);
    rule->Frame.Typ = ftTop;
    pages.ReplacePage(index, *page);
}

// A complete page of one memo per line, each in its own font family.
void replaceWithMemoLines(TqdxPreviewPages& pages, int index,
                          const std::vector<std::pair<QString, QString>>& lines,
                          const std::vector<int>& hatched) {
    auto page = std::make_unique<TqdxReportPage>();
    page->SetPaperSize(9);
    page->LeftMargin = page->RightMargin = page->TopMargin = page->BottomMargin = 10;
    auto* band = make<TqdxReportSummary>(page.get(), "ReportSummary1", 0, 0, 700,
                                         30.0 * double(lines.size()) + 10);
    int number = 1;
    for (const auto& [family, text] : lines) {
        const QByteArray name = "Memo" + QByteArray::number(number);
        const double top = 30.0 * (number - 1);
        TqdxFont f;
        f.Name = family.toLatin1();
        f.Height = -15;
        if (text.startsWith(QStringLiteral("{\\rtf"))) {
            auto* rich = make<TqdxRichView>(band, name.constData(), 0, top, 700, 26);
            rich->RichText = text.toLatin1();
        } else {
            auto* m = memo(band, name.constData(), 0, top, 700, 26, text);
            m->SetFont(f);
            m->AllowHTMLTags = text.contains(QLatin1Char('<'));
            if (std::find(hatched.begin(), hatched.end(), number - 1) != hatched.end()) {
                m->BrushStyle = bsDiagCross;
                m->Frame.SetColor(0x808080);
            }
        }
        ++number;
    }
    pages.ReplacePage(index, *page);
}

} // namespace

QByteArray GeneratedReportTitle() {
    return codepages::toCp1252(u"Relatório de Vendas por Cliente");
}

QByteArray StampPng(int variant, int size) {
    QImage image(size, size, QImage::Format_RGB32);
    const std::uint32_t hue = std::uint32_t(variant) * 2654435761u;
    const QRgb border = qRgb(int(hue & 0xFF), int((hue >> 8) & 0xFF), int((hue >> 16) & 0x7F));
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const bool edge = x < 2 || y < 2 || x >= size - 2 || y >= size - 2;
            const bool band = std::abs(x - y) < size / 6;
            image.setPixel(x, y, edge ? border : band ? qRgb(240, 200, 40) : qRgb(255, 255, 255));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void BuildPreparedReport(TqdxReport& report, const Qp3GeneratorOptions& options) {
    TqdxPreviewPages& pages = report.PreviewPages();
    pages.Clear();
    pages.Initialize();
    report.ReportOptions.Name = GeneratedReportTitle();
    Design d = makeDesign(report);
    pages.RegisterSourcePage(*d.listing);
    pages.RegisterSourcePage(*d.summary);

    Random random(options.seed);
    const int sectionPages = std::max(1, options.sectionPages);
    int orderNumber = 100000 + random.between(0, 50000);
    Section section;
    for (int page = 0; page < options.pages; ++page) {
        const int inSection = page % sectionPages;
        if (inSection == 0) {
            section = Section{page / sectionPages + 1, 0, 0, 0};
        }
        if (inSection == sectionPages - 1 || page == options.pages - 1) {
            addSummaryPage(pages, d, page, inSection + 1, section);
            pages.CloseLogicalReport();
        } else {
            addListingPage(pages, d, random, page, inSection + 1, section, orderNumber, options);
        }
    }
    if (options.completeLastPage && options.pages > 0) {
        replaceWithCompletePage(pages, options.pages - 1);
    }
    if (!options.memoLines.empty() && options.pages > 0) {
        replaceWithMemoLines(pages, options.pages - 1, options.memoLines, options.hatchedMemos);
    }
}

bool WritePreparedReport(const QString& path, const Qp3GeneratorOptions& options, QString* error) {
    TqdxReport report;
    BuildPreparedReport(report, options);
    if (!report.PreviewPages().SaveToFile(path)) {
        if (error) {
            *error = QStringLiteral("cannot write %1").arg(path);
        }
        return false;
    }
    return true;
}

} // namespace zr::tools
