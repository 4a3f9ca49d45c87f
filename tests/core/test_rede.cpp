// Real ICMP echoes, the address table and the neighbour removal, on loopback
// and inside isolated network namespaces; and the parsing of what the ICMP
// socket hands back.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/equipamento.h"
#include "core/os/rede_os.h"
#include "core/progresso.h"
#include "core/thread_programar.h"
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

// The echo series of the worker: real ICMP echoes to loopback, and inside an
// isolated network namespace to addresses that hold nothing.

using namespace std::chrono_literals;
using Linhas = std::vector<std::string>;

// "Ping recebido de 127.0.0.1 ,Status=0 ,Tempo:<n> ms ,Bytes:<bytes>"
bool Resposta(const std::string& t, int bytes) {
    const std::string inicio = "Ping recebido de 127.0.0.1 ,Status=0 ,Tempo:";
    const std::string fim = " ms ,Bytes:" + std::to_string(bytes);
    const size_t n = t.size() - fim.size();
    return t.size() > inicio.size() + fim.size() && t.rfind(inicio, 0) == 0 &&
           t.compare(n, fim.size(), fim) == 0 &&
           t.find_first_not_of("0123456789", inicio.size()) == n;
}

// The counted part (three of 32 bytes), then 64 to 2048 in steps of 64.
bool Serie(const Linhas& linhas, size_t primeira, const std::string& falha = "-") {
    for (size_t i = 0; primeira + i < linhas.size(); ++i) {
        if (linhas[primeira + i] != falha &&
            !Resposta(linhas[primeira + i], i < 3 ? 32 : 64 * int(i - 2))) {
            ADD_FAILURE() << linhas[primeira + i];
            return false;
        }
    }
    return true;
}

// One whole action on the worker thread, so that a stop reaches it.
struct Trabalhador : cThreadProgramar {
    explicit Trabalhador(uint32_t acaoDoTrabalho, uint32_t modelo = 3)
        : cThreadProgramar(equipamento) {
        janela = &fila;
        acao = acaoDoTrabalho;
        equipamento.SetModelo(modelo);
        equipamento.CarregaInfoModelo();
        equipamento.SetIpNovo("127.0.0.1");
    }
    ~Trabalhador() override { Para(); }
    bool Linhas(size_t n) {
        for (auto fim = Relogio::now() + 10s; fila.Textos().size() < n && Relogio::now() < fim;) {
            std::this_thread::sleep_for(5ms);
        }
        return fila.Textos().size() >= n;
    }
    bool Fim() {
        for (auto fim = Relogio::now() + 20s; EmExecucao(50) && Relogio::now() < fim;) {
        }
        return !EmExecucao(0);
    }
    cEquipamento equipamento;
    FilaProgresso fila;
};

TEST(SerieEco, TesteDoIpNovoComVarreduraDe64A2048) {
    Trabalhador t(kAcaoTestar);
    const auto inicio = Relogio::now();
    ASSERT_TRUE(t.Inicia());
    ASSERT_TRUE(t.Fim());
    const auto duracao = Relogio::now() - inicio;
    const Linhas linhas = t.fila.Textos();
    ASSERT_EQ(2u + 35u + 1u, linhas.size());
    EXPECT_EQ(Linhas(linhas.begin(), linhas.begin() + 2),
              (Linhas{"TVXNetCfg - v19.1.3", "Verificando IP programado..."}));
    EXPECT_TRUE(Serie(Linhas(linhas.begin(), linhas.end() - 1), 2));
    EXPECT_EQ("IP programado OK.", linhas.back());
    // 250 ms after each counted answer and 125 ms after each size.
    EXPECT_GE(duracao, 4750ms);
    EXPECT_LT(duracao, 15s);
}

TEST(SerieEco, SilencioArpEEcosPerdidosNaVarredura) {
    TVX_EM_REDE_ISOLADA([](teste::RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.77.0.0/24"));
        ASSERT_EQ(0, rede.Executar(
                         "ip link add tvxa type veth peer name tvxb && "
                         "ip link set tvxa up && ip addr add 10.78.0.1/24 dev tvxa && "
                         "ip neigh replace 10.78.0.5 lladdr 02:00:00:00:00:05 dev tvxa nud stale"));
        cEquipamento equipamento;
        cThreadProgramar trabalhador(equipamento);
        EXPECT_TRUE(trabalhador.PingarSerie("10.78.0.5", 0, false));  // only the ARP removal
        std::string vizinhos;
        ASSERT_EQ(0, rede.Executar("ip -4 neigh show 10.78.0.5", &vizinhos));
        EXPECT_EQ(std::string::npos, vizinhos.find("02:00:00:00:00:05")) << vizinhos;

        // The first lost echo ends the counted part: no second echo, no sweep.
        Trabalhador mudo(kAcaoTestar);
        mudo.equipamento.SetIpNovo("10.77.0.9");
        const auto inicio = Relogio::now();
        ASSERT_TRUE(mudo.Inicia());
        ASSERT_TRUE(mudo.Fim());
        EXPECT_LT(Relogio::now() - inicio, 2500ms);
        EXPECT_EQ(mudo.fila.Textos(),
                  (Linhas{"TVXNetCfg - v19.1.3", "Verificando IP programado...",
                          "Ping falhou: 11010", "IP programado não respondeu.Verifique:",
                          "1)Se existe ligação física ao equipamento.",
                          "2)Se computador está na mesma rede que o equipamento.",
                          "Verificação finalizada."}));

        // Lost sweep echoes are shown and skipped; the series still succeeds.
        Trabalhador serie(kAcaoTestar);
        ASSERT_TRUE(serie.Inicia());
        ASSERT_TRUE(serie.Linhas(7));
        ASSERT_EQ(0, rede.Executar("echo 1 > /proc/sys/net/ipv4/icmp_echo_ignore_all"));
        ASSERT_TRUE(serie.Linhas(10));
        ASSERT_EQ(0, rede.Executar("echo 0 > /proc/sys/net/ipv4/icmp_echo_ignore_all"));
        ASSERT_TRUE(serie.Fim());
        const Linhas textos = serie.fila.Textos();
        ASSERT_EQ(38u, textos.size());
        EXPECT_EQ("IP programado OK.", textos.back());
        const auto falhas = std::count(textos.begin(), textos.end(), "Ping falhou: 11010");
        EXPECT_TRUE(falhas >= 1 && falhas <= 4) << falhas;
        EXPECT_TRUE(Serie(Linhas(textos.begin(), textos.end() - 1), 2, "Ping falhou: 11010"));

        // An unknown action and a model without IP programming.
        for (const auto& [modelo, acao, texto] :
             {std::tuple{3u, 7u, "Finalizado."},
              {25u, kAcaoTestar, "Este equipamento não tem programação de IP."}}) {
            Trabalhador t(acao, modelo);
            ASSERT_TRUE(t.Inicia());
            ASSERT_TRUE(t.Fim());
            EXPECT_EQ((Linhas{"TVXNetCfg - v19.1.3", texto}), t.fila.Textos());
        }
    });
}

}  // namespace
}  // namespace tvx
