#include "transport/canal.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "transport/codec.h"
#include "transport/rastro.h"

namespace tvx {

namespace {

constexpr const char* kTextosErro[] = {
    "OK",
    "Erro no envio TPC/IP",
    "Erro na recepção TPC/IP",
    "Erro no tamanho do buffer de TX :zerado",
    "Erro no tamanho do buffer de TX :negativo",
    "Erro no tamanho do buffer de TX :overflow",
    "Porta serial inválida.",
    "Erro na recepção da serial.",
};

constexpr int kErroZerado = 3;
constexpr int kErroNegativo = 4;
constexpr int kErroOverflow = 5;
constexpr int kErroPortaSerial = 6;
constexpr int kErroRecepcaoSerial = 7;

constexpr int kTamanhoAckSerialDle = 12;
constexpr int kTamanhoAckSerial = 10;
constexpr int kTrabalhoAckSerial = 24;
constexpr int kInicioDadosModbusRtu = 3;

void Pausa(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

constexpr auto kFatiaPausa = std::chrono::milliseconds(50);

}  // namespace

cErroCanal::cErroCanal() = default;

const char* cErroCanal::TextoDoCodigo(int codigo) {
    if (codigo < 0 || codigo >= static_cast<int>(std::size(kTextosErro))) {
        return nullptr;
    }
    return kTextosErro[codigo];
}

void cErroCanal::Definir(int codigo) {
    codigo_ = codigo;
    const char* texto = TextoDoCodigo(codigo);
    texto_ = texto ? texto : "";
}

void cErroCanal::Limpar() {
    codigo_ = 0;
    texto_.clear();
}

cCanal::cCanal() = default;

void cCanal::DefinirConsultaParada(std::function<bool()> parar) {
    parar_ = parar;
    serial_.DefinirConsultaParada(parar);
    if (socket_) {
        socket_->SetStopQuery(parar);
    }
}

bool cCanal::Pausar(std::chrono::milliseconds duracao) const {
    const auto fim = std::chrono::steady_clock::now() + duracao;
    for (;;) {
        if (Parada()) {
            return true;
        }
        const auto agora = std::chrono::steady_clock::now();
        if (agora >= fim) {
            return false;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kFatiaPausa, fim - agora));
    }
}

void cCanal::Rastrear(bool tcp, bool recebido, const uint8_t* bytes, int tamanho, bool enviado) {
    if (!RastroLigado() || tamanho < 0) {
        return;
    }
    const std::string par =
        tcp ? parTcp_
            : serial_.CaminhoDispositivo() + " " +
                  std::to_string(VelocidadePorIndice(serial_.IndiceVelocidade()));
    RastrearQuadro(tcp ? "TCP" : "serial", par,
                   recebido ? DirecaoRastro::Recebido : DirecaoRastro::Enviado, bytes,
                   static_cast<size_t>(tamanho), enviado);
}

cCanal::~cCanal() {
    if (socket_) {
        socket_->Close();
    }
    socket_.reset();
    serial_.FecharPorta();
}

int16_t cCanal::MontarComando(uint8_t comando, uint8_t subcomando, int32_t tamanho,
                              const uint8_t* dados) {
    bufferTx_.fill(0);
    if (tamanho >= kTamanhoBufferCanal) {
        erro_.Definir(kErroOverflow);
        tamanhoTx_ = -1;
        return -1;
    }
    int32_t n;
    if (tipoQuadro_ == kQuadroSimples) {
        n = MontarQuadroSimples(bufferTx_.data(), kTamanhoBufferCanal, comando, subcomando, tamanho,
                                dados);
    } else {
        n = MontarQuadroDle(bufferTx_.data(), kTamanhoBufferCanal, enderecoRtu_, comando,
                            subcomando, tamanho, dados);
        if (usaTcp_ == 1) {
            n = EncapsularTcp(bufferTx_.data(), kTamanhoBufferCanal, bufferTx_.data(), n,
                              enderecoRtu_, 0);
        }
    }
    return static_cast<int16_t>(DefinirTamanhoTx(n));
}

int32_t cCanal::DefinirTamanhoTx(int32_t tamanho) {
    if (tamanho < 0) {
        erro_.Definir(kErroNegativo);
    } else if (tamanho == 0) {
        erro_.Definir(kErroZerado);
    }
    tamanhoTx_ = static_cast<int16_t>(tamanho);
    return tamanho;
}

bool cCanal::DefinirTempoEspera(int segundos) {
    return DefinirTempoEsperaMs(segundos * 1000);
}

bool cCanal::DefinirTempoEsperaMs(int32_t ms) {
    tempoEsperaMs_ = ms;
    if (TcpSocket* s = GarantirSocket()) {
        s->SetTimeout(ms / 1000);
    }
    serial_.DefinirTempoLeitura(static_cast<uint32_t>(std::max<int32_t>(ms, 0)));
    return true;
}

TcpSocket* cCanal::GarantirSocket() {
    // A socket that cannot be created is a failed connection for every caller;
    // the exception stops here.
    try {
        if (!socket_) {
            socket_ = std::make_unique<TcpSocket>();
        }
        socket_->SetTimeout(tempoEsperaMs_ / 1000);
        if (!socket_->IsValid()) {
            socket_.reset();
            socket_ = std::make_unique<TcpSocket>();
            socket_->SetTimeout(tempoEsperaMs_ / 1000);
        }
        socket_->SetStopQuery(parar_);
    } catch (const SocketException&) {
        socket_.reset();
    }
    return socket_.get();
}

bool cCanal::Conectar(const std::string& host, uint16_t porta) {
    TcpSocket* s = GarantirSocket();
    if (!s || host.empty() || porta == 0 || Parada()) {
        return false;
    }
    parTcp_ = host + ":" + std::to_string(porta);
    try {
        return s->Connect(host, porta);
    } catch (const SocketException&) {
        return false;
    }
}

bool cCanal::Desconectar() {
    if (!socket_ || !socket_->IsValid()) {
        return false;
    }
    FecharTcp();
    return true;
}

void cCanal::FecharTcp() {
    if (socket_) {
        socket_->Shutdown();
        socket_.reset();
    }
}

void cCanal::Fechar() {
    if (usaTcp_ == 0) {
        serial_.FecharPorta();
    }
    FecharTcp();
}

bool cCanal::Encerrar() {
    if (usaTcp_ == 0) {
        serial_.PararLeitura();
        serial_.FecharPorta();
    }
    return Desconectar();
}

// What is still waiting before a send belongs to an earlier reply that did
// not fit the receive buffer: a new exchange must not take it for its own
// reply (the serial port likewise purges its input before each write).
bool cCanal::EnviarTcp() {
    return EnviarTcpBuffer(bufferTx_.data(), tamanhoTx_);
}

bool cCanal::EnviarTcpBuffer(const uint8_t* buffer, int tamanho) {
    if (!socket_ || Parada()) {
        return false;
    }
    socket_->DiscardInput();
    const bool enviado = socket_->Send(buffer, tamanho);
    Rastrear(true, false, buffer, tamanho, enviado);
    return enviado;
}

void cCanal::AguardarTcp() {
    if (socket_) {
        socket_->WaitReadable();
    }
}

void cCanal::ZerarAlemDe(int recebidos) {
    // Replies are decoded at fixed offsets: what the last receive did not
    // deliver must not show bytes of an earlier reply.
    recebidos = std::clamp(recebidos, 0, kTamanhoBufferCanal);
    std::fill(bufferRx_.begin() + recebidos, bufferRx_.end(), 0);
    tamanhoRx_ = recebidos;
}

const uint8_t* cCanal::ReceberTcp() {
    if (!socket_) {
        return nullptr;
    }
    const int n = socket_->Receive(bufferRx_.data(), kTamanhoBufferCanal);
    ZerarAlemDe(n);
    if (n > 0) {
        Rastrear(true, true, bufferRx_.data(), n);
    }
    return n >= 1 ? bufferRx_.data() : nullptr;
}

bool cCanal::ReceberAckTcp() {
    if (!ReceberTcp()) {
        return false;
    }
    return VerificarAck(bufferRx_.data(), 0);
}

bool cCanal::VerificarAck(const uint8_t* buffer, int indice) {
    if (!buffer) {
        buffer = bufferRx_.data();
    }
    if (indice < 0 || indice >= kTamanhoBufferCanal) {
        return false;
    }
    if (indice == 0) {
        if (usaTcp_ == 0) {
            indice = 3;
        } else if (tipoQuadro_ == kQuadroDleCurto) {
            indice = 5;
        } else if (tipoQuadro_ == kQuadroSimples) {
            indice = 0;
        } else {
            indice = 7;
        }
    }
    return buffer[indice] == kAck;
}

bool cCanal::AbrirSerial() {
    return serial_.AbrirPorta();
}

bool cCanal::EnviarSerial(const uint8_t* buffer, int tamanho) {
    if (!serial_.PortaAberta()) {
        erro_.Definir(kErroPortaSerial);
        return false;
    }
    if (tamanho < 0 || Parada()) {
        return false;
    }
    const bool enviado = serial_.EscreverPorta(buffer, static_cast<size_t>(tamanho));
    Rastrear(false, false, buffer, tamanho, enviado);
    return enviado;
}

const uint8_t* cCanal::ReceberSerial(int esperado) {
    if (!serial_.PortaAberta()) {
        return nullptr;
    }
    esperado = std::clamp(esperado, 0, kTamanhoBufferCanal);
    const uint16_t n =
        serial_.LerBytes(bufferRx_.data(), kTamanhoBufferCanal, static_cast<uint16_t>(esperado));
    ZerarAlemDe(n);
    if (n > 0) {
        Rastrear(false, true, bufferRx_.data(), n);
    }
    if (n == 0) {
        erro_.Definir(kErroRecepcaoSerial);
        return nullptr;
    }
    return bufferRx_.data();
}

bool cCanal::ReceberAckSerial() {
    if (!serial_.PortaAberta()) {
        return false;
    }
    const uint16_t esperado = tipoQuadro_ == kQuadroDle ? kTamanhoAckSerialDle : kTamanhoAckSerial;
    uint8_t trabalho[kTrabalhoAckSerial] = {};
    const uint16_t n = serial_.LerBytes(trabalho, kTrabalhoAckSerial, esperado);
    if (n == 0) {
        return false;
    }
    Rastrear(false, true, trabalho, n);
    if (tipoQuadro_ == kQuadroDleCurto) {
        return trabalho[3] == kAck;
    }
    if (tipoQuadro_ == kQuadroDle) {
        return trabalho[5] == kAck;
    }
    return false;
}

bool cCanal::LerRegistros(uint16_t registro, uint8_t* saida, int tamanho) {
    if (tamanho < 0) {
        return false;
    }
    MontarLeituraModbus(bufferTx_.data(), enderecoRtu_, registro,
                        static_cast<uint16_t>(tamanho / 2));
    return Transacao(8, saida, tamanho);
}

bool cCanal::EscreverRegistros(uint16_t registro, const uint8_t* dados, int tamanho, uint8_t* saida,
                               int tamanhoSaida) {
    // The request carries the byte count in 8 bits; more would not fit the frame.
    if (tamanho < 0 || tamanho > 255) {
        return false;
    }
    const int n = MontarEscritaModbus(bufferTx_.data(), enderecoRtu_, registro,
                                      static_cast<uint8_t>(tamanho / 2),
                                      static_cast<uint8_t>(tamanho & 0xFF), dados);
    return Transacao(n, saida, tamanhoSaida);
}

bool cCanal::Transacao(int tamanho, uint8_t* saida, int tamanhoSaida) {
    erro_.Limpar();
    if (tamanho < 3 || tamanho + 4 > kTamanhoBufferCanal) {
        return false;
    }
    if (usaTcp_ == 0) {
        if (!EnviarSerial(bufferTx_.data(), tamanho)) {
            return false;
        }
        Pausa(30);
        ZerarAlemDe(0);
        const uint8_t status =
            serial_.LerRespostaModbus(bufferTx_.data(), bufferRx_.data(), kTamanhoBufferCanal);
        if (serial_.UltimosLidos() > 0) {
            Rastrear(false, true, bufferRx_.data(), serial_.UltimosLidos());
        }
        if (status != 0) {
            return false;
        }
        if (saida && tamanhoSaida > 0) {
            const int n = std::min(tamanhoSaida, kTamanhoBufferCanal - kInicioDadosModbusRtu);
            std::memcpy(saida, bufferRx_.data() + kInicioDadosModbusRtu, static_cast<size_t>(n));
        }
        return true;
    }
    if (tipoQuadro_ == kQuadroModbus) {
        RtuParaTcp(bufferRx_.data(), bufferTx_.data(), tamanho);
        std::memcpy(bufferTx_.data(), bufferRx_.data(), static_cast<size_t>(tamanho + 4));
        DefinirTamanhoTx(tamanho + 4);
    }
    if (!EnviarTcp()) {
        return false;
    }
    Pausa(10);
    AguardarTcp();
    if (!ReceberTcp()) {
        return false;
    }
    if (tipoQuadro_ != kQuadroModbus) {
        return false;
    }
    // A reply that is not an answer to this request (cut short, or bytes of
    // anything else) must not pass for a done write: only an exception code
    // would be noticed otherwise.
    if (!RespostaModbusTcpAceita(bufferTx_.data(), bufferRx_.data(), tamanhoRx_)) {
        return false;
    }
    if (saida && tamanhoSaida > 0) {
        const int n = std::min(tamanhoSaida, kTamanhoBufferCanal - kInicioDadosModbusTcp);
        std::memcpy(saida, bufferRx_.data() + kInicioDadosModbusTcp, static_cast<size_t>(n));
    }
    return true;
}

}  // namespace tvx
