#include "transport/serial.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <thread>

#include "transport/codec.h"
#include "transport/os/motivo_serial.h"
#include "transport/os/porta_serial_linux.h"

namespace tvx {

namespace {

using namespace std::chrono_literals;

constexpr unsigned kNumeroVelocidades = 15;
constexpr const char* kTextosVelocidade[kNumeroVelocidades] = {
    "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",  "14400",
    "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
constexpr uint32_t kVelocidades[kNumeroVelocidades] = {110,   300,   600,    1200,   2400,
                                                       4800,  9600,  14400,  19200,  38400,
                                                       56000, 57600, 115200, 128000, 256000};
constexpr uint32_t kVelocidadeReserva = 9600;
constexpr uint8_t kIndiceVelocidadeMaximo = 15;

constexpr unsigned kNumeroPortasCom = 20;
constexpr size_t kTamanhoMaximoNome = 511;
constexpr std::string_view kPrefixoDispositivo = "\\\\.\\";

// Reads give up after this many failures, and after this many empty reads.
constexpr int kTentativas = 6;
constexpr auto kPausaAposLeituraVazia = 100ms;
constexpr auto kFatiaPausa = 50ms;
// A stop of the run is seen within this much of a read's wait.
constexpr uint32_t kFatiaParadaMs = 100;
// The channel's receive buffer: a reply to it ends at its first gap.
constexpr uint16_t kCapacidadeRecepcaoCanal = 2048;

// Start bit, eight data bits and a stop bit.
constexpr uint64_t kBitsPorByte = 10;

// Sleeps in short slices so that PararLeitura is seen at once.
void Pausar(std::chrono::milliseconds duracao, const std::atomic<bool>& lendo) {
    const auto fim = std::chrono::steady_clock::now() + duracao;
    while (lendo.load()) {
        const auto agora = std::chrono::steady_clock::now();
        if (agora >= fim) {
            return;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kFatiaPausa, fim - agora));
    }
}

bool IguaisSemCaixa(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto baixa = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (baixa(a[i]) != baixa(b[i])) {
            return false;
        }
    }
    return true;
}

// Configuration files written on Windows name the port "COM3" (sometimes
// with the device-namespace prefix); on Linux that is the fourth on-board
// UART, /dev/ttyS2. Windows device names ignore case, so "com3" too.
std::string CaminhoDoNome(std::string_view nome) {
    if (nome.find('/') != std::string_view::npos) {
        return std::string(nome);
    }
    if (nome.substr(0, kPrefixoDispositivo.size()) == kPrefixoDispositivo) {
        nome.remove_prefix(kPrefixoDispositivo.size());
    }
    if (nome.empty()) {
        return {};
    }
    if (nome.size() > 3 && nome.size() <= 9 && IguaisSemCaixa(nome.substr(0, 3), "COM")) {
        const std::string_view digitos = nome.substr(3);
        uint32_t numero = 0;
        const auto [fim, erro] =
            std::from_chars(digitos.data(), digitos.data() + digitos.size(), numero);
        if (erro == std::errc() && fim == digitos.data() + digitos.size() && numero >= 1) {
            return "/dev/ttyS" + std::to_string(numero - 1);
        }
    }
    return "/dev/" + std::string(nome);
}

// Room for the bytes to cross the line twice over, plus a second for the
// driver: a stuck line fails the write instead of hanging the run.
std::chrono::milliseconds LimiteTransmissao(size_t bytes, uint32_t velocidade) {
    if (velocidade == 0) {
        velocidade = kVelocidadeReserva;
    }
    const uint64_t ms = uint64_t{bytes} * kBitsPorByte * 1000 / velocidade;
    return std::chrono::milliseconds(2 * ms + 1000);
}

bool ConfigurarPorta(PortaSerialOs& porta, uint8_t indiceVelocidade, uint8_t bitsDados,
                     uint8_t paradas, uint8_t paridade) {
    return porta.Configurar(VelocidadePorIndice(indiceVelocidade), bitsDados, paradas, paridade) &&
           porta.Descartar();
}

}  // namespace

cSerial::cSerial() : porta_(std::make_unique<PortaSerialOs>()) {}

cSerial::~cSerial() {
    FecharPorta();
}

bool cSerial::DefinirPadrao() {
    indicePorta_ = 0;
    nome_ = "COM1";
    indiceVelocidade_ = kIndiceVelocidadePadrao;
    paradas_ = 0;
    paridade_ = 0;
    tempoLeituraMs_ = kTempoLeituraPadraoMs;
    bitsDados_ = 8;
    return true;
}

bool cSerial::DefinirNomePorta(std::string_view nome) {
    // The name was a NUL-terminated text: nothing after a NUL ever counted.
    nome = nome.substr(0, nome.find('\0'));
    nome_.assign(nome.substr(0, kTamanhoMaximoNome));
    indicePorta_ = kIndicePortaPorNome;
    return true;
}

std::string cSerial::NomePorta() const {
    return nome_;
}

bool cSerial::DefinirIndiceVelocidade(uint8_t indice) {
    if (indice > kIndiceVelocidadeMaximo) {
        return false;
    }
    indiceVelocidade_ = indice;
    return true;
}

// Each wait of a read takes the value when it starts, so an open port uses
// the new time-out from the next byte on.
bool cSerial::DefinirTempoLeitura(uint32_t ms) {
    tempoLeituraMs_ = ms;
    return true;
}

bool cSerial::AbrirPorta() {
    if (PortaAberta()) {
        return true;
    }
    if (indicePorta_ != kIndicePortaPorNome) {
        NomeComPorIndice(nome_, indicePorta_);
    }
    motivoFalha_.clear();
    const std::string caminho = CaminhoDoNome(nome_);
    if (!porta_->Abrir(caminho)) {
        motivoFalha_ = MotivoFalhaSerial(caminho, porta_->UltimoErro());
        return false;
    }
    // A port that cannot be configured stays open; the caller closes it.
    return ConfigurarPorta(*porta_, indiceVelocidade_, bitsDados_, paradas_, paridade_);
}

bool cSerial::PortaAberta() const {
    return porta_->Aberta();
}

void cSerial::FecharPorta() {
    porta_->Fechar();
}

std::string cSerial::CaminhoDispositivo() const {
    std::string nome = nome_;
    if (indicePorta_ != kIndicePortaPorNome) {
        NomeComPorIndice(nome, indicePorta_);
    }
    return CaminhoDoNome(nome);
}

bool cSerial::EscreverPorta(const uint8_t* buffer, size_t tamanho) {
    if (!PortaAberta() || (buffer == nullptr && tamanho != 0) || Parada()) {
        return false;
    }
    if (!porta_->Descartar()) {
        return false;
    }
    // An RS-485 converter transmits while RTS is up. A pseudo-terminal or a
    // bare tty has no such line: then there is nothing to switch.
    const PortaSerialOs::Rts rts = porta_->DefinirRts(true);
    if (rts == PortaSerialOs::Rts::falha) {
        return false;
    }
    std::this_thread::yield();
    const auto limite = LimiteTransmissao(tamanho, porta_->Velocidade());
    bool escrito =
        porta_->EscreverTudo(buffer, tamanho, limite) && porta_->AguardarTransmissao(limite);
    // RTS drops even after a failed write: a converter left transmitting
    // would hold the bus and no reply could ever come back.
    if (rts == PortaSerialOs::Rts::comutado &&
        porta_->DefinirRts(false) == PortaSerialOs::Rts::falha) {
        escrito = false;
    }
    return escrito;
}

uint16_t cSerial::LerBytes(uint8_t* buffer, uint16_t capacidade, uint16_t esperado) {
    uint16_t contagem = 0;
    int falhas = 0;
    int vazias = 0;
    lendo_.store(true);
    if (!PortaAberta() || buffer == nullptr || capacidade == 0) {
        return 0;
    }
    bool fim = false;
    while (!fim && lendo_.load()) {
        uint8_t byte = 0;
        switch (static_cast<PortaSerialOs::Leitura>(LerUmByte(byte))) {
            case PortaSerialOs::Leitura::byte:
                buffer[contagem++] = byte;
                fim = contagem == esperado || contagem >= capacidade;
                break;
            case PortaSerialOs::Leitura::vazia:
                if (capacidade == kCapacidadeRecepcaoCanal) {
                    fim = true;
                    break;
                }
                Pausar(kPausaAposLeituraVazia, lendo_);
                fim = ++vazias >= kTentativas;
                break;
            case PortaSerialOs::Leitura::falha:
                if (++falhas >= kTentativas) {
                    contagem = 0;
                    fim = true;
                }
                break;
            case PortaSerialOs::Leitura::parada:
                fim = true;
                break;
        }
    }
    porta_->Descartar();
    return contagem;
}

uint8_t cSerial::LerRespostaModbus(const uint8_t* requisicao, uint8_t* resposta,
                                   uint16_t capacidade) {
    uint8_t status = kModbusOk;
    uint16_t processados = 0;
    int falhas = 0;
    int vazias = 0;
    uint16_t estado = 0;
    uint8_t contador = 0;
    lidos_ = 0;
    lendo_.store(true);
    if (!PortaAberta() || requisicao == nullptr || resposta == nullptr) {
        return kModbusSemResposta;
    }
    if (capacidade == 0) {
        return kModbusCapacidade;
    }
    bool concluido = false;  // the checker has ruled, or the capacity is full
    bool fim = false;
    while (!fim && lendo_.load()) {
        uint8_t byte = 0;
        switch (static_cast<PortaSerialOs::Leitura>(LerUmByte(byte))) {
            case PortaSerialOs::Leitura::byte: {
                // The checker stores reply byte n at offset n, and n stays
                // below the capacity, so it never writes past it.
                const int r =
                    AnalisarRespostaModbus(requisicao, resposta, estado, byte, contador, status);
                ++processados;
                if (r != kAnaliseProximoByte) {
                    concluido = fim = true;
                } else if (processados >= capacidade) {
                    status = kModbusCapacidade;
                    concluido = fim = true;
                }
                break;
            }
            case PortaSerialOs::Leitura::vazia:
                Pausar(kPausaAposLeituraVazia, lendo_);
                if (++vazias >= kTentativas) {
                    status = kModbusSemResposta;
                    concluido = fim = true;
                }
                break;
            case PortaSerialOs::Leitura::falha:
                if (++falhas >= kTentativas) {
                    status = kModbusSemResposta;
                    concluido = fim = true;
                }
                break;
            case PortaSerialOs::Leitura::parada:
                fim = true;
                break;
        }
    }
    // A read stopped halfway holds no checked reply: its status so far is
    // still 0, which would read as a good reply.
    if (!concluido && status == kModbusOk) {
        status = kModbusSemResposta;
    }
    lidos_ = processados;
    porta_->Descartar();
    return status;
}

// One byte within the read time-out, waited for in slices so that a stop
// of the run ends the wait at once; without a stop it is the same wait.
int cSerial::LerUmByte(uint8_t& byte) {
    using Relogio = std::chrono::steady_clock;
    const auto fim = Relogio::now() + std::chrono::milliseconds(tempoLeituraMs_);
    for (;;) {
        if (Parada()) {
            return static_cast<int>(PortaSerialOs::Leitura::parada);
        }
        uint32_t fatia = tempoLeituraMs_;
        if (parar_) {
            const auto resta = std::chrono::ceil<std::chrono::milliseconds>(fim - Relogio::now());
            fatia = static_cast<uint32_t>(std::clamp<long long>(resta.count(), 0, kFatiaParadaMs));
        }
        const PortaSerialOs::Leitura r = porta_->LerByte(byte, fatia, lendo_);
        if (r != PortaSerialOs::Leitura::vazia || !parar_ || Relogio::now() >= fim) {
            return static_cast<int>(r);
        }
    }
}

void cSerial::PararLeitura() {
    lendo_.store(false);
}

std::string CaminhoDaPorta(std::string_view nome) {
    return CaminhoDoNome(nome.substr(0, nome.find('\0')));
}

bool NomeComPorIndice(std::string& destino, unsigned indice) {
    if (indice >= kNumeroPortasCom) {
        return false;
    }
    destino = "COM" + std::to_string(indice + 1);
    return true;
}

const char* TextoVelocidade(unsigned indice) {
    return indice < kNumeroVelocidades ? kTextosVelocidade[indice] : nullptr;
}

uint8_t IndiceDaVelocidade(std::string_view texto) {
    for (unsigned i = 0; i < kNumeroVelocidades; ++i) {
        if (texto == kTextosVelocidade[i]) {
            return static_cast<uint8_t>(i);
        }
    }
    return 255;
}

uint32_t VelocidadePorIndice(unsigned indice) {
    return indice < kNumeroVelocidades ? kVelocidades[indice] : kVelocidadeReserva;
}

}  // namespace tvx
