// Real ICMP echoes, the address table and the neighbour removal, on loopback
// and inside isolated network namespaces; and the parsing of what the ICMP
// socket hands back.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/os/rede_os.h"
#include "core/utilitarios.h"
#include "support/log_lido.h"
#include "support/par_tcp.h"
#include "support/rede_isolada.h"

namespace tvx {
namespace {

using teste::MsDesde;
using teste::RedeIsolada;
using Relogio = std::chrono::steady_clock;

const uint32_t kLoopback = TextoParaIp("127.0.0.1");

// /proc/sys/net answers for the namespace of the process that opens it: this
// lets every group open ICMP datagram sockets here, not on the host.
bool PermitirPingSemPrivilegio(RedeIsolada& rede) {
    return rede.Executar("echo 0 2147483647 > /proc/sys/net/ipv4/ping_group_range") == 0;
}

TEST(Pingar, LoopbackTamanhosEErroPorThread) {
    RespostaEco r;
    if (!Pingar(kLoopback, r, 32, 1000) &&
        (UltimoErroPing() == EPERM || UltimoErroPing() == EACCES)) {
        GTEST_SKIP()
            << "no ICMP socket for this user: needs net.ipv4.ping_group_range or CAP_NET_RAW";
    }
    for (uint16_t tamanho : {11, 2048}) {  // 11: shorter than the text
        ASSERT_TRUE(Pingar(kLoopback, r, tamanho, 1000)) << UltimoErroPing();
        EXPECT_EQ(r.endereco, kLoopback);
        EXPECT_EQ(r.tamanhoDados, tamanho);
        EXPECT_LT(r.tempoMs, 1000u);
    }
    const auto inicio = Relogio::now();
    EXPECT_FALSE(Pingar(kLoopback, r, 2049, 1000));
    EXPECT_FALSE(Pingar(kLoopback, r, 0, 1000));
    EXPECT_EQ(UltimoErroPing(), EINVAL);
    EXPECT_LT(MsDesde(inicio), 100);  // refused before anything is sent
    long naOutra = -1;
    std::thread([&] {
        RespostaEco outra;
        Pingar(kLoopback, outra, 32, 1000);
        naOutra = UltimoErroPing();
    }).join();
    EXPECT_EQ(naOutra, 0);
    EXPECT_EQ(UltimoErroPing(), EINVAL);
}

TEST(Pingar, SocketBrutoEDatagramaNaRedeIsolada) {
    const std::string noHost = teste::LerArquivo("/proc/sys/net/ipv4/ping_group_range");
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        long erro = 0;
        RespostaEco r;
        ASSERT_TRUE(os::EcoIcmp(kLoopback, 2048, 1000, os::ModoIcmp::Bruto, r, erro)) << erro;
        EXPECT_EQ(r.tamanhoDados, 2048);
        // A fresh namespace lets no group use datagram sockets: the automatic
        // choice then falls back to the raw socket.
        EXPECT_FALSE(os::EcoIcmp(kLoopback, 32, 1000, os::ModoIcmp::Datagrama, r, erro));
        EXPECT_EQ(erro, EACCES);
        EXPECT_TRUE(Pingar(kLoopback, r, 32, 1000));
        ASSERT_TRUE(PermitirPingSemPrivilegio(rede));
        ASSERT_TRUE(os::EcoIcmp(kLoopback, 2048, 1000, os::ModoIcmp::Datagrama, r, erro));
        EXPECT_EQ(r.endereco, kLoopback);
        EXPECT_EQ(r.tamanhoDados, 2048);

        // Silence, also while another pinger keeps getting answers from loopback.
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.77.0.0/24"));
        std::atomic<bool> fim{false};
        std::thread vizinho([&] {
            for (int i = 0; i < 100 && !fim; ++i) {
                long e;
                RespostaEco outra;
                os::EcoIcmp(kLoopback, 64, 100, os::ModoIcmp::Bruto, outra, e);
            }
        });
        for (os::ModoIcmp modo : {os::ModoIcmp::Bruto, os::ModoIcmp::Datagrama}) {
            const auto inicio = Relogio::now();
            EXPECT_FALSE(os::EcoIcmp(TextoParaIp("10.77.0.2"), 32, 1000, modo, r, erro));
            const long long ms = MsDesde(inicio);
            EXPECT_EQ(erro, kIpTempoEsgotado);
            EXPECT_EQ(r.status, kIpTempoEsgotado);
            EXPECT_GE(ms, 990);
            EXPECT_LT(ms, 1500);
        }
        fim = true;
        vizinho.join();
    });
    // The namespace's setting never reached the host.
    EXPECT_EQ(teste::LerArquivo("/proc/sys/net/ipv4/ping_group_range"), noHost);
}

TEST(Pingar, HostInalcancavelEVizinhoRemovidoNaRedeLocal) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        // A link with ARP that leads nowhere: after the neighbour resolution
        // gives up (about 3 s), the kernel answers "host unreachable".
        ASSERT_TRUE(rede.CriarParVeth("tvxa", "tvxb"));
        ASSERT_TRUE(rede.AdicionarEndereco("10.78.0.1/24", "tvxa"));
        ASSERT_TRUE(PermitirPingSemPrivilegio(rede));
        std::vector<std::thread> ecos;
        for (os::ModoIcmp modo : {os::ModoIcmp::Bruto, os::ModoIcmp::Datagrama}) {
            ecos.emplace_back([modo] {
                RespostaEco r;
                long erro = 0;
                const char* ausente = modo == os::ModoIcmp::Bruto ? "10.78.0.2" : "10.78.0.3";
                EXPECT_FALSE(os::EcoIcmp(TextoParaIp(ausente), 32, 8000, modo, r, erro));
                EXPECT_EQ(erro, kIpDestinoInalcancavel);
                EXPECT_EQ(r.status, kIpDestinoInalcancavel);
                EXPECT_EQ(r.endereco, TextoParaIp("10.78.0.1"));
                EXPECT_LT(r.tempoMs, 8000u);
            });
        }

        std::vector<LinhaEndereco> tabela;
        ASSERT_EQ(TabelaEnderecos(tabela), 0);
        ASSERT_EQ(tabela.size(), 2u);
        EXPECT_EQ(tabela[0].nomeInterface, "lo");
        EXPECT_EQ(IpParaTexto(tabela[1].endereco, true), "10.78.0.1");
        EXPECT_EQ(IpParaTexto(tabela[1].mascara, true), "255.255.255.0");
        EXPECT_EQ(tabela[1].nomeInterface, "tvxa");

        ASSERT_EQ(
            rede.Executar("ip neigh add 10.78.0.5 lladdr 02:00:00:00:00:05 dev tvxa nud stale && "
                          "ip neigh add 10.78.0.6 lladdr 02:00:00:00:00:06 dev tvxa nud stale && "
                          "ip neigh add 10.78.0.5 lladdr 02:00:00:00:00:55 dev tvxb nud stale"),
            0);
        EXPECT_TRUE(RemoverArp("10.78.0.5"));
        std::string vizinhos;
        ASSERT_EQ(rede.Executar("ip -4 neigh show", &vizinhos), 0);
        EXPECT_EQ(vizinhos.find("10.78.0.5 dev tvxa"), std::string::npos) << vizinhos;
        EXPECT_NE(vizinhos.find("10.78.0.6 dev tvxa lladdr 02:00:00:00:00:06"), std::string::npos);
        // tvxb has no address on that subnet: its entry is not ours to touch.
        EXPECT_NE(vizinhos.find("10.78.0.5 dev tvxb lladdr 02:00:00:00:00:55"), std::string::npos);
        for (const char* nao : {"10.78.0.5", "10.79.0.6", "300.1.2.3", "127.0.0.1 ", ""}) {
            EXPECT_FALSE(RemoverArp(nao)) << nao;  // gone, no subnet, no address
        }
        for (std::thread& t : ecos) {
            t.join();
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
    std::vector<uint8_t> p(8 + dados, 0);
    p[0] = tipo, p[1] = codigo;
    p[4] = static_cast<uint8_t>(id >> 8), p[5] = static_cast<uint8_t>(id);
    p[6] = static_cast<uint8_t>(seq >> 8), p[7] = static_cast<uint8_t>(seq);
    return p;
}

TEST(AnalisePacote, SoORetornoOuOErroDoNossoPedido) {
    const uint32_t local = TextoParaIp("192.168.0.10");
    const uint32_t destino = TextoParaIp("192.168.0.101");
    const uint32_t roteador = TextoParaIp("192.168.0.1");
    // An ICMP error from quem quoting an echo request to para.
    auto erroCitando = [&](uint8_t tipo, uint8_t codigo, uint32_t para, uint16_t seq) {
        std::vector<uint8_t> erro = Icmp(tipo, codigo, 0, 0);
        const std::vector<uint8_t> citado = PacoteIp(local, para, Icmp(8, 0, 0xBEEF, seq));
        erro.insert(erro.end(), citado.begin(), citado.end());
        return PacoteIp(roteador, local, erro);
    };
    const os::PedidoEco pedido{destino, 0xBEEF, 0x0102};
    struct Caso {
        std::vector<uint8_t> pacote;
        os::Analise analise;
        uint32_t endereco;
        uint32_t status;
        uint16_t tamanho;
    };
    // clang-format off
    const std::vector<Caso> casos = {
        {PacoteIp(destino, local, Icmp(0, 0, 0xBEEF, 0x0102, 32)), os::Analise::Resposta, destino, 0, 32},
        {PacoteIp(roteador, local, Icmp(0, 0, 0xBEEF, 0x0102, 32)), os::Analise::Alheio, 0, 0, 0},
        {PacoteIp(destino, local, Icmp(0, 0, 0xBEEE, 0x0102)), os::Analise::Alheio, 0, 0, 0},
        {PacoteIp(destino, local, Icmp(0, 0, 0xBEEF, 0x0101)), os::Analise::Alheio, 0, 0, 0},
        // Our own request, seen on loopback, is not its reply.
        {PacoteIp(destino, local, Icmp(8, 0, 0xBEEF, 0x0102)), os::Analise::Alheio, 0, 0, 0},
        {erroCitando(3, 1, destino, 0x0102), os::Analise::Erro, roteador, 11003, 0},
        {erroCitando(11, 0, destino, 0x0102), os::Analise::Erro, roteador, 11013, 0},
        // Errors about somebody else's echo are none of ours; a redirect is no error.
        {erroCitando(3, 1, destino, 0x0103), os::Analise::Alheio, 0, 0, 0},
        {erroCitando(3, 1, TextoParaIp("10.0.0.1"), 0x0102), os::Analise::Alheio, 0, 0, 0},
        {erroCitando(5, 1, destino, 0x0102), os::Analise::Alheio, 0, 0, 0},
    };
    // clang-format on
    for (size_t i = 0; i < casos.size(); ++i) {
        RespostaEco r;
        const Caso& c = casos[i];
        EXPECT_EQ(os::AnalisarPacoteIp(pedido, c.pacote.data(), c.pacote.size(), r), c.analise)
            << i;
        EXPECT_EQ(std::tuple(r.endereco, r.status, r.tamanhoDados),
                  std::tuple(c.endereco, c.status, c.tamanho))
            << i;
    }
    // Every cut short of the quoted identifier and sequence is ignored, and
    // nothing past the end is read (the sanitizers watch that); so are a bad
    // header length, IPv6 and UDP.
    const std::vector<uint8_t> bom = erroCitando(3, 1, destino, 0x0102);
    for (size_t n = 0; n < bom.size(); ++n) {
        RespostaEco r;
        EXPECT_EQ(os::AnalisarPacoteIp(pedido, bom.data(), n, r), os::Analise::Alheio) << n;
    }
    // clang-format off
    for (const auto& [byte, valor] : {std::pair{0, 0x4F},  // header longer than the packet
                                      {0, 0x44},  // shorter than an IPv4 header
                                      {0, 0x65},  // IPv6
                                      {9, 17}}) {  // UDP
        // clang-format on
        std::vector<uint8_t> p = PacoteIp(destino, local, Icmp(0, 0, 0xBEEF, 0x0102));
        p[byte] = static_cast<uint8_t>(valor);
        RespostaEco r;
        EXPECT_EQ(os::AnalisarPacoteIp(pedido, p.data(), p.size(), r), os::Analise::Alheio);
    }
    // The status numbers the technician reads for each ICMP error.
    // clang-format off
    const std::pair<std::pair<uint8_t, uint8_t>, uint32_t> status[] = {
        {{3, 0}, 11002},
        {{3, 6}, 11002},
        {{3, 9}, 11002},
        {{3, 11}, 11002},
        {{3, 1}, 11003},
        {{3, 10}, 11003},
        {{3, 12}, 11003},
        {{3, 2}, 11004},
        {{3, 3}, 11005},
        {{3, 4}, 11009},
        {{3, 5}, 11012},
        {{4, 0}, 11016},
        {{11, 0}, 11013},
        {{11, 1}, 11014},
        {{12, 0}, 11015},
        {{5, 0}, 11050},
    };
    // clang-format on
    for (const auto& [tipoCodigo, numero] : status) {
        EXPECT_EQ(os::StatusDeErroIcmp(tipoCodigo.first, tipoCodigo.second), numero)
            << int(tipoCodigo.first) << "/" << int(tipoCodigo.second);
    }
}

}  // namespace
}  // namespace tvx
