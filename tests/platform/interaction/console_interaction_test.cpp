#include "platform/interaction/console_interaction.h"

#include "platform/interaction/cancel_request.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

using zr::ConsoleInteraction;
using zr::MessageKind;

namespace {
QByteArray contents(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    QByteArray out;
    char buf[256];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        out.append(buf, qsizetype(n));
    }
    return out;
}
} // namespace

TEST(ConsoleInteraction, WritesMessagesWithCarriageReturnsAsLineBreaksAndCountsThem) {
    std::FILE* f = std::tmpfile();
    ConsoleInteraction ui(f);
    ui.message(MessageKind::Error, QStringLiteral("Erro na Abertura do arquivo...\r\rArquivo: x"));
    ui.message(MessageKind::Warning, QStringLiteral("aviso"));
    ui.message(MessageKind::Information, QStringLiteral("info"));
    EXPECT_EQ(contents(f), "Erro na Abertura do arquivo...\n\nArquivo: x\naviso\ninfo\n");
    EXPECT_EQ(ui.errors(), 1);
    EXPECT_EQ(ui.warnings(), 1);
    std::fclose(f);
}

TEST(ConsoleInteraction, ShowsNoBarOffATerminalAndStillReportsCancellation) {
    std::FILE* f = std::tmpfile();
    ConsoleInteraction ui(f);
    {
        auto progress = ui.beginProgress({QStringLiteral("Lendo..."), QStringLiteral("r"), 10});
        for (int i = 0; i < 10; ++i) {
            progress->step();
        }
        EXPECT_FALSE(progress->cancelled());
        zr::CancelRequest::set(); // what Ctrl+C does
        EXPECT_TRUE(progress->cancelled());
        zr::CancelRequest::clear();
    }
    EXPECT_TRUE(contents(f).isEmpty());
    // Without a terminal on standard input every question is answered No.
    if (!isatty(0)) {
        EXPECT_FALSE(ui.confirm(QStringLiteral("Sair?"), QString()));
    }
    std::fclose(f);
}
