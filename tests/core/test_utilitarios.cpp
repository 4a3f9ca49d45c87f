// The small pieces every routine leans on: addresses, MACs and labelled
// values as devices and technicians write them, the clock bytes, the code
// pages, the fixed records and the progress queue.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include "core/progresso.h"
#include "core/registros.h"
#include "core/texto.h"
#include "core/thread.h"
#include "core/utilitarios.h"

namespace tvx {
namespace {

using std::chrono::milliseconds;

uint32_t Bytes(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return static_cast<uint32_t>(a) | static_cast<uint32_t>(b) << 8 |
           static_cast<uint32_t>(c) << 16 | static_cast<uint32_t>(d) << 24;
}

TEST(Utilitarios, TextoParaIpComoScanfEIpParaTexto) {
    const std::pair<const char*, uint32_t> casos[] = {
        {"192.168.0.101", Bytes(192, 168, 0, 101)},  // first number in the lowest byte
        // Above 255 is 255; an unsigned short would wrap 65536 to 0.
        {"65536.300.1.99999999999999999999", Bytes(255, 255, 1, 255)},
        {"abc", 0},
        {"10.x.3.4", Bytes(10, 0, 0, 0)},
        {"-1.2.3.4", 0},
        {" 192. 168.000.101", Bytes(192, 168, 0, 101)},
        {"+1.+2.3.4xyz", Bytes(1, 2, 3, 4)},
        {"192 .168.0.1", Bytes(192, 0, 0, 0)},
    };
    for (const auto& [texto, ip] : casos) {
        EXPECT_EQ(TextoParaIp(texto), ip) << texto;
    }
    const std::string anterior = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "pt_BR.UTF-8");  // may not exist; C stays then
    EXPECT_EQ(IpParaTexto(Bytes(192, 168, 0, 101), true), "192.168.0.101");
    EXPECT_EQ(IpParaTexto(Bytes(192, 168, 0, 101), false), "192.168.000.101");
    std::setlocale(LC_ALL, anterior.c_str());
}

TEST(Utilitarios, Mac) {
    const uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x00, 0x01, 0xFF};
    EXPECT_EQ(MacParaTexto(mac), "00:1A:2B:00:01:FF");
    const std::pair<const char*, std::string> casos[] = {
        {"00-1a-2B:3c-4D-5e:77", "00:1A:2B:3C:4D:5E"},  // a seventh group is not read
        {"12:34:zz:56:78:9A", "12:34:00:00:00:00"},     // unreadable: zero from there on
        {"1:2:3", "01:02:03:00:00:00"},                 // "%2X" stops at the first non-digit
    };
    for (const auto& [texto, lido] : casos) {
        uint8_t bytes[7] = {9, 9, 9, 9, 9, 9, 9};
        EXPECT_TRUE(TextoParaMac(texto, bytes));
        EXPECT_EQ(MacParaTexto(bytes), lido) << texto;
        EXPECT_EQ(bytes[6], 9) << texto;
    }
    EXPECT_TRUE(MacValido("00-1a-2B:3c-4D-5e"));
    for (const char* ruim : {"00:1A:2B:3C:4D:5", "00:1A:2B:3C:4D:5E:", "00.1A.2B.3C.4D.5E",
                             "00:1A:2B:3C:4D:5G", "001:A2B:3C:4D:5E:F"}) {
        EXPECT_FALSE(MacValido(ruim)) << ruim;
    }
}

TEST(Utilitarios, TextoEntreMarcasEControles) {
    struct Caso {
        const char* texto;
        const char* inicio;
        size_t tamanho;
        size_t resultado;
        const char* valor;
    };
    const Caso casos[] = {
        {"IP: 10.0.0.5 \r\nMask:255.0.0.0\r\nGateway:10.0.0.1\r\n", "Gateway:", 16, 8, "10.0.0.1"},
        {"Mask:255.255.255.0", "Mask:", 16, 0, ""},  // no end label
        {"\rMask:1", "Mask:", 16, 0, ""},            // the end label only after the start
        {"A:123456789012345\r", "A:", 16, 15, "123456789012345"},  // fits with the terminator
        {"A:1234567890123456\r", "A:", 16, 0, ""},
        {"A:1\r", "A:", 1, 0, ""},
    };
    for (const Caso& c : casos) {
        std::string valor = "lixo";
        EXPECT_EQ(TextoEntreMarcas(c.texto, c.inicio, "\r", valor, c.tamanho), c.resultado)
            << c.texto;
        EXPECT_EQ(valor, c.valor) << c.texto;
    }
    std::string t = "\r\n\v\fa b\t ";
    EXPECT_EQ(Aparar(t), "a b");
    t = "\xA0y\xA0";
    EXPECT_EQ(Aparar(t), "\xA0y\xA0");

    uint8_t buffer[] = {'A', 0x01, 0x09, 0x0A, 0x0D, 0x1F, 0x00, 0x20, 0x7F, 0xE9, 0x02, 'Z'};
    LimparControle(buffer, sizeof buffer);
    const uint8_t esperado[] = {'A', ' ', 0x09, 0x0A, 0x0D, ' ', 0x00, 0x20, 0x7F, 0xE9, ' ', 0};
    EXPECT_EQ(0, std::memcmp(buffer, esperado, sizeof buffer));
    LimparControle(buffer, 0);  // no room even for the terminator
    LimparControle(nullptr, 4);
    EXPECT_EQ(buffer[0], 'A');
}

TEST(Utilitarios, Relogio) {
    uint8_t bytes[6] = {};
    RelogioSeisBytes(Relogio{5, 3, 2019, 14, 7, 9}, bytes);
    const uint8_t relogio[6] = {0x05, 0x03, 0x13, 0x0E, 0x07, 0x09};
    EXPECT_EQ(0, std::memcmp(bytes, relogio, 6));
    EXPECT_TRUE(RelogioSeisBytes(bytes));
    const Relogio agora = LerRelogio();
    EXPECT_GE(agora.ano, 2024);
    EXPECT_EQ(bytes[2], agora.ano % 100);
}

TEST(Registros, TextoLatin1CortadoEEnderecoNaOrdemDoTexto) {
    std::array<uint8_t, 8> campo;
    campo.fill(0xEE);
    GravarTextoNoCampo(campo.data(), campo.size(), "Açaí-Programação", 6);
    EXPECT_EQ((std::array<uint8_t, 8>{'A', 0xE7, 'a', 0xED, '-', 'P', 0, 0}), campo);
    EXPECT_EQ("Açaí-P", TextoDoCampo(campo.data(), campo.size()));
    // A zero inside a value read from a file must not smuggle the bytes after
    // it into the record's padding.
    GravarTextoNoCampo(campo.data(), campo.size(), std::string_view("a\0bcd", 5), 8);
    EXPECT_EQ((std::array<uint8_t, 8>{'a', 0, 0, 0, 0, 0, 0, 0}), campo);
    std::array<uint8_t, 6> r{};
    EscreverIpRegistro(r.data(), 1, 0x6500A8C0u);  // 192.168.0.101
    EXPECT_EQ((std::array<uint8_t, 6>{0, 0xC0, 0xA8, 0x00, 0x65, 0}), r);
    EXPECT_EQ(0x6500A8C0u, LerIpRegistro(r.data(), 1));
}

TEST(Texto, PaginasDeCodigo) {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes.push_back(static_cast<char>(b));
    }
    EXPECT_EQ(Utf8ParaLatin1(Latin1ParaUtf8(bytes)), bytes);
    EXPECT_EQ(Utf8ParaCp1252(Cp1252ParaUtf8(bytes)), bytes);
    EXPECT_EQ(Latin1ParaUtf8("Programa\xE7\xE3o \xE9"), "Programação é");
    // 0x80 to 0x9F: typographic characters in Windows-1252, C1 controls in Latin-1.
    const std::string cp1252 =
        "\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D\u017D"
        "\u008F\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153"
        "\u009D\u017E\u0178";
    EXPECT_EQ(Cp1252ParaUtf8(bytes.substr(0x80, 32)), cp1252);
    EXPECT_EQ(Latin1ParaUtf8("\x80\x9F"), "\xC2\x80\xC2\x9F");
    // Characters without a byte become '?'.
    EXPECT_EQ(Utf8ParaLatin1("10 \u20AC a\u4E2Db \U0001F600"), "10 ? a?b ?");
    EXPECT_EQ(Utf8ParaCp1252("a\u4E2Db \U0001F600 \u0080\u0099 \u0081\u009D"), "a?b ? ?? \x81\x9D");
}

TEST(Texto, Utf8QuebradoViraInterrogacaoSemPerderOQueVemDepois) {
    const std::pair<std::string, std::string> casos[] = {
        {"\x80", "?"},                 // continuation without a lead
        {"a\xC3(", "a?("},             // lead followed by a plain byte
        {"\xC0\xAF", "??"},            // overlong '/'
        {"\xE0\x80\xAF", "???"},       // overlong three-byte
        {"\xED\xA0\x80", "???"},       // surrogate
        {"\xF4\x90\x80\x80", "????"},  // above U+10FFFF
        {"\xF5\x80", "??"},            // never a lead byte
        {"\xFF\xFE", "??"},
        {std::string("\xE2\x82") + "A", "?A"},  // cut short, then text
        {"x\xF0\x9F\x98", "x?"},                // cut short at the end
    };
    for (const auto& [entrada, saida] : casos) {
        EXPECT_EQ(Utf8ParaLatin1(entrada), saida) << testing::PrintToString(entrada);
        EXPECT_EQ(Utf8ParaCp1252(entrada), saida) << testing::PrintToString(entrada);
    }
    // The view ends inside the euro sign; the bytes after it must not be read.
    const std::string euro = "\xE2\x82\xAC";
    EXPECT_EQ(Utf8ParaCp1252(std::string_view(euro.data(), 2)), "?");
}

TEST(Progresso, SoChegaOQueTemJanelaTextoENumeroNasDuasFormas) {
    const uint32_t msg = MensagemIncluirProcesso();
    EXPECT_GE(msg, 0xC000u);
    EXPECT_EQ(RegistrarMensagem("wm_incluir_processo"), msg);
    EXPECT_EQ(RegistrarMensagem(""), 0u);
    const uint32_t alheia = RegistrarMensagem("TVX_ALHEIA");
    EXPECT_NE(alheia, msg);
    EXPECT_EQ(RegistrarMensagem("tvx_alheia"), alheia);  // names fold to lower case

    FilaProgresso fila;
    EXPECT_FALSE(PostarTexto(nullptr, msg, "OK") || PostarTextoFixo(nullptr, msg, "OK"));
    EXPECT_FALSE(PostarTextoFixo(&fila, msg, nullptr) || PostarTexto(&fila, alheia, "alheia") ||
                 PostarTexto(&fila, 0, "zero"));
    std::string texto = "Ping 192.168.0.101 OK\r\nTempo: 1ms";
    EXPECT_TRUE(PostarTexto(&fila, msg, texto));
    texto.assign("mudado depois");
    EXPECT_TRUE(PostarTextoFixo(&fila, msg, "Programação iniciada..."));
    EXPECT_TRUE(PostarTexto(&fila, msg, ""));  // still a line at this level
    for (const auto& [esperado, fixo] : {std::pair{"Ping 192.168.0.101 OK\r\nTempo: 1ms", false},
                                         {"Programação iniciada...", true},
                                         {"", false}}) {
        const auto linha = fila.Retirar(milliseconds(0));
        ASSERT_TRUE(linha.has_value());
        EXPECT_EQ(linha->texto, esperado);
        EXPECT_EQ(linha->fixo, fixo);
    }
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_FALSE(fila.Retirar(milliseconds(150)).has_value());
    EXPECT_GE(std::chrono::steady_clock::now() - inicio, milliseconds(145));
}

// The worker wrapper: what the runs do not show (a stop left pending for the
// next run, the end of the object while a run is active, an exception or a
// stop from inside the run); the runs themselves start and stop it.

using std::chrono::milliseconds;
using Trabalho = std::function<uint32_t(cThread&)>;

// Holds nothing of its own, so that only the base destructor stops the run.
class Trabalhador : public cThread {
  public:
    explicit Trabalhador(const Trabalho& trabalho) : trabalho_(trabalho) {}

  protected:
    uint32_t Executa() override {
        const Trabalho& trabalho = trabalho_;
        return trabalho(*this);
    }

  private:
    const Trabalho& trabalho_;
};

bool Aguardar(const std::atomic<int>& valor, int esperado) {
    for (int i = 0; i < 5000 && valor != esperado; ++i) {
        std::this_thread::sleep_for(milliseconds(1));
    }
    return valor == esperado;
}

TEST(Thread, NovaExecucaoNaoComecaParadaEDestrutorPara) {
    // The stop the run sees first arrived after the previous run's last check.
    std::atomic<int> fase{0};
    std::atomic<int> inicios{0};
    const Trabalho trabalho = [&](cThread& eu) {
        inicios += eu.DeveParar(0) ? 1 : 100;  // 1 for a run that starts stopped
        fase = 1;
        for (int i = 0; i < 1000 && !eu.DeveParar(10); ++i) {
        }
        fase = 2;
        return 0u;
    };
    {
        Trabalhador t(trabalho);
        EXPECT_TRUE(t.Para());  // nothing running: no signal left behind
        for (int rodada = 0; rodada < 3; ++rodada) {
            fase = 0;
            ASSERT_TRUE(t.Inicia());
            ASSERT_TRUE(Aguardar(fase, 1));
            EXPECT_TRUE(t.Inicia());  // already running: no second run
            EXPECT_TRUE(rodada == 2 || t.Para());
        }
    }
    EXPECT_EQ(fase.load(), 2);
    EXPECT_EQ(inicios.load(), 300);  // three runs, none stopped at its start
}

TEST(Thread, ExcecaoOuParaDentroDoTrabalho) {
    // An exception ends the run, not the program. The worker cannot wait for
    // itself: false, but the request stands.
    std::atomic<bool> resultado{true};
    std::atomic<bool> viu{false};
    const Trabalho trabalho = [&](cThread& eu) -> uint32_t {
        resultado = eu.Para();
        viu = eu.DeveParar(0);
        throw std::runtime_error("falha");
    };
    Trabalhador t(trabalho);
    ASSERT_TRUE(t.Inicia());
    EXPECT_FALSE(t.EmExecucao(3000));
    EXPECT_FALSE(resultado.load());
    EXPECT_TRUE(viu.load());
}

}  // namespace
}  // namespace tvx
