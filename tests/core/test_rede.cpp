#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/os/rede_os.h"
#include "core/utilitarios.h"
#include "support/rede_isolada.h"

namespace tvx {
namespace {

using teste::RedeIsolada;
using RelogioMonotonico = std::chrono::steady_clock;

const uint32_t kLoopback = TextoParaIp("127.0.0.1");

long long MsDesde(RelogioMonotonico::time_point inicio) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(RelogioMonotonico::now() - inicio)
        .count();
}

std::string LerArquivo(const char* caminho) {
    std::ifstream f(caminho);
    std::string conteudo;
    std::getline(f, conteudo);
    return conteudo;
}

// Echoes need an ICMP datagram socket (net.ipv4.ping_group_range) or a raw
// one (CAP_NET_RAW); a user with neither cannot ping at all.
#define TVX_PRECISA_DE_ICMP()                                                                \
    do {                                                                                     \
        RespostaEco r_;                                                                      \
        if (!Pingar(kLoopback, r_, 32, 1000) &&                                              \
            (UltimoErroPing() == EPERM || UltimoErroPing() == EACCES)) {                     \
            GTEST_SKIP() << "no ICMP socket for this user: needs net.ipv4.ping_group_range " \
                            "or CAP_NET_RAW";                                                \
        }                                                                                    \
    } while (0)

TEST(Pingar, LoopbackRespondeComOEnderecoEOTamanho) {
    TVX_PRECISA_DE_ICMP();
    RespostaEco resposta;
    ASSERT_TRUE(Pingar(kLoopback, resposta, 32, 1000)) << "erro " << UltimoErroPing();
    EXPECT_EQ(resposta.status, kIpSucesso);
    EXPECT_EQ(resposta.endereco, kLoopback);
    EXPECT_EQ(IpParaTexto(resposta.endereco, true), "127.0.0.1");
    EXPECT_EQ(resposta.tamanhoDados, 32);
    EXPECT_LT(resposta.tempoMs, 1000u);
    EXPECT_EQ(UltimoErroPing(), 0);
}

TEST(Pingar, TamanhosExtremosAceitosForaDaFaixaRecusados) {
    TVX_PRECISA_DE_ICMP();
    RespostaEco resposta;
    ASSERT_TRUE(Pingar(kLoopback, resposta, 1, 1000));
    EXPECT_EQ(resposta.tamanhoDados, 1);
    ASSERT_TRUE(Pingar(kLoopback, resposta, 11, 1000));  // shorter than the text
    EXPECT_EQ(resposta.tamanhoDados, 11);
    ASSERT_TRUE(Pingar(kLoopback, resposta, kTamanhoMaximoEco, 1000));
    EXPECT_EQ(resposta.tamanhoDados, 2048);

    const auto inicio = RelogioMonotonico::now();
    EXPECT_FALSE(Pingar(kLoopback, resposta, 0, 1000));
    EXPECT_EQ(UltimoErroPing(), EINVAL);
    EXPECT_FALSE(Pingar(kLoopback, resposta, 2049, 1000));
    EXPECT_EQ(UltimoErroPing(), EINVAL);
    EXPECT_LT(MsDesde(inicio), 100);  // refused before anything is sent
}

TEST(Pingar, OErroEhDaThreadQueFalhou) {
    TVX_PRECISA_DE_ICMP();
    RespostaEco resposta;
    ASSERT_FALSE(Pingar(kLoopback, resposta, 0, 1000));
    long naOutra = -1;
    std::thread([&] {
        RespostaEco r;
        Pingar(kLoopback, r, 32, 1000);
        naOutra = UltimoErroPing();
    }).join();
    EXPECT_EQ(naOutra, 0);
    EXPECT_EQ(UltimoErroPing(), EINVAL);
}

TEST(Pingar, SocketBrutoEDatagramaDaoOMesmoResultado) {
    const std::string noHost = LerArquivo("/proc/sys/net/ipv4/ping_group_range");
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        long erro = 0;
        RespostaEco resposta;
        ASSERT_TRUE(os::EcoIcmp(kLoopback, 2048, 1000, os::ModoIcmp::Bruto, resposta, erro))
            << erro;
        EXPECT_EQ(resposta.endereco, kLoopback);
        EXPECT_EQ(resposta.tamanhoDados, 2048);

        // A fresh namespace lets no group use datagram sockets: the automatic
        // choice then falls back to the raw socket.
        EXPECT_EQ(LerArquivo("/proc/sys/net/ipv4/ping_group_range"), "1\t0");
        EXPECT_FALSE(os::EcoIcmp(kLoopback, 32, 1000, os::ModoIcmp::Datagrama, resposta, erro));
        EXPECT_EQ(erro, EACCES);
        EXPECT_TRUE(Pingar(kLoopback, resposta, 32, 1000));

        ASSERT_TRUE(rede.PermitirPingSemPrivilegio());
        ASSERT_TRUE(os::EcoIcmp(kLoopback, 2048, 1000, os::ModoIcmp::Datagrama, resposta, erro))
            << erro;
        EXPECT_EQ(resposta.endereco, kLoopback);
        EXPECT_EQ(resposta.status, kIpSucesso);
        EXPECT_EQ(resposta.tamanhoDados, 2048);
        ASSERT_TRUE(os::EcoIcmp(kLoopback, 1, 1000, os::ModoIcmp::Datagrama, resposta, erro));
        EXPECT_EQ(resposta.tamanhoDados, 1);
    });
    // The namespace's setting never reached the host.
    EXPECT_EQ(LerArquivo("/proc/sys/net/ipv4/ping_group_range"), noHost);
}

TEST(Pingar, EnderecoSemNinguemEsgotaOTempo) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.77.0.0/24"));
        const uint32_t mudo = TextoParaIp("10.77.0.2");
        for (os::ModoIcmp modo : {os::ModoIcmp::Bruto, os::ModoIcmp::Datagrama}) {
            if (modo == os::ModoIcmp::Datagrama) {
                ASSERT_TRUE(rede.PermitirPingSemPrivilegio());
            }
            RespostaEco resposta;
            long erro = 0;
            const auto inicio = RelogioMonotonico::now();
            EXPECT_FALSE(os::EcoIcmp(mudo, 32, 1000, modo, resposta, erro));
            const long long ms = MsDesde(inicio);
            EXPECT_EQ(erro, kIpTempoEsgotado);
            EXPECT_EQ(resposta.status, kIpTempoEsgotado);
            EXPECT_GE(ms, 990);
            EXPECT_LT(ms, 1500);
        }
        RespostaEco resposta;
        EXPECT_FALSE(Pingar(mudo, resposta, 32, 300));
        EXPECT_EQ(UltimoErroPing(), 11010);
    });
}

TEST(Pingar, TrafegoAlheioNaoEstendeAEspera) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.77.0.0/24"));
        // Another pinger on this host keeps getting answers from loopback
        // while our echo waits for a silent address.
        std::atomic<bool> fim{false};
        std::thread vizinho([&] {
            const auto limite = RelogioMonotonico::now() + std::chrono::seconds(5);
            while (!fim && RelogioMonotonico::now() < limite) {
                long e;
                RespostaEco r;
                os::EcoIcmp(kLoopback, 64, 100, os::ModoIcmp::Bruto, r, e);
            }
        });
        RespostaEco resposta;
        long erro = 0;
        const auto inicio = RelogioMonotonico::now();
        EXPECT_FALSE(
            os::EcoIcmp(TextoParaIp("10.77.0.9"), 32, 700, os::ModoIcmp::Bruto, resposta, erro));
        const long long ms = MsDesde(inicio);
        fim = true;
        vizinho.join();
        EXPECT_EQ(erro, kIpTempoEsgotado);
        EXPECT_GE(ms, 690);
        EXPECT_LT(ms, 1200);
    });
}

TEST(Pingar, HostInalcancavelNaRedeLocal) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        // A link with ARP that leads nowhere: after the neighbour resolution
        // gives up (about 3 s), the kernel answers "host unreachable".
        ASSERT_TRUE(rede.CriarParVeth("tvxa", "tvxb"));
        ASSERT_TRUE(rede.AdicionarEndereco("10.78.0.1/24", "tvxa"));
        for (os::ModoIcmp modo : {os::ModoIcmp::Bruto, os::ModoIcmp::Datagrama}) {
            if (modo == os::ModoIcmp::Datagrama) {
                ASSERT_TRUE(rede.PermitirPingSemPrivilegio());
            }
            RespostaEco resposta;
            long erro = 0;
            const uint32_t ausente =
                TextoParaIp(modo == os::ModoIcmp::Bruto ? "10.78.0.2" : "10.78.0.3");
            EXPECT_FALSE(os::EcoIcmp(ausente, 32, 8000, modo, resposta, erro));
            EXPECT_EQ(erro, kIpDestinoInalcancavel);
            EXPECT_EQ(resposta.status, kIpDestinoInalcancavel);
            EXPECT_EQ(resposta.endereco, TextoParaIp("10.78.0.1"));
            EXPECT_LT(resposta.tempoMs, 8000u);
        }
    });
}

// An IPv4 header (no options) from origem to destino carrying ICMP.
std::vector<uint8_t> PacoteIp(uint32_t origem, uint32_t destino, std::vector<uint8_t> icmp) {
    std::vector<uint8_t> p = {0x45, 0, 0, 0, 0, 0, 0, 0, 64, 1, 0, 0};
    for (uint32_t ip : {origem, destino}) {
        for (int i = 0; i < 4; ++i) {
            p.push_back(static_cast<uint8_t>(ip >> (8 * i)));
        }
    }
    p.insert(p.end(), icmp.begin(), icmp.end());
    return p;
}

std::vector<uint8_t> Icmp(uint8_t tipo, uint8_t codigo, uint16_t id, uint16_t seq,
                          size_t dados = 0) {
    std::vector<uint8_t> p = {tipo,
                              codigo,
                              0,
                              0,
                              static_cast<uint8_t>(id >> 8),
                              static_cast<uint8_t>(id),
                              static_cast<uint8_t>(seq >> 8),
                              static_cast<uint8_t>(seq)};
    p.resize(8 + dados, 0);
    return p;
}

class AnalisePacote : public ::testing::Test {
  protected:
    AnalisePacote() {
        pedido.destino = TextoParaIp("192.168.0.101");
        pedido.identificador = 0xBEEF;
        pedido.sequencia = 0x0102;
    }
    os::Analise Analisar(const std::vector<uint8_t>& p) {
        resposta = RespostaEco{};
        return os::AnalisarPacoteIp(pedido, p.data(), p.size(), resposta);
    }
    // An ICMP error from quem quoting an echo request to para.
    std::vector<uint8_t> ErroCitando(uint8_t tipo, uint8_t codigo, uint32_t quem, uint32_t para,
                                     uint16_t id, uint16_t seq) {
        std::vector<uint8_t> erro = Icmp(tipo, codigo, 0, 0);
        const std::vector<uint8_t> citado = PacoteIp(local, para, Icmp(8, 0, id, seq));
        erro.insert(erro.end(), citado.begin(), citado.end());
        return PacoteIp(quem, local, erro);
    }

    const uint32_t local = TextoParaIp("192.168.0.10");
    os::PedidoEco pedido;
    RespostaEco resposta;
};

TEST_F(AnalisePacote, RespostaSoDoEnderecoPedidoComIdentificadorESequencia) {
    EXPECT_EQ(Analisar(PacoteIp(pedido.destino, local, Icmp(0, 0, 0xBEEF, 0x0102, 32))),
              os::Analise::Resposta);
    EXPECT_EQ(resposta.endereco, pedido.destino);
    EXPECT_EQ(resposta.tamanhoDados, 32);

    const uint32_t outro = TextoParaIp("192.168.0.102");
    EXPECT_EQ(Analisar(PacoteIp(outro, local, Icmp(0, 0, 0xBEEF, 0x0102, 32))),
              os::Analise::Alheio);
    EXPECT_EQ(Analisar(PacoteIp(pedido.destino, local, Icmp(0, 0, 0xBEEE, 0x0102))),
              os::Analise::Alheio);
    EXPECT_EQ(Analisar(PacoteIp(pedido.destino, local, Icmp(0, 0, 0xBEEF, 0x0101))),
              os::Analise::Alheio);
    // Our own request, seen on loopback, is not its reply.
    EXPECT_EQ(Analisar(PacoteIp(pedido.destino, local, Icmp(8, 0, 0xBEEF, 0x0102))),
              os::Analise::Alheio);
}

TEST_F(AnalisePacote, ErroQueCitaONossoPedido) {
    const uint32_t roteador = TextoParaIp("192.168.0.1");
    EXPECT_EQ(Analisar(ErroCitando(3, 1, roteador, pedido.destino, 0xBEEF, 0x0102)),
              os::Analise::Erro);
    EXPECT_EQ(resposta.endereco, roteador);
    EXPECT_EQ(resposta.status, kIpDestinoInalcancavel);
    EXPECT_EQ(resposta.tamanhoDados, 0);
    EXPECT_EQ(Analisar(ErroCitando(11, 0, roteador, pedido.destino, 0xBEEF, 0x0102)),
              os::Analise::Erro);
    EXPECT_EQ(resposta.status, 11013u);

    // Errors about somebody else's echo are none of ours.
    EXPECT_EQ(Analisar(ErroCitando(3, 1, roteador, pedido.destino, 0xBEEF, 0x0103)),
              os::Analise::Alheio);
    EXPECT_EQ(Analisar(ErroCitando(3, 1, roteador, TextoParaIp("10.0.0.1"), 0xBEEF, 0x0102)),
              os::Analise::Alheio);
    // A redirect is not an error of the echo.
    EXPECT_EQ(Analisar(ErroCitando(5, 1, roteador, pedido.destino, 0xBEEF, 0x0102)),
              os::Analise::Alheio);
}

TEST_F(AnalisePacote, PacotesTruncadosOuMalFormadosSaoIgnorados) {
    const std::vector<uint8_t> bom =
        ErroCitando(3, 1, TextoParaIp("192.168.0.1"), pedido.destino, 0xBEEF, 0x0102);
    // Every cut short of the quoted identifier and sequence is ignored, and
    // nothing past the end is read (the sanitizers watch that).
    for (size_t n = 0; n < bom.size(); ++n) {
        const std::vector<uint8_t> curto(bom.begin(), bom.begin() + static_cast<long>(n));
        EXPECT_EQ(Analisar(curto), os::Analise::Alheio) << n;
    }
    std::vector<uint8_t> cabecalhoLongo =
        PacoteIp(pedido.destino, local, Icmp(0, 0, 0xBEEF, 0x0102));
    cabecalhoLongo[0] = 0x4F;  // claims 60 header bytes
    EXPECT_EQ(Analisar(cabecalhoLongo), os::Analise::Alheio);
    std::vector<uint8_t> cabecalhoCurto = cabecalhoLongo;
    cabecalhoCurto[0] = 0x44;  // claims 16 header bytes
    EXPECT_EQ(Analisar(cabecalhoCurto), os::Analise::Alheio);
    std::vector<uint8_t> ipv6 = PacoteIp(pedido.destino, local, Icmp(0, 0, 0xBEEF, 0x0102));
    ipv6[0] = 0x65;
    EXPECT_EQ(Analisar(ipv6), os::Analise::Alheio);
    std::vector<uint8_t> udp = PacoteIp(pedido.destino, local, Icmp(0, 0, 0xBEEF, 0x0102));
    udp[9] = 17;
    EXPECT_EQ(Analisar(udp), os::Analise::Alheio);
}

TEST(TabelaEnderecos, TemOLoopback) {
    std::vector<LinhaEndereco> tabela;
    ASSERT_EQ(TabelaEnderecos(tabela), 0);
    const auto lo = std::find_if(tabela.begin(), tabela.end(),
                                 [](const LinhaEndereco& l) { return l.endereco == kLoopback; });
    ASSERT_NE(lo, tabela.end());
    EXPECT_EQ(lo->mascara, TextoParaIp("255.0.0.0"));
    EXPECT_EQ(lo->nomeInterface, "lo");
    EXPECT_GT(lo->indiceInterface, 0u);
}

TEST(TabelaEnderecos, VeOsEnderecosDaRedeIsolada) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/24"));
        std::vector<LinhaEndereco> tabela;
        ASSERT_EQ(TabelaEnderecos(tabela), 0);
        ASSERT_EQ(tabela.size(), 2u);
        EXPECT_EQ(IpParaTexto(tabela[1].endereco, true), "192.168.0.101");
        EXPECT_EQ(IpParaTexto(tabela[1].mascara, true), "255.255.255.0");
        EXPECT_EQ(tabela[1].nomeInterface, "lo");
    });
}

TEST(RemoverArp, TextoInvalidoEhFalso) {
    EXPECT_FALSE(RemoverArp("300.1.2.3"));
    EXPECT_FALSE(RemoverArp("lixo"));
    EXPECT_FALSE(RemoverArp(""));
    EXPECT_FALSE(RemoverArp("1.2.3"));
    EXPECT_FALSE(RemoverArp("127.0.0.1 "));
    EXPECT_FALSE(RemoverArp(std::string_view("127.0.0.1\0x", 11)));
}

TEST(RemoverArp, ApagaSoAEntradaPedida) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.CriarParVeth("tvxa", "tvxb"));
        ASSERT_TRUE(rede.AdicionarEndereco("10.78.0.1/24", "tvxa"));
        ASSERT_EQ(
            rede.Executar("ip neigh add 10.78.0.5 lladdr 02:00:00:00:00:05 dev tvxa nud stale && "
                          "ip neigh add 10.78.0.6 lladdr 02:00:00:00:00:06 dev tvxa nud stale && "
                          "ip neigh add 10.78.0.5 lladdr 02:00:00:00:00:55 dev tvxb nud stale"),
            0)
            << "iproute2 is needed to add neighbour entries";

        EXPECT_TRUE(RemoverArp("10.78.0.5"));
        std::string vizinhos;
        ASSERT_EQ(rede.Executar("ip -4 neigh show", &vizinhos), 0);
        EXPECT_EQ(vizinhos.find("10.78.0.5 dev tvxa"), std::string::npos) << vizinhos;
        EXPECT_NE(vizinhos.find("10.78.0.6 dev tvxa lladdr 02:00:00:00:00:06"), std::string::npos)
            << vizinhos;
        // tvxb has no address on that subnet: its entry is not ours to touch.
        EXPECT_NE(vizinhos.find("10.78.0.5 dev tvxb lladdr 02:00:00:00:00:55"), std::string::npos)
            << vizinhos;

        EXPECT_FALSE(RemoverArp("10.78.0.5"));  // already gone
        EXPECT_FALSE(RemoverArp("10.79.0.6"));  // on no attached subnet
        EXPECT_FALSE(RemoverArp("10.78.0.7"));  // no entry
    });
}

TEST(RedeIsolada, SoLoopbackEEnderecosProprios) {
    std::vector<LinhaEndereco> fora;
    ASSERT_EQ(TabelaEnderecos(fora), 0);
    bool rodou = false;
    TVX_EM_REDE_ISOLADA([&](RedeIsolada& rede) {
        rodou = true;
        EXPECT_EQ(rede.Interfaces(), std::vector<std::string>{"lo"});
        ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/32"));
        // Sockets of this thread see the namespace: the address can be bound.
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = 0;
        inet_pton(AF_INET, "192.168.0.101", &a.sin_addr);
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << strerror(errno);
        close(fd);
        // So do child processes.
        std::string saida;
        if (rede.Executar("ip -o link show", &saida) == 0) {
            EXPECT_EQ(std::count(saida.begin(), saida.end(), '\n'), 1) << saida;
        }
    });
    EXPECT_TRUE(rodou);
    // The caller's network is as it was.
    std::vector<LinhaEndereco> depois;
    ASSERT_EQ(TabelaEnderecos(depois), 0);
    EXPECT_EQ(depois.size(), fora.size());
    for (const LinhaEndereco& l : depois) {
        EXPECT_NE(IpParaTexto(l.endereco, true), "192.168.0.101");
    }
}

TEST(RedeIsolada, ExcecaoDoCorpoViraFalha) {
    std::string motivo;
    if (!teste::ExecutarEmRedeIsolada([](RedeIsolada&) {}, &motivo)) {
        GTEST_SKIP() << motivo;
    }
    EXPECT_NONFATAL_FAILURE(
        teste::ExecutarEmRedeIsolada([](RedeIsolada&) { throw std::runtime_error("quebrou"); }),
        "quebrou");
}

}  // namespace
}  // namespace tvx
