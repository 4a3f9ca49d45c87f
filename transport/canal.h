#pragma once
// The one link to a piece of equipment: frames into a 2048-byte transmit
// buffer, one exchange over TCP or the serial port, one reply in a 2048-byte
// receive buffer, the acknowledgement byte and the Modbus register access.
// No exception leaves it.
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "transport/serial.h"
#include "transport/tcp_socket.h"

namespace tvx {

inline constexpr int kTamanhoBufferCanal = 2048;

// Frame kinds: the layout MontarComando builds and where the 0x06 is.
inline constexpr uint8_t kQuadroDle = 0;
inline constexpr uint8_t kQuadroSimples = 4;
inline constexpr uint8_t kQuadroModbus = 5;
inline constexpr uint8_t kQuadroDleCurto = 6;

class cErroCanal {
  public:
    cErroCanal();
    void Definir(int codigo);
    void Limpar();
    int Codigo() const { return codigo_; }
    const std::string& Texto() const { return texto_; }
    static const char* TextoDoCodigo(int codigo);  // nullptr outside 0..7

  private:
    int codigo_ = 0;
    std::string texto_;
};

class cCanal {
  public:
    cCanal();
    virtual ~cCanal();
    cCanal(const cCanal&) = delete;
    cCanal& operator=(const cCanal&) = delete;

    void DefinirTipoQuadro(uint8_t tipo) { tipoQuadro_ = tipo; }
    uint8_t TipoQuadro() const { return tipoQuadro_; }
    void DefinirEnderecoRtu(uint8_t rtu) { enderecoRtu_ = rtu; }
    uint8_t EnderecoRtu() const { return enderecoRtu_; }
    void DefinirUsaTcp(bool usaTcp) { usaTcp_ = usaTcp ? 1 : 0; }
    void DefinirTcp() { usaTcp_ = 1; }
    bool UsaTcp() const { return usaTcp_ == 1; }
    uint8_t* BufferTx() { return bufferTx_.data(); }
    const uint8_t* BufferRx() const { return bufferRx_.data(); }
    int16_t TamanhoTx() const { return tamanhoTx_; }
    // Bytes the last receive delivered; the receive buffer reads zero beyond them.
    int TamanhoUltimaRecepcao() const { return tamanhoRx_; }
    int32_t TempoEsperaMs() const { return tempoEsperaMs_; }
    const cErroCanal& Erro() const { return erro_; }
    const TcpSocket* Socket() const { return socket_.get(); }

    // Serial settings pass straight to the port.
    bool DefinirNomePorta(const std::string& nome) { return serial_.DefinirNomePorta(nome); }
    std::string NomePorta() const { return serial_.NomePorta(); }
    bool DefinirIndiceVelocidade(uint8_t indice) { return serial_.DefinirIndiceVelocidade(indice); }
    uint8_t IndiceVelocidade() const { return serial_.IndiceVelocidade(); }
    bool DefinirPadraoSerial() { return serial_.DefinirPadrao(); }
    cSerial& Serial() { return serial_; }
    const cSerial& Serial() const { return serial_; }

    int16_t MontarComando(uint8_t comando, uint8_t subcomando, int32_t tamanho,
                          const uint8_t* dados);
    int32_t DefinirTamanhoTx(int32_t tamanho);
    bool DefinirTempoEspera(int segundos);
    bool DefinirTempoEsperaMs(int32_t ms);

    TcpSocket* GarantirSocket();
    bool Conectar(const std::string& host, uint16_t porta);
    bool Desconectar();
    void FecharTcp();
    void Fechar();
    bool Encerrar();

    bool EnviarTcp();
    bool EnviarTcpBuffer(const uint8_t* buffer, int tamanho);
    void AguardarTcp();
    const uint8_t* ReceberTcp();
    bool ReceberAckTcp();
    bool VerificarAck(const uint8_t* buffer, int indice);

    bool AbrirSerial();
    bool SerialAberta() const { return serial_.PortaAberta(); }
    void FecharSerial() { serial_.FecharPorta(); }
    bool EnviarSerial(const uint8_t* buffer, int tamanho);
    const uint8_t* ReceberSerial(int esperado);
    bool ReceberAckSerial();

    // The run's stop request, asked by every wait of the link (connection,
    // reply, serial read) so that a stop ends it within a tenth of a second,
    // and before every send, so that nothing more reaches the device once
    // the technician has stopped. An empty function: nobody stops the link.
    void DefinirConsultaParada(std::function<bool()> parar);
    bool Parada() const { return parar_ && parar_(); }
    // Sleeps for duracao unless the run is stopped first; true when stopped.
    bool Pausar(std::chrono::milliseconds duracao) const;

    bool LerRegistros(uint16_t registro, uint8_t* saida, int tamanho);
    bool EscreverRegistros(uint16_t registro, const uint8_t* dados, int tamanho, uint8_t* saida,
                           int tamanhoSaida);
    bool Transacao(int tamanho, uint8_t* saida, int tamanhoSaida);

  private:
    void ZerarAlemDe(int recebidos);
    // The frame trace (transport/rastro.h) of the link in use.
    void Rastrear(bool tcp, bool recebido, const uint8_t* bytes, int tamanho, bool enviado = true);

    uint8_t tipoQuadro_ = 0;
    int16_t tamanhoTx_ = 0;
    int32_t tempoEsperaMs_ = 1000;
    uint8_t enderecoRtu_ = 0;
    uint8_t usaTcp_ = 0;
    cSerial serial_;
    std::array<uint8_t, kTamanhoBufferCanal> bufferTx_{};
    cErroCanal erro_;
    std::array<uint8_t, kTamanhoBufferCanal> bufferRx_{};
    int tamanhoRx_ = 0;
    std::unique_ptr<TcpSocket> socket_;
    std::function<bool()> parar_;
    std::string parTcp_;  // "host:port" of the last connection
};

}  // namespace tvx
