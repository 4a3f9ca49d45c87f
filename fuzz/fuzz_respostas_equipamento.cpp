// The device protocols' routines end to end: the echo blocks of families 1,
// 6, 9 and 15, the universal gateway's record, the tagged meters' text and
// the replies of the MAC steps 2 and 16, each fed an arbitrary reply of any
// length. The decoders themselves have fast targets of their own
// (decodificadores.cpp); this one checks the wiring around them, at the
// routines' own pace.
//
// The routines send a request and take the reply through the link. Rather
// than a network, the link here is a real pseudo-terminal: the equipment
// object runs a serial-capable model on the serial medium with its port set
// to the slave, and a responder thread plays the device on the master,
// reading the request and answering with the fuzzer's bytes. That drives the
// same decoding code as a TCP reply does, through the product's own serial
// port, with nothing stubbed.
//
// Input: byte 0 picks the routine, byte 1 the model, the rest is the reply.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <thread>

#include "core/catalogo.h"
#include "core/equipamento.h"
#include "core/texto.h"
#include "fuzz/falha_alvo.h"
#include "fuzz/sem_rede.h"

namespace {

using tvx::fuzz::Exigir;
using tvx::fuzz::Falha;

using namespace std::chrono_literals;
using Relogio = std::chrono::steady_clock;

// Per byte: a reply shorter than asked for costs one of these at its end.
constexpr uint32_t kTempoLeituraMs = 10;
// The routines pause 30 ms before reading; the answer is on the line by then.
constexpr auto kEsperaPedido = 1500ms;
constexpr int kSilencioFimPedidoMs = 3;
constexpr size_t kMaiorResposta = 2100;  // past the channel's 2048-byte buffer

constexpr uint32_t kModelosSeriais[] = {2, 3, 4, 5, 22, 23, 25};

enum Rotina : uint8_t {
    kIpTexto,
    kIpGatewayTx,
    kIpGatewayUniversal,
    kIpGatewayModbus,
    kLerGatewayUniversal,
    kLerEnderecosTexto,
    kMacIdSms,
    kMac,
    kQuantidadeRotinas
};

int mestre = -1;
int escravo = -1;  // held open so the master never sees the line hang up
std::string caminhoEscravo;

void AbrirPty() {
    termios modo{};
    cfmakeraw(&modo);
    char nome[128] = {};
    if (openpty(&mestre, &escravo, nome, &modo, nullptr) != 0) {
        std::perror("openpty");
        std::abort();
    }
    fcntl(mestre, F_SETFL, fcntl(mestre, F_GETFL) | O_NONBLOCK);
    fcntl(mestre, F_SETFD, FD_CLOEXEC);
    fcntl(escravo, F_SETFD, FD_CLOEXEC);
    caminhoEscravo = nome;
}

// Leaves nothing of one input on the line for the next.
void EsvaziarLinha() {
    uint8_t lixo[512];
    while (read(mestre, lixo, sizeof lixo) > 0) {
    }
    tcflush(escravo, TCIOFLUSH);
}

// Plays the device: waits for the request, lets it end, then answers. Gives up
// when the routine has returned without sending, or after kEsperaPedido.
void Responder(const uint8_t* resposta, size_t tamanho, const std::atomic<bool>& terminado) {
    const auto limite = Relogio::now() + kEsperaPedido;
    bool pedido = false;
    while (!terminado.load() && Relogio::now() < limite) {
        pollfd p{mestre, POLLIN, 0};
        const int r = poll(&p, 1, pedido ? kSilencioFimPedidoMs : 10);
        if (r > 0 && (p.revents & POLLIN) != 0) {
            uint8_t lido[512];
            while (read(mestre, lido, sizeof lido) > 0) {
            }
            pedido = true;
        } else if (pedido) {
            break;
        }
    }
    if (!pedido) {
        return;
    }
    size_t enviado = 0;
    const auto limiteEscrita = Relogio::now() + 500ms;
    while (enviado < tamanho && !terminado.load() && Relogio::now() < limiteEscrita) {
        const ssize_t n = write(mestre, resposta + enviado, tamanho - enviado);
        if (n > 0) {
            enviado += static_cast<size_t>(n);
            continue;
        }
        // The line is full: the routine reads what it wants and drops the rest.
        pollfd p{mestre, POLLOUT, 0};
        poll(&p, 1, 5);
    }
}

bool Utf8Valido(const std::string& texto) {
    size_t pos = 0;
    while (pos < texto.size()) {
        if (tvx::ProximoCaractereUtf8(texto, pos) == tvx::kCaractereInvalido) {
            return false;
        }
    }
    return true;
}

// A field of n device bytes shows as at most 4n: a control byte becomes "\xNN".
bool CabeEm(const std::string& texto, size_t bytes) {
    return texto.size() <= 4 * bytes;
}

// "%03d.%03d.%03d.%03d"
bool EnderecoLido(const std::string& texto) {
    if (texto.size() != 15) {
        return false;
    }
    for (size_t i = 0; i < 15; ++i) {
        const bool ponto = i % 4 == 3;
        if (ponto ? texto[i] != '.' : (texto[i] < '0' || texto[i] > '9')) {
            return false;
        }
    }
    return true;
}

bool Executar(tvx::cEquipamento& e, uint8_t rotina, std::string& resultado) {
    switch (rotina) {
        case kIpTexto:
            return e.ProgramarIpTexto(resultado);
        case kIpGatewayTx:
            return e.ProgramarIpGatewayTx(resultado);
        case kIpGatewayUniversal:
            return e.ProgramarIpGatewayUniversal(resultado);
        case kIpGatewayModbus:
            return e.ProgramarIpGatewayModbus(resultado);
        case kLerGatewayUniversal:
            return e.LerGatewayUniversal(resultado);
        case kLerEnderecosTexto:
            return e.LerEnderecosTexto(resultado);
        case kMacIdSms:
            return e.ProgramaMacIdSms(resultado);
        default:
            return e.ProgramaMac(resultado);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tvx::fuzz::ProibirRede();
    AbrirPty();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    if (tamanho < 2) {
        return 0;
    }
    const uint8_t rotina = dados[0] % kQuantidadeRotinas;
    const uint32_t modelo = kModelosSeriais[dados[1] % std::size(kModelosSeriais)];
    const uint8_t* resposta = dados + 2;
    const size_t tamanhoResposta = std::min(tamanho - 2, kMaiorResposta);

    tvx::cEquipamento e;
    e.SetModelo(modelo);
    e.CarregaInfoModelo();
    e.SetMeio(tvx::kMeioSerial);
    e.PadraoSerial();
    e.SetPorta(caminhoEscravo);
    e.canal.Serial().DefinirTempoLeitura(kTempoLeituraMs);
    e.SetIpNovo("10.1.2.3");
    e.SetMascaraNova("255.255.255.0");
    e.SetGatewayNovo("10.1.2.254");
    e.infoModelo.opcoes[tvx::kOpcaoMac].valor = "00:11:22:33:44:55";
    e.infoModelo.opcoes[tvx::kOpcaoIdTelemetria].valor = "ID-0001";
    e.infoModelo.opcoes[tvx::kOpcaoCelularSms].valor = "5511999990000";
    Exigir(!e.UsaTcp(), "the model chosen does not run on the serial medium");
    if (!e.Conecta(false)) {
        Falha("cannot open the pseudo-terminal as the serial port");
    }

    const std::string antes = "(antes)";
    std::string resultado = antes;
    std::atomic<bool> terminado{false};
    std::thread dispositivo(Responder, resposta, tamanhoResposta, std::cref(terminado));
    const bool ok = Executar(e, rotina, resultado);
    terminado.store(true);
    dispositivo.join();
    e.Desconecta();
    EsvaziarLinha();

    Exigir(e.canal.Socket() == nullptr, "a routine created a network socket");
    // What the routines leave is shown on screen and written to the log:
    // it must be text, whatever the device sent.
    Exigir(Utf8Valido(resultado), "result text is not valid UTF-8");
    Exigir(Utf8Valido(e.GetIpLido()) && Utf8Valido(e.GetMascaraLida()) &&
               Utf8Valido(e.GetGatewayLido()),
           "read-back address is not valid UTF-8");
    if (!ok) {
        return 0;
    }
    switch (rotina) {
        case kIpTexto:
            // Each read-back text comes from its own 20-byte slot.
            Exigir(CabeEm(e.GetIpLido(), 20) && CabeEm(e.GetMascaraLida(), 20) &&
                       CabeEm(e.GetGatewayLido(), 20),
                   "family 1 read-back text longer than its slot");
            break;
        case kIpGatewayTx:
        case kIpGatewayUniversal:
        case kIpGatewayModbus:
        case kLerGatewayUniversal:
            Exigir(EnderecoLido(e.GetIpLido()) && EnderecoLido(e.GetMascaraLida()) &&
                       EnderecoLido(e.GetGatewayLido()),
                   "read-back address not in the padded dotted form");
            break;
        case kLerEnderecosTexto:
            // The three labels' values are each less than 260 bytes.
            Exigir(CabeEm(e.GetIpLido(), 259) && CabeEm(e.GetMascaraLida(), 259) &&
                       CabeEm(e.GetGatewayLido(), 259),
                   "label value longer than the field it fills");
            break;
        default:
            break;
    }
    if (rotina == kIpGatewayTx || rotina == kIpGatewayModbus) {
        Exigir(resultado.starts_with(antes) && resultado.find("MAC=") == antes.size(),
               "text the caller had was not kept in front of the MAC line");
    }
    return 0;
}
