// gen_report: writes a large saved text report (.GVP) for load and sort measurements.
//
//   gen_report [--pages N] [--items-per-page M] [--seed S] [--shuffle] [--version 3|4|5] [FILE]
//
// The report looks like a sales listing printed on 66-line, 80-column pages: a framed heading
// with the date and time macros, a column header, detail lines (one item per line or one per
// field, sometimes ruled with box letters), group separators and bold subtotals, a few long
// notes in condensed print, printer control items, and a footer with the page count macro.
// Every page holds exactly M items, so the file holds N * M. Items come in the order the viewer
// keeps them (case-insensitive, page by page) unless --shuffle is given. Text is code page 1252.
// The same options always give the same bytes.
//
// Plain C++ on purpose: it depends on nothing of the program it feeds.

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Random numbers: splitmix64, so the output is the same with every standard library.

class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // In [0, n), n > 0; the modulo bias is far below anything the report could show.
    std::uint64_t below(std::uint64_t n) { return next() % n; }
    int between(int lo, int hi) {
        return lo + static_cast<int>(below(static_cast<std::uint64_t>(hi - lo + 1)));
    }
    // True with probability percent / 100.
    bool percent(int percent) { return below(100) < static_cast<std::uint64_t>(percent); }
    template <class T> const T& pick(const std::vector<T>& v) { return v[below(v.size())]; }

private:
    std::uint64_t m_state;
};

// ---------------------------------------------------------------------------------------------
// Text. The word lists are written in UTF-8 here and turned into cp1252 bytes once.

std::string cp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
        } else if ((b == 0xC2 || b == 0xC3) && i + 1 < utf8.size()) {
            const auto c = static_cast<unsigned char>(utf8[++i]);
            out += static_cast<char>(((b & 0x1F) << 6) | (c & 0x3F));
        } else {
            std::fprintf(stderr, "gen_report: word list holds a character outside Latin-1\n");
            std::abort();
        }
    }
    return out;
}

std::vector<std::string> cp1252(std::initializer_list<std::string_view> words) {
    std::vector<std::string> out;
    for (const std::string_view w : words) {
        out.push_back(cp1252(w));
    }
    return out;
}

struct Words {
    std::string company = cp1252("DISTRIBUIDORA PARANÁ LTDA.");
    std::string title = cp1252("Relatório de Vendas por Cliente");
    std::string period = cp1252("Período: 01/01/2023 a 31/12/2023");
    std::string issued = cp1252("Emissão: &DATA& às &HORA&");
    std::string columns = cp1252("Documento  Emissão    Cliente                        "
                                 "    Valor (R$) Situação");
    std::string footer = cp1252("&TITULO& - documento de uso interno, não divulgar");
    std::string pageOf = cp1252("Página ");
    std::string subtotal = cp1252("Subtotal ");
    std::string note = cp1252("Obs.: ");
    std::vector<std::string> first = cp1252(
        {"João",   "José",     "Antônio", "Conceição", "Márcia", "Luís",    "Sebastião", "Inês",
         "Andréa", "Mônica",   "Fábio",   "Cláudio",   "Lúcia",  "Estêvão", "Ângela",    "Patrícia",
         "Flávio", "Vinícius", "Raquel",  "Helena",    "Carlos", "Marcos",  "Rosângela", "Otávio"});
    std::vector<std::string> last = cp1252(
        {"Araújo",   "Gonçalves", "Magalhães", "Simões",  "da Conceição", "Guimarães", "Brandão",
         "Assunção", "Falcão",    "Romão",     "Lobo",    "Pereira",      "Souza",     "Ribeiro",
         "Nóbrega",  "Tavares",   "Calixto",   "Peçanha", "Bragança",     "Figueiró"});
    std::vector<std::string> business = cp1252(
        {"Comércio de Cereais", "Mercearia", "Supermercado", "Padaria e Confeitaria", "Açougue",
         "Armazém", "Panificadora", "Empório", "Mercadinho", "Atacadão", "Quitanda"});
    std::vector<std::string> cities =
        cp1252({"São Paulo/SP", "Maringá/PR", "Florianópolis/SC", "Goiânia/GO", "Ribeirão Preto/SP",
                "Belém/PA", "Vitória/ES", "Cuiabá/MT", "São Luís/MA", "Jundiaí/SP", "Uberlândia/MG",
                "Macapá/AP", "Criciúma/SC", "Petrópolis/RJ", "Londrina/PR", "Ijuí/RS"});
    std::vector<std::string> status =
        cp1252({"Pago", "Em aberto", "Vencido", "Renegociado", "Protestado", "Cancelado"});
    std::vector<std::string> remarks =
        cp1252({"pedido faturado com bonificação de 3% conforme negociação comercial",
                "entrega programada para a próxima semana, aguardando confirmação do cliente",
                "título enviado a cartório; cobrança encaminhada ao departamento jurídico",
                "cliente solicitou reemissão da nota fiscal com alteração do endereço de entrega",
                "mercadoria devolvida parcialmente por avaria no transporte",
                "crédito liberado pela gerência até a próxima revisão de limite",
                "duplicata descontada no banco, vencimento prorrogado por 15 dias",
                "preço especial de promoção válido até o fim do mês",
                "frete por conta do destinatário (FOB), transportadora indicada pelo cliente",
                "conferência física pendente no depósito de Maringá"});
};

std::string padRight(std::string s, std::size_t width) {
    if (s.size() > width) {
        s.resize(width);
    } else {
        s.append(width - s.size(), ' ');
    }
    return s;
}

std::string padLeft(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

std::string digits(std::uint64_t n, int width) {
    char buf[24];
    const int len =
        std::snprintf(buf, sizeof buf, "%0*llu", width, static_cast<unsigned long long>(n));
    return std::string(buf, static_cast<std::size_t>(len));
}

// An amount as Brazilian money text: "-1.234.567,89".
std::string money(std::int64_t cents) {
    const bool negative = cents < 0;
    std::uint64_t rest = static_cast<std::uint64_t>(negative ? -cents : cents);
    // Built backwards: cents, comma, then groups of three digits.
    std::string out;
    for (int n = 0; n < 3 || rest > 0; ++n) {
        if (n == 2) {
            out += ',';
        } else if (n > 2 && (n - 2) % 3 == 0) {
            out += '.';
        }
        out += static_cast<char>('0' + rest % 10);
        rest /= 10;
    }
    if (negative) {
        out += '-';
    }
    return std::string(out.rbegin(), out.rend());
}

// ---------------------------------------------------------------------------------------------
// Items.

// Attribute codes: 1 italic, 2 bold, 4 underline, 8 expanded, 16/32/64/128 pitch 10/12/17/20.
constexpr int kPlain = 16;
constexpr int kBold = 16 + 2;
constexpr int kItalic = 16 + 1;
constexpr int kHeading = 16 + 2 + 4;
constexpr int kExpanded = 16 + 8;
constexpr int kPitch12 = 32;
constexpr int kPitch17 = 64;
constexpr int kPitch20 = 128;

constexpr int kLinesPerPage = 66;
constexpr int kColumns = 80;
constexpr int kFirstDetailLine = 8;
constexpr int kLastDetailLine = 60;

struct Item {
    int line;
    int column;
    int attribute;
    char kind; // 'T' text, 'B' box letters, 'C' control codes
    const char* colour;
    std::string text;
};

class PageWriter {
public:
    PageWriter(const Words& words, Random& random) : w(words), rnd(random) {}

    // The items of one page in the order a program would write them, exactly `count` of them.
    std::vector<Item> page(int number, int count) {
        items.clear();
        heading();
        std::vector<Item> bottom = footer(number);
        const int fixed = static_cast<int>(items.size() + bottom.size());
        if (fixed >= count) {
            items.insert(items.end(), bottom.begin(), bottom.end());
            items.resize(static_cast<std::size_t>(count), Item{});
            return items;
        }
        // Spread the rest over the detail lines at random: some lines stay blank, some hold
        // one item for the whole line, others one item per field.
        std::array<int, kLastDetailLine + 1> perLine{};
        for (int i = fixed; i < count; ++i) {
            ++perLine[static_cast<std::size_t>(rnd.between(kFirstDetailLine, kLastDetailLine))];
        }
        for (int line = kFirstDetailLine; line <= kLastDetailLine; ++line) {
            detailLine(line, perLine[static_cast<std::size_t>(line)]);
        }
        items.insert(items.end(), bottom.begin(), bottom.end());
        return items;
    }

private:
    void add(int line, int column, int attribute, char kind, const char* colour, std::string text) {
        items.push_back({line, column, attribute, kind, colour, std::move(text)});
    }

    std::string frame(char left, char fill, char right, int width) const {
        return left + std::string(static_cast<std::size_t>(width - 2), fill) + right;
    }

    void heading() {
        if (rnd.percent(40)) {
            add(1, 1, kPlain, 'C', "000000", rnd.percent(50) ? "27 64" : "27 64 27 80");
        }
        add(1, 1, kPlain, 'B', "000000", frame('A', '=', 'B', kColumns));
        add(2, 1, kPlain, 'B', "000000", "I");
        add(2, 3, kExpanded, 'T', "1F3F7F", w.company);
        add(2, 58, kPitch17, 'T', "000000", w.period);
        add(2, kColumns, kPlain, 'B', "000000", "I");
        add(3, 1, kPlain, 'B', "000000", "I");
        add(3, 3, kBold, 'T', "000000", w.title);
        add(3, 50, kPitch12, 'T', "000000", w.issued);
        add(3, kColumns, kPlain, 'B', "000000", "I");
        add(4, 1, kPlain, 'B', "000000", frame('[', '=', ']', kColumns));
        add(5, 1, kPlain, 'B', "000000", "I");
        add(5, 3, kHeading, 'T', "000080", w.columns);
        add(5, kColumns, kPlain, 'B', "000000", "I");
        add(6, 1, kPlain, 'B', "000000", frame('D', '=', 'C', kColumns));
    }

    std::vector<Item> footer(int number) {
        std::vector<Item> out;
        out.push_back({63, 1, kPlain, 'B', "000000", frame('a', '-', 'b', kColumns)});
        out.push_back({64, 2, kPitch17, 'T', "606060", w.footer});
        out.push_back(
            {64, 62, kPlain, 'T', "000000", w.pageOf + std::to_string(number) + " de &PAGE&"});
        return out;
    }

    std::string clientName() {
        // One draw per statement: the order of the operands of + is unspecified, and the bytes
        // must not depend on the compiler.
        std::string name = rnd.percent(55) ? rnd.pick(w.business) : rnd.pick(w.first);
        name += " " + rnd.pick(w.last);
        if (rnd.percent(30)) {
            name += " " + rnd.pick(w.last);
        }
        if (name.size() < 10) {
            name += " " + rnd.pick(w.last);
        }
        if (name.size() > 30) {
            name.resize(30);
            name.erase(name.find_last_not_of(' ') + 1);
        }
        return name;
    }

    std::string date() {
        const int day = rnd.between(1, 28);
        const int month = rnd.between(1, 12);
        return digits(static_cast<std::uint64_t>(day), 2) + "/" +
               digits(static_cast<std::uint64_t>(month), 2) + "/2023";
    }

    std::string document() {
        static const char* const kinds[] = {"NF ", "DP ", "NF ", "CR "};
        const char* kind = kinds[rnd.below(4)];
        return kind + digits(rnd.below(10000000), 7);
    }

    std::int64_t amount() {
        // Mostly hundreds and thousands, now and then a large order.
        const int magnitude = rnd.between(3, rnd.percent(10) ? 9 : 7);
        std::int64_t cents = 1;
        for (int i = 0; i < magnitude; ++i) {
            cents *= 10;
        }
        return static_cast<std::int64_t>(rnd.below(static_cast<std::uint64_t>(cents))) + 100;
    }

    std::string remark(std::size_t minLength, std::size_t maxLength) {
        std::string text = w.note + rnd.pick(w.remarks);
        while (text.size() < minLength) {
            text += "; " + rnd.pick(w.remarks);
        }
        if (text.size() > maxLength) {
            text.resize(maxLength);
            text.erase(text.find_last_not_of(' ') + 1);
        }
        return text;
    }

    void detailLine(int line, int count) {
        if (count == 0) {
            return;
        }
        if (count == 1) {
            const auto roll = rnd.below(100);
            if (roll < 4) {
                add(line, 3, kPlain, 'B', "000000", std::string(kColumns - 4, '-'));
            } else if (roll < 7) {
                const std::int64_t total = amount() * 12;
                const std::string client = clientName();
                add(line, 3, kBold, 'T', "000000",
                    padRight(w.subtotal + client, 48) + padLeft(money(total), 18));
            } else if (roll < 9) {
                // Condensed print fits a longer note: 136 columns at 17 cpi, 160 at 20 cpi.
                const bool twenty = rnd.percent(30);
                add(line, 3, twenty ? kPitch20 : kPitch17, 'T', "000000",
                    twenty ? remark(100, 120) : remark(81, 110));
            } else {
                fullLine(line);
            }
            return;
        }
        // One item per field; with more items than fields, rules between the fields and then
        // further notes over the line.
        const bool negative = rnd.percent(4);
        const bool cancelled = !negative && rnd.percent(1);
        const char* colour = cancelled ? "808080" : "000000";
        const int attribute = cancelled ? kItalic : kPlain;
        std::int64_t value = amount();
        if (negative) {
            value = -value;
        }
        const std::string valueText = padLeft(money(value), 14);
        const char* valueColour = negative ? "FF0000" : colour;
        std::string doc = document();
        std::string when = date();
        std::string client = clientName();
        if (count == 2) {
            add(line, 3, attribute, 'T', colour, doc + " " + when + " " + client);
        } else if (count == 3) {
            add(line, 3, attribute, 'T', colour, doc + " " + when);
            add(line, 25, attribute, 'T', colour, client);
        } else {
            add(line, 3, attribute, 'T', colour, doc);
            add(line, 14, attribute, 'T', colour, when);
            add(line, 25, attribute, 'T', colour, client);
        }
        add(line, 56, attribute, 'T', valueColour, valueText);
        static constexpr int rules[] = {2, 13, 24, 55, 71};
        int extra = count - std::min(count, 4);
        for (std::size_t i = 0; extra > 0 && i < std::size(rules); ++i, --extra) {
            add(line, rules[i], kPlain, 'B', "000000", "i");
        }
        for (; extra > 0; --extra) {
            const int column = rnd.between(3, 60);
            add(line, column, kPitch12, 'T', "000000", remark(10, 60));
        }
    }

    void fullLine(int line) {
        const bool negative = rnd.percent(4);
        std::int64_t value = amount();
        if (negative) {
            value = -value;
        }
        const std::string doc = document();
        const std::string when = date();
        const std::string client = clientName();
        std::string text;
        if (rnd.percent(15)) {
            // The city instead of date, value and status: a shorter, unpadded line.
            text = doc + " " + client + " - " + rnd.pick(w.cities);
        } else {
            text = doc + " " + when + " " + padRight(client, 30) + " " + padLeft(money(value), 14);
            if (rnd.percent(70)) {
                text += " " + rnd.pick(w.status);
            }
        }
        add(line, 3, kPlain, 'T', negative ? "C00000" : "000000", std::move(text));
    }

    const Words& w;
    Random& rnd;
    std::vector<Item> items;
};

// The viewer's order: bytes compared with cp1252 letters folded to lower case, a shorter item
// before a longer one that it begins.
constexpr std::array<unsigned char, 256> kFold = [] {
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i) {
        t[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
    }
    for (int i = 'A'; i <= 'Z'; ++i) {
        t[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i + 0x20);
    }
    for (int i = 0xC0; i <= 0xDE; ++i) {
        if (i != 0xD7) {
            t[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i + 0x20);
        }
    }
    t[0x8A] = 0x9A;
    t[0x8C] = 0x9C;
    t[0x8E] = 0x9E;
    t[0x9F] = 0xFF;
    return t;
}();

bool lessFolded(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char ca = kFold[static_cast<unsigned char>(a[i])];
        const unsigned char cb = kFold[static_cast<unsigned char>(b[i])];
        if (ca != cb) {
            return ca < cb;
        }
    }
    return a.size() < b.size();
}

std::string itemLine(int page, const Item& item, int version) {
    std::string out;
    out.reserve(24 + item.text.size());
    out += digits(static_cast<std::uint64_t>(page), 4);
    out += digits(static_cast<std::uint64_t>(item.line), 3);
    out += digits(static_cast<std::uint64_t>(item.column), 3);
    out += digits(static_cast<std::uint64_t>(item.attribute), 3);
    out += item.kind;
    if (version >= 4) {
        out += item.colour;
    }
    out += item.text;
    return out;
}

// ---------------------------------------------------------------------------------------------
// Command line and output.

struct Options {
    int pages = 9999;
    int itemsPerPage = 100;
    std::uint64_t seed = 1;
    bool shuffle = false;
    int version = 5;
    const char* output = nullptr;
};

void usage(std::FILE* to) {
    std::fputs("usage: gen_report [--pages N] [--items-per-page M] [--seed S] [--shuffle]\n"
               "                  [--version 3|4|5] [FILE]\n"
               "Writes a saved text report of N pages (1..9999, default 9999) with M items each\n"
               "(default 100) to FILE, or to standard output when FILE is missing or \"-\".\n"
               "--shuffle writes the items in random order instead of the viewer's order.\n",
               to);
}

template <class T> bool parseInt(const char* text, T& out) {
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, out);
    return ec == std::errc() && ptr == end && end != text;
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        auto value = [&](auto& out) {
            if (i + 1 >= argc || !parseInt(argv[i + 1], out)) {
                std::fprintf(stderr, "gen_report: %s needs a number\n", argv[i]);
                return false;
            }
            ++i;
            return true;
        };
        if (a == "--pages") {
            if (!value(o.pages)) {
                return false;
            }
        } else if (a == "--items-per-page") {
            if (!value(o.itemsPerPage)) {
                return false;
            }
        } else if (a == "--seed") {
            if (!value(o.seed)) {
                return false;
            }
        } else if (a == "--version") {
            if (!value(o.version)) {
                return false;
            }
        } else if (a == "--shuffle") {
            o.shuffle = true;
        } else if (a == "-h" || a == "--help") {
            usage(stdout);
            std::exit(0);
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "gen_report: unknown option %s\n", argv[i]);
            return false;
        } else if (!o.output) {
            o.output = argv[i];
        } else {
            std::fprintf(stderr, "gen_report: more than one output file\n");
            return false;
        }
    }
    if (o.pages < 1 || o.pages > 9999) {
        std::fprintf(stderr, "gen_report: --pages must be 1..9999 (four digits in an item)\n");
        return false;
    }
    if (o.itemsPerPage < 1 || std::int64_t(o.itemsPerPage) * o.pages > 999999999) {
        std::fprintf(stderr, "gen_report: --items-per-page must be at least 1, and pages times "
                             "items at most 999999999\n");
        return false;
    }
    if (o.version < 3 || o.version > 5) {
        std::fprintf(stderr, "gen_report: --version must be 3, 4 or 5\n");
        return false;
    }
    return true;
}

void writeLine(std::FILE* out, std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), out);
    std::fwrite("\r\n", 1, 2, out);
}

void writeControlRecord(std::FILE* out, const Options& o, const Words& words) {
    static const char* const markers[] = {
        "<< Gravana 3.0 - Morvane Inform\xe1tica >>",
        "<< Gravana 4.0 - Morvane Inform\xe1tica >>",
        "<< Gravana 5.0 - Morvane Sistemas >>",
    };
    writeLine(out, markers[o.version - 3]);
    writeLine(out, "<< ESTE  ARQUIVO N\xc3O DEVE SER EDITADO >>");
    writeLine(out, digits(static_cast<std::uint64_t>(o.pages) *
                              static_cast<std::uint64_t>(o.itemsPerPage),
                          6));
    writeLine(out, words.title);
    writeLine(out, digits(kLinesPerPage, 6));
    writeLine(out, digits(kColumns, 6));
    writeLine(out, "6");
    writeLine(out, "F10");
    writeLine(out, "");
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseOptions(argc, argv, o)) {
        usage(stderr);
        return 2;
    }
    const bool toStdout = !o.output || std::string_view(o.output) == "-";
    std::FILE* out = toStdout ? stdout : std::fopen(o.output, "wb");
    if (!out) {
        std::perror(o.output);
        return 1;
    }
    static char outBuffer[1 << 20];
    std::setvbuf(out, outBuffer, _IOFBF, sizeof outBuffer);

    const Words words;
    Random random(o.seed);
    PageWriter writer(words, random);
    writeControlRecord(out, o, words);

    // Shuffled output needs every item first; sorted output goes page by page, since the
    // four-digit page number leads every item.
    std::string all;
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    if (o.shuffle) {
        spans.reserve(static_cast<std::size_t>(o.pages) * static_cast<std::size_t>(o.itemsPerPage));
    }
    std::vector<std::string> lines;
    for (int page = 1; page <= o.pages; ++page) {
        lines.clear();
        for (const Item& item : writer.page(page, o.itemsPerPage)) {
            lines.push_back(itemLine(page, item, o.version));
        }
        if (o.shuffle) {
            for (const std::string& line : lines) {
                spans.emplace_back(all.size(), line.size());
                all += line;
            }
        } else {
            std::stable_sort(
                lines.begin(), lines.end(),
                [](const std::string& a, const std::string& b) { return lessFolded(a, b); });
            for (const std::string& line : lines) {
                writeLine(out, line);
            }
        }
    }
    if (o.shuffle) {
        for (std::size_t i = spans.size(); i > 1; --i) {
            std::swap(spans[i - 1], spans[random.below(i)]);
        }
        for (const auto& [offset, length] : spans) {
            writeLine(out, std::string_view(all).substr(offset, length));
        }
    }

    const bool failed = std::ferror(out) != 0;
    if ((toStdout ? std::fflush(out) : std::fclose(out)) != 0 || failed) {
        std::fprintf(stderr, "gen_report: could not write %s\n",
                     toStdout ? "the output" : o.output);
        return 1;
    }
    return 0;
}
